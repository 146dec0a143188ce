// Opening .vdz files: header checks, timing, buffering choice, frame
// statistics, the open flags and every failure of open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/clock.h"
#include "playback/container.h"
#include "support/temp_dir.h"
#include "vdz_fixture.h"

namespace {

using vdztest::Build;
using vdztest::LogCapture;
using vdztest::MakeContent;
using vdztest::WriteBytes;

class OpenTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "a.vdz") {
    std::string path = dir_.File(name);
    WriteBytes(path, bytes);
    return path;
  }
  VidzoHandle* Open(const std::vector<uint8_t>& bytes, uint32_t flags = 0, uint32_t extra = 0xFFFFFFFFu) {
    return VidzoOpen(Write(bytes).c_str(), flags, extra);
  }
  void TearDown() override {
    vidzo::FailAllocationForTests(0);
    VidzoSetFrameRate(0);
    VidzoSetSimulatedRate(0);
    platform::UseRealClock();
  }
  vidzoer_test::TempDir dir_;
};

bool FdIsOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST_F(OpenTest, RejectsAnythingButTheMagic) {
  auto good = Build(MakeContent({100}, 3));
  for (const char* magic : {"VDZ1", "VDZ3", "vdz2", "RIFF", "\0\0\0\0"}) {
    LogCapture log;
    auto bytes = good;
    std::memcpy(bytes.data(), magic, 4);
    EXPECT_EQ(Open(bytes), nullptr) << magic;
    EXPECT_NE(log.Text().find("Wasn't a Vidzoer file\n"), std::string::npos);
  }
  LogCapture log;
  VidzoHandle* h = Open(good);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(std::memcmp(h->Magic, "VDZ2", 4), 0);
  EXPECT_EQ(h->Width, 32u);
  EXPECT_EQ(h->Height, 16u);
  EXPECT_EQ(h->FrameCount, 3u);
  std::string text = log.Text();
  EXPECT_NE(text.find("VidzoOpen - file: " + dir_.File("a.vdz") + "\n"), std::string::npos);
  EXPECT_NE(text.find("VidzoOpen returned: " + std::to_string(reinterpret_cast<uintptr_t>(h)) + "\n"),
            std::string::npos);
  VidzoClose(h);
  EXPECT_NE(log.Text().find("VidzoClose: " + std::to_string(reinterpret_cast<uintptr_t>(h)) + "\n"),
            std::string::npos);
}

TEST_F(OpenTest, MissingFileOrBadHandleOrShortFile) {
  LogCapture log;
  EXPECT_EQ(VidzoOpen(dir_.File("none.vdz").c_str(), 0, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(VidzoOpenFd(-1, 0, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(VidzoOpen(nullptr, 0, 0), nullptr);
  std::string text = log.Text();
  EXPECT_NE(text.find("VidzoOpen - file handle: -1\nCouldn't open the Vidzoer file\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);  // null source: nothing
  EXPECT_EQ(Open({'V', 'D', 'Z', '2', 1, 2}), nullptr);
  EXPECT_EQ(Open({}), nullptr);
}

TEST_F(OpenTest, FramePeriodFromTheHeaderOrTheOverride) {
  struct Case {
    int32_t rate;
    uint32_t period;
  } cases[] = {{40, 4000}, {-3333, 3333}, {0, 0}, {1, 100}};
  for (const Case& c : cases) {
    VidzoHandle* h = Open(Build(MakeContent({64}, 4, c.rate)));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->FramePeriod, c.period) << c.rate;
    EXPECT_EQ(h->FrameRate, c.rate);
    VidzoClose(h);
  }
  VidzoSetFrameRate(25);
  EXPECT_EQ(VidzoProcess()->RateOverride, -4000);
  VidzoHandle* h = Open(Build(MakeContent({64}, 4, 40)), OPEN_RATE_OVERRIDE);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->FrameRate, -4000);
  EXPECT_EQ(h->FramePeriod, 4000u);
  VidzoClose(h);
  h = Open(Build(MakeContent({64}, 4, 40)));  // no flag: the header's rate
  EXPECT_EQ(h->FramePeriod, 4000u);
  VidzoClose(h);
  VidzoSetFrameRate(0);
  EXPECT_EQ(VidzoProcess()->RateOverride, 0);
  VidzoSetFrameRate(-777);
  EXPECT_EQ(VidzoProcess()->RateOverride, -777);
  VidzoSetFrameRate(3);
  EXPECT_EQ(VidzoProcess()->RateOverride, -33333);
}

TEST_F(OpenTest, UntimedFilePeakSecondIsTheTotal) {
  auto c = MakeContent({100, 3000, 50}, 30, 0);
  auto bytes = Build(c);
  VidzoHandle* h = Open(bytes);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->FramePeriod, 0u);
  uint64_t total = 0;
  for (uint32_t i = 0; i < 30; ++i) total += h->FrameSizes[i];
  EXPECT_EQ(h->PeakSecondBytes, total);
  EXPECT_EQ(h->PeakSecondFrame, 1u);
  EXPECT_EQ(h->AverageFrame, total / 30);
  VidzoClose(h);
}

TEST_F(OpenTest, FewerFramesThanOneSecond) {
  // 25 frames per second, 20 frames.
  VidzoHandle* h = Open(Build(MakeContent({500, 700}, 20, 40)));
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->PeakSecondBytes, h->FrameSizes[0] + 10u * h->FrameSizes[1] + 9u * 500);
  EXPECT_EQ(h->PeakSecondFrame, 1u);
  VidzoClose(h);
}

// The peak second by brute force: windows of fps frames starting at frames 1
// to n - 1 - fps, the earliest largest strictly above 0; the whole file when
// no such window exists.
void BrutePeak(const std::vector<uint32_t>& s, uint32_t fps, uint32_t& bytes, uint32_t& frame) {
  uint64_t total = 0;
  for (uint32_t v : s) total += v;
  uint32_t n = static_cast<uint32_t>(s.size());
  if (n < fps + 2) {
    bytes = static_cast<uint32_t>(total);
    frame = 1;
    return;
  }
  uint64_t best = 0;
  uint32_t at = 0;
  for (uint32_t start = 1; start + fps <= n - 1; ++start) {
    uint64_t sum = 0;
    for (uint32_t k = 0; k < fps; ++k) sum += s[start + k];
    if (sum > best) best = sum, at = start;
  }
  bytes = static_cast<uint32_t>(best);
  frame = at + 1;
}

TEST_F(OpenTest, ExactlyOneSecondAfterTheFirstFrameIsTheWholeFile) {
  // 25 frames per second, 26 stored frames: no window fits between the first
  // and the last frame.
  VidzoHandle* h = Open(Build(MakeContent({500, 700}, 26, 40)));
  ASSERT_NE(h, nullptr);
  uint64_t total = 0;
  for (uint32_t i = 0; i < 26; ++i) total += h->FrameSizes[i];
  EXPECT_GT(total, 0u);
  EXPECT_EQ(h->PeakSecondBytes, total);
  EXPECT_EQ(h->PeakSecondFrame, 1u);
  VidzoClose(h);
}

TEST_F(OpenTest, PeakSecondMatchesBruteForce) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    uint32_t n = 1 + rng() % 120;
    int32_t rate = std::vector<int32_t>{40, 100, 250, -10000, -2500, 66}[rng() % 6];
    std::vector<size_t> sizes(n);
    for (auto& s : sizes) s = (rng() % 4 == 0) ? 0 : rng() % 2000;
    auto content = MakeContent(sizes, n, rate);
    if (round % 3 == 0) {
      content.has_ring = true;
      content.ring.video = vdztest::VideoBytes(999, rng() % 3000);
    }
    VidzoHandle* h = Open(Build(content), OPEN_PRELOAD);
    ASSERT_NE(h, nullptr);
    uint32_t stored = n + (content.has_ring ? 1 : 0);
    std::vector<uint32_t> table(h->FrameSizes, h->FrameSizes + stored);
    uint32_t fps = vidzo::FramesPerSecond(h->FramePeriod);
    uint32_t bytes = 0, frame = 0;
    BrutePeak(table, fps, bytes, frame);
    EXPECT_EQ(h->PeakSecondBytes, bytes) << "round " << round;
    EXPECT_EQ(h->PeakSecondFrame, frame) << "round " << round;
    EXPECT_EQ(h->LargestFrame, *std::max_element(table.begin(), table.end()));
    VidzoClose(h);
  }
  // A window that holds no data: 0 bytes at frame 1.
  std::vector<uint32_t> zeros{5, 0, 0, 0, 9};
  vidzo::FrameStats s = vidzo::ComputeFrameStats(zeros.data(), 5, 2);
  EXPECT_EQ(s.peak_bytes, 0u);
  EXPECT_EQ(s.peak_frame, 1u);
}

TEST_F(OpenTest, ExtraBufferZeroGivesTheSmallestRingOrAPreload) {
  // 4/5 of 11000 = 8800 > 8192: stream through 8192 bytes.
  auto c = MakeContent({1100}, 10);
  c.frames[0].palette.clear();
  VidzoHandle* h = Open(Build(c), 0, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->RingSize, 8192u);
  EXPECT_NE(h->FileHandle, -1);
  EXPECT_EQ(h->OpenFlags & OPEN_PRELOAD, 0u);
  EXPECT_EQ(h->FrameBufferSize, 1100u);
  VidzoClose(h);
  // 4/5 of 10240 = 8192, not above: preload, file closed.
  c = MakeContent({1024}, 10);
  c.frames[0].palette.clear();
  h = Open(Build(c), 0, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->RingBase, nullptr);
  EXPECT_EQ(h->FileHandle, -1);
  EXPECT_NE(h->OpenFlags & OPEN_PRELOAD, 0u);
  EXPECT_EQ(h->FrameBufferSize, 10240u);
  VidzoClose(h);
}

TEST_F(OpenTest, AutomaticRingSize) {
  struct Case {
    std::vector<size_t> sizes;
    uint32_t count;
    int32_t rate;
  } cases[] = {
      {{3000}, 400, 40},       // peak second 75000 < total / 4
      {{100, 9000}, 60, 100},  // total / 4 limits
      {{50}, 800, 40},         // at least 12288
      {{20000, 10}, 300, 0},   // untimed: 12288
      {{4097}, 400, -10000},   // one frame per second
  };
  for (const Case& c : cases) {
    VidzoHandle* h = Open(Build(MakeContent(c.sizes, c.count, c.rate)));
    ASSERT_NE(h, nullptr);
    uint64_t total = 0;
    for (uint32_t i = 0; i < c.count; ++i) total += h->FrameSizes[i];
    uint64_t r = h->FramePeriod != 0 ? h->PeakSecondBytes : 12288;
    r = std::max<uint64_t>(std::min<uint64_t>(r, total / 4), 12288);
    r = std::max<uint64_t>((r + 4095) / 4096 * 4096, 8192);
    if (total * 4 / 5 > r) {
      EXPECT_EQ(h->RingSize, r);
      EXPECT_EQ(h->FrameBufferSize, h->LargestFrame);
    } else {
      EXPECT_EQ(h->RingBase, nullptr);
    }
    EXPECT_GE(h->MemoryPeak, h->MemoryInUse);
    VidzoClose(h);
  }
}

TEST_F(OpenTest, MemoryInUseCountsEveryBuffer) {
  auto c = MakeContent({5000, 200}, 50);
  c.frames[0].palette.clear();
  VidzoHandle* h = Open(Build(c), 0, 16384);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h->RingBase, nullptr);
  uint32_t n = 50;
  uint32_t expected = sizeof(VidzoHandle) + (5 * n + 4) + (53352 + 4 * 12) + (16384 + 4096) + (5000 + 8);
  EXPECT_EQ(h->MemoryInUse, expected);
  // The trees input area (8192 bytes) was freed and taken off again; the
  // ring and frame buffer came after it and outweigh it.
  EXPECT_EQ(h->MemoryPeak, expected);
  VidzoClose(h);
}

TEST_F(OpenTest, HeaderWithoutFramesIsRefused) {
  for (bool ring : {false, true}) {
    auto bytes = Build(MakeContent({10}, 1));
    bytes[12] = 0;  // FrameCount 0
    if (ring) bytes[20] |= 1;
    LogCapture log;
    EXPECT_EQ(Open(bytes), nullptr);
    EXPECT_NE(log.Text().find("Damaged Vidzoer file\n"), std::string::npos);
  }
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(OpenTest, SizesTheFileCannotHoldAreRefused) {
  auto good = Build(MakeContent({100}, 4));
  auto past_end = good;
  Put32(past_end, 104 + 4, 101);  // frame 1 one byte longer than the file
  auto overflow = good;
  Put32(overflow, 104, 0xFFFFFF00u);
  Put32(overflow, 108, 0xFFFFFF00u);
  auto huge_count = good;
  Put32(huge_count, 12, 0xFFFFFFFFu);
  auto huge_count_ring = huge_count;
  huge_count_ring[20] |= 1;
  auto trees_past_end = good;
  Put32(trees_past_end, 52, 100000);
  for (const auto* bytes : {&overflow, &huge_count, &huge_count_ring, &trees_past_end}) {
    LogCapture log;
    EXPECT_EQ(Open(*bytes), nullptr);
    EXPECT_NE(log.Text().find("Damaged Vidzoer file\n"), std::string::npos);
  }
  // Frame data reaching past the end keeps the frames held whole.
  VidzoHandle* cut = Open(past_end);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->FrameCount, 3u);
  EXPECT_EQ(cut->ReadError, VDZ_READ_CUT);
  VidzoClose(cut);
  // Huge unpacked-tree sizes are bounded by the trees' storage, not refused.
  auto big_trees = good;
  Put32(big_trees, 56, 0xFFFFFFF0u);
  VidzoHandle* h = Open(big_trees);
  ASSERT_NE(h, nullptr);
  VidzoClose(h);
}

TEST_F(OpenTest, FileHandleIsReadFromItsPositionAndNeverClosed) {
  auto content = MakeContent({3000, 40}, 20);
  auto video = Build(content);
  std::vector<uint8_t> junk(777, 0x5A);
  std::vector<uint8_t> file = junk;
  file.insert(file.end(), video.begin(), video.end());
  std::string path = Write(file);
  for (uint32_t flags : {0u, OPEN_PRELOAD}) {
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 777, SEEK_SET), 777);
    LogCapture log;
    VidzoHandle* h =
        VidzoOpen(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), flags | OPEN_FILE_HANDLE, 8192);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(log.Text().find("VidzoOpen - file handle: " + std::to_string(fd) + "\n"), std::string::npos);
    EXPECT_EQ(h->FirstFrameOffset, 777u + 104 + 5 * 20 + 1);
    EXPECT_EQ(vdztest::CurrentRecord(h), vdztest::RecordOf(video, 0));
    for (uint32_t i = 1; i < 20; ++i) {
      vdztest::Advance(h);
      ASSERT_EQ(vdztest::CurrentRecord(h), vdztest::RecordOf(video, i)) << i;
    }
    vdztest::Advance(h);  // back to frame 0 by a reposition
    EXPECT_EQ(vdztest::CurrentRecord(h), vdztest::RecordOf(video, 0));
    VidzoClose(h);
    EXPECT_TRUE(FdIsOpen(fd));
    ::close(fd);
  }
  // A failing open leaves the descriptor open too.
  int fd = ::open(path.c_str(), O_RDONLY);
  EXPECT_EQ(VidzoOpenFd(fd, 0, 0xFFFFFFFFu), nullptr);  // junk where the header should be
  EXPECT_TRUE(FdIsOpen(fd));
  ::lseek(fd, 777, SEEK_SET);
  vidzo::FailAllocationForTests(2);
  EXPECT_EQ(VidzoOpenFd(fd, 0, 0xFFFFFFFFu), nullptr);
  EXPECT_TRUE(FdIsOpen(fd));
  ::close(fd);
}

TEST_F(OpenTest, CallerRecordIsClearedButNotFreed) {
  std::string path = Write(Build(MakeContent({2000}, 12)));
  int fd = ::open(path.c_str(), O_RDONLY);
  auto* record = new VidzoHandle;
  std::memset(static_cast<void*>(record), 0xCD, sizeof(VidzoHandle));
  int32_t word = fd;
  std::memcpy(record, &word, 4);
  VidzoHandle* h = VidzoOpen(record, OPEN_CALLER_RECORD | OPEN_FILE_HANDLE, 0xFFFFFFFFu);
  ASSERT_EQ(h, record);
  EXPECT_EQ(h->FileHandle, fd);
  EXPECT_EQ(h->OpenFlags & OPEN_CALLER_RECORD, OPEN_CALLER_RECORD);
  EXPECT_EQ(h->CurrentFrame, 0u);
  VidzoClose(h);
  std::vector<uint8_t> zero(sizeof(VidzoHandle), 0);
  EXPECT_EQ(std::memcmp(record, zero.data(), sizeof(VidzoHandle)), 0);
  EXPECT_TRUE(FdIsOpen(fd));

  // On failure the record is cleared too, and still not freed.
  std::memset(static_cast<void*>(record), 0xCD, sizeof(VidzoHandle));
  word = fd;
  std::memcpy(record, &word, 4);
  ::lseek(fd, 1, SEEK_SET);  // not at the header
  EXPECT_EQ(VidzoOpen(record, OPEN_CALLER_RECORD | OPEN_FILE_HANDLE, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(std::memcmp(record, zero.data(), sizeof(VidzoHandle)), 0);
  // Without a descriptor the record names no file.
  EXPECT_EQ(VidzoOpen(record, OPEN_CALLER_RECORD, 0xFFFFFFFFu), nullptr);
  delete record;
  ::close(fd);
}

TEST_F(OpenTest, TrackBitsAreDroppedAndOtherFlagsKept) {
  auto c = MakeContent({300}, 10);
  c.audio_format[0] = VDZ_AUDIO_PRESENT | 22050;  // exists, but no sound output plays it
  c.audio_format[2] = 22050;                      // not present
  auto bytes = Build(c);
  Put32(bytes, 72 + 4 * 1, VDZ_AUDIO_PRESENT);  // present with rate 0
  uint32_t flags = OPEN_TRACK0 | OPEN_TRACK1 | OPEN_TRACK2 | OPEN_TRACK6 | OPEN_NO_SKIP | OPEN_PRELOAD;
  VidzoHandle* h = Open(bytes, flags);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->OpenFlags & OPEN_TRACKS_MASK, 0u);
  EXPECT_EQ(h->OpenFlags, OPEN_NO_SKIP | OPEN_PRELOAD);
  EXPECT_EQ(h->TimingTrack, -1);
  for (auto* t : h->Tracks) EXPECT_EQ(t, nullptr);
  VidzoClose(h);
}

TEST_F(OpenTest, HeightOverrides) {
  struct Case {
    uint32_t header;
    uint32_t flags;
    uint32_t height;
    uint32_t stored_bits;
    uint32_t header_after;
  } cases[] = {
      {0, 0, 16, 0, 0},
      {VDZ_INTERLACED, 0, 32, OPEN_Y_INTERLACE, VDZ_INTERLACED},
      {VDZ_DOUBLED, 0, 32, OPEN_Y_DOUBLE, VDZ_DOUBLED},
      {VDZ_INTERLACED | VDZ_DOUBLED, 0, 16, 0, VDZ_INTERLACED | VDZ_DOUBLED},
      {0, OPEN_Y_INTERLACE, 32, OPEN_Y_INTERLACE, VDZ_INTERLACED},
      {VDZ_INTERLACED, OPEN_Y_DOUBLE, 32, OPEN_Y_DOUBLE, VDZ_DOUBLED},
      {VDZ_DOUBLED, OPEN_Y_NONE, 16, 0, 0},
  };
  for (const Case& c : cases) {
    auto content = MakeContent({64}, 3);
    content.header_flags = c.header;
    VidzoHandle* h = Open(Build(content), c.flags);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Height, c.height);
    EXPECT_EQ(h->OpenFlags & OPEN_Y_NONE, c.stored_bits);
    EXPECT_EQ(h->HeaderFlags, c.header_after);
    VidzoClose(h);
  }
}

TEST_F(OpenTest, EveryAllocationFailure) {
  // A streamed file: record, tables, trees, trees input, ring, frame buffer.
  auto bytes = Build(MakeContent({3000}, 40));
  struct Case {
    uint32_t n;
    const char* message;
  } cases[] = {{1, "Couldn't allocate Vidzo structure"},
               {2, "Couldn't allocate track table"},
               {3, nullptr},
               {4, "Couldn't allocate input buffer"},
               {5, nullptr},
               {6, "Couldn't allocate I/O buffer"}};
  std::string path = Write(bytes);
  for (const Case& c : cases) {
    LogCapture log;
    vidzo::FailAllocationForTests(c.n);
    EXPECT_EQ(VidzoOpen(path.c_str(), 0, 8192), nullptr) << c.n;
    std::string text = log.Text();
    // The log holds the file line and the failure's line, nothing more.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.message ? 2 : 1) << text;
    if (c.message) {
      EXPECT_NE(text.find(std::string(c.message) + "\n"), std::string::npos);
    }
  }
  vidzo::FailAllocationForTests(7);  // past the last allocation
  VidzoHandle* h = VidzoOpen(path.c_str(), 0, 8192);
  ASSERT_NE(h, nullptr);
  VidzoClose(h);
}

TEST_F(OpenTest, FillReadAheadFillsTheRingAndCountsAsReading) {
  auto bytes = Build(MakeContent({2500, 100}, 80));
  VidzoHandle* h = Open(bytes, OPEN_FILL_READAHEAD, 16384);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->RingSize, 16384u);
  EXPECT_GT(h->RingBytes, 16384u - 4096);
  EXPECT_EQ(h->RingPeak, std::max(h->RingPeak, h->RingBytes));
  EXPECT_EQ(h->BytesReadAhead, 0u);
  EXPECT_EQ(h->ReadAheadMs, 0u);
  EXPECT_EQ(h->OpenReadMs, h->ReadMs);
  // Everything read so far: the realigning block's start, frame 0, the ring.
  EXPECT_EQ(h->BytesRead, h->NextReadOffset + h->RingBytes);
  EXPECT_EQ(VidzoReadAhead(h), 0u);  // full
  VidzoClose(h);
}

TEST_F(OpenTest, SimulatedRateStretchesReads) {
  platform::SetFakeClock(1000);
  VidzoSetSimulatedRate(1000);  // bytes per second
  auto bytes = Build(MakeContent({400}, 10));
  VidzoHandle* h = Open(bytes, OPEN_SIMULATE_RATE | OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->SimulatedRate, 1000u);
  // Every byte of the file at a thousand bytes a second.
  EXPECT_GE(h->ReadMs, bytes.size() - 10);
  EXPECT_LE(h->ReadMs, bytes.size());
  EXPECT_EQ(h->OpenMs, h->ReadMs);
  VidzoClose(h);
  h = Open(bytes, OPEN_PRELOAD);  // without the flag: no wait
  EXPECT_EQ(h->SimulatedRate, 0u);
  EXPECT_EQ(h->ReadMs, 0u);
  VidzoClose(h);
}

}  // namespace
