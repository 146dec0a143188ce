// Palette slots that follow the pixels: recoloured areas keep their indices,
// also where two of them show one colour for a while, the change travelling
// in the palette, and every picture stays exact.
#include "tools/lib/frame_indexer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tools/lib/block_encoder.h"

namespace {

using namespace vidzotools;

// Each pixel shows its input colour as the decoder will (top 6 bits).
void ExpectExact(const std::vector<uint8_t>& rgb, const AnimationFrame& frame) {
  ASSERT_EQ(frame.pixels.size() * 3, rgb.size());
  for (size_t i = 0; i < frame.pixels.size(); ++i)
    for (int k = 0; k < 3; ++k)
      ASSERT_EQ(frame.palette[3 * frame.pixels[i] + k], ExpandComponent(rgb[3 * i + k] >> 2))
          << "pixel " << i;
}

// A picture of palette indices shown through `colours` (RGB per index).
std::vector<uint8_t> Show(const std::vector<uint8_t>& indices, const std::vector<uint8_t>& colours) {
  std::vector<uint8_t> rgb;
  for (uint8_t i : indices) rgb.insert(rgb.end(), colours.begin() + 3 * i, colours.begin() + 3 * i + 3);
  return rgb;
}

// n different colours, already 6-bit values widened; the first `rotate`
// shifted on by `step` places.
std::vector<uint8_t> Colours(int n, int rotate = 0, int step = 0) {
  std::vector<uint8_t> c;
  for (int i = 0; i < n; ++i) {
    const int k = i < rotate ? (i + step) % rotate : i;
    c.push_back(ExpandComponent(static_cast<uint8_t>(k % 64)));
    c.push_back(ExpandComponent(static_cast<uint8_t>(k / 64 * 16)));
    c.push_back(ExpandComponent(static_cast<uint8_t>(63 - k % 32)));
  }
  return c;
}

// Coded, every frame after the first is a palette change over an unchanged
// picture: its video is as short as frame 1's.
void ExpectOnlyPaletteChanges(uint32_t width, uint32_t height, const std::vector<AnimationFrame>& frames) {
  VdzContent content;
  std::string error;
  ASSERT_TRUE(EncodeAnimation(width, height, frames, {}, content, error)) << error;
  for (size_t f = 1; f < content.frames.size(); ++f) {
    EXPECT_FALSE(content.frames[f].palette.empty()) << "frame " << f;
    EXPECT_EQ(content.frames[f].video, content.frames[1].video) << "frame " << f;
  }
}

// A slot whose pixels split between two new colours goes to the colour with
// more of them, though the other comes first.
TEST(FrameIndexerBySlot, TheLargerShareOfASlotKeepsIt) {
  for (size_t first : {size_t{500}, size_t{1}, size_t{549}}) {
    SCOPED_TRACE(testing::Message() << first << " pixels of the first colour");
    FrameIndexer indexer;
    AnimationFrame frame;
    std::string error;
    const std::vector<uint8_t> whole = Show(std::vector<uint8_t>(1100, 0), Colours(3));
    ASSERT_TRUE(indexer.Next(whole.data(), 1100, frame, error)) << error;
    const uint8_t slot = frame.pixels[0];
    std::vector<uint8_t> split(1100, 2);
    std::fill_n(split.begin(), first, uint8_t{1});
    const auto rgb = Show(split, Colours(3));
    ASSERT_TRUE(indexer.Next(rgb.data(), 1100, frame, error)) << error;
    ExpectExact(rgb, frame);
    EXPECT_NE(frame.pixels[0], slot);
    EXPECT_EQ(frame.pixels[1099], slot);
  }
}

// A slot most of whose pixels take a colour that has a slot already keeps
// them as an extra slot of that colour; a smaller share, such as the pixels
// a sprite leaves behind, goes to the colour's main slot.
TEST(FrameIndexerBySlot, AnExtraSlotTakesMostOfItsPixels) {
  for (size_t share : {size_t{40}, size_t{50}, size_t{51}, size_t{100}}) {
    SCOPED_TRACE(testing::Message() << share << " of 100 pixels");
    // 100 pixels of colour 0, then 1000 of colour 1.
    std::vector<uint8_t> picture(1100, 1);
    std::fill_n(picture.begin(), 100, uint8_t{0});
    FrameIndexer indexer;
    AnimationFrame first, frame;
    std::string error;
    auto rgb = Show(picture, Colours(4));
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), first, error)) << error;
    // `share` of colour 0's pixels show colour 1, the others new colours 2
    // and 3 (as many of each as fit, colour 2 first).
    const size_t rest = 100 - share;
    std::fill_n(picture.begin(), share, uint8_t{1});
    std::fill_n(picture.begin() + share, rest - rest / 2, uint8_t{2});
    std::fill_n(picture.begin() + share + (rest - rest / 2), rest / 2, uint8_t{3});
    rgb = Show(picture, Colours(4));
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frame, error)) << error;
    ExpectExact(rgb, frame);
    EXPECT_EQ(frame.pixels[share - 1], share > 50 ? first.pixels[0] : first.pixels[1099]);
    EXPECT_EQ(frame.pixels[1099], first.pixels[1099]);
  }
}

TEST(FrameIndexerBySlot, ARotatingPaletteKeepsEveryIndex) {
  constexpr uint32_t kW = 32, kH = 16;
  std::vector<uint8_t> picture(kW * kH);
  for (uint32_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>((i % kW + i / kW * 3) % 64);
  FrameIndexer indexer;
  std::vector<AnimationFrame> frames(12);
  std::string error;
  for (int f = 0; f < 12; ++f) {
    const auto rgb = Show(picture, Colours(64, 64, f));
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frames[f], error)) << error;
    ExpectExact(rgb, frames[f]);
    if (f == 0) continue;
    EXPECT_EQ(frames[f].pixels, frames[0].pixels) << "frame " << f;
    EXPECT_NE(frames[f].palette, frames[f - 1].palette) << "frame " << f;
  }

  ExpectOnlyPaletteChanges(kW, kH, frames);
  VdzContent content;
  ASSERT_TRUE(EncodeAnimation(kW, kH, frames, {}, content, error)) << error;
  EXPECT_LT(content.frames[1].video.size(), content.frames[0].video.size() / 4);
}

// Slots that show one colour for a frame or two and then part again keep
// their own indices throughout: nothing is merged into one index and split
// again, and the meeting travels in the palette alone.
TEST(FrameIndexerBySlot, SlotsThatMeetOnAColourAndPartKeepTheirIndices) {
  constexpr uint32_t kW = 32, kH = 16;
  std::vector<uint8_t> picture(kW * kH);  // 8 areas of different sizes
  for (uint32_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i % kW * i / kW % 8);
  // Which slots show the colour of which other slot, frame by frame: 2 and
  // 5 meet, part, then 2, 5 and 6 meet on a colour none of them had, then
  // 0 takes 7's colour for two frames, and all part.
  const std::vector<std::vector<std::pair<int, int>>> meetings = {{}, {{5, 2}}, {},       {{2, 6}, {5, 6}},
                                                                  {}, {{0, 7}}, {{0, 7}}, {}};
  FrameIndexer indexer;
  std::vector<AnimationFrame> frames(meetings.size());
  std::string error;
  for (size_t f = 0; f < meetings.size(); ++f) {
    std::vector<uint8_t> colours = Colours(8, 8, static_cast<int>(f));
    for (auto [to, from] : meetings[f]) std::copy_n(colours.begin() + 3 * from, 3, colours.begin() + 3 * to);
    const auto rgb = Show(picture, colours);
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frames[f], error)) << error;
    ExpectExact(rgb, frames[f]);
    EXPECT_EQ(frames[f].pixels, frames[0].pixels) << "frame " << f;
  }
  ExpectOnlyPaletteChanges(kW, kH, frames);

  // A cycling palette in which, after the first frame, two neighbouring
  // entries show one colour: a different pair of slots meets in every frame.
  std::vector<uint8_t> many(kW * kH);
  for (uint32_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>((i % kW + i / kW * 5) % 64);
  FrameIndexer cycling;
  for (int f = 0; f < 20; ++f) {
    std::vector<uint8_t> colours = Colours(64, 64, f);
    const int twin = (74 - f) % 64;  // the slot that shows base colour 10
    if (f > 0) std::copy_n(colours.begin() + 3 * ((twin + 1) % 64), 3, colours.begin() + 3 * twin);
    const auto rgb = Show(many, colours);
    ASSERT_TRUE(cycling.Next(rgb.data(), many.size(), frames[f % 8], error)) << error;
    ExpectExact(rgb, frames[f % 8]);
    if (f == 0) picture = frames[0].pixels;
    EXPECT_EQ(frames[f % 8].pixels, picture) << "frame " << f;
  }
}

// Extra slots give way to colours: a frame that needs all 256 slots fits
// after frames in which every slot showed one colour.
TEST(FrameIndexerBySlot, AFrameThatNeedsEverySlotFitsAfterDuplicates) {
  std::vector<uint8_t> picture(512);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i % 256);
  FrameIndexer indexer;
  AnimationFrame first, frame;
  std::string error;
  auto rgb = Show(picture, Colours(256));
  ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), first, error)) << error;
  // All 256 slots show one colour and keep their pixels.
  rgb = Show(picture, std::vector<uint8_t>(768, 40));
  ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frame, error)) << error;
  ExpectExact(rgb, frame);
  EXPECT_EQ(frame.pixels, first.pixels);
  // Then 256 colours, none seen before: one on pixels 0 to 255 and 511, where
  // it comes from every slot; 255 others on one pixel each.
  std::vector<uint8_t> colours = Colours(256, 256, 100);
  for (auto& c : colours) c = static_cast<uint8_t>(c ^ 0x80);
  std::vector<uint8_t> next(512, 255);
  for (size_t i = 256; i < 511; ++i) next[i] = static_cast<uint8_t>(i - 256);
  rgb = Show(next, colours);
  ASSERT_TRUE(indexer.Next(rgb.data(), next.size(), frame, error)) << error;
  ExpectExact(rgb, frame);
  std::set<uint8_t> slots(frame.pixels.begin(), frame.pixels.end());
  EXPECT_EQ(slots.size(), 256u);
  for (size_t i = 256; i < 511; ++i) EXPECT_EQ(frame.pixels[i], first.pixels[i]) << "pixel " << i;
  // And the first picture again.
  rgb = Show(picture, Colours(256));
  ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frame, error)) << error;
  ExpectExact(rgb, frame);
}

TEST(FrameIndexerBySlot, ASpriteOverACyclingBackgroundChangesOnlyWhereItWasAndIs) {
  constexpr uint32_t kW = 64, kH = 48, kSide = 8;
  constexpr int kBackground = 50;
  FrameIndexer indexer;
  AnimationFrame previous, frame;
  std::string error;
  uint32_t px = 0, py = 0;  // the sprite's corner in the previous frame
  for (int f = 0; f < 16; ++f) {
    // Background indices 0 to 49 cycling, each on far more pixels than the
    // sprite covers; the sprite's own 4 colours, 50 to 53.
    const uint32_t sx = (3 + 5 * f) % (kW - kSide), sy = 2 + (7 * f) % (kH - kSide);
    std::vector<uint8_t> picture(kW * kH);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const bool sprite = x >= sx && x < sx + kSide && y >= sy && y < sy + kSide;
        picture[y * kW + x] =
            static_cast<uint8_t>(sprite ? kBackground + (x - sx + y - sy) % 4 : (x + 2 * y) % kBackground);
      }
    const auto rgb = Show(picture, Colours(kBackground + 4, kBackground, 3 * f));
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frame, error)) << error;
    ExpectExact(rgb, frame);
    if (f > 0) {
      size_t changed = 0;
      for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
          if (frame.pixels[y * kW + x] == previous.pixels[y * kW + x]) continue;
          ++changed;
          const bool was = x >= px && x < px + kSide && y >= py && y < py + kSide;
          const bool is = x >= sx && x < sx + kSide && y >= sy && y < sy + kSide;
          EXPECT_TRUE(was || is) << "frame " << f << " pixel " << x << "," << y;
        }
      EXPECT_GT(changed, 0u) << "frame " << f;
    }
    previous = frame;
    px = sx;
    py = sy;
  }
}

TEST(FrameIndexerBySlot, TwoHundredAndFiftySixColours) {
  std::vector<uint8_t> picture(256 * 2);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7 % 256);
  FrameIndexer indexer;
  AnimationFrame first, frame;
  std::string error;
  // Every slot in use and every one recoloured: the indices stay.
  for (int f = 0; f < 4; ++f) {
    const auto rgb = Show(picture, Colours(256, 256, 5 * f));
    ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), f == 0 ? first : frame, error)) << error;
    ExpectExact(rgb, f == 0 ? first : frame);
    if (f > 0) {
      EXPECT_EQ(frame.pixels, first.pixels) << "frame " << f;
    }
  }
  // Half the pixels repainted with colours the animation has not had yet.
  std::vector<uint8_t> colours = Colours(256, 256, 15);
  for (int i = 0; i < 128; ++i) colours[3 * i + 1] = ExpandComponent((colours[3 * i + 1] >> 2) + 8);
  const auto rgb = Show(picture, colours);
  ASSERT_TRUE(indexer.Next(rgb.data(), picture.size(), frame, error)) << error;
  ExpectExact(rgb, frame);
  EXPECT_EQ(frame.pixels, first.pixels);

  // 257 colours are refused, in a picture of the same size and of another,
  // and the indexer goes on from the frame before.
  std::vector<uint8_t> more = rgb;
  more[0] = 1;  // a new colour; pixel 0's old one is on pixel 256 as well
  more[1] = 2;
  more[2] = 3;
  AnimationFrame refused;
  EXPECT_FALSE(indexer.Next(more.data(), picture.size(), refused, error));
  EXPECT_EQ(error, "more than 256 colours");
  more.insert(more.end(), {1, 2, 3});
  error.clear();
  EXPECT_FALSE(indexer.Next(more.data(), picture.size() + 1, refused, error));
  EXPECT_EQ(error, "more than 256 colours");
  EXPECT_TRUE(refused.pixels.empty());
  const auto again = Show(picture, Colours(256, 256, 16));
  AnimationFrame next;
  ASSERT_TRUE(indexer.Next(again.data(), picture.size(), next, error)) << error;
  ExpectExact(again, next);
  EXPECT_EQ(next.pixels, first.pixels);
}

// Random pictures: repainted areas, recoloured indices, slots merged onto
// one colour, new colours, another size now and then. Every picture is exact;
// the pixels of a colour that change their index all go to one slot (the
// others keep theirs), and the slots a frame does not use keep their colour.
TEST(FrameIndexerBySlot, RandomPicturesStayExact) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    FrameIndexer indexer;
    std::vector<uint8_t> indices(below(300) + 1), colours(768);
    for (auto& c : colours) c = static_cast<uint8_t>(rng());
    const uint32_t used = below(256) + 1;
    for (auto& i : indices) i = static_cast<uint8_t>(below(used));
    AnimationFrame previous;
    for (int f = 0; f < 30; ++f) {
      switch (below(6)) {
        case 0:  // repaint some pixels
          for (uint32_t k = below(40); k > 0; --k)
            indices[below(indices.size())] = static_cast<uint8_t>(below(256));
          break;
        case 1:  // recolour some indices, at times to a colour another has
          for (uint32_t k = below(60); k > 0; --k) colours[below(768)] = static_cast<uint8_t>(rng());
          if (below(2)) std::copy_n(colours.begin() + 3 * below(256), 3, colours.begin() + 3 * below(256));
          break;
        case 2:  // rotate the colours of a range of indices
          std::rotate(colours.begin(), colours.begin() + 3 * below(256), colours.begin() + 3 * 256);
          break;
        case 3:  // another picture size
          indices.resize(below(300) + 1, static_cast<uint8_t>(below(256)));
          break;
        case 4: {  // many indices show one colour
          const uint32_t from = below(256);
          for (uint32_t k = below(200); k > 0; --k)
            std::copy_n(colours.begin() + 3 * from, 3, colours.begin() + 3 * below(256));
          break;
        }
        default:
          break;
      }
      const auto rgb = Show(indices, colours);
      AnimationFrame frame;
      std::string error;
      ASSERT_TRUE(indexer.Next(rgb.data(), indices.size(), frame, error)) << error;
      ExpectExact(rgb, frame);
      const bool same_size = f > 0 && previous.pixels.size() == indices.size();
      std::vector<int> moved_to(1 << 18, -1);  // per colour: the slot its moved pixels took
      std::set<int> slots;
      for (size_t i = 0; i < indices.size(); ++i) {
        slots.insert(frame.pixels[i]);
        if (same_size && frame.pixels[i] == previous.pixels[i]) continue;
        const int key = (rgb[3 * i] >> 2) << 12 | (rgb[3 * i + 1] >> 2) << 6 | rgb[3 * i + 2] >> 2;
        if (moved_to[key] < 0) moved_to[key] = frame.pixels[i];
        EXPECT_EQ(frame.pixels[i], moved_to[key]) << "pixel " << i;
      }
      for (int s = 0; s < 256 && f > 0; ++s) {
        if (slots.count(s)) continue;
        EXPECT_TRUE(std::equal(frame.palette.begin() + 3 * s, frame.palette.begin() + 3 * s + 3,
                               previous.palette.begin() + 3 * s))
            << "unused slot " << s;
      }
      previous = frame;
    }
  }
}

}  // namespace
