// The run loop of the video decoder, shared by the plain and the vector
// painter sets. A painter set provides
//   template <class Px, bool kDoubled> static void TwoColour(uint8_t* p, ptrdiff_t pitch,
//                                                            uint32_t c, uint32_t m, const uint16_t* table);
//   template <class Px, bool kDoubled> static void Fill(uint8_t* p, ptrdiff_t pitch,
//                                                       uint32_t pixels, Px value);
// where Px is uint8_t (palette indices) or uint16_t (entries of the 16-bit
// table), p the top-left pixel of a block (of a stretch for Fill) and a row of
// output R = 4 (8 when doubled) rows high.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "playback/bit_reader.h"
#include "playback/trees.h"
#include "playback/video_internal.h"

namespace vidzo::video {

static_assert(std::endian::native == std::endian::little);

// The output value of palette index i.
template <class Px>
inline Px PixelOf(unsigned i, const std::uint16_t* table) {
  if constexpr (sizeof(Px) == 1) {
    return static_cast<Px>(i);
  } else {
    return table[i & 0xFFu];
  }
}

// Writes one decoded row of 4 pixels (8 bytes at most) once, or twice when
// doubled.
template <class Px, bool kDoubled, class Row>
inline void PutRow(std::uint8_t* p, std::ptrdiff_t pitch, Row row) {
  static_assert(sizeof(Row) == 4 * sizeof(Px));
  std::memcpy(p, &row, sizeof(row));
  if constexpr (kDoubled) std::memcpy(p + pitch, &row, sizeof(row));
}

// A full block: two fetches per row, the second giving the left pixels.
template <class Px, bool kDoubled, class Reader>
inline void PaintFull(Reader& reader, TreesArea& trees, std::uint8_t* p, std::ptrdiff_t pitch,
                      const std::uint16_t* table) {
  constexpr std::ptrdiff_t kRows = kDoubled ? 2 : 1;
  for (int y = 0; y < 4; ++y, p += kRows * pitch) {
    const std::uint32_t right = FetchValue(reader, trees, kFullTree);
    const std::uint32_t left = FetchValue(reader, trees, kFullTree);
    if constexpr (sizeof(Px) == 1) {
      PutRow<Px, kDoubled>(p, pitch, static_cast<std::uint32_t>(left | (right << 16)));
    } else {
      const std::uint64_t row = std::uint64_t{table[left & 0xFFu]} | (std::uint64_t{table[left >> 8]} << 16) |
                                (std::uint64_t{table[right & 0xFFu]} << 32) |
                                (std::uint64_t{table[right >> 8]} << 48);
      PutRow<Px, kDoubled>(p, pitch, row);
    }
  }
}

// Decodes the runs of one frame. Every run covers at least one block and the
// loop ends at the picture's last block, so even a stream of zero bits ends.
template <class Painters, class Px, bool kDoubled, class Reader>
void DecodeRuns(const std::uint8_t* data, std::uint32_t size, TreesArea& trees, const VidzoOutputDesc& d) {
  constexpr std::ptrdiff_t kRowsPerBlock = kDoubled ? 8 : 4;
  constexpr std::ptrdiff_t kBlockBytes = 4 * sizeof(Px);
  Reader reader(data, size);
  const std::ptrdiff_t pitch = d.Pitch;
  const std::uint32_t per_row = d.BlocksPerRow;
  const std::ptrdiff_t row_step = kRowsPerBlock * pitch - static_cast<std::ptrdiff_t>(per_row) * kBlockBytes;
  const std::uint64_t total = std::uint64_t{per_row} * d.BlockRows;
  const std::uint16_t* table = d.Colour16;
  // Addresses are kept as integers: the position after the last block lies
  // outside the buffer and is never written.
  std::uintptr_t p = reinterpret_cast<std::uintptr_t>(d.FirstPixel);
  std::uint32_t col_left = per_row;
  ChangeMarks marks(VidzoChangeMap(const_cast<VidzoOutputDesc*>(&d)));
  auto at = [&p] { return reinterpret_cast<std::uint8_t*>(p); };
  auto next_block = [&] {
    p += kBlockBytes;
    if (--col_left == 0) {
      p += row_step;
      col_left = per_row;
    }
  };
  // Moves over n blocks a stretch at a time; `stretch` paints each one.
  auto stretches = [&](std::uint64_t n, auto&& stretch) {
    while (n > 0) {
      const std::uint32_t k = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, col_left));
      stretch(k);
      n -= k;
      p += static_cast<std::uintptr_t>(k) * kBlockBytes;
      col_left -= k;
      if (col_left == 0) {
        p += row_step;
        col_left = per_row;
      }
    }
  };

  std::uint64_t done = 0;
  while (done < total) {
    const std::uint32_t t = FetchValue(reader, trees, kTypeTree);
    const std::uint64_t n = std::min<std::uint64_t>(kRunLength[(t >> 2) & 63u], total - done);
    done += n;
    switch (t & 3u) {
      case 0:
        marks.Painted(done);
        for (std::uint64_t i = 0; i < n; ++i) {
          const std::uint32_t c = FetchValue(reader, trees, kMonoColourTree);
          const std::uint32_t m = FetchValue(reader, trees, kMonoMapTree);
          Painters::template TwoColour<Px, kDoubled>(at(), pitch, c, m, table);
          next_block();
        }
        break;
      case 1:
        marks.Painted(done);
        for (std::uint64_t i = 0; i < n; ++i) {
          PaintFull<Px, kDoubled>(reader, trees, at(), pitch, table);
          next_block();
        }
        break;
      case 2:
        marks.Unchanged(done);
        stretches(n, [](std::uint32_t) {});
        break;
      default: {
        marks.Painted(done);
        const Px value = PixelOf<Px>(t >> 8, table);
        stretches(n,
                  [&](std::uint32_t k) { Painters::template Fill<Px, kDoubled>(at(), pitch, 4 * k, value); });
        break;
      }
    }
  }
  marks.Finish();
  VidzoChangeMap(const_cast<VidzoOutputDesc*>(&d))[(total + 15) / 16] = 0;  // after the last group
}

// The decoder of one output form (see kForm...) for a painter set.
template <class Painters>
DecodeFn DecoderFor(unsigned form) {
  switch (form & (kForms - 1)) {
    case 0:
      return &DecodeRuns<Painters, std::uint8_t, false, BitReader32>;
    case 1:
      return &DecodeRuns<Painters, std::uint8_t, true, BitReader32>;
    case 2:
      return &DecodeRuns<Painters, std::uint16_t, false, BitReader32>;
    case 3:
      return &DecodeRuns<Painters, std::uint16_t, true, BitReader32>;
    case 4:
      return &DecodeRuns<Painters, std::uint8_t, false, BitReader64>;
    case 5:
      return &DecodeRuns<Painters, std::uint8_t, true, BitReader64>;
    case 6:
      return &DecodeRuns<Painters, std::uint16_t, false, BitReader64>;
    default:
      return &DecodeRuns<Painters, std::uint16_t, true, BitReader64>;
  }
}

}  // namespace vidzo::video
