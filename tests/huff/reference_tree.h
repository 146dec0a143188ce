// A slow, literal model of the encoder's tree building, for checking the
// encoder against: the ordered list is a plain vector and every insertion
// applies the rule word for word; codes and the stored stream are derived
// from the resulting tree by plain recursion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace huff_ref {

inline constexpr uint32_t kInternal = 0x10000;

struct Tree {
  std::vector<uint32_t> zero;  // 0-branch of internal node k
  std::vector<uint32_t> one;   // 1-branch of internal node k
  uint32_t root = 0;
  uint32_t leaves = 0;
};

struct Codes {
  std::vector<uint32_t> code;    // path, first branch in bit 0 (valid up to 32 bits)
  std::vector<uint32_t> length;  // depth; 0 for symbols not in the tree
  uint32_t max_length = 0;
};

using Bits = std::vector<bool>;

// Symbols with a nonzero count, inserted in increasing order by count, then
// merged two lightest at a time. Needs at least one nonzero count.
Tree Build(const std::vector<uint32_t>& counts);
Codes Assign(const Tree& tree, std::size_t symbols);

void Append(Bits& bits, uint32_t value, unsigned n);

// The stream an 8-bit encoder writes for these counts: 0 with no counts, else
// 1, the pre-order tree with 8-bit leaf values, and 0.
Bits ByteStream(const std::vector<uint32_t>& counts);

// The stream a 16-bit encoder writes when its tree holds the symbols with a
// nonzero count (escapes already placed) and its escape symbols are given:
// 1, the byte trees of the leaves' low and high bytes, the escapes, the
// pre-order tree with byte-coded leaf values, and 0.
Bits WordStream(const std::vector<uint32_t>& counts, const uint32_t escapes[3]);

}  // namespace huff_ref
