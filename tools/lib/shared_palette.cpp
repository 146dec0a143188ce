// One palette for every frame, when the colours of the frames fit it.
#include "tools/lib/shared_palette.h"

#include <unordered_map>
#include <vector>

namespace vidzotools {
namespace {

uint32_t Key(const std::array<uint8_t, 768>& palette, uint8_t index) {
  return (static_cast<uint32_t>(palette[3 * index] >> 2) << 12) |
         (static_cast<uint32_t>(palette[3 * index + 1] >> 2) << 6) | (palette[3 * index + 2] >> 2);
}

}  // namespace

bool ShareOnePalette(std::span<AnimationFrame> frames) {
  std::unordered_map<uint32_t, int> slot_of;  // 18-bit colour to its slot
  std::array<int64_t, 256> colour_of;         // per slot: its colour, or -1
  colour_of.fill(-1);
  std::vector<uint32_t> waiting;  // colours whose first slot was taken
  for (const AnimationFrame& f : frames) {
    std::array<bool, 256> used{};
    for (uint8_t p : f.pixels) used[p] = true;
    for (int i = 0; i < 256; ++i) {
      if (!used[i]) continue;
      const uint32_t key = Key(f.palette, static_cast<uint8_t>(i));
      if (slot_of.count(key) != 0) continue;
      if (colour_of[i] < 0) {
        colour_of[i] = key;
        slot_of[key] = i;
      } else {
        slot_of[key] = -1;
        waiting.push_back(key);
      }
    }
    if (slot_of.size() > 256) return false;
  }
  int free_slot = 0;
  for (uint32_t key : waiting) {
    while (colour_of[free_slot] >= 0) ++free_slot;  // the count check leaves one free
    colour_of[free_slot] = key;
    slot_of[key] = free_slot;
  }
  std::array<uint8_t, 768> shared{};
  for (int s = 0; s < 256; ++s) {
    if (colour_of[s] < 0) continue;
    const uint32_t key = static_cast<uint32_t>(colour_of[s]);
    shared[3 * s] = ExpandComponent(static_cast<uint8_t>(key >> 12));
    shared[3 * s + 1] = ExpandComponent(static_cast<uint8_t>(key >> 6));
    shared[3 * s + 2] = ExpandComponent(static_cast<uint8_t>(key));
  }
  for (AnimationFrame& f : frames) {
    std::array<uint8_t, 256> map{};
    for (int i = 0; i < 256; ++i) {
      const auto it = slot_of.find(Key(f.palette, static_cast<uint8_t>(i)));
      map[i] = it != slot_of.end() ? static_cast<uint8_t>(it->second) : 0;
    }
    for (uint8_t& p : f.pixels) p = map[p];
    f.palette = shared;
  }
  return true;
}

}  // namespace vidzotools
