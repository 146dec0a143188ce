// Helpers of the sound tests: the four sample formats, test signals, packing
// a block through the chunk writers into a real file, and decoding a chunk
// into a buffer with guard zones on both sides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio_test {

struct Format {
  bool sixteen;
  bool stereo;
  const char* name;
  uint32_t frame() const { return (sixteen ? 2u : 1u) * (stereo ? 2u : 1u); }
  // The track's AudioFormat entry (rate 22050), compressed or not.
  uint32_t track(bool compressed) const;
};

extern const Format kFormats[4];

enum class Signal { kSilence, kSquare, kSweep, kDcSteps, kNoise, kSpeechLike };
extern const Signal kSignals[6];
const char* SignalName(Signal s);

// `frames` sample frames of the signal in the format (22050 frames a second).
std::vector<uint8_t> MakeSignal(Signal s, Format f, uint32_t frames, uint32_t seed = 1);

// The chunk as the writer puts it into a file after `offset` leading bytes:
// PutPackedSoundChunk with four fresh 8-bit encoders at lossy `level`, or
// PutRawSoundChunk when `level` is negative. The returned bytes are the chunk
// alone; `length` receives the writer's result.
std::vector<uint8_t> WriteChunk(const std::vector<uint8_t>& pcm, Format f, int level, uint32_t offset = 0,
                                uint32_t* length = nullptr);

// A buffer with guard bytes before and after its usable part.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t size, uint8_t fill = 0x11);
  uint8_t* begin() { return bytes_.data() + kGuard; }
  uint8_t* end() { return begin() + size_; }
  size_t size() const { return size_; }
  std::vector<uint8_t> contents() const;
  // True when no guard byte changed.
  bool GuardsIntact() const;

 private:
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kGuardByte = 0xA5;
  size_t size_;
  std::vector<uint8_t> bytes_;
};

// Decodes (or copies) a whole chunk into a fresh linear buffer of `capacity`
// bytes through VidzoPutAudioChunk and returns the bytes it produced;
// `advance` receives its result. Fails the test when a guard was touched.
std::vector<uint8_t> DecodeLinear(const std::vector<uint8_t>& chunk, uint32_t track_format, size_t capacity,
                                  uint32_t* advance = nullptr);

// Largest difference between two blocks of samples of the format (16-bit
// samples compared as signed values).
int32_t MaxError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, Format f);

}  // namespace audio_test
