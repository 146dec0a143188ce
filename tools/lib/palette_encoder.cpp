// The palette chunk encoder: the shortest item sequence, found by dynamic
// programming over the entries from the last one back.
#include <cstring>

#include "tools/lib/vdz_writer.h"

namespace vidzotools {
namespace {

enum class Item : uint8_t { kKeep, kCopy, kNew };

struct Step {
  Item item = Item::kNew;
  uint8_t length = 1;
  uint8_t from = 0;
};

bool Same(const uint8_t* a, int i, const uint8_t* b, int j) {
  return std::memcmp(a + 3 * i, b + 3 * j, 3) == 0;
}

}  // namespace

std::vector<uint8_t> EncodePaletteChunk(const uint8_t* previous, const uint8_t* next) {
  constexpr int kEntries = 256;
  // match[s] for the current i: entries next[i...] equal to previous[s...].
  static thread_local uint8_t match[kEntries + 1][kEntries + 1];
  uint32_t cost[kEntries + 1];
  Step step[kEntries];
  cost[kEntries] = 0;
  for (int s = 0; s <= kEntries; ++s) match[kEntries][s] = 0;
  for (int i = kEntries - 1; i >= 0; --i) {
    match[i][kEntries] = 0;
    for (int s = kEntries - 1; s >= 0; --s) {
      int m = Same(next, i, previous, s) ? 1 + match[i + 1][s + 1] : 0;
      match[i][s] = static_cast<uint8_t>(m > 128 ? 128 : m);
    }
    cost[i] = 3 + cost[i + 1];
    step[i] = Step{};
    for (int len = 1; len <= match[i][i] && len <= 128; ++len) {
      if (1 + cost[i + len] < cost[i]) {
        cost[i] = 1 + cost[i + len];
        step[i] = Step{Item::kKeep, static_cast<uint8_t>(len - 1), 0};
      }
    }
    for (int s = 0; s < kEntries; ++s) {
      for (int len = 1; len <= match[i][s] && len <= 64; ++len) {
        if (2 + cost[i + len] < cost[i]) {
          cost[i] = 2 + cost[i + len];
          step[i] = Step{Item::kCopy, static_cast<uint8_t>(len - 1), static_cast<uint8_t>(s)};
        }
      }
    }
  }

  std::vector<uint8_t> chunk{0};
  for (int i = 0; i < kEntries;) {
    const Step& st = step[i];
    switch (st.item) {
      case Item::kKeep:
        chunk.push_back(static_cast<uint8_t>(0x80 | st.length));
        i += st.length + 1;
        break;
      case Item::kCopy:
        chunk.push_back(static_cast<uint8_t>(0x40 | st.length));
        chunk.push_back(st.from);
        i += st.length + 1;
        break;
      case Item::kNew:
        for (int k = 0; k < 3; ++k) chunk.push_back(static_cast<uint8_t>(next[3 * i + k] >> 2));
        ++i;
        break;
    }
  }
  while (chunk.size() % 4 != 0) chunk.push_back(0);
  chunk[0] = static_cast<uint8_t>(chunk.size() / 4);
  return chunk;
}

}  // namespace vidzotools
