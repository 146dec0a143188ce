// Bit fields, words and whole bytes through QELFile: the examples of the bit
// order, width reduction, the end of the file and round trips of every width.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "qelfile_helpers.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace {

using qelfile_test::ReadAll;
using qelfile_test::WriteAll;

class QELFileBits : public ::testing::TestWithParam<int32_t> {
 protected:
  vidzoer_test::TempDir dir_;
  std::string name_ = dir_.File("bits.bin");
};

TEST_P(QELFileBits, ThreeThenFiveBitsMakeOneByte) {
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePutBits(f, 0b101, 3);
  QELFilePutBits(f, 0b00011, 5);
  EXPECT_EQ(QELFileGetPos(f), 1u);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_), std::vector<uint8_t>{0x1D});

  f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGetBits(f, 3), 5u);
  EXPECT_EQ(QELFileBitPos(f), 3u);
  EXPECT_EQ(QELFileGetPos(f), 0u);
  EXPECT_EQ(QELFileGetBits(f, 5), 3u);
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_EQ(QELFileGetPos(f), 1u);
  EXPECT_TRUE(QELFileAtEnd(f));
  QELFileClose(f);
}

TEST_P(QELFileBits, WordsAreLittleEndianAlignedOrNot) {
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePut16(f, 0x1234);
  QELFilePutBits(f, 0xF, 4);
  EXPECT_EQ(QELFilePut16(f, 0x1234), 0x1234u);
  QELFileByteAlign(f);
  QELFilePut32(f, 0xA1B2C3D4);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_), (std::vector<uint8_t>{0x34, 0x12, 0x4F, 0x23, 0x01, 0xD4, 0xC3, 0xB2, 0xA1}));

  f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGet16(f), 0x1234u);
  EXPECT_EQ(QELFileGetBits(f, 4), 0xFu);
  EXPECT_EQ(QELFileGet16(f), 0x1234u);
  EXPECT_EQ(QELFileGetBits(f, 4), 0u);  // the padding
  EXPECT_EQ(QELFileGet32(f), 0xA1B2C3D4u);
  QELFileClose(f);
}

TEST_P(QELFileBits, WidthsReduceModulo32) {
  WriteAll(name_, {0xB5, 0x01, 0x02, 0x03, 0x04, 0x05});
  QELFile* f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGetBits(f, 0), 0u);
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_EQ(QELFileGetPos(f), 0u);
  EXPECT_EQ(QELFileGetBits(f, 33), 1u);  // one bit
  EXPECT_EQ(QELFileBitPos(f), 1u);
  EXPECT_EQ(QELFileGetBits(f, 39), 0x5Au);  // seven bits: 0xB5 >> 1
  EXPECT_EQ(QELFileGetBits(f, 64), 0x04030201u);
  QELFileClose(f);

  f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFilePutBits(f, 0xFF, 0), 0u);
  QELFilePutBits(f, 0xFFFFFFFF, 33);  // one bit
  QELFilePutBits(f, 0x12345678, 64);  // 32 bits
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_), (std::vector<uint8_t>{0xF1, 0xAC, 0x68, 0x24, 0x00}));
}

TEST_P(QELFileBits, CloseWritesPendingBitsInOneMoreByte) {
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePut8(f, 0x77);
  QELFilePutBits(f, 0b110, 3);
  EXPECT_EQ(QELFileSize(f), 1u);  // the partial byte is not counted yet
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_), (std::vector<uint8_t>{0x77, 0x06}));
}

TEST_P(QELFileBits, EveryWidthRoundTrips) {
  std::mt19937 rng(GetParam() + 7);
  std::vector<std::pair<uint32_t, uint32_t>> fields;
  for (int i = 0; i < 3000; ++i) {
    uint32_t n = rng() % 32 + 1;
    uint32_t v = n == 32 ? rng() : rng() & ((1u << n) - 1);
    fields.emplace_back(v, n);
  }
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  uint64_t bits = 0;
  for (auto [v, n] : fields) {
    QELFilePutBits(f, v, n);
    bits += n;
    ASSERT_EQ(QELFileGetPos(f), bits / 8);
    ASSERT_EQ(QELFileBitPos(f), bits % 8);
  }
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_).size(), (bits + 7) / 8);

  f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  for (size_t i = 0; i < fields.size(); ++i)
    ASSERT_EQ(QELFileGetBits(f, fields[i].second), fields[i].first) << "field " << i;
  QELFileByteAlign(f);
  EXPECT_TRUE(QELFileAtEnd(f));
  QELFileClose(f);
}

TEST_P(QELFileBits, ReadingPastTheEndGivesZerosAndReachesTheEnd) {
  WriteAll(name_, {0xFF});
  QELFile* f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGetBits(f, 3), 7u);
  EXPECT_FALSE(QELFileAtEnd(f));      // five bits remain
  EXPECT_EQ(QELFileGet16(f), 0x1Fu);  // those five, then zeros
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_TRUE(QELFileAtEnd(f));
  EXPECT_EQ(QELFileGetBits(f, 13), 0u);
  EXPECT_EQ(QELFileGet32(f), 0u);
  EXPECT_EQ(QELFileGetPos(f), 1u);

  // A reader that tests for the end before every field always stops.
  QELFileSetPos(f, 0);
  int fields = 0;
  while (!QELFileAtEnd(f) && fields < 100) {
    QELFileGetBits(f, 3);
    ++fields;
  }
  EXPECT_EQ(fields, 3);
  QELFileClose(f);
}

TEST_P(QELFileBits, ShiftedBytesFollowTheStream) {
  std::vector<uint8_t> src = {0x01, 0x80, 0xFF, 0x00, 0x5A};
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePutBits(f, 0b11, 2);
  EXPECT_EQ(QELFilePut(f, src.data(), 5), 5u);
  EXPECT_EQ(QELFileBitPos(f), 2u);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name_), (std::vector<uint8_t>{0x07, 0x00, 0xFE, 0x03, 0x68, 0x01}));

  f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGetBits(f, 2), 3u);
  std::vector<uint8_t> back(5);
  EXPECT_EQ(QELFileGet(f, back.data(), 5), 5u);
  EXPECT_EQ(back, src);
  // Raw reads ignore the bit position: the next byte after the current one.
  QELFileSetPos(f, 0);
  QELFileGetBits(f, 2);
  EXPECT_EQ(QELFileGetNB(f, back.data(), 1), 1u);
  EXPECT_EQ(back[0], 0x00);
  EXPECT_EQ(QELFileGetBits(f, 6), 0x01u);  // still the rest of byte 0
  QELFileClose(f);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, QELFileBits, ::testing::Values(0, 1, 3, 7, 4096, -64));

}  // namespace
