// RIFF helpers shared by the AVI reader and writer: four-character codes,
// little-endian numbers and the BITMAPINFOHEADER size rules.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace avifile {

constexpr uint32_t Fourcc(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

inline uint16_t Rd16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Rd32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void Wr16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Wr32(std::vector<uint8_t>& v, uint32_t x) {
  Wr16(v, x);
  Wr16(v, x >> 16);
}
inline void Patch32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// Bytes per row of a bottom-up bitmap.
inline uint64_t DibRowBytes(int64_t width, int64_t bits) {
  return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) / 32 * 4;
}

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1;
constexpr uint32_t kIndexKeyFrame = 0x10, kIndexNoTime = 0x100;

}  // namespace avifile
