// Streaming frames through the read-ahead ring against a preload, the ring
// frame, the return to frame 0, files cut short and the chunk walk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "playback/container.h"
#include "support/temp_dir.h"
#include "vdz_fixture.h"

namespace {

using vdztest::Advance;
using vdztest::Build;
using vdztest::CurrentRecord;
using vdztest::MakeContent;
using vdztest::RecordOf;

class StreamTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes) {
    std::string path = dir_.File("s.vdz");
    vdztest::WriteBytes(path, bytes);
    return path;
  }
  void TearDown() override {
    VidzoProcess()->OpenTracks = 0;
    VidzoProcess()->Sound = VidzoSoundLink{};
  }
  vidzoer_test::TempDir dir_;
};

// Frames of random sizes, some larger than the ring, some empty.
vidzotools::VdzContent RandomContent(uint32_t count, uint32_t seed, bool ring) {
  std::mt19937 rng(seed);
  std::vector<size_t> sizes(count);
  for (auto& s : sizes) {
    uint32_t kind = rng() % 10;
    s = kind == 0 ? 0 : kind < 3 ? 9000 + rng() % 40000 : rng() % 5000;
  }
  auto c = MakeContent(sizes, count, 40);
  c.audio_format[1] = VDZ_AUDIO_PRESENT | 11025;
  for (uint32_t i = 0; i < count; i += 3) {
    vidzotools::VdzAudioChunk a;
    a.track = 1;
    a.body = vdztest::VideoBytes(5000 + i, rng() % 700);
    a.decoded_size = 1000;
    c.frames[i].audio.push_back(a);
  }
  if (ring) {
    c.has_ring = true;
    c.ring.video = vdztest::VideoBytes(77777, 1234);
  }
  return c;
}

TEST_F(StreamTest, SmallRingDeliversTheSameRecordsAsAPreload) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    bool ring = seed == 2;
    auto content = RandomContent(60, seed, ring);
    auto bytes = Build(content);
    std::string path = Write(bytes);
    VidzoHandle* s = VidzoOpen(path.c_str(), 0, 8192);
    VidzoHandle* p = VidzoOpen(path.c_str(), OPEN_PRELOAD, 0xFFFFFFFFu);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(s->RingSize, 8192u);
    ASSERT_EQ(p->RingBase, nullptr);
    uint32_t n = s->FrameCount + (ring ? 1 : 0);
    // Three passes, reading ahead at varying moments.
    uint32_t expected = 0;
    for (uint32_t step = 0; step < 3 * n; ++step) {
      ASSERT_EQ(s->CurrentFrame, expected);
      ASSERT_EQ(p->CurrentFrame, expected);
      auto record = RecordOf(bytes, expected);
      ASSERT_EQ(CurrentRecord(s), record) << "frame " << expected << " step " << step;
      ASSERT_EQ(CurrentRecord(p), record);
      EXPECT_EQ(s->VideoOffset, p->VideoOffset);
      EXPECT_EQ(s->VideoData - s->CurrentChunk, p->VideoData - p->CurrentChunk);
      EXPECT_EQ(s->AudioChunk[1] != nullptr, expected % 3 == 0 && expected < s->FrameCount);
      EXPECT_EQ(std::memcmp(s->Palette, p->Palette, 768), 0);
      for (uint32_t k = 0; k < step % 4; ++k) VidzoReadAhead(s);
      ASSERT_LE(s->RingBytes, s->RingSize + 4096);
      Advance(s);
      Advance(p);
      expected = expected + 1 < n ? expected + 1 : (ring ? 1 : 0);
    }
    EXPECT_EQ(s->ReadError, 0u);
    EXPECT_GT(s->RingPeak, 4096u);
    VidzoClose(s);
    VidzoClose(p);
  }
}

TEST_F(StreamTest, RingFrameInSequenceThenFrameOne) {
  auto content = MakeContent({6000, 3000}, 8);
  content.has_ring = true;
  content.ring.video = vdztest::VideoBytes(4242, 5000);
  auto bytes = Build(content);
  std::string path = Write(bytes);
  for (uint32_t flags : {0u, OPEN_PRELOAD}) {
    VidzoHandle* h = VidzoOpen(path.c_str(), flags, 8192);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->PaletteChanged, 1u);
    for (uint32_t i = 1; i < 8; ++i) Advance(h);
    Advance(h);
    EXPECT_EQ(h->CurrentFrame, 8u);
    EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 8));
    EXPECT_NE(h->Palette[3 * 63], 0);  // the palette survives the ring frame
    Advance(h);
    EXPECT_EQ(h->CurrentFrame, 1u);
    EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 1));
    EXPECT_NE(h->Palette[3 * 63], 0);
    Advance(h);
    EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 2));
    VidzoClose(h);
  }
}

TEST_F(StreamTest, WrapToFrameZeroClearsThePaletteFirst) {
  uint8_t black[768] = {}, red[768] = {};
  for (int i = 0; i < 256; ++i) red[3 * i] = 255;
  uint8_t frame0[768] = {};
  frame0[0] = frame0[1] = frame0[2] = 255;  // entry 0 white, the rest kept
  auto content = MakeContent({3000}, 6);
  content.frames[0].palette = vidzotools::EncodePaletteChunk(black, frame0);
  content.frames[3].palette = vidzotools::EncodePaletteChunk(frame0, red);
  auto bytes = Build(content);
  std::string path = Write(bytes);
  for (uint32_t flags : {0u, OPEN_PRELOAD}) {
    VidzoHandle* h = VidzoOpen(path.c_str(), flags, 8192);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::memcmp(h->Palette, frame0, 768), 0);
    EXPECT_EQ(h->PaletteChanged, 1u);
    EXPECT_EQ(h->PaletteDirty, 1u);
    h->LastPaletteFrame = 0;  // the player reported frame 0's palette
    h->PaletteDirty = 0;
    Advance(h);
    EXPECT_EQ(h->PaletteChanged, 0u);
    Advance(h);
    Advance(h);
    EXPECT_EQ(std::memcmp(h->Palette, red, 768), 0);
    EXPECT_EQ(h->PaletteChanged, 1u);
    h->LastPaletteFrame = 3;
    Advance(h);
    Advance(h);
    Advance(h);  // past the last frame: back to frame 0
    EXPECT_EQ(h->CurrentFrame, 0u);
    // Cleared, then entry 0 set and the rest kept: black again, not red.
    EXPECT_EQ(std::memcmp(h->Palette, frame0, 768), 0);
    EXPECT_EQ(h->PaletteChanged, 1u);  // frame 3's was the last reported
    EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 0));
    VidzoClose(h);
  }
}

TEST_F(StreamTest, SeekWithinTheHeldBytesReadsNothing) {
  auto content = MakeContent({1500}, 40);
  auto bytes = Build(content);
  VidzoHandle* h = VidzoOpen(Write(bytes).c_str(), OPEN_FILL_READAHEAD, 16384);
  ASSERT_NE(h, nullptr);
  uint32_t read_before = h->BytesRead;
  h->CurrentFrame = 4;
  VidzoSeekFrame(h);
  EXPECT_EQ(h->BytesRead, read_before);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 4));
  h->CurrentFrame = 30;  // beyond the held bytes: repositions
  VidzoSeekFrame(h);
  EXPECT_GT(h->BytesRead, read_before);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 30));
  Advance(h);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 31));
  VidzoClose(h);
}

TEST_F(StreamTest, FileCutShortWhilePlaying) {
  auto content = MakeContent({2000, 7000, 300}, 30);
  auto bytes = Build(content);
  std::string path = Write(bytes);
  VidzoHandle* h = VidzoOpen(path.c_str(), 0, 8192);
  ASSERT_NE(h, nullptr);
  uint32_t cut = h->FirstFrameOffset + 20000;
  ASSERT_EQ(::truncate(path.c_str(), cut), 0);
  uint32_t offset = h->FirstFrameOffset;
  for (uint32_t i = 0; i < 30; ++i) {
    auto record = RecordOf(bytes, i);
    auto got = CurrentRecord(h);
    ASSERT_EQ(got.size(), record.size());
    // Bytes before the cut are right, the rest reads as zeros.
    for (size_t k = 0; k < record.size(); ++k) {
      uint8_t want = offset + k < cut ? record[k] : 0;
      ASSERT_EQ(got[k], want) << "frame " << i << " byte " << k;
    }
    if (offset + record.size() <= cut) {
      EXPECT_EQ(h->ReadError, 0u) << i;
    }
    offset += static_cast<uint32_t>(record.size());
    Advance(h);
  }
  EXPECT_EQ(h->ReadError, 1u);
  // Still usable: back at frame 0, which lies before the cut.
  EXPECT_EQ(h->CurrentFrame, 0u);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 0));
  Advance(h);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 1));
  EXPECT_EQ(h->ReadError, 1u);
  VidzoClose(h);
}

TEST_F(StreamTest, PipeCutShortPreloadsWhatArrives) {
  auto bytes = Build(MakeContent({1000}, 20));
  std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1500);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], cut.data(), cut.size()), static_cast<ssize_t>(cut.size()));
  ::close(fds[1]);
  VidzoHandle* h = VidzoOpenFd(fds[0], OPEN_PRELOAD, 0xFFFFFFFFu);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->ReadError, 1u);
  for (uint32_t i = 0; i < 25; ++i) Advance(h);
  EXPECT_EQ(h->CurrentFrame, 5u);
  EXPECT_EQ(CurrentRecord(h), RecordOf(bytes, 5));
  VidzoClose(h);
  ::close(fds[0]);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(StreamTest, ChunksLongerThanTheRecordLeaveNoVideo) {
  auto content = MakeContent({100}, 4);
  content.audio_format[0] = VDZ_AUDIO_PRESENT | 8000;
  content.audio_format[3] = VDZ_AUDIO_PRESENT | 8000;
  for (auto& f : content.frames) {
    f.palette = std::vector<uint8_t>{1, 0xFF, 0xFF, 0};
    f.audio.push_back({0, std::vector<uint8_t>(10, 1), 10});
    f.audio.push_back({3, std::vector<uint8_t>(6, 2), 6});
  }
  auto bytes = Build(content);
  uint32_t first = 104 + 5 * 4 + 1;
  uint32_t record = 4 + 14 + 10 + 100;
  // Frame 1: the palette chunk claims 1020 bytes. Frame 2: track 0's chunk
  // claims more than is left. Frame 3: track 3's chunk claims 2 bytes.
  bytes[first + record] = 255;
  Put32(bytes, first + 2 * record + 4, 5000);
  Put32(bytes, first + 3 * record + 4 + 14, 2);
  for (uint32_t flags : {0u, OPEN_PRELOAD}) {
    VidzoHandle* h = VidzoOpen(Write(bytes).c_str(), flags, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->VideoOffset, 28u);
    EXPECT_EQ(h->AudioChunk[0], h->CurrentChunk + 4);
    EXPECT_EQ(h->AudioChunk[3], h->CurrentChunk + 18);
    Advance(h);
    EXPECT_EQ(h->VideoOffset, record);
    EXPECT_EQ(h->VideoData, h->CurrentChunk + record);
    EXPECT_EQ(h->AudioChunk[0], nullptr);
    EXPECT_EQ(h->AudioChunk[3], nullptr);
    Advance(h);
    EXPECT_EQ(h->AudioChunk[0], nullptr);
    EXPECT_EQ(h->AudioChunk[3], nullptr);
    EXPECT_EQ(h->VideoOffset, record);
    Advance(h);
    EXPECT_NE(h->AudioChunk[0], nullptr);
    EXPECT_EQ(h->AudioChunk[3], nullptr);
    EXPECT_EQ(h->VideoOffset, record);
    VidzoClose(h);
  }
}

TEST_F(StreamTest, SoundRefillOnlyWhileATrackIsOpen) {
  static int calls = 0;
  calls = 0;
  VidzoProcess()->Sound.refill = [] { ++calls; };
  auto bytes = Build(MakeContent({30000, 200}, 20));
  std::string path = Write(bytes);
  VidzoHandle* h = VidzoOpen(path.c_str(), 0, 8192);
  ASSERT_NE(h, nullptr);
  for (int i = 0; i < 5; ++i) Advance(h);
  EXPECT_EQ(calls, 0);
  VidzoProcess()->OpenTracks = 1;
  Advance(h);  // a 30000-byte frame: direct pieces, each followed by a refill
  EXPECT_GE(calls, 2);
  VidzoProcess()->OpenTracks = 0;
  VidzoClose(h);
}

}  // namespace
