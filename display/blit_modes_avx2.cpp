// The AVX2 row loops: 32 source pixels per step, compiled for AVX2 and used
// only when the processor has it; the rest of each row goes through the SSE2
// loops. Their output is that of the plain loops.
#include "display/blit_internal.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VIDZO_BLIT_AVX2 1
#endif

namespace vidzo::blit {

#if defined(VIDZO_BLIT_AVX2)

void Sse2Double16(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n,
                  const std::uint16_t* table);

namespace {

#define AVX2_FN __attribute__((target("avx2")))

AVX2_FN inline __m256i Load(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
AVX2_FN inline void Store(std::uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
AVX2_FN inline __m256i Select(__m256i mask, __m256i then, __m256i otherwise) {
  return _mm256_blendv_epi8(otherwise, then, mask);
}

AVX2_FN void Double8(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = Load(src + i);
    // unpack works per 128-bit lane: put the lanes back in order.
    const __m256i lo = _mm256_unpacklo_epi8(v, v), hi = _mm256_unpackhi_epi8(v, v);
    const __m256i first = _mm256_permute2x128_si256(lo, hi, 0x20);
    const __m256i second = _mm256_permute2x128_si256(lo, hi, 0x31);
    Store(row0 + 2 * i, first);
    Store(row0 + 2 * i + 32, second);
  }
  Sse2Kernels()->double8(row0 + 2 * i, nullptr, src + i, n - i);
  if (row1 != nullptr) std::memcpy(row1, row0, 2 * n);
}

AVX2_FN void Trans(std::uint8_t* dest, const std::uint8_t* src, std::size_t n, std::uint8_t key) {
  const __m256i k = _mm256_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i s = Load(src + i);
    Store(dest + i, Select(_mm256_cmpeq_epi8(s, k), Load(dest + i), s));
  }
  Sse2Kernels()->trans(dest + i, src + i, n - i, key);
}

AVX2_FN void Mask(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* mask, std::size_t n,
                  std::uint8_t key) {
  const __m256i k = _mm256_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32)
    Store(dest + i, Select(_mm256_cmpeq_epi8(Load(mask + i), k), Load(dest + i), Load(src + i)));
  Sse2Kernels()->mask(dest + i, src + i, mask + i, n - i, key);
}

AVX2_FN void Merge(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* src2, std::size_t n,
                   std::uint8_t key) {
  const __m256i k = _mm256_set1_epi8(static_cast<char>(key));
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i s = Load(src + i);
    Store(dest + i, Select(_mm256_cmpeq_epi8(s, k), Load(src2 + i), s));
  }
  Sse2Kernels()->merge(dest + i, src + i, src2 + i, n - i, key);
}

constexpr RowKernels kAvx2 = {"avx2", Double8, Sse2Double16, Trans, Mask, Merge};

}  // namespace

const RowKernels* Avx2Kernels() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2 ? &kAvx2 : nullptr;
}

#else

const RowKernels* Avx2Kernels() {
  return nullptr;
}

#endif

}  // namespace vidzo::blit
