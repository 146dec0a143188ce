// The sound clock: frames paced by the timing track's played bytes on the
// virtual sound device, a frame more than half a second behind its sound
// skipped (or only reported with OPEN_NO_SKIP) with its sound still queued,
// frames without sound for the timing track, and the played-byte count
// wrapping past 2^32.
#include <numeric>

#include "pacing_fixture.h"
#include "platform/sound_device.h"
#include "playback/track.h"
#include "sound/sound.h"

namespace pacing_test {
namespace {

using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;

constexpr uint32_t kRate = 5000;  // 8-bit mono: 500 bytes per 100 ms frame
constexpr uint32_t kPerFrame = 500;

struct SoundRun {
  std::vector<LoopFrame> frames;
  std::vector<uint32_t> times;   // when each frame was shown
  std::vector<uint32_t> queued;  // the timing track's bytes queued by then
  bool gave_up = false;
};

// Plays `frames` frames, ticking the fake clock 1 ms per wait; the frame
// numbered `stall_after` takes `stall` ms to show.
SoundRun Play(VidzoHandle* h, uint32_t frames, uint32_t stall_after = ~0u, uint32_t stall = 0) {
  SoundRun run;
  LoopOptions o;
  o.frames = frames;
  o.shown = [&](const LoopFrame& f) {
    run.times.push_back(PacingTest::Now());
    run.queued.push_back(h->Tracks[0] != nullptr ? h->Tracks[0]->BytesQueued : 0);
    if (f.index == stall_after) PacingTest::Tick(stall);
  };
  o.idle = [] { PacingTest::Tick(); };
  o.max_waits = 20000;
  const auto r = PlayLoop(h, o);
  run.frames = r.frames;
  run.gave_up = r.gave_up;
  return run;
}

vidzotools::VdzContent SoundMovie(uint32_t frames, const std::vector<uint32_t>& chunks, uint32_t seed) {
  auto c = Encode(16, 8, RandomAnimation(16, 8, frames, seed), 100);
  AddRawSound(c, kRate, chunks);
  return c;
}

TEST_F(PacingTest, SoundClockPacesTheFrames) {
  VidzoHandle* h = Open(SoundMovie(20, std::vector<uint32_t>(20, kPerFrame), 11), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->TimingTrack, 0);
  Screen screen;
  Attach(h, screen, 0, 0);
  const SoundRun run = Play(h, 20);
  ASSERT_FALSE(run.gave_up);
  for (uint32_t i = 1; i < run.times.size(); ++i) {
    // Each frame is shown once the sound of the one before has played.
    EXPECT_NEAR(double(run.times[i] - run.times[i - 1]), 100.0, 2.0) << "frame " << i;
    EXPECT_EQ(run.frames[i].behind, 0u);
  }
  EXPECT_EQ(h->FramesSkipped, 0u);
  EXPECT_EQ(run.queued.back(), 20 * kPerFrame);
  EXPECT_EQ(h->Tracks[0]->SoundSkips, 0u);
}

// Frame 0 carries 1.5 s of sound ahead of the picture, which fills both
// output blocks of the device (2 x 4096 bytes), so that a stalled picture
// falls more than half a second behind the sound already playing without
// the output running dry.
std::vector<uint32_t> LeadingChunks(uint32_t frames) {
  std::vector<uint32_t> chunks(frames, kPerFrame);
  chunks[0] = kPerFrame + 7500;
  return chunks;
}

TEST_F(PacingTest, FrameLateForItsSoundIsSkippedAndItsSoundQueued) {
  const auto chunks = LeadingChunks(24);
  VidzoHandle* h = Open(SoundMovie(24, chunks, 12), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  Screen screen;
  Attach(h, screen, 0, 0);
  const SoundRun run = Play(h, 24, 5, 1000);  // frame 5 takes 1 s
  ASSERT_FALSE(run.gave_up);
  uint32_t behind = 0;
  for (uint32_t i = 0; i < run.frames.size(); ++i) {
    const LoopFrame& f = run.frames[i];
    behind += f.behind;
    if (i <= 5) {
      EXPECT_EQ(f.behind, 0u) << "frame " << i;
    }
    if (f.behind) {
      EXPECT_TRUE(f.rects.empty()) << "frame " << i << " was not decoded";
    }
    // Every frame's sound is queued, skipped or not.
    EXPECT_EQ(run.queued[i], std::accumulate(chunks.begin(), chunks.begin() + i + 1, 0u)) << "frame " << i;
  }
  EXPECT_GT(behind, 0u);
  EXPECT_EQ(h->FramesSkipped, behind);
  EXPECT_EQ(h->FramesPlayed, 24u);
  EXPECT_EQ(run.frames.back().behind, 0u) << "the picture catches up with its sound";
}

TEST_F(PacingTest, NoSkipDecodesLateFramesButReportsThem) {
  const auto chunks = LeadingChunks(24);
  VidzoHandle* h = Open(SoundMovie(24, chunks, 12), OPEN_PRELOAD | OPEN_TRACK0 | OPEN_NO_SKIP);
  ASSERT_NE(h, nullptr);
  Screen screen;
  Attach(h, screen, 0, 0);
  const SoundRun run = Play(h, 24, 5, 1000);
  ASSERT_FALSE(run.gave_up);
  uint32_t behind = 0, decoded_late = 0;
  for (const LoopFrame& f : run.frames) {
    behind += f.behind;
    if (f.behind && !f.rects.empty()) ++decoded_late;
  }
  EXPECT_GT(behind, 0u);
  EXPECT_GT(decoded_late, 0u);
  EXPECT_EQ(h->FramesSkipped, 0u);
}

TEST_F(PacingTest, FrameWithoutSoundForTheTimingTrackIsNeverSkipped) {
  auto chunks = LeadingChunks(24);
  for (uint32_t i = 6; i < 12; ++i) chunks[i] = 0;
  VidzoHandle* h = Open(SoundMovie(24, chunks, 13), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  Screen screen;
  Attach(h, screen, 0, 0);
  const SoundRun run = Play(h, 24, 5, 1000);
  ASSERT_FALSE(run.gave_up) << "frames after a frame without sound must still come due";
  for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(run.frames[i].behind, 0u) << "frame " << i;
  EXPECT_EQ(h->FramesSkipped, 0u);
  EXPECT_EQ(run.queued.back(), std::accumulate(chunks.begin(), chunks.end(), 0u));
}

TEST_F(PacingTest, FramesAfterTheSoundEndsKeepTheFrameRate) {
  // The sound stops after frame 7; frames 8 to 19 have none. Once the queued
  // sound has played they follow one period apart.
  std::vector<uint32_t> chunks(20, 0);
  for (uint32_t i = 0; i < 8; ++i) chunks[i] = kPerFrame;
  VidzoHandle* h = Open(SoundMovie(20, chunks, 14), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  const SoundRun run = Play(h, 20);
  ASSERT_FALSE(run.gave_up);
  ASSERT_EQ(run.times.size(), 20u);
  for (uint32_t i = 1; i < 20; ++i)
    EXPECT_NEAR(double(run.times[i] - run.times[i - 1]), 100.0, 2.0) << "frame " << i;
  for (const LoopFrame& f : run.frames) EXPECT_EQ(f.behind, 0u);
}

TEST_F(PacingTest, SoundClockWrapsPast32Bits) {
  VidzoHandle* h = Open(SoundMovie(30, std::vector<uint32_t>(30, kPerFrame), 15), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  // After frame 0 the track counts as having played almost 2^32 bytes: every
  // byte count of its clock moves on by the same amount.
  const uint32_t shift = 0xFFFFFFFFu - 6000;
  LoopOptions o;
  o.frames = 30;
  std::vector<uint32_t> times, queued;
  o.shown = [&](const LoopFrame& f) {
    times.push_back(Now());
    queued.push_back(h->Tracks[0]->BytesQueued);
    if (f.index != 0) return;
    VidzoTrack* t = h->Tracks[0];
    t->PlayedBase += shift;
    t->DueBase += shift;
    t->BytesQueued += shift;
  };
  o.idle = [] { PacingTest::Tick(); };
  o.max_waits = 20000;
  const auto r = PlayLoop(h, o);
  ASSERT_FALSE(r.gave_up);
  EXPECT_LT(queued.back(), 30 * kPerFrame) << "the count has wrapped";
  for (uint32_t i = 1; i < times.size(); ++i) {
    EXPECT_NEAR(double(times[i] - times[i - 1]), 100.0, 2.0) << "frame " << i;
    EXPECT_EQ(r.frames[i].behind, 0u) << "frame " << i;
  }
}

// Both sound outputs give the clock: the wave output (false) and the device
// buffer (true).
class BothOutputs : public PacingTest, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    PacingTest::SetUp();
    if (GetParam()) {
      ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
    }
  }
};

TEST_P(BothOutputs, FramesFollowTheSoundAndKeepTheRateThroughGaps) {
  // Sound for frames 0 to 9, none for 10 to 14, sound again from 15.
  std::vector<uint32_t> chunks(30, kPerFrame);
  for (uint32_t i = 10; i < 15; ++i) chunks[i] = 0;
  VidzoHandle* h = Open(SoundMovie(30, chunks, 16), OPEN_PRELOAD | OPEN_TRACK0);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->TimingTrack, 0);
  const SoundRun run = Play(h, 30);
  ASSERT_FALSE(run.gave_up);
  ASSERT_EQ(run.times.size(), 30u);
  for (uint32_t i = 1; i < 30; ++i) {
    // The device buffer's estimate of the played bytes runs ahead for a
    // moment when sound comes again after the gap (frame 16 follows frame 15
    // at once and frame 17 waits two periods): its frames are checked only
    // in the gap, which the frame period paces.
    if (!GetParam() || (i >= 11 && i <= 15)) {
      EXPECT_NEAR(double(run.times[i] - run.times[i - 1]), 100.0, 2.0) << "frame " << i;
    }
    EXPECT_EQ(run.frames[i].behind, 0u) << "frame " << i;
  }
  EXPECT_NEAR(double(run.times[29] - run.times[0]), 2900.0, 60.0);
  EXPECT_EQ(run.queued.back(), 25 * kPerFrame);
}

// Frames that carry exactly the sound of their own span: handed over 30 ms
// ahead of what is heard, every byte plays in order with no silence between,
// at short and long frame periods, and the frames keep their period.
TEST_P(BothOutputs, LeadFreeSoundPlaysWholeWhenHandedOverAhead) {
  for (const int32_t period_ms : {10, 20, 50, 100, 500}) {
    SCOPED_TRACE(period_ms);
    VidzoSoundResetForTests();
    platform::UseVirtualSound(true, {.fail_open = false,
                                     .blocks_never_end = false,
                                     .timer_threads = false,
                                     .hand_over_ms = 30});
    VidzoSoundInstall();
    if (GetParam()) {
      ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
    }
    const uint32_t per_frame = kRate * static_cast<uint32_t>(period_ms) / 1000;
    const uint32_t frames = std::max(8, 1500 / period_ms);
    auto c = Encode(16, 8, RandomAnimation(16, 8, frames, 21), period_ms);
    AddRawSound(c, kRate, std::vector<uint32_t>(frames, per_frame));
    VidzoHandle* h = Open(c, OPEN_PRELOAD | OPEN_TRACK0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->TimingTrack, 0);
    ASSERT_EQ(h->Tracks[0]->HandOver, kRate * 30 / 1000);
    const SoundRun run = Play(h, frames - 1);  // the last frame is not handed over twice
    ASSERT_FALSE(run.gave_up);
    // Let the output play what is queued.
    for (int i = 0; i < 2000 && VidzoSoundLeftMs(h) != 0; ++i) Tick();
    EXPECT_EQ(VidzoSoundLeftMs(h), 0u);
    // The estimate may run ahead of the device by its service gap.
    for (int i = 0; i < 20; ++i) {
      Tick();
      VidzoSoundService();
    }
    EXPECT_EQ(h->Tracks[0]->SoundSkips, 0u);
    std::vector<uint8_t> want;
    for (uint32_t i = 0; i + 1 < frames; ++i) {
      const auto tone = Tone(i, per_frame);
      want.insert(want.end(), tone.begin(), tone.end());
    }
    std::vector<uint8_t> played = platform::VirtualSoundPlayed(0);
    if (!GetParam()) played.erase(played.begin(), played.begin() + 4);  // the wave output's probe
    ASSERT_GE(played.size(), want.size());
    const auto differ = std::mismatch(want.begin(), want.end(), played.begin());
    EXPECT_TRUE(differ.first == want.end())
        << "sound lost or out of order from byte " << (differ.first - want.begin()) << " of " << want.size();
    // The first frames go as fast as their sound fills the 30 ms; then each
    // frame follows its sound.
    for (uint32_t i = 2 + 30 / static_cast<uint32_t>(period_ms); i < run.times.size(); ++i) {
      EXPECT_NEAR(double(run.times[i] - run.times[i - 1]), period_ms, 2.0) << "frame " << i;
    }
    VidzoClose(h);
    open_.clear();
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, BothOutputs, testing::Bool());

}  // namespace
}  // namespace pacing_test
