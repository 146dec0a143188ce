// Code-tree building for the Huff encoders: the ordered list of symbols and
// internal nodes, the merging into a tree, and the walks that assign codes and
// write the tree.
//
// The work arrays are process-wide. The outermost build acquires them (a
// WorkScope that finds none allocates them and releases them when it ends);
// the builds of the two byte encoders nested inside a 16-bit build reuse them.
// Tree building must therefore not run in two threads at once.
#pragma once

#include <cstdint>

namespace huff {

// Node references: symbols are 0..65535, internal node k is kInternal + k.
inline constexpr uint32_t kInternal = 0x10000;
// Longest code a tree may give.
inline constexpr uint32_t kMaxCodeLength = 30;

class WorkScope {
 public:
  // `symbols` is the alphabet size of the encoder (256 or 65536).
  explicit WorkScope(uint32_t symbols);
  ~WorkScope();
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;
  // False when the work arrays could not be had (out of memory).
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
  bool owner_ = false;
};

// True while some build holds the work arrays.
bool WorkAreaHeld();

// Builds the tree of the `leaves` symbols (at least two) whose entries in
// counts[0, symbols) are nonzero and returns the root. Needs a WorkScope.
uint32_t BuildTree(const uint32_t* counts, uint32_t symbols, uint32_t leaves);

// Gives every leaf of the tree its depth in lengths[] and its path in codes[]
// (first branch in bit 0; the 1-branch appends a 1). Returns false when some
// leaf lies deeper than kMaxCodeLength; the tables are then incomplete.
bool AssignCodes(uint32_t root, uint32_t* codes, uint8_t* lengths);

// Visits the tree in pre-order (node, its 0-branch subtree, its 1-branch
// subtree), calling inner(context) for an internal node and
// leaf(context, symbol) for a leaf.
void VisitPreOrder(uint32_t root, void* context, void (*inner)(void*), void (*leaf)(void*, uint32_t));

}  // namespace huff
