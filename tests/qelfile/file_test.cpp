// QELFile as a file: opening, closed records, positions inside the buffer,
// sizes while writing, reading back in place, lines, names, times, erasing
// and write failures.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "qelfile_helpers.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace {

using qelfile_test::ReadAll;
using qelfile_test::WriteAll;
using qelfile_test::WriteText;

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

TEST(QELFileOpen, RefusesWhatCannotBeOpened) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("there.bin");
  WriteAll(name, {1, 2, 3});
  EXPECT_EQ(QELFileOpen(16, nullptr, QELFILE_READ), nullptr);
  EXPECT_EQ(QELFileOpen(16, name.c_str(), 249), nullptr);
  EXPECT_EQ(QELFileOpen(16, name.c_str(), 252), nullptr);
  EXPECT_EQ(QELFileOpen(16, name.c_str(), 0), nullptr);
  EXPECT_EQ(QELFileOpen(16, dir.File("missing.bin").c_str(), QELFILE_READ), nullptr);
  EXPECT_EQ(QELFileOpen(16, dir.path().c_str(), QELFILE_READ), nullptr);
  EXPECT_EQ(QELFileCreate(16, nullptr), nullptr);
  EXPECT_EQ(QELFileCreate(16, dir.File("no/such/folder.bin").c_str()), nullptr);

  QELFile* f = QELFileOpen(-16, name.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->buffer_size, 16u);
  EXPECT_EQ(f->buffer, nullptr);  // allocated on first use
  EXPECT_EQ(f->size, 0xFFFFFFFFu);
  EXPECT_EQ(QELFileGet8(f), 1u);
  EXPECT_NE(f->buffer, nullptr);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name), (std::vector<uint8_t>{1, 2, 3}));  // reading changed nothing
}

TEST(QELFileOpen, KeepsTheNameAndOpensLongNamesWhole) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("short.bin");
  WriteAll(name, {9});
  QELFile* f = QELFileOpen(0, name.c_str(), QELFILE_UPDATE);
  ASSERT_NE(f, nullptr);
  char copy[128];
  EXPECT_STREQ(QELFileGetName(f, copy), name.c_str());
  EXPECT_STREQ(copy, name.c_str());
  QELFileClose(f);

  std::string deep = dir.path().string();
  while (deep.size() < 150) deep += "/" + std::string(20, 'd');
  std::filesystem::create_directories(deep);
  std::string long_name = deep + "/long.bin";
  f = QELFileCreate(8, long_name.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::strlen(QELFileGetName(f, nullptr)), 127u);
  EXPECT_EQ(std::string(QELFileGetName(f, nullptr)), long_name.substr(0, 127));
  QELFilePut8(f, 0x42);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(long_name), std::vector<uint8_t>{0x42});
}

TEST(QELFileClosed, EveryOperationAnswersZero) {
  QELFile rec;
  std::memset(&rec, 0, sizeof(rec));
  rec.handle = -1;
  QELFile* f = &rec;
  uint8_t buf[4] = {1, 2, 3, 4};
  char line[8] = "xyz";
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_EQ(QELFileSize(f), 0u);
  EXPECT_EQ(QELFileGetPos(f), 0u);
  EXPECT_EQ(QELFileSetPos(f, 5), 0u);
  EXPECT_EQ(QELFileIsInBuffer(f, 0), 0);
  EXPECT_EQ(QELFileAtEnd(f), 1);
  EXPECT_EQ(QELFileFlush(f), 0u);
  EXPECT_EQ(QELFileGetNB(f, buf, 4), 0u);
  EXPECT_EQ(QELFileGet(f, buf, 4), 0u);
  EXPECT_EQ(QELFileGet8(f), 0u);
  EXPECT_EQ(QELFileGet16(f), 0u);
  EXPECT_EQ(QELFileGet32(f), 0u);
  EXPECT_EQ(QELFileGetBits(f, 5), 0u);
  EXPECT_EQ(QELFilePutNB(f, buf, 4), 0u);
  EXPECT_EQ(QELFilePut(f, buf, 4), 0u);
  EXPECT_EQ(QELFilePut8(f, 7), 0u);
  EXPECT_EQ(QELFilePut16(f, 7), 0u);
  EXPECT_EQ(QELFilePut32(f, 7), 0u);
  EXPECT_EQ(QELFilePutBits(f, 7, 3), 0u);
  EXPECT_EQ(QELFileGetName(f, nullptr), nullptr);
  EXPECT_EQ(QELFileGetLine(f, line, sizeof(line)), nullptr);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(QELFileGetTime(f), 0u);
  EXPECT_EQ(QELFileSetTime(f, 1), 0);
  QELFileByteAlign(f);
  EXPECT_EQ(rec.bit_count, 0u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  // Null records are closed records too, and closing one does nothing.
  EXPECT_EQ(QELFileGetPos(nullptr), 0u);
  EXPECT_EQ(QELFileAtEnd(nullptr), 1);
  QELFileClose(nullptr);
  // A closed record from the library is still freed by close.
  auto* heap = static_cast<QELFile*>(qelmalloc(sizeof(QELFile)));
  ASSERT_NE(heap, nullptr);
  std::memset(heap, 0, sizeof(QELFile));
  heap->handle = -1;
  QELFileClose(heap);
}

TEST(QELFileSetPos, MovesInsideTheReadAheadWithoutTheSystem) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("data.bin");
  std::vector<uint8_t> data = Counting(1000);
  WriteAll(name, data);
  QELFile* f = QELFileOpen(256, name.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(QELFileIsInBuffer(f, 0));  // nothing read yet
  EXPECT_EQ(QELFileGet8(f), data[0]);
  EXPECT_TRUE(QELFileIsInBuffer(f, 0));
  EXPECT_TRUE(QELFileIsInBuffer(f, 255));
  EXPECT_FALSE(QELFileIsInBuffer(f, 256));

  // Change the file behind the record's back: a move inside the buffer still
  // sees the bytes read ahead, so it did not go back to the file.
  std::vector<uint8_t> changed(1000, 0xEE);
  WriteAll(name, changed);
  QELFileGetBits(f, 3);
  EXPECT_EQ(QELFileSetPos(f, 200), 1u);
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_EQ(QELFileGetPos(f), 200u);
  EXPECT_EQ(QELFileGet8(f), data[200]);
  EXPECT_EQ(QELFileSetPos(f, 10), 201u);
  EXPECT_EQ(QELFileGet16(f), data[10] | data[11] << 8);
  // Outside the buffer the file is asked again.
  EXPECT_EQ(QELFileSetPos(f, 600), 12u);
  EXPECT_FALSE(QELFileIsInBuffer(f, 0));
  EXPECT_EQ(QELFileGet8(f), 0xEEu);
  QELFileClose(f);
}

TEST(QELFileSetPos, SamePositionKeepsBitsOtherPositionsAlign) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("pos.bin");
  QELFile* f = QELFileCreate(64, name.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePut8(f, 0xAA);
  QELFilePutBits(f, 0b101, 3);
  EXPECT_EQ(QELFileSetPos(f, 1), 1u);
  EXPECT_EQ(QELFileBitPos(f), 3u);
  QELFilePutBits(f, 0b11, 2);
  EXPECT_EQ(QELFileSetPos(f, 0), 1u);  // pads the pending byte
  EXPECT_EQ(QELFileBitPos(f), 0u);
  EXPECT_EQ(QELFileGet8(f), 0xAAu);
  EXPECT_EQ(QELFileGetBits(f, 2), 0b01u);
  EXPECT_EQ(QELFileSetPos(f, 1), 1u);  // reading: same position keeps bits
  EXPECT_EQ(QELFileBitPos(f), 2u);
  EXPECT_EQ(QELFileGetBits(f, 6), 0b000111u);
  QELFileClose(f);
  EXPECT_EQ(ReadAll(name), (std::vector<uint8_t>{0xAA, 0x1D}));
}

TEST(QELFileSetPos, LargeReadsBypassTheBufferAndKeepThePosition) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("big.bin");
  std::vector<uint8_t> data = Counting(300);
  WriteAll(name, data);
  QELFile* f = QELFileOpen(16, name.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGet8(f), data[0]);
  std::vector<uint8_t> got(100);
  EXPECT_EQ(QELFileGetNB(f, got.data(), 100), 100u);
  EXPECT_EQ(got, std::vector<uint8_t>(data.begin() + 1, data.begin() + 101));
  EXPECT_EQ(QELFileGetPos(f), 101u);
  EXPECT_EQ(f->os_offset, 101u);  // straight from the file, not in 16-byte pieces
  EXPECT_EQ(QELFileGet8(f), data[101]);
  got.assign(400, 0xCC);
  EXPECT_EQ(QELFileGetNB(f, got.data(), 400), 198u);
  EXPECT_EQ(got[197], data[299]);
  EXPECT_EQ(got[198], 0xCC);  // raw reads leave the rest alone
  EXPECT_TRUE(QELFileAtEnd(f));
  QELFileClose(f);
}

class QELFileUpdate : public ::testing::TestWithParam<int32_t> {
 protected:
  vidzoer_test::TempDir dir_;
  std::string name_ = dir_.File("update.bin");
};

TEST_P(QELFileUpdate, ReadsBackWhatWasJustWritten) {
  std::vector<uint8_t> data = Counting(100);
  WriteAll(name_, data);
  QELFile* f = QELFileOpen(GetParam(), name_.c_str(), QELFILE_UPDATE);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGet8(f), data[0]);
  QELFilePut32(f, 0xDEADBEEF);  // overwrites bytes 1..4
  EXPECT_EQ(QELFileGetPos(f), 5u);
  EXPECT_EQ(QELFileGet8(f), data[5]);  // the switch flushes first
  QELFileSetPos(f, 1);
  EXPECT_EQ(QELFileGet32(f), 0xDEADBEEFu);
  // Bits read then a write: the unread bits are dropped and the byte is
  // rewritten from its start.
  QELFileGetBits(f, 3);
  QELFilePut8(f, 0x5C);
  EXPECT_EQ(QELFileGetPos(f), 6u);
  // Bits written then a read: the pending byte is padded and read back.
  QELFilePutBits(f, 0b1011, 4);
  EXPECT_EQ(QELFileGet8(f), 0x0Bu);
  EXPECT_EQ(QELFileGetPos(f), 7u);
  QELFileClose(f);
  data[1] = 0xEF, data[2] = 0xBE, data[3] = 0xAD, data[4] = 0xDE, data[5] = 0x5C, data[6] = 0x0B;
  EXPECT_EQ(ReadAll(name_), data);
}

TEST_P(QELFileUpdate, SizeCountsBytesNotYetOnDisk) {
  QELFile* f = QELFileCreate(GetParam(), name_.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileSize(f), 0u);
  EXPECT_TRUE(QELFileAtEnd(f));
  std::vector<uint8_t> data = Counting(40);
  QELFilePutNB(f, data.data(), 40);
  QELFilePut8(f, 1);
  QELFilePut8(f, 2);
  QELFilePutBits(f, 0b111, 3);
  EXPECT_EQ(QELFileSize(f), 42u);
  if (GetParam() >= 64) {
    EXPECT_EQ(std::filesystem::file_size(name_), 0u);
  }
  // Moving back pads the pending bits: the padded byte belongs to the file.
  EXPECT_EQ(QELFileSetPos(f, 0), 42u);
  EXPECT_EQ(QELFileSize(f), 43u);
  EXPECT_EQ(QELFileSetPos(f, 100), 0u);  // past the end, nothing written
  EXPECT_EQ(QELFileSize(f), 100u);
  QELFileSetPos(f, 0);
  EXPECT_EQ(QELFileSize(f), 43u);
  uint32_t bytes = 0;
  while (!QELFileAtEnd(f) && bytes < 1000) {
    QELFileGet8(f);
    ++bytes;
  }
  EXPECT_EQ(bytes, 43u);
  QELFileClose(f);
  EXPECT_EQ(std::filesystem::file_size(name_), 43u);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, QELFileUpdate, ::testing::Values(0, 1, 5, 64, 4096));

TEST(QELFileGetLine, SplitsLinesAndPieces) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("text.txt");
  WriteText(name, "ab\r\n\nabcdefgh\nlast");
  QELFile* f = QELFileOpen(4096, name.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  char line[16];
  std::memset(line, 'x', sizeof(line));
  EXPECT_EQ(QELFileGetLine(f, line, 1), line);  // capacity 1: nothing read
  EXPECT_STREQ(line, "");
  EXPECT_EQ(QELFileGetPos(f), 0u);
  EXPECT_STREQ(QELFileGetLine(f, line, sizeof(line)), "ab");
  EXPECT_STREQ(QELFileGetLine(f, line, sizeof(line)), "");
  EXPECT_STREQ(QELFileGetLine(f, line, 4), "abc");
  EXPECT_STREQ(QELFileGetLine(f, line, 4), "def");
  EXPECT_STREQ(QELFileGetLine(f, line, 4), "gh");
  EXPECT_FALSE(QELFileAtEnd(f));
  EXPECT_STREQ(QELFileGetLine(f, line, sizeof(line)), "last");
  EXPECT_TRUE(QELFileAtEnd(f));
  EXPECT_STREQ(QELFileGetLine(f, line, sizeof(line)), "");
  EXPECT_EQ(QELFileGetLine(f, line, 0), line);
  QELFileClose(f);
}

TEST(QELFileTimes, SetTimeIsReadBackAndEraseRemoves) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("timed.bin");
  QELFile* f = QELFileCreate(32, name.c_str());
  ASSERT_NE(f, nullptr);
  QELFilePut8(f, 1);
  uint32_t now = QELFileGetTime(f);
  EXPECT_GT(now, 27111903u);  // later than 1970
  EXPECT_EQ(QELFileSetTime(f, now - 100), 1);
  EXPECT_EQ(std::filesystem::file_size(name), 1u);  // flushed first
  EXPECT_EQ(QELFileGetTime(f), now - 100);
  QELFileClose(f);
  f = QELFileOpen(0, name.c_str(), QELFILE_READ);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileGetTime(f), now - 100);
  QELFileClose(f);

  EXPECT_EQ(QELFileErase(name.c_str()), 1);
  EXPECT_FALSE(std::filesystem::exists(name));
  EXPECT_EQ(QELFileErase(name.c_str()), 0);
  EXPECT_EQ(QELFileErase(nullptr), 0);
}

TEST(QELFileFlush, ReportsTheOffsetAndShortWrites) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("flush.bin");
  QELFile* f = QELFileCreate(32, name.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFileFlush(f), 0u);
  QELFilePut16(f, 0x0102);
  QELFilePutBits(f, 1, 1);
  EXPECT_EQ(QELFileFlush(f), 3u);
  EXPECT_EQ(QELFileGetPos(f), 3u);
  EXPECT_EQ(f->write_error, 0);
  QELFileClose(f);

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  f = QELFileCreate(32, "/dev/full");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(QELFilePut32(f, 5), 5u);  // buffered: nothing failed yet
  EXPECT_EQ(f->write_error, 0);
  QELFileFlush(f);
  EXPECT_EQ(f->write_error, 1);
  QELFileClose(f);
  f = QELFileCreate(0, "/dev/full");
  ASSERT_NE(f, nullptr);
  uint8_t bytes[3] = {1, 2, 3};
  EXPECT_EQ(QELFilePutNB(f, bytes, 3), 0u);
  EXPECT_EQ(f->write_error, 1);
  QELFileClose(f);
}

// A limit on the address space cannot be combined with the address sanitizer.
#if defined(__SANITIZE_ADDRESS__)
#define QELFILE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELFILE_TEST_ASAN 1
#endif
#endif

#if !defined(QELFILE_TEST_ASAN)
// Runs in a child process whose address space is too small for the buffer.
int WriteAndReadWithoutMemory(const std::string& name) {
  bool told = false;
  platform::SetMessagePresenter([&](const char*, const char*, platform::MessageKind, bool) {
    told = true;
    return false;
  });
  struct rlimit lim = {1u << 30, 1u << 30};
  if (setrlimit(RLIMIT_AS, &lim) != 0) return 3;
  QELFile* f = QELFileCreate(-2147483647 - 1, name.c_str());
  if (f == nullptr) return 4;
  QELFilePutBits(f, 0x2A, 7);
  QELFilePut32(f, 0x12345678);
  bool unbuffered = f->buffer == nullptr && f->buffer_size == 0;
  QELFileSetPos(f, 0);
  bool back = QELFileGetBits(f, 7) == 0x2A && QELFileGet32(f) == 0x12345678;
  QELFileClose(f);
  return unbuffered && back && told ? 0 : 5;
}

TEST(QELFileBufferDeathTest, AllocationFailureLeavesTheFileUnbuffered) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("nomem.bin");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(WriteAndReadWithoutMemory(name)), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
