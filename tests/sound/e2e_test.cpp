// End to end: a file with two sound tracks made by vdzenc --sound, played
// headless through SDL's "disk" audio driver with each back end; what the
// timing track's device wrote must be the decoded track, with silence only
// before and after it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/clock.h"
#include "play_loop.h"
#include "sound_fixture.h"
#include "support/run_program.h"
#include "support/files.h"
#include "support/wave_file.h"
#include "tools/lib/ppm.h"
#include "tools/lib/vdz_tracks.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;

class SoundEndToEnd : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    VidzoSoundResetForTests();
    platform::UseVirtualSound(false);
    platform::UseRealClock();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("VIDZOER_SOUND_CAPTURE", (dir_.path() / "capture").c_str(), 1);
    VidzoSoundInstall();
  }
  void TearDown() override {
    unsetenv("VIDZOER_SOUND_CAPTURE");
    VidzoSoundResetForTests();
  }
  // The capture file of the first device opened in this test.
  std::string FirstCapture() const {
    std::string best;
    int best_index = -1;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      std::string name = e.path().filename().string();
      if (name.rfind("capture.", 0) != 0) continue;
      int index = std::atoi(name.c_str() + 8);
      if (best_index < 0 || index < best_index) {
        best_index = index;
        best = e.path().string();
      }
    }
    return best;
  }
  vidzoer_test::TempDir dir_;
};

TEST_P(SoundEndToEnd, DevicePlaysTheDecodedTimingTrack) {
  const bool direct_sound = GetParam();
  // Two seconds: track 0 22050 Hz 16-bit mono, track 1 11025 Hz 8-bit stereo.
  vidzoer_test::WriteWaveFile(dir_.File("a.wav"), 22050, 16, 1, vidzoer_test::NoiseBytes(2 * 44100, 1));
  vidzoer_test::WriteWaveFile(dir_.File("b.wav"), 11025, 8, 2, vidzoer_test::NoiseBytes(2 * 22050, 2));
  std::filesystem::create_directories(dir_.path() / "frames");
  std::string error;
  for (int i = 0; i < 50; ++i) {
    vidzotools::RgbPicture p{8, 8, Bytes(8 * 8 * 3, static_cast<uint8_t>(i * 5))};
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.ppm", i);
    ASSERT_TRUE(vidzotools::WritePpmFile((dir_.path() / "frames" / name).string(), p, error)) << error;
  }
  std::string vdz = dir_.File("two.vdz");
  auto run = vidzoer_test::RunProgram(dir_, "vdzenc",
                                      "--frame-rate 40 --sound " + vidzoer_test::Quote(dir_.File("a.wav")) +
                                          " --sound " + vidzoer_test::Quote(dir_.File("b.wav")) + " " +
                                          vidzoer_test::Quote((dir_.path() / "frames").string()) + " " +
                                          vidzoer_test::Quote(vdz));
  ASSERT_EQ(run.exit_code, 0) << run.err;

  // The decoded timing track.
  Bytes expected;
  {
    VidzoHandle* plain = VidzoOpen(vdz.c_str(), 0, 0xFFFFFFFFu);
    ASSERT_NE(plain, nullptr);
    std::string warning;
    ASSERT_TRUE(vidzotools::DecodeVdzTracks(
        plain, vdz,
        [&](int track, const uint8_t* pcm, size_t bytes, std::string&) {
          if (track == 0) expected.insert(expected.end(), pcm, pcm + bytes);
          return true;
        },
        warning, error))
        << error;
    VidzoClose(plain);
  }
  ASSERT_EQ(expected.size(), 2u * 44100u);

  if (direct_sound) {
    ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
  }
  VidzoHandle* h = VidzoOpen(vdz.c_str(), OPEN_PRELOAD | OPEN_TRACK0 | OPEN_TRACK1, 0xFFFFFFFFu);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->TimingTrack, 0) << "no audio device";
  ASSERT_NE(h->Tracks[1], nullptr);
  PlayReport report = PlayHeadless(h, 8);
  VidzoClose(h);  // closes the devices: the capture files are complete

  EXPECT_EQ(report.frames, 50u);
  EXPECT_EQ(report.sound_skips, 0u);
  EXPECT_EQ(report.overflows, 0u);
  EXPECT_EQ(report.queued, expected.size());
  EXPECT_EQ(report.played, expected.size());
  std::string capture = FirstCapture();
  ASSERT_FALSE(capture.empty());
  Bytes written = vidzoer_test::ReadBytes(capture);
  Bytes heard = vidzoer_test::TrimSilence(written, 0), want = vidzoer_test::TrimSilence(expected, 0);
  EXPECT_GE(written.size(), expected.size());
  EXPECT_TRUE(heard == want) << heard.size() << " bytes heard, " << want.size() << " expected";
}

INSTANTIATE_TEST_SUITE_P(BackEnds, SoundEndToEnd, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DirectSound" : "WaveOut"; });

}  // namespace
}  // namespace soundtest
