// The SSE2 row loops: 16 source pixels per step, the rest of the row by the
// plain loops. Their output is that of the plain loops. A doubled row is
// written once and then copied: stores alternating between two rows are
// markedly slower than two passes.
#include "display/blit_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vidzo::blit {

#if defined(__SSE2__)

namespace {

inline __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(std::uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
// Bytes of `then` where the mask is set, else of `otherwise`.
inline __m128i Select(__m128i mask, __m128i then, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(mask, then), _mm_andnot_si128(mask, otherwise));
}

void Double8(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = Load(src + i);
    const __m128i lo = _mm_unpacklo_epi8(v, v), hi = _mm_unpackhi_epi8(v, v);
    Store(row0 + 2 * i, lo);
    Store(row0 + 2 * i + 16, hi);
  }
  PlainKernels().double8(row0 + 2 * i, nullptr, src + i, n - i);
  if (row1 != nullptr) std::memcpy(row1, row0, 2 * n);
}

void Double16(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n,
              const std::uint16_t* table) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint8_t* s = src + i;
    const __m128i v = _mm_setr_epi16(static_cast<short>(table[s[0]]), static_cast<short>(table[s[1]]),
                                     static_cast<short>(table[s[2]]), static_cast<short>(table[s[3]]),
                                     static_cast<short>(table[s[4]]), static_cast<short>(table[s[5]]),
                                     static_cast<short>(table[s[6]]), static_cast<short>(table[s[7]]));
    const __m128i lo = _mm_unpacklo_epi16(v, v), hi = _mm_unpackhi_epi16(v, v);
    Store(row0 + 4 * i, lo);
    Store(row0 + 4 * i + 16, hi);
  }
  PlainKernels().double16(row0 + 4 * i, nullptr, src + i, n - i, table);
  if (row1 != nullptr) std::memcpy(row1, row0, 4 * n);
}

void Trans(std::uint8_t* dest, const std::uint8_t* src, std::size_t n, std::uint8_t key) {
  const __m128i k = _mm_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i s = Load(src + i);
    Store(dest + i, Select(_mm_cmpeq_epi8(s, k), Load(dest + i), s));
  }
  PlainKernels().trans(dest + i, src + i, n - i, key);
}

void Mask(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* mask, std::size_t n,
          std::uint8_t key) {
  const __m128i k = _mm_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16)
    Store(dest + i, Select(_mm_cmpeq_epi8(Load(mask + i), k), Load(dest + i), Load(src + i)));
  PlainKernels().mask(dest + i, src + i, mask + i, n - i, key);
}

void Merge(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* src2, std::size_t n,
           std::uint8_t key) {
  const __m128i k = _mm_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i s = Load(src + i);
    Store(dest + i, Select(_mm_cmpeq_epi8(s, k), Load(src2 + i), s));
  }
  PlainKernels().merge(dest + i, src + i, src2 + i, n - i, key);
}

constexpr RowKernels kSse2 = {"sse2", Double8, Double16, Trans, Mask, Merge};

}  // namespace

const RowKernels* Sse2Kernels() {
  return &kSse2;
}

// For the AVX2 set, which has no wider form of the 16-bit doubling.
void Sse2Double16(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n,
                  const std::uint16_t* table) {
  Double16(row0, row1, src, n, table);
}

#else

const RowKernels* Sse2Kernels() {
  return nullptr;
}

#endif

}  // namespace vidzo::blit
