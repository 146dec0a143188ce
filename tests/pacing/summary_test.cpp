// The playback summary of played files, checked against what the file and
// the run imply: frames played and skipped, sound skips, decode and display
// times, the slowest frames, frame sizes, memory, and the read figures of a
// streamed file read at a simulated rate.
#include <fstream>
#include <iterator>

#include "pacing_fixture.h"
#include "playback/track.h"

namespace pacing_test {
namespace {

using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;

// The frame record sizes of a written file (the table after the header).
std::vector<uint32_t> RecordSizes(const std::string& name, uint32_t frames) {
  std::ifstream in(name, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint32_t> sizes;
  for (uint32_t i = 0; i < frames; ++i) {
    const uint8_t* p = bytes.data() + VDZ_HEADER_SIZE + 4 * i;
    sizes.push_back(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
  }
  return sizes;
}

TEST_F(PacingTest, SummaryOfAPlayedFile) {
  const uint32_t n = 30;
  auto c = Encode(64, 32, RandomAnimation(64, 32, n, 51), 100);
  std::vector<uint32_t> chunks(n, 500);
  chunks[0] = 8000;  // 1.5 s of sound ahead of the picture
  AddRawSound(c, 5000, chunks);
  const std::string name = Write(c);
  VidzoHandle* h = VidzoOpen(name.c_str(), OPEN_PRELOAD | OPEN_TRACK0, 0xFFFFFFFFu);
  ASSERT_NE(h, nullptr);
  open_.push_back(h);
  Screen screen;
  Attach(h, screen, 0, 0);

  // Frame i decodes in 1 + i % 3 ms and shows in 2 ms; frame 7 decodes in
  // 40 ms, frame 12 shows in 30 ms. Frame 5 stalls the picture by 1 s (its
  // sound plays on: frames fall behind and are skipped) and frame 20 by 3 s
  // (the sound output runs dry: a sound skip).
  const uint32_t first = Now();
  uint32_t decode_ms = 0, blit_ms = 0, behind = 0;
  LoopOptions o;
  o.frames = n;
  o.decoded = [&](const LoopFrame& f) {
    const uint32_t d = f.index == 7 ? 40 : 1 + f.index % 3;
    Tick(d);
    decode_ms += d;
  };
  o.shown = [&](const LoopFrame& f) {
    const uint32_t b = f.index == 12 ? 30 : f.index == 5 ? 1000 : f.index == 20 ? 3000 : 2;
    Tick(b);
    blit_ms += b;
    behind += f.behind;
  };
  o.idle = [] { Tick(); };
  o.max_waits = 100000;
  ASSERT_FALSE(PlayLoop(h, o).gave_up);
  Tick(10);

  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.TotalMs, Now() - first);
  EXPECT_EQ(s.FramePeriod, 10000u);
  EXPECT_EQ(s.FramesPlayed, n);
  EXPECT_GT(behind, 0u);
  EXPECT_EQ(s.FramesSkipped, behind);
  EXPECT_GE(s.SoundSkips, 1u);
  EXPECT_EQ(s.SoundSkips, h->Tracks[0]->SoundSkips);
  EXPECT_EQ(s.DecodeMs, decode_ms);
  EXPECT_EQ(s.BlitMs, blit_ms);
  // Frame 20 (1-based 21): 3 s; frame 5: 1 s. Neither is skipped itself.
  EXPECT_EQ(s.SlowestFrame, 21u);
  EXPECT_EQ(s.SlowestMs, 3000u + 1 + 20 % 3);
  EXPECT_EQ(s.SecondSlowestFrame, 6u);
  EXPECT_EQ(s.SecondSlowestMs, 1000u + 1 + 5 % 3);
  // Preloaded: nothing is read after the open.
  EXPECT_EQ(s.ReadMs, 0u);
  EXPECT_EQ(s.ReadAheadMs, 0u);
  EXPECT_EQ(s.RingSize, 0u);

  const auto sizes = RecordSizes(name, n);
  uint64_t total = 0;
  for (uint32_t v : sizes) total += v;
  EXPECT_EQ(s.AverageFrame, total / n);
  // Peak second: ten frames a second; windows start at frames 1 to n - 11.
  uint32_t peak = 0, peak_frame = 0;
  for (uint32_t start = 1; start + 10 <= n - 1; ++start) {
    uint32_t sum = 0;
    for (uint32_t i = start; i < start + 10; ++i) sum += sizes[i];
    if (sum > peak) {
      peak = sum;
      peak_frame = start + 1;
    }
  }
  EXPECT_EQ(h->PeakSecondBytes, peak);
  EXPECT_EQ(h->PeakSecondFrame, peak_frame);
  // Memory: at least the record, all frame data and the sound buffer.
  EXPECT_EQ(s.MemoryPeak, h->MemoryPeak);
  EXPECT_GE(s.MemoryPeak, sizeof(VidzoHandle) + total + h->Tracks[0]->BufSize);
  EXPECT_GE(s.MemoryPeak, h->MemoryInUse);

  // A second call closes nothing more and gives the same counts.
  VidzoSummary again;
  VidzoReadStatistics(h, &again);
  EXPECT_EQ(again.DecodeMs, s.DecodeMs);
  EXPECT_EQ(again.BlitMs, s.BlitMs);
  EXPECT_EQ(again.SlowestMs, s.SlowestMs);
}

TEST_F(PacingTest, SlowestAndSecondSlowestAreDifferentFrames) {
  // Only frame 0 takes any time: second place goes to another frame.
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 5, 52), 0), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  LoopOptions o;
  o.frames = 10;  // twice round: frames met again only update their own time
  int pass = 0;
  o.decoded = [&](const LoopFrame& f) {
    if (f.index == 0) Tick(++pass == 1 ? 20 : 30);
  };
  ASSERT_FALSE(PlayLoop(h, o).gave_up);
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.SlowestFrame, 1u);
  EXPECT_EQ(s.SlowestMs, 30u);
  EXPECT_NE(s.SecondSlowestFrame, s.SlowestFrame);
  EXPECT_EQ(s.SecondSlowestMs, 0u);
}

TEST_F(PacingTest, SlowestPlacesMoveAsSlowerFramesCome) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 6, 53), 0), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  const uint32_t times[] = {5, 3, 9, 4, 7, 9};
  LoopOptions o;
  o.frames = 6;
  o.decoded = [&](const LoopFrame& f) { Tick(times[f.index]); };
  ASSERT_FALSE(PlayLoop(h, o).gave_up);
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.SlowestFrame, 3u);  // 9 ms, met first
  EXPECT_EQ(s.SlowestMs, 9u);
  // Frame 5's 7 ms held second place until frame 6 tied the slowest.
  EXPECT_EQ(s.SecondSlowestFrame, 6u);
  EXPECT_EQ(s.SecondSlowestMs, 9u);
}

TEST_F(PacingTest, StatisticsBeforeAnyFrame) {
  VidzoHandle* h = Open(Encode(16, 8, RandomAnimation(16, 8, 2, 54), 10), OPEN_PRELOAD);
  ASSERT_NE(h, nullptr);
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.TotalMs, Now()) << "no first frame: the timer value itself";
  EXPECT_EQ(s.FramesPlayed, 0u);
  EXPECT_EQ(s.SlowestFrame, 1u);
  EXPECT_EQ(s.DeviceSpeed, 0u) << "no read took any time";
}

TEST_F(PacingTest, StreamedFileReadsAheadWhileWaitingAtTheSimulatedRate) {
  const uint32_t n = 40;
  auto c = Encode(160, 96, RandomAnimation(160, 96, n, 55), 20);
  const uint32_t rate = 100000;  // bytes per second
  VidzoSetSimulatedRate(rate);
  VidzoHandle* h = Open(c, OPEN_SIMULATE_RATE, 8192);
  VidzoSetSimulatedRate(0);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h->RingBase, nullptr) << "streamed through the ring";
  Screen screen;
  Attach(h, screen, 0, 0);
  LoopOptions o;
  o.frames = n;
  o.idle = [] { Tick(); };
  ASSERT_FALSE(PlayLoop(h, o).gave_up);
  VidzoSummary s;
  VidzoReadStatistics(h, &s);
  EXPECT_EQ(s.ReadMs, h->ReadMs - h->OpenReadMs);
  EXPECT_GT(h->BytesReadAhead, 0u);
  EXPECT_GT(s.ReadAheadMs, 0u);
  EXPECT_NEAR(double(s.DeviceSpeed), double(rate), rate * 0.05);
  EXPECT_EQ(s.RingSize, 8192u);
  EXPECT_GT(s.RingPeak, 0u);
  EXPECT_LE(s.RingPeak, s.RingSize + 4096);
  EXPECT_EQ(s.FramesPlayed, n);
  EXPECT_EQ(s.FramesSkipped, 0u);
}

}  // namespace
}  // namespace pacing_test
