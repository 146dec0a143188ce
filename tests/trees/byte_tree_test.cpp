#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "playback/trees.h"
#include "trees/tree_writer.h"

namespace {

using vidzoer_test::BitWriter;
using vidzoer_test::CodeTree;

template <typename Reader>
class ByteTreeTest : public ::testing::Test {};
using ReaderForms = ::testing::Types<vidzo::BitReader32, vidzo::BitReader64>;
TYPED_TEST_SUITE(ByteTreeTest, ReaderForms);

TYPED_TEST(ByteTreeTest, SingleLeafDecodesWithoutConsumingBits) {
  BitWriter w;
  CodeTree tree;
  tree.Leaf(0x5A);
  vidzoer_test::WriteByteTree(w, tree);
  w.Put(0x3C, 8);
  TypeParam reader(w.bytes().data(), w.bytes().size());
  vidzo::ByteTree decoded;
  vidzo::ReadByteTree(reader, decoded);
  EXPECT_EQ(reader.BitsConsumed(), 10u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(vidzo::DecodeByte(reader, decoded), 0x5Au);
  EXPECT_EQ(reader.BitsConsumed(), 10u);
  EXPECT_EQ(reader.Read8(), 0x3Cu);
}

TYPED_TEST(ByteTreeTest, AbsentTreeDecodesZeroWithoutConsumingBits) {
  const std::uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  TypeParam reader(ones, sizeof ones);
  vidzo::ByteTree tree;
  EXPECT_EQ(vidzo::DecodeByte(reader, tree), 0u);
  tree.nodes[0] = 7;  // as if a tree had been read
  vidzo::ClearByteTree(tree);
  EXPECT_EQ(vidzo::DecodeByte(reader, tree), 0u);
  EXPECT_EQ(reader.BitsConsumed(), 0u);
}

TYPED_TEST(ByteTreeTest, RoundTripOfMixedShapes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    // A spine over some values joined with a balanced tree over the rest.
    std::vector<std::uint32_t> values(256);
    for (std::uint32_t v = 0; v < 256; ++v) values[v] = v;
    std::shuffle(values.begin(), values.end(), rng);
    values.resize(2 + rng() % 255);
    std::size_t spine = 1 + rng() % std::min<std::size_t>(values.size() - 1, 24);  // codes fit 32 bits
    CodeTree tree;
    int a = tree.Spine(std::span(values).first(spine));
    int b = tree.Balanced(std::span(values).subspan(spine));
    tree.set_root(rng() % 2 ? tree.Inner(a, b) : tree.Inner(b, a));

    BitWriter w;
    vidzoer_test::WriteByteTree(w, tree);
    auto codes = tree.LeafCodes();
    std::vector<std::uint32_t> sent;
    for (int i = 0; i < 500; ++i) {
      sent.push_back(values[rng() % values.size()]);
      vidzoer_test::PutCode(w, codes.at(sent.back()));
    }
    TypeParam reader(w.bytes().data(), w.bytes().size());
    vidzo::ByteTree decoded;
    vidzo::ReadByteTree(reader, decoded);
    for (std::uint32_t v : sent) ASSERT_EQ(vidzo::DecodeByte(reader, decoded), v);
    EXPECT_EQ(reader.BitsConsumed(), w.bit_count());
  }
}

TYPED_TEST(ByteTreeTest, DeeplyNestedTreeOfAllBytes) {
  // values[k] has the code of k 0 bits and a 1 (the last one: 255 0 bits).
  std::vector<std::uint32_t> values(256);
  for (std::uint32_t v = 0; v < 256; ++v) values[v] = (v * 97 + 13) & 0xFF;
  CodeTree tree;
  tree.Spine(values);
  BitWriter w;
  vidzoer_test::WriteByteTree(w, tree);
  for (std::uint32_t k : {255u, 0u, 254u, 100u, 7u}) {
    for (std::uint32_t i = 0; i < k; ++i) w.PutBit(0);
    if (k < 255) w.PutBit(1);
  }
  TypeParam reader(w.bytes().data(), w.bytes().size());
  vidzo::ByteTree decoded;
  vidzo::ReadByteTree(reader, decoded);
  for (std::uint32_t k : {255u, 0u, 254u, 100u, 7u}) EXPECT_EQ(vidzo::DecodeByte(reader, decoded), values[k]);
  EXPECT_EQ(reader.BitsConsumed(), w.bit_count());
}

TYPED_TEST(ByteTreeTest, MalformedTreesAreCutOffAndStillDecode) {
  // Nothing but 1 bits: inner nodes without end; then a valid tree cut short.
  std::vector<std::uint8_t> ones(300, 0xFF);
  BitWriter w;
  vidzoer_test::WriteByteTree(w, vidzoer_test::FullByteTree());
  std::vector<std::vector<std::uint8_t>> streams = {ones};
  for (std::size_t cut : {1u, 7u, 40u, 100u, 200u})
    streams.emplace_back(w.bytes().begin(), w.bytes().begin() + static_cast<long>(cut));
  for (const auto& stream : streams) {
    auto data = std::make_unique<std::uint8_t[]>(stream.size());
    std::copy(stream.begin(), stream.end(), data.get());
    TypeParam reader(data.get(), stream.size());
    vidzo::ByteTree tree;
    vidzo::ReadByteTree(reader, tree);
    for (int i = 0; i < 50; ++i) {
      std::uint64_t before = reader.BitsConsumed();
      vidzo::DecodeByte(reader, tree);
      ASSERT_LT(reader.BitsConsumed() - before, vidzo::kByteTreeNodes);
    }
  }
  // The all-ones stream can only have been cut off: every leaf is 0.
  TypeParam reader(ones.data(), ones.size());
  vidzo::ByteTree tree;
  vidzo::ReadByteTree(reader, tree);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(vidzo::DecodeByte(reader, tree), 0u);
}

}  // namespace
