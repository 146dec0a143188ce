// The blitter record, its palette copy and tables, flags, names and the fill.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "blit_model.h"
#include "display/blit.h"
#include "display/blit_internal.h"
#include "playback/bit_reader.h"
#include "playback/video.h"
#include "playback/vidzo.h"

namespace {

using blit_test::Palette;

struct BlitterDeleter {
  void operator()(VidzoBlitter* b) const { VidzoBlitClose(b); }
};
using Blitter = std::unique_ptr<VidzoBlitter, BlitterDeleter>;

int g_sound_turns = 0;
void CountTurn() {
  ++g_sound_turns;
}

// Counts the sound output's turns while alive.
class SoundTurns {
 public:
  SoundTurns() : saved_(VidzoProcess()->Sound.refill) {
    g_sound_turns = 0;
    VidzoProcess()->Sound.refill = CountTurn;
  }
  ~SoundTurns() { VidzoProcess()->Sound.refill = saved_; }
  int count() const { return g_sound_turns; }

 private:
  void (*saved_)(void);
};

TEST(Tables, SmoothingIndexTableIsTheNearestMeanColour) {
  std::mt19937 rng(31);
  for (bool few_levels : {true, false}) {
    const Palette p = blit_test::RandomPalette(rng, few_levels);
    std::vector<std::uint8_t> table(65536);
    vidzo::blit::BuildSmooth8(table.data(), p.data());
    const auto model = blit_test::MakeModelTables(p, true, false).smooth8;
    for (unsigned i = 0; i < 65536; ++i)
      ASSERT_EQ(table[i], model[i]) << "a " << i / 256 << " b " << i % 256 << " few " << few_levels;
  }
}

TEST(Tables, SmoothingIndexTablePicksTheLowestRedAmongEqualDistances) {
  Palette p(768, 0);
  // Entry 5 (red 10) and entry 2 (red 30) are both at distance 100 from the
  // mean (20, 0, 0) of entries 3 and 4; entry 2 comes first by index but
  // entry 5 by red.
  const std::array<std::array<std::uint8_t, 3>, 6> colours = {
      {{200, 200, 200}, {200, 200, 200}, {30, 0, 0}, {0, 0, 0}, {40, 0, 0}, {10, 0, 0}}};
  for (std::size_t i = 0; i < 256; ++i)
    for (int k = 0; k < 3; ++k) p[3 * i + k] = i < colours.size() ? colours[i][k] : 250;
  std::vector<std::uint8_t> table(65536);
  vidzo::blit::BuildSmooth8(table.data(), p.data());
  EXPECT_EQ(table[3 * 256 + 4], 5);
  EXPECT_EQ(table[4 * 256 + 3], 5);
  EXPECT_EQ(table[7 * 256 + 7], 7);
}

TEST(Tables, SmoothingPixelTableHalvesEachComponentBeforeAdding) {
  std::mt19937 rng(33);
  const Palette p = blit_test::RandomPalette(rng, false);
  for (bool six_green : {false, true}) {
    std::vector<std::uint16_t> table(65536);
    vidzo::blit::BuildSmooth16(table.data(), p.data(), six_green ? VIDZO_BLIT_565 : VIDZO_BLIT_555);
    for (unsigned a = 0; a < 256; ++a)
      for (unsigned b = 0; b < 256; ++b)
        ASSERT_EQ(table[a * 256 + b], blit_test::ModelMean16(p, a, b, six_green)) << a << " " << b;
  }
  // Two odd components: 255 and 1 give 127 + 0, not 128.
  Palette q(768, 0);
  q[0] = 255, q[3] = 1;
  std::vector<std::uint16_t> table(65536);
  vidzo::blit::BuildSmooth16(table.data(), q.data(), VIDZO_BLIT_555);
  EXPECT_EQ(table[1], (127u >> 3) << 10);
}

// Writes palette p in a layout: 3 or 4 bytes per entry, optional offset 1,
// blue first, and every byte doubled (the second byte of each pair junk).
std::vector<std::uint8_t> InLayout(const Palette& p, std::uint32_t layout, std::mt19937& rng) {
  std::size_t stride = 3, r = 0, g = 1, b = 2;
  if (layout & VIDZO_LAYOUT_4BYTE) {
    stride = 4;
    if (layout & VIDZO_LAYOUT_OFFSET1) r = 1, g = 2, b = 3;
  }
  if (layout & VIDZO_LAYOUT_BGR) std::swap(r, b);
  const std::size_t scale = (layout & VIDZO_LAYOUT_WIDE) ? 2 : 1;
  auto out = blit_test::RandomBytes(rng, 256 * stride * scale);
  for (std::size_t i = 0; i < 256; ++i) {
    out[(i * stride + r) * scale] = p[3 * i];
    out[(i * stride + g) * scale] = p[3 * i + 1];
    out[(i * stride + b) * scale] = p[3 * i + 2];
  }
  return out;
}

TEST(Palette, EveryLayoutReadsTheSameColours) {
  std::mt19937 rng(35);
  const Palette p = blit_test::RandomPalette(rng, false);
  for (std::uint32_t layout = 0; layout < 16; ++layout) {
    Blitter b(VidzoBlitOpen(VIDZO_BLIT_565));
    const auto bytes = InLayout(p, layout, rng);
    VidzoBlitSetPalette(b.get(), bytes.data(), layout);
    ASSERT_EQ(0, std::memcmp(b->PaletteCopy, p.data(), 768)) << "layout " << layout;
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(b->Colour16[i], blit_test::ModelColour16(p, i, true));
  }
}

TEST(Palette, TheSamePaletteTwiceRebuildsNothing) {
  std::mt19937 rng(37);
  const Palette p = blit_test::RandomPalette(rng, false);
  SoundTurns turns;
  Blitter b(VidzoBlitOpen(VIDZO_BLIT_555 | VIDZO_BLIT_SMOOTH));
  EXPECT_EQ(turns.count(), 0);  // tables wait for the first palette
  VidzoBlitSetPalette(b.get(), p.data(), 0);
  EXPECT_EQ(turns.count(), 2);  // one build, sound served before and after
  EXPECT_EQ(b->PaletteVersion, 1u);
  EXPECT_EQ(b->Colour16Version, 1u);
  EXPECT_EQ(b->SmoothVersion, 1u);
  EXPECT_EQ(b->SmoothKind, 16u);
  std::vector<std::uint16_t> table(static_cast<std::uint16_t*>(b->SmoothTable),
                                   static_cast<std::uint16_t*>(b->SmoothTable) + 65536);
  // Same colours in another layout: still the same palette.
  const auto bgr = InLayout(p, VIDZO_LAYOUT_4BYTE | VIDZO_LAYOUT_BGR, rng);
  VidzoBlitSetPalette(b.get(), p.data(), 0);
  VidzoBlitSetPalette(b.get(), bgr.data(), VIDZO_LAYOUT_4BYTE | VIDZO_LAYOUT_BGR);
  EXPECT_EQ(turns.count(), 2);
  EXPECT_EQ(b->PaletteVersion, 1u);
  EXPECT_EQ(0, std::memcmp(table.data(), b->SmoothTable, 131072));
  // One changed byte rebuilds.
  Palette q = p;
  q[700] ^= 0x80;
  VidzoBlitSetPalette(b.get(), q.data(), 0);
  EXPECT_EQ(turns.count(), 4);
  EXPECT_EQ(b->PaletteVersion, 2u);
  EXPECT_EQ(b->SmoothVersion, 2u);
  EXPECT_EQ(b->Colour16[233], blit_test::ModelColour16(q, 233, false));
}

TEST(Palette, ABlackFirstPaletteStillBuildsTheSmoothingTable) {
  // The cleared palette copy is black too; the table must still get its
  // diagonal, or the first pixel of a smoothed picture would turn to index 0.
  SoundTurns turns;
  Blitter b(VidzoBlitOpen(VIDZO_BLIT_SMOOTH));
  const Palette black(768, 0);
  VidzoBlitSetPalette(b.get(), black.data(), 0);
  EXPECT_EQ(turns.count(), 2);
  EXPECT_EQ(static_cast<std::uint8_t*>(b->SmoothTable)[9 * 257], 9);
  const std::uint8_t source = 9;
  std::uint8_t dest[4] = {};
  VidzoBlit(b.get(), dest, 2, 0, 0, &source, 1, 0, 0, 1, 1);
  EXPECT_EQ(dest[0], 9);
  EXPECT_EQ(dest[1], 9);
  EXPECT_EQ(dest[2], 9);
  EXPECT_EQ(dest[3], 9);
}

TEST(Palette, RecordsWithoutAPaletteCopyIgnoreIt) {
  std::mt19937 rng(39);
  const Palette p = blit_test::RandomPalette(rng, false);
  for (std::uint32_t flags : {0u, VIDZO_BLIT_2X, VIDZO_BLIT_INTERLACED}) {
    Blitter b(VidzoBlitOpen(flags));
    EXPECT_EQ(b->PaletteCopy, nullptr);
    EXPECT_EQ(b->Colour16, nullptr);
    EXPECT_EQ(b->SmoothTable, nullptr);
    VidzoBlitSetPalette(b.get(), p.data(), 0);
    EXPECT_EQ(b->PaletteVersion, 0u);
  }
  VidzoBlitSetPalette(nullptr, p.data(), 0);
  Blitter b(VidzoBlitOpen(VIDZO_BLIT_555));
  VidzoBlitSetPalette(b.get(), nullptr, 0);
  EXPECT_EQ(b->PaletteVersion, 0u);
}

TEST(Record, TablesLieInsideTheOneAllocation) {
  Blitter b(VidzoBlitOpen(VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH));
  ASSERT_NE(b, nullptr);
  const auto* base = reinterpret_cast<const std::uint8_t*>(b.get());
  const auto* palette = b->PaletteCopy;
  const auto* smooth = static_cast<const std::uint8_t*>(b->SmoothTable);
  const auto* colours = reinterpret_cast<const std::uint8_t*>(b->Colour16);
  EXPECT_GE(palette, base + sizeof(VidzoBlitter));
  EXPECT_GE(smooth, palette + 768);
  EXPECT_GE(colours, smooth + 131072);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(smooth) % 16, 0u);
  // The last table entry is writable (the address sanitizer checks the end).
  b->Colour16[255] = 1;
  EXPECT_EQ(b->Flags, VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH);
  EXPECT_EQ(b->Mode, 9u);
  VidzoBlitClose(nullptr);
}

TEST(Flags, RefusedWhenTheRecordLacksTheTable) {
  Blitter plain(VidzoBlitOpen(VIDZO_BLIT_2X));
  EXPECT_EQ(VidzoBlitSetFlags(plain.get(), VIDZO_BLIT_555), 0u);
  EXPECT_EQ(VidzoBlitSetFlags(plain.get(), VIDZO_BLIT_SMOOTH), 0u);
  EXPECT_EQ(plain->Flags, VIDZO_BLIT_2X);
  EXPECT_EQ(plain->Mode, 1u);
  EXPECT_EQ(VidzoBlitSetFlags(plain.get(), VIDZO_BLIT_INTERLACED), 1u);
  EXPECT_EQ(plain->Mode, 2u);
  EXPECT_EQ(VidzoBlitSetFlags(plain.get(), 0x40000000u), 1u);  // not 16-bit output without bit 31
  EXPECT_EQ(plain->Mode, 0u);
  EXPECT_EQ(VidzoBlitSetFlags(nullptr, 0), 0u);

  Blitter wide(VidzoBlitOpen(VIDZO_BLIT_555));
  EXPECT_EQ(VidzoBlitSetFlags(wide.get(), VIDZO_BLIT_555 | VIDZO_BLIT_SMOOTH), 0u);
  EXPECT_EQ(VidzoBlitSetFlags(wide.get(), VIDZO_BLIT_2X), 1u);
  EXPECT_EQ(wide->Mode, 1u);
}

TEST(Flags, ChangingKindOrFormatRebuildsTheTables) {
  std::mt19937 rng(41);
  const Palette p = blit_test::RandomPalette(rng, false);
  SoundTurns turns;
  Blitter b(VidzoBlitOpen(VIDZO_BLIT_555 | VIDZO_BLIT_SMOOTH));
  VidzoBlitSetPalette(b.get(), p.data(), 0);
  EXPECT_EQ(turns.count(), 2);
  // 5-6-5 now: both tables follow, or every colour would be wrong.
  ASSERT_EQ(VidzoBlitSetFlags(b.get(), VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH), 1u);
  EXPECT_EQ(turns.count(), 4);
  const auto* smooth16 = static_cast<const std::uint16_t*>(b->SmoothTable);
  for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(b->Colour16[i], blit_test::ModelColour16(p, i, true));
  EXPECT_EQ(smooth16[3 * 256 + 200], blit_test::ModelMean16(p, 3, 200, true));
  // 8-bit smoothing reuses the room for index entries.
  ASSERT_EQ(VidzoBlitSetFlags(b.get(), VIDZO_BLIT_SMOOTH), 1u);
  EXPECT_EQ(turns.count(), 6);
  EXPECT_EQ(b->SmoothKind, 8u);
  EXPECT_EQ(static_cast<const std::uint8_t*>(b->SmoothTable)[3 * 256 + 200],
            blit_test::ModelNearestMean(p, 3, 200));
  // The same flags again: nothing rebuilt.
  ASSERT_EQ(VidzoBlitSetFlags(b.get(), VIDZO_BLIT_SMOOTH), 1u);
  ASSERT_EQ(VidzoBlitSetFlags(b.get(), VIDZO_BLIT_SMOOTH | VIDZO_BLIT_2X), 1u);
  EXPECT_EQ(turns.count(), 6);
}

TEST(Names, EachModeAndTheVectorLoops) {
  const std::uint32_t before = VidzoSetMMX(2);
  const struct {
    std::uint32_t flags;
    const char* name;
    bool vectorised;
  } kCases[] = {{0, "8-bit 1x", false},
                {VIDZO_BLIT_2X, "8-bit 2x", true},
                {VIDZO_BLIT_INTERLACED, "8-bit 2x Interlaced", true},
                {VIDZO_BLIT_SMOOTH, "8-bit 2x Smoothing", false},
                {VIDZO_BLIT_555, "16-bit 1x", false},
                {VIDZO_BLIT_565 | VIDZO_BLIT_2X, "16-bit 2x", true},
                {VIDZO_BLIT_555 | VIDZO_BLIT_INTERLACED, "16-bit 2x Interlaced", true},
                {VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH, "16-bit 2x Smoothing", false}};
  for (std::uint32_t allow : {0u, 1u}) {
    const bool on = VidzoSetMMX(allow) != 0;
    EXPECT_EQ(on, allow == 1 && vidzo::ProcessorHasMmx());
    for (const auto& c : kCases) {
      Blitter b(VidzoBlitOpen(c.flags));
      char text[32];
      EXPECT_EQ(VidzoBlitString(b.get(), text), text);
      EXPECT_EQ(std::string(text), std::string(c.name) + (c.vectorised && on ? " using MMX" : ""));
    }
  }
  char text[32] = "x";
  EXPECT_STREQ(VidzoBlitString(nullptr, text), "");
  VidzoSetMMX(before);
}

TEST(Clear, FillsWithIndicesPixelsOrRawValues) {
  std::mt19937 rng(43);
  const Palette p = blit_test::RandomPalette(rng, false);
  Blitter wide(VidzoBlitOpen(VIDZO_BLIT_555 | VIDZO_BLIT_2X));
  VidzoBlitSetPalette(wide.get(), p.data(), 0);
  Blitter narrow(VidzoBlitOpen(VIDZO_BLIT_2X));
  const struct {
    VidzoBlitter* b;
    std::int32_t colour;
    std::uint16_t fill;
  } kCases[] = {{wide.get(), -0x7C00, 0x7C00},
                {wide.get(), 77, blit_test::ModelColour16(p, 77, false)},
                {wide.get(), 256 + 77, blit_test::ModelColour16(p, 77, false)},
                {narrow.get(), 77, 77},
                {narrow.get(), -200, 200},
                {narrow.get(), -0x7FFFFFFF - 1, 0}};
  for (const auto& c : kCases) {
    const bool is_wide = c.b == wide.get();
    const std::size_t pitch = 23, bpp = is_wide ? 2 : 1;
    std::vector<std::uint8_t> dest = blit_test::RandomBytes(rng, pitch * 9), want = dest;
    for (std::size_t y = 2; y < 2 + 5; ++y)
      for (std::size_t x = 3; x < 3 + 7; ++x) {
        want[y * pitch + x * bpp] = static_cast<std::uint8_t>(c.fill);
        if (is_wide) want[y * pitch + x * bpp + 1] = static_cast<std::uint8_t>(c.fill >> 8);
      }
    VidzoBlitClear(c.b, dest.data(), pitch, 3, 2, 7, 5, c.colour);
    EXPECT_EQ(dest, want) << "colour " << c.colour;
  }
  std::uint8_t untouched[4] = {1, 2, 3, 4};
  VidzoBlitClear(narrow.get(), untouched, 4, 0, 0, 0, 1, 9);
  VidzoBlitClear(nullptr, untouched, 4, 0, 0, 4, 1, 9);
  EXPECT_EQ(untouched[0], 1);
}

}  // namespace
