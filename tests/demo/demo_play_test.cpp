// What `make demo` does, on a small sample: vdzsample, vdzenc, then
// vidzoplw /S on SDL's dummy video and audio drivers (a machine with no
// display and no sound card; the dummy audio driver takes the sound at its
// real rate). The player plays every frame at the file's pace and prints its
// summary.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sound_device.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

// Makes the sample as `make demo` does (vdzsample, then vdzenc at 20 frames
// a second with its sound) into `vdz`, at the size and length `sample_args`
// give; false with a test failure when a program fails.
bool MakeSample(const TempDir& dir, const std::string& sample_args, const std::string& vdz) {
  const std::string frames = dir.File("frames");
  RunResult r = RunProgram(dir, "vdzsample", sample_args + " " + Quote(frames));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  if (r.exit_code != 0) return false;
  r = RunProgram(
      dir, "vdzenc",
      "--frame-rate 50 --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " + Quote(vdz));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return r.exit_code == 0;
}

TEST(DemoTest, TheSamplePlaysHeadlessAtItsPaceWithTheSummary) {
  ASSERT_TRUE(std::filesystem::exists(std::string(VIDZOER_BIN_DIR) + "/vidzoplw"))
      << "the player is not built";
  TempDir dir;
  const std::string vdz = dir.File("sample.vdz");
  ASSERT_TRUE(MakeSample(dir, "--width 160 --height 120 --seconds 2", vdz));

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = RunProgram(dir, "vidzoplw", "/S " + Quote(vdz));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Total frames played: 40"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Frame rate: 20.0"), std::string::npos) << r.err;
  // Forty frames of 50 ms are not played in much less than two seconds.
  EXPECT_GE(seconds, 1.8) << r.err;
}

// With no sound driver named, the player finds its own way to a sound
// output: on a machine without a sound card SDL is not asked to try the
// drivers that need one, so the ALSA library's complaints never reach the
// user's terminal, and the sound still paces the pictures.
TEST(DemoTest, NoSoundCardLeavesNoDriverComplaintsOnTheTerminal) {
  TempDir dir;
  const std::string vdz = dir.File("short.vdz");
  ASSERT_TRUE(MakeSample(dir, "--width 64 --height 48 --seconds 1", vdz));

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  unsetenv("SDL_AUDIODRIVER");
  setenv("VIDZOER_DEBUG", "1", 1);
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = RunProgram(dir, "vidzoplw", "/S " + Quote(vdz));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("VIDZOER_DEBUG");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Total frames played: 20"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("ALSA lib"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("couldn't open"), std::string::npos) << r.err;
  if (platform::NoSoundCards()) {
    // No card: the sound went to a sound server or to the dummy driver, and
    // either takes it at its real rate.
    EXPECT_GE(seconds, 0.9) << r.err;
  }
}

TEST(SoundCards, TheKernelsCardListNamesACardOrNone) {
  TempDir dir;
  EXPECT_TRUE(platform::NoSoundCards(dir.File("missing").c_str()));
  const auto write = [&](const std::string& name, const std::string& text) {
    FILE* f = std::fopen(dir.File(name).c_str(), "w");
    EXPECT_NE(f, nullptr);
    if (f != nullptr) {
      std::fputs(text.c_str(), f);
      std::fclose(f);
    }
    return dir.File(name);
  };
  EXPECT_TRUE(platform::NoSoundCards(write("empty", "").c_str()));
  EXPECT_TRUE(platform::NoSoundCards(write("none", "--- no soundcards ---\n").c_str()));
  EXPECT_FALSE(platform::NoSoundCards(write("one",
                                            " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                                            "                      HDA Intel PCH at 0xf7f10000 irq 32\n")
                                          .c_str()));
  EXPECT_FALSE(platform::NoSoundCards(
      write("second", "--- first line ---\n 1 [USB            ]: USB-Audio - USB Device\n").c_str()));
}

}  // namespace
