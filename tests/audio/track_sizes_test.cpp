// The sizes opening a sound track gives its buffer and sound clock, and the
// process-wide tree scratch.
#include <gtest/gtest.h>

#include <cstring>

#include "playback/audio.h"

namespace {

VidzoHandle Handle(uint32_t format, uint32_t period, uint32_t max_size = 0) {
  VidzoHandle h;
  std::memset(&h, 0, sizeof h);
  h.AudioFormat[2] = format;
  h.AudioMaxSize[2] = max_size;
  h.FramePeriod = period;
  return h;
}

TEST(TrackSizes, CdSoundAtTwentyFiveFrames) {
  const VidzoHandle h = Handle(VDZ_AUDIO_PRESENT | VDZ_AUDIO_16BIT | VDZ_AUDIO_STEREO | 44100, 4000, 7059);
  VidzoTrackSizes s;
  ASSERT_EQ(VidzoTrackSizing(&h, 2, &s), 1);
  EXPECT_EQ(s.SampleRate, 44100u);
  EXPECT_EQ(s.Is16Bit, 1u);
  EXPECT_EQ(s.IsStereo, 1u);
  EXPECT_EQ(s.BytesPerSecond, 176400u);
  EXPECT_EQ(s.BytesPerFrame, 7225344u);  // 7056 bytes, x1024
  EXPECT_EQ(s.LatePoint, 90316800u);     // 88200 bytes, x1024
  EXPECT_EQ(s.BufSize, 192512u);         // 2 x 7056 + 176400 = 190512, up to 47 x 4096
  EXPECT_EQ(s.LargestChunk, 7056u);
}

TEST(TrackSizes, SmallTracksGetTwoPages) {
  VidzoTrackSizes s;
  VidzoHandle h = Handle(VDZ_AUDIO_PRESENT | 8000, 0);  // untimed
  ASSERT_EQ(VidzoTrackSizing(&h, 2, &s), 1);
  EXPECT_EQ(s.BytesPerSecond, 8000u);
  EXPECT_EQ(s.BytesPerFrame, 0u);
  EXPECT_EQ(s.LatePoint, 4096000u);
  EXPECT_EQ(s.BufSize, 8192u);
  EXPECT_EQ(s.Is16Bit + s.IsStereo, 0u);

  h = Handle(VDZ_AUDIO_PRESENT | VDZ_AUDIO_COMPRESSED | 11025, 10000, 3);  // 10 frames a second
  ASSERT_EQ(VidzoTrackSizing(&h, 2, &s), 1);
  EXPECT_EQ(s.BytesPerFrame, 1128960u);  // 1102.5 bytes, x1024
  EXPECT_EQ(s.BufSize, 16384u);          // 2 x 1102 + 11025 = 13229
  EXPECT_EQ(s.LargestChunk, 0u);
}

TEST(TrackSizes, TracksThatDoNotOpen) {
  VidzoTrackSizes s;
  std::memset(&s, 0x77, sizeof s);
  VidzoHandle h = Handle(VDZ_AUDIO_PRESENT, 4000);  // rate 0
  EXPECT_EQ(VidzoTrackSizing(&h, 2, &s), 0);
  EXPECT_EQ(VidzoOpenTrack(&h, 2), 0);
  h = Handle(22050, 4000);  // no present bit
  EXPECT_EQ(VidzoTrackSizing(&h, 2, &s), 0);
  EXPECT_EQ(VidzoTrackSizing(&h, 7, &s), 0);
  EXPECT_EQ(VidzoTrackSizing(nullptr, 2, &s), 0);
  // Counts that do not fit the record: half a second of 16-bit stereo at the
  // largest rate, or a frame of a minute at CD rate.
  h = Handle(VDZ_AUDIO_PRESENT | VDZ_AUDIO_16BIT | VDZ_AUDIO_STEREO | VDZ_AUDIO_RATE_MASK, 4000);
  EXPECT_EQ(VidzoTrackSizing(&h, 2, &s), 0);
  h = Handle(VDZ_AUDIO_PRESENT | VDZ_AUDIO_16BIT | VDZ_AUDIO_STEREO | 44100, 6000000);
  EXPECT_EQ(VidzoTrackSizing(&h, 2, &s), 0);
  uint8_t untouched[sizeof s];
  std::memset(untouched, 0x77, sizeof untouched);
  EXPECT_EQ(std::memcmp(&s, untouched, sizeof s), 0);
  // Half a second of the largest byte rate that fits still opens.
  h = Handle(VDZ_AUDIO_PRESENT | 0x7FFFFF, 4000);
  ASSERT_EQ(VidzoTrackSizing(&h, 2, &s), 1);
  EXPECT_EQ(s.BufSize % 4096, 0u);
  EXPECT_GE(s.BufSize, s.BytesPerSecond);
}

TEST(TrackSizes, OpeningStillRefusesEveryTrackUntilThereIsASoundOutput) {
  VidzoHandle h = Handle(VDZ_AUDIO_PRESENT | 22050, 4000);
  EXPECT_EQ(VidzoOpenTrack(&h, 2), 0);
  EXPECT_EQ(h.MemoryInUse, 0u);
}

TEST(TrackSizes, TheTreeScratchIsOneProcessWideArea) {
  void* a = VidzoAudioScratch();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(VidzoAudioScratch(), a);
  EXPECT_EQ(VidzoProcess()->AudioTreeScratch, a);
  // Closing a handle with no track open anywhere releases it.
  ASSERT_EQ(VidzoProcess()->OpenTracks, 0u);
  auto* h = static_cast<VidzoHandle*>(VidzoAllocMemory(nullptr, sizeof(VidzoHandle)));
  ASSERT_NE(h, nullptr);
  std::memset(h, 0, sizeof *h);
  h->FileHandle = -1;
  h->TimingTrack = -1;
  VidzoClose(h);
  EXPECT_EQ(VidzoProcess()->AudioTreeScratch, nullptr);
  EXPECT_NE(VidzoAudioScratch(), nullptr);
}

}  // namespace
