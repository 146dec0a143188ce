// Flics written with QELOFlic read back through QELFlic frame for frame and
// palette for palette, across sizes that take each of the chunk encoders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flic/flic_files.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

using flic_test::Animation;

// Reads every frame of the flic into width x height frames.
struct Decoded {
  std::vector<std::vector<uint8_t>> frames, palettes;
  std::vector<int> results;
};

std::vector<uint8_t> Crop(const QELFlic* f, const std::vector<uint8_t>& buffer) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f->height; ++y)
    out.insert(out.end(), buffer.begin() + y * f->buffer_width,
               buffer.begin() + y * f->buffer_width + f->width);
  return out;
}

// The columns and rows beyond the flic's size hold colour 0.
bool MarginIsClear(const QELFlic* f, const std::vector<uint8_t>& buffer) {
  for (int y = 0; y < f->buffer_height; ++y)
    for (int x = 0; x < f->buffer_width; ++x)
      if ((x >= f->width || y >= f->height) && buffer[y * f->buffer_width + x] != 0) return false;
  return true;
}

void Write(const std::string& name, const Animation& a, int32_t frame_time = -4000) {
  QELOFlic* w = QELOFlicCreate(name.c_str(), a.width, a.height, frame_time);
  ASSERT_NE(w, nullptr);
  for (size_t i = 0; i < a.frames.size(); ++i)
    ASSERT_EQ(QELOFlicPutNext(w, a.frames[i].data(), a.palettes[i].data()), 1);
  EXPECT_GT(QELOFlicClose(w), 128u);
}

struct SizeCase {
  int width, height, frames;
  uint32_t seed;
};

class FlicRoundTrip : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FlicRoundTrip, EveryFrameAndPaletteComeBackAndTheReaderWraps) {
  const SizeCase c = GetParam();
  vidzoer_test::TempDir dir;
  const std::string name = dir.File("anim.flc");
  Animation a = flic_test::MakeAnimation(c.width, c.height, c.frames, c.seed);
  Write(name, a);

  QELFlic* r = QELFlicOpen(name.c_str());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->width, c.width);
  EXPECT_EQ(r->height, c.height);
  EXPECT_EQ(r->frames, c.frames);
  EXPECT_EQ(r->buffer_width, (c.width + 3) / 4 * 4);
  EXPECT_EQ(r->buffer_height, (c.height + 3) / 4 * 4);
  EXPECT_EQ(r->frame_time, -4000);
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height, 0xEE);
  // Two passes: the second starts again with the first frame.
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < c.frames; ++i) {
      int result = QELFlicGetNext(r, buffer.data());
      ASSERT_NE(result, 0);
      ASSERT_EQ(Crop(r, buffer), a.frames[i]) << "frame " << i << " pass " << pass;
      ASSERT_EQ(0, std::memcmp(QELFlicGetPalette(r), a.palettes[i].data(), 768)) << "frame " << i;
      bool palette_changed =
          i == 0 ? a.palettes[0] != std::vector<uint8_t>(768, 0) : a.palettes[i] != a.palettes[i - 1];
      EXPECT_EQ(result, palette_changed ? 2 : 1) << "frame " << i;
      ASSERT_TRUE(MarginIsClear(r, buffer));
    }
  }
  QELFlicClose(r);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FlicRoundTrip,
                         ::testing::Values(SizeCase{320, 200, 24, 1}, SizeCase{320, 200, 24, 2},
                                           SizeCase{64, 48, 30, 3}, SizeCase{20, 12, 30, 4},
                                           SizeCase{44, 36, 30, 5}, SizeCase{2, 2, 10, 6},
                                           SizeCase{322, 7, 20, 7}, SizeCase{300, 201, 12, 8}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                  "_" + std::to_string(info.param.seed);
                         });

TEST(FlicGoto, DecodesUpToTheFrameAndStartsAgainWhenBehind) {
  vidzoer_test::TempDir dir;
  const std::string name = dir.File("goto.flc");
  Animation a = flic_test::MakeAnimation(40, 30, 12, 11);
  Write(name, a);
  QELFlic* r = QELFlicOpen(name.c_str());
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height);
  for (uint32_t target : {5u, 9u, 2u, 12u, 40u, 1u}) {
    ASSERT_NE(QELFlicGoto(r, target, buffer.data()), 0);
    uint32_t expect = target > 12 ? 12 : target;
    EXPECT_EQ(r->frames_decoded, expect);
    EXPECT_EQ(Crop(r, buffer), a.frames[expect - 1]) << target;
  }
  ASSERT_NE(QELFlicGoto(r, 0, buffer.data()), 0);
  EXPECT_EQ(r->frames_decoded, 0u);
  QELFlicGetNext(r, buffer.data());
  EXPECT_EQ(Crop(r, buffer), a.frames[0]);
  char name_back[128];
  EXPECT_STREQ(QELFlicGetName(r, name_back), name.c_str());
  EXPECT_STREQ(name_back, name.c_str());
  QELFlicClose(r);
}

TEST(FlicRingFrame, LeadsFromTheLastFrameBackToTheFirstWithItsPalette) {
  vidzoer_test::TempDir dir;
  const std::string name = dir.File("ring.flc");
  Animation a = flic_test::MakeAnimation(64, 32, 6, 21);
  a.palettes.back()[0] ^= 0xFF;  // the last palette differs from the first
  Write(name, a);
  auto file = vidzoer_test::ReadBytes(name);
  auto records = flic_test::WalkFrames(file);
  ASSERT_EQ(records.size(), 7u);  // six frames and the ring frame
  // The header: size, frame count, second-frame offset.
  EXPECT_EQ(file[0] | (file[1] << 8) | (file[2] << 16) | (file[3] << 24), static_cast<int>(file.size()));
  EXPECT_EQ(file[6] | (file[7] << 8), 6);
  EXPECT_EQ(file[84] | (file[85] << 8) | (file[86] << 16), static_cast<int>(records[1].offset));
  EXPECT_EQ(records.back().chunk_types.front(), 4) << "the ring frame restores the first palette";
}

}  // namespace
