// The flics we write decode in ffmpeg, an independent reader, to the same
// pixels in the same colours, frame for frame; the ring frame after the last
// one shows the first frame again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flic/flic_files.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

struct Case {
  int width, height, frames;
  uint32_t seed;
};

// Widths are multiples of 4, as the flics OGFile makes: ffmpeg reads the rows
// of a raw chunk as padded to 4 bytes, which flics of other widths do not do.
class FlicInFfmpeg : public ::testing::TestWithParam<Case> {};

TEST_P(FlicInFfmpeg, DecodesToTheSamePixels) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("ffmpeg")) << "ffmpeg is a test dependency (scripts/install-deps.sh)";
  const Case c = GetParam();
  vidzoer_test::TempDir dir;
  auto a = flic_test::MakeAnimation(c.width, c.height, c.frames, c.seed);
  const std::string flc = dir.File("a.flc"), rgb = dir.File("a.rgb");
  QELOFlic* w = QELOFlicCreate(flc.c_str(), c.width, c.height, 40);
  ASSERT_NE(w, nullptr);
  for (int i = 0; i < c.frames; ++i)
    ASSERT_EQ(QELOFlicPutNext(w, a.frames[i].data(), a.palettes[i].data()), 1);
  QELOFlicClose(w);
  ASSERT_TRUE(vidzoer_test::RunShell("ffmpeg -v error -nostdin -y -i " + vidzoer_test::Quote(flc) +
                                         " -f rawvideo -pix_fmt rgb24 " + vidzoer_test::Quote(rgb),
                                     dir.File("err.txt")));
  auto out = vidzoer_test::ReadBytes(rgb);
  const size_t frame_bytes = static_cast<size_t>(c.width) * c.height * 3;
  ASSERT_GE(out.size(), frame_bytes * c.frames);
  for (int i = 0; i < c.frames; ++i) {
    std::vector<uint8_t> got(out.begin() + i * frame_bytes, out.begin() + (i + 1) * frame_bytes);
    ASSERT_EQ(got, flic_test::ToRgb(a.frames[i], a.palettes[i])) << "frame " << i;
  }
  if (out.size() >= frame_bytes * (c.frames + 1)) {
    std::vector<uint8_t> ring(out.begin() + c.frames * frame_bytes,
                              out.begin() + (c.frames + 1) * frame_bytes);
    EXPECT_EQ(ring, flic_test::ToRgb(a.frames[0], a.palettes[0])) << "the ring frame";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FlicInFfmpeg,
                         ::testing::Values(Case{320, 200, 16, 31}, Case{320, 200, 12, 32},
                                           Case{64, 48, 20, 33}, Case{100, 20, 20, 34}, Case{324, 9, 12, 35}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                  "_" + std::to_string(info.param.seed);
                         });

}  // namespace
