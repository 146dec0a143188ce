// The frame clock (no sound): the untimed file, frames one period apart, a
// period that is not a whole number of milliseconds, a stall, both wraps of
// the clocks, a read error and null handles.
#include "pacing_fixture.h"
#include "platform/clock.h"

namespace pacing_test {
namespace {

using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;

// The times (fake milliseconds) at which the frames were shown.
std::vector<uint32_t> ShowTimes(VidzoHandle* h, uint32_t frames, uint32_t stall_after = ~0u,
                                uint32_t stall = 0) {
  std::vector<uint32_t> times;
  LoopOptions o;
  o.frames = frames;
  o.shown = [&](const LoopFrame&) {
    times.push_back(PacingTest::Now());
    if (times.size() - 1 == stall_after) PacingTest::Tick(stall);  // the frame takes that long to show
  };
  o.idle = [] { PacingTest::Tick(); };
  o.max_waits = 100000;
  EXPECT_FALSE(PlayLoop(h, o).gave_up);
  return times;
}

std::vector<uint32_t> Gaps(const std::vector<uint32_t>& t) {
  std::vector<uint32_t> g;
  for (size_t i = 1; i < t.size(); ++i) g.push_back(t[i] - t[i - 1]);
  return g;
}

TEST_F(PacingTest, UntimedFileWaitsOnceThenIsAlwaysDue) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 6, 1), 0), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->FramePeriod, 0u);
  Screen screen;
  Attach(h, screen, 0, 0);
  LoopOptions o;
  o.frames = 12;  // twice round
  o.idle = [] { PacingTest::Tick(); };
  const auto r = PlayLoop(h, o);
  ASSERT_FALSE(r.gave_up);
  ASSERT_EQ(r.frames.size(), 12u);
  EXPECT_EQ(r.frames[0].waits, 1u);
  for (size_t i = 1; i < r.frames.size(); ++i) EXPECT_EQ(r.frames[i].waits, 0u) << "frame " << i;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(VidzoFrameNotDue(h), 0u);
  EXPECT_EQ(h->FramesPlayed, 12u);
  EXPECT_EQ(h->FramesSkipped, 0u);
  EXPECT_EQ(h->FrameDue, 0u) << "an untimed frame is never marked due";
}

TEST_F(PacingTest, TimedFramesFollowOnePeriodApart) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 5, 2), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->FramePeriod, 1000u);
  const auto gaps = Gaps(ShowTimes(h, 9));
  EXPECT_EQ(gaps, std::vector<uint32_t>(8, 10));
  // Once due the frame stays due until the next one is prepared.
  VidzoDecodeFrame(h);
  VidzoAdvanceFrame(h);
  while (VidzoFrameNotDue(h)) Tick();
  EXPECT_EQ(h->FrameDue, 1u);
  EXPECT_EQ(VidzoFrameNotDue(h), 0u);
  Tick(3);
  EXPECT_EQ(VidzoFrameNotDue(h), 0u);
}

TEST_F(PacingTest, FractionalPeriodKeepsItsRateWithoutDrift) {
  // 66.67 ms per frame: frame k is due at 6667 k units after frame 0 and is
  // shown at the first millisecond that reaches it.
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 40, 3), -6667), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  const auto times = ShowTimes(h, 40);
  ASSERT_EQ(times.size(), 40u);
  for (uint32_t k = 0; k < times.size(); ++k) {
    const uint64_t due = uint64_t{times[0]} * 100 + uint64_t{k} * 6667;
    EXPECT_EQ(times[k], (due + 99) / 100) << "frame " << k;
  }
}

TEST_F(PacingTest, StallShowsTheNextFrameAtOnceThenResumesOnePeriodApart) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 12, 4), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  // Frame 4 takes 45 ms (four and a half periods) to show.
  auto gaps = Gaps(ShowTimes(h, 10, 4, 45));
  EXPECT_EQ(gaps, (std::vector<uint32_t>{10, 10, 10, 10, 45, 10, 10, 10, 10}));
}

TEST_F(PacingTest, LagOfLessThanAPeriodIsMadeUp) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 12, 5), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  // 15 ms late: the next frame comes at once and the one after on the old
  // schedule.
  auto gaps = Gaps(ShowTimes(h, 8, 2, 15));
  EXPECT_EQ(gaps, (std::vector<uint32_t>{10, 10, 15, 5, 10, 10, 10}));
}

TEST_F(PacingTest, FrameClockWrapsPast32Bits) {
  // The 10 us clock (milliseconds x 100) wraps at millisecond 42949673.
  platform::SetFakeClock(42949673 - 35);
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 8, 6), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Gaps(ShowTimes(h, 8)), std::vector<uint32_t>(7, 10));
}

TEST_F(PacingTest, MillisecondClockWrapsPast32Bits) {
  // Frames at 2^32 - 50, ..., 2^32 - 10, 0, 10 ms: one falls on millisecond 0.
  platform::SetFakeClock(0xFFFFFFFFu - 49);
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 8, 7), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  Screen screen;
  Attach(h, screen, 0, 0);
  const uint32_t first = Now();
  const auto times = ShowTimes(h, 8);
  EXPECT_EQ(Gaps(times), std::vector<uint32_t>(7, 10));
  EXPECT_EQ(times[5], 0u);
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.TotalMs, Now() - first);
  EXPECT_EQ(s.FramesPlayed, 8u);
  EXPECT_LT(s.SlowestMs, 100u);
  EXPECT_LT(s.DecodeMs + s.BlitMs, 100u);
}

TEST_F(PacingTest, AfterAReadErrorFramesOnlyCountUp) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 4, 8), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  Screen screen;
  Attach(h, screen, 0, 0);
  h->ReadError = 1;  // as a short read leaves it
  const auto before = screen.pixels;
  for (uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(VidzoDecodeFrame(h), 0u);
    EXPECT_EQ(VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET), 0u);
    VidzoAdvanceFrame(h);
    EXPECT_EQ(VidzoFrameNotDue(h), 0u);
  }
  EXPECT_EQ(h->CurrentFrame, 6u);
  EXPECT_EQ(h->FramesPlayed, 0u);
  EXPECT_EQ(screen.pixels, before);
}

TEST_F(PacingTest, NullHandlesDoNothing) {
  EXPECT_EQ(VidzoDecodeFrame(nullptr), 0u);
  EXPECT_EQ(VidzoNextDirtyRect(nullptr, VIDZO_RECTS_BUDGET), 0u);
  VidzoAdvanceFrame(nullptr);
  EXPECT_EQ(VidzoFrameNotDue(nullptr), 0u);
  VidzoSummary s;
  s.FramesPlayed = 7;
  VidzoReadStatistics(nullptr, &s);
  EXPECT_EQ(s.FramesPlayed, 0u);
  VidzoReadStatistics(nullptr, nullptr);
}

}  // namespace
}  // namespace pacing_test
