// A headless run at the real rate: a generated 30-second file with a
// compressed sound track, streamed, played on the virtual sound device by
// the real clock. Every frame must be played and none skipped; the decode
// and read shares of the playback time are printed.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

#include "pacing_fixture.h"
#include "platform/clock.h"
#include "platform/sound_device.h"
#include "playback/video.h"
#include "sound/sound.h"
#include "tools/lib/sound_tracks.h"

namespace pacing_test {
namespace {

using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;

class PacingRealTime : public testing::Test {
 protected:
  void SetUp() override {
    VidzoSoundResetForTests();
    platform::UseRealClock();
    platform::UseVirtualSound(true);
    VidzoSoundInstall();
  }
  void TearDown() override {
    VidzoClose(h_);
    VidzoSoundResetForTests();
    platform::UseVirtualSound(false);
  }
  vidzoer_test::TempDir dir_;
  VidzoHandle* h_ = nullptr;
};

// A w x h animation in which a band of 48 rows of noise moves down the
// picture, 8 rows a frame: a fifth of every frame changes, in full blocks.
std::vector<vidzotools::AnimationFrame> MovingNoise(uint32_t w, uint32_t h, uint32_t n) {
  auto frames = RandomAnimation(w, h, 1, 62);
  std::mt19937 rng(63);
  for (uint32_t f = 1; f < n; ++f) {
    frames.push_back(frames.back());
    auto& pixels = frames.back().pixels;
    const uint32_t top = f * 8 % h;
    for (uint32_t y = top; y < std::min(h, top + 48); ++y)
      for (uint32_t x = 0; x < w; ++x) pixels[size_t{y} * w + x] = static_cast<uint8_t>(rng() % 16);
  }
  return frames;
}

TEST_F(PacingRealTime, ThirtySecondsWithSoundPlayEveryFrame) {
  constexpr uint32_t kFrames = 450;  // 15 frames a second
  constexpr uint32_t kW = 320, kH = 200;
  auto content = Encode(kW, kH, MovingNoise(kW, kH, kFrames), -6667);
  vidzotools::WaveSound wave;
  wave.rate = 22050;
  wave.bits = 8;
  wave.channels = 1;
  wave.pcm.resize(size_t{wave.rate} * 30);
  for (size_t i = 0; i < wave.pcm.size(); ++i)
    wave.pcm[i] = static_cast<uint8_t>(128 + 60 * std::sin(double(i) * 440.0 * 2 * M_PI / wave.rate));
  std::string error;
  ASSERT_TRUE(vidzotools::AddSoundTrack(content, 0, wave, {}, error)) << error;
  const std::string name = dir_.File("thirty.vdz");
  ASSERT_TRUE(vidzotools::WriteVdzFile(name, content, error)) << error;

  h_ = VidzoOpen(name.c_str(), OPEN_TRACK0, 0xFFFFFFFFu);
  ASSERT_NE(h_, nullptr);
  ASSERT_EQ(h_->TimingTrack, 0) << "the sound track opened";
  ASSERT_NE(h_->RingBase, nullptr) << "streamed";
  std::vector<uint8_t> screen(size_t{kW} * kH);
  ASSERT_EQ(VidzoSetDestination(h_, 0, 0, kW, kH, screen.data(), 0), 1);

  uint32_t behind = 0;
  LoopOptions o;
  o.frames = kFrames;
  o.shown = [&](const LoopFrame& f) { behind += f.behind; };
  o.idle = [] { std::this_thread::sleep_for(std::chrono::microseconds(500)); };
  const auto start = std::chrono::steady_clock::now();
  ASSERT_FALSE(PlayLoop(h_, o).gave_up);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  VidzoSummary s;
  VidzoReadStatistics(h_, &s);
  EXPECT_EQ(s.FramesPlayed, kFrames);
  EXPECT_EQ(s.FramesSkipped, 0u);
  EXPECT_EQ(behind, 0u);
  // The last frame waits for its own sound to play: 30 s in all.
  EXPECT_NEAR(seconds, 30.0, 1.0);
  const double total = s.TotalMs != 0 ? s.TotalMs : 1;
  std::printf("30 s real-time run: %u frames, %u skipped, %u sound skips, total %u ms\n", s.FramesPlayed,
              s.FramesSkipped, s.SoundSkips, s.TotalMs);
  std::printf(
      "  decode %u ms (%.2f%%), read %u ms + background read %u ms (%.2f%%), display %u ms (%.2f%%)\n",
      s.DecodeMs, 100.0 * s.DecodeMs / total, s.ReadMs, s.ReadAheadMs,
      100.0 * (s.ReadMs + s.ReadAheadMs) / total, s.BlitMs, 100.0 * s.BlitMs / total);
  std::printf("  slowest frame %u (%u ms), second %u (%u ms), average frame %u bytes, memory %u bytes\n",
              s.SlowestFrame, s.SlowestMs, s.SecondSlowestFrame, s.SecondSlowestMs, s.AverageFrame,
              s.MemoryPeak);
}

}  // namespace
}  // namespace pacing_test
