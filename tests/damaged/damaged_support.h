// Reading the layout of a .vdz file's bytes, for the tests that damage them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace damaged_test {

// The little-endian 32-bit number at `at`.
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// File position of frame record `i` (the file's end for the count of records).
inline size_t RecordStart(const std::vector<uint8_t>& b, uint32_t i) {
  const uint32_t n = Le32(b, 12) + (Le32(b, 20) & 1);
  size_t at = 104 + 5 * size_t{n} + Le32(b, 52);
  for (uint32_t k = 0; k < i; ++k) at += Le32(b, 104 + 4 * size_t{k});
  return at;
}

}  // namespace damaged_test
