// Decoding into the circular sound buffer: across its end the bytes are those
// of a linear decode, rotated; a chunk that ends exactly at the end stops
// there; chunks longer than the buffer, odd buffer lengths and chunks that
// lie about their sizes never write outside the buffer or read past the
// chunk.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "audio_helpers.h"
#include "playback/audio.h"

namespace {

using audio_test::DecodeLinear;
using audio_test::Format;
using audio_test::GuardedBuffer;
using audio_test::kFormats;
using audio_test::MakeSignal;
using audio_test::Signal;
using audio_test::WriteChunk;

// Puts `chunk` into a circular buffer of `size` bytes at `write` and returns
// the buffer and what the call returned.
std::vector<uint8_t> DecodeRing(const std::vector<uint8_t>& chunk, uint32_t format, size_t size, size_t write,
                                uint32_t* advance) {
  GuardedBuffer ring(size, 0x5A);
  *advance = VidzoPutAudioChunk(chunk.data(), static_cast<uint32_t>(chunk.size()), format,
                                VidzoAudioScratch(), ring.begin(), ring.end(), ring.begin() + write);
  EXPECT_TRUE(ring.GuardsIntact());
  return ring.contents();
}

// What a linear decode `linear` looks like written into a ring of `size`
// bytes filled with 0x5A, from `write` on.
std::vector<uint8_t> Rotated(const std::vector<uint8_t>& linear, size_t size, size_t write) {
  std::vector<uint8_t> ring(size, 0x5A);
  for (size_t i = 0; i < linear.size(); ++i) ring[(write + i) % size] = linear[i];
  return ring;
}

TEST(AudioRing, AcrossTheEndEqualsALinearDecode) {
  for (const Format& f : kFormats) {
    for (bool compressed : {true, false}) {
      SCOPED_TRACE(testing::Message() << f.name << (compressed ? " compressed" : " raw"));
      const std::vector<uint8_t> pcm = MakeSignal(Signal::kSweep, f, 700);
      const std::vector<uint8_t> chunk = WriteChunk(pcm, f, compressed ? 3 : -1);
      const std::vector<uint8_t> linear = DecodeLinear(chunk, f.track(compressed), 1 << 14);
      ASSERT_GE(linear.size(), pcm.size());
      const size_t size = 4096;
      for (size_t write : {size_t{0}, size - 4 * 100, size - 4, size - linear.size(), size_t{1024}}) {
        SCOPED_TRACE(testing::Message() << "write at " << write);
        uint32_t advance = 0;
        EXPECT_EQ(DecodeRing(chunk, f.track(compressed), size, write, &advance),
                  Rotated(linear, size, write));
        EXPECT_EQ(advance, linear.size());
      }
    }
  }
}

TEST(AudioRing, OddLengthsAndLongChunksStayInside) {
  std::mt19937 rng(3);
  for (const Format& f : kFormats) {
    const std::vector<uint8_t> pcm = MakeSignal(Signal::kNoise, f, 300);
    const std::vector<uint8_t> chunk = WriteChunk(pcm, f, 0);
    for (int round = 0; round < 40; ++round) {
      // Lengths that are not a multiple of the frame, and buffers shorter
      // than the chunk: whole frames, at most the buffer's length.
      const size_t size = 1 + rng() % (pcm.size() + 40);
      const size_t write = rng() % size;
      SCOPED_TRACE(testing::Message() << f.name << " size " << size << " write " << write);
      uint32_t advance = 0;
      const std::vector<uint8_t> ring = DecodeRing(chunk, f.track(true), size, write, &advance);
      const size_t produced = std::min(size, pcm.size()) / f.frame() * f.frame();
      EXPECT_EQ(advance, produced);
      EXPECT_EQ(ring, Rotated(std::vector<uint8_t>(pcm.begin(), pcm.begin() + produced), size, write));
    }
  }
}

TEST(AudioRing, ChunksThatLieAboutTheirSizes) {
  const Format f = kFormats[3];
  const std::vector<uint8_t> pcm = MakeSignal(Signal::kSweep, f, 200);
  std::vector<uint8_t> chunk = WriteChunk(pcm, f, 0);
  const uint32_t length = static_cast<uint32_t>(chunk.size());
  auto with_length = [&](uint32_t l) {
    std::vector<uint8_t> c = chunk;
    std::memcpy(c.data(), &l, 4);
    return c;
  };
  uint32_t advance = 9;
  // A length beyond the record, or too small to hold its fields: ignored.
  for (uint32_t bad : {length + 1, 0xFFFFFFFFu, 7u, 0u}) {
    DecodeLinear(with_length(bad), f.track(true), 4096, &advance);
    EXPECT_EQ(advance, 0u) << bad;
  }
  EXPECT_EQ(DecodeLinear(with_length(3), f.track(false), 4096, &advance).size(), 0u);
  EXPECT_EQ(advance, 0u);

  // A length that cuts the bit stream short: the rest reads as zero bits,
  // and the decoder never reads past the chunk (an exactly sized copy).
  for (uint32_t cut : {8u, 9u, 12u, length / 2}) {
    SCOPED_TRACE(cut);
    auto copy = std::make_unique<uint8_t[]>(cut);
    std::memcpy(copy.get(), chunk.data(), cut);
    std::memcpy(copy.get(), &cut, 4);
    GuardedBuffer out(pcm.size());
    advance = VidzoPutAudioChunk(copy.get(), cut, f.track(true), VidzoAudioScratch(), out.begin(), out.end(),
                                 out.begin());
    EXPECT_TRUE(out.GuardsIntact());
    EXPECT_EQ(advance, pcm.size()) << "the caller advances by D, data or not";
  }

  // A decoded size far larger than the buffer is cut to the buffer.
  std::vector<uint8_t> huge = chunk;
  const uint32_t d = 0xFFFFFFF0u;
  std::memcpy(huge.data() + 4, &d, 4);
  DecodeLinear(huge, f.track(true), 1000, &advance);
  EXPECT_EQ(advance, 1000u);
}

TEST(AudioRing, WritePositionsOutsideTheBufferWriteNothing) {
  const Format f = kFormats[0];
  const std::vector<uint8_t> chunk = WriteChunk(MakeSignal(Signal::kSweep, f, 50), f, 0);
  GuardedBuffer ring(64);
  EXPECT_EQ(VidzoPutAudioChunk(chunk.data(), uint32_t(chunk.size()), f.track(true), nullptr, ring.begin(),
                               ring.end(), ring.end()),
            0u);
  EXPECT_EQ(VidzoPutAudioChunk(chunk.data(), uint32_t(chunk.size()), f.track(true), nullptr, ring.begin(),
                               ring.begin(), ring.begin()),
            0u);
  EXPECT_TRUE(ring.GuardsIntact());
  EXPECT_EQ(ring.contents(), std::vector<uint8_t>(64, 0x11));
}

}  // namespace
