// Pieces of the video decoder shared by its files: run lengths, the
// change-map marks, the pattern masks, and the painter sets with their one
// dispatch point. Not part of the library's interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "playback/trees.h"
#include "playback/video.h"

namespace vidzo::video {

// Blocks covered by run index r.
inline constexpr std::array<std::uint32_t, 64> kRunLength = [] {
  std::array<std::uint32_t, 64> table{};
  for (std::uint32_t r = 0; r < 59; ++r) table[r] = r + 1;
  for (std::uint32_t r = 59; r < 64; ++r) table[r] = 128u << (r - 59);
  return table;
}();

// Two pattern rows per byte of a two-colour map: byte k of entry b is 0xFF
// when bit k of b is set (bytes 0-3 the first row, 4-7 the second).
inline constexpr std::array<std::uint64_t, 256> kTwoRowMask8 = [] {
  std::array<std::uint64_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b)
    for (unsigned k = 0; k < 8; ++k)
      if (b & (1u << k)) table[b] |= std::uint64_t{0xFF} << (8 * k);
  return table;
}();

// One pattern row of 16-bit pixels per nibble: lane k is 0xFFFF when bit k
// of the nibble is set.
inline constexpr std::array<std::uint64_t, 16> kRowMask16 = [] {
  std::array<std::uint64_t, 16> table{};
  for (unsigned b = 0; b < 16; ++b)
    for (unsigned k = 0; k < 4; ++k)
      if (b & (1u << k)) table[b] |= std::uint64_t{0xFFFF} << (16 * k);
  return table;
}();

// The change-map upkeep of one frame: groups of 16 blocks are marked 1 as
// soon as one of their blocks is painted and cleared only once all of their
// blocks are known to be unchanged.
class ChangeMarks {
 public:
  explicit ChangeMarks(std::uint8_t* map) : map_(map) {}

  // A painted run has brought the blocks done to `done`.
  void Painted(std::uint64_t done) {
    if (painted_up_to_ > done) return;
    const std::uint64_t end = (done + 15) / 16;
    std::memset(map_ + painted_up_to_ / 16, 1, static_cast<std::size_t>(end - painted_up_to_ / 16));
    painted_up_to_ = end * 16;
  }
  // An unchanged run has brought the blocks done to `done`.
  void Unchanged(std::uint64_t done) {
    if (painted_up_to_ > done) return;
    const std::uint64_t end = done / 16;
    std::memset(map_ + painted_up_to_ / 16, 0, static_cast<std::size_t>(end - painted_up_to_ / 16));
    painted_up_to_ = end * 16;
  }
  // The byte after the last one marked ends the map.
  void Finish() { map_[painted_up_to_ / 16] = 0; }

 private:
  std::uint8_t* map_;
  std::uint64_t painted_up_to_ = 0;
};

// One frame's decoding with a given painter set, output form and reader;
// the descriptor has been checked.
using DecodeFn = void (*)(const std::uint8_t* data, std::uint32_t size, TreesArea& trees,
                          const VidzoOutputDesc& desc);

// Output forms: bit 0 doubled rows, bit 1 16-bit pixels; bit 2 the wide reader.
inline constexpr unsigned kFormDoubled = 1, kForm16 = 2, kFormWide = 4, kForms = 8;

DecodeFn PlainDecoder(unsigned form);
// Null when this build has no vector painters.
DecodeFn VectorDecoder(unsigned form);

// Which painters the decoder uses: the vector ones go with the MMX choice
// (VidzoSetMMX); tests and benchmarks can force either set.
enum class PainterChoice { kFollowMmx, kPlain, kVector };
void ForcePainters(PainterChoice choice);
DecodeFn ChooseDecoder(unsigned form, bool wide);

}  // namespace vidzo::video
