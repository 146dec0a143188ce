// Remapping the decoder's colours: the translation reaches every colour the
// trees produce (both bytes of the mono-colour and full leaves, the fill
// colour of solid runs) and nothing else, and the nearest-colour search.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <random>

#include "video_model.h"

namespace {

using video_test::Destination;
using video_test::Encoded;
using video_test::Form;
using video_test::FrameScript;
using video_test::Picture;
using video_test::Trees;
using RunOf = video_test::Run;

using Table = std::array<uint8_t, 256>;

Table Identity() {
  Table t;
  std::iota(t.begin(), t.end(), 0);
  return t;
}

struct Content {
  Picture picture{48, 32};
  std::vector<FrameScript> frames;
  Encoded encoded;
};

Content RandomContent(uint32_t seed) {
  std::mt19937 rng(seed);
  Content c;
  for (int i = 0; i < 3; ++i) c.frames.push_back(video_test::RandomFrame(rng, c.picture.Blocks()));
  c.encoded = video_test::EncodeFrames(c.frames, c.picture.Blocks());
  return c;
}

// Decodes every frame with trees remapped by each of `tables` in turn and
// checks the buffer against the model's picture passed through `expect`.
void ExpectRemapped(const Content& c, const std::vector<Table>& tables, const Table& expect) {
  Trees trees(c.encoded);
  for (const Table& t : tables) vidzo::RemapTrees(*trees.get(), t.data());
  Picture picture = c.picture;
  Destination dest(picture, Form{});
  auto translate = [&expect](Picture p) {
    for (auto& v : p.pixels) v = expect[v];
    return p;
  };
  // The buffer starts as the model's first picture shows through the table.
  const std::vector<uint8_t> start = dest.Expected(translate(picture), nullptr);
  std::copy(start.begin(), start.end(), dest.bytes().begin());
  for (size_t f = 0; f < c.frames.size(); ++f) {
    video_test::ApplyFrame(c.frames[f], picture);
    dest.Decode(c.encoded.frames[f], trees.get());
    const std::vector<uint8_t> want = dest.Expected(translate(picture), nullptr);
    ASSERT_TRUE(dest.bytes() == want) << "frame " << f;
  }
}

TEST(RemapTrees, EveryProducedColourPassesThroughTheTable) {
  std::mt19937 rng(12);
  Table t;
  for (auto& v : t) v = static_cast<uint8_t>(rng());
  ExpectRemapped(RandomContent(1), {t}, t);
}

TEST(RemapTrees, IdentityLeavesTheOutputUnchanged) {
  ExpectRemapped(RandomContent(2), {Identity()}, Identity());
}

TEST(RemapTrees, RemappingTwiceDoesNotCompound) {
  Table shift;
  for (int i = 0; i < 256; ++i) shift[i] = static_cast<uint8_t>(i + 1);
  ExpectRemapped(RandomContent(3), {shift, shift}, shift);
  // And going back to the identity restores the stored colours.
  ExpectRemapped(RandomContent(3), {shift, Identity()}, Identity());
}

// The translation VidzoRemapPalette makes, read back by decoding solid
// blocks of every colour.
Table TranslationOf(const std::array<uint8_t, 768>& palette, const void* colours, uint32_t count,
                    uint32_t flags) {
  Picture picture(1024, 4);  // 256 blocks: one per colour
  FrameScript frame;
  for (int i = 0; i < 256; ++i) frame.runs.push_back(RunOf{3, 0, static_cast<uint8_t>(i), {}});
  const Encoded e = video_test::EncodeFrames({frame}, picture.Blocks());
  Trees trees(e);
  Destination dest(picture, Form{}, palette.data());
  VidzoHandle& h = dest.handle();
  h.Trees = trees.get();
  VidzoRemapPalette(&h, colours, count, flags);
  h.Trees = nullptr;
  dest.Decode(e.frames[0], trees.get());
  Table t;
  for (int i = 0; i < 256; ++i) t[i] = dest.bytes()[4 * i];
  return t;
}

std::array<uint8_t, 768> RandomPalette(uint32_t seed) {
  std::mt19937 rng(seed);
  std::array<uint8_t, 768> p;
  for (auto& v : p) v = static_cast<uint8_t>(rng());
  return p;
}

TEST(RemapPalette, TheHandlesOwnPaletteGivesTheIdentity) {
  auto palette = RandomPalette(5);
  // Repeated colours too: the search starts at the entry itself.
  for (int i = 0; i < 30; ++i) std::copy_n(&palette[0], 3, &palette[3 * (200 + i)]);
  EXPECT_EQ(TranslationOf(palette, palette.data(), 256, 0), Identity());
}

TEST(RemapPalette, TiesGoToTheFirstMetFromTheEntryOnwardsWrapping) {
  std::array<uint8_t, 768> palette{};
  for (int i = 0; i < 256; ++i) palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = 10;
  // Entries 2 and 7 are equally near (10, 10, 10); everything else is far.
  std::array<uint8_t, 8 * 3> colours{};
  std::fill(colours.begin(), colours.end(), 200);
  const uint8_t near2[3] = {10, 10, 12}, near7[3] = {10, 10, 8};
  std::copy_n(near2, 3, &colours[3 * 2]);
  std::copy_n(near7, 3, &colours[3 * 7]);
  const Table t = TranslationOf(palette, colours.data(), 8, 0);
  EXPECT_EQ(t[0], 2);  // 0, 1, 2 ...
  EXPECT_EQ(t[2], 2);
  EXPECT_EQ(t[3], 7);  // 3 ... 7
  EXPECT_EQ(t[7], 7);
  EXPECT_EQ(t[100], 2);  // past the count: the search starts at entry 0
}

TEST(RemapPalette, EntryLayouts) {
  const auto palette = RandomPalette(6);
  std::mt19937 rng(7);
  std::array<uint8_t, 40 * 3> rgb;
  for (auto& v : rgb) v = static_cast<uint8_t>(rng());
  const Table want = TranslationOf(palette, rgb.data(), 40, 0);
  // Blue first, 4 bytes with the components at 1..3, two bytes per component.
  std::vector<uint8_t> bgr(40 * 3), quad(40 * 4, 0xEE), wide(40 * 6, 0xEE), wide_quad(40 * 8, 0xEE);
  for (int i = 0; i < 40; ++i) {
    for (int c = 0; c < 3; ++c) {
      bgr[3 * i + 2 - c] = rgb[3 * i + c];
      quad[4 * i + 1 + c] = rgb[3 * i + c];
      wide[6 * i + 2 * c] = rgb[3 * i + c];
      wide_quad[8 * i + 2 * (1 + (2 - c))] = rgb[3 * i + c];
    }
  }
  EXPECT_EQ(TranslationOf(palette, bgr.data(), 40, VIDZO_REMAP_BGR), want);
  EXPECT_EQ(TranslationOf(palette, quad.data(), 40, VIDZO_REMAP_4BYTE | VIDZO_REMAP_OFFSET1), want);
  EXPECT_EQ(TranslationOf(palette, wide.data(), 40, VIDZO_REMAP_WIDE), want);
  EXPECT_EQ(TranslationOf(palette, wide_quad.data(), 40,
                          VIDZO_REMAP_WIDE | VIDZO_REMAP_BGR | VIDZO_REMAP_4BYTE | VIDZO_REMAP_OFFSET1),
            want);
  EXPECT_NE(want, Identity());
}

TEST(RemapPalette, CountsAreBounded) {
  const auto palette = RandomPalette(8);
  // More than 256 entries: only 256 are looked at (the table holds exactly 256).
  EXPECT_EQ(TranslationOf(palette, palette.data(), 100000, 0), Identity());
  // No entries or no table: nothing changes.
  EXPECT_EQ(TranslationOf(palette, palette.data(), 0, 0), Identity());
  EXPECT_EQ(TranslationOf(palette, nullptr, 256, 0), Identity());
  VidzoRemapPalette(nullptr, palette.data(), 256, 0);
}

}  // namespace
