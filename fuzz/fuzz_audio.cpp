// Arbitrary bytes as a track format, a circular buffer length and write
// position, and an audio chunk: the chunk is put into the buffer (guard bytes
// on both sides must stay untouched, the chunk is an exactly sized copy), and
// the result must equal a decode into a buffer of the same length from its
// start, rotated to the write position.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "playback/audio.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 32;
constexpr std::size_t kHeader = 5;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct Guarded {
  explicit Guarded(std::size_t size) : size(size), bytes(size + 2 * kGuardBytes, kGuard) {
    std::memset(start(), 0x33, size);
  }
  std::uint8_t* start() { return bytes.data() + kGuardBytes; }
  std::uint8_t* end() { return start() + size; }
  void CheckGuards() const {
    for (std::size_t i = 0; i < kGuardBytes; ++i)
      Check(bytes[i] == kGuard && bytes[kGuardBytes + size + i] == kGuard);
  }
  std::size_t size;
  std::vector<std::uint8_t> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  std::uint32_t format = VDZ_AUDIO_PRESENT | 22050u;
  if (data[0] & 1) format |= VDZ_AUDIO_COMPRESSED;
  if (data[0] & 2) format |= VDZ_AUDIO_STEREO;
  if (data[0] & 4) format |= VDZ_AUDIO_16BIT;
  const std::size_t length = 1 + (data[1] | (data[2] << 8)) % 8192;
  const std::size_t write = (data[3] | (data[4] << 8)) % length;
  const std::size_t chunk_size = size - kHeader;
  auto chunk = std::make_unique<std::uint8_t[]>(chunk_size + 1);  // never empty
  if (chunk_size) std::memcpy(chunk.get(), data + kHeader, chunk_size);

  std::vector<std::uint32_t> scratch(VDZ_AUDIO_SCRATCH_BYTES / 4);
  Guarded ring(length);
  const std::uint32_t advance =
      VidzoPutAudioChunk(chunk.get(), static_cast<std::uint32_t>(chunk_size), format, scratch.data(),
                         ring.start(), ring.end(), ring.start() + write);
  ring.CheckGuards();
  Check(advance <= length);

  Guarded linear(length);
  Check(VidzoPutAudioChunk(chunk.get(), static_cast<std::uint32_t>(chunk_size), format, scratch.data(),
                           linear.start(), linear.end(), linear.start()) == advance);
  linear.CheckGuards();
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t expected = i < advance ? linear.start()[i] : 0x33;
    Check(ring.start()[(write + i) % length] == expected);
  }

  // The decoder alone, on the bytes as a bare bit stream with the size the
  // header bytes give.
  if (chunk_size != 0) {
    Guarded bare(length);
    VidzoDecodeAudio(chunk.get(), static_cast<std::uint32_t>(chunk_size), data[1] | (data[2] << 8), nullptr,
                     bare.start(), bare.end(), bare.start() + write);
    bare.CheckGuards();
  }
  return 0;
}
