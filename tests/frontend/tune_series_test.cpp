// The data-rate analysis without its window: the header and size table
// reader, the period and one-second window, the two series (against a
// brute-force sum in the test), the reference lines, the vertical scale, the
// clipboard text and the visible range.
#include "frontend/tune_series.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using vidzoerw::ComputeTuneSeries;
using vidzoerw::LoadTuneSeries;
using vidzoerw::TuneMode;

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

// A header and size table only (all the analysis reads).
std::string TableFile(int32_t count, int32_t rate, const std::vector<uint32_t>& sizes) {
  std::string b(104, '\0');
  std::memcpy(b.data(), "VDZ2", 4);
  Put32(b, 12, static_cast<uint32_t>(count));
  Put32(b, 16, static_cast<uint32_t>(rate));
  for (uint32_t s : sizes) {
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, s);
  }
  return b;
}

TEST(TuneSeries, PeriodAndWindowFromTheRateField) {
  struct Case {
    int32_t rate;
    int64_t period, window;
  } cases[] = {
      {100, 10000, 10},   // milliseconds
      {-6667, 6667, 14},  // 1/100000 s, integer division
      {67, 6700, 14},
      {-100000, 100000, 1},
      // Slower than one frame a second still keeps one frame in the window.
      {2000, 200000, 1},
      // Untimed: one unit, as fast as anything plays.
      {0, 1, 100000},
      {INT32_MIN, 2147483648LL, 1},
  };
  for (const auto& c : cases) {
    auto s = ComputeTuneSeries(TableFile(3, c.rate, {5, 6, 7}), TuneMode::kBytesPerFrame);
    ASSERT_TRUE(s) << c.rate;
    EXPECT_EQ(s->period, c.period) << c.rate;
    EXPECT_EQ(s->window, c.window) << c.rate;
  }
}

TEST(TuneSeries, FirstFrameCountsZeroAndTheWindowSlides) {
  // N = 2 at 50 ms a frame: every one-second point averages two frames.
  auto s = ComputeTuneSeries(TableFile(5, -50000, {9000, 100, 300, 500, 700}), TuneMode::kBytesPerFrame);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->window, 2);
  EXPECT_EQ(s->frame_points, (std::vector<int64_t>{0, 100, 300, 500, 700}));
  EXPECT_EQ(s->second_points, (std::vector<int64_t>{0, 50, 200, 400, 600}));
  EXPECT_EQ(s->highest, 700);

  auto r = ComputeTuneSeries(TableFile(5, -50000, {9000, 100, 300, 500, 700}), TuneMode::kBytesPerSecond);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->frame_points, (std::vector<int64_t>{0, 200, 600, 1000, 1400}));
  EXPECT_EQ(r->second_points, (std::vector<int64_t>{0, 100, 400, 800, 1200}));
}

TEST(TuneSeries, ReferenceLinesInBothModes) {
  auto f = ComputeTuneSeries(TableFile(1, 100, {1}), TuneMode::kBytesPerFrame);
  auto s = ComputeTuneSeries(TableFile(1, 100, {1}), TuneMode::kBytesPerSecond);
  ASSERT_TRUE(f && s);
  // 10 frames a second: a 1x drive's 150000 bytes at 80 % is 12000 a frame.
  EXPECT_DOUBLE_EQ(f->reference[0], 12000);
  EXPECT_DOUBLE_EQ(f->reference[1], 24000);
  EXPECT_DOUBLE_EQ(f->reference[2], 48000);
  EXPECT_DOUBLE_EQ(s->reference[0], 120000);
  EXPECT_DOUBLE_EQ(s->reference[1], 240000);
  EXPECT_DOUBLE_EQ(s->reference[2], 480000);
}

TEST(TuneSeries, VerticalScale) {
  struct Case {
    int64_t highest;
    TuneMode mode;
    int64_t maximum;
  } cases[] = {
      {12345, TuneMode::kBytesPerFrame, 12500},
      {12500, TuneMode::kBytesPerFrame, 12500},
      {12502, TuneMode::kBytesPerFrame, 12500},  // rounded to 5 first
      {12503, TuneMode::kBytesPerFrame, 13000},
      {1, TuneMode::kBytesPerFrame, 500},
      {12345, TuneMode::kBytesPerSecond, 13000},
      {123000, TuneMode::kBytesPerSecond, 123000},
      {123002, TuneMode::kBytesPerSecond, 123000},
      {123003, TuneMode::kBytesPerSecond, 124000},
      // Nothing to show still gets one step.
      {0, TuneMode::kBytesPerFrame, 500},
      {0, TuneMode::kBytesPerSecond, 1000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(vidzoerw::TuneScaleMaximum(c.highest, c.mode), c.maximum) << c.highest;
  auto s = ComputeTuneSeries(TableFile(2, 100, {1, 12345}), TuneMode::kBytesPerFrame);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->maximum, 12500);
  EXPECT_EQ(s->grid_step, 2500);
}

TEST(TuneSeries, HeaderCountIsCutToTheTablePresent) {
  struct Case {
    int32_t count;
    size_t table_entries;
    size_t frames;
  } cases[] = {{1000000, 3, 3}, {2, 5, 2}, {-1, 4, 0}, {0, 4, 0}, {INT32_MAX, 0, 0}};
  for (const auto& c : cases) {
    std::string b = TableFile(c.count, 100, std::vector<uint32_t>(c.table_entries, 77));
    b += "\x01\x02";  // a partial entry is no entry
    auto s = ComputeTuneSeries(b, TuneMode::kBytesPerSecond);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sizes.size(), c.frames) << c.count;
    EXPECT_EQ(s->frame_points.size(), c.frames);
  }
}

TEST(TuneSeries, LoadErrors) {
  vidzoer_test::TempDir dir;
  EXPECT_FALSE(LoadTuneSeries(dir.File("missing.vdz"), TuneMode::kBytesPerFrame));
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"old.vdz", "VDZ1" + TableFile(1, 100, {5}).substr(4)},
      {"short.vdz", "VDZ2"},
      {"empty.vdz", ""},
  };
  for (const auto& c : cases) {
    std::ofstream(dir.File(c.name), std::ios::binary) << c.bytes;
    EXPECT_FALSE(LoadTuneSeries(dir.File(c.name), TuneMode::kBytesPerFrame)) << c.name;
  }
  // A name without an extension is a .vdz file.
  std::ofstream(dir.File("clip.vdz"), std::ios::binary) << TableFile(2, 100, {5, 6});
  auto s = LoadTuneSeries(dir.File("clip"), TuneMode::kBytesPerFrame);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->file, dir.File("clip.vdz"));
}

// The series of an encoded file against sums over its size table, read here
// by the test's own code.
TEST(TuneSeries, EncodedFileAgainstBruteForce) {
  vidzoer_test::TempDir dir;
  const std::string path = dir.File("busy.vdz");
  // Frames that change more or less each time give sizes of all kinds; 1300
  // frames take the reader past two blocks of the table.
  const auto anim =
      vidzoer_test::WriteTestAnimation(path, 32, 16, 1300, true, 40, [](uint32_t x, uint32_t y, uint32_t f) {
        return static_cast<uint8_t>((f % 7 < 3) ? (x * 3 + y + f) % 200 : ((x / 8 + y / 8 + f / 5) % 4) * 16);
      });
  ASSERT_EQ(anim.pixels.size(), 1300u);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 104u + 4 * 1301);
  auto entry = [&](size_t i) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + 104 + 4 * i, 4);
    return v;
  };
  for (TuneMode mode : {TuneMode::kBytesPerFrame, TuneMode::kBytesPerSecond}) {
    auto s = LoadTuneSeries(path, mode);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->window, 100000 / 4000);
    ASSERT_EQ(s->frame_points.size(), 1300u);  // the ring frame is not shown
    int64_t highest = 0;
    for (size_t i = 0; i < 1300; ++i) {
      const int64_t n = s->window;
      const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(i) - n + 1);
      uint64_t sum = 0;
      for (int64_t j = first; j <= static_cast<int64_t>(i); ++j)
        sum += j == 0 ? 0 : entry(static_cast<size_t>(j));
      const int64_t average = static_cast<int64_t>(sum / static_cast<uint64_t>(i - first + 1));
      const int64_t own = i == 0 ? 0 : entry(i);
      const bool ps = mode == TuneMode::kBytesPerSecond;
      ASSERT_EQ(s->frame_points[i], ps ? own * 100000 / 4000 : own) << i;
      ASSERT_EQ(s->second_points[i], ps ? average * 100000 / 4000 : average) << i;
      highest = std::max(highest, s->frame_points[i]);
    }
    EXPECT_EQ(s->highest, highest);
    EXPECT_GT(highest, 0);
  }
}

TEST(TuneSeries, PointsAndFrameText) {
  auto s = ComputeTuneSeries(TableFile(3, -50000, {9000, 100, 3}), TuneMode::kBytesPerFrame);
  ASSERT_TRUE(s);
  s->file = "/tmp/a.vdz";
  EXPECT_EQ(vidzoerw::TunePointsText(*s),
            "Vidzoer file: /tmp/a.vdz\r\n\r\nFrame\tSize\tBytes per Second\r\n"
            "1\t0\t0\r\n2\t100\t200\r\n3\t3\t6\r\n");
  EXPECT_EQ(vidzoerw::TuneFrameText(*s, 2), "Frame: 2  Size: 100  Bytes per second: 200");
  EXPECT_EQ(vidzoerw::TuneFrameText(*s, 4), "");
}

TEST(TuneSeries, VisibleRange) {
  struct Case {
    int64_t k, left, frames, want_left, want_count;
  } cases[] = {
      {10, 1, 100, 1, 10}, {1, 5, 100, 5, 2}, {10, 95, 100, 91, 10},
      {50, 3, 20, 1, 50},  {0, 1, 100, 1, 2}, {30, 71, 100, 71, 30},
  };
  for (const auto& c : cases) {
    const auto r = vidzoerw::TuneSetRange(c.k, c.left, c.frames);
    EXPECT_EQ(r.left, c.want_left) << c.k << " " << c.left;
    EXPECT_EQ(r.count, c.want_count);
  }
  const auto r = vidzoerw::TuneSetRange(10, 1, 100);
  EXPECT_EQ(r.ScrollMaximum(100), 90);
  EXPECT_EQ(r.ScrollPage(), 9);
  EXPECT_EQ(vidzoerw::TuneZoomIn(40), 30);
  EXPECT_EQ(vidzoerw::TuneZoomOut(30), 40);
  EXPECT_EQ(vidzoerw::TuneDefaultRange(700), 20);
}

}  // namespace
