// Sounds and pictures for the sound round trips of vdzenc and vdzinfo: test
// signals in the four PCM formats, wave files, and running the programs as a
// user runs them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace sound_test {

// Sound in one of the four formats, as a track decodes to: little-endian,
// channels interleaved left first, 8-bit unsigned, 16-bit signed.
struct Pcm {
  uint32_t rate = 8000;
  uint32_t bits = 16;
  uint32_t channels = 1;
  std::vector<uint8_t> bytes;

  uint32_t FrameBytes() const { return channels * bits / 8; }
  uint64_t Frames() const { return bytes.size() / FrameBytes(); }
  // Sample `channel` of sample frame `i` (8-bit: 0..255, 16-bit: signed).
  int32_t Sample(uint64_t i, uint32_t channel) const;
};

// A signal of 16-bit stereo samples, the source of the four formats.
struct Signal {
  uint32_t rate = 8000;
  std::vector<int16_t> left;
  std::vector<int16_t> right;
};

// 8-bit samples take the top byte plus 128; mono takes the left channel.
Pcm ToFormat(const Signal& s, uint32_t bits, uint32_t channels);
// The four formats in the order 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo.
std::vector<Pcm> AllFormats(const Signal& s);

Signal RandomNoise(uint32_t rate, uint32_t frames, uint32_t seed);
Signal SineSweep(uint32_t rate, uint32_t frames);
Signal Silence(uint32_t rate, uint32_t frames);
Signal FullScaleSquare(uint32_t rate, uint32_t frames);
Signal DcOffsets(uint32_t rate, uint32_t frames);

// The bytes of a RIFF wave file holding `pcm` (plain "fmt " and "data").
std::vector<uint8_t> WaveBytes(const Pcm& pcm);
void WriteWave(const std::string& name, const Pcm& pcm);

using vidzoer_test::Quote;
using vidzoer_test::RunResult;

// Runs a program of the build with `args` (already quoted), with the
// temporary folder set to `dir`/tmp so that what a program leaves there can
// be seen.
RunResult RunTool(const vidzoer_test::TempDir& dir, const std::string& program, const std::string& args);

// Writes `count` small pictures (8 x 8, a few colours) into `folder`.
void WritePictures(const std::filesystem::path& folder, int count);

// The files left in `folder` (names only, sorted).
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

}  // namespace sound_test
