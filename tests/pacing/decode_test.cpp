// What VidzoDecodeFrame does with the picture: the 16-bit colour table
// follows palette changes before the frame is painted, nothing is decoded
// without an output buffer, and a file cut short while it plays stops
// decoding but lets the loop run through the remaining frame numbers without
// waiting, while one found cut short at open plays its whole frames.
#include <filesystem>

#include "pacing_fixture.h"
#include "playback/video.h"
#include "tools/lib/file_bytes.h"

namespace pacing_test {
namespace {

using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;

uint16_t Rgb565(const uint8_t* rgb) {
  return static_cast<uint16_t>((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3);
}

TEST_F(PacingTest, SixteenBitOutputTakesEachFramesPalette) {
  // Three frames, each a new picture in a new palette.
  auto frames = RandomAnimation(32, 8, 3, 81);
  for (uint32_t f = 1; f < 3; ++f) {
    for (auto& p : frames[f].pixels) p = static_cast<uint8_t>((p + 5 * f) % 16);
    for (size_t i = 0; i < 48; ++i)
      frames[f].palette[i] = vidzotools::ExpandComponent(static_cast<uint8_t>(i * f));
  }
  VidzoHandle* h = Open(Encode(32, 8, frames, 0), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  const uint32_t pitch = 32 * 2;
  std::vector<uint16_t> out(32 * 8);
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, pitch, 8, out.data(), VIDZO_DEST_565), 1);
  for (uint32_t f = 0; f < 3; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(h->PaletteDirty, 1u) << "the frame brought a palette";
    VidzoDecodeFrame(h);
    EXPECT_EQ(h->PaletteDirty, 0u);
    for (size_t i = 0; i < out.size(); ++i) {
      const uint8_t index = frames[f].pixels[i];
      ASSERT_EQ(out[i], Rgb565(&frames[f].palette[3 * size_t{index}])) << "pixel " << i;
    }
    while (VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET)) {
    }
    VidzoAdvanceFrame(h);
  }
}

TEST_F(PacingTest, WithoutAnOutputBufferNothingIsDecodedOrSkipped) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 4, 82), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  LoopOptions o;
  o.frames = 4;
  o.idle = [] { Tick(); };
  const auto r = PlayLoop(h, o);
  for (const LoopFrame& f : r.frames) EXPECT_TRUE(f.rects.empty());
  EXPECT_EQ(h->FramesPlayed, 4u);
  EXPECT_EQ(h->FramesSkipped, 0u);
  EXPECT_EQ(h->RectState, 0u);
}

TEST_F(PacingTest, FileCutShortRunsThroughTheRemainingFramesWithoutWaiting) {
  const uint32_t n = 40;
  const auto frames = RandomAnimation(160, 96, n, 83);
  const std::string name = Write(Encode(160, 96, frames, 20));
  VidzoHandle* h = VidzoOpen(name.c_str(), 0, 8192);
  ASSERT_NE(h, nullptr);
  open_.push_back(h);
  ASSERT_NE(h->RingBase, nullptr) << "streamed";
  // The file loses its second half while it plays.
  std::filesystem::resize_file(name, std::filesystem::file_size(name) / 2);
  Screen screen;
  Attach(h, screen, 0, 0);
  uint32_t waits_after_error = 0, decoded_after_error = 0;
  LoopOptions o;
  o.frames = n;
  o.shown = [&](const LoopFrame& f) {
    if (h->ReadError && !f.rects.empty()) ++decoded_after_error;
  };
  o.idle = [&] {
    if (h->ReadError) ++waits_after_error;
    Tick();
  };
  const auto r = PlayLoop(h, o);
  ASSERT_FALSE(r.gave_up);
  ASSERT_EQ(h->ReadError, 1u);
  EXPECT_EQ(waits_after_error, 0u);
  EXPECT_EQ(decoded_after_error, 0u);
  EXPECT_LT(h->FramesPlayed, n);
  EXPECT_GT(h->FramesPlayed, 0u);
  EXPECT_EQ(h->CurrentFrame, n) << "the frame numbers still count up";
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.FramesPlayed, h->FramesPlayed);
}

TEST_F(PacingTest, FileCutShortAtOpenPlaysItsWholeFramesAndLoops) {
  const uint32_t n = 12;
  const std::string name = Write(Encode(64, 48, RandomAnimation(64, 48, n, 91), 20));
  // The pictures of the whole file, as a reference.
  VidzoHandle* whole = VidzoOpen(name.c_str(), 0, 8192);
  ASSERT_NE(whole, nullptr);
  open_.push_back(whole);
  Screen whole_screen;
  Attach(whole, whole_screen, 0, 0);
  std::vector<std::vector<uint8_t>> pictures;
  LoopOptions o;
  o.frames = n;
  o.shown = [&](const LoopFrame&) { pictures.push_back(Picture(whole, whole_screen)); };
  o.idle = [] { Tick(); };
  ASSERT_FALSE(PlayLoop(whole, o).gave_up);
  ASSERT_EQ(pictures.size(), n);

  // A copy that ends inside frame 7.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vidzotools::ReadFileBytes(name, bytes));
  size_t cut = whole->FirstFrameOffset;
  for (uint32_t i = 0; i < 7; ++i) cut += whole->FrameSizes[i];
  cut += whole->FrameSizes[7] / 2;
  bytes.resize(cut);
  const std::string cut_name = dir_.File("cut-copy.vdz");
  ASSERT_TRUE(vidzotools::WriteFileBytes(cut_name, bytes));
  VidzoHandle* h = VidzoOpen(cut_name.c_str(), 0, 8192);
  ASSERT_NE(h, nullptr);
  open_.push_back(h);
  EXPECT_EQ(h->FrameCount, 7u);
  EXPECT_EQ(h->ReadError, VDZ_READ_CUT);
  Screen screen;
  Attach(h, screen, 0, 0);
  // Three passes over the whole frames, every one decoded and paced.
  uint32_t shown = 0, waits = 0;
  o.frames = 21;
  o.shown = [&](const LoopFrame& f) {
    EXPECT_EQ(f.index, shown % 7);
    EXPECT_EQ(Picture(h, screen), pictures[shown % 7]) << "frame " << shown;
    ++shown;
  };
  o.idle = [&] {
    ++waits;
    Tick();
  };
  ASSERT_FALSE(PlayLoop(h, o).gave_up);
  EXPECT_EQ(shown, 21u);
  EXPECT_EQ(h->FramesPlayed, 21u);
  EXPECT_GT(waits, 0u) << "the frames keep their pace";
  EXPECT_EQ(h->ReadError, VDZ_READ_CUT);
}

}  // namespace
}  // namespace pacing_test
