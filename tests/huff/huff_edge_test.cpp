// The encoder's defined small cases: empty and one-symbol trees, the exact
// bits of a two-symbol tree, the 30-bit depth limit, and the escape symbols.
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "huff_test_util.h"
#include "qelutil/huff_tree.h"
#include "qelutil/qelutil.h"
#include "reference_tree.h"
#include "support/bit_stream.h"

namespace {

using huff_test::BitPos;
using huff_test::HuffPtr;
using huff_test::OpenByte;
using huff_test::OpenWord;
using huff_test::PlaceCounts;
using vidzoer_test::BitCursor;
using vidzoer_test::QelBitFile;

TEST(HuffEdge, NoStatisticsWritesOneZeroBit) {
  for (bool byte_encoder : {true, false}) {
    HuffPtr h = byte_encoder ? OpenByte() : OpenWord();
    ASSERT_NE(h, nullptr);
    QelBitFile f;
    HuffSetOutput(h.get(), f.get());
    HuffInitStats(h.get());
    EXPECT_EQ(HuffStartEncode(h.get()), 12);
    EXPECT_EQ(BitPos(f.get()), 1u);
    QELFilePutBits(f.get(), 1, 1);  // marks where the tree ended
    EXPECT_EQ(f.Finish(), std::vector<uint8_t>{0x02});
  }
}

TEST(HuffEdge, OnlySevenIsALoneLeafThatCostsNoBits) {
  HuffPtr h = OpenByte();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  HuffInitStats(h.get());
  for (int i = 0; i < 5; ++i) HuffAddStat(h.get(), 7);
  EXPECT_EQ(HuffStartEncode(h.get()), 20);
  const uint64_t after_tree = BitPos(f.get());
  for (int i = 0; i < 3; ++i) HuffEncode(h.get(), 7);
  EXPECT_EQ(BitPos(f.get()), after_tree);
  EXPECT_EQ(h->bits_written, 0u);
  EXPECT_EQ(h->bytes_encoded, 3u);
  QELFilePutBits(f.get(), 0x5, 3);

  const std::vector<uint8_t> bytes = f.Finish();
  BitCursor in(bytes);
  EXPECT_EQ(in.Bit(), 1u);
  EXPECT_EQ(in.Bit(), 0u);
  EXPECT_EQ(in.Bits(8), 7u);
  EXPECT_EQ(in.Bit(), 0u);
  EXPECT_EQ(in.Bits(3), 0x5u);
  EXPECT_EQ(bytes.size(), 2u);
}

TEST(HuffEdge, TwoSymbolsGiveTheExactTreeAndCodes) {
  HuffPtr h = OpenByte();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  HuffInitStats(h.get());
  for (int i = 0; i < 5; ++i) HuffAddStat(h.get(), 1);
  for (int i = 0; i < 3; ++i) HuffAddStat(h.get(), 2);
  EXPECT_EQ(HuffStartEncode(h.get()), 24);
  EXPECT_EQ(h->lengths[1], 1);
  EXPECT_EQ(h->lengths[2], 1);
  EXPECT_EQ(h->codes[1], 0u);
  EXPECT_EQ(h->codes[2], 1u);
  EXPECT_EQ(h->lengths[0], 0);
  EXPECT_EQ(BitPos(f.get()), 1u + 1 + 9 + 9 + 1);
  HuffEncode(h.get(), 2);
  HuffEncode(h.get(), 1);
  HuffEncode(h.get(), 2);
  EXPECT_EQ(h->bits_written, 3u);
  EXPECT_EQ(h->bytes_encoded, 3u);

  const std::vector<uint8_t> bytes = f.Finish();
  BitCursor in(bytes);
  EXPECT_EQ(in.Bit(), 1u);  // present
  EXPECT_EQ(in.Bit(), 1u);  // root
  EXPECT_EQ(in.Bit(), 0u);
  EXPECT_EQ(in.Bits(8), 1u);
  EXPECT_EQ(in.Bit(), 0u);
  EXPECT_EQ(in.Bits(8), 2u);
  EXPECT_EQ(in.Bit(), 0u);  // end
  EXPECT_EQ(in.Bits(3), 0x5u);
  EXPECT_EQ(in.Bits(5), 0u);
  EXPECT_EQ(bytes.size(), 3u);
}

TEST(HuffEdge, ByteEncoderTakesLowByteOfValues) {
  HuffPtr h = OpenByte();
  HuffInitStats(h.get());
  HuffAddStat(h.get(), 0x107);
  HuffAddStat(h.get(), 0xFFFFFF07u);
  EXPECT_EQ(h->codes[7], 2u);
}

TEST(HuffEdge, InitStatsClearsStatisticsButKeepsLengths) {
  HuffPtr h = OpenWord();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  EXPECT_EQ(h->low_tree->output, f.get());
  EXPECT_EQ(h->high_tree->output, f.get());
  HuffInitStats(h.get());
  for (uint32_t v : {10u, 20u, 20u, 30u, 10u}) HuffAddStat(h.get(), v);
  ASSERT_GT(HuffStartEncode(h.get()), 0);
  const uint8_t length = h->lengths[20];
  ASSERT_NE(length, 0);
  HuffAddStat(h.get(), 40);
  HuffInitStats(h.get());
  EXPECT_EQ(h->has_stats, 0);
  EXPECT_EQ(h->codes[40], 0u);
  EXPECT_EQ(h->recent[0], 0u);
  EXPECT_EQ(h->escape[0], 0u);
  EXPECT_EQ(h->lengths[20], length);
}

// Fibonacci counts make a comb-shaped tree: n symbols, depth about n - 1.
std::vector<uint32_t> FibonacciCounts(uint32_t n, uint32_t symbols, uint32_t stride) {
  std::vector<uint32_t> counts(symbols);
  uint32_t a = 1, b = 1;
  for (uint32_t i = 0; i < n; ++i) {
    counts[(i * stride) % symbols] = a;
    const uint32_t c = a + b;
    a = b;
    b = c;
  }
  return counts;
}

TEST(HuffEdge, ThirtyBitCodesPassThirtyOneFail) {
  int checked = 0;
  for (uint32_t n = 25; n <= 40; ++n) {
    const std::vector<uint32_t> counts = FibonacciCounts(n, 256, 7);
    const uint32_t depth = huff_ref::Assign(huff_ref::Build(counts), 256).max_length;
    if (depth != 30 && depth != 31) continue;
    ++checked;
    HuffPtr h = OpenByte();
    QelBitFile f;
    HuffSetOutput(h.get(), f.get());
    PlaceCounts(h.get(), counts);
    const int32_t result = HuffStartEncode(h.get());
    EXPECT_FALSE(huff::WorkAreaHeld());
    if (depth == 30) {
      EXPECT_EQ(result, static_cast<int32_t>(16 + 8 * (n - 1))) << n;
      EXPECT_EQ(h->too_deep, 0);
    } else {
      EXPECT_EQ(result, -1) << n;
      EXPECT_EQ(h->too_deep, 1);
      EXPECT_EQ(BitPos(f.get()), 1u);  // only the tree-present bit
    }
  }
  EXPECT_EQ(checked, 2);
}

TEST(HuffEdge, TooDeepWordTreeReleasesWorkAndCanRetry) {
  HuffPtr h = OpenWord();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  PlaceCounts(h.get(), FibonacciCounts(40, 65536, 4099));
  EXPECT_EQ(HuffStartEncode(h.get()), -1);
  EXPECT_FALSE(huff::WorkAreaHeld());
  EXPECT_GT(BitPos(f.get()), 1u);  // the byte trees were written too

  PlaceCounts(h.get(), FibonacciCounts(20, 65536, 4099));
  EXPECT_EQ(HuffStartEncode(h.get()), 16 + 8 * 19);
  EXPECT_EQ(h->too_deep, 0);
}

// Adds the sequence as statistics, builds the tree, codes the sequence, and
// returns the symbols the codes stand for, read back from the stream with
// the encoder's own code table.
struct Coded {
  std::vector<uint32_t> symbols;
  uint32_t escapes[3];
};

Coded CodeSequence(Huff* h, const std::vector<uint32_t>& values) {
  QelBitFile f;
  HuffSetOutput(h, f.get());
  HuffInitStats(h);
  for (uint32_t v : values) HuffAddStat(h, v);
  EXPECT_GT(HuffStartEncode(h), 0);
  const uint64_t start = BitPos(f.get());
  for (uint32_t v : values) HuffEncode(h, v);
  EXPECT_EQ(BitPos(f.get()) - start, h->bits_written);
  EXPECT_EQ(h->bytes_encoded, 2 * values.size());

  const std::vector<uint8_t> bytes = f.Finish();
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> by_code;  // (length, code) -> symbol
  for (uint32_t s = 0; s < 65536; ++s)
    if (h->lengths[s] >= 1 && h->lengths[s] <= 30) by_code[{h->lengths[s], h->codes[s]}] = s;
  BitCursor in(bytes);
  while (in.position() < start) in.Bit();
  Coded out{{}, {h->escape[0], h->escape[1], h->escape[2]}};
  while (in.position() < start + h->bits_written) {
    uint32_t code = 0, length = 0;
    auto it = by_code.end();
    while (it == by_code.end() && length < 30) {
      code |= in.Bit() << length++;
      it = by_code.find({length, code});
    }
    out.symbols.push_back(it == by_code.end() ? 0xFFFFFFFFu : it->second);
  }
  return out;
}

TEST(HuffEdge, FortyRepeatsPutEscapeZeroIntoTheTree) {
  std::vector<uint32_t> values(41, 1000);
  for (uint32_t v : {5u, 6u, 7u, 8u}) values.push_back(v);
  HuffPtr h = OpenWord();
  const Coded coded = CodeSequence(h.get(), values);
  EXPECT_EQ(coded.escapes[0], 0u);
  EXPECT_EQ(coded.escapes[1], 1u);
  EXPECT_EQ(coded.escapes[2], 2u);
  EXPECT_GE(h->lengths[0], 1);
  EXPECT_LE(h->lengths[0], 30);
  EXPECT_EQ(h->lengths[1], 255);
  EXPECT_EQ(h->lengths[2], 255);
  std::vector<uint32_t> expected{1000};
  expected.insert(expected.end(), 40, 0);  // escape 0
  expected.insert(expected.end(), {5, 6, 7, 8});
  EXPECT_EQ(coded.symbols, expected);
}

TEST(HuffEdge, TwentyRepeatsLeaveEscapeZeroOut) {
  std::vector<uint32_t> values(21, 1000);
  for (uint32_t v : {5u, 6u, 7u, 8u}) values.push_back(v);
  HuffPtr h = OpenWord();
  const Coded coded = CodeSequence(h.get(), values);
  EXPECT_EQ(h->lengths[0], 255);
  std::vector<uint32_t> expected(21, 1000);
  expected.insert(expected.end(), {5, 6, 7, 8});
  EXPECT_EQ(coded.symbols, expected);
}

TEST(HuffEdge, EscapesAreTheLowestUnusedValues) {
  HuffPtr h = OpenWord();
  CodeSequence(h.get(), {5, 9, 5, 9});
  EXPECT_EQ(h->escape[0], 0u);
  EXPECT_EQ(h->escape[1], 1u);
  EXPECT_EQ(h->escape[2], 2u);
  CodeSequence(h.get(), {2, 0, 7, 3});
  EXPECT_EQ(h->escape[0], 1u);
  EXPECT_EQ(h->escape[1], 4u);
  EXPECT_EQ(h->escape[2], 5u);
}

TEST(HuffEdge, RecentValuesAreCodedAsTheirEscapes) {
  // A cycle of three values repeats the third most recent value each time,
  // two alternating values the second, a run the most recent one.
  std::vector<uint32_t> values;
  for (int i = 0; i < 40; ++i) values.insert(values.end(), {300, 400, 500});
  for (int i = 0; i < 40; ++i) values.insert(values.end(), {600, 700});
  values.insert(values.end(), 40, 800);
  HuffPtr h = OpenWord();
  const Coded coded = CodeSequence(h.get(), values);
  const uint32_t e0 = coded.escapes[0], e1 = coded.escapes[1], e2 = coded.escapes[2];
  std::vector<uint32_t> expected{300, 400, 500};
  expected.insert(expected.end(), 117, e2);
  expected.insert(expected.end(), {600, 700});
  expected.insert(expected.end(), 78, e1);
  expected.push_back(800);
  expected.insert(expected.end(), 39, e0);
  EXPECT_EQ(coded.symbols, expected);
}

TEST(HuffEdge, RepeatedRecentValueMayStandTwice) {
  // After a, b, c the value b (second most recent) is pushed in front again,
  // so the slots hold b, c, b and a is forgotten: a is then coded as itself.
  std::vector<uint32_t> values;
  for (int i = 0; i < 40; ++i) values.insert(values.end(), {300, 400, 500, 400, 300});
  HuffPtr h = OpenWord();
  const Coded coded = CodeSequence(h.get(), values);
  const uint32_t e1 = coded.escapes[1];
  EXPECT_EQ(h->lengths[coded.escapes[2]], 255);  // never counted
  // Escape 0 (39 times) is in the tree, but 300 (41 times) has a code no
  // longer than it, so 300 is coded as itself even when it repeats.
  EXPECT_LE(h->lengths[coded.escapes[0]], 30);
  EXPECT_GE(h->lengths[coded.escapes[0]], h->lengths[300]);
  std::vector<uint32_t> expected{300, 400, 500, e1, 300};
  for (int i = 1; i < 40; ++i) expected.insert(expected.end(), {300, e1, 500, e1, 300});
  EXPECT_EQ(coded.symbols, expected);
}

TEST(HuffEdge, EscapesWithoutUnusedValuesShareAndAreNeverCoded) {
  HuffPtr h = OpenWord();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  std::vector<uint32_t> counts(65536, 1);
  counts[100] = counts[200] = 0;
  PlaceCounts(h.get(), counts);
  h->escape[1] = 50;  // counted often enough for the tree
  h->escape[2] = 50;
  ASSERT_GT(HuffStartEncode(h.get()), 0);
  EXPECT_EQ(h->escape[0], 100u);
  EXPECT_EQ(h->escape[1], 200u);
  EXPECT_EQ(h->escape[2], 200u);
  EXPECT_EQ(h->lengths[100], 255);
  EXPECT_LT(h->lengths[200], h->lengths[7]);

  for (uint32_t v : {7u, 8u, 9u}) HuffEncode(h.get(), v);  // recent: 9, 8, 7
  uint32_t before = h->bits_written;
  HuffEncode(h.get(), 8);  // recent[1]: escape 1
  EXPECT_EQ(h->bits_written - before, h->lengths[200]);
  for (uint32_t v : {7u, 8u, 9u}) HuffEncode(h.get(), v);
  before = h->bits_written;
  HuffEncode(h.get(), 7);  // recent[2]: escape 2 shares escape 1's value, so 7 itself
  EXPECT_EQ(h->bits_written - before, h->lengths[7]);
}

TEST(HuffEdge, EveryValueUsedIsRefused) {
  HuffPtr h = OpenWord();
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  PlaceCounts(h.get(), std::vector<uint32_t>(65536, 1));
  EXPECT_EQ(HuffStartEncode(h.get()), -1);
  EXPECT_FALSE(huff::WorkAreaHeld());
  EXPECT_EQ(BitPos(f.get()), 0u);
}

}  // namespace
