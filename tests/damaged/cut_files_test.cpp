// Files cut short, as an interrupted copy leaves them, run through the
// programs as a user runs them: the player plays the frames held whole and
// loops them; vdzinfo says how many are whole and decodes their pictures and
// sound; cut inside the header, tables or trees they are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "damaged_support.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tools/lib/file_bytes.h"

namespace {

namespace fs = std::filesystem;
using damaged_test::Le32;
using damaged_test::RecordStart;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;

class CutFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    vidzoer_test::UseHeadlessEnvironment(dir_);
    unsetenv("VIDZOER_DEBUG");
    unsetenv("VIDZOER_DEBUG_LOG");
    // One second of the sample animation at 20 frames a second with 8000 Hz
    // sound: 20 frames, each carrying sound.
    const RunResult r = RunProgram(dir_, "vdzsample",
                                   "--width 64 --height 48 --seconds 1 --frame-rate 50 --sound-rate 8000 " +
                                       Quote(dir_.File("sample")) + " --vdz " + Quote(Whole()));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_TRUE(vidzotools::ReadFileBytes(Whole(), bytes_));
    ASSERT_EQ(Le32(bytes_, 12), 20u);
  }
  void TearDown() override {
    unsetenv("VIDZOER_DEBUG");
    unsetenv("VIDZOER_DEBUG_LOG");
  }
  std::string Whole() const { return dir_.File("whole.vdz"); }
  // The sample's first `keep` bytes as the file cut.vdz.
  std::string Cut(size_t keep) {
    const std::string name = dir_.File("cut.vdz");
    EXPECT_LT(keep, bytes_.size());
    EXPECT_TRUE(
        vidzotools::WriteFileBytes(name, std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + keep)));
    return name;
  }
  static long Figure(const std::string& text, const std::string& label) {
    const size_t at = text.find(label + ": ");
    if (at == std::string::npos) return -1;
    return std::strtol(text.c_str() + at + label.size() + 2, nullptr, 10);
  }
  static std::string ReadText(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  vidzoer_test::TempDir dir_;
  std::vector<uint8_t> bytes_;
};

TEST_F(CutFiles, ThePlayerPlaysAndLoopsTheWholeFrames) {
  const struct {
    const char* what;
    uint32_t record;
    size_t into;  // bytes of the record kept; SIZE_MAX: all but the last byte
    long whole;
  } cases[] = {
      {"inside frame 6", 6, 57, 6},
      {"at the boundary of frame 6", 6, 0, 6},
      {"inside the last frame", 19, 3, 19},
      {"one byte short", 19, SIZE_MAX, 19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t keep = c.into == SIZE_MAX ? bytes_.size() - 1 : RecordStart(bytes_, c.record) + c.into;
    const std::string cut = Cut(keep);
    const std::string log = dir_.File("debug.log");
    setenv("VIDZOER_DEBUG", "1", 1);
    setenv("VIDZOER_DEBUG_LOG", log.c_str(), 1);
    const RunResult r = RunProgram(dir_, "vidzoplw", Quote(cut) + " /L2 /S");
    unsetenv("VIDZOER_DEBUG");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Figure(r.err, "Total frames played"), 2 * c.whole) << r.err;
    EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;
    EXPECT_NE(ReadText(log).find("VidzoOpen - the frame data ends at byte " + std::to_string(keep) +
                                 ", inside frame " + std::to_string(c.whole) + ": " +
                                 std::to_string(c.whole) + " of 20 frame records are whole"),
              std::string::npos)
        << ReadText(log);
  }
}

TEST_F(CutFiles, CutBeforeTheFrameDataIsRefusedWithTheUsualMessage) {
  const size_t first = RecordStart(bytes_, 0);
  const uint32_t trees = Le32(bytes_, 52);
  ASSERT_GT(trees, 8u);
  const struct {
    const char* what;
    size_t keep;
    const char* vdzinfo_says;
  } cases[] = {
      {"in the header", 50, "is cut short in its header"},
      {"in the size table", 104 + 4 * 7 + 2, "is cut short: it has"},
      {"in the type table", 104 + 4 * 20 + 5, "is cut short: it has"},
      {"in the trees", first - trees / 2, "is cut short: it has"},
      {"in frame 0", first + 10, "is malformed and cannot be opened"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string cut = Cut(c.keep);
    RunResult r = RunProgram(dir_, "vidzoplw", Quote(cut));
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("VidzoPlay:  Error opening file: " + cut + "."), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Picture too large"), std::string::npos) << r.err;
    r = RunProgram(dir_, "vdzinfo", Quote(cut) + " --frames " + Quote(dir_.File("frames")));
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find(c.vdzinfo_says), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("frames/00000.ppm")));
  }
}

TEST_F(CutFiles, VdzinfoCountsAndDecodesTheWholeFrames) {
  RunResult r = RunProgram(
      dir_, "vdzinfo",
      Quote(Whole()) + " --frames " + Quote(dir_.File("all")) + " --tracks " + Quote(dir_.File("all")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.find("Cut short"), std::string::npos);
  std::vector<uint8_t> all_sound;
  ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File("all/track0.pcm"), all_sound));

  // Cut inside frame 7: frames 0 to 6 are whole.
  const std::string cut = Cut(RecordStart(bytes_, 7) + 20);
  r = RunProgram(
      dir_, "vdzinfo",
      Quote(cut) + " --frames " + Quote(dir_.File("cut")) + " --tracks " + Quote(dir_.File("cut")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("FrameCount: 20\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Cut short: the frame data ends inside frame record 7; 7 of 20 frames are whole\n"),
            std::string::npos)
      << r.out;
  size_t missing = 0;
  for (size_t at = r.out.find("(missing)"); at != std::string::npos; at = r.out.find("(missing)", at + 1))
    ++missing;
  EXPECT_EQ(missing, 13u) << r.out;
  for (int i = 0; i < 20; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%05d.ppm", i);
    const std::string got = dir_.File(std::string("cut/") + name);
    if (i >= 7) {
      EXPECT_FALSE(fs::exists(got)) << name;
      continue;
    }
    std::vector<uint8_t> want_bytes, got_bytes;
    ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File(std::string("all/") + name), want_bytes));
    ASSERT_TRUE(vidzotools::ReadFileBytes(got, got_bytes)) << name;
    EXPECT_EQ(got_bytes, want_bytes) << name;
  }
  // The sound of the whole frames: the start of the whole file's sound.
  std::vector<uint8_t> cut_sound;
  ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File("cut/track0.pcm"), cut_sound));
  ASSERT_GT(cut_sound.size(), 0u);
  ASSERT_LT(cut_sound.size(), all_sound.size());
  EXPECT_TRUE(std::equal(cut_sound.begin(), cut_sound.end(), all_sound.begin()));
}

}  // namespace
