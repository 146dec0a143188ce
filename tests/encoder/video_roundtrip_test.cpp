// The coded video decoded back: with the decoder's trees alone, and through
// the playback library from a written file (palettes and the ring frame too).
#include <gtest/gtest.h>

#include <random>

#include "encoder/animation_maker.h"
#include "encoder/tree_decoder.h"
#include "playback/trees.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/vdz_frames.h"

namespace {

using namespace vidzotools;
using encoder_test::AnimationSpec;

// Encodes the animation, writes it, decodes it through the library (ring
// frame included) and compares every picture and palette.
void CheckRoundTrip(const AnimationSpec& recipe, bool ring) {
  SCOPED_TRACE(testing::Message() << recipe.width << "x" << recipe.height << " seed " << recipe.seed
                                  << (ring ? " ring" : ""));
  const auto frames = encoder_test::MakeAnimation(recipe);
  AnimationOptions options;
  options.ring = ring;
  VdzContent content;
  std::string error;
  ASSERT_TRUE(EncodeAnimation(recipe.width, recipe.height, frames, options, content, error)) << error;

  std::vector<std::vector<uint8_t>> videos;
  for (const VdzFrame& f : content.frames) videos.push_back(f.video);
  const auto by_trees = encoder_test::DecodeWithTrees(content.trees, videos, recipe.width, recipe.height,
                                                      std::vector<uint8_t>(frames[0].pixels.size(), 0xEE));
  ASSERT_EQ(by_trees.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(by_trees[i], frames[i].pixels) << "frame " << i;

  vidzoer_test::TempDir dir;
  const std::string name = dir.File("a.vdz");
  ASSERT_TRUE(WriteVdzFile(name, content, error)) << error;
  size_t seen = 0;
  ASSERT_TRUE(DecodeVdzFrames(
      name, true,
      [&](const DecodedFrame& f, std::string&) {
        const AnimationFrame& want = frames[f.index < frames.size() ? f.index : 0];
        EXPECT_EQ(std::vector<uint8_t>(f.pixels, f.pixels + want.pixels.size()), want.pixels)
            << "frame " << f.index;
        EXPECT_TRUE(std::equal(want.palette.begin(), want.palette.end(), f.palette)) << "palette " << f.index;
        ++seen;
        return !testing::Test::HasFailure();
      },
      error))
      << error;
  EXPECT_EQ(seen, frames.size() + (ring ? 1 : 0));
}

TEST(VideoRoundTrip, SmallPictures) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    CheckRoundTrip({4, 4, 1, 2, 1, 0, false, seed}, false);
    CheckRoundTrip({4, 4, 5, 3, 0.5, 1, true, seed}, seed % 2 == 0);
    CheckRoundTrip({8, 12, 6, 256, 0.3, 1, true, seed}, seed % 2 == 1);
    CheckRoundTrip({36, 20, 7, 5, 0.1, 3, true, seed}, true);
  }
}

TEST(VideoRoundTrip, MostlyUnchangedAndFullyChanging) {
  CheckRoundTrip({64, 48, 8, 40, 0.002, 0, true, 3}, true);
  CheckRoundTrip({64, 48, 8, 256, 1.0, 0, true, 4}, false);
  CheckRoundTrip({64, 48, 8, 2, 1.0, 0, false, 5}, true);  // two colours: two-colour and solid blocks
}

TEST(VideoRoundTrip, SolidAreasAndLongRunsAcrossRows) {
  // One colour over most of the picture: solid runs far longer than a block
  // row and longer than the table's longest entry.
  CheckRoundTrip({320, 200, 4, 1, 0.0, 0, false, 6}, true);
  CheckRoundTrip({320, 200, 5, 16, 0.001, 6, true, 7}, true);
}

TEST(VideoRoundTrip, LargePicture) {
  CheckRoundTrip({640, 480, 3, 64, 0.05, 4, true, 8}, true);
}

TEST(VideoRoundTrip, RingFrameOfOneFrameAnimationIsAllUnchanged) {
  const auto frames = encoder_test::MakeAnimation({16, 8, 1, 9, 0, 0, false, 10});
  AnimationOptions options;
  options.ring = true;
  VdzContent content;
  std::string error;
  ASSERT_TRUE(EncodeAnimation(16, 8, frames, options, content, error)) << error;
  ASSERT_TRUE(content.has_ring);
  EXPECT_TRUE(content.ring.palette.empty());
  // One type value: an unchanged run of all 8 blocks.
  const auto after = encoder_test::DecodeWithTrees(content.trees, {content.ring.video}, 16, 8,
                                                   std::vector<uint8_t>(128, 0xAB));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], std::vector<uint8_t>(128, 0xAB));
}

TEST(VideoRoundTrip, PaletteChunksOnlyWhereThePaletteChanges) {
  auto frames = encoder_test::MakeAnimation({8, 8, 4, 4, 0.2, 0, false, 11});
  frames[2].palette[5] = ExpandComponent(33);
  frames[3].palette = frames[2].palette;
  VdzContent content;
  std::string error;
  ASSERT_TRUE(EncodeAnimation(8, 8, frames, {}, content, error)) << error;
  EXPECT_FALSE(content.frames[0].palette.empty());
  EXPECT_TRUE(content.frames[1].palette.empty());
  EXPECT_FALSE(content.frames[2].palette.empty());
  EXPECT_TRUE(content.frames[3].palette.empty());
}

TEST(VideoRoundTrip, BadInputIsRefused) {
  std::vector<uint8_t> pic(16);
  FrameToCode frame{pic.data(), nullptr};
  EncodedVideo video;
  std::string error;
  EXPECT_FALSE(EncodeVideo(6, 4, {&frame, 1}, video, error));
  EXPECT_FALSE(EncodeVideo(4, 4, {}, video, error));
  FrameToCode missing{};
  EXPECT_FALSE(EncodeVideo(4, 4, {&missing, 1}, video, error));
  std::vector<AnimationFrame> frames(1);
  frames[0].pixels.resize(15);
  VdzContent content;
  EXPECT_FALSE(EncodeAnimation(4, 4, frames, {}, content, error));
  EXPECT_NE(error.find("frame 0"), std::string::npos);
}

// Full blocks whose pixel pairs take every 16-bit value: no value is left to
// tell the trees' inner nodes apart, and the encoder says so.
TEST(VideoRoundTrip, EveryPairInUseIsAClearError) {
  const uint32_t w = 512, h = 256;
  std::vector<uint8_t> pic(w * h);
  uint32_t k = 0;
  for (uint32_t by = 0; by < h / 4; ++by)
    for (uint32_t bx = 0; bx < w / 4; ++bx)
      for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; x += 2, ++k) {
          pic[(by * 4 + y) * w + bx * 4 + x] = static_cast<uint8_t>(k);
          pic[(by * 4 + y) * w + bx * 4 + x + 1] = static_cast<uint8_t>(k >> 8);
        }
  FrameToCode frame{pic.data(), nullptr};
  EncodedVideo video;
  std::string error;
  EXPECT_FALSE(EncodeVideo(w, h, {&frame, 1}, video, error));
  EXPECT_NE(error.find("too detailed"), std::string::npos) << error;
}

// Counts in a Fibonacci series would need codes of up to 39 bits; the tree is
// built from flattened counts instead and still codes every value.
TEST(StartEncodeWithinDepth, DeepStatisticsAreFlattened) {
  Huff* h = HuffOpen(0);
  ASSERT_NE(h, nullptr);
  HuffInitStats(h);
  uint32_t a = 1, b = 1;
  for (uint32_t v = 100; v < 140; ++v) {
    h->codes[v] = a;
    const uint32_t next = a + b;
    a = b;
    b = next > 0x40000000u ? 0x40000000u : next;
  }
  h->has_stats = 1;
  vidzoer_test::TempDir dir;
  const std::string name = dir.File("trees.bin");
  QELFile* out = QELFileCreate(4096, name.c_str());
  ASSERT_NE(out, nullptr);
  // The trees block: absent mono-map and mono-colour trees, this tree as the
  // full tree, an absent type tree; then values coded with it.
  QELFilePutBits(out, 0, 2);
  const int32_t size = StartEncodeWithinDepth(h, out);
  QELFilePutBits(out, 0, 1);
  QELFileByteAlign(out);
  const uint32_t trees_end = QELFileGetPos(out);
  EXPECT_EQ(size, 16 + 8 * 39);
  for (uint32_t v = 100; v < 140; ++v) {
    EXPECT_GT(h->lengths[v], 0);
    EXPECT_LE(h->lengths[v], 30);
  }
  HuffInitLasts(h);
  for (uint32_t v = 139; v >= 100; --v) HuffEncode(h, v);
  QELFileClose(out);
  HuffClose(h);

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(name, bytes));
  ASSERT_LE(trees_end, bytes.size());
  const uint32_t sizes[4] = {12, 12, static_cast<uint32_t>(size), 12};
  vidzo::TreesAreaBuffer area(sizes);
  ASSERT_TRUE(vidzo::UnpackTrees(bytes.data(), trees_end, *area.Get(), sizes));
  vidzo::ResetLasts(*area.Get());
  vidzo::BitReader32 reader(bytes.data() + trees_end, bytes.size() - trees_end);
  for (uint32_t v = 139; v >= 100; --v)
    EXPECT_EQ(vidzo::FetchValue(reader, *area.Get(), vidzo::kFullTree), v);
}

}  // namespace
