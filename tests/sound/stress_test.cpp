// The device-buffer back end's service running on its timer thread while the
// playback thread hands over frames, reads the sound clock, changes the
// volume, switches the sound off and on and returns to frame 0 — on the real
// clock, for some seconds. Run under ThreadSanitizer by `make test-tsan`.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "sound/sound_internal.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

class SoundStress : public SoundTest {
 protected:
  void SetUp() override {
    options_.timer_threads = true;
    SoundTest::SetUp();
    platform::UseRealClock();
    ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
  }
};

// 44100 Hz 16-bit stereo, 20 ms frames: 3528 bytes each.
constexpr uint32_t kFrameBytes = 3528;
const SoundKind kKind{.rate = 44100, .sixteen = true, .stereo = true};

// Keeps the playback thread busy with the sound for `ms` milliseconds.
void KeepBusy(VidzoTrack* t, uint32_t ms, uint32_t& last) {
  auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    uint32_t played = VidzoPlayedBytes(t);
    EXPECT_GE(played, last);
    last = played;
    VidzoSoundService();
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

TEST_F(SoundStress, TimerServiceBesidePlaybackPlaysEveryChunk) {
  constexpr uint32_t kFrames = 150;  // three seconds
  std::vector<Bytes> frames;
  Bytes all;
  for (uint32_t i = 0; i <= kFrames; ++i) {
    frames.push_back(Pattern(i, kFrameBytes));
    if (i < kFrames) all.insert(all.end(), frames.back().begin(), frames.back().end());
  }
  VidzoHandle* h = Open(MakeContent({kKind}, {frames}, 20), OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  uint32_t last = 0;
  for (uint32_t i = 0; i < kFrames; ++i) {
    VidzoFrameSound(h);
    Advance(h);
    if (i % 25 == 0) VidzoSoundVolume(h, 0, 32768, 32768);
    if (i >= 10) KeepBusy(t, 20, last);  // ten frames ahead of the sound
  }
  KeepBusy(t, 600, last);
  EXPECT_EQ(VidzoPlayedBytes(t), kFrames * kFrameBytes);
  Close(h);  // stops the timer
  Bytes played = platform::VirtualSoundPlayed(0);
  Bytes heard;  // silence (0 in 16-bit sound) is the only thing allowed between chunks
  for (uint8_t b : played)
    if (b != 0) heard.push_back(b);
  EXPECT_TRUE(heard == all) << heard.size() << " of " << all.size() << " bytes heard";
}

TEST_F(SoundStress, TimerServiceBesideJumpsAndRestarts) {
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 30; ++i) frames.push_back(Pattern(i, kFrameBytes));
  VidzoHandle* h = Open(MakeContent({kKind, kKind}, {frames, frames}, 20), OPEN_TRACK0 | OPEN_TRACK1);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(h->Tracks[1], nullptr);
  auto end = Clock::now() + std::chrono::milliseconds(2000);
  uint32_t frames_played = 0;
  uint32_t most_played = 0;  // played bytes restart at 0 with every jump, so the last reading may be 0
  while (Clock::now() < end) {
    VidzoFrameSound(h);
    Advance(h);  // returns to frame 0 every 30 frames: a flush
    ++frames_played;
    if (frames_played % 17 == 0) {
      EXPECT_EQ(VidzoSoundOnOff(h, 0), 1u);
      h->CurrentFrame = frames_played % 29 + 1;
      VidzoSeekFrame(h);
      VidzoPrepareFrame(h);
      EXPECT_EQ(VidzoSoundOnOff(h, 1), 1u);
    }
    auto frame_end = Clock::now() + std::chrono::milliseconds(20);
    while (Clock::now() < frame_end) {
      uint32_t played = VidzoPlayedBytes(t);
      most_played = std::max(most_played, played);
      std::lock_guard<std::recursive_mutex> lock(vidzosound::Sound().lock);  // the service's fields
      EXPECT_LE(played, t->BytesToDevice);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  EXPECT_GT(frames_played, 50u);
  EXPECT_GT(most_played, 0u);
}

}  // namespace
}  // namespace soundtest
