// A small writer of bit streams and prefix-code trees in the stored form the
// decoder reads, for building test and benchmark input by hand.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace vidzoer_test {

// Bits least significant first, bytes in order.
class BitWriter {
 public:
  void PutBit(unsigned bit) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (bit & 1u) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (count_ % 8)));
    ++count_;
  }
  // `bits` bits of `value`, its lowest bit first.
  void Put(std::uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) PutBit((value >> i) & 1u);
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::uint64_t bit_count() const { return count_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t count_ = 0;
};

// A code: `length` bits (at most 32), the first one in bit 0.
struct Code {
  std::uint32_t bits = 0;
  unsigned length = 0;
};

// A prefix-code tree built node by node. Bit 0 leads to the first child.
class CodeTree {
 public:
  struct Node {
    bool leaf;
    std::uint32_t value;
    int first, second;
  };

  int Leaf(std::uint32_t value) { return Add({true, value, -1, -1}); }
  int Inner(int first, int second) { return Add({false, 0, first, second}); }
  // A balanced tree over `values`, in order from the all-zero code on.
  int Balanced(std::span<const std::uint32_t> values) {
    if (values.size() == 1) return Leaf(values[0]);
    std::size_t half = values.size() / 2;
    int first = Balanced(values.first(half));
    return Inner(first, Balanced(values.subspan(half)));
  }
  // values[0] gets code 1, values[1] code 01, ...; the last two share the
  // deepest level.
  int Spine(std::span<const std::uint32_t> values) {
    if (values.size() == 1) return Leaf(values[0]);
    int rest = Spine(values.subspan(1));
    return Inner(rest, Leaf(values[0]));
  }

  void set_root(int root) { root_ = root; }
  int root() const { return root_; }
  const Node& node(int index) const { return nodes_[static_cast<std::size_t>(index)]; }
  std::size_t size() const { return nodes_.size(); }

  // The code of every node (inner nodes included), by node index.
  std::vector<Code> Codes() const {
    std::vector<Code> codes(nodes_.size());
    Assign(root_, Code{}, codes);
    return codes;
  }
  // The code of each leaf value; for a value with several leaves, the last
  // one in stored order.
  std::unordered_map<std::uint32_t, Code> LeafCodes() const {
    std::vector<Code> codes = Codes();
    std::unordered_map<std::uint32_t, Code> by_value;
    VisitLeaves(root_,
                [&](int index) { by_value[node(index).value] = codes[static_cast<std::size_t>(index)]; });
    return by_value;
  }
  // Leaves in stored order.
  std::vector<std::uint32_t> LeafValues() const {
    std::vector<std::uint32_t> values;
    VisitLeaves(root_, [&](int index) { values.push_back(node(index).value); });
    return values;
  }

  // The stored shape; `leaf(writer, value)` writes a leaf's value. Ends with
  // the closing 0 bit.
  template <typename LeafWriter>
  void WriteShape(BitWriter& w, LeafWriter&& leaf) const {
    WriteNode(w, root_, leaf);
    w.PutBit(0);
  }

 private:
  int Add(Node n) {
    nodes_.push_back(n);
    root_ = static_cast<int>(nodes_.size()) - 1;
    return root_;
  }
  void Assign(int index, Code code, std::vector<Code>& codes) const {
    codes[static_cast<std::size_t>(index)] = code;
    const Node& n = node(index);
    if (n.leaf) return;
    Assign(n.first, Code{code.bits, code.length + 1}, codes);
    Assign(n.second, Code{code.bits | (1u << code.length), code.length + 1}, codes);
  }
  template <typename Fn>
  void VisitLeaves(int index, Fn&& fn) const {
    const Node& n = node(index);
    if (n.leaf) {
      fn(index);
      return;
    }
    VisitLeaves(n.first, fn);
    VisitLeaves(n.second, fn);
  }
  template <typename LeafWriter>
  void WriteNode(BitWriter& w, int index, LeafWriter& leaf) const {
    const Node& n = node(index);
    if (n.leaf) {
      w.PutBit(0);
      leaf(w, n.value);
      return;
    }
    w.PutBit(1);
    WriteNode(w, n.first, leaf);
    WriteNode(w, n.second, leaf);
  }

  std::vector<Node> nodes_;
  int root_ = -1;
};

inline void PutCode(BitWriter& w, Code code) {
  w.Put(code.bits, code.length);
}

inline void WriteByteTree(BitWriter& w, const CodeTree& tree) {
  tree.WriteShape(w, [](BitWriter& out, std::uint32_t value) { out.Put(value, 8); });
}

// A byte tree giving every byte an 8-bit code.
inline CodeTree FullByteTree() {
  std::vector<std::uint32_t> values(256);
  for (std::uint32_t v = 0; v < 256; ++v) values[v] = v;
  CodeTree tree;
  tree.Balanced(values);
  return tree;
}

// Writes one big tree. Null byte trees are left out (their byte reads as 0).
inline void WriteBigTree(BitWriter& w, const CodeTree& tree, const std::uint32_t escapes[3],
                         const CodeTree* low, const CodeTree* high) {
  w.PutBit(1);
  w.PutBit(low != nullptr);
  if (low) WriteByteTree(w, *low);
  w.PutBit(high != nullptr);
  if (high) WriteByteTree(w, *high);
  for (int i = 0; i < 3; ++i) w.Put(escapes[i], 16);
  auto low_codes = low ? low->LeafCodes() : std::unordered_map<std::uint32_t, Code>{};
  auto high_codes = high ? high->LeafCodes() : std::unordered_map<std::uint32_t, Code>{};
  tree.WriteShape(w, [&](BitWriter& out, std::uint32_t value) {
    if (low) PutCode(out, low_codes.at(value & 0xFFu));
    if (high) PutCode(out, high_codes.at(value >> 8));
  });
}

// The size field that gives room for `tree`: 4 bytes per node and three
// spare slots.
inline std::uint32_t SizeFieldFor(const CodeTree& tree) {
  return static_cast<std::uint32_t>((tree.size() + 3) * 4);
}

}  // namespace vidzoer_test
