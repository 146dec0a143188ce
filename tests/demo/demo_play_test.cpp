// What `make demo` does, on a small sample: vdzsample, vdzenc, then
// vidzoplw /S on SDL's dummy video and audio drivers (a machine with no
// display and no sound card; the dummy audio driver takes the sound at its
// real rate). The player plays every frame at the file's pace and prints its
// summary.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

TEST(DemoTest, TheSamplePlaysHeadlessAtItsPaceWithTheSummary) {
  ASSERT_TRUE(std::filesystem::exists(std::string(VIDZOER_BIN_DIR) + "/vidzoplw"))
      << "the player is not built";
  TempDir dir;
  const std::string frames = dir.File("frames"), vdz = dir.File("sample.vdz");
  RunResult r = RunProgram(dir, "vdzsample", "--width 160 --height 120 --seconds 2 " + Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = RunProgram(
      dir, "vdzenc",
      "--frame-rate 50 --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " + Quote(vdz));
  ASSERT_EQ(r.exit_code, 0) << r.err;

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const auto start = std::chrono::steady_clock::now();
  r = RunProgram(dir, "vidzoplw", "/S " + Quote(vdz));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Total frames played: 40"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Frame rate: 20.0"), std::string::npos) << r.err;
  // Forty frames of 50 ms are not played in much less than two seconds.
  EXPECT_GE(seconds, 1.8) << r.err;
}

}  // namespace
