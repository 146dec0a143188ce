// VidzoBlit in all eight modes and the key-colour copies against the
// per-pixel model, with guard bytes around every destination.
#include <gtest/gtest.h>

#include <memory>

#include "blit_model.h"
#include "display/blit.h"
#include "playback/video.h"

namespace {

using blit_test::GuardedBuffer;
using blit_test::ModelTables;
using blit_test::Palette;

struct BlitterDeleter {
  void operator()(VidzoBlitter* b) const { VidzoBlitClose(b); }
};
using Blitter = std::unique_ptr<VidzoBlitter, BlitterDeleter>;

struct ModeCase {
  unsigned mode;
  std::uint32_t flags;
};

const ModeCase kModes[] = {
    {0, 0},
    {1, VIDZO_BLIT_2X},
    {2, VIDZO_BLIT_INTERLACED},
    {3, VIDZO_BLIT_SMOOTH},
    {6, VIDZO_BLIT_555},
    {7, VIDZO_BLIT_555 | VIDZO_BLIT_2X},
    {8, VIDZO_BLIT_565 | VIDZO_BLIT_INTERLACED},
    {9, VIDZO_BLIT_555 | VIDZO_BLIT_SMOOTH},
    {9, VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH | VIDZO_BLIT_2X},
    {8, VIDZO_BLIT_565 | VIDZO_BLIT_2X | VIDZO_BLIT_INTERLACED | 0x10},
};

// Output bytes per row and rows for a rectangle ending at source-unit x, y.
std::size_t OutputRowBytes(unsigned mode, unsigned end_x) {
  return std::size_t{end_x} * (mode % 6 == 0 ? 1 : 2) * (mode >= 6 ? 2 : 1);
}
std::size_t OutputRows(unsigned mode, unsigned end_y) {
  return std::size_t{end_y} * (mode % 6 == 0 ? 1 : 2);
}

class ModesTest : public ::testing::TestWithParam<bool> {};

TEST_P(ModesTest, EveryModeDrawsWhatTheModelDraws) {
  const bool vector = GetParam();
  const std::uint32_t before = VidzoSetMMX(2);
  VidzoSetMMX(vector ? 1 : 0);
  std::mt19937 rng(vector ? 11 : 12);
  for (bool few_levels : {true, false}) {
    const Palette palette = blit_test::RandomPalette(rng, few_levels);
    const ModelTables t555 = blit_test::MakeModelTables(palette, true, false);
    const ModelTables t565 = blit_test::MakeModelTables(palette, false, true);
    for (const ModeCase& m : kModes) {
      Blitter b(VidzoBlitOpen(m.flags));
      ASSERT_NE(b, nullptr);
      ASSERT_EQ(b->Mode, m.mode);
      VidzoBlitSetPalette(b.get(), palette.data(), 0);
      const ModelTables& t = (m.flags & VIDZO_BLIT_FORMAT_MASK) == VIDZO_BLIT_565 ? t565 : t555;
      for (int round = 0; round < 12; ++round) {
        const unsigned w = 1 + rng() % (round < 6 ? 9 : 70), h = 1 + rng() % 9;
        const unsigned sx = rng() % 5, sy = rng() % 4, dx = rng() % 5, dy = rng() % 4;
        const std::size_t sp = sx + w + rng() % 5;
        const auto source = blit_test::RandomBytes(rng, sp * (sy + h), round % 2 ? 256 : 6);
        const std::size_t dp = OutputRowBytes(m.mode, dx + w) + rng() % 7;
        const std::size_t dest_size = dp * OutputRows(m.mode, dy + h);
        GuardedBuffer got(rng, dest_size);
        GuardedBuffer want = got;
        VidzoBlit(b.get(), got.data(), static_cast<std::uint32_t>(dp), dx, dy, source.data(),
                  static_cast<std::uint32_t>(sp), sx, sy, w, h);
        blit_test::ModelBlit(m.mode, t, want.data(), dp, dx, dy, source.data(), sp, sx, sy, w, h);
        ASSERT_EQ(got.bytes, want.bytes) << "mode " << m.mode << " flags " << std::hex << m.flags << std::dec
                                         << " w " << w << " h " << h << " sx " << sx << " dx " << dx;
      }
    }
  }
  VidzoSetMMX(before);
}

INSTANTIATE_TEST_SUITE_P(PlainAndVector, ModesTest, ::testing::Bool());

TEST(Modes, ZeroWidthOrHeightDrawsNothing) {
  std::mt19937 rng(3);
  const Palette palette = blit_test::RandomPalette(rng, false);
  for (const ModeCase& m : kModes) {
    Blitter b(VidzoBlitOpen(m.flags));
    VidzoBlitSetPalette(b.get(), palette.data(), 0);
    const auto source = blit_test::RandomBytes(rng, 64);
    GuardedBuffer dest(rng, 256);
    const auto before = dest.bytes;
    VidzoBlit(b.get(), dest.data(), 32, 0, 0, source.data(), 8, 0, 0, 0, 4);
    VidzoBlit(b.get(), dest.data(), 32, 0, 0, source.data(), 8, 0, 0, 4, 0);
    EXPECT_EQ(dest.bytes, before) << "mode " << m.mode;
  }
}

TEST(Modes, InterlacedLeavesTheOddRowsShowingThePreviousPicture) {
  std::mt19937 rng(5);
  for (std::uint32_t flags : {VIDZO_BLIT_INTERLACED, VIDZO_BLIT_555 | VIDZO_BLIT_INTERLACED}) {
    Blitter b(VidzoBlitOpen(flags));
    VidzoBlitSetPalette(b.get(), blit_test::RandomPalette(rng, false).data(), 0);
    const unsigned w = 13, h = 5, bpp = flags ? 2 : 1;
    const std::size_t dp = 2 * w * bpp;
    const auto source = blit_test::RandomBytes(rng, w * h);
    auto dest = blit_test::RandomBytes(rng, dp * 2 * h);
    const auto previous = dest;
    VidzoBlit(b.get(), dest.data(), static_cast<std::uint32_t>(dp), 0, 0, source.data(), w, 0, 0, w, h);
    for (unsigned row = 0; row < 2 * h; ++row) {
      const bool same =
          std::equal(dest.begin() + row * dp, dest.begin() + (row + 1) * dp, previous.begin() + row * dp);
      EXPECT_EQ(same, row % 2 == 1) << "row " << row;
    }
  }
}

TEST(Modes, FirstSmoothedBlockIsFourCopiesOfItsPixel) {
  std::mt19937 rng(7);
  const Palette palette = blit_test::RandomPalette(rng, false);
  for (std::uint32_t flags : {VIDZO_BLIT_SMOOTH, VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH}) {
    Blitter b(VidzoBlitOpen(flags));
    VidzoBlitSetPalette(b.get(), palette.data(), 0);
    const std::uint8_t source[4] = {200, 17, 99, 3};
    std::uint16_t dest[4][8] = {};
    VidzoBlit(b.get(), dest, sizeof dest[0], 0, 0, source, 2, 0, 0, 2, 2);
    if (flags == VIDZO_BLIT_SMOOTH) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(dest);
      for (int k : {0, 1}) {
        EXPECT_EQ(bytes[k], 200);
        EXPECT_EQ(bytes[sizeof dest[0] + k], 200);
      }
    } else {
      std::uint16_t colours[256];
      BuildColour16Table(colours, palette.data(), VIDZO_COLOUR_565);
      EXPECT_EQ(dest[0][0], colours[200]);
      EXPECT_EQ(dest[0][1], colours[200]);
      EXPECT_EQ(dest[1][0], colours[200]);
      EXPECT_EQ(dest[1][1], colours[200]);
    }
  }
}

// The key-colour copies of mode 0, pixel by pixel.
TEST(KeyColour, TransMaskAndMergeFollowTheirRules) {
  std::mt19937 rng(9);
  for (bool vector : {false, true}) {
    const std::uint32_t before = VidzoSetMMX(2);
    VidzoSetMMX(vector ? 1 : 0);
    Blitter b(VidzoBlitOpen(0));
    for (int round = 0; round < 40; ++round) {
      const unsigned w = 1 + rng() % (round < 20 ? 8 : 90), h = 1 + rng() % 6;
      const unsigned sx = rng() % 5, sy = rng() % 3, dx = rng() % 5, dy = rng() % 3;
      const std::size_t sp = sx + w + rng() % 4, dp = dx + w + rng() % 4;
      const std::uint32_t key = rng() % 4 + (round % 3 == 0 ? 0x300 : 0);
      const auto source = blit_test::RandomBytes(rng, sp * (sy + h), 4);
      const auto extra = blit_test::RandomBytes(rng, sp * (sy + h), 4);
      for (int op = 0; op < 3; ++op) {
        GuardedBuffer got(rng, dp * (dy + h));
        GuardedBuffer want = got;
        for (unsigned y = 0; y < h; ++y)
          for (unsigned x = 0; x < w; ++x) {
            const std::size_t at = (sy + y) * sp + sx + x;
            std::uint8_t& d = want.data()[(dy + y) * dp + dx + x];
            const std::uint8_t k = static_cast<std::uint8_t>(key);
            if (op == 0 && source[at] != k) d = source[at];
            if (op == 1 && extra[at] != k) d = source[at];
            if (op == 2) d = source[at] == k ? extra[at] : source[at];
          }
        const auto dpu = static_cast<std::uint32_t>(dp), spu = static_cast<std::uint32_t>(sp);
        if (op == 0) VidzoBlitTrans(b.get(), got.data(), dpu, dx, dy, source.data(), spu, sx, sy, w, h, key);
        if (op == 1)
          VidzoBlitMask(b.get(), got.data(), dpu, dx, dy, source.data(), spu, sx, sy, w, h, key,
                        extra.data());
        if (op == 2)
          VidzoBlitMerge(b.get(), got.data(), dpu, dx, dy, source.data(), spu, sx, sy, w, h, key,
                         extra.data());
        ASSERT_EQ(got.bytes, want.bytes) << "op " << op << " w " << w << " vector " << vector;
      }
    }
    VidzoSetMMX(before);
  }
}

TEST(KeyColour, OnlyModeZeroCopies) {
  std::mt19937 rng(13);
  const auto source = blit_test::RandomBytes(rng, 64, 3);
  const auto extra = blit_test::RandomBytes(rng, 64, 3);
  for (std::uint32_t flags : {VIDZO_BLIT_2X, VIDZO_BLIT_INTERLACED, VIDZO_BLIT_SMOOTH, VIDZO_BLIT_555}) {
    Blitter b(VidzoBlitOpen(flags));
    GuardedBuffer dest(rng, 512);
    const auto before = dest.bytes;
    VidzoBlitTrans(b.get(), dest.data(), 32, 0, 0, source.data(), 8, 0, 0, 8, 8, 1);
    VidzoBlitMask(b.get(), dest.data(), 32, 0, 0, source.data(), 8, 0, 0, 8, 8, 1, extra.data());
    VidzoBlitMerge(b.get(), dest.data(), 32, 0, 0, source.data(), 8, 0, 0, 8, 8, 1, extra.data());
    EXPECT_EQ(dest.bytes, before) << std::hex << flags;
  }
}

}  // namespace
