// Video data made by the prefix-code encoder, decoded into every output form
// and held against the picture model's reference rendering (guard bytes
// around the picture included) and a brute-force change map.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "playback/bit_reader.h"
#include "playback/video_internal.h"
#include "video_model.h"

namespace {

using video_test::Destination;
using video_test::Encoded;
using video_test::Form;
using video_test::FrameScript;
using video_test::Picture;
using RunOf = video_test::Run;
using video_test::Trees;

std::array<uint8_t, 768> RandomPalette(std::mt19937& rng) {
  std::array<uint8_t, 768> palette{};
  for (auto& c : palette) c = static_cast<uint8_t>(rng());
  return palette;
}

// Map byte g is 1 exactly when one of blocks 16g..16g+15 was painted; the
// byte after the last group is 0.
void ExpectMapMatches(VidzoOutputDesc* desc, const std::vector<bool>& painted) {
  const uint8_t* map = VidzoChangeMap(desc);
  const size_t groups = (painted.size() + 15) / 16;
  for (size_t g = 0; g < groups; ++g) {
    bool any = false;
    for (size_t b = 16 * g; b < std::min(painted.size(), 16 * g + 16); ++b) any = any || painted[b];
    ASSERT_EQ(map[g], any ? 1 : 0) << "group " << g;
  }
  EXPECT_EQ(map[groups], 0);
}

// Several random frames painted on top of each other into one form.
void RoundTrip(const Form& form, uint32_t width, uint32_t height, uint32_t seed) {
  std::mt19937 rng(seed);
  Picture picture(width, height);
  std::vector<FrameScript> frames;
  for (int i = 0; i < 4; ++i) frames.push_back(video_test::RandomFrame(rng, picture.Blocks()));
  const Encoded e = video_test::EncodeFrames(frames, picture.Blocks());
  Trees trees(e);
  ASSERT_NE(trees.get(), nullptr);
  const auto palette = RandomPalette(rng);
  const auto colours = video_test::Colour16Of(palette.data(), form.mode);
  Destination dest(picture, form, palette.data());
  ASSERT_NE(dest.desc(), nullptr);
  // The first frame starts from a picture of zeros: clear the area the model
  // starts from.
  const std::vector<uint8_t> start = dest.Expected(picture, colours.data());
  std::copy(start.begin(), start.end(), dest.bytes().begin());
  for (size_t f = 0; f < frames.size(); ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    std::vector<bool> painted;
    video_test::ApplyFrame(frames[f], picture, &painted);
    dest.Decode(e.frames[f], trees.get());
    ASSERT_TRUE(dest.bytes() == dest.Expected(picture, colours.data()));
    ExpectMapMatches(dest.desc(), painted);
  }
}

struct FormCase {
  uint32_t mode;
  int scaling;  // 0 none, 1 doubled, 2 interlaced
  bool bottom_up;
  bool placed;
};

std::string Describe(const FormCase& c) {
  return "mode " + std::to_string(c.mode) + " scaling " + std::to_string(c.scaling) + " bottom-up " +
         std::to_string(c.bottom_up) + " placed " + std::to_string(c.placed);
}

std::vector<FormCase> AllForms() {
  std::vector<FormCase> out;
  for (uint32_t mode : {0u, 0x80u, 0xC0u})
    for (int scaling = 0; scaling < 3; ++scaling)
      for (bool bottom_up : {false, true})
        for (bool placed : {false, true}) out.push_back({mode, scaling, bottom_up, placed});
  return out;
}

Form MakeForm(const FormCase& c) {
  Form form;
  form.mode = c.mode;
  form.doubled = c.scaling == 1;
  form.interlaced = c.scaling == 2;
  form.bottom_up = c.bottom_up;
  if (c.placed) {
    form.left = 5;
    form.top = 3;
  }
  return form;
}

class PainterSets : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const int p = GetParam();
    vidzo::video::ForcePainters(p & 1 ? vidzo::video::PainterChoice::kVector
                                      : vidzo::video::PainterChoice::kPlain);
    vidzo::SetWideBitReader((p & 2) != 0);
  }
  void TearDown() override {
    vidzo::video::ForcePainters(vidzo::video::PainterChoice::kFollowMmx);
    VidzoSetMMX(1);
  }
};

TEST_P(PainterSets, EveryFormMatchesTheReference) {
  uint32_t seed = 1;
  for (const FormCase& c : AllForms()) {
    SCOPED_TRACE(Describe(c));
    // 12 blocks a row: groups of 16 blocks cross the right edge; 5 a row:
    // groups span rows; 16 a row: groups end exactly at the edge.
    RoundTrip(MakeForm(c), 48, 24, seed++);
    RoundTrip(MakeForm(c), 20, 16, seed++);
    RoundTrip(MakeForm(c), 64, 12, seed++);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Video, PainterSets, testing::Values(0, 1, 2, 3), [](const auto& info) {
  return std::string(info.param & 1 ? "Vector" : "Plain") + (info.param & 2 ? "Wide" : "Narrow");
});

TEST(VideoDecode, VectorPaintersWriteWhatThePlainOnesWrite) {
  std::mt19937 rng(99);
  Picture picture(320, 200);
  std::vector<FrameScript> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(video_test::RandomFrame(rng, picture.Blocks()));
  const Encoded e = video_test::EncodeFrames(frames, picture.Blocks());
  const auto palette = RandomPalette(rng);
  for (const FormCase& c : AllForms()) {
    SCOPED_TRACE(Describe(c));
    std::vector<uint8_t> out[2], maps[2];
    for (int vector = 0; vector < 2; ++vector) {
      vidzo::video::ForcePainters(vector ? vidzo::video::PainterChoice::kVector
                                         : vidzo::video::PainterChoice::kPlain);
      Trees trees(e);
      Destination dest(picture, MakeForm(c), palette.data());
      for (const auto& frame : e.frames) {
        dest.Decode(frame, trees.get());
        const uint8_t* map = VidzoChangeMap(dest.desc());
        maps[vector].insert(maps[vector].end(), map, map + dest.desc()->MapBytes);
      }
      out[vector] = dest.bytes();
    }
    vidzo::video::ForcePainters(vidzo::video::PainterChoice::kFollowMmx);
    ASSERT_TRUE(out[0] == out[1]);
    ASSERT_TRUE(maps[0] == maps[1]);
  }
}

// A picture of 64 x 40 blocks (2560) takes every run length whole.
TEST(VideoDecode, EveryRunLength) {
  const uint32_t lengths[64] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,  15,   16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,  29,  30,  31,   32,
                                33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44,  45,  46,  47,   48,
                                49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 128, 256, 512, 1024, 2048};
  Picture picture(256, 160);
  for (unsigned type : {0u, 1u, 3u}) {
    for (unsigned r = 0; r < 64; ++r) {
      SCOPED_TRACE("type " + std::to_string(type) + " index " + std::to_string(r));
      FrameScript frame;
      RunOf painted;
      painted.type = type;
      painted.index = r;
      painted.colour = 9;
      // Two-colour blocks of colour 9 only; full blocks of 9 everywhere.
      for (uint32_t i = 0; i < lengths[r]; ++i)
        painted.blocks.push_back(type == 0 ? std::array<uint16_t, 8>{0x0909, 0x1234}
                                           : std::array<uint16_t, 8>{0x0909, 0x0909, 0x0909, 0x0909, 0x0909,
                                                                     0x0909, 0x0909, 0x0909});
      frame.runs.push_back(painted);
      frame.runs.push_back(RunOf{2, 63, 0, {}});
      frame.runs.push_back(RunOf{2, 63, 0, {}});
      const Encoded e = video_test::EncodeFrames({frame}, picture.Blocks());
      Trees trees(e);
      Destination dest(picture, Form{});
      std::fill(dest.bytes().begin(), dest.bytes().end(), 0);
      dest.Decode(e.frames[0], trees.get());
      EXPECT_EQ(std::count(dest.bytes().begin(), dest.bytes().end(), 9), 16 * static_cast<long>(lengths[r]));
      // Blocks in raster order: the last painted block ends the painted area.
      const uint32_t last = lengths[r] - 1;
      const size_t at = size_t{last / 64 * 4 + 3} * static_cast<uint32_t>(dest.pitch()) + (last % 64) * 4 + 3;
      EXPECT_EQ(dest.bytes()[at], 9);
      const uint8_t* map = VidzoChangeMap(dest.desc());
      EXPECT_EQ(std::count(map, map + 160, 1), static_cast<long>((lengths[r] + 15) / 16));
    }
  }
}

TEST(VideoDecode, RunPastTheLastBlockIsCutAndTheRestIgnored) {
  Picture picture(16, 8);  // 8 blocks
  FrameScript frame;
  frame.runs.push_back(RunOf{3, 63, 77, {}});
  frame.tail.assign(64, 0xFF);  // whatever follows is never read as runs
  const Encoded e = video_test::EncodeFrames({frame}, picture.Blocks());
  Trees trees(e);
  for (const Form& form : {Form{}, Form{0xC0, true, false, true, 2, 1}}) {
    Destination dest(picture, form);
    dest.Decode(e.frames[0], trees.get());
    video_test::ApplyFrame(frame, picture);
    const auto colours = video_test::Colour16Of(dest.handle().Palette, form.mode);
    EXPECT_TRUE(dest.bytes() == dest.Expected(picture, colours.data()));
    EXPECT_EQ(VidzoChangeMap(dest.desc())[0], 1);
    EXPECT_EQ(VidzoChangeMap(dest.desc())[1], 0);
  }
}

TEST(VideoDecode, ExhaustedStreamsReadZeroBitsAndStillEnd) {
  std::mt19937 rng(4);
  Picture picture(64, 64);
  const Encoded e =
      video_test::EncodeFrames({video_test::RandomFrame(rng, picture.Blocks())}, picture.Blocks());
  Trees trees(e);
  Destination a(picture, Form{}), b(picture, Form{}), c(picture, Form{});
  a.Decode({}, trees.get());
  VidzoDecodeVideo(nullptr, 1000, trees.get(), c.desc());
  b.Decode(std::vector<uint8_t>(8192, 0), trees.get());
  EXPECT_TRUE(a.bytes() == b.bytes());
  EXPECT_TRUE(c.bytes() == b.bytes());

  // Absent trees produce 0 for everything: two-colour runs of one block in
  // colour 0 over the whole picture.
  const uint32_t absent[4] = {12, 12, 12, 12};
  vidzo::TreesAreaBuffer none(absent);
  Destination d(picture, Form{});
  d.Decode(std::vector<uint8_t>(3, 0xFF), none.Get());
  Picture zeros(64, 64);
  EXPECT_TRUE(d.bytes() == d.Expected(zeros, nullptr));
  const uint8_t* map = VidzoChangeMap(d.desc());
  EXPECT_EQ(std::count(map, map + 16, 1), 16);
  EXPECT_EQ(map[16], 0);
}

TEST(VideoDecode, UnchangedFirstFrameLeavesTheBufferAndAnEmptyMap) {
  Picture picture(40, 20);
  FrameScript frame;
  frame.runs.push_back(RunOf{2, 30, 0, {}});
  frame.runs.push_back(RunOf{2, 63, 0, {}});
  const Encoded e = video_test::EncodeFrames({frame}, picture.Blocks());
  Trees trees(e);
  Destination dest(picture, Form{});
  for (size_t i = 0; i < dest.bytes().size(); ++i) dest.bytes()[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> before = dest.bytes();
  dest.Decode(e.frames[0], trees.get());
  EXPECT_TRUE(dest.bytes() == before);
  const uint8_t* map = VidzoChangeMap(dest.desc());
  EXPECT_EQ(std::count(map, map + dest.desc()->MapBytes, 0), static_cast<long>(dest.desc()->MapBytes));
  VidzoChangedRect rect;
  EXPECT_EQ(NextChangedRect(dest.desc(), &rect), 0);
}

// One solid frame, to see which buffer rows the picture lands on.
std::vector<uint32_t> WrittenRows(const Picture& picture, const Form& form) {
  FrameScript frame;
  for (int i = 0; i < 2; ++i) frame.runs.push_back(RunOf{3, 63, 1, {}});
  const Encoded e = video_test::EncodeFrames({frame}, picture.Blocks());
  Trees trees(e);
  Destination dest(picture, form);
  dest.Decode(e.frames[0], trees.get());
  std::vector<uint32_t> rows;
  for (uint32_t row = 0; row < dest.rows(); ++row)
    if (dest.bytes()[size_t{row} * static_cast<uint32_t>(dest.pitch()) + form.left] == 1) rows.push_back(row);
  return rows;
}

TEST(VideoDecode, DoubledInterlacedAndBottomUpRows) {
  const Picture picture(320, 100);
  Form doubled;
  doubled.doubled = true;
  std::vector<uint32_t> rows = WrittenRows(picture, doubled);
  ASSERT_EQ(rows.size(), 200u);
  EXPECT_EQ(rows.front(), 0u);
  EXPECT_EQ(rows.back(), 199u);

  Form interlaced;
  interlaced.interlaced = true;
  rows = WrittenRows(picture, interlaced);
  ASSERT_EQ(rows.size(), 100u);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(rows[i], 2 * i);

  // The buffer has 3 spare rows beyond the picture (and DestY of 6): the
  // first picture row lands on row height - DestY - 1.
  Form bottom_up;
  bottom_up.bottom_up = true;
  bottom_up.top = 6;
  bottom_up.left = 8;
  rows = WrittenRows(Picture(16, 8), bottom_up);
  const uint32_t height = 6 + 8 + 3;
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.back(), height - 6 - 1);
  EXPECT_EQ(rows.front(), height - 6 - 8);
}

TEST(VideoDecode, MmxChoiceIsSharedWithTheBitReader) {
  EXPECT_EQ(VidzoSetMMX(0), 0u);
  EXPECT_FALSE(vidzo::WideBitReader());
  EXPECT_EQ(VidzoSetMMX(7), 0u);  // other values keep the choice
  EXPECT_EQ(VidzoSetMMX(1), vidzo::ProcessorHasMmx() ? 1u : 0u);
  EXPECT_EQ(vidzo::WideBitReader(), vidzo::ProcessorHasMmx());
  EXPECT_EQ(VidzoSetMMX(2), vidzo::ProcessorHasMmx() ? 1u : 0u);
}

TEST(VideoDecode, NullArgumentsAndForeignDescriptorsDoNothing) {
  Picture picture(16, 16);
  const Encoded e = video_test::EncodeFrames({FrameScript{{RunOf{3, 63, 5, {}}}, {}}}, picture.Blocks());
  Trees trees(e);
  Destination dest(picture, Form{});
  const std::vector<uint8_t> before = dest.bytes();
  VidzoDecodeVideo(e.frames[0].data(), static_cast<uint32_t>(e.frames[0].size()), nullptr, dest.desc());
  VidzoDecodeVideo(e.frames[0].data(), static_cast<uint32_t>(e.frames[0].size()), trees.get(), nullptr);
  dest.desc()->Kind = 2;
  dest.Decode(e.frames[0], trees.get());
  dest.desc()->Kind = 1;
  dest.desc()->ColourMode = 0x40;
  dest.Decode(e.frames[0], trees.get());
  dest.desc()->ColourMode = 0;
  dest.desc()->MapBytes = 1;  // a map too small for the picture
  dest.Decode(e.frames[0], trees.get());
  EXPECT_TRUE(dest.bytes() == before);
}

}  // namespace
