// Which chunks the flic writer chooses, the header it writes, and how the
// reader takes headers and frames it did not write itself.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "flic/flic_files.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

using flic_test::FrameRecord;
using Frame = std::vector<uint8_t>;

Frame Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Frame f(n);
  for (auto& p : f) p = static_cast<uint8_t>(rng());
  return f;
}

std::vector<FrameRecord> WriteAndWalk(const std::string& name, int w, int h,
                                      const std::vector<Frame>& frames) {
  QELOFlic* o = QELOFlicCreate(name.c_str(), w, h, 50);
  EXPECT_NE(o, nullptr);
  if (o == nullptr) return {};
  for (const auto& f : frames) EXPECT_EQ(QELOFlicPutNext(o, f.data(), nullptr), 1);
  QELOFlicClose(o);
  return flic_test::WalkFrames(vidzoer_test::ReadBytes(name));
}

struct ChoiceCase {
  const char* what;
  int width, height;
  // Builds the second frame from the first.
  Frame (*second)(const Frame& first, int width);
  bool flat_first;
  int first_chunk, second_chunk;  // 0: no chunk
};

Frame Same(const Frame& f, int) {
  return f;
}
Frame FewPixels(const Frame& f, int width) {
  Frame g = f;
  for (int k = 0; k < 40; ++k) g[(k * 7919) % g.size()] ^= 0x55;
  g[5 * width + 3] ^= 1;
  return g;
}
Frame AllNew(const Frame& f, int) {
  return Noise(f.size(), 99);
}
Frame AllFlatNew(const Frame& f, int) {
  return Frame(f.size(), 7);
}
// Runs of three bytes: no two neighbouring words are equal, so a word delta
// is larger than the frame, while the byte-run coding is two thirds of it.
Frame RunsOfThree(const Frame& f, int) {
  Frame g(f.size());
  for (size_t k = 0; k < g.size(); ++k) g[k] = static_cast<uint8_t>(k / 3 * 37 + 1);
  return g;
}

class FlicChunkChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FlicChunkChoice, TakesTheChunkTheRulesGive) {
  const ChoiceCase c = GetParam();
  vidzoer_test::TempDir dir;
  size_t n = static_cast<size_t>(c.width) * c.height;
  Frame first = c.flat_first ? Frame(n, 3) : Noise(n, 1);
  if (c.flat_first)
    for (size_t k = 0; k < n; k += 97) first[k] = 9;
  Frame second = c.second(first, c.width);
  auto records = WriteAndWalk(dir.File("c.flc"), c.width, c.height, {first, second});
  ASSERT_EQ(records.size(), 3u);
  ASSERT_EQ(records[0].chunk_types.size(), 1u);
  EXPECT_EQ(records[0].chunk_types[0], c.first_chunk);
  if (c.second_chunk == 0) {
    EXPECT_TRUE(records[1].chunk_types.empty());
    EXPECT_EQ(records[1].size, 16u) << "an unchanged frame is a bare frame header";
  } else {
    ASSERT_EQ(records[1].chunk_types.size(), 1u);
    EXPECT_EQ(records[1].chunk_types[0], c.second_chunk);
  }
  // Whatever was chosen decodes to the frames written.
  QELFlic* r = QELFlicOpen(dir.File("c.flc").c_str());
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height);
  for (const Frame* f : {&first, &second}) {
    QELFlicGetNext(r, buffer.data());
    for (int y = 0; y < c.height; ++y)
      ASSERT_EQ(0, std::memcmp(buffer.data() + y * r->buffer_width, f->data() + y * c.width, c.width));
  }
  QELFlicClose(r);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlicChunkChoice,
    ::testing::Values(ChoiceCase{"noise_raw_then_same", 64, 40, Same, false, 16, 0},
                      ChoiceCase{"flat_byterun_then_bytedelta", 320, 200, FewPixels, true, 15, 12},
                      ChoiceCase{"flat_byterun_then_worddelta", 64, 40, FewPixels, true, 15, 7},
                      ChoiceCase{"worddelta_at_odd_multiple_of_4", 44, 20, FewPixels, true, 15, 7},
                      ChoiceCase{"noise_then_noise_is_raw", 320, 200, AllNew, false, 16, 16},
                      ChoiceCase{"noise_then_flat_is_worddelta", 64, 40, AllFlatNew, false, 16, 7},
                      ChoiceCase{"noise_then_runs_is_byterun", 64, 40, RunsOfThree, false, 16, 15},
                      ChoiceCase{"same_frame_320x200", 320, 200, Same, true, 15, 0}),
    [](const auto& info) { return std::string(info.param.what); });

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(FlicHeader, HoldsWhatTheWriterWasGiven) {
  vidzoer_test::TempDir dir;
  struct Case {
    int w, h, time;
    uint32_t speed, precise;
    int ax, ay;
  } cases[] = {{320, 200, -3333, 33, static_cast<uint32_t>(-3333), 6, 5}, {64, 64, 70, 70, 0, 1, 1}};
  for (const auto& c : cases) {
    // A name without extension gets ".flc".
    QELOFlic* o = QELOFlicCreate(dir.File("h").c_str(), c.w, c.h, c.time);
    ASSERT_NE(o, nullptr);
    Frame f(static_cast<size_t>(c.w) * c.h, 1);
    QELOFlicPutNext(o, f.data(), nullptr);
    uint32_t size = QELOFlicClose(o);
    auto b = vidzoer_test::ReadBytes(dir.File("h.flc"));
    ASSERT_EQ(b.size(), size);
    EXPECT_EQ(Get32(b, 0), size);
    EXPECT_EQ(b[4] | (b[5] << 8), 0xAF12);
    EXPECT_EQ(b[6] | (b[7] << 8), 1);
    EXPECT_EQ(b[8] | (b[9] << 8), c.w);
    EXPECT_EQ(b[10] | (b[11] << 8), c.h);
    EXPECT_EQ(b[12], 8);
    EXPECT_EQ(b[14], 3);
    EXPECT_EQ(Get32(b, 16), c.speed);
    EXPECT_EQ(Get32(b, 26), c.precise);
    EXPECT_EQ(b[38], c.ax);
    EXPECT_EQ(b[40], c.ay);
    EXPECT_EQ(Get32(b, 80), 128u);
    // The reader finds the name without extension too, and the frame time.
    QELFlic* r = QELFlicOpen(dir.File("h").c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->frame_time, c.time < 0 ? c.time : -100 * c.time);
    QELFlicClose(r);
  }
}

TEST(FlicWriter, RefusesOddWidthsAndEmptySizes) {
  vidzoer_test::TempDir dir;
  for (auto [w, h] : {std::pair{321, 200}, {1, 1}, {0, 10}, {10, 0}, {-4, 4}})
    EXPECT_EQ(QELOFlicCreate(dir.File("bad.flc").c_str(), w, h, 50), nullptr) << w << "x" << h;
  EXPECT_EQ(QELOFlicCreate(dir.File("no/such/folder/x.flc").c_str(), 4, 4, 50), nullptr);
}

// A flic header of our own making for the reader's rules.
std::vector<uint8_t> Header(uint16_t magic, uint32_t speed, uint32_t precise, uint16_t w, uint16_t h,
                            uint16_t frames) {
  std::vector<uint8_t> b(128, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
  };
  put16(4, magic);
  put16(6, frames);
  put16(8, w);
  put16(10, h);
  put16(12, 8);
  put32(16, speed);
  put32(26, precise);
  put32(80, 128);
  return b;
}

void AddFrame(std::vector<uint8_t>& b, const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& chunks) {
  size_t at = b.size();
  b.resize(at + 16);
  b[at + 4] = 0xFA;
  b[at + 5] = 0xF1;
  b[at + 6] = static_cast<uint8_t>(chunks.size());
  for (const auto& [type, data] : chunks) {
    uint32_t size = static_cast<uint32_t>(data.size() + 6);
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(size >> (8 * k)));
    b.push_back(static_cast<uint8_t>(type));
    b.push_back(static_cast<uint8_t>(type >> 8));
    b.insert(b.end(), data.begin(), data.end());
  }
  uint32_t size = static_cast<uint32_t>(b.size() - at);
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(size >> (8 * k));
}

TEST(FlicReaderHeader, SpeedRules) {
  vidzoer_test::TempDir dir;
  struct Case {
    const char* what;
    uint16_t magic;
    uint32_t speed, precise;
    int32_t frame_time;
  } cases[] = {
      {"flc speed 0 is 200 ms", 0xAF12, 0, 0, -20000},
      {"flc speed above 30000 is 200 ms", 0xAF12, 30001, 0, -20000},
      {"flc speed 30000 stays", 0xAF12, 30000, 0, -3000000},
      {"flc precise time that matches", 0xAF12, 33, static_cast<uint32_t>(-3333), -3333},
      {"flc precise time that does not match", 0xAF12, 34, static_cast<uint32_t>(-3333), -3400},
      {"flc positive precise time is ignored", 0xAF12, 40, 4000, -4000},
      {"fli speed in 1/70 s", 0xAF11, 5, 0, -(5 * 100000 / 70)},
  };
  for (const auto& c : cases) {
    auto b = Header(c.magic, c.speed, c.precise, 8, 4, 1);
    AddFrame(b, {{13, {}}});
    vidzoer_test::WriteBytes(dir.File("s.flc"), b);
    QELFlic* r = QELFlicOpen(dir.File("s.flc").c_str());
    ASSERT_NE(r, nullptr) << c.what;
    EXPECT_EQ(r->frame_time, c.frame_time) << c.what;
    QELFlicClose(r);
  }
}

TEST(FlicReaderHeader, RefusesWhatIsNotAnEightBitFlic) {
  vidzoer_test::TempDir dir;
  std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"wrong magic", Header(0xAF13, 5, 0, 8, 4, 1)},
      {"no frames", Header(0xAF12, 5, 0, 8, 4, 0)},
      {"no width", Header(0xAF12, 5, 0, 0, 4, 1)},
      {"short header", std::vector<uint8_t>(100, 0)},
  };
  auto deep = Header(0xAF12, 5, 0, 8, 4, 1);
  deep[12] = 16;
  cases.emplace_back("16-bit depth", deep);
  for (const auto& [what, bytes] : cases) {
    vidzoer_test::WriteBytes(dir.File("x.flc"), bytes);
    EXPECT_EQ(QELFlicOpen(dir.File("x.flc").c_str()), nullptr) << what;
  }
  EXPECT_EQ(QELFlicOpen(dir.File("missing").c_str()), nullptr);
}

TEST(FlicReaderChunks, SixBitColoursBlackFramesAndSkippedChunks) {
  vidzoer_test::TempDir dir;
  auto b = Header(0xAF11, 5, 0, 6, 2, 3);
  // Frame 1: 64-level colours for entries 1 and 2, then a raw frame.
  std::vector<uint8_t> colors = {1, 0, 1, 2, 63, 0, 32, 1, 2, 3};
  std::vector<uint8_t> raw = {1, 2, 1, 2, 1, 2, 2, 2, 2, 1, 1, 1};
  AddFrame(b, {{11, colors}, {18, {9, 9, 9}}, {16, raw}});
  // Frame 2: a black frame. Frame 3: a frame whose data is cut short.
  AddFrame(b, {{13, {}}});
  b.insert(b.end(), {0xFF, 0, 0, 0, 0xFA, 0xF1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2});
  vidzoer_test::WriteBytes(dir.File("c.fli"), b);
  QELFlic* r = QELFlicOpen(dir.File("c").c_str());
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height, 0xCC);
  EXPECT_EQ(QELFlicGetNext(r, buffer.data()), 2);
  const uint8_t* pal = QELFlicGetPalette(r);
  EXPECT_EQ(pal[3], 63 * 4 + 63 / 16);
  EXPECT_EQ(pal[4], 0);
  EXPECT_EQ(pal[5], 32 * 4 + 32 / 16);
  EXPECT_EQ(pal[6], 1 * 4);
  EXPECT_EQ(0, std::memcmp(buffer.data(), raw.data(), 6));
  EXPECT_EQ(0, std::memcmp(buffer.data() + 8, raw.data() + 6, 6));
  EXPECT_EQ(buffer[6], 0);
  EXPECT_EQ(buffer[7], 0);
  EXPECT_EQ(QELFlicGetNext(r, buffer.data()), 1);
  EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0));
  buffer[0] = 77;
  EXPECT_EQ(QELFlicGetNext(r, buffer.data()), 1);  // cut short: skipped
  EXPECT_EQ(buffer[0], 77);
  EXPECT_EQ(QELFlicGetNext(r, buffer.data()), 2);  // and the first frame again
  EXPECT_EQ(buffer[0], 1);
  QELFlicClose(r);
}

}  // namespace

namespace {

TEST(FlicWriter, RefusesFramesTheHeaderCannotCount) {
  vidzoer_test::TempDir dir;
  QELOFlic* o = QELOFlicCreate(dir.File("long.flc").c_str(), 2, 2, 50);
  ASSERT_NE(o, nullptr);
  uint8_t frame[4] = {1, 2, 3, 4};
  for (int i = 0; i < 65535; ++i) {
    frame[i % 4] = static_cast<uint8_t>(i);
    ASSERT_EQ(QELOFlicPutNext(o, frame, nullptr), 1) << i;
  }
  EXPECT_EQ(QELOFlicPutNext(o, frame, nullptr), 0);
  QELOFlicClose(o);
  QELFlic* r = QELFlicOpen(dir.File("long.flc").c_str());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->frames, 65535);
  std::vector<uint8_t> buffer(16);
  ASSERT_NE(QELFlicGoto(r, 65535, buffer.data()), 0);
  EXPECT_EQ(buffer[0] | buffer[1] << 8 | buffer[4] << 16 | buffer[5] << 24,
            frame[0] | frame[1] << 8 | frame[2] << 16 | frame[3] << 24);
  QELFlicClose(r);
}

}  // namespace
