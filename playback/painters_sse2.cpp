// The vector painters (SSE2): two-colour blocks as one masked blend per two
// rows, solid stretches with 16-byte stores. They write exactly what the
// plain painters write.
#include "playback/video_loop.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vidzo::video {

#if defined(__SSE2__)

namespace {

// Store the low 4 or 8 bytes of v (one row), once or twice.
template <class Px, bool kDoubled>
inline void PutLane(std::uint8_t* p, std::ptrdiff_t pitch, __m128i v) {
  if constexpr (sizeof(Px) == 1) {
    const int row = _mm_cvtsi128_si32(v);
    std::memcpy(p, &row, 4);
    if constexpr (kDoubled) std::memcpy(p + pitch, &row, 4);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    if constexpr (kDoubled) _mm_storel_epi64(reinterpret_cast<__m128i*>(p + pitch), v);
  }
}

inline __m128i Blend(__m128i mask, __m128i high, __m128i low) {
  return _mm_or_si128(_mm_and_si128(mask, high), _mm_andnot_si128(mask, low));
}

struct VectorPainters {
  template <class Px, bool kDoubled>
  static void TwoColour(std::uint8_t* p, std::ptrdiff_t pitch, std::uint32_t c, std::uint32_t m,
                        const std::uint16_t* table) {
    constexpr std::ptrdiff_t kRows = kDoubled ? 2 : 1;
    if constexpr (sizeof(Px) == 1) {
      const __m128i low = _mm_set1_epi8(static_cast<char>(c & 0xFFu));
      const __m128i high = _mm_set1_epi8(static_cast<char>(c >> 8));
      const __m128i mask = _mm_set_epi64x(static_cast<long long>(kTwoRowMask8[(m >> 8) & 0xFFu]),
                                          static_cast<long long>(kTwoRowMask8[m & 0xFFu]));
      __m128i v = Blend(mask, high, low);
      for (int y = 0; y < 4; ++y, p += kRows * pitch, v = _mm_srli_si128(v, 4))
        PutLane<Px, kDoubled>(p, pitch, v);
    } else {
      const __m128i low = _mm_set1_epi16(static_cast<short>(table[c & 0xFFu]));
      const __m128i high = _mm_set1_epi16(static_cast<short>(table[c >> 8]));
      for (int half = 0; half < 2; ++half, m >>= 8) {
        const __m128i mask = _mm_set_epi64x(static_cast<long long>(kRowMask16[(m >> 4) & 0xFu]),
                                            static_cast<long long>(kRowMask16[m & 0xFu]));
        const __m128i v = Blend(mask, high, low);
        PutLane<Px, kDoubled>(p, pitch, v);
        p += kRows * pitch;
        PutLane<Px, kDoubled>(p, pitch, _mm_unpackhi_epi64(v, v));
        p += kRows * pitch;
      }
    }
  }

  template <class Px, bool kDoubled>
  static void Fill(std::uint8_t* p, std::ptrdiff_t pitch, std::uint32_t pixels, Px value) {
    const __m128i v =
        sizeof(Px) == 1 ? _mm_set1_epi8(static_cast<char>(value)) : _mm_set1_epi16(static_cast<short>(value));
    const std::uint32_t bytes = pixels * static_cast<std::uint32_t>(sizeof(Px));  // a multiple of 4
    const std::uint32_t whole = bytes & ~15u;
    const std::uint32_t word = _mm_cvtsi128_si32(v);
    for (int y = 0; y < (kDoubled ? 8 : 4); ++y, p += pitch) {
      std::uint32_t x = 0;
      for (; x < whole; x += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + x), v);
      for (; x < bytes; x += 4) std::memcpy(p + x, &word, 4);
    }
  }
};

}  // namespace

DecodeFn VectorDecoder(unsigned form) {
  return DecoderFor<VectorPainters>(form);
}

#else

DecodeFn VectorDecoder(unsigned) {
  return nullptr;
}

#endif

}  // namespace vidzo::video
