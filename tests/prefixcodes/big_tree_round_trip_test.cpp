// 16-bit encoders to the video trees: four encoders write the trees block in
// the order UnpackTrees reads it, with HuffStartEncode's results as the size
// fields; their codes, interleaved as the video data interleaves them and
// split into frames (the lasts start again at every frame), are fetched back
// with FetchValue by both bit readers.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "playback/bit_reader.h"
#include "playback/trees.h"
#include "qelutil/qelutil.h"
#include "support/bit_stream.h"
#include "value_streams.h"

namespace {

using prefixcodes_test::BitPos;
using prefixcodes_test::HuffPtr;
using prefixcodes_test::MakeStream;
using prefixcodes_test::StreamShape;
using vidzoer_test::QelBitFile;

struct Fetch {
  unsigned tree;
  uint32_t value;
};
using Frames = std::vector<std::vector<Fetch>>;

// Splits each tree's values over `frames` frames and interleaves the trees
// randomly inside each frame, keeping every tree's own order.
Frames Interleave(std::mt19937& rng, const std::array<std::vector<uint32_t>, 4>& streams, size_t frames) {
  Frames out(frames);
  std::array<size_t, 4> next{};
  for (size_t f = 0; f < frames; ++f) {
    std::array<size_t, 4> end{};
    std::vector<unsigned> order;
    for (unsigned t = 0; t < 4; ++t) {
      end[t] = streams[t].size() * (f + 1) / frames;
      order.insert(order.end(), end[t] - next[t], t);
    }
    std::shuffle(order.begin(), order.end(), rng);
    for (unsigned t : order) out[f].push_back({t, streams[t][next[t]++]});
  }
  return out;
}

struct Encoded {
  std::vector<uint8_t> trees;
  std::vector<uint8_t> codes;
  uint32_t sizes[4] = {};
  uint64_t code_bits = 0;
};

Encoded EncodeFrames(const Frames& frames) {
  std::array<HuffPtr, 4> enc{HuffPtr(HuffOpen(0), &HuffClose), HuffPtr(HuffOpen(0), &HuffClose),
                             HuffPtr(HuffOpen(0), &HuffClose), HuffPtr(HuffOpen(0), &HuffClose)};
  for (auto& h : enc) HuffInitStats(h.get());
  for (const auto& frame : frames) {
    for (auto& h : enc) HuffInitLasts(h.get());
    for (const Fetch& f : frame) HuffAddStat(enc[f.tree].get(), f.value);
  }
  Encoded out;
  QelBitFile trees;
  for (unsigned t = 0; t < 4; ++t) {
    HuffSetOutput(enc[t].get(), trees.get());
    const int32_t size = HuffStartEncode(enc[t].get());
    EXPECT_GT(size, 0) << "tree " << t;
    out.sizes[t] = static_cast<uint32_t>(size);
  }
  out.trees = trees.Finish();

  QelBitFile codes;
  for (auto& h : enc) HuffSetOutput(h.get(), codes.get());
  for (const auto& frame : frames) {
    for (auto& h : enc) HuffInitLasts(h.get());
    for (const Fetch& f : frame) HuffEncode(enc[f.tree].get(), f.value);
  }
  out.code_bits = BitPos(codes.get());
  uint64_t sum = 0;
  for (auto& h : enc) sum += h->bits_written;
  EXPECT_EQ(out.code_bits, sum);
  out.codes = codes.Finish();
  return out;
}

// The unpacked trees take exactly the room the size fields promise: 4 bytes
// per node plus three escape slots, all inside the tree's own storage.
void ExpectTreesFitTheirSizes(const vidzo::TreesArea& area, const uint32_t sizes[4]) {
  for (unsigned t = 0; t < 4; ++t) {
    const vidzo::TreeControl& c = area.control[t];
    if (sizes[t] == 12) {
      EXPECT_EQ(c.node_count, 0u) << "tree " << t;
      continue;
    }
    if (sizes[t] == 20) {
      EXPECT_EQ(c.node_count, 1u) << "tree " << t;
    } else {
      EXPECT_EQ(4 * (c.node_count + 3), sizes[t]) << "tree " << t;
    }
    const uint32_t* begin = area.nodes + c.first_word;
    for (int i = 0; i < 3; ++i) {
      EXPECT_GE(c.slot[i], begin) << "tree " << t << " last " << i;
      EXPECT_LT(c.slot[i], begin + c.words) << "tree " << t << " last " << i;
    }
  }
}

template <typename Reader>
void FetchAndCompare(vidzo::TreesArea& area, const Encoded& e, const Frames& frames) {
  Reader reader(e.codes.data(), e.codes.size());
  for (size_t f = 0; f < frames.size(); ++f) {
    vidzo::ResetLasts(area);
    for (size_t i = 0; i < frames[f].size(); ++i) {
      const Fetch& want = frames[f][i];
      ASSERT_EQ(vidzo::FetchValue(reader, area, want.tree), want.value)
          << "frame " << f << " fetch " << i << " tree " << want.tree;
    }
  }
  EXPECT_EQ(reader.BitsConsumed(), e.code_bits);
}

// `inspect`, when given, looks at the unpacked trees.
void RoundTrip(const Frames& frames, const std::function<void(const vidzo::TreesArea&)>& inspect = {}) {
  const Encoded e = EncodeFrames(frames);
  if (testing::Test::HasFailure()) return;
  vidzo::TreesAreaBuffer buffer(e.sizes);
  ASSERT_NE(buffer.Get(), nullptr);
  ASSERT_TRUE(vidzo::UnpackTrees(e.trees.data(), e.trees.size(), *buffer.Get(), e.sizes));
  ExpectTreesFitTheirSizes(*buffer.Get(), e.sizes);
  if (inspect) inspect(*buffer.Get());
  FetchAndCompare<vidzo::BitReader32>(*buffer.Get(), e, frames);
  FetchAndCompare<vidzo::BitReader64>(*buffer.Get(), e, frames);
}

TEST(BigTreeRoundTrip, RandomStreams) {
  std::mt19937 rng(77);
  for (int round = 0; round < 40; ++round) {
    std::array<std::vector<uint32_t>, 4> streams;
    std::string what;
    for (unsigned t = 0; t < 4; ++t) {
      if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
        what += " absent";
        continue;
      }
      const StreamShape shape = prefixcodes_test::RandomShape(rng, 65536);
      streams[t] = MakeStream(rng, shape);
      what += " " + std::to_string(shape.distinct) + "/" + std::to_string(shape.repeat);
    }
    SCOPED_TRACE("round " + std::to_string(round) + ":" + what);
    RoundTrip(Interleave(rng, streams, std::uniform_int_distribution<size_t>(1, 6)(rng)));
    if (testing::Test::HasFatalFailure() || testing::Test::HasFailure()) return;
  }
}

TEST(BigTreeRoundTrip, LoneValueTreesCostNoBits) {
  // Ten copies: nine repeats stay below the escape threshold, so the tree is
  // one leaf; the fourth tree is absent.
  std::mt19937 rng(3);
  std::array<std::vector<uint32_t>, 4> streams{
      std::vector<uint32_t>(10, 0x1234), std::vector<uint32_t>(10, 0), std::vector<uint32_t>(1, 0xFFFF), {}};
  const Frames frames = Interleave(rng, streams, 2);
  const Encoded e = EncodeFrames(frames);
  EXPECT_EQ(e.sizes[0], 20u);
  EXPECT_EQ(e.sizes[1], 20u);
  EXPECT_EQ(e.sizes[2], 20u);
  EXPECT_EQ(e.sizes[3], 12u);
  EXPECT_EQ(e.code_bits, 0u);
  RoundTrip(frames);
}

TEST(BigTreeRoundTrip, EscapesInAndOutOfTheTree) {
  // Runs of 41 put escape 0 into the tree, runs of 21 (one frame each, so
  // the count stays low) leave it out; cycles and alternations exercise
  // escapes 2 and 1.
  std::mt19937 rng(11);
  std::vector<uint32_t> long_runs, short_runs, cycles;
  for (uint32_t v = 1; v <= 5; ++v) long_runs.insert(long_runs.end(), 41, v * 1000);
  short_runs.insert(short_runs.end(), 21, 4242);
  for (int i = 0; i < 50; ++i) cycles.insert(cycles.end(), {7, 8, 9});
  for (int i = 0; i < 50; ++i) cycles.insert(cycles.end(), {70, 80});
  RoundTrip(
      Interleave(rng, {long_runs, short_runs, cycles, MakeStream(rng, {65536, 300, 2.0, 0.5, 3000})}, 1));
  RoundTrip(Interleave(rng, {long_runs, short_runs, cycles, {}}, 3));
}

TEST(BigTreeRoundTrip, ManyDistinctValues) {
  // 50000 distinct values: trees far larger than the lookup tables, with
  // second children more than 65535 nodes away.
  std::mt19937 rng(5);
  std::vector<uint32_t> all(65536);
  for (uint32_t v = 0; v < 65536; ++v) all[v] = v;
  std::shuffle(all.begin(), all.end(), rng);
  all.resize(50000);
  std::vector<uint32_t> repeats = all;
  repeats.resize(60000, 0);
  for (size_t i = 50000; i < repeats.size(); ++i) repeats[i] = repeats[i - 1 - i % 3];
  RoundTrip(Interleave(rng, {all, {}, repeats, MakeStream(rng, {65536, 40000, 1.0, 0.2, 80000})}, 2),
            [](const vidzo::TreesArea& area) {
              EXPECT_GT(area.control[0].far_count, 0u);
              EXPECT_GT(area.control[2].far_count, 0u);
            });
}

TEST(BigTreeRoundTrip, OnlyTwoUnusedValues) {
  // All values but 100 and 200 occur: escape 2 finds no unused value of its
  // own and shares escape 1's; it is never coded.
  std::mt19937 rng(8);
  std::vector<uint32_t> values;
  for (uint32_t v = 0; v < 65536; ++v)
    if (v != 100 && v != 200) values.push_back(v);
  std::shuffle(values.begin(), values.end(), rng);
  for (int i = 0; i < 60; ++i) values.insert(values.end(), {500, 600});       // second most recent
  for (int i = 0; i < 60; ++i) values.insert(values.end(), {700, 800, 900});  // third most recent
  values.insert(values.end(), 50, 1000);                                      // most recent
  RoundTrip(Interleave(rng, {values, {}, {}, {}}, 1));
}

}  // namespace
