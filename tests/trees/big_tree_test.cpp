#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>

#include "playback/trees.h"
#include "playback/vidzo.h"
#include "support/temp_dir.h"
#include "tools/lib/vdz_writer.h"
#include "trees/tree_writer.h"

namespace {

using vidzoer_test::BitWriter;
using vidzoer_test::Code;
using vidzoer_test::CodeTree;

const CodeTree kFullBytes = vidzoer_test::FullByteTree();
constexpr std::uint32_t kNoEscapes[3] = {0xFFFD, 0xFFFE, 0xFFFF};

// A packed trees block under construction: four trees, absent unless set.
struct Block {
  BitWriter bits;
  std::uint32_t sizes[4] = {12, 12, 12, 12};
  int next = 0;

  void Absent() {
    bits.PutBit(0);
    ++next;
  }
  void Tree(const CodeTree& tree, const std::uint32_t escapes[3] = kNoEscapes, std::uint32_t size = 0) {
    vidzoer_test::WriteBigTree(bits, tree, escapes, &kFullBytes, &kFullBytes);
    sizes[next++] = size ? size : vidzoer_test::SizeFieldFor(tree);
  }
  // Fills the remaining trees as absent.
  const std::vector<std::uint8_t>& Finish() {
    while (next < 4) Absent();
    return bits.bytes();
  }
};

struct Unpacked {
  std::unique_ptr<vidzo::TreesAreaBuffer> buffer;
  bool usable = false;
  vidzo::TreesArea& area() const { return *buffer->Get(); }
};

Unpacked Unpack(Block& block) {
  const auto& bytes = block.Finish();
  auto copy = std::make_unique<std::uint8_t[]>(bytes.size());  // exactly sized
  std::copy(bytes.begin(), bytes.end(), copy.get());
  Unpacked u;
  u.buffer = std::make_unique<vidzo::TreesAreaBuffer>(block.sizes);
  u.usable = vidzo::UnpackTrees(copy.get(), bytes.size(), *u.buffer->Get(), block.sizes);
  return u;
}

std::vector<std::uint32_t> Iota(std::uint32_t first, std::uint32_t count) {
  std::vector<std::uint32_t> v(count);
  std::iota(v.begin(), v.end(), first);
  return v;
}

template <typename Reader>
class BigTreeTest : public ::testing::Test {};
using ReaderForms = ::testing::Types<vidzo::BitReader32, vidzo::BitReader64>;
TYPED_TEST_SUITE(BigTreeTest, ReaderForms);

TYPED_TEST(BigTreeTest, SingleLeafTreeUsesNoBitsAndAllLookupsPointAtTheRoot) {
  CodeTree tree;
  tree.Leaf(0x1234);
  Block block;
  block.Tree(tree);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  const vidzo::TreeControl& c = u.area().control[0];
  for (std::uint32_t p = 0; p < 4096; ++p) ASSERT_EQ(c.lookup[p], 0u) << p;  // node 0, 0 bits
  const std::uint8_t stream[6] = {0x5A, 0xC3, 0xFF, 0x01, 0x80, 0x7E};
  TypeParam reader(stream, sizeof stream);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(vidzo::FetchValue(reader, u.area(), 0), 0x1234u);
  EXPECT_EQ(reader.BitsConsumed(), 0u);
}

TYPED_TEST(BigTreeTest, AbsentTreesYieldZeroWithoutConsumingBits) {
  CodeTree tree;
  tree.Balanced(Iota(1, 9));
  Block block;
  block.Absent();
  block.Tree(tree);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  const std::uint8_t stream[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  TypeParam reader(stream, sizeof stream);
  for (unsigned t : {0u, 2u, 3u, 0u}) EXPECT_EQ(vidzo::FetchValue(reader, u.area(), t), 0u);
  EXPECT_EQ(reader.BitsConsumed(), 0u);
}

// Leaves 10, 20, 30 and one leaf for each escape code 100, 101, 102.
struct LastsTree {
  CodeTree tree;
  const std::uint32_t escapes[3] = {100, 101, 102};
  LastsTree() { tree.Balanced(std::vector<std::uint32_t>{10, 100, 20, 101, 30, 102}); }
};

TYPED_TEST(BigTreeTest, LastsFollowTheRecentValues) {
  LastsTree t;
  Block block;
  block.Tree(t.tree, t.escapes);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  auto codes = t.tree.LeafCodes();
  BitWriter w;
  // Escape leaves at the start of a frame yield 0.
  for (std::uint32_t v : {100, 101, 102}) vidzoer_test::PutCode(w, codes.at(v));
  // Slots 10, 20, 30; last 1 turns them into 20, 10, 20; last 0 changes nothing.
  for (std::uint32_t v : {30, 20, 10, 101, 100, 101, 102}) vidzoer_test::PutCode(w, codes.at(v));
  TypeParam reader(w.bytes().data(), w.bytes().size());
  std::vector<std::uint32_t> got;
  for (int i = 0; i < 10; ++i) got.push_back(vidzo::FetchValue(reader, u.area(), 0));
  EXPECT_EQ(got, (std::vector<std::uint32_t>{0, 0, 0, 30, 20, 10, 20, 20, 10, 10}));
  EXPECT_EQ(reader.BitsConsumed(), w.bit_count());

  // A new frame starts from zero again.
  vidzo::ResetLasts(u.area());
  TypeParam again(w.bytes().data(), w.bytes().size());
  EXPECT_EQ(vidzo::FetchValue(again, u.area(), 0), 0u);
}

TYPED_TEST(BigTreeTest, RandomSequencesMatchAModelOfTheLasts) {
  std::mt19937 rng(5);
  const std::uint32_t escapes[3] = {0, 1, 2};  // the lowest unused values, as the encoder picks them
  std::vector<std::uint32_t> values = Iota(3, 60);
  values.insert(values.end(), {0, 1, 2});
  std::shuffle(values.begin(), values.end(), rng);
  CodeTree tree;
  int a = tree.Spine(std::span(values).first(20));
  tree.set_root(tree.Inner(tree.Balanced(std::span(values).subspan(20)), a));
  Block block;
  block.Tree(tree, escapes);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);

  auto codes = tree.LeafCodes();
  BitWriter w;
  std::vector<std::uint32_t> expected;
  std::uint32_t last[3] = {0, 0, 0};
  for (int i = 0; i < 3000; ++i) {
    std::uint32_t symbol = values[rng() % values.size()];
    std::uint32_t v = symbol < 3 ? last[symbol] : symbol;
    vidzoer_test::PutCode(w, codes.at(symbol));
    expected.push_back(v);
    if (v != last[0]) {
      last[2] = last[1];
      last[1] = last[0];
      last[0] = v;
    }
  }
  TypeParam reader(w.bytes().data(), w.bytes().size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(vidzo::FetchValue(reader, u.area(), 0), expected[i]) << i;
  EXPECT_EQ(reader.BitsConsumed(), w.bit_count());
}

TYPED_TEST(BigTreeTest, EqualEscapeCodesBindOnlyLastZero) {
  CodeTree tree;
  tree.Balanced(std::vector<std::uint32_t>{7, 8, 500});
  const std::uint32_t escapes[3] = {500, 500, 500};
  Block block;
  block.Tree(tree, escapes);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  const vidzo::TreeControl& c = u.area().control[0];
  // Lasts 1 and 2 have slots of their own after the five nodes.
  EXPECT_EQ(c.slot[1], c.base + 5);
  EXPECT_EQ(c.slot[2], c.base + 6);

  auto codes = tree.LeafCodes();
  BitWriter w;
  for (std::uint32_t v : {7, 8, 500, 7, 500}) vidzoer_test::PutCode(w, codes.at(v));
  TypeParam reader(w.bytes().data(), w.bytes().size());
  std::vector<std::uint32_t> got;
  for (int i = 0; i < 5; ++i) got.push_back(vidzo::FetchValue(reader, u.area(), 0));
  EXPECT_EQ(got, (std::vector<std::uint32_t>{7, 8, 8, 7, 7}));
}

TYPED_TEST(BigTreeTest, OnlyTheLastLeafOfAnEscapeCodeIsBound) {
  CodeTree tree;
  tree.Balanced(std::vector<std::uint32_t>{7, 500, 8, 500});  // leaf nodes 0, 1, 3, 4
  const std::uint32_t escapes[3] = {500, 600, 601};
  Block block;
  block.Tree(tree, escapes);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  std::vector<Code> node_codes = tree.Codes();
  const Code first_500 = node_codes[1], last_500 = node_codes[4];
  BitWriter w;
  vidzoer_test::PutCode(w, tree.LeafCodes().at(7));
  vidzoer_test::PutCode(w, tree.LeafCodes().at(8));
  for (Code code : {last_500, first_500, last_500}) vidzoer_test::PutCode(w, code);
  TypeParam reader(w.bytes().data(), w.bytes().size());
  std::vector<std::uint32_t> got;
  for (int i = 0; i < 5; ++i) got.push_back(vidzo::FetchValue(reader, u.area(), 0));
  // The earlier leaf keeps the fixed value 0, which then becomes last 0.
  EXPECT_EQ(got, (std::vector<std::uint32_t>{7, 8, 8, 0, 0}));
}

TYPED_TEST(BigTreeTest, FourTreesWithCodesLongerThanTheirTables) {
  // Spines give codes of 1 to 24 bits; the type tree's table has 10 bits.
  std::vector<CodeTree> trees(4);
  for (std::uint32_t t = 0; t < 4; ++t) {
    int spine = trees[t].Spine(Iota(1000 * (t + 1), 24));
    trees[t].set_root(trees[t].Inner(trees[t].Balanced(Iota(50000 + 100 * t, 40)), spine));
  }
  Block block;
  for (const auto& tree : trees) block.Tree(tree);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  EXPECT_EQ(u.area().control[3].lookup_bits, 10u);

  std::mt19937 rng(3);
  BitWriter w;
  std::vector<std::pair<unsigned, std::uint32_t>> sent;
  std::vector<std::unordered_map<std::uint32_t, Code>> codes;
  for (const auto& tree : trees) codes.push_back(tree.LeafCodes());
  std::vector<std::vector<std::uint32_t>> leaves;
  for (const auto& tree : trees) leaves.push_back(tree.LeafValues());
  unsigned longest = 0;
  for (int i = 0; i < 4000; ++i) {
    unsigned t = rng() % 4;
    std::uint32_t v = leaves[t][rng() % leaves[t].size()];
    vidzoer_test::PutCode(w, codes[t].at(v));
    longest = std::max(longest, codes[t].at(v).length);
    sent.emplace_back(t, v);
  }
  ASSERT_GT(longest, 12u);
  TypeParam reader(w.bytes().data(), w.bytes().size());
  for (auto [t, v] : sent) ASSERT_EQ(vidzo::FetchValue(reader, u.area(), t), v);
  EXPECT_EQ(reader.BitsConsumed(), w.bit_count());
}

TYPED_TEST(BigTreeTest, SecondChildrenFarAwayInAHugeTree) {
  // Twelve spine nodes over an inner node whose first subtree has 65535
  // nodes: second children 65536 nodes and more away, inside and beyond the
  // lookup table.
  CodeTree tree;
  int node = tree.Inner(tree.Balanced(Iota(3, 32768)), tree.Leaf(40000));
  for (std::uint32_t i = 0; i < 12; ++i) node = tree.Inner(node, tree.Leaf(40001 + i));
  Block block;
  block.Tree(tree, std::array<std::uint32_t, 3>{0, 1, 2}.data());
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  EXPECT_EQ(u.area().control[0].far_count, 13u);

  std::mt19937 rng(9);
  auto codes = tree.LeafCodes();
  std::vector<std::uint32_t> leaves = tree.LeafValues();
  BitWriter w;
  std::vector<std::uint32_t> sent;
  for (int i = 0; i < 2000; ++i) {
    std::uint32_t v = i % 3 == 0 ? 40000 + rng() % 13 : leaves[rng() % leaves.size()];
    vidzoer_test::PutCode(w, codes.at(v));
    sent.push_back(v);
  }
  TypeParam reader(w.bytes().data(), w.bytes().size());
  for (std::uint32_t v : sent) ASSERT_EQ(vidzo::FetchValue(reader, u.area(), 0), v);
  EXPECT_EQ(reader.BitsConsumed(), w.bit_count());
}

TEST(UnpackTrees, AFileWhoseTreesHaveNoMarkerDoesNotOpen) {
  CodeTree all;
  all.Balanced(Iota(0, 65536));
  CodeTree five;
  five.Leaf(5);
  const std::uint32_t escapes[3] = {5, 5, 5};
  Block block;
  block.Tree(all, escapes);
  block.Tree(five);
  const auto& bytes = block.Finish();

  vidzotools::VdzContent content;
  content.width = content.height = 4;
  content.frame_rate = 40;
  content.trees.packed.assign(bytes.begin(), bytes.end());
  content.trees.mono_map_size = block.sizes[0];
  content.trees.mono_colour_size = block.sizes[1];
  content.trees.full_size = block.sizes[2];
  content.trees.type_size = block.sizes[3];
  content.frames.resize(1);
  content.frames[0].video = {0, 0, 0, 0};
  vidzoer_test::TempDir dir;
  std::string error;
  const std::string name = dir.File("nomarker.vdz");
  ASSERT_TRUE(vidzotools::WriteVdzFile(name, content, error)) << error;
  EXPECT_EQ(VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu), nullptr);

  // The same file with one value spared opens.
  CodeTree most;
  std::vector<std::uint32_t> values = Iota(0, 65536);
  values.erase(values.begin() + 777);
  most.Balanced(values);
  Block other;
  other.Tree(most, escapes);
  other.Tree(five);
  const auto& spared = other.Finish();
  content.trees.packed.assign(spared.begin(), spared.end());
  content.trees.mono_map_size = other.sizes[0];
  ASSERT_TRUE(vidzotools::WriteVdzFile(name, content, error)) << error;
  VidzoHandle* h = VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu);
  EXPECT_NE(h, nullptr);
  VidzoClose(h);
}

TEST(UnpackTrees, TreesWithEveryValueAsALeafAreRejected) {
  // The escape leaf counts as 0, so its value must come from another tree.
  CodeTree all;
  all.Balanced(Iota(0, 65536));
  CodeTree five;
  five.Leaf(5);
  const std::uint32_t escapes[3] = {5, 5, 5};
  Block block;
  block.Tree(all, escapes);
  block.Tree(five);
  Unpacked u = Unpack(block);
  EXPECT_FALSE(u.usable);
  const std::uint8_t stream[4] = {0xFF, 0x00, 0xFF, 0x00};
  vidzo::BitReader32 reader(stream, sizeof stream);
  for (unsigned t = 0; t < 4; ++t) EXPECT_EQ(vidzo::FetchValue(reader, u.area(), t), 0u);

  // One value spared across the trees is enough.
  CodeTree most;
  std::vector<std::uint32_t> values = Iota(0, 65536);
  values.erase(values.begin() + 777);
  most.Balanced(values);
  Block other;
  other.Tree(most, escapes);
  other.Tree(five);
  Unpacked v = Unpack(other);
  EXPECT_TRUE(v.usable);
  EXPECT_EQ(v.area().marker, 777u);
}

TEST(UnpackTrees, TreeLargerThanItsSizeFieldIsCutOffSafely) {
  CodeTree big;
  big.Balanced(Iota(100, 300));
  CodeTree next;
  next.Balanced(Iota(5, 4));
  Block block;
  block.Tree(big, kNoEscapes, 40 * 4);  // room for 37 nodes and the three slots
  block.Tree(next);
  Unpacked u = Unpack(block);
  ASSERT_TRUE(u.usable);
  EXPECT_LE(u.area().control[0].node_count, 37u);
  std::mt19937 rng(1);
  std::vector<std::uint8_t> noise(4000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  vidzo::BitReader32 reader(noise.data(), noise.size());
  for (int i = 0; i < 2000; ++i) {
    std::uint32_t v = vidzo::FetchValue(reader, u.area(), i % 4);
    ASSERT_TRUE(v == 0 || (v >= 100 && v < 400) || (v >= 5 && v < 9)) << v;
  }
}

TEST(UnpackTrees, TruncatedBlocksUnpackAndDecodeWithinBounds) {
  std::vector<CodeTree> trees(4);
  for (std::uint32_t t = 0; t < 4; ++t) {
    int spine = trees[t].Spine(Iota(10 * t + 1, 10));
    trees[t].set_root(trees[t].Inner(spine, trees[t].Balanced(Iota(300 * (t + 1), 50))));
  }
  Block block;
  const std::uint32_t escapes[3] = {1, 2, 3};
  for (const auto& tree : trees) block.Tree(tree, escapes);
  const std::vector<std::uint8_t> full = block.Finish();
  std::mt19937 rng(2);
  std::vector<std::uint8_t> noise(64);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  for (std::size_t cut = 0; cut < full.size(); cut += 7) {
    auto part = std::make_unique<std::uint8_t[]>(cut);
    std::copy_n(full.begin(), cut, part.get());
    vidzo::TreesAreaBuffer buffer(block.sizes);
    ASSERT_TRUE(vidzo::UnpackTrees(part.get(), cut, *buffer.Get(), block.sizes));
    vidzo::BitReader64 reader(noise.data(), noise.size());
    for (int i = 0; i < 200; ++i) vidzo::FetchValue(reader, *buffer.Get(), i % 4);
  }
}

TEST(TreesArea, CountsTheFixedPartAndTheSizes) {
  const std::uint32_t sizes[4] = {100, 2000, 30000, 12};
  EXPECT_EQ(vidzo::TreesAreaCountedBytes(sizes), 53352u + 32112u);
  const std::uint32_t huge[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0};
  EXPECT_EQ(vidzo::TreesAreaCountedBytes(huge), 53352u + 2 * 0xFFFFFFFFull);
  // Storage never grows past what the largest valid tree can use.
  EXPECT_LT(vidzo::TreesAreaBlockBytes(huge), 2u * 1024 * 1024);
}

}  // namespace
