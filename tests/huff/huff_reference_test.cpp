// The encoder against the literal model of the ordered list, on many random
// count sets: the same code table, the same stored stream bit for bit, a
// complete prefix-free code, and the size result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "huff_test_util.h"
#include "qelutil/qelutil.h"
#include "reference_tree.h"
#include "support/bit_stream.h"

namespace {

using huff_test::HuffPtr;
using huff_test::OpenByte;
using huff_test::OpenWord;
using huff_test::PlaceCounts;
using huff_test::Symbols;
using vidzoer_test::BitsOf;
using vidzoer_test::QelBitFile;

enum class Shape { kFlat, kFewWeights, kAllEqual, kSkewed, kPowers, kHuge };

// `distinct` symbols spread over the alphabet with counts of the given shape.
std::vector<uint32_t> RandomCounts(std::mt19937& rng, uint32_t symbols, uint32_t distinct, Shape shape) {
  std::vector<uint32_t> order(symbols);
  for (uint32_t i = 0; i < symbols; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<uint32_t> counts(symbols);
  for (uint32_t i = 0; i < distinct; ++i) {
    uint32_t c = 1;
    switch (shape) {
      case Shape::kFlat:
        c = std::uniform_int_distribution<uint32_t>(1, 1000)(rng);
        break;
      case Shape::kFewWeights:
        c = std::uniform_int_distribution<uint32_t>(1, 3)(rng);
        break;
      case Shape::kAllEqual:
        c = 5;
        break;
      case Shape::kSkewed:
        c = 1 + static_cast<uint32_t>(100000.0 * std::pow(0.93, static_cast<double>(i)));
        break;
      case Shape::kPowers:
        c = 1u << std::uniform_int_distribution<uint32_t>(0, 12)(rng);
        break;
      case Shape::kHuge:
        c = std::uniform_int_distribution<uint32_t>(1, 0xFFFFFFFFu)(rng);
        break;
    }
    counts[order[i]] = c;
  }
  return counts;
}

// Every leaf's code is unique, no code is the start of another, and the
// lengths fill the code space exactly (sum of 2^-length is 1).
void ExpectCompletePrefixCode(const Huff* h, uint32_t symbols) {
  std::set<std::pair<uint32_t, uint32_t>> codes;
  uint64_t kraft = 0;  // in units of 2^-30
  for (uint32_t s = 0; s < symbols; ++s) {
    const uint32_t len = h->lengths[s];
    if (len == 0 || len == 255) continue;
    ASSERT_LE(len, 30u);
    EXPECT_TRUE(codes.insert({len, h->codes[s]}).second) << "duplicate code for " << s;
    kraft += uint64_t{1} << (30 - len);
  }
  EXPECT_EQ(kraft, uint64_t{1} << 30);
  for (const auto& [len, code] : codes)
    for (uint32_t p = 1; p < len; ++p)
      EXPECT_EQ(codes.count({p, code & ((1u << p) - 1)}), 0u) << "code is a prefix";
}

// Runs the encoder on the counts and checks it against the model.
void CheckAgainstModel(Huff* h, const std::vector<uint32_t>& counts) {
  const uint32_t symbols = Symbols(h);
  QelBitFile f;
  HuffSetOutput(h, f.get());
  PlaceCounts(h, counts);
  const int32_t result = HuffStartEncode(h);

  const huff_ref::Tree tree = huff_ref::Build(counts);
  const huff_ref::Codes model = huff_ref::Assign(tree, symbols);
  ASSERT_LE(model.max_length, 30u);
  ASSERT_GE(tree.leaves, 2u);
  EXPECT_EQ(result, static_cast<int32_t>(16 + 8 * (tree.leaves - 1)));

  // The escapes of a 16-bit encoder: the three lowest unused values, left
  // out of the tree (their counters are 0).
  uint32_t escapes[3] = {0, 0, 0};
  for (uint32_t s = 0, i = 0; symbols == 65536 && i < 3; ++s) {
    if (counts[s] == 0) escapes[i++] = s;
  }
  for (uint32_t s = 0; s < symbols; ++s) {
    const bool escape = symbols == 65536 && (s == escapes[0] || s == escapes[1] || s == escapes[2]);
    ASSERT_EQ(h->lengths[s], escape ? 255u : model.length[s]) << "symbol " << s;
    if (model.length[s] != 0) {
      ASSERT_EQ(h->codes[s], model.code[s]) << "symbol " << s;
    }
  }
  ExpectCompletePrefixCode(h, symbols);

  const huff_ref::Bits expected =
      symbols == 256 ? huff_ref::ByteStream(counts) : huff_ref::WordStream(counts, escapes);
  huff_ref::Bits written = BitsOf(f.Finish());
  ASSERT_GE(written.size(), expected.size());
  EXPECT_LT(written.size() - expected.size(), 8u);
  written.resize(expected.size());
  EXPECT_TRUE(written == expected) << "stored tree differs";
}

// One encoder, rebuilt for every count set: rounds per shape, with 2 to
// max_distinct symbols (the first round of each shape has exactly 2).
void CheckRandomSets(Huff* h, uint32_t seed, int rounds, uint32_t max_distinct) {
  std::mt19937 rng(seed);
  for (Shape shape :
       {Shape::kFlat, Shape::kFewWeights, Shape::kAllEqual, Shape::kSkewed, Shape::kPowers, Shape::kHuge}) {
    for (int round = 0; round < rounds; ++round) {
      const uint32_t distinct =
          round == 0 ? 2 : std::uniform_int_distribution<uint32_t>(3, max_distinct)(rng);
      SCOPED_TRACE(testing::Message() << "shape " << static_cast<int>(shape) << " round " << round);
      CheckAgainstModel(h, RandomCounts(rng, Symbols(h), distinct, shape));
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(HuffReference, ByteTreesMatchTheModel) {
  CheckRandomSets(OpenByte().get(), 1234, 60, 256);
}

TEST(HuffReference, WordTreesMatchTheModel) {
  CheckRandomSets(OpenWord().get(), 99, 8, 3000);
}

TEST(HuffReference, LargeWordTreeMatchesTheModel) {
  std::mt19937 rng(7);
  HuffPtr h = OpenWord();
  CheckAgainstModel(h.get(), RandomCounts(rng, 65536, 16000, Shape::kFewWeights));
  CheckAgainstModel(h.get(), RandomCounts(rng, 65536, 16000, Shape::kFlat));
}

}  // namespace
