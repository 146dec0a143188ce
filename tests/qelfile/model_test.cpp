// Random sequences of transfers, moves and alignments on a file opened for
// update, held step by step against a plain model of a bit stream: a file of
// bytes, a position, and a bit count with its current byte. The model knows
// nothing of buffers, so every buffer size must give the same answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "qelfile_helpers.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace {

using qelfile_test::ReadAll;
using qelfile_test::WriteAll;

uint32_t Reduce(uint32_t n) {
  return n == 0 ? 0 : ((n - 1) % 32) + 1;
}

// The file as a bit stream. Reading: `fetch` is the next byte to fetch and,
// when `bits` is not 0, `current` is the byte being read. Writing: `at` is
// where the next whole byte goes and `partial` holds `bits` pending bits.
// Writing after reading drops unread bits and starts at the logical position;
// reading after writing pads the pending byte with zeros, writes it, and
// reads from that byte. Past the end the stream holds zeros; a read that runs
// past it leaves the stream aligned at the end.
class StreamModel {
 public:
  StreamModel(std::vector<uint8_t> data, bool writing) : data_(std::move(data)), writing_(writing) {}

  uint32_t Pos() const { return writing_ ? at_ : fetch_ - (bits_ != 0 ? 1 : 0); }
  uint32_t BitPos() const { return bits_; }
  bool Writing() const { return writing_; }
  uint32_t Size() const { return std::max<uint32_t>(static_cast<uint32_t>(data_.size()), Pos()); }
  bool AtEnd() const { return Pos() >= data_.size(); }
  const std::vector<uint8_t>& Data() const { return data_; }

  uint32_t GetNB(uint8_t* out, uint32_t count) {
    if (count == 0) return 0;
    ToReading();
    uint32_t n = 0;
    while (n < count && fetch_ < data_.size()) out[n++] = data_[fetch_++];
    return n;
  }

  uint32_t GetBits(uint32_t n, uint32_t* fetched = nullptr) {
    if (n == 0) return 0;
    ToReading();
    uint32_t value = 0;
    uint32_t got = 0;
    bool ended = false;
    for (uint32_t i = 0; i < n && !ended; ++i) {
      if (bits_ == 0) {
        if (fetch_ >= data_.size()) {
          ended = true;
          break;
        }
        current_ = data_[fetch_++];
        ++got;
      }
      value |= ((current_ >> bits_) & 1u) << i;
      bits_ = (bits_ + 1) % 8;
    }
    if (ended) bits_ = 0;
    if (fetched) *fetched = got;
    return value;
  }

  uint32_t Get(uint8_t* out, uint32_t count) {
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t got = 0;
      out[i] = static_cast<uint8_t>(GetBits(8, &got));
      total += got;
    }
    return total;
  }

  void PutBits(uint32_t value, uint32_t n) {
    if (n == 0) return;
    ToWriting();
    for (uint32_t i = 0; i < n; ++i) {
      partial_ |= ((value >> i) & 1u) << bits_;
      if (++bits_ == 8) FlushPartial();
    }
  }

  void PutNB(const uint8_t* in, uint32_t count) {
    if (count == 0) return;
    ToWriting();
    for (uint32_t i = 0; i < count; ++i) StoreAt(at_++, in[i]);
  }

  void Put(const uint8_t* in, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) PutBits(in[i], 8);
  }

  void ByteAlign() {
    if (writing_ && bits_ != 0) FlushPartial();
    bits_ = 0;
  }

  uint32_t SetPos(uint32_t target) {
    uint32_t p = Pos();
    if (target == p) return p;
    ByteAlign();
    (writing_ ? at_ : fetch_) = target;
    return p;
  }

 private:
  void StoreAt(uint32_t pos, uint8_t byte) {
    if (pos >= data_.size()) data_.resize(pos + 1, 0);
    data_[pos] = byte;
  }
  void FlushPartial() {
    StoreAt(at_++, static_cast<uint8_t>(partial_));
    partial_ = 0;
    bits_ = 0;
  }
  void ToReading() {
    if (!writing_) return;
    uint32_t p = at_;
    ByteAlign();
    fetch_ = p;
    writing_ = false;
  }
  void ToWriting() {
    if (writing_) return;
    at_ = Pos();
    bits_ = 0;
    partial_ = 0;
    writing_ = true;
  }

  std::vector<uint8_t> data_;
  bool writing_;
  uint32_t fetch_ = 0, at_ = 0, bits_ = 0, current_ = 0, partial_ = 0;
};

class QELFileModel : public ::testing::TestWithParam<int32_t> {};

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void RunSequence(int32_t buffer_size, uint32_t seed, int steps) {
  vidzoer_test::TempDir dir;
  std::string name = dir.File("model.bin");
  std::mt19937 rng(seed);
  bool create = rng() % 4 == 0;
  std::vector<uint8_t> initial = create ? std::vector<uint8_t>() : RandomBytes(rng, rng() % 400);
  WriteAll(name, initial);
  QELFile* f = create ? QELFileCreate(buffer_size, name.c_str())
                      : QELFileOpen(buffer_size, name.c_str(), QELFILE_UPDATE);
  ASSERT_NE(f, nullptr);
  StreamModel m(initial, create);

  auto count = [&]() -> uint32_t {
    uint32_t k = rng() % 16;
    if (k < 10) return rng() % 9;
    if (k < 15) return rng() % 40;
    return rng() % 400;
  };
  auto width = [&]() -> uint32_t { return rng() % 8 == 0 ? rng() % 70 : rng() % 33; };

  for (int step = 0; step < steps; ++step) {
    uint32_t op = rng() % 20;
    SCOPED_TRACE(::testing::Message()
                 << "buffer " << buffer_size << " seed " << seed << " step " << step << " op " << op);
    switch (op) {
      case 0:
      case 1: {
        uint32_t n = width();
        uint32_t v = rng();
        EXPECT_EQ(QELFilePutBits(f, v, n), n == 0 ? 0 : v);
        m.PutBits(v, Reduce(n));
        break;
      }
      case 2: {
        uint32_t v = rng();
        QELFilePut8(f, v);
        m.PutBits(v, 8);
        break;
      }
      case 3: {
        uint32_t v = rng();
        QELFilePut16(f, v);
        m.PutBits(v, 16);
        break;
      }
      case 4: {
        uint32_t v = rng();
        QELFilePut32(f, v);
        m.PutBits(v, 32);
        break;
      }
      case 5: {
        auto bytes = RandomBytes(rng, count());
        EXPECT_EQ(QELFilePut(f, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
        m.Put(bytes.data(), static_cast<uint32_t>(bytes.size()));
        break;
      }
      case 6: {
        auto bytes = RandomBytes(rng, count());
        EXPECT_EQ(QELFilePutNB(f, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
        m.PutNB(bytes.data(), static_cast<uint32_t>(bytes.size()));
        break;
      }
      case 7:
      case 8: {
        uint32_t n = width();
        ASSERT_EQ(QELFileGetBits(f, n), m.GetBits(Reduce(n))) << "GetBits " << n;
        break;
      }
      case 9:
        ASSERT_EQ(QELFileGet8(f), m.GetBits(8));
        break;
      case 10:
        ASSERT_EQ(QELFileGet16(f), m.GetBits(16));
        break;
      case 11:
        ASSERT_EQ(QELFileGet32(f), m.GetBits(32));
        break;
      case 12:
      case 13: {
        uint32_t c = count();
        std::vector<uint8_t> got(c + 1, 0xA5), want(c + 1, 0xA5);
        bool raw = op == 13;
        uint32_t n = raw ? QELFileGetNB(f, got.data(), c) : QELFileGet(f, got.data(), c);
        uint32_t k = raw ? m.GetNB(want.data(), c) : m.Get(want.data(), c);
        ASSERT_EQ(n, k) << (raw ? "GetNB " : "Get ") << c;
        if (raw) got.resize(n), want.resize(k);
        ASSERT_EQ(got, want) << (raw ? "GetNB " : "Get ") << c;
        break;
      }
      case 14:
      case 15: {
        uint32_t pos = m.Pos();
        uint32_t t;
        switch (rng() % 4) {
          case 0:
            t = pos;
            break;
          case 1:
            t = pos >= 8 ? pos - rng() % 8 : 0;
            break;
          case 2:
            t = pos + rng() % 8;
            break;
          default:
            t = rng() % (m.Size() + 24);
            break;
        }
        ASSERT_EQ(QELFileSetPos(f, t), m.SetPos(t)) << "SetPos " << t;
        break;
      }
      case 16:
        QELFileByteAlign(f);
        m.ByteAlign();
        break;
      case 17:
        ASSERT_EQ(QELFileSize(f), m.Size());
        ASSERT_EQ(QELFileAtEnd(f) != 0, m.AtEnd());
        break;
      case 18: {
        uint32_t o = rng() % (m.Size() + 8);
        if (QELFileIsInBuffer(f, o)) {
          ASSERT_FALSE(m.Writing());
          ASSERT_NE(buffer_size, 0);
        }
        break;
      }
      default: {
        uint32_t r = QELFileFlush(f);
        m.ByteAlign();
        if (r != 0) {
          ASSERT_EQ(r, m.Pos());
        }
        ASSERT_EQ(ReadAll(name), m.Data()) << "file after a flush";
        break;
      }
    }
    ASSERT_EQ(QELFileGetPos(f), m.Pos());
    ASSERT_EQ(QELFileBitPos(f), m.BitPos());
    ASSERT_EQ(f->write_error, 0);
  }
  QELFileClose(f);
  m.ByteAlign();
  EXPECT_EQ(ReadAll(name), m.Data()) << "buffer " << buffer_size << " seed " << seed;
}

TEST_P(QELFileModel, RandomSequencesMatchTheModel) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    RunSequence(GetParam(), seed * 7919 + static_cast<uint32_t>(GetParam()), 1500);
    if (HasFatalFailure() || HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, QELFileModel, ::testing::Values(0, 1, 2, 3, 7, 16, 61, 256, 4096, -33));

}  // namespace
