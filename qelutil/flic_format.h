// The flic file layout shared by the reader and the writer: header offsets,
// frame and chunk types, and little-endian access to byte buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flic {

inline constexpr uint32_t kHeaderSize = 128;
inline constexpr uint32_t kFrameHeaderSize = 16;
inline constexpr uint32_t kChunkHeaderSize = 6;
inline constexpr uint32_t kFileBuffer = 64000;

// Header offsets.
inline constexpr uint32_t kOffSize = 0;
inline constexpr uint32_t kOffMagic = 4;
inline constexpr uint32_t kOffFrames = 6;
inline constexpr uint32_t kOffWidth = 8;
inline constexpr uint32_t kOffHeight = 10;
inline constexpr uint32_t kOffDepth = 12;
inline constexpr uint32_t kOffFlags = 14;
inline constexpr uint32_t kOffSpeed = 16;
inline constexpr uint32_t kOffFrameTime = 26;
inline constexpr uint32_t kOffAspectX = 38;
inline constexpr uint32_t kOffAspectY = 40;
inline constexpr uint32_t kOffFirstFrame = 80;
inline constexpr uint32_t kOffSecondFrame = 84;

inline constexpr uint16_t kMagicFli = 0xAF11;
inline constexpr uint16_t kMagicFlc = 0xAF12;
inline constexpr uint16_t kFrameType = 0xF1FA;

// Chunk types.
inline constexpr uint16_t kColor256 = 4;
inline constexpr uint16_t kWordDelta = 7;
inline constexpr uint16_t kColor64 = 11;
inline constexpr uint16_t kByteDelta = 12;
inline constexpr uint16_t kBlack = 13;
inline constexpr uint16_t kByteRun = 15;
inline constexpr uint16_t kRaw = 16;

inline uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace flic
