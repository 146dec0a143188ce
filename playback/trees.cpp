#include "playback/trees.h"

#include <algorithm>
#include <new>

#include "playback/tree_shape.h"

namespace vidzo {

namespace {

constexpr std::uint32_t kMaxTreeWords = kMaxTreeNodes + 3;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t TreeWords(std::uint32_t size) {
  return std::min(size / 4, kMaxTreeWords);
}

std::uint32_t* Storage(TreesArea& area, unsigned t) {
  return area.nodes + area.control[t].first_word;
}

// An absent tree: every pattern leads to the stand-in leaf with no bits used,
// and its three lasts share the tree's first word.
void MakeAbsent(TreesArea& area, unsigned t) {
  TreeControl& c = area.control[t];
  std::fill_n(const_cast<std::uint32_t*>(c.lookup), c.lookup_mask + 1, 0u);
  c.base = &c.stand_in;
  c.node_count = 0;
  c.far_count = 0;
  c.initial = 0;
  std::uint32_t* slot = c.words > 0 ? Storage(area, t) : &c.spare[0];
  for (auto& s : c.slot) s = slot;
}

// Where a walk from `node` goes when the next bit is `bit`.
std::uint32_t Child(const TreeControl& c, std::uint32_t node, unsigned bit) {
  if (!bit) return node + 1;
  std::uint32_t distance = c.base[node] >> 16;
  return node + (distance ? distance : FarDistance(c, c.base + node));
}

void BuildLookup(TreeControl& c, std::uint32_t marker) {
  auto* table = const_cast<std::uint32_t*>(c.lookup);
  for (std::uint32_t pattern = 0; pattern <= c.lookup_mask; ++pattern) {
    std::uint32_t node = 0, used = 0;
    while (used < c.lookup_bits && (c.base[node] & 0xFFFFu) == marker) {
      node = Child(c, node, (pattern >> used) & 1u);
      ++used;
    }
    table[pattern] = (node << 8) | used;
  }
}

// Final node words: leaves get their value in both halves, inner nodes the
// marker and the distance to the second child.
void FinishNodes(TreeControl& c, std::uint32_t* words, std::uint32_t marker) {
  for (std::uint32_t i = 0; i < c.node_count; ++i) {
    std::uint32_t w = words[i];
    if (w & detail::kLeafFlag) {
      std::uint32_t value = w & 0xFFFFu;
      words[i] = (value << 16) | value;
    } else if (w <= 0xFFFFu) {
      words[i] = (w << 16) | marker;
    } else {
      // Far links form one chain of nested first subtrees, so they never
      // outnumber the nesting the shape reader allows.
      if (c.far_count < kMaxShapeNesting) c.far[c.far_count++] = FarLink{i, w};
      words[i] = marker;
    }
  }
}

template <typename Reader>
std::uint32_t Read16(Reader& reader) {
  std::uint32_t low = reader.Read8();
  return low | (reader.Read8() << 8);
}

// Reads one present big tree into its storage; marks its leaf values.
void ReadBigTree(BitReader32& reader, TreesArea& area, unsigned t, std::uint64_t* seen) {
  TreeControl& c = area.control[t];
  std::uint32_t* words = Storage(area, t);
  ByteTree low, high;
  if (reader.ReadBit()) ReadByteTree(reader, low);
  if (reader.ReadBit()) ReadByteTree(reader, high);
  std::uint32_t escape[3];
  for (auto& e : escape) e = Read16(reader);

  std::uint32_t bound[3] = {kNone, kNone, kNone};
  std::uint32_t capacity = c.words > 3 ? c.words - 3 : 0;
  c.node_count = detail::ReadTreeShape<kMaxShapeNesting>(
      reader, words, capacity, [&](std::uint32_t index) -> std::uint32_t {
        std::uint32_t value = DecodeByte(reader, low);
        value |= DecodeByte(reader, high) << 8;
        for (int i = 0; i < 3; ++i) {
          if (value == escape[i]) {
            bound[i] = index;  // an earlier leaf of this code keeps the fixed value 0
            return 0;
          }
        }
        return value;
      });

  std::uint32_t next_free = c.node_count;
  for (int i = 0; i < 3; ++i) {
    if (bound[i] != kNone) {
      c.slot[i] = words + bound[i];
    } else if (next_free < c.words) {
      c.slot[i] = words + next_free++;
    } else {
      c.slot[i] = &c.spare[i];
    }
  }
  for (std::uint32_t i = 0; i < c.node_count; ++i)
    if (words[i] & detail::kLeafFlag) seen[(words[i] & 0xFFFFu) >> 6] |= std::uint64_t{1} << (words[i] & 63u);
}

// The smallest 16-bit value not marked in `seen`, or kNone.
std::uint32_t FindMarker(const std::uint64_t* seen) {
  for (std::uint32_t i = 0; i < 1024; ++i)
    if (~seen[i]) return i * 64 + static_cast<std::uint32_t>(__builtin_ctzll(~seen[i]));
  return kNone;
}

}  // namespace

std::uint32_t FarDistance(const TreeControl& control, const std::uint32_t* node) {
  const auto index = static_cast<std::uint32_t>(node - control.base);
  for (std::uint32_t i = 0; i < control.far_count; ++i)
    if (control.far[i].node == index) return control.far[i].distance;
  return 1;  // not reached by trees this code builds; stays inside the tree
}

std::uint64_t TreesAreaCountedBytes(const std::uint32_t sizes[4]) {
  std::uint64_t bytes = kTreesFixedBytes;
  for (int t = 0; t < 4; ++t) bytes += sizes[t];
  return bytes;
}

std::size_t TreesAreaBlockBytes(const std::uint32_t sizes[4]) {
  std::size_t words = 0;
  for (int t = 0; t < 4; ++t) words += TreeWords(sizes[t]);
  return sizeof(TreesArea) + words * sizeof(std::uint32_t);
}

TreesArea* TreesAreaCreate(void* block, const std::uint32_t sizes[4]) {
  auto* area = new (block) TreesArea;
  area->nodes = reinterpret_cast<std::uint32_t*>(area + 1);
  std::uint32_t first = 0;
  for (unsigned t = 0; t < 4; ++t) {
    TreeControl& c = area->control[t];
    area->sizes[t] = sizes[t];
    c.lookup = t < 3 ? area->lookup12[t] : area->lookup10;
    c.lookup_bits = t < 3 ? 12 : 10;
    c.lookup_mask = (1u << c.lookup_bits) - 1;
    c.first_word = first;
    c.words = TreeWords(sizes[t]);
    first += c.words;
  }
  area->word_count = first;
  std::fill_n(area->nodes, first, 0u);
  for (unsigned t = 0; t < 4; ++t) MakeAbsent(*area, t);
  area->marker = 0;
  for (auto& c : area->control) c.stand_in = 1;  // a leaf: its lower half is not the marker
  return area;
}

TreesAreaBuffer::TreesAreaBuffer(const std::uint32_t sizes[4]) {
  block_ = ::operator new (TreesAreaBlockBytes(sizes), std::align_val_t{16}, std::nothrow);
  if (block_) area_ = TreesAreaCreate(block_, sizes);
}

TreesAreaBuffer::~TreesAreaBuffer() {
  if (area_) area_->~TreesArea();
  ::operator delete (block_, std::align_val_t{16});
}

bool UnpackTrees(const std::uint8_t* input, std::size_t input_size, TreesArea& area,
                 const std::uint32_t sizes[4]) {
  BitReader32 reader(input, input_size);
  std::uint64_t seen[1024] = {};
  for (unsigned t = 0; t < 4; ++t) {
    // The storage was laid out for the sizes the area was made with.
    area.control[t].words = std::min(area.control[t].words, TreeWords(sizes[t]));
    MakeAbsent(area, t);
    if (reader.ReadBit()) ReadBigTree(reader, area, t, seen);
  }
  std::uint32_t marker = FindMarker(seen);
  const bool usable = marker != kNone;
  if (!usable) {
    for (unsigned t = 0; t < 4; ++t) MakeAbsent(area, t);
    marker = 0;
  }
  area.marker = marker;
  for (unsigned t = 0; t < 4; ++t) {
    TreeControl& c = area.control[t];
    area.sizes[t] = sizes[t];
    c.stand_in = marker == 0 ? 1u : 0u;
    if (c.node_count == 0) continue;
    std::uint32_t* words = Storage(area, t);
    FinishNodes(c, words, marker);
    c.base = words;
    BuildLookup(c, marker);
  }
  ResetLasts(area);
  return usable;
}

void ResetLasts(TreesArea& area) {
  for (auto& c : area.control)
    for (auto* slot : c.slot) *slot = c.initial;
}

}  // namespace vidzo
