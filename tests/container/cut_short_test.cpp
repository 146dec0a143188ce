// Files cut short (an interrupted copy): frame data that ends early opens
// with the frames held whole, which then play and wrap as at the end of the
// file; a header, tables or trees cut short are refused. Pictures beyond the
// toolkit's limits are refused as too large.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "playback/container.h"
#include "support/temp_dir.h"
#include "vdz_fixture.h"

namespace {

using vdztest::Build;
using vdztest::CurrentRecord;
using vdztest::LogCapture;
using vdztest::MakeContent;
using vdztest::RecordOf;

// File position of record i (i may be the count of records: the file's end).
size_t RecordStart(const std::vector<uint8_t>& file, uint32_t i) {
  const uint32_t n = vidzo::LoadLe32(file.data() + 12) + (vidzo::LoadLe32(file.data() + 20) & 1);
  size_t at = 104 + 5 * size_t{n} + vidzo::LoadLe32(file.data() + 52);
  for (uint32_t k = 0; k < i; ++k) at += vidzo::LoadLe32(file.data() + 104 + 4 * k);
  return at;
}

class CutShortTest : public ::testing::Test {
 protected:
  VidzoHandle* Open(const std::vector<uint8_t>& bytes, uint32_t flags, uint32_t extra = 0xFFFFFFFFu) {
    const std::string path = dir_.File("cut.vdz");
    vdztest::WriteBytes(path, bytes);
    return VidzoOpen(path.c_str(), flags, extra);
  }
  vidzoer_test::TempDir dir_;
};

// 9 frames of 700 to 3000 bytes (and a ring frame when asked), cut at a
// record's start plus some bytes.
struct CutCase {
  const char* what;
  bool ring;
  uint32_t record;  // the record the cut falls in (or starts)
  size_t into;      // bytes of it kept
  uint32_t whole;   // frames held whole
};

TEST_F(CutShortTest, FrameDataEndingEarlyPlaysTheWholeFramesAndWraps) {
  const CutCase cases[] = {
      {"inside frame 4", false, 4, 300, 4},      {"at the boundary of frame 4", false, 4, 0, 4},
      {"inside the last frame", false, 8, 1, 8}, {"one byte short of the end", false, 8, 0xFFFFFFFF, 8},
      {"inside frame 1", false, 1, 10, 1},       {"inside the ring frame", true, 9, 5, 9},
      {"at the ring frame", true, 9, 0, 9},      {"inside frame 3 of a ringed file", true, 3, 99, 3},
  };
  for (const CutCase& c : cases) {
    for (uint32_t flags : {0u, static_cast<uint32_t>(OPEN_PRELOAD)}) {
      SCOPED_TRACE(std::string(c.what) + (flags ? ", preloaded" : ", streamed"));
      auto content = MakeContent({700, 3000, 1200}, 9);
      if (c.ring) {
        content.has_ring = true;
        content.ring.video = vdztest::VideoBytes(99, 500);
      }
      const auto bytes = Build(content);
      const size_t start = RecordStart(bytes, c.record);
      const size_t cut = c.into == 0xFFFFFFFF ? bytes.size() - 1 : start + c.into;
      ASSERT_LT(cut, bytes.size());
      LogCapture log;
      // A small ring (extra 8192) so that the streamed case reads through it.
      VidzoHandle* h =
          Open(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)), flags, 8192);
      ASSERT_NE(h, nullptr);
      EXPECT_EQ(h->FrameCount, c.whole);
      EXPECT_EQ(h->HeaderFrameCount, 9u);
      EXPECT_EQ(h->TableRecords, c.ring ? 10u : 9u);
      EXPECT_EQ(h->HeaderFlags & VDZ_RING_FRAME, 0u);
      EXPECT_EQ(h->ReadError, VDZ_READ_CUT);
      // The statistics cover the whole frames only.
      uint32_t largest = 0;
      for (uint32_t k = 0; k < c.whole; ++k)
        largest = std::max(largest, vidzo::LoadLe32(bytes.data() + 104 + 4 * k));
      EXPECT_EQ(h->LargestFrame, largest);
      EXPECT_NE(log.Text().find("VidzoOpen - the frame data ends at byte " + std::to_string(cut) +
                                ", inside frame " + std::to_string(c.whole) + ": " + std::to_string(c.whole) +
                                " of " + std::to_string(c.ring ? 10 : 9) + " frame records are whole"),
                std::string::npos)
          << log.Text();
      // Two passes: the whole frames in order, then back to frame 0.
      for (uint32_t pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < c.whole; ++i) {
          ASSERT_EQ(h->CurrentFrame, i);
          ASSERT_EQ(CurrentRecord(h), RecordOf(bytes, i)) << "pass " << pass << " frame " << i;
          vdztest::Advance(h);
        }
      }
      EXPECT_EQ(h->ReadError, VDZ_READ_CUT);  // no read came up short
      VidzoClose(h);
    }
  }
}

TEST_F(CutShortTest, CutBeforeTheFrameDataIsRefused) {
  auto content = MakeContent({700, 3000}, 9);
  content.has_ring = true;
  content.ring.video = vdztest::VideoBytes(99, 500);
  const auto bytes = Build(content);
  const size_t first = RecordStart(bytes, 0);
  const struct {
    const char* what;
    size_t keep;
  } cases[] = {
      {"inside the header", 60},
      {"inside the size table", 104 + 17},
      {"inside the type table", 104 + 40 + 3},
      {"inside the trees", first - 1},
      {"inside frame 0", first + 100},
      {"at frame 0", first},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_LT(c.keep, bytes.size());
    LogCapture log;
    EXPECT_EQ(Open(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(c.keep)), 0),
              nullptr);
    const std::string text = log.Text();
    EXPECT_TRUE(text.find("Damaged Vidzoer file\n") != std::string::npos ||
                text.find("Wasn't a Vidzoer file\n") != std::string::npos)
        << text;
    EXPECT_EQ(VidzoOpenFailure(), VIDZO_OPEN_FAILED);
  }
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(CutShortTest, PicturesBeyondTheLimitsAreRefusedAsTooLarge) {
  const auto good = Build(MakeContent({100}, 2));
  const struct {
    uint32_t width, height, header_flags, open_flags;
    bool opens;
  } cases[] = {
      {16384, 4, 0, 0, true},
      {16388, 4, 0, 0, false},
      {4, 16384, 0, 0, true},
      {4, 150994948, 0, 0, false},
      {0xFFFFFFFC, 0xFFFFFFFC, 0, 0, false},
      {8192, 4096, 0, 0, true},  // the most pixels
      {8192, 4100, 0, 0, false},
      {16384, 16384, 0, 0, false},
      {4, 8192, VDZ_DOUBLED, 0, true},
      {4, 8196, VDZ_DOUBLED, 0, false},  // shown 16392 rows high
      {4, 8196, VDZ_INTERLACED, 0, false},
      {4, 8196, VDZ_DOUBLED, OPEN_Y_NONE, true},
      {4, 8196, 0, OPEN_Y_DOUBLE, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " flags " +
                 std::to_string(c.header_flags) + "/" + std::to_string(c.open_flags));
    auto bytes = good;
    Put32(bytes, 4, c.width);
    Put32(bytes, 8, c.height);
    Put32(bytes, 20, c.header_flags);
    LogCapture log;
    VidzoHandle* h = Open(bytes, c.open_flags);
    EXPECT_EQ(h != nullptr, c.opens);
    if (h != nullptr) {
      EXPECT_EQ(VidzoOpenFailure(), VIDZO_OPEN_OK);
      EXPECT_STREQ(VidzoOpenMessage(), "");
      VidzoClose(h);
      continue;
    }
    EXPECT_EQ(VidzoOpenFailure(), VIDZO_OPEN_TOO_LARGE);
    const std::string text = "Picture too large: " + std::to_string(c.width) + " x " +
                             std::to_string(c.height) +
                             " pixels (at most 16384 on a side and 33554432 in all)";
    EXPECT_EQ(VidzoOpenMessage(), text);
    EXPECT_NE(log.Text().find(text + "\n"), std::string::npos) << log.Text();
  }
}

}  // namespace
