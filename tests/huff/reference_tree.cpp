#include "reference_tree.h"

#include <algorithm>
#include <functional>

namespace huff_ref {
namespace {

struct Entry {
  uint64_t weight;
  uint32_t ref;
};

// The entry goes directly after every entry weighing at least as much; when
// the entry at that place weighs the same as the last entry of the list, that
// entry moves to the end and the new one takes its place.
void Insert(std::vector<Entry>& list, Entry e) {
  const auto heavier = [&](const Entry& x) { return x.weight >= e.weight; };
  const size_t place =
      static_cast<size_t>(std::partition_point(list.begin(), list.end(), heavier) - list.begin());
  if (place < list.size() && list[place].weight == list.back().weight) {
    const Entry moved = list[place];
    list.push_back(moved);
    list[place] = e;
  } else {
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(place), e);
  }
}

void Walk(const Tree& t, uint32_t ref, uint32_t depth, uint32_t code, Codes& c) {
  if (ref < kInternal) {
    c.code[ref] = code;
    c.length[ref] = depth;
    c.max_length = std::max(c.max_length, depth);
    return;
  }
  const uint32_t k = ref - kInternal;
  Walk(t, t.zero[k], depth + 1, code, c);
  Walk(t, t.one[k], depth + 1, depth < 32 ? code | (1u << depth) : code, c);
}

void Shape(const Tree& t, uint32_t ref, Bits& bits, const std::function<void(uint32_t)>& leaf) {
  if (ref < kInternal) {
    bits.push_back(false);
    leaf(ref);
    return;
  }
  bits.push_back(true);
  Shape(t, t.zero[ref - kInternal], bits, leaf);
  Shape(t, t.one[ref - kInternal], bits, leaf);
}

}  // namespace

Tree Build(const std::vector<uint32_t>& counts) {
  std::vector<Entry> list;
  Tree t;
  for (uint32_t s = 0; s < counts.size(); ++s)
    if (counts[s] != 0) Insert(list, {counts[s], s});
  t.leaves = static_cast<uint32_t>(list.size());
  while (list.size() >= 2) {
    const Entry one = list.back();
    list.pop_back();
    const Entry zero = list.back();
    list.pop_back();
    t.zero.push_back(zero.ref);
    t.one.push_back(one.ref);
    Insert(list, {zero.weight + one.weight, kInternal + static_cast<uint32_t>(t.zero.size() - 1)});
  }
  t.root = list.front().ref;
  return t;
}

Codes Assign(const Tree& tree, std::size_t symbols) {
  Codes c;
  c.code.assign(symbols, 0);
  c.length.assign(symbols, 0);
  Walk(tree, tree.root, 0, 0, c);
  return c;
}

void Append(Bits& bits, uint32_t value, unsigned n) {
  for (unsigned i = 0; i < n; ++i) bits.push_back(((value >> i) & 1) != 0);
}

Bits ByteStream(const std::vector<uint32_t>& counts) {
  Bits bits;
  if (std::all_of(counts.begin(), counts.end(), [](uint32_t c) { return c == 0; })) {
    bits.push_back(false);
    return bits;
  }
  bits.push_back(true);
  const Tree tree = Build(counts);
  Shape(tree, tree.root, bits, [&](uint32_t s) { Append(bits, s, 8); });
  bits.push_back(false);
  return bits;
}

Bits WordStream(const std::vector<uint32_t>& counts, const uint32_t escapes[3]) {
  std::vector<uint32_t> low(256), high(256);
  for (uint32_t s = 0; s < counts.size(); ++s) {
    if (counts[s] == 0) continue;
    ++low[s & 0xFF];
    ++high[s >> 8];
  }
  Bits bits{true};
  const Bits low_tree = ByteStream(low);
  const Bits high_tree = ByteStream(high);
  bits.insert(bits.end(), low_tree.begin(), low_tree.end());
  bits.insert(bits.end(), high_tree.begin(), high_tree.end());
  for (int i = 0; i < 3; ++i) Append(bits, escapes[i], 16);
  const Codes low_codes = Assign(Build(low), 256);
  const Codes high_codes = Assign(Build(high), 256);
  const Tree tree = Build(counts);
  Shape(tree, tree.root, bits, [&](uint32_t s) {
    Append(bits, low_codes.code[s & 0xFF], low_codes.length[s & 0xFF]);
    Append(bits, high_codes.code[s >> 8], high_codes.length[s >> 8]);
  });
  bits.push_back(false);
  return bits;
}

}  // namespace huff_ref
