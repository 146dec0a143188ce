// Copies between display buffers of either row order: the picture keeps its
// orientation, rows and columns outside a buffer are left out, and nothing
// around the buffers is touched.
#include <gtest/gtest.h>

#include <vector>

#include "blit_model.h"
#include "display/blit.h"
#include "playback/video.h"

namespace {

// A display buffer with guard bytes before and after its pixels.
struct Buffer {
  blit_test::GuardedBuffer memory;
  VidzoDisplayBuffer record;
  Buffer(std::mt19937& rng, std::uint32_t orientation, std::uint32_t width, std::uint32_t height,
         unsigned values = 256)
      : memory(rng, std::size_t{width} * height),
        record(blit_test::Record(orientation, height, width, nullptr)) {
    const auto fill = blit_test::RandomBytes(rng, memory.bytes.size(), values);
    memory.bytes = fill;
    record.Pixels = memory.data();
  }
  Buffer(const Buffer& other) : memory(other.memory), record(other.record) { record.Pixels = memory.data(); }
  // Pixel of picture row y (row 0 is the top whatever the storage order).
  std::uint8_t& At(std::uint32_t x, std::uint32_t y) {
    const std::uint32_t row = record.Orientation ? record.Height - 1 - y : y;
    return record.Pixels[std::size_t{row} * record.Pitch + x];
  }
};

enum class Op { kCopy, kTrans, kMask, kMerge };

void Apply(Op op, Buffer& dest, std::uint32_t dx, std::uint32_t dy, Buffer& src, std::uint32_t sx,
           std::uint32_t sy, std::uint32_t w, std::uint32_t h, std::uint32_t key, Buffer* extra) {
  const VidzoDisplayBuffer* x = extra ? &extra->record : nullptr;
  switch (op) {
    case Op::kCopy:
      VidzoBufferToBuffer(&dest.record, dx, dy, &src.record, sx, sy, w, h);
      break;
    case Op::kTrans:
      VidzoBufferToBufferTrans(&dest.record, dx, dy, &src.record, sx, sy, w, h, key);
      break;
    case Op::kMask:
      VidzoBufferToBufferMask(&dest.record, dx, dy, &src.record, sx, sy, w, h, key, x);
      break;
    case Op::kMerge:
      VidzoBufferToBufferMerge(&dest.record, dx, dy, &src.record, sx, sy, w, h, key, x);
      break;
  }
}

// Picture rectangle (sx, sy, w, h) of the source lands at (dx, dy) of the
// destination, clipped to both pictures.
TEST(BufferToBuffer, AllFourOrientationPairsKeepThePictureUpright) {
  std::mt19937 rng(51);
  for (std::uint32_t dest_up : {0u, 1u})
    for (std::uint32_t src_up : {0u, 1u})
      for (Op op : {Op::kCopy, Op::kTrans, Op::kMask, Op::kMerge})
        for (int round = 0; round < 25; ++round) {
          const std::uint32_t sw = 1 + rng() % 40, sh = 1 + rng() % 12, dw = 1 + rng() % 40,
                              dh = 1 + rng() % 12;
          Buffer src(rng, src_up, sw, sh, 4), extra(rng, src_up, sw, sh, 4), dest(rng, dest_up, dw, dh);
          const std::uint32_t sx = rng() % sw, dx = rng() % dw, w = 1 + rng() % 40;
          // Rectangles inside both pictures vertically (rows outside are
          // covered below).
          const std::uint32_t h = 1 + rng() % std::min(sh, dh);
          const std::uint32_t sy = rng() % (sh - h + 1), dy = rng() % (dh - h + 1);
          const std::uint32_t key = rng() % 4;
          Buffer want = dest;
          for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w && sx + x < sw && dx + x < dw; ++x) {
              const std::uint8_t s = src.At(sx + x, sy + y), e = extra.At(sx + x, sy + y);
              std::uint8_t& d = want.At(dx + x, dy + y);
              if (op == Op::kCopy || (op == Op::kTrans && s != key) || (op == Op::kMask && e != key)) d = s;
              if (op == Op::kMerge) d = s == key ? e : s;
            }
          Apply(op, dest, dx, dy, src, sx, sy, w, h, key, &extra);
          ASSERT_EQ(dest.memory.bytes, want.memory.bytes)
              << "dest up " << dest_up << " src up " << src_up << " op " << static_cast<int>(op) << " round "
              << round;
        }
}

TEST(BufferToBuffer, RowsOutsideEitherBufferAreLeftOut) {
  std::mt19937 rng(53);
  for (std::uint32_t dest_up : {0u, 1u})
    for (std::uint32_t src_up : {0u, 1u})
      for (int round = 0; round < 40; ++round) {
        const std::uint32_t sh = 1 + rng() % 8, dh = 1 + rng() % 8, width = 16;
        Buffer src(rng, src_up, width, sh), dest(rng, dest_up, width, dh);
        const std::uint32_t sy = rng() % 12, dy = rng() % 12, h = 1 + rng() % 12;
        const auto before = dest.memory.bytes;
        VidzoBufferToBuffer(&dest.record, 0, dy, &src.record, 0, sy, width, h);
        // Guards intact, and every destination row is either unchanged or a
        // row of the source.
        const std::size_t g = blit_test::GuardedBuffer::kGuard, size = std::size_t{width} * dh;
        ASSERT_TRUE(std::equal(before.begin(), before.begin() + g, dest.memory.bytes.begin()));
        ASSERT_TRUE(std::equal(before.end() - g, before.end(), dest.memory.bytes.end() - g));
        for (std::uint32_t row = 0; row < dh; ++row) {
          const auto* d = dest.memory.data() + row * width;
          if (std::equal(d, d + width, before.begin() + g + row * width)) continue;
          bool found = false;
          for (std::uint32_t s = 0; s < sh && !found; ++s)
            found = std::equal(d, d + width, src.memory.data() + s * width);
          ASSERT_TRUE(found) << "row " << row << " of " << size;
        }
      }
}

TEST(BufferToBuffer, ClipsToBothPitches) {
  std::mt19937 rng(55);
  Buffer src(rng, 0, 10, 3), dest(rng, 1, 7, 3);
  Buffer want = dest;
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::uint32_t x = 0; x < 3; ++x) want.At(4 + x, y) = src.At(6 + x, y);
  VidzoBufferToBuffer(&dest.record, 4, 0, &src.record, 6, 0, 100, 3);
  EXPECT_EQ(dest.memory.bytes, want.memory.bytes);
  const auto before = dest.memory.bytes;
  VidzoBufferToBuffer(&dest.record, 7, 0, &src.record, 0, 0, 3, 3);
  VidzoBufferToBuffer(&dest.record, 0, 0, &src.record, 10, 0, 3, 3);
  EXPECT_EQ(dest.memory.bytes, before);
  // Huge sizes copy what fits, and end.
  Buffer top_down(rng, 0, 7, 3);
  Buffer whole = top_down;
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::uint32_t x = 0; x < 7; ++x) whole.At(x, y) = src.At(x, y);
  VidzoBufferToBuffer(&top_down.record, 0, 0, &src.record, 0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_EQ(top_down.memory.bytes, whole.memory.bytes);
}

TEST(BufferToBuffer, RowNumbersWrapAt65536) {
  std::mt19937 rng(57);
  Buffer src(rng, 0, 8, 4), dest(rng, 0, 8, 4);
  Buffer want = dest;
  for (std::uint32_t x = 0; x < 8; ++x) want.At(x, 1) = src.At(x, 2);
  VidzoBufferToBuffer(&dest.record, 0, 65536 + 1, &src.record, 0, 2 * 65536 + 2, 8, 1);
  EXPECT_EQ(dest.memory.bytes, want.memory.bytes);
}

TEST(BufferToBuffer, MaskAndMergeNeedAMatchingSecondBuffer) {
  std::mt19937 rng(59);
  Buffer src(rng, 1, 8, 4, 3), dest(rng, 0, 8, 4);
  Buffer other_order(rng, 0, 8, 4, 3), other_pitch(rng, 1, 9, 4, 3), no_pixels(rng, 1, 8, 4, 3);
  no_pixels.record.Pixels = nullptr;
  const auto before = dest.memory.bytes;
  for (Op op : {Op::kMask, Op::kMerge}) {
    Apply(op, dest, 0, 0, src, 0, 0, 8, 4, 1, &other_order);
    Apply(op, dest, 0, 0, src, 0, 0, 8, 4, 1, &other_pitch);
    Apply(op, dest, 0, 0, src, 0, 0, 8, 4, 1, &no_pixels);
    Apply(op, dest, 0, 0, src, 0, 0, 8, 4, 1, nullptr);
  }
  VidzoBufferToBuffer(nullptr, 0, 0, &src.record, 0, 0, 8, 4);
  VidzoBufferToBuffer(&dest.record, 0, 0, nullptr, 0, 0, 8, 4);
  VidzoBufferToBufferTrans(&dest.record, 0, 0, &src.record, 0, 0, 0, 4, 1);
  EXPECT_EQ(dest.memory.bytes, before);
  // A shorter mask of the right kind limits the rows.
  Buffer short_mask(rng, 1, 8, 2, 3);
  Apply(Op::kMask, dest, 0, 0, src, 0, 0, 8, 4, 3, &short_mask);
  EXPECT_NE(dest.memory.bytes, before);
}

TEST(BufferToBuffer, CopiesWithinOneBufferReadEachRowBeforeWritingIt) {
  std::mt19937 rng(61);
  for (std::uint32_t allow : {0u, 1u}) {
    const std::uint32_t before = VidzoSetMMX(2);
    VidzoSetMMX(allow);
    for (std::uint32_t shift : {1u, 3u, 17u}) {
      Buffer b(rng, 1, 64, 5, 4);
      Buffer want = b;
      Buffer snapshot = want;
      for (std::uint32_t y = 1; y < 4; ++y)
        for (std::uint32_t x = 0; x < 40; ++x) {
          const std::uint8_t s = snapshot.At(x + 2, y);
          if (s != 2) want.At(x + 2 + shift, y) = s;
        }
      VidzoBufferToBufferTrans(&b.record, 2 + shift, 1, &b.record, 2, 1, 40, 3, 2);
      EXPECT_EQ(b.memory.bytes, want.memory.bytes) << "shift " << shift << " vector " << allow;
    }
    VidzoSetMMX(before);
  }
}

}  // namespace
