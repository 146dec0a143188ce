// Sound files for the sound input tests: PCM as 16-bit sample frames, wave
// and raw files of it, .vdz files holding it as a track (made by our own
// writer), and everything an SFile delivers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qelutil/qelutil.h"

namespace sound_input_test {

struct Frames {
  std::vector<int32_t> left, right;  // signed 16-bit values
  size_t size() const { return left.size(); }
};

// Frames as PCM bytes of `bits` and `channels` (mono takes the left channel).
std::vector<uint8_t> ToBytes(const Frames& f, uint32_t bits, uint32_t channels);
// PCM bytes as frames (8-bit samples become (s - 128) x 256; mono gives the
// same value twice).
Frames FromBytes(const std::vector<uint8_t>& pcm, uint32_t bits, uint32_t channels);
// Random sound; 8-bit sources get values that are whole multiples of 256.
Frames RandomFrames(size_t n, uint32_t seed, bool eight_bit);

void WriteWave(const std::string& name, uint32_t rate, uint32_t bits, uint32_t channels,
               const std::vector<uint8_t>& pcm);

// Writes a .vdz file of `frames` frames of `frame_ms` milliseconds whose
// track `track` (0-based) holds `pcm`, compressed (lossless) or raw, and no
// sound lead. Returns false with a message on failure.
bool WriteVdz(const std::string& name, uint32_t frames, int32_t frame_ms, uint32_t track, uint32_t rate,
              uint32_t bits, uint32_t channels, const std::vector<uint8_t>& pcm, bool raw, std::string& error);

// Everything the source delivers, asked for in pieces of `piece` bytes.
std::vector<uint8_t> ReadAll(SFile* s, uint32_t piece = 1000);

// Messages of kind 2 sent to ErrorCatcher since the last Clear.
struct ErrorCatcher {
  static std::vector<std::string>& Errors();
  static uint8_t Take(const char* text, int32_t kind);
};

}  // namespace sound_input_test
