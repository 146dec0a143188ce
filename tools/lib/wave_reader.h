// Reading RIFF wave files of PCM sound: 8 or 16 bits, mono or stereo, any
// rate up to 16777215 Hz (the 24 bits of a track's rate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vidzotools {

struct WaveSound {
  uint32_t rate = 0;
  uint32_t bits = 0;         // 8 (unsigned samples) or 16 (signed little-endian)
  uint32_t channels = 0;     // 1 or 2, left first
  std::vector<uint8_t> pcm;  // whole sample frames only

  uint32_t FrameBytes() const { return channels * bits / 8; }
  uint64_t Frames() const { return FrameBytes() != 0 ? pcm.size() / FrameBytes() : 0; }
};

// Takes the sound out of the bytes of a wave file. Chunks other than "fmt "
// and "data" are skipped (an odd-sized chunk is followed by a pad byte).
// A data chunk that claims more bytes than the file holds is cut to the file,
// and a trailing part of a sample frame is left out; either adds a note to
// `warning`. False with a message in `error` when the bytes are not a RIFF
// wave, not PCM, of a sample size, channel count or rate not handled, or lack
// the "fmt " or "data" chunk.
bool ParseWave(const uint8_t* bytes, size_t size, WaveSound& out, std::string& error, std::string& warning);

// ParseWave on the content of the file `name`; messages name the file.
bool ReadWaveFile(const std::string& name, WaveSound& out, std::string& error, std::string& warning);

}  // namespace vidzotools
