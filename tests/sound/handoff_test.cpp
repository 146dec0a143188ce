// The frame sound hand-off and the wave-output back end, with the virtual
// devices and the fake clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/clock.h"
#include "platform/debuglog.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;

// Runs the service with the clock moving until the devices have played all.
void Drain() {
  for (int i = 0; i < 200; ++i) {
    SoundTest::Tick(50);
    VidzoSoundService();
  }
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes BufferBytes(const VidzoTrack* t, uint32_t from, uint32_t n) {
  Bytes out;
  for (uint32_t i = 0; i < n; ++i) out.push_back(t->BufStart[(from + i) % t->BufSize]);
  return out;
}

class HandOffTest : public SoundTest {};

TEST_F(HandOffTest, FrameWithoutTimingChunkFeedsNoTrack) {
  SoundKind kind;
  auto c = MakeContent(
      {kind, kind},
      {{Pattern(0, 800), {}, Pattern(2, 800)}, {Pattern(10, 800), Pattern(11, 800), Pattern(12, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0 | OPEN_TRACK1);
  ASSERT_EQ(h->TimingTrack, 0);
  ASSERT_NE(h->Tracks[1], nullptr);
  EXPECT_EQ(VidzoProcess()->OpenTracks, 2u);

  VidzoFrameSound(h);
  EXPECT_EQ(h->Tracks[0]->BytesQueued, 800u);
  EXPECT_EQ(h->Tracks[1]->BytesQueued, 800u);
  EXPECT_EQ(h->Tracks[0]->NoSoundThisFrame, 0u);
  Advance(h);
  VidzoFrameSound(h);
  EXPECT_EQ(h->Tracks[0]->NoSoundThisFrame, 1u);
  EXPECT_EQ(h->Tracks[1]->BytesQueued, 800u) << "track 1 has a chunk but must not be fed";
  Advance(h);
  VidzoFrameSound(h);
  EXPECT_EQ(h->Tracks[0]->BytesQueued, 1600u);
  EXPECT_EQ(h->Tracks[1]->BytesQueued, 1600u);

  Drain();
  Bytes probe(4, 0x80);
  EXPECT_EQ(platform::VirtualSoundPlayed(0), Concat({probe, Pattern(0, 800), Pattern(2, 800)}));
  EXPECT_EQ(platform::VirtualSoundPlayed(1), Concat({probe, Pattern(10, 800), Pattern(12, 800)}));
}

TEST_F(HandOffTest, FirstFrameIsNeverPadded) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 400), Pattern(1, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->LargestChunk, 800u);
  VidzoSoundService();
  ASSERT_EQ(t->Starved.load(), 1u) << "nothing written yet: the output is dry";
  VidzoFrameSound(h);
  EXPECT_EQ(t->SoundSkips, 0u);
  EXPECT_EQ(t->BytesQueued, 400u);
  EXPECT_EQ(BufferBytes(t, 0, 400), Pattern(0, 400));
}

// After hours of sound the byte counts wrap at 2^32; the frame whose
// hand-off wraps BytesQueued keeps its clock (it is not a frame beyond the
// queued sound, which would make the picture wait for everything queued).
TEST_F(HandOffTest, TheQueuedCountWrapsWithoutMovingTheClock) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800), Pattern(1, 800), Pattern(2, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  VidzoFrameSound(h);
  ASSERT_EQ(t->BytesQueued, 800u);
  ASSERT_EQ(t->DueBase, 0u);
  const uint32_t shift = 0xFFFFFFFFu - 1000;  // 1000 bytes before the wrap
  t->BytesQueued += shift;
  t->DueBase += shift;
  Advance(h);
  VidzoFrameSound(h);
  EXPECT_EQ(t->BytesQueued, shift + 1600u);  // wrapped past 0
  EXPECT_LT(t->BytesQueued, 1000u);
  EXPECT_EQ(t->DueBase, shift) << "the clock was moved at the wrap";
  EXPECT_EQ(t->DuePoint, 2 * t->BytesPerFrame);
  Advance(h);
  VidzoFrameSound(h);
  EXPECT_EQ(t->DueBase, shift);
  EXPECT_EQ(t->DuePoint, 3 * t->BytesPerFrame);
}

// Starvation pads the next chunk with silence up to the largest chunk and
// moves DueBase by the pad; checked for the silence of both sample sizes.
// Frames: 800 and 1600 bytes played normally, then a dry output before two
// chunks of 400.
void CheckStarvationPad(VidzoHandle* h, uint8_t silence) {
  VidzoTrack* t = h->Tracks[0];
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < 2; ++i) {
    VidzoFrameSound(h);
    VidzoSoundService();
    Advance(h);
  }
  EXPECT_EQ(t->SoundSkips, 0u);
  SoundTest::Tick(350);  // all 2400 bytes (300 ms) have played: dry
  VidzoFrameSound(h);    // 400 bytes, padded by 1200
  EXPECT_EQ(t->SoundSkips, 1u);
  EXPECT_EQ(t->BytesQueued, 4000u);
  EXPECT_EQ(t->DueBase, 1200u);
  EXPECT_EQ(t->DuePoint, 3 * t->BytesPerFrame);
  EXPECT_EQ(BufferBytes(t, 2400, 1200), Bytes(1200, silence));
  EXPECT_EQ(BufferBytes(t, 3600, 400), Pattern(2, 400));
  Advance(h);
  VidzoFrameSound(h);  // the pad has been seen: no second pad
  EXPECT_EQ(t->SoundSkips, 1u);
  EXPECT_EQ(t->BytesQueued, 4400u);
}

TEST_F(HandOffTest, StarvationPadsWith8BitSilence) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800), Pattern(1, 1600), Pattern(2, 400), Pattern(3, 400)}},
                       100);
  CheckStarvationPad(Open(c, OPEN_TRACK0), 0x80);
}

TEST_F(HandOffTest, StarvationPadsWith16BitSilence) {
  SoundKind kind{.rate = 4000, .sixteen = true, .stereo = false};  // 8000 bytes a second as well
  auto c = MakeContent({kind}, {{Pattern(0, 800), Pattern(1, 1600), Pattern(2, 400), Pattern(3, 400)}}, 100);
  CheckStarvationPad(Open(c, OPEN_TRACK0), 0x00);
}

TEST_F(HandOffTest, FullBufferCutsTheChunkAndCountsOverflows) {
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 15; ++i) frames.push_back(Pattern(i, 3000));  // no wrap to frame 0
  auto c = MakeContent({SoundKind{}}, {frames}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  ASSERT_EQ(t->BufSize, 12288u);
  // The clock stands still: after the eight blocks are written nothing
  // drains; four more chunks fill the buffer but for 288 bytes.
  for (int i = 0; i < 14; ++i) {
    VidzoFrameSound(h);
    Advance(h);
  }
  EXPECT_EQ(t->Overflows, 2u);
  EXPECT_EQ(t->BufBytes.load(), t->BufSize);
  EXPECT_EQ(t->BytesQueued, 12 * 3000u + 288u);
  // The cut chunk keeps its first bytes, just before the oldest held byte.
  uint32_t read = static_cast<uint32_t>(t->BufRead - t->BufStart);
  EXPECT_EQ(BufferBytes(t, read + t->BufSize - 288, 288), Pattern(12, 288));
  EXPECT_EQ(BufferBytes(t, read, 100), Pattern(8, 100)) << "chunks 0 to 7 went to the eight blocks";
}

TEST_F(HandOffTest, WaveOutPlayedBytesRiseWithTheDeviceAndStopAtBytesWritten) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800), Pattern(1, 1600)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  EXPECT_EQ(VidzoPlayedBytes(t), 0u) << "nothing written yet (the probe does not count)";
  VidzoFrameSound(h);
  VidzoSoundService();  // 800 bytes = 100 ms from now
  EXPECT_EQ(VidzoPlayedBytes(t), 0u);
  Tick(25);
  EXPECT_EQ(VidzoPlayedBytes(t), 200u);
  Tick(25);
  EXPECT_EQ(VidzoPlayedBytes(t), 400u);
  Tick(50);
  EXPECT_EQ(VidzoPlayedBytes(t), 800u);
  Tick(300);
  EXPECT_EQ(VidzoPlayedBytes(t), 800u) << "never past the bytes written";
  // The next block plays from when it is written.
  Advance(h);
  VidzoFrameSound(h);
  VidzoSoundService();
  EXPECT_EQ(VidzoPlayedBytes(t), 800u);
  Tick(100);
  EXPECT_EQ(VidzoPlayedBytes(t), 1600u);
  Tick(500);
  EXPECT_EQ(VidzoPlayedBytes(t), 2400u);
}

TEST_F(HandOffTest, PlayedBytesFollowTheDeviceOverAWholeFile) {
  std::vector<Bytes> frames;
  Bytes all;
  for (uint32_t i = 0; i < 21; ++i) {  // the last is never handed over: no wrap
    frames.push_back(Pattern(i, 800));
    if (i == 20) break;
    all.insert(all.end(), frames.back().begin(), frames.back().end());
  }
  auto c = MakeContent({SoundKind{}}, {frames}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  uint32_t last = 0;
  for (int i = 0; i < 20; ++i) {
    VidzoFrameSound(h);
    Advance(h);
    if (i < 2) continue;  // two frames ahead of the output
    for (int step = 0; step < 10; ++step) {
      Tick(10);
      uint32_t played = VidzoPlayedBytes(t);
      EXPECT_GE(played, last);
      EXPECT_LE(played, t->BytesQueued - t->BufBytes.load());
      last = played;
    }
  }
  Drain();
  EXPECT_EQ(VidzoPlayedBytes(t), 16000u);
  EXPECT_EQ(t->SoundSkips, 0u);
  Bytes played = platform::VirtualSoundPlayed(0);
  EXPECT_EQ(played.size(), all.size() + 4);
  EXPECT_TRUE(played == Concat({Bytes(4, 0x80), all}));
}

TEST_F(HandOffTest, SoundOffAndOnAroundAJump) {
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 14; ++i) frames.push_back(Pattern(i, 800));
  frames[3] = Pattern(3, 1000);  // the largest chunk
  auto c = MakeContent({SoundKind{}}, {frames}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  // Ten frames at once: eight go to the device's blocks, two stay held.
  for (int i = 0; i < 10; ++i) {
    VidzoFrameSound(h);
    Advance(h);
  }
  const uint32_t handed = 9 * 800 + 1000;
  VidzoSoundService();
  Tick(1000);  // what the device was given has played
  uint32_t held = t->BufBytes.load();
  ASSERT_GT(held, 0u);
  EXPECT_EQ(VidzoSoundOnOff(h, 0), 1u);
  EXPECT_EQ(h->SoundSyncOff, 1u);
  EXPECT_EQ(t->Device, nullptr) << "suspended";
  EXPECT_EQ(t->BufBytes.load(), 0u);
  EXPECT_EQ(t->BytesQueued, handed - held);
  EXPECT_EQ(t->BufRead, t->BufStart);
  VidzoFrameSound(h);  // ignored while off
  EXPECT_EQ(t->BytesQueued, handed - held);
  EXPECT_EQ(VidzoSoundOnOff(h, 0), 1u) << "already off: nothing changes";

  h->CurrentFrame = 12;
  VidzoSeekFrame(h);
  VidzoPrepareFrame(h);
  uint32_t queued = t->BytesQueued;
  EXPECT_EQ(VidzoSoundOnOff(h, 1), 1u);
  EXPECT_EQ(h->SoundSyncOff, 0u);
  ASSERT_NE(t->Device, nullptr) << "resumed";
  uint32_t played = VidzoPlayedBytes(t);
  EXPECT_EQ(t->DueBase, played);
  EXPECT_EQ(t->DuePoint, 0u);
  uint32_t ahead = queued - played;
  ASSERT_LT(ahead, 1000u);
  uint32_t silence = (1000 - ahead) & ~3u;
  EXPECT_EQ(t->BytesQueued, queued + silence) << "a largest chunk queued beyond the played position";
  EXPECT_EQ(BufferBytes(t, 0, silence), Bytes(silence, 0x80));
  uint32_t skips = t->SoundSkips;
  VidzoFrameSound(h);  // padded when the reopened device had run dry
  EXPECT_EQ(t->BytesQueued, queued + silence + 800 + (t->SoundSkips - skips) * 200);
}

TEST_F(HandOffTest, SoundOnOffNeedsATimingTrack) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, 0);
  EXPECT_EQ(h->TimingTrack, -1);
  EXPECT_EQ(VidzoSoundOnOff(h, 0), 0u);
  EXPECT_EQ(VidzoSoundOnOff(nullptr, 1), 0u);
}

TEST_F(HandOffTest, WaveOutVolumeAndPan) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  VidzoSoundVolume(h, 0, 65535, 32768);
  EXPECT_EQ(t->Device->Volume(), 0xFFFFFFFFu) << "full volume";
  VidzoSoundVolume(h, 0, 100000, 16384);
  EXPECT_EQ(t->Device->Volume(), (32767u << 16) | 65535u) << "right halved";
  VidzoSoundVolume(h, 0, 65535, 49152);
  EXPECT_EQ(t->Device->Volume(), (65535u << 16) | 32767u) << "left halved";
  VidzoSoundVolume(h, 0, 1000, 0);
  EXPECT_EQ(t->Device->Volume(), 1000u) << "right silent";
}

TEST_F(HandOffTest, RestartAtFrameZeroFlushes) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800), Pattern(1, 800), Pattern(2, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  VidzoTrack* t = h->Tracks[0];
  for (int i = 0; i < 3; ++i) {
    VidzoFrameSound(h);
    VidzoSoundService();
    Advance(h);
  }
  EXPECT_EQ(h->CurrentFrame, 0u) << "wrapped";
  EXPECT_EQ(t->BytesQueued, 0u);
  EXPECT_EQ(t->BufBytes.load(), 0u);
  EXPECT_EQ(t->DueBase, 0u);
  EXPECT_EQ(t->DuePoint, 0u);
  EXPECT_EQ(VidzoPlayedBytes(t), 0u) << "the played bytes start again";
  EXPECT_EQ(t->BufWrite, t->BufStart);
  VidzoFrameSound(h);
  EXPECT_EQ(t->BytesQueued, 800u);
}

TEST_F(HandOffTest, NoDeviceLeavesTheVideoWithoutSound) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* plain = Open(c, 0);
  uint32_t memory = plain->MemoryInUse;
  options_.fail_open = true;
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  EXPECT_EQ(h->TimingTrack, -1);
  EXPECT_EQ(h->Tracks[0], nullptr);
  EXPECT_EQ(h->OpenFlags & OPEN_TRACKS_MASK, 0u);
  EXPECT_EQ(h->MemoryInUse, memory);
  EXPECT_EQ(VidzoProcess()->OpenTracks, 0u);
  VidzoFrameSound(h);  // nothing to feed
}

TEST_F(HandOffTest, ProbeThatNeverFinishesRefusesTheTrack) {
  options_.blocks_never_end = true;
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0);
  EXPECT_EQ(h->TimingTrack, -1);
  EXPECT_EQ(h->Tracks[0], nullptr);
}

TEST_F(HandOffTest, ClosingReleasesTracksAndScratch) {
  auto c = MakeContent({SoundKind{}, SoundKind{}}, {{Pattern(0, 800)}, {Pattern(1, 800)}}, 100);
  VidzoHandle* h = Open(c, OPEN_TRACK0 | OPEN_TRACK1);
  EXPECT_EQ(VidzoProcess()->OpenTracks, 2u);
  EXPECT_NE(VidzoProcess()->AudioTreeScratch, nullptr);
  Close(h);
  EXPECT_EQ(VidzoProcess()->OpenTracks, 0u);
  EXPECT_EQ(VidzoProcess()->AudioTreeScratch, nullptr);
}

TEST_F(HandOffTest, DirectSoundCannotBeChosenAfterWaveOutOpened) {
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  Open(c, OPEN_TRACK0);
  const VidzoSoundOps* wave = VidzoSoundBackEnd();
  ASSERT_NE(wave, nullptr);
  EXPECT_EQ(VidzoSelectDirectSound(nullptr), 0);
  EXPECT_EQ(VidzoSoundBackEnd(), wave);
}

TEST_F(HandOffTest, DebugLogNamesTheBackEndAndOpenErrors) {
  vidzoer_test::TempDir logs;
  std::string log = logs.File("debug.log");
  setenv("VIDZOER_DEBUG", "1", 1);
  setenv("VIDZOER_DEBUG_LOG", log.c_str(), 1);
  platform::ResetDebugForTests();
  auto c = MakeContent({SoundKind{}}, {{Pattern(0, 800)}}, 100);
  Close(Open(c, OPEN_TRACK0));
  options_.fail_open = true;
  Open(c, OPEN_TRACK0);
  unsetenv("VIDZOER_DEBUG");
  unsetenv("VIDZOER_DEBUG_LOG");
  platform::ResetDebugForTests();
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Using standard waveOut\n"), std::string::npos);
  EXPECT_NE(text.str().find("WaveOut open failed - error #: 2\n"), std::string::npos);
}

}  // namespace
}  // namespace soundtest
