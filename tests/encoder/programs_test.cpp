// vdzenc and vdzinfo run as a user runs them: PPM frames in, a .vdz file, and
// the frames decoded back out, compared exactly; and the errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "encoder/animation_maker.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"

namespace {

namespace fs = std::filesystem;
using namespace vidzotools;

using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;

RgbPicture ToRgb(const AnimationFrame& frame, uint32_t w, uint32_t h) {
  RgbPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (size_t i = 0; i < frame.pixels.size(); ++i)
    for (int k = 0; k < 3; ++k) p.rgb[3 * i + k] = frame.palette[3 * frame.pixels[i] + k];
  return p;
}

std::string FrameName(size_t i) {
  char name[32];
  std::snprintf(name, sizeof name, "frame%04zu.ppm", i);
  return name;
}

void WriteFrames(const fs::path& dir, const std::vector<RgbPicture>& pictures) {
  fs::create_directories(dir);
  std::string error;
  for (size_t i = 0; i < pictures.size(); ++i)
    ASSERT_TRUE(WritePpmFile((dir / FrameName(i)).string(), pictures[i], error)) << error;
}

// Encodes `pictures`, decodes them with vdzinfo --frames and compares each
// with `expected` (the pictures themselves unless given).
void CheckProgramsRoundTrip(const std::vector<RgbPicture>& pictures, const std::string& options,
                            std::vector<RgbPicture> expected = {}) {
  if (expected.empty()) expected = pictures;
  vidzoer_test::TempDir dir;
  WriteFrames(dir.path() / "in", pictures);
  const std::string vdz = dir.File("out.vdz");
  RunResult enc = RunProgram(dir, "vdzenc", options + " " + Quote(dir.File("in")) + " " + Quote(vdz));
  ASSERT_EQ(enc.exit_code, 0) << enc.err;
  RunResult info = RunProgram(dir, "vdzinfo", Quote(vdz) + " --frames " + Quote(dir.File("out")));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("FrameCount: " + std::to_string(pictures.size()) + "\n"), std::string::npos)
      << info.out;
  for (size_t i = 0; i < expected.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%05zu.ppm", i);
    RgbPicture got;
    std::string error;
    ASSERT_TRUE(ReadPpmFile(dir.File("out") + "/" + name, got, error)) << error;
    EXPECT_EQ(got.width, expected[i].width);
    EXPECT_EQ(got.height, expected[i].height);
    EXPECT_TRUE(got.rgb == expected[i].rgb) << "frame " << i;
  }
  EXPECT_FALSE(fs::exists(dir.File("out") + "/" + std::to_string(expected.size()) + ".ppm"));
  size_t written = 0;
  for (const auto& e : fs::directory_iterator(dir.File("out"))) written += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(written, expected.size());
}

std::vector<RgbPicture> RandomPictures(const encoder_test::AnimationSpec& recipe) {
  std::vector<RgbPicture> pictures;
  for (const AnimationFrame& f : encoder_test::MakeAnimation(recipe))
    pictures.push_back(ToRgb(f, recipe.width, recipe.height));
  return pictures;
}

TEST(Programs, RoundTripsOfRandomAnimations) {
  CheckProgramsRoundTrip(RandomPictures({4, 4, 1, 3, 0, 0, false, 21}), "");
  CheckProgramsRoundTrip(RandomPictures({4, 4, 5, 2, 0.5, 1, true, 22}), "--ring");
  CheckProgramsRoundTrip(RandomPictures({64, 48, 9, 200, 0.05, 2, true, 23}), "--frame-rate 40");
  CheckProgramsRoundTrip(RandomPictures({48, 32, 4, 256, 1.0, 0, true, 24}), "--ring");
}

TEST(Programs, RoundTripsOfLargerPictures) {
  CheckProgramsRoundTrip(RandomPictures({320, 200, 4, 1, 0, 3, false, 25}), "");  // solid areas, long runs
  CheckProgramsRoundTrip(RandomPictures({320, 200, 5, 32, 0.01, 5, true, 26}), "--ring --frame-rate=-3333");
  CheckProgramsRoundTrip(RandomPictures({640, 480, 2, 128, 0.2, 3, false, 27}), "");
}

// Components are kept to their top 6 bits; colours that then agree share one
// palette entry, so 300 input colours can make a valid frame.
TEST(Programs, ColoursAreStoredAsTheirTop6Bits) {
  RgbPicture in{20, 20, std::vector<uint8_t>(20 * 20 * 3)};
  RgbPicture want = in;
  for (size_t i = 0; i < 400; ++i) {
    const uint8_t v = static_cast<uint8_t>(i < 300 ? i : 7);
    in.rgb[3 * i] = v;
    in.rgb[3 * i + 1] = static_cast<uint8_t>(255 - v);
    in.rgb[3 * i + 2] = 128;
    for (int k = 0; k < 3; ++k) want.rgb[3 * i + k] = ExpandComponent(in.rgb[3 * i + k] >> 2);
  }
  CheckProgramsRoundTrip({in}, "", {want});
}

TEST(Programs, InfoDescribesTheFile) {
  vidzoer_test::TempDir dir;
  WriteFrames(dir.path() / "in", RandomPictures({16, 8, 3, 4, 0.3, 0, true, 28}));
  const std::string vdz = dir.File("a.vdz");
  ASSERT_EQ(RunProgram(dir, "vdzenc", "--ring --frame-rate -2500 " + Quote(dir.File("in")) + " " + Quote(vdz))
                .exit_code,
            0);
  RunResult info = RunProgram(dir, "vdzinfo", Quote(vdz));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  for (const char* text :
       {"Width: 16\n", "Height: 8\n", "FrameCount: 3\n", "FrameRate: -2500 (40.000 frames per second)",
        "ring-frame", "Sound tracks: none", "Largest frame: ", "Peak one-second data rate: ", "ring "})
    EXPECT_NE(info.out.find(text), std::string::npos) << text << "\n" << info.out;
}

// A palette cycling over a fixed picture: every frame after the first is a
// palette change over unchanged indices, all of the same small size.
TEST(Programs, ACyclingPaletteTravelsAsPaletteChanges) {
  constexpr uint32_t kW = 32, kH = 24;
  std::vector<RgbPicture> pictures;
  for (int f = 0; f < 8; ++f) {
    AnimationFrame frame;
    for (uint32_t i = 0; i < kW * kH; ++i)
      frame.pixels.push_back(static_cast<uint8_t>((i % kW + i / kW) % 48));
    for (int c = 0; c < 48; ++c) {
      const int k = (c + 5 * f) % 48;
      frame.palette[3 * c] = ExpandComponent(static_cast<uint8_t>(k));
      frame.palette[3 * c + 1] = ExpandComponent(static_cast<uint8_t>(63 - k));
      frame.palette[3 * c + 2] = ExpandComponent(static_cast<uint8_t>(k / 2));
    }
    pictures.push_back(ToRgb(frame, kW, kH));
  }
  CheckProgramsRoundTrip(pictures, "");

  vidzoer_test::TempDir dir;
  WriteFrames(dir.path() / "in", pictures);
  const std::string vdz = dir.File("a.vdz");
  ASSERT_EQ(RunProgram(dir, "vdzenc", Quote(dir.File("in")) + " " + Quote(vdz)).exit_code, 0);
  RunResult info = RunProgram(dir, "vdzinfo", Quote(vdz));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  // The frame table: frame, size, offset, palette, sound tracks.
  std::istringstream lines(info.out);
  std::string line;
  std::vector<long> sizes;
  while (std::getline(lines, line)) {
    std::istringstream row(line);
    std::string frame, palette;
    long size = 0, offset = 0;
    if (!(row >> frame >> size >> offset >> palette) || frame != std::to_string(sizes.size())) continue;
    EXPECT_EQ(palette, "yes") << line;
    sizes.push_back(size);
  }
  ASSERT_EQ(sizes.size(), pictures.size()) << info.out;
  for (size_t f = 2; f < sizes.size(); ++f) EXPECT_EQ(sizes[f], sizes[1]) << "frame " << f;
  EXPECT_LT(sizes[1] * 4, sizes[0]);
}

// An error: one line on standard error naming what is wrong, the last one
// (progress lines of the status window may come before it), a nonzero exit,
// and the output left as it was (here: a file that already existed).
void ExpectEncodeError(const vidzoer_test::TempDir& dir, const std::string& args, const std::string& text) {
  const std::string vdz = dir.File("out.vdz");
  ASSERT_TRUE(WriteFileBytes(vdz, {'o', 'l', 'd'}));
  RunResult r = RunProgram(dir, "vdzenc", args + " " + Quote(vdz));
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
  std::istringstream lines(r.err);
  std::vector<std::string> errors;
  std::string line, last;
  while (std::getline(lines, line)) {
    if (line.rfind("vdzenc:", 0) == 0) errors.push_back(line);
    if (!line.empty()) last = line;
  }
  ASSERT_EQ(errors.size(), 1u) << r.err;
  EXPECT_EQ(errors[0], last) << r.err;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(vdz, bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'o', 'l', 'd'}));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

TEST(Programs, EncoderErrors) {
  vidzoer_test::TempDir dir;
  auto pictures = RandomPictures({8, 8, 3, 4, 0.3, 0, false, 29});
  // More than 256 colours in the second frame.
  RgbPicture many{20, 20, std::vector<uint8_t>(20 * 20 * 3)};
  for (size_t i = 0; i < 400; ++i) {
    many.rgb[3 * i] = static_cast<uint8_t>(4 * (i % 64));
    many.rgb[3 * i + 1] = static_cast<uint8_t>(4 * (i / 64));
  }
  WriteFrames(dir.path() / "many", {RandomPictures({20, 20, 1, 4, 0, 0, false, 30})[0], many});
  ExpectEncodeError(dir, Quote(dir.File("many")), "frame 1 (");
  ExpectEncodeError(dir, Quote(dir.File("many")), FrameName(1));

  WriteFrames(dir.path() / "odd", {RgbPicture{6, 4, std::vector<uint8_t>(6 * 4 * 3)}});
  ExpectEncodeError(dir, Quote(dir.File("odd")), "multiple of 4");
  WriteFrames(dir.path() / "mixed", {pictures[0], RgbPicture{12, 8, std::vector<uint8_t>(12 * 8 * 3)}});
  ExpectEncodeError(dir, Quote(dir.File("mixed")), "differs from the first frame");

  ExpectEncodeError(dir, Quote(dir.File("missing")), "cannot open the frame folder");
  fs::create_directories(dir.path() / "empty");
  ExpectEncodeError(dir, Quote(dir.File("empty")), "no .ppm pictures");

  WriteFrames(dir.path() / "broken", pictures);
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "broken" / "frame0001a.ppm");
  ExpectEncodeError(dir, Quote(dir.File("broken")), "cannot read");
  WriteFrames(dir.path() / "short", pictures);
  std::vector<uint8_t> cut = FormatPpm(pictures[1]);
  cut.resize(cut.size() - 5);
  ASSERT_TRUE(WriteFileBytes(dir.File("short") + "/" + FrameName(1), cut));
  ExpectEncodeError(dir, Quote(dir.File("short")), "cut short");

  ExpectEncodeError(dir, "--frame-rate fast " + Quote(dir.File("short")), "--frame-rate");
  ExpectEncodeError(dir, "--bogus " + Quote(dir.File("short")), "unknown option");
  ExpectEncodeError(dir, "", "expected a frame folder");
}

TEST(Programs, HelpAndInfoErrors) {
  vidzoer_test::TempDir dir;
  RunResult help = RunProgram(dir, "vdzenc", "--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: vdzenc"), std::string::npos);
  EXPECT_EQ(RunProgram(dir, "vdzinfo", "--help").exit_code, 0);

  RunResult missing = RunProgram(dir, "vdzinfo", Quote(dir.File("none.vdz")));
  EXPECT_NE(missing.exit_code, 0);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;

  ASSERT_TRUE(WriteFileBytes(dir.File("text.vdz"), std::vector<uint8_t>(200, 'x')));
  RunResult text = RunProgram(dir, "vdzinfo", Quote(dir.File("text.vdz")));
  EXPECT_NE(text.exit_code, 0);
  EXPECT_NE(text.err.find("not a Vidzoer file"), std::string::npos) << text.err;

  // A valid file cut short in its frame data, one byte into frame 2: frames
  // 0 and 1 are described and decoded.
  WriteFrames(dir.path() / "in", RandomPictures({16, 16, 3, 50, 0.5, 0, false, 31}));
  const std::string vdz = dir.File("a.vdz");
  ASSERT_EQ(RunProgram(dir, "vdzenc", Quote(dir.File("in")) + " " + Quote(vdz)).exit_code, 0);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(vdz, bytes));
  auto le32 = [&bytes](size_t at) {
    return static_cast<size_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  };
  bytes.resize(104 + 5 * 3 + le32(52) + le32(104) + le32(108) + 1);
  ASSERT_TRUE(WriteFileBytes(vdz, bytes));
  RunResult cut = RunProgram(dir, "vdzinfo", Quote(vdz) + " --frames " + Quote(dir.File("frames")));
  EXPECT_EQ(cut.exit_code, 0) << cut.err;
  EXPECT_NE(cut.out.find("Cut short: the frame data ends inside frame record 2; 2 of 3 frames are whole\n"),
            std::string::npos)
      << cut.out;
  EXPECT_TRUE(std::filesystem::exists(dir.File("frames/00001.ppm")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("frames/00002.ppm")));
  // Help names the picture limits.
  const RunResult info_help = RunProgram(dir, "vdzinfo", "--help");
  EXPECT_NE(info_help.out.find("Pictures larger than 16384 pixels on a side or 33554432 pixels in all"),
            std::string::npos)
      << info_help.out;
}

}  // namespace
