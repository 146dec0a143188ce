// Reading a tree's shape from its stored form, shared by the byte trees and
// the big trees. Internal to the trees code.
#pragma once

#include <cstdint>

#include "playback/trees.h"

namespace vidzo::detail {

// Leaves are stored with this flag while a tree is read; inner nodes hold the
// distance in nodes to their second child.
inline constexpr std::uint32_t kLeafFlag = 0x80000000u;

// Reads a shape (1 = inner node, 0 = leaf, then one ending 0 bit) into
// words[0, capacity) with an explicit stack instead of recursion. `leaf(index)`
// reads a leaf's value and returns what to store for node `index`. A tree that
// would not fit, or nests first subtrees deeper than `MaxNesting`, is cut off: every
// subtree still open gets a leaf of value 0 and nothing more is read. Returns
// the number of nodes stored; the tree is complete whenever that is not 0.
template <unsigned MaxNesting, typename Reader, typename LeafFn>
std::uint32_t ReadTreeShape(Reader& reader, std::uint32_t* words, std::uint32_t capacity, LeafFn&& leaf) {
  if (capacity == 0) return 0;
  constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;
  // Subtrees still to be read: "no parent" for the root, then every inner
  // node whose first subtree is being read. The end mark is depth 0.
  std::uint32_t stack[MaxNesting];
  unsigned depth = 0;
  stack[depth++] = kNoParent;
  std::uint32_t used = 0;
  auto store_leaf = [&](std::uint32_t value) {
    words[used++] = kLeafFlag | value;
    std::uint32_t top = stack[--depth];
    if (top != kNoParent) words[top] = used - top;  // its second child starts here
  };
  while (depth > 0) {
    if (reader.ReadBit()) {
      // Room for this node and one leaf for each subtree then open.
      if (depth == MaxNesting || std::uint64_t{used} + depth + 2 > capacity) {
        while (depth > 0) store_leaf(0);
        return used;
      }
      words[used] = 0;
      stack[depth++] = used++;
    } else {
      store_leaf(leaf(used));
    }
  }
  reader.ReadBit();  // the ending 0 bit
  return used;
}

}  // namespace vidzo::detail
