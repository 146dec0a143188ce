// The player keeps pace with its sound and plays every byte of it, as a user
// meets it: vidzoplw run headless with SDL's dummy video driver and its disk
// audio driver, which takes the sound at its real pace and writes what it
// plays to a file. Both sound outputs: the wave output and the device buffer
// (/Z).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "realtime_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/files.h"
#include "support/wave_file.h"

namespace {

namespace fs = std::filesystem;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;
using Bytes = std::vector<uint8_t>;

// The number after `key` in the summary, or -1.
double SummaryValue(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size());
}

struct Played {
  RunResult run;
  double seconds = 0;
  Bytes captured;  // what the first sound device played
};

// Plays `vdz` with the summary, the sound written to files in `dir`.
Played PlayCaptured(const TempDir& dir, const std::string& switches, const std::string& vdz) {
  const std::string capture = dir.File("capture");
  for (int i = 0; i < 8; ++i) fs::remove(capture + "." + std::to_string(i));
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("VIDZOER_SOUND_CAPTURE", capture.c_str(), 1);
  Played p;
  const auto start = std::chrono::steady_clock::now();
  p.run = RunProgram(dir, "vidzoplw", "/S " + switches + " " + Quote(vdz));
  p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  unsetenv("VIDZOER_SOUND_CAPTURE");
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_VIDEODRIVER");
  p.captured = vidzoer_test::ReadBytes(capture + ".0");
  return p;
}

using realtime_test::WritePictures;

const char* const kOutputs[] = {"", "/Z"};

// A 640 x 480 file with 22050 Hz 16-bit stereo sound as vdzsample and vdzenc
// make it plays at its frame rate on both outputs, with no sound skip.
TEST(PlayerSoundPace, LargePicturesWithSoundKeepTheirFrameRate) {
  for (const int32_t rate : {-4000, -3333}) {  // 25 and 30 frames a second
    TempDir dir;
    const std::string frames = dir.File("frames"), vdz = dir.File("big.vdz");
    const std::string r = std::to_string(rate);
    RunResult made = RunProgram(dir, "vdzsample",
                                "--width 640 --height 480 --seconds 6 --frame-rate " + r + " " + Quote(frames));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    made = RunProgram(dir, "vdzenc",
                      "--frame-rate " + r + " --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " +
                          Quote(vdz));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const double fps = 100000.0 / -rate;
    for (const char* output : kOutputs) {
      SCOPED_TRACE(std::to_string(fps) + " frames a second, output " + output);
      const Played p = PlayCaptured(dir, output, vdz);
      ASSERT_EQ(p.run.exit_code, 0) << p.run.err;
      EXPECT_EQ(SummaryValue(p.run.err, "Sound skips: "), 0) << p.run.err;
      EXPECT_EQ(SummaryValue(p.run.err, "Skipped frames: "), 0) << p.run.err;
      EXPECT_GE(SummaryValue(p.run.err, "Frame rate obtained: "), fps * 0.97) << p.run.err;
      // Six seconds of sound, which the disk driver plays up to 6 % fast.
      EXPECT_GE(p.seconds, 5.6) << "faster than its sound";
    }
  }
}

struct LeadFreeCase {
  int32_t period_ms;
  uint16_t bits;
  uint16_t channels;
  bool raw;
};

// Files whose frames carry exactly the sound of their own span (no sound
// lead): the device plays the decoded track whole, in order, with no
// silence inserted, at frame periods from 10 ms to half a second, for each
// sample format, compressed and raw.
TEST(PlayerSoundPace, LeadFreeSoundPlaysWhole) {
  const LeadFreeCase cases[] = {
      {10, 8, 1, true}, {20, 16, 2, false}, {50, 8, 2, false}, {100, 16, 1, true}, {500, 16, 2, false},
  };
  for (const LeadFreeCase& c : cases) {
    TempDir dir;
    const uint32_t rate = 22050, frame_bytes = c.bits / 8u * c.channels;
    const uint32_t count = static_cast<uint32_t>(std::max(4, 1600 / c.period_ms));
    WritePictures(dir.File("frames"), count);
    const uint64_t samples = uint64_t{rate} * count * static_cast<uint32_t>(c.period_ms) / 1000;
    vidzoer_test::WriteWaveFile(dir.File("a.wav"), rate, c.bits, c.channels,
                                vidzoer_test::NoiseBytes(samples * frame_bytes, 7 + c.period_ms));
    const std::string vdz = dir.File("lead_free.vdz");
    RunResult made = RunProgram(dir, "vdzenc",
                                "--frame-rate " + std::to_string(c.period_ms) + " --sound-lead 0" +
                                    (c.raw ? " --raw-sound" : "") + " --sound " + Quote(dir.File("a.wav")) + " " +
                                    Quote(dir.File("frames")) + " " + Quote(vdz));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    made = RunProgram(dir, "vdzinfo", Quote(vdz) + " --tracks " + Quote(dir.File("tracks")));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const uint8_t silence = c.bits == 8 ? 0x80 : 0;
    const Bytes want = vidzoer_test::TrimSilence(vidzoer_test::ReadBytes(dir.File("tracks/track0.pcm")), silence);
    ASSERT_GT(want.size(), samples * frame_bytes / 2);
    for (const char* output : kOutputs) {
      SCOPED_TRACE(std::to_string(c.period_ms) + " ms frames, " + std::to_string(c.bits) + "-bit, " +
                   std::to_string(c.channels) + " channels" + (c.raw ? ", raw" : "") + ", output " + output);
      const Played p = PlayCaptured(dir, output, vdz);
      ASSERT_EQ(p.run.exit_code, 0) << p.run.err;
      EXPECT_EQ(SummaryValue(p.run.err, "Sound skips: "), 0) << p.run.err;
      const Bytes heard = vidzoer_test::TrimSilence(p.captured, silence);
      const auto differ = std::mismatch(want.begin(), want.end(), heard.begin(), heard.end());
      EXPECT_TRUE(differ.first == want.end() && differ.second == heard.end())
          << "the first " << (differ.first - want.begin()) << " of " << want.size() << " bytes played as decoded; "
          << heard.size() << " bytes heard";
    }
  }
}

// A file of three 40 ms frames: all of its sound reaches the device before
// the player ends, also the sound queued after the last frame.
TEST(PlayerSoundPace, AShortFilesWholeSoundIsPlayed) {
  TempDir dir;
  WritePictures(dir.File("frames"), 3);
  vidzoer_test::WriteWaveFile(dir.File("a.wav"), 22050, 16, 2, vidzoer_test::NoiseBytes(2646 * 4, 3));
  const std::string vdz = dir.File("short.vdz");
  const RunResult made = RunProgram(dir, "vdzenc",
                                    "--frame-rate 40 --sound-lead 0 --sound " + Quote(dir.File("a.wav")) + " " +
                                        Quote(dir.File("frames")) + " " + Quote(vdz));
  ASSERT_EQ(made.exit_code, 0) << made.err;
  const Bytes want = vidzoer_test::TrimSilence(vidzoer_test::NoiseBytes(2646 * 4, 3), 0);
  for (const char* output : kOutputs) {
    SCOPED_TRACE(std::string("output ") + output);
    const Played p = PlayCaptured(dir, output, vdz);
    ASSERT_EQ(p.run.exit_code, 0) << p.run.err;
    EXPECT_TRUE(vidzoer_test::TrimSilence(p.captured, 0) == want)
        << vidzoer_test::TrimSilence(p.captured, 0).size() << " of " << want.size() << " bytes heard";
  }
}

// Sound that ends halfway through the pictures: the frames after it keep
// their rate. (SDL's disk driver waits whole milliseconds between its takes
// of sound, so that it plays up to 6 % fast: 11 ms for 11.6 ms of sound.)
TEST(PlayerSoundPace, FramesAfterTheSoundKeepTheirRate) {
  TempDir dir;
  WritePictures(dir.File("frames"), 40);
  vidzoer_test::WriteWaveFile(dir.File("a.wav"), 11025, 8, 1, vidzoer_test::NoiseBytes(11025, 5));
  const std::string vdz = dir.File("gap.vdz");
  const RunResult made = RunProgram(
      dir, "vdzenc", "--frame-rate 50 --sound " + Quote(dir.File("a.wav")) + " " + Quote(dir.File("frames")) + " " + Quote(vdz));
  ASSERT_EQ(made.exit_code, 0) << made.err;
  for (const char* output : kOutputs) {
    SCOPED_TRACE(std::string("output ") + output);
    const Played p = PlayCaptured(dir, output, vdz);
    ASSERT_EQ(p.run.exit_code, 0) << p.run.err;
    EXPECT_EQ(SummaryValue(p.run.err, "Total frames played: "), 40) << p.run.err;
    EXPECT_GE(SummaryValue(p.run.err, "Frame rate obtained: "), 19.0) << p.run.err;
    EXPECT_LE(SummaryValue(p.run.err, "Frame rate obtained: "), 22.0) << p.run.err;
    EXPECT_GE(p.seconds, 1.9);
  }
}

}  // namespace
