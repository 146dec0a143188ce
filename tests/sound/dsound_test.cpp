// The device-buffer back end with the virtual ring device and the fake
// clock: the service's fill, silence tail and dry stop, the played-bytes
// estimate, the guard and the 10 ms limit, volume and pan.
#include <gtest/gtest.h>

#include <random>

#include "sound/sound_internal.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;

class DirectSoundTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ASSERT_EQ(VidzoSelectDirectSound(nullptr), 1);
  }
  // The service after the 10 ms gap.
  static void Service() {
    Tick(10);
    VidzoSoundService();
  }
};

TEST_F(DirectSoundTest, ChosenOnceAndKept) {
  EXPECT_EQ(VidzoSelectDirectSound(nullptr), 1) << "already the back end";
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  EXPECT_NE(t->DsBuffer, nullptr);
  EXPECT_EQ(t->Device, nullptr);
  EXPECT_EQ(t->OutChunkSize, 4096u);
  EXPECT_EQ(t->Stopped, 1u);
  EXPECT_EQ(VidzoSoundBackEnd()->suspend, nullptr);
}

TEST_F(DirectSoundTest, DryBufferStopsAndRestartsFromOffsetZero) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800), Pattern(1, 800), Pattern(2, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  VidzoFrameSound(h);
  Service();
  EXPECT_EQ(t->Stopped, 0u);
  EXPECT_TRUE(t->DsBuffer->Playing());
  EXPECT_EQ(t->BytesToDevice, 800u);
  EXPECT_EQ(t->WriteOffset, 800u);
  EXPECT_EQ(t->DeviceFree, 4096u - 800u);
  Tick(50);  // 400 bytes played: the sound still plays, nothing is dry
  VidzoSoundService();
  EXPECT_EQ(t->Stopped, 0u);
  EXPECT_EQ(t->Starved.load(), 0u);
  EXPECT_EQ(t->WriteOffset, 800u) << "the next sound goes straight after the last";
  Tick(60);  // the cursor passes the sound, into the silence kept after it
  VidzoSoundService();
  EXPECT_EQ(t->Starved.load(), 1u);
  EXPECT_EQ(t->Stopped, 1u);
  EXPECT_FALSE(t->DsBuffer->Playing());
  EXPECT_EQ(t->DsBuffer->PlayPosition(), 0u);

  Advance(h);
  VidzoFrameSound(h);  // hands over 800 bytes; the service inside ran first
  Service();
  EXPECT_EQ(t->Stopped, 0u);
  EXPECT_EQ(t->WriteOffset, 800u) << "written from offset 0 again";
  EXPECT_EQ(t->BufBytes.load(), 0u);
  EXPECT_EQ(t->BytesToDevice, t->BytesQueued) << "all that was queued is in the device";
  for (int i = 0; i < 40; ++i) Service();
  Bytes played = platform::VirtualSoundPlayed(0);
  // Chunk 0, silence, then what the second hand-over queued (a pad of
  // silence, as the output had run dry, and chunk 1).
  ASSERT_GE(played.size(), 1600u);
  EXPECT_EQ(Bytes(played.begin(), played.begin() + 800), Pattern(0, 800));
  Bytes rest(played.begin() + 800, played.end());
  size_t first_real = 0;
  while (first_real < rest.size() && rest[first_real] == 0x80) ++first_real;
  ASSERT_LE(first_real + 800, rest.size());
  EXPECT_EQ(Bytes(rest.begin() + first_real, rest.begin() + first_real + 800), Pattern(1, 800));
}

TEST_F(DirectSoundTest, EstimateNeverDecreasesNorPassesBytesToDevice) {
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 41; ++i) frames.push_back(Pattern(i, 700 + (i * 37) % 300));
  auto c = MakeContent({SoundKind{}}, {frames}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  std::mt19937 random(7);
  uint32_t last = 0;
  bool rose = false;
  for (int i = 0; i < 40; ++i) {
    VidzoFrameSound(h);
    Advance(h);
    for (int k = 0; k < 6; ++k) {
      Tick(random() % 40);
      uint32_t played = VidzoPlayedBytes(t);
      EXPECT_GE(played, last);
      EXPECT_LE(played, t->BytesToDevice);
      rose = rose || played > last;
      last = played;
    }
  }
  EXPECT_TRUE(rose);
}

TEST_F(DirectSoundTest, PlaysEveryChunkInOrder) {
  std::vector<Bytes> frames;
  Bytes all;
  for (uint32_t i = 0; i < 31; ++i) {
    frames.push_back(Pattern(i, 800));
    if (i < 30) all.insert(all.end(), frames.back().begin(), frames.back().end());
  }
  auto c = MakeContent({SoundKind{}}, {frames}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  for (int i = 0; i < 30; ++i) {
    VidzoFrameSound(h);
    Advance(h);
    if (i < 2) continue;
    for (int k = 0; k < 10; ++k) Service();
  }
  for (int i = 0; i < 60; ++i) Service();
  EXPECT_EQ(t->SoundSkips, 0u);
  EXPECT_EQ(VidzoPlayedBytes(t), 24000u);
  Bytes played = platform::VirtualSoundPlayed(0);
  while (!played.empty() && played.back() == 0x80) played.pop_back();
  EXPECT_TRUE(played == all) << played.size() << " bytes played";
}

TEST_F(DirectSoundTest, GuardAndGapKeepServicesApart) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  VidzoFrameSound(h);
  vidzosound::Sound().guard.store(1);  // another service is working
  Service();
  EXPECT_EQ(t->BytesToDevice, 0u);
  vidzosound::Sound().guard.store(0);
  Service();
  EXPECT_EQ(t->BytesToDevice, 800u);
  Advance(h);  // back to frame 0: flushed
  VidzoFrameSound(h);
  VidzoSoundService();  // within the 10 ms gap, but new sound goes at once
  EXPECT_EQ(t->BytesToDevice, 800u);
  const uint32_t free = t->DeviceFree;
  Tick(5);
  VidzoSoundService();  // nothing new within the gap: the service waits
  EXPECT_EQ(t->DeviceFree, free);
  Service();
  EXPECT_GT(t->DeviceFree, free);
}

TEST_F(DirectSoundTest, VolumeAndPanInHundredthsOfADecibel) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0, 0x60);
  VidzoTrack* t = h->Tracks[0];
  VidzoSoundVolume(h, 0, 40000, 32768);
  EXPECT_EQ(t->DsBuffer->Volume(), 0) << "32768 and above is full volume";
  EXPECT_EQ(t->DsBuffer->Pan(), 0);
  VidzoSoundVolume(h, 0, 16384, 0);
  EXPECT_EQ(t->DsBuffer->Volume(), -5000);
  EXPECT_EQ(t->DsBuffer->Pan(), -10000);
  VidzoSoundVolume(h, 0, 0, 65535);
  EXPECT_EQ(t->DsBuffer->Volume(), -10000);
  EXPECT_EQ(t->DsBuffer->Pan(), 9999);

  VidzoHandle* plain = Open(c, OPEN_TRACK0);  // no volume or pan control
  VidzoSoundVolume(plain, 0, 0, 0);
  EXPECT_EQ(plain->Tracks[0]->DsBuffer->Volume(), 0);
  EXPECT_EQ(plain->Tracks[0]->DsBuffer->Pan(), 0);
}

TEST_F(DirectSoundTest, NoDeviceLeavesTheVideoWithoutSound) {
  options_.fail_open = true;
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  EXPECT_EQ(h->TimingTrack, -1);
  EXPECT_EQ(vidzosound::Sound().ds_object, nullptr) << "the object made for the track is released";
}

}  // namespace
}  // namespace soundtest
