// The plain painters: the reference every other painter set must match.
#include "playback/video_loop.h"

namespace vidzo::video {

namespace {

struct PlainPainters {
  // Two rows at a time from the mask of one byte of the pattern.
  template <class Px, bool kDoubled>
  static void TwoColour(std::uint8_t* p, std::ptrdiff_t pitch, std::uint32_t c, std::uint32_t m,
                        const std::uint16_t* table) {
    constexpr std::ptrdiff_t kRows = kDoubled ? 2 : 1;
    if constexpr (sizeof(Px) == 1) {
      const std::uint64_t low = (c & 0xFFu) * 0x0101010101010101ull;
      const std::uint64_t high = (c >> 8) * 0x0101010101010101ull;
      for (int half = 0; half < 2; ++half, m >>= 8) {
        const std::uint64_t mask = kTwoRowMask8[m & 0xFFu];
        const std::uint64_t rows = (high & mask) | (low & ~mask);
        PutRow<Px, kDoubled>(p, pitch, static_cast<std::uint32_t>(rows));
        p += kRows * pitch;
        PutRow<Px, kDoubled>(p, pitch, static_cast<std::uint32_t>(rows >> 32));
        p += kRows * pitch;
      }
    } else {
      const std::uint64_t low = table[c & 0xFFu] * 0x0001000100010001ull;
      const std::uint64_t high = table[c >> 8] * 0x0001000100010001ull;
      for (int y = 0; y < 4; ++y, m >>= 4) {
        const std::uint64_t mask = kRowMask16[m & 0xFu];
        PutRow<Px, kDoubled>(p, pitch, (high & mask) | (low & ~mask));
        p += kRows * pitch;
      }
    }
  }

  template <class Px, bool kDoubled>
  static void Fill(std::uint8_t* p, std::ptrdiff_t pitch, std::uint32_t pixels, Px value) {
    for (int y = 0; y < (kDoubled ? 8 : 4); ++y, p += pitch)
      for (std::uint32_t x = 0; x < pixels; ++x) std::memcpy(p + x * sizeof(Px), &value, sizeof(Px));
  }
};

}  // namespace

DecodeFn PlainDecoder(unsigned form) {
  return DecoderFor<PlainPainters>(form);
}

}  // namespace vidzo::video
