// Prefix-code trees of the decoder: byte trees (8-bit leaves, used by the
// audio chunks and for the leaf values of the big trees) and the four big
// video trees (16-bit leaves with three cached recent values, the "lasts").
//
// Stored form of a byte tree: a 1 bit is an inner node followed by its first
// and second subtree, a 0 bit is a leaf followed by its 8-bit value; one more
// 0 bit ends the tree. Decoding starts at the root and takes one bit per inner
// node: 0 goes to the first child, 1 to the second.
//
// Stored form of a big tree: a presence bit; a bit announcing a low-byte tree
// and that byte tree; a bit announcing a high-byte tree and that byte tree;
// three 16-bit escape codes (low byte first); then the shape as for a byte
// tree, each leaf value being a low byte and a high byte decoded with the two
// byte trees (a missing byte tree yields 0 without consuming bits).
//
// Malformed trees and streams are bounded: a tree that does not fit its
// storage (or, for a big tree, nests deeper than kMaxShapeNesting) is cut off and completed
// with leaves of value 0, so every walk ends at a leaf inside the storage; an
// exhausted stream reads as zero bits; fetching from an absent tree yields 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "playback/bit_reader.h"

namespace vidzo {

// ---- Byte trees -------------------------------------------------------------

// Nodes of one byte tree (2048 bytes, room for the 511 nodes of a full tree).
inline constexpr unsigned kByteTreeNodes = 512;
// Deepest nesting of first subtrees followed in a big tree; codes written by
// the encoder never go past 30 bits.
inline constexpr unsigned kMaxShapeNesting = 64;

struct ByteTree {
  // Leaves have bit 31 set and the value in the low byte; an inner node holds
  // the distance in nodes to its second child (its first child is next).
  // A default tree is absent: a lone leaf 0.
  std::uint32_t nodes[kByteTreeNodes] = {0x80000000u};
};

// Makes `tree` absent again: it decodes 0 without consuming bits.
void ClearByteTree(ByteTree& tree);

// Reads one byte tree in stored form.
void ReadByteTree(BitReader32& reader, ByteTree& tree);
void ReadByteTree(BitReader64& reader, ByteTree& tree);

// Decodes one byte with `tree`. A single-leaf tree consumes no bits.
template <typename Reader>
inline unsigned DecodeByte(Reader& reader, const ByteTree& tree) {
  const std::uint32_t* node = tree.nodes;
  std::uint32_t word = *node;
  while (!(word & 0x80000000u)) {
    node += reader.ReadBit() ? word : 1u;
    word = *node;
  }
  return word & 0xFFu;
}

// ---- The four video trees ---------------------------------------------------

enum TreeIndex : unsigned { kMonoMapTree = 0, kMonoColourTree = 1, kFullTree = 2, kTypeTree = 3 };

// Bytes the area needs beside the four size fields, as counted in memory use.
inline constexpr std::uint32_t kTreesFixedBytes = 53352;
// Most nodes a tree can have: 65536 distinct leaves.
inline constexpr std::uint32_t kMaxTreeNodes = 2 * 65536 - 1;

// Inner node whose second child lies 65536 or more nodes away.
struct FarLink {
  std::uint32_t node;      // index from the tree's base
  std::uint32_t distance;  // nodes to the second child
};

struct TreeControl {
  std::uint32_t initial = 0;              // word the lasts are reset to
  std::uint32_t* slot[3] = {};            // last 0, last 1, last 2
  const std::uint32_t* lookup = nullptr;  // (node << 8) | bits used, per pattern
  std::uint32_t lookup_mask = 0;          // 4095 or 1023
  std::uint32_t lookup_bits = 0;          // 12 or 10
  const std::uint32_t* base = nullptr;    // the root; lookup entries count from here
  std::uint32_t first_word = 0;           // the tree's storage: nodes[first_word, + words)
  std::uint32_t words = 0;
  std::uint32_t node_count = 0;  // nodes read; 0 when absent
  std::uint32_t far_count = 0;
  FarLink far[kMaxShapeNesting] = {};
  std::uint32_t stand_in = 0;   // a leaf of value 0, the root of an absent tree
  std::uint32_t spare[3] = {};  // last slots when the storage has no room
};

// The unpacked trees. Node words: a leaf holds its value in the upper half and
// its identity (the stored value; 0 for escape leaves) in the lower half; an
// inner node holds the marker in the lower half and the distance in nodes to
// its second child in the upper half (0 there: see the tree's far links).
// The lasts live in the escape leaves themselves (or in slots just after the
// tree's nodes when an escape code has no leaf) and are whole node words.
// Create it with TreesAreaCreate in a block of TreesAreaBlockBytes bytes; it
// points into itself and must not be copied or moved.
struct TreesArea {
  std::uint32_t sizes[4] = {};
  std::uint32_t lookup12[3][4096] = {};
  std::uint32_t lookup10[1024] = {};
  std::uint32_t marker = 0;
  TreeControl control[4];
  std::uint32_t word_count = 0;  // node storage words
  std::uint32_t* nodes = nullptr;

  TreesArea() = default;
  TreesArea(const TreesArea&) = delete;
  TreesArea& operator=(const TreesArea&) = delete;
};

// Bytes the area counts in memory use: the fixed part plus the four sizes.
std::uint64_t TreesAreaCountedBytes(const std::uint32_t sizes[4]);
// Bytes of the block TreesAreaCreate needs. Each tree gets floor(size / 4)
// node words (at most kMaxTreeNodes + 3), after the previous tree's words.
std::size_t TreesAreaBlockBytes(const std::uint32_t sizes[4]);
// Builds an empty area (all trees absent) in `block`, which must be aligned
// for TreesArea and hold TreesAreaBlockBytes(sizes) bytes.
TreesArea* TreesAreaCreate(void* block, const std::uint32_t sizes[4]);

// A heap-allocated area; Get() is null when the memory could not be had.
class TreesAreaBuffer {
 public:
  explicit TreesAreaBuffer(const std::uint32_t sizes[4]);
  ~TreesAreaBuffer();
  TreesAreaBuffer(const TreesAreaBuffer&) = delete;
  TreesAreaBuffer& operator=(const TreesAreaBuffer&) = delete;
  TreesArea* Get() const { return area_; }

 private:
  void* block_ = nullptr;
  TreesArea* area_ = nullptr;
};

// Unpacks the packed trees block (`input`, `input_size` bytes; the byte-tree
// scratch is kept inside, so no room before the block is needed) into `area`,
// whose storage was laid out for the same `sizes`. Returns false only when
// the trees cannot be used because every 16-bit value is a leaf of some tree
// (no marker exists); the area then holds four absent trees.
bool UnpackTrees(const std::uint8_t* input, std::size_t input_size, TreesArea& area,
                 const std::uint32_t sizes[4]);

// Sets the twelve last slots to their initial value (start of every frame).
void ResetLasts(TreesArea& area);

// Second child of an inner node whose upper half is 0.
std::uint32_t FarDistance(const TreeControl& control, const std::uint32_t* node);

// Returns the next value of tree `tree` (a TreeIndex) and updates its lasts.
// One table lookup on the next 12 (type tree: 10) bits, then a bit walk only
// for longer codes.
template <typename Reader>
// Forced inline: the painters call it per value and GCC would otherwise keep
// it out of line, which costs more than the lookup itself.
[[gnu::always_inline]] inline std::uint32_t FetchValue(Reader& reader, TreesArea& area, unsigned tree) {
  TreeControl& c = area.control[tree & 3];
  reader.Ensure(12);
  const std::uint32_t entry = c.lookup[static_cast<std::uint32_t>(reader.Peek()) & c.lookup_mask];
  reader.Skip(entry & 0xFFu);
  const std::uint32_t* node = c.base + (entry >> 8);
  std::uint32_t word = *node;
  const std::uint32_t marker = area.marker;
  while ((word & 0xFFFFu) == marker) {
    const std::uint32_t step = reader.ReadBit() ? word >> 16 : 1u;
    node += step ? step : FarDistance(c, node);
    word = *node;
  }
  if (word != *c.slot[0]) {
    *c.slot[2] = *c.slot[1];
    *c.slot[1] = *c.slot[0];
    *c.slot[0] = word;
  }
  return word >> 16;
}

}  // namespace vidzo
