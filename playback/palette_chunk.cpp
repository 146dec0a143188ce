// The palette chunk: after its length byte, items define palette entries 0 to
// 255 in order. b >= 128 keeps (b & 127) + 1 entries; 64 <= b < 128 copies
// (b & 63) + 1 entries of the previous palette from entry s (the next byte);
// b < 64 is a new colour r = b, g, b of 6 bits each.
//
// The reading is bounded: nothing past the chunk is read, no entry past 255 is
// written, components are taken as 6 bits, entries copied from beyond entry
// 255 keep their colour, and entries the chunk leaves undefined keep theirs.
#include <cstring>

#include "playback/vidzo.h"

namespace {

inline uint8_t Expand6(uint8_t v) {
  v &= 63;
  return static_cast<uint8_t>(v * 4 + v / 16);
}

}  // namespace

extern "C" void DecodePalette(const uint8_t* chunk, uint32_t chunk_size, VidzoHandle* h) {
  if (h == nullptr || chunk == nullptr) return;
  uint8_t previous[256 * 3];
  std::memcpy(previous, h->Palette, sizeof previous);
  uint8_t* pal = h->Palette;
  uint32_t pos = 1;  // after the length byte
  uint32_t i = 0;
  while (i < 256 && pos < chunk_size) {
    uint8_t b = chunk[pos++];
    if (b & 0x80) {
      i += (b & 0x7Fu) + 1;
    } else if (b & 0x40) {
      if (pos >= chunk_size) break;
      uint32_t from = chunk[pos++];
      uint32_t count = (b & 0x3Fu) + 1;
      for (uint32_t k = 0; k < count && i < 256; ++k, ++i, ++from)
        if (from < 256) std::memcpy(pal + i * 3, previous + from * 3, 3);
    } else {
      if (chunk_size - pos < 2) break;
      pal[i * 3] = Expand6(b);
      pal[i * 3 + 1] = Expand6(chunk[pos]);
      pal[i * 3 + 2] = Expand6(chunk[pos + 1]);
      pos += 2;
      ++i;
    }
  }
}
