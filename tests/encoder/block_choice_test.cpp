// Block types, runs and their split into the lengths of the run-length table.
#include <gtest/gtest.h>

#include <numeric>

#include "tools/lib/block_encoder.h"

namespace {

using namespace vidzotools;

TEST(RunTable, LengthsAndIndexes) {
  for (uint32_t i = 0; i < 59; ++i) EXPECT_EQ(RunLength(i), i + 1);
  EXPECT_EQ(RunLength(59), 128u);
  EXPECT_EQ(RunLength(60), 256u);
  EXPECT_EQ(RunLength(61), 512u);
  EXPECT_EQ(RunLength(62), 1024u);
  EXPECT_EQ(RunLength(63), 2048u);
  for (uint32_t i = 0; i < 64; ++i) EXPECT_EQ(RunIndex(RunLength(i)), static_cast<int>(i));
  EXPECT_EQ(RunIndex(0), -1);
  EXPECT_EQ(RunIndex(60), -1);
  EXPECT_EQ(RunIndex(127), -1);
  EXPECT_EQ(RunIndex(4096), -1);
}

TEST(RunTable, EveryLengthSplitsExactly) {
  for (uint32_t blocks = 1; blocks <= 20000; ++blocks) {
    const std::vector<uint8_t> pieces = SplitRun(blocks);
    uint32_t sum = 0;
    for (uint8_t p : pieces) {
      ASSERT_LT(p, 64);
      sum += RunLength(p);
    }
    ASSERT_EQ(sum, blocks);
    // Below 128 only the lengths up to 59 fit: the fewest pieces are ceil(n / 59).
    if (blocks < 128) {
      ASSERT_EQ(pieces.size(), (blocks + 58) / 59) << blocks;
    }
  }
  EXPECT_EQ(SplitRun(2048), std::vector<uint8_t>{63});
  EXPECT_EQ(SplitRun(59), std::vector<uint8_t>{58});
  EXPECT_EQ(SplitRun(130), (std::vector<uint8_t>{59, 1}));
  EXPECT_EQ(SplitRun(5000).size(), 6u);  // 2048 2048 512 256 128 8
}

// A 4-row picture strip of 4x4 blocks given as one colour per pixel row.
std::vector<uint8_t> Blocks(const std::vector<std::array<uint8_t, 16>>& blocks) {
  const uint32_t w = static_cast<uint32_t>(blocks.size()) * 4;
  std::vector<uint8_t> pic(w * 4);
  for (size_t b = 0; b < blocks.size(); ++b)
    for (int i = 0; i < 16; ++i) pic[(i / 4) * w + b * 4 + i % 4] = blocks[b][i];
  return pic;
}

TEST(BlockChoice, TypesByColourCount) {
  const std::array<uint8_t, 16> solid{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  const std::array<uint8_t, 16> two{7, 3, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 3};
  const std::array<uint8_t, 16> full{7, 3, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 9};
  const auto pic = Blocks({solid, two, full});
  BlockChoice c = ChooseBlock(pic.data(), nullptr, 12);
  EXPECT_EQ(c.type, kSolidBlock);
  EXPECT_EQ(c.colour, 7);
  EXPECT_EQ(ChooseBlock(pic.data() + 4, nullptr, 12).type, kTwoColourBlock);
  EXPECT_EQ(ChooseBlock(pic.data() + 8, nullptr, 12).type, kFullBlock);
  // Equal to the previous picture: unchanged, whatever its colours.
  for (int b = 0; b < 3; ++b)
    EXPECT_EQ(ChooseBlock(pic.data() + 4 * b, pic.data() + 4 * b, 12).type, kUnchangedBlock);
  // One pixel off in the last row is a change.
  auto previous = pic;
  previous[3 * 12 + 11] = 0;
  EXPECT_EQ(ChooseBlock(pic.data() + 8, previous.data() + 8, 12).type, kFullBlock);
}

TEST(BlockChoice, RunsMergeAcrossBlockRowsAndSplitByColour) {
  // 3 blocks per row, 3 block rows: solid 5 everywhere except a solid 6 block
  // and a two-colour block in the middle row.
  const uint32_t w = 12, h = 12;
  std::vector<uint8_t> pic(w * h, 5);
  for (uint32_t y = 4; y < 8; ++y)
    for (uint32_t x = 0; x < 4; ++x) pic[y * w + x] = 6;
  pic[4 * w + 4] = 1;
  const auto runs = FrameRuns(pic.data(), nullptr, w, h);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].type, kSolidBlock);
  EXPECT_EQ(runs[0].colour, 5);
  EXPECT_EQ(runs[0].blocks, 3u);
  EXPECT_EQ(runs[1].colour, 6);
  EXPECT_EQ(runs[1].blocks, 1u);
  EXPECT_EQ(runs[2].type, kTwoColourBlock);
  EXPECT_EQ(runs[2].blocks, 1u);
  // The end of the middle row runs on into the last row.
  EXPECT_EQ(runs[3].type, kSolidBlock);
  EXPECT_EQ(runs[3].colour, 5);
  EXPECT_EQ(runs[3].blocks, 4u);
}

TEST(BlockChoice, UnchangedPictureIsOneLongRun) {
  const uint32_t w = 640, h = 480;
  std::vector<uint8_t> pic(w * h);
  for (size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<uint8_t>(i * 7 % 251);
  const auto runs = FrameRuns(pic.data(), pic.data(), w, h);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].type, kUnchangedBlock);
  EXPECT_EQ(runs[0].blocks, 160u * 120u);
}

}  // namespace
