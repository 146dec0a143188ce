// The bit reader of the decoder. A bit stream is a sequence of bytes whose bits
// are taken from the least significant bit of each byte upwards, bytes in
// order; an n-bit number read from it has its first bit as its least
// significant bit.
//
// Two forms deliver exactly the same bits: the 32-bit form keeps up to 32
// bits buffered and refills 16 at a time, the wide form keeps up to 64 bits
// and refills 32 at a time. The video decoder picks one through the
// process-wide choice below. Neither form ever reads outside
// [data, data + size): once the stream is used up it delivers zero bits.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vidzo {

// Process-wide choice of the wide (64-bit) reader. Until it is set, it follows
// the processor: on x86-64 the MMX feature bit (leaf 1, EDX bit 23); elsewhere
// the 32-bit form.
bool WideBitReader();
void SetWideBitReader(bool wide);
// What the processor reports, examined once per process.
bool ProcessorHasMmx();

template <typename Word>
class BasicBitReader {
  static_assert(sizeof(Word) == 4 || sizeof(Word) == 8);
  static_assert(std::endian::native == std::endian::little);

 public:
  // Bytes taken from the stream by one refill.
  static constexpr unsigned kRefillBytes = sizeof(Word) / 2;
  static constexpr unsigned kRefillBits = kRefillBytes * 8;

  BasicBitReader() = default;
  BasicBitReader(const void* data, std::size_t size) { Start(data, size); }

  // Starts at the first byte with no bits loaded.
  void Start(const void* data, std::size_t size) {
    data_ = static_cast<const std::uint8_t*>(data);
    size_ = data_ ? size : 0;
    pos_ = 0;
    bits_ = 0;
    count_ = 0;
  }

  // Makes at least `n` bits (n <= kRefillBits) available to Peek.
  void Ensure(unsigned n) {
    if (count_ < n) Refill();
  }
  // The next bits of the stream, first bit lowest; only the bits made
  // available by Ensure are meaningful.
  Word Peek() const { return bits_; }
  // Drops `n` bits that Ensure made available.
  void Skip(unsigned n) {
    bits_ >>= n;
    count_ -= n;
  }

  unsigned ReadBit() {
    if (count_ == 0) Refill();
    unsigned bit = static_cast<unsigned>(bits_ & 1u);
    bits_ >>= 1;
    --count_;
    return bit;
  }

  unsigned Read8() {
    Ensure(8);
    unsigned value = static_cast<unsigned>(bits_ & 0xFFu);
    Skip(8);
    return value;
  }

  // Bits handed out so far, zero bits past the end included.
  std::uint64_t BitsConsumed() const { return pos_ * 8 - count_; }

 private:
  using Chunk = std::conditional_t<sizeof(Word) == 8, std::uint32_t, std::uint16_t>;

  // Adds kRefillBits bits while there is room for them.
  void Refill() {
    while (count_ <= sizeof(Word) * 8 - kRefillBits) {
      Chunk chunk = 0;
      if (pos_ + kRefillBytes <= size_) {
        std::memcpy(&chunk, data_ + pos_, kRefillBytes);
      } else {
        for (std::uint64_t i = 0; i < kRefillBytes && pos_ + i < size_; ++i)
          chunk = static_cast<Chunk>(chunk | (Chunk{data_[pos_ + i]} << (8 * i)));
      }
      pos_ += kRefillBytes;
      bits_ |= static_cast<Word>(chunk) << count_;
      count_ += kRefillBits;
    }
  }

  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t pos_ = 0;  // next unread byte; runs on past the end (zero bytes)
  Word bits_ = 0;
  unsigned count_ = 0;
};

using BitReader32 = BasicBitReader<std::uint32_t>;
using BitReader64 = BasicBitReader<std::uint64_t>;

}  // namespace vidzo
