// 8-bit encoder to byte-tree decoder: the tree and the codes written by the
// encoder are read back by ReadByteTree and DecodeByte, with both bit
// readers, and the decoder uses up exactly the bits the encoder wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

struct Written {
  std::vector<uint8_t> bytes;
  uint64_t tree_bits = 0;
  uint64_t total_bits = 0;
  int32_t result = 0;
};

Written EncodeBytes(const std::vector<uint32_t>& values) {
  HuffPtr h(HuffOpen(1), &HuffClose);
  QelBitFile f;
  HuffSetOutput(h.get(), f.get());
  HuffInitStats(h.get());
  for (uint32_t v : values) HuffAddStat(h.get(), v);
  Written w;
  w.result = HuffStartEncode(h.get());
  w.tree_bits = BitPos(f.get());
  for (uint32_t v : values) HuffEncode(h.get(), v);
  w.total_bits = BitPos(f.get());
  EXPECT_EQ(w.total_bits - w.tree_bits, h->bits_written);
  w.bytes = f.Finish();
  return w;
}

template <typename Reader>
void DecodeAndCompare(const Written& w, const std::vector<uint32_t>& values) {
  Reader reader(w.bytes.data(), w.bytes.size());
  const unsigned present = reader.ReadBit();
  ASSERT_EQ(present, values.empty() ? 0u : 1u);
  if (!present) {
    EXPECT_EQ(reader.BitsConsumed(), w.total_bits);
    return;
  }
  vidzo::ByteTree tree;
  vidzo::ReadByteTree(reader, tree);
  ASSERT_EQ(reader.BitsConsumed(), w.tree_bits);
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_EQ(vidzo::DecodeByte(reader, tree), values[i]) << "value " << i;
  EXPECT_EQ(reader.BitsConsumed(), w.total_bits);
}

void RoundTrip(const std::vector<uint32_t>& values) {
  const Written w = EncodeBytes(values);
  ASSERT_GT(w.result, 0);
  DecodeAndCompare<vidzo::BitReader32>(w, values);
  DecodeAndCompare<vidzo::BitReader64>(w, values);
}

TEST(ByteRoundTrip, RandomStreams) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 300; ++round) {
    const StreamShape shape = prefixcodes_test::RandomShape(rng, 256);
    SCOPED_TRACE(testing::Message() << "round " << round << " distinct " << shape.distinct << " skew "
                                    << shape.skew << " repeat " << shape.repeat);
    RoundTrip(MakeStream(rng, shape));
    if (HasFatalFailure()) return;
  }
}

TEST(ByteRoundTrip, LoneValueCostsNoBits) {
  const std::vector<uint32_t> values(50, 0xA5);
  const Written w = EncodeBytes(values);
  EXPECT_EQ(w.result, 20);
  EXPECT_EQ(w.total_bits, w.tree_bits);
  DecodeAndCompare<vidzo::BitReader32>(w, values);
}

TEST(ByteRoundTrip, AbsentTree) {
  const Written w = EncodeBytes({});
  EXPECT_EQ(w.result, 12);
  EXPECT_EQ(w.total_bits, 1u);
  DecodeAndCompare<vidzo::BitReader32>(w, {});
}

TEST(ByteRoundTrip, AllByteValuesAndLongCodes) {
  // Every byte value, with counts falling steeply so that codes get long.
  std::vector<uint32_t> values;
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t copies = v < 20 ? (1u << (20 - v)) / 64 + 1 : 1;
    values.insert(values.end(), copies, v);
  }
  std::shuffle(values.begin(), values.end(), std::mt19937(5));
  RoundTrip(values);
}

}  // namespace
