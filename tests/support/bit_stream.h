// Bit streams for the encoder tests: a QELFile writing into a temporary file,
// and a cursor that reads the written bytes back, least significant bit first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace vidzoer_test {

class QelBitFile {
 public:
  QelBitFile() : name_(tmp_.File("stream.bin")), file_(QELFileCreate(4096, name_.c_str())) {}
  ~QelBitFile() {
    if (file_ != nullptr) QELFileClose(file_);
  }
  QelBitFile(const QelBitFile&) = delete;
  QelBitFile& operator=(const QelBitFile&) = delete;

  QELFile* get() const { return file_; }

  // Closes the file (the last byte is padded with zero bits) and returns its
  // bytes.
  std::vector<uint8_t> Finish() {
    if (file_ != nullptr) QELFileClose(file_);
    file_ = nullptr;
    std::ifstream in(name_, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  TempDir tmp_;
  std::string name_;
  QELFile* file_;
};

class BitCursor {
 public:
  explicit BitCursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  // The next bit; past the end it is 0 and overran() turns true.
  uint32_t Bit() {
    const size_t byte = pos_ >> 3;
    uint32_t bit = 0;
    if (byte < bytes_.size()) {
      bit = (bytes_[byte] >> (pos_ & 7)) & 1u;
    } else {
      overran_ = true;
    }
    ++pos_;
    return bit;
  }

  // The next n bits, the first of them lowest.
  uint32_t Bits(unsigned n) {
    uint32_t value = 0;
    for (unsigned i = 0; i < n; ++i) value |= Bit() << i;
    return value;
  }

  size_t position() const { return pos_; }
  bool overran() const { return overran_; }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t pos_ = 0;
  bool overran_ = false;
};

// The bits of a byte vector as written, least significant bit first.
inline std::vector<bool> BitsOf(const std::vector<uint8_t>& bytes) {
  std::vector<bool> bits;
  for (uint8_t b : bytes)
    for (int i = 0; i < 8; ++i) bits.push_back(((b >> i) & 1) != 0);
  return bits;
}

}  // namespace vidzoer_test
