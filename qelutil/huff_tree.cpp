// The ordered list and the tree it makes.
//
// The list holds symbols and internal nodes in order of falling weight. A new
// entry of weight w goes directly after every entry weighing at least w; when
// the entry it lands on belongs to the run of equal weights that ends the
// list, that entry moves to the end and the new one takes its place. This
// decides the shape among equal weights, so it is followed exactly.
//
// The list is a doubly linked list of slots (leaves first, then internal
// nodes), and entries of equal weight form a group whose first and last slot
// are known. Finding where an entry goes is then a lookup of its weight's
// group, or of the lightest nonempty group heavier than it; the shortcut is a
// look at the entry that follows. Groups of symbol weights are ranked by
// falling weight and a two-level bitset finds the nearest nonempty heavier
// one. An internal node's weight that no symbol has gets a group of its own;
// such weights come in rising order (every merge takes the two lightest
// entries), so no such group is ever heavier than a new internal node.
#include "qelutil/huff_tree.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <functional>

#include "qelutil/qelutil.h"

namespace huff {
namespace {

constexpr uint32_t kNil = 0xFFFFFFFFu;

struct WorkArea {
  uint32_t capacity;  // most leaves a build may have
  // The tree: children of each internal node.
  uint32_t* zero;  // [capacity]
  uint32_t* one;   // [capacity]
  // The list: one slot per entry, leaves first, then internal nodes.
  uint64_t* weight;  // [2 * capacity]
  uint32_t* ref;     // [2 * capacity]
  uint32_t* prev;    // [2 * capacity]
  uint32_t* next;    // [2 * capacity]
  uint32_t* group;   // [2 * capacity]
  // Groups: symbol weights ranked heaviest first, then internal-only weights.
  uint64_t* group_weight;  // [2 * capacity]
  uint32_t* first;         // [2 * capacity]
  uint32_t* last;          // [2 * capacity]
  uint64_t* present;       // [words]: nonempty symbol-weight groups by rank
  uint64_t* summary;       // [summary_words]: nonzero words of present
  uint32_t words;
  uint32_t summary_words;
  // Walk stacks.
  uint32_t* stack_ref;    // [capacity + 1]
  uint32_t* stack_depth;  // [capacity + 1]
  uint32_t* stack_code;   // [capacity + 1]
  void* block;
};

WorkArea* g_work = nullptr;

// Hands out 16-byte aligned pieces of one block; with no block it only
// measures.
class Carver {
 public:
  explicit Carver(uint8_t* base) : base_(base) {}
  template <typename T>
  T* Take(size_t count) {
    T* p = base_ == nullptr ? nullptr : reinterpret_cast<T*>(base_ + used_);
    used_ += (count * sizeof(T) + 15) & ~size_t{15};
    return p;
  }
  size_t used() const { return used_; }

 private:
  uint8_t* base_;
  size_t used_ = 0;
};

// Lays the arrays out in `base` (or only measures them when base is null) and
// returns the bytes needed.
size_t Layout(WorkArea& w, uint8_t* base) {
  const size_t n = w.capacity;
  w.words = static_cast<uint32_t>((n + 63) / 64);
  w.summary_words = (w.words + 63) / 64;
  Carver c(base);
  w.zero = c.Take<uint32_t>(n);
  w.one = c.Take<uint32_t>(n);
  w.weight = c.Take<uint64_t>(2 * n);
  w.ref = c.Take<uint32_t>(2 * n);
  w.prev = c.Take<uint32_t>(2 * n);
  w.next = c.Take<uint32_t>(2 * n);
  w.group = c.Take<uint32_t>(2 * n);
  w.group_weight = c.Take<uint64_t>(2 * n);
  w.first = c.Take<uint32_t>(2 * n);
  w.last = c.Take<uint32_t>(2 * n);
  w.present = c.Take<uint64_t>(w.words);
  w.summary = c.Take<uint64_t>(w.summary_words);
  w.stack_ref = c.Take<uint32_t>(n + 1);
  w.stack_depth = c.Take<uint32_t>(n + 1);
  w.stack_code = c.Take<uint32_t>(n + 1);
  return c.used();
}

// Mask of bits 0..b of a word.
uint64_t BitsUpTo(uint32_t b) {
  return b >= 63 ? ~uint64_t{0} : (uint64_t{2} << b) - 1;
}
uint32_t HighestBit(uint64_t bits) {
  return 63u - static_cast<uint32_t>(std::countl_zero(bits));
}

// The ordered list of one build.
class OrderedList {
 public:
  OrderedList(WorkArea& w, uint32_t rank_count) : w_(w), ranks_(rank_count) {
    std::memset(w_.present, 0, w_.words * sizeof(uint64_t));
    std::memset(w_.summary, 0, w_.summary_words * sizeof(uint64_t));
    for (uint32_t g = 0; g < ranks_; ++g) w_.first[g] = w_.last[g] = kNil;
  }

  uint32_t size() const { return size_; }
  uint32_t tail() const { return tail_; }

  // Puts `slot` (weight and ref already set) into the list. `rank` is the
  // number of symbol weights heavier than its weight (the group's rank when
  // the weight is a symbol weight).
  void Insert(uint32_t slot, uint32_t rank) {
    const uint64_t weight = w_.weight[slot];
    uint32_t g;
    if (rank < ranks_ && w_.group_weight[rank] == weight) {
      g = rank;
    } else if (internal_groups_ > 0 && w_.group_weight[ranks_ + internal_groups_ - 1] == weight) {
      g = ranks_ + internal_groups_ - 1;
    } else {
      g = ranks_ + internal_groups_++;
      w_.group_weight[g] = weight;
      w_.first[g] = w_.last[g] = kNil;
    }
    uint32_t after;
    if (w_.first[g] != kNil) {
      after = w_.last[g];
    } else {
      const uint32_t heavier = PresentBefore(rank);
      after = heavier == kNil ? kNil : w_.last[heavier];
      w_.first[g] = slot;
      if (g < ranks_) SetPresent(g);
    }
    LinkAfter(after, slot);
    w_.last[g] = slot;
    w_.group[slot] = g;

    // The entry that was at this place: when it starts the run of equal
    // weights that ends the list, it goes to the end instead.
    const uint32_t landed = w_.next[slot];
    if (landed != kNil && landed != tail_ && w_.weight[landed] == w_.weight[tail_]) {
      const uint32_t run = w_.group[landed];
      w_.first[run] = w_.next[landed];
      Unlink(landed);
      LinkAfter(tail_, landed);
      w_.last[run] = landed;
    }
  }

  // Removes the last (lightest) entry and returns its slot.
  uint32_t PopLast() {
    const uint32_t slot = tail_;
    const uint32_t g = w_.group[slot];
    if (w_.first[g] == slot) {
      w_.first[g] = w_.last[g] = kNil;
      if (g < ranks_) ClearPresent(g);
    } else {
      w_.last[g] = w_.prev[slot];
    }
    Unlink(slot);
    return slot;
  }

 private:
  // Makes b follow a; kNil on either side stands for the list's ends.
  void Join(uint32_t a, uint32_t b) {
    if (a == kNil) {
      head_ = b;
    } else {
      w_.next[a] = b;
    }
    if (b == kNil) {
      tail_ = a;
    } else {
      w_.prev[b] = a;
    }
  }

  void LinkAfter(uint32_t after, uint32_t slot) {
    const uint32_t before = after == kNil ? head_ : w_.next[after];
    Join(after, slot);
    Join(slot, before);
    ++size_;
  }

  void Unlink(uint32_t slot) {
    Join(w_.prev[slot], w_.next[slot]);
    --size_;
  }

  void SetPresent(uint32_t rank) {
    w_.present[rank >> 6] |= uint64_t{1} << (rank & 63);
    w_.summary[rank >> 12] |= uint64_t{1} << ((rank >> 6) & 63);
  }

  void ClearPresent(uint32_t rank) {
    uint64_t& word = w_.present[rank >> 6];
    word &= ~(uint64_t{1} << (rank & 63));
    if (word == 0) w_.summary[rank >> 12] &= ~(uint64_t{1} << ((rank >> 6) & 63));
  }

  // The highest nonempty rank below `rank` (the lightest nonempty
  // symbol-weight group heavier than it), or kNil.
  uint32_t PresentBefore(uint32_t rank) const {
    if (rank == 0) return kNil;
    const uint32_t r = rank - 1;
    uint32_t word = r >> 6;
    uint64_t bits = w_.present[word] & BitsUpTo(r & 63);
    if (bits != 0) return word * 64 + HighestBit(bits);
    if (word == 0) return kNil;
    const uint32_t before = word - 1;
    uint32_t s = before >> 6;
    uint64_t sbits = w_.summary[s] & BitsUpTo(before & 63);
    for (;;) {
      if (sbits != 0) {
        word = s * 64 + HighestBit(sbits);
        return word * 64 + HighestBit(w_.present[word]);
      }
      if (s == 0) return kNil;
      sbits = w_.summary[--s];
    }
  }

  WorkArea& w_;
  uint32_t ranks_;
  uint32_t internal_groups_ = 0;
  uint32_t head_ = kNil;
  uint32_t tail_ = kNil;
  uint32_t size_ = 0;
};

}  // namespace

WorkScope::WorkScope(uint32_t symbols) {
  if (g_work != nullptr) {
    ok_ = g_work->capacity >= symbols;
    return;
  }
  WorkArea area{};
  area.capacity = symbols;
  const size_t bytes = Layout(area, nullptr);
  auto* block = static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(sizeof(WorkArea) + 16 + bytes)));
  if (block == nullptr) return;
  auto* w = reinterpret_cast<WorkArea*>(block);
  *w = area;
  Layout(*w, block + ((sizeof(WorkArea) + 15) & ~size_t{15}));
  w->block = block;
  g_work = w;
  ok_ = true;
  owner_ = true;
}

WorkScope::~WorkScope() {
  if (!owner_) return;
  void* block = g_work->block;
  g_work = nullptr;
  qelfree(block);
}

bool WorkAreaHeld() {
  return g_work != nullptr;
}

uint32_t BuildTree(const uint32_t* counts, uint32_t symbols, uint32_t leaves) {
  WorkArea& w = *g_work;
  // Sort the leaves by falling weight (keys: weight, then leaf slot), give
  // each its rank among the distinct weights, and keep those weights, which
  // name the groups.
  uint64_t* keys = w.group_weight;
  uint32_t n = 0;
  for (uint32_t s = 0; s < symbols && n < leaves; ++s) {
    if (counts[s] == 0) continue;
    w.weight[n] = counts[s];
    w.ref[n] = s;
    keys[n] = (uint64_t{counts[s]} << 32) | n;
    ++n;
  }
  leaves = n;
  std::sort(keys, keys + n, std::greater<>());
  uint32_t ranks = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint64_t key = keys[i];  // read before the slot below is reused
    const uint64_t weight = key >> 32;
    if (ranks == 0 || keys[ranks - 1] != weight) keys[ranks++] = weight;
    w.group[key & 0xFFFFFFFFu] = ranks - 1;
  }

  OrderedList list(w, ranks);
  for (uint32_t slot = 0; slot < leaves; ++slot) list.Insert(slot, w.group[slot]);

  // The two lightest entries become the 1-branch (the last) and the 0-branch
  // (the one before it) of a new internal node.
  uint32_t node = 0;
  uint32_t cursor = ranks;
  while (list.size() >= 2) {
    const uint32_t one = list.PopLast();
    const uint32_t zero = list.PopLast();
    w.zero[node] = w.ref[zero];
    w.one[node] = w.ref[one];
    const uint32_t made = leaves + node;
    w.weight[made] = w.weight[zero] + w.weight[one];
    w.ref[made] = kInternal + node;
    // Merged weights never fall, so their rank only moves towards the front.
    while (cursor > 0 && w.group_weight[cursor - 1] <= w.weight[made]) --cursor;
    list.Insert(made, cursor);
    ++node;
  }
  return kInternal + node - 1;
}

bool AssignCodes(uint32_t root, uint32_t* codes, uint8_t* lengths) {
  WorkArea& w = *g_work;
  bool fits = true;
  uint32_t top = 0;
  w.stack_ref[0] = root;
  w.stack_depth[0] = 0;
  w.stack_code[0] = 0;
  top = 1;
  while (top > 0) {
    --top;
    const uint32_t ref = w.stack_ref[top];
    const uint32_t depth = w.stack_depth[top];
    const uint32_t code = w.stack_code[top];
    if (ref < kInternal) {
      if (depth > kMaxCodeLength) {
        fits = false;
      } else {
        codes[ref] = code;
        lengths[ref] = static_cast<uint8_t>(depth);
      }
      continue;
    }
    const uint32_t k = ref - kInternal;
    const uint32_t one_bit = depth < 32 ? uint32_t{1} << depth : 0;
    w.stack_ref[top] = w.one[k];
    w.stack_depth[top] = depth + 1;
    w.stack_code[top] = code | one_bit;
    ++top;
    w.stack_ref[top] = w.zero[k];
    w.stack_depth[top] = depth + 1;
    w.stack_code[top] = code;
    ++top;
  }
  return fits;
}

void VisitPreOrder(uint32_t root, void* context, void (*inner)(void*), void (*leaf)(void*, uint32_t)) {
  WorkArea& w = *g_work;
  uint32_t top = 0;
  w.stack_ref[top++] = root;
  while (top > 0) {
    const uint32_t ref = w.stack_ref[--top];
    if (ref < kInternal) {
      leaf(context, ref);
      continue;
    }
    inner(context);
    w.stack_ref[top++] = w.one[ref - kInternal];
    w.stack_ref[top++] = w.zero[ref - kInternal];
  }
}

}  // namespace huff
