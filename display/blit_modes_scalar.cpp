// The plain row loops: the reference every vector loop is held to.
#include "display/blit_internal.h"

namespace vidzo::blit {

namespace {

void Double8(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) row0[2 * i] = row0[2 * i + 1] = src[i];
  if (row1 != nullptr) std::memcpy(row1, row0, 2 * n);
}

void Double16(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n,
              const std::uint16_t* table) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint16_t pixel = table[src[i]];
    std::memcpy(row0 + 4 * i, &pixel, 2);
    std::memcpy(row0 + 4 * i + 2, &pixel, 2);
  }
  if (row1 != nullptr) std::memcpy(row1, row0, 4 * n);
}

void Trans(std::uint8_t* dest, const std::uint8_t* src, std::size_t n, std::uint8_t key) {
  for (std::size_t i = 0; i < n; ++i)
    if (src[i] != key) dest[i] = src[i];
}

void Mask(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* mask, std::size_t n,
          std::uint8_t key) {
  for (std::size_t i = 0; i < n; ++i)
    if (mask[i] != key) dest[i] = src[i];
}

void Merge(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* src2, std::size_t n,
           std::uint8_t key) {
  for (std::size_t i = 0; i < n; ++i) dest[i] = src[i] == key ? src2[i] : src[i];
}

constexpr RowKernels kPlain = {"plain", Double8, Double16, Trans, Mask, Merge};

}  // namespace

const RowKernels& PlainKernels() {
  return kPlain;
}

}  // namespace vidzo::blit
