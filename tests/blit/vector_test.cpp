// Every vector loop set against the plain loops: identical output on random
// pictures, palettes, keys, odd sizes, offsets and pitches, for the whole
// rectangle (guard bytes included).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "blit_model.h"
#include "display/blit_internal.h"

namespace {

using blit_test::GuardedBuffer;
using vidzo::blit::KeyOp;
using vidzo::blit::RowKernels;

std::vector<const RowKernels*> VectorSets() {
  std::vector<const RowKernels*> sets;
  if (const RowKernels* k = vidzo::blit::Sse2Kernels()) sets.push_back(k);
  if (const RowKernels* k = vidzo::blit::Avx2Kernels()) sets.push_back(k);
  return sets;
}

struct BlitterDeleter {
  void operator()(VidzoBlitter* b) const { VidzoBlitClose(b); }
};

TEST(VectorLoops, SetsAreAvailableOnThisProcessor) {
#if defined(__x86_64__)
  ASSERT_NE(vidzo::blit::Sse2Kernels(), nullptr);
  EXPECT_NE(&vidzo::blit::VectorKernels(), &vidzo::blit::PlainKernels());
#endif
  for (const RowKernels* k : VectorSets()) EXPECT_NE(k, &vidzo::blit::PlainKernels());
}

TEST(VectorLoops, RowKernelsEqualThePlainOnes) {
  const RowKernels& plain = vidzo::blit::PlainKernels();
  std::mt19937 rng(21);
  std::uint16_t table[256];
  for (auto& v : table) v = static_cast<std::uint16_t>(rng());
  for (const RowKernels* k : VectorSets()) {
    for (std::size_t n = 0; n < 140; ++n) {
      const std::size_t offset = rng() % 7;
      const auto src = blit_test::RandomBytes(rng, n + offset, 5);
      const auto extra = blit_test::RandomBytes(rng, n + offset, 5);
      const auto key = static_cast<std::uint8_t>(rng() % 5);
      for (bool two_rows : {false, true}) {
        for (std::size_t bpp : {1, 2}) {
          GuardedBuffer a(rng, 8 * n + 16), b = a;
          std::uint8_t* row1a = two_rows ? a.data() + 4 * n + 3 : nullptr;
          std::uint8_t* row1b = two_rows ? b.data() + 4 * n + 3 : nullptr;
          if (bpp == 1) {
            plain.double8(a.data() + 1, row1a, src.data() + offset, n);
            k->double8(b.data() + 1, row1b, src.data() + offset, n);
          } else {
            plain.double16(a.data() + 1, row1a, src.data() + offset, n, table);
            k->double16(b.data() + 1, row1b, src.data() + offset, n, table);
          }
          ASSERT_EQ(a.bytes, b.bytes) << k->name << " doubling n " << n << " bpp " << bpp;
        }
      }
      for (KeyOp op : {KeyOp::kTrans, KeyOp::kMask, KeyOp::kMerge}) {
        GuardedBuffer a(rng, n + 8), b = a;
        vidzo::blit::KeyRow(plain, op, a.data() + offset, src.data() + offset, extra.data() + offset, n, key);
        vidzo::blit::KeyRow(*k, op, b.data() + offset, src.data() + offset, extra.data() + offset, n, key);
        ASSERT_EQ(a.bytes, b.bytes) << k->name << " key op " << static_cast<int>(op) << " n " << n;
      }
    }
  }
}

TEST(VectorLoops, WholeBlitsEqualThePlainOnes) {
  const std::uint32_t kFlags[] = {0,
                                  VIDZO_BLIT_2X,
                                  VIDZO_BLIT_INTERLACED,
                                  VIDZO_BLIT_SMOOTH,
                                  VIDZO_BLIT_555,
                                  VIDZO_BLIT_565 | VIDZO_BLIT_2X,
                                  VIDZO_BLIT_555 | VIDZO_BLIT_INTERLACED,
                                  VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH};
  std::mt19937 rng(23);
  const auto palette = blit_test::RandomPalette(rng, false);
  for (const RowKernels* k : VectorSets()) {
    for (std::uint32_t flags : kFlags) {
      std::unique_ptr<VidzoBlitter, BlitterDeleter> b(VidzoBlitOpen(flags));
      VidzoBlitSetPalette(b.get(), palette.data(), 0);
      for (int round = 0; round < 60; ++round) {
        const unsigned w = 1 + rng() % (round < 20 ? 8 : 100), h = 1 + rng() % 7;
        const unsigned sx = rng() % 9, sy = rng() % 3, dx = rng() % 9, dy = rng() % 3;
        const std::size_t sp = sx + w + rng() % 9;
        const std::size_t dp = 4 * (dx + w) + rng() % 9;
        const auto source = blit_test::RandomBytes(rng, sp * (sy + h), round % 2 ? 256 : 4);
        const auto extra = blit_test::RandomBytes(rng, sp * (sy + h), 4);
        const vidzo::blit::BlitRect r0{nullptr,
                                       static_cast<std::uint32_t>(dp),
                                       dx,
                                       dy,
                                       source.data(),
                                       static_cast<std::uint32_t>(sp),
                                       sx,
                                       sy,
                                       w,
                                       h};
        GuardedBuffer a(rng, dp * 2 * (dy + h)), c = a;
        vidzo::blit::BlitRect ra = r0, rc = r0;
        ra.dest = a.data();
        rc.dest = c.data();
        vidzo::blit::BlitWith(vidzo::blit::PlainKernels(), b.get(), ra);
        vidzo::blit::BlitWith(*k, b.get(), rc);
        ASSERT_EQ(a.bytes, c.bytes) << k->name << " flags " << std::hex << flags << std::dec << " w " << w;
        if (flags != 0) continue;
        for (KeyOp op : {KeyOp::kTrans, KeyOp::kMask, KeyOp::kMerge}) {
          // On a fresh picture: after the copy above the destination would
          // already hold the source.
          const std::uint32_t key = rng() % 4;
          GuardedBuffer ka(rng, dp * (dy + h)), kc = ka;
          ra.dest = ka.data();
          rc.dest = kc.data();
          vidzo::blit::KeyBlitWith(vidzo::blit::PlainKernels(), b.get(), op, ra, key, extra.data());
          vidzo::blit::KeyBlitWith(*k, b.get(), op, rc, key, extra.data());
          ASSERT_EQ(ka.bytes, kc.bytes) << k->name << " key op " << static_cast<int>(op) << " w " << w;
        }
      }
    }
  }
}

TEST(VectorLoops, BufferCopiesEqualThePlainOnes) {
  std::mt19937 rng(25);
  for (const RowKernels* k : VectorSets()) {
    for (int round = 0; round < 80; ++round) {
      const std::uint32_t sp = 1 + rng() % 90, sh = 1 + rng() % 9, dp = 1 + rng() % 90, dh = 1 + rng() % 9;
      auto source = blit_test::RandomBytes(rng, std::size_t{sp} * sh, 4);
      auto extra = blit_test::RandomBytes(rng, std::size_t{sp} * sh, 4);
      GuardedBuffer a(rng, std::size_t{dp} * dh), c = a;
      const std::uint32_t so = rng() % 2, dor = rng() % 2;
      VidzoDisplayBuffer s = blit_test::Record(so, sh, sp, source.data()),
                         x = blit_test::Record(so, sh, sp, extra.data());
      VidzoDisplayBuffer da = blit_test::Record(dor, dh, dp, a.data()),
                         dc = blit_test::Record(dor, dh, dp, c.data());
      const std::uint32_t w = 1 + rng() % 100, h = 1 + rng() % 10, sx = rng() % 5, sy = rng() % 4,
                          dx = rng() % 5, dy = rng() % 4, key = rng() % 4;
      for (KeyOp op : {KeyOp::kCopy, KeyOp::kTrans, KeyOp::kMask, KeyOp::kMerge}) {
        vidzo::blit::BufferCopyWith(vidzo::blit::PlainKernels(), op, &da, dx, dy, &s, sx, sy, w, h, key, &x);
        vidzo::blit::BufferCopyWith(*k, op, &dc, dx, dy, &s, sx, sy, w, h, key, &x);
        ASSERT_EQ(a.bytes, c.bytes) << k->name << " op " << static_cast<int>(op) << " round " << round;
      }
    }
  }
}

TEST(VectorLoops, CopiesWithinOneBufferEqualThePlainOnes) {
  std::mt19937 rng(27);
  for (const RowKernels* k : VectorSets()) {
    for (int round = 0; round < 60; ++round) {
      const std::uint32_t pitch = 1 + rng() % 90, rows = 1 + rng() % 9;
      GuardedBuffer a(rng, std::size_t{pitch} * rows), c = a;
      const std::uint32_t orientation = rng() % 2;
      VidzoDisplayBuffer ba = blit_test::Record(orientation, rows, pitch, a.data()),
                         bc = blit_test::Record(orientation, rows, pitch, c.data());
      const std::uint32_t w = 1 + rng() % 100, h = 1 + rng() % 10, sx = rng() % 20, sy = rng() % 4,
                          dx = rng() % 20, dy = rng() % 4, key = a.data()[0];
      for (KeyOp op : {KeyOp::kCopy, KeyOp::kTrans, KeyOp::kMask, KeyOp::kMerge}) {
        vidzo::blit::BufferCopyWith(vidzo::blit::PlainKernels(), op, &ba, dx, dy, &ba, sx, sy, w, h, key,
                                    &ba);
        vidzo::blit::BufferCopyWith(*k, op, &bc, dx, dy, &bc, sx, sy, w, h, key, &bc);
        ASSERT_EQ(a.bytes, c.bytes) << k->name << " op " << static_cast<int>(op) << " round " << round;
      }
    }
  }
}

}  // namespace
