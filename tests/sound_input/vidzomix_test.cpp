// vidzomix as a user runs it: a spoken sentence put into track 2 of the demo
// sample from frame 20 on and looped, then vdzinfo --tracks shows the sound
// where it belongs, the other track and the pictures unchanged, and the
// player plays the new track (SDL's disk audio driver captures it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "sound_input/sound_files.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"
#include "tools/lib/vdz_reader.h"

namespace {

using namespace sound_input_test;
using vidzoer_test::Quote;
using vidzoer_test::ReadBytes;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

std::vector<uint8_t> WaveData(const std::string& name) {
  const std::vector<uint8_t> w = ReadBytes(name);
  return w.size() > 44 ? std::vector<uint8_t>(w.begin() + 44, w.end()) : std::vector<uint8_t>{};
}

class Vidzomix : public ::testing::Test {
 protected:
  void SetUp() override {
    RunResult r = RunProgram(dir_, "vdzsample", "--width 64 --height 48 --seconds 2 " + Quote(dir_.File("frames")));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = RunProgram(dir_, "vdzenc",
                   "--frame-rate 50 --sound " + Quote(dir_.File("frames/sound.wav")) + " " +
                       Quote(dir_.File("frames")) + " " + Quote(sample_));
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  // The tracks of a file as vdzinfo --tracks writes them.
  std::vector<uint8_t> Track(const std::string& vdz, int t) {
    const std::string folder = dir_.File("tracks" + std::to_string(++runs_));
    const RunResult r = RunProgram(dir_, "vdzinfo", Quote(vdz) + " --tracks " + Quote(folder));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return ReadBytes(folder + "/track" + std::to_string(t) + ".pcm");
  }
  TempDir dir_;
  std::string sample_ = dir_.File("sample.vdz");
  int runs_ = 0;
};

TEST_F(Vidzomix, SpokenSentenceIntoTrackTwoFromFrameTwentyLooped) {
  if (!vidzoer_test::HaveProgram("espeak-ng")) GTEST_SKIP() << "espeak-ng is not installed";
  const std::string speech = dir_.File("speech.wav");
  ASSERT_TRUE(vidzoer_test::RunShell("espeak-ng -w " + Quote(speech) + " 'Sound in track two.'", dir_.File("e.err")));
  const std::vector<uint8_t> sentence = WaveData(speech);  // 22050 Hz 16-bit mono
  ASSERT_GT(sentence.size(), 10000u);
  const std::string mixed = dir_.File("mixed.vdz");
  const RunResult r =
      RunProgram(dir_, "vidzomix", Quote(sample_) + " " + Quote(speech) + " " + Quote(mixed) + " /M2 /G20 /P");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("track 2 of mixed.vdz"), std::string::npos) << r.out;

  // 40 frames of 50 ms and the 250 ms lead: 2.25 s of sound, the first second
  // silent, then the sentence over and over.
  const std::vector<uint8_t> track = Track(mixed, 1);
  ASSERT_EQ(track.size(), 2250u * 22050 / 1000 * 2);
  EXPECT_TRUE(std::vector<uint8_t>(track.begin(), track.begin() + 44100) == std::vector<uint8_t>(44100, 0));
  for (size_t at = 44100; at < track.size(); at += sentence.size()) {
    const size_t n = std::min(sentence.size(), track.size() - at);
    EXPECT_TRUE(std::equal(sentence.begin(), sentence.begin() + static_cast<long>(n), track.begin() + static_cast<long>(at)))
        << "at " << at;
  }
  // The first track and the pictures are as they were.
  EXPECT_TRUE(Track(mixed, 0) == Track(sample_, 0));
  vidzotools::VdzContent before, after;
  std::string error;
  ASSERT_TRUE(vidzotools::ReadVdzContent(sample_, before, error)) << error;
  ASSERT_TRUE(vidzotools::ReadVdzContent(mixed, after, error)) << error;
  ASSERT_EQ(before.frames.size(), after.frames.size());
  EXPECT_EQ(before.frame_rate, after.frame_rate);
  EXPECT_EQ(before.audio_format[0], after.audio_format[0]);
  EXPECT_EQ(after.audio_format[1], 0xC0000000u | 0x20000000u | 22050u);
  for (size_t i = 0; i < before.frames.size(); ++i) {
    EXPECT_EQ(before.frames[i].video, after.frames[i].video) << i;
    EXPECT_EQ(before.frames[i].palette, after.frames[i].palette) << i;
  }

  // The player plays track 2 alone (track mask 2): the device gets the
  // track's sound.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("VIDZOER_SOUND_CAPTURE", dir_.File("capture").c_str(), 1);
  const RunResult played = RunProgram(dir_, "vidzoplw", "/T2 " + Quote(mixed));
  unsetenv("VIDZOER_SOUND_CAPTURE");
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_VIDEODRIVER");
  ASSERT_EQ(played.exit_code, 0) << played.err;
  const std::vector<uint8_t> heard = vidzoer_test::TrimSilence(ReadBytes(dir_.File("capture.0")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("capture.1")));
  EXPECT_TRUE(heard == vidzoer_test::TrimSilence(track, 0)) << heard.size() << " bytes heard";
}

TEST_F(Vidzomix, ReplacesATrackInAnotherFormat) {
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(30000, 3, false), 16, 2);
  WriteWave(dir_.File("noise.wav"), 44100, 16, 2, pcm);
  const std::string out = dir_.File("replaced");
  const RunResult r = RunProgram(dir_, "vidzomix",
                                 Quote(sample_) + " " + Quote(dir_.File("noise.wav")) + " " + Quote(out) +
                                     " /R11025 /B8 /C1 /L0");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("replace track 1"), std::string::npos) << r.out;
  // Track 1 holds the noise converted as the sound input converts it, and
  // no more than the video's time and lead.
  SFile* s = SFileOpen(dir_.File("noise.wav").c_str(), 11025, 8, 1, 0, 0, 0, 0, 0, nullptr);
  ASSERT_NE(s, nullptr);
  const std::vector<uint8_t> converted = ReadAll(s);
  SFileClose(s);
  const std::vector<uint8_t> track = Track(out + ".vdz", 0);
  ASSERT_EQ(track.size(), std::min<size_t>(converted.size(), 2250u * 11025 / 1000));
  EXPECT_TRUE(std::equal(track.begin(), track.end(), converted.begin()));
}

TEST_F(Vidzomix, FrameRateOverrideAndDataThatIsNotSound) {
  std::vector<uint8_t> data(50000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  vidzoer_test::WriteBytes(dir_.File("data.bin"), data);
  const std::string out = dir_.File("slow.vdz");
  const RunResult r = RunProgram(dir_, "vidzomix",
                                 Quote(sample_) + " " + Quote(dir_.File("data.bin")) + " " + Quote(out) +
                                     " /F10 /Y5 /D8000 /K100");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  vidzotools::VdzContent mixed;
  std::string error;
  ASSERT_TRUE(vidzotools::ReadVdzContent(out, mixed, error)) << error;
  EXPECT_EQ(mixed.frame_rate, -10000);                 // 10 frames a second
  EXPECT_EQ(mixed.audio_format[0], 0x40000000u | 8000);  // stored as it is, 8-bit mono
  // 40 frames of 100 ms and the lead: 4.25 s at 8000 bytes a second, the
  // data from byte 100 on exactly.
  const std::vector<uint8_t> track = Track(out, 0);
  ASSERT_EQ(track.size(), 34000u);
  EXPECT_TRUE(std::equal(track.begin(), track.end(), data.begin() + 100));
}

TEST_F(Vidzomix, RefusalsAndErrors) {
  WriteWave(dir_.File("a.wav"), 8000, 8, 1, std::vector<uint8_t>(800, 100));
  const std::string base = Quote(sample_) + " " + Quote(dir_.File("a.wav")) + " ";
  struct Case {
    std::string args;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {base + Quote(sample_), 1, "must be different"},
      {base + Quote(dir_.File("o.vdz")) + " /M8", 2, "/M takes a track from 1 to 7"},
      {base + Quote(dir_.File("o.vdz")) + " /L10", 2, "/L takes a level"},
      {base, 2, "expected a .vdz file, a sound and an output name"},
      {Quote(dir_.File("a.wav")) + " " + Quote(dir_.File("a.wav")) + " " + Quote(dir_.File("o.vdz")), 1,
       "not a Vidzoer file"},
      {Quote(sample_) + " " + Quote(dir_.File("none.wav")) + " " + Quote(dir_.File("o.vdz")), 1,
       "Error opening the input file."},
  };
  for (const Case& c : cases) {
    const RunResult r = RunProgram(dir_, "vidzomix", c.args + " < /dev/null");
    EXPECT_EQ(r.exit_code, c.code) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("o.vdz")));
}

}  // namespace
