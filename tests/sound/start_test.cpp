// How an idle output starts, on both back ends, with the virtual devices and
// the fake clock: the device waits until it holds a hand-over's worth of
// sound, so that frames whose decoding lags behind the first one's sound do
// not leave silence between their sounds; sound that stays short of that
// starts after waiting as long as a hand-over lasts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sound_fixture.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;

// 8000 Hz 8-bit mono: 8 bytes a millisecond; a 30 ms hand-over is 240 bytes.
constexpr uint32_t kHandOverMs = 30;
constexpr uint32_t kBytesPerMs = 8;

struct StartCase {
  const char* name;
  bool ring;          // the device-buffer back end, else the wave output
  uint32_t frame_ms;  // each frame's sound
  uint32_t frames;
  uint32_t late_ms;  // how long after the first frame's sound the second comes
};

class OutputStartTest : public SoundTest, public ::testing::WithParamInterface<StartCase> {
 protected:
  void SetUp() override {
    options_.hand_over_ms = kHandOverMs;
    SoundTest::SetUp();
    if (GetParam().ring) {
      ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
    }
  }
};

// The bytes a device played with its leading and trailing silence (and the
// wave output's probe, which is silence) left out.
Bytes Trimmed(Bytes played) {
  while (!played.empty() && played.back() == 0x80) played.pop_back();
  const auto first = std::find_if(played.begin(), played.end(), [](uint8_t b) { return b != 0x80; });
  return Bytes(first, played.end());
}

// The player's part: the first frame's sound, then the next one `late_ms`
// later (its decoding was slow), then one frame each frame period, with the
// output serviced every millisecond. Once the device plays, what it has
// played must grow by a millisecond's worth every millisecond until all of
// it has played: no gap.
TEST_P(OutputStartTest, SoundPlaysWithoutAGapFromItsStart) {
  const StartCase& c = GetParam();
  std::vector<Bytes> chunks;
  Bytes all;
  for (uint32_t i = 0; i <= c.frames; ++i) {  // one more: the last frame is never handed over
    chunks.push_back(Pattern(i, c.frame_ms * kBytesPerMs));
    if (i < c.frames) all.insert(all.end(), chunks.back().begin(), chunks.back().end());
  }
  VidzoHandle* h = Open(MakeContent({SoundKind{}}, {chunks}, static_cast<int32_t>(c.frame_ms)), OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->HandOver, kHandOverMs * kBytesPerMs);

  uint32_t handed = 0, next_ms = 0, last_played = 0;
  int started_at = -1;
  const uint32_t total = static_cast<uint32_t>(all.size());
  for (uint32_t ms = 0; ms < 4000 && last_played < total; ++ms) {
    while (handed < c.frames && ms >= next_ms) {
      VidzoFrameSound(h);
      Advance(h);
      next_ms = (handed == 0 ? c.late_ms : next_ms + c.frame_ms);
      ++handed;
    }
    VidzoSoundService();
    const uint32_t played = VidzoPlayedBytes(t);
    if (started_at < 0 && played > 0)
      started_at = static_cast<int>(ms) - static_cast<int>(played / kBytesPerMs);
    if (started_at >= 0) {
      const uint32_t want = std::min(total, (ms - static_cast<uint32_t>(started_at)) * kBytesPerMs);
      ASSERT_GE(played + kBytesPerMs, want)
          << "at " << ms << " ms the device fell behind what it started with";
    }
    last_played = played;
    Tick(1);
  }
  EXPECT_EQ(last_played, total);
  EXPECT_EQ(t->SoundSkips, 0u);
  EXPECT_TRUE(Trimmed(platform::VirtualSoundPlayed(0)) == all) << "the sound with silence inside it";
}

// One short piece of sound alone (less than a hand-over) is not held back
// for ever: it starts once it has waited a hand-over's time, and plays whole.
TEST_P(OutputStartTest, ShortSoundAloneStartsAfterTheHandOverTime) {
  const StartCase& c = GetParam();
  const Bytes only = Pattern(5, 10 * kBytesPerMs);
  VidzoHandle* h = Open(MakeContent({SoundKind{}}, {{only, only}}, 100), OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  VidzoFrameSound(h);
  uint32_t started_ms = 0;
  for (uint32_t ms = 0; ms < 200 && started_ms == 0; ++ms) {
    Tick(1);
    VidzoSoundService();
    if (VidzoPlayedBytes(t) > 0) started_ms = ms;
  }
  EXPECT_GE(started_ms, kHandOverMs - 1);
  EXPECT_LE(started_ms, kHandOverMs + (c.ring ? 12u : 2u));  // the ring's service runs at most every 10 ms
  for (int i = 0; i < 100; ++i) {
    Tick(5);
    VidzoSoundService();
  }
  EXPECT_EQ(VidzoPlayedBytes(t), only.size());
  EXPECT_TRUE(Trimmed(platform::VirtualSoundPlayed(0)) == only);
}

const StartCase kStarts[] = {
    {"WaveOut10msFramesSecondLate", false, 10, 40, 25}, {"WaveOut40msFramesOnTime", false, 40, 12, 0},
    {"Ring10msFramesSecondLate", true, 10, 40, 25},     {"Ring20msFramesSecondLate", true, 20, 30, 35},
    {"Ring40msFramesOnTime", true, 40, 12, 0},
};

INSTANTIATE_TEST_SUITE_P(Outputs, OutputStartTest, ::testing::ValuesIn(kStarts),
                         [](const ::testing::TestParamInfo<StartCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace soundtest
