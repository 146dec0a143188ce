// Small sound helpers for end-to-end tests: RIFF wave files of PCM sound,
// noise to fill them, and the trimming of leading and trailing silence off
// what a device played. (Whole files as bytes: support/files.h.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidzoer_test {

// Writes `pcm` (interleaved, 8-bit unsigned or 16-bit signed little-endian)
// as a wave file.
void WriteWaveFile(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels,
                   const std::vector<uint8_t>& pcm);

// `n` bytes of random sound from `seed`.
std::vector<uint8_t> NoiseBytes(size_t n, uint32_t seed);

// `b` without the bytes equal to `silence` at its start and end.
std::vector<uint8_t> TrimSilence(std::vector<uint8_t> b, uint8_t silence);

}  // namespace vidzoer_test
