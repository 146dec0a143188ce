// Remapping the decoder's colours to another colour table: the nearest-colour
// translation and its application to the trees' leaves.
#include <cstdint>
#include <utility>

#include "playback/container.h"
#include "playback/trees.h"
#include "playback/video.h"

namespace vidzo {

namespace {

// The produced half of a leaf whose stored value is `id`.
using Produce = std::uint32_t (*)(std::uint32_t id, const std::uint8_t* t);

std::uint32_t ColourPair(std::uint32_t id, const std::uint8_t* t) {
  return t[id & 0xFFu] | (std::uint32_t{t[(id >> 8) & 0xFFu]} << 8);
}

std::uint32_t SolidFill(std::uint32_t id, const std::uint8_t* t) {
  return (id & 3u) == 3u ? (id & 0xFFu) | (std::uint32_t{t[(id >> 8) & 0xFFu]} << 8) : id;
}

std::uint32_t Remapped(std::uint32_t word, Produce produce, const std::uint8_t* t) {
  return (produce(word & 0xFFFFu, t) << 16) | (word & 0xFFFFu);
}

void RemapTree(TreesArea& area, unsigned tree, Produce produce, const std::uint8_t* t) {
  TreeControl& c = area.control[tree];
  std::uint32_t* words = area.nodes + c.first_word;
  // Inner nodes carry the marker; every other word is a leaf (escape leaves
  // hold a last, itself a leaf word).
  for (std::uint32_t i = 0; i < c.node_count && i < c.words; ++i)
    if ((words[i] & 0xFFFFu) != area.marker) words[i] = Remapped(words[i], produce, t);
  c.initial = Remapped(c.initial, produce, t);
  for (std::uint32_t* slot : c.slot) *slot = Remapped(*slot, produce, t);
  // The stand-in of an absent tree stands for the value 0.
  c.stand_in = (produce(0, t) << 16) | (c.stand_in & 0xFFFFu);
}

}  // namespace

void RemapTrees(TreesArea& trees, const std::uint8_t translation[256]) {
  RemapTree(trees, kMonoColourTree, ColourPair, translation);
  RemapTree(trees, kFullTree, ColourPair, translation);
  RemapTree(trees, kTypeTree, SolidFill, translation);
}

}  // namespace vidzo

extern "C" void VidzoRemapPalette(VidzoHandle* h, const void* colours, uint32_t count, uint32_t flags) {
  if (h == nullptr) return;
  vidzo::RefillSound();
  if (count > 256) count = 256;
  if (colours == nullptr || count == 0) return;

  uint32_t size = 3, off_r = 0, off_g = 1, off_b = 2;
  if (flags & VIDZO_REMAP_4BYTE) {
    size = 4;
    if (flags & VIDZO_REMAP_OFFSET1) {
      off_r = 1;
      off_g = 2;
      off_b = 3;
    }
  }
  if (flags & VIDZO_REMAP_BGR) std::swap(off_r, off_b);
  if (flags & VIDZO_REMAP_WIDE) {
    size *= 2;
    off_r *= 2;
    off_g *= 2;
    off_b *= 2;
  }

  const auto* table = static_cast<const uint8_t*>(colours);
  uint8_t translation[256];
  for (uint32_t i = 0; i < 256; ++i) {
    const int r = h->Palette[3 * i], g = h->Palette[3 * i + 1], b = h->Palette[3 * i + 2];
    const uint32_t start = i < count ? i : 0;
    uint32_t best = start;
    int best_distance = INT32_MAX;
    for (uint32_t k = 0, e = start; k < count; ++k, e = e + 1 == count ? 0 : e + 1) {
      const uint8_t* entry = table + e * size;
      const int dr = r - entry[off_r], dg = g - entry[off_g], db = b - entry[off_b];
      const int distance = dr * dr + dg * dg + db * db;
      if (distance < best_distance) {
        best_distance = distance;
        best = e;
        if (distance == 0) break;
      }
    }
    translation[i] = static_cast<uint8_t>(best);
  }
  if (h->Trees != nullptr) vidzo::RemapTrees(*h->Trees, translation);
}
