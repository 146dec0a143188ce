// Shared pieces of the encoder tests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "qelutil/qelutil.h"
#include "support/bit_stream.h"

namespace huff_test {

using HuffPtr = std::unique_ptr<Huff, decltype(&HuffClose)>;

inline HuffPtr OpenByte() {
  return HuffPtr(HuffOpen(1), &HuffClose);
}
inline HuffPtr OpenWord() {
  return HuffPtr(HuffOpen(0), &HuffClose);
}

inline uint32_t Symbols(const Huff* h) {
  return h->low_tree == nullptr ? 256 : 65536;
}

// Fresh statistics with these counts placed straight into the count table
// (counts.size() must be the alphabet size); escape counters stay 0.
inline void PlaceCounts(Huff* h, const std::vector<uint32_t>& counts) {
  HuffInitStats(h);
  for (uint32_t s = 0; s < counts.size(); ++s) {
    h->codes[s] = counts[s];
    if (counts[s] != 0) h->has_stats = 1;
  }
}

// The bit position of the stream written so far.
inline uint64_t BitPos(QELFile* f) {
  return uint64_t{QELFileGetPos(f)} * 8 + QELFileBitPos(f);
}

}  // namespace huff_test
