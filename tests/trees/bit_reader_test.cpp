#include "playback/bit_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

template <typename Reader>
class BitReaderTest : public ::testing::Test {};
using ReaderForms = ::testing::Types<vidzo::BitReader32, vidzo::BitReader64>;
TYPED_TEST_SUITE(BitReaderTest, ReaderForms);

// Bit i of the stream, zero past its end.
unsigned StreamBit(const std::uint8_t* data, std::size_t size, std::uint64_t i) {
  return i / 8 < size ? (data[i / 8] >> (i % 8)) & 1u : 0u;
}

TYPED_TEST(BitReaderTest, EightBitReadAcrossWordBoundaryTakesLowBitsFirst) {
  const std::uint8_t bytes[8] = {0xFF, 0xFF, 0xFF, 0xA5, 0xCB, 0x00, 0x00, 0x00};
  TypeParam reader(bytes, sizeof bytes);
  for (int i = 0; i < 28; ++i) ASSERT_EQ(reader.ReadBit(), i < 24 ? 1u : (0x5u >> (i - 24)) & 1u);
  // The top nibble of byte 3 gives the low bits, the low nibble of byte 4 the high bits.
  EXPECT_EQ(reader.Read8(), 0xBAu);
  EXPECT_EQ(reader.BitsConsumed(), 36u);
  EXPECT_EQ(reader.Read8(), 0x0Cu);
}

TYPED_TEST(BitReaderTest, ExhaustedOrEmptyStreamReadsZeroBits) {
  // An exactly sized heap block, so that a read past it is caught.
  auto data = std::make_unique<std::uint8_t[]>(3);
  data[0] = 0xFF;
  data[1] = 0xFF;
  data[2] = 0xFF;
  TypeParam reader(data.get(), 3);
  EXPECT_EQ(reader.Read8(), 0xFFu);
  EXPECT_EQ(reader.Read8(), 0xFFu);
  EXPECT_EQ(reader.Read8(), 0xFFu);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(reader.Read8(), 0u);
  EXPECT_EQ(reader.BitsConsumed(), 103u * 8);

  TypeParam empty(nullptr, 0);
  EXPECT_EQ(empty.ReadBit(), 0u);
  EXPECT_EQ(empty.Read8(), 0u);
  EXPECT_EQ(empty.BitsConsumed(), 9u);
}

TYPED_TEST(BitReaderTest, RandomReadsFollowTheStreamBitForBit) {
  std::mt19937 rng(7);
  for (std::size_t size : {0u, 1u, 2u, 5u, 17u, 64u, 301u}) {
    auto data = std::make_unique<std::uint8_t[]>(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(rng());
    TypeParam reader(data.get(), size);
    std::uint64_t pos = 0;
    while (pos < size * 8 + 80) {
      unsigned op = rng() % 3;
      unsigned n = op == 0 ? 1 : op == 1 ? 8 : 1 + rng() % 12;
      std::uint32_t expected = 0;
      for (unsigned i = 0; i < n; ++i) expected |= StreamBit(data.get(), size, pos + i) << i;
      std::uint32_t got;
      if (op == 0) {
        got = reader.ReadBit();
      } else if (op == 1) {
        got = reader.Read8();
      } else {
        reader.Ensure(12);
        got = static_cast<std::uint32_t>(reader.Peek()) & ((1u << n) - 1);
        reader.Skip(n);
      }
      pos += n;
      ASSERT_EQ(got, expected) << "size " << size << " at bit " << pos - n;
      ASSERT_EQ(reader.BitsConsumed(), pos);
    }
  }
}

TEST(WideBitReader, FollowsTheSetting) {
  const bool before = vidzo::WideBitReader();
  vidzo::SetWideBitReader(!before);
  EXPECT_EQ(vidzo::WideBitReader(), !before);
  vidzo::SetWideBitReader(before);
  EXPECT_EQ(vidzo::WideBitReader(), before);
#if defined(__x86_64__)
  EXPECT_TRUE(vidzo::ProcessorHasMmx());  // every x86-64 processor has it
#endif
}

}  // namespace
