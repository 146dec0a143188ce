// Packing blocks of PCM into the sound chunks of the .vdz format.
//
// Every sample is predicted by the previous sample of its channel as the
// decoder will rebuild it; the delta (sample - prediction, wrapped to the
// sample width) is coded with 8-bit prefix-code trees, 16-bit deltas as a low
// and a high byte. In lossy mode a delta loses its low bits unless the error
// that causes is above the limit; the prediction then follows the delta
// actually coded, so that no error accumulates.
#include "qelutil/sound_pack.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace qelutil {

namespace {

constexpr SoundLossy kLevels8[10] = {{0xFF, 0}, {0xFE, 1},  {0xFC, 2},  {0xFC, 4},  {0xF8, 6},
                                     {0xF8, 8}, {0xF0, 12}, {0xF0, 16}, {0xE0, 24}, {0xE0, 32}};
constexpr SoundLossy kLevels16[10] = {{0xFFFF, 0},    {0xFFFC, 4},   {0xFFF8, 8},   {0xFFF0, 16},
                                      {0xFFC0, 64},   {0xFF80, 128}, {0xFF00, 256}, {0xFE00, 512},
                                      {0xFC00, 1024}, {0xF800, 2048}};

// A code of 31 bits or more needs the counts of its tree to add up to at
// least the Fibonacci number F(33), whatever the order of equal weights. A
// tree whose counts stay below that always fits the 30 bits of the encoder.
constexpr uint64_t kSafeTotal = 3524577;

using Histogram = std::array<uint32_t, 256>;

struct Shape {
  bool sixteen;
  bool stereo;
  unsigned channels() const { return stereo ? 2 : 1; }
  unsigned frame() const { return channels() * (sixteen ? 2 : 1); }
  unsigned trees() const { return frame(); }
};

uint32_t Sample(const uint8_t* pcm, Shape shape, uint32_t frame, unsigned channel) {
  const uint8_t* p = pcm + static_cast<size_t>(frame) * shape.frame() + channel * (shape.sixteen ? 2u : 1u);
  return shape.sixteen ? p[0] | (uint32_t{p[1]} << 8) : p[0];
}

// Whether coding `masked` instead of the exact delta keeps the sample within
// the limit. 16-bit samples are signed, so they are compared as such; 8-bit
// stereo compares the prediction plus the masked delta without wrapping it.
bool WithinLimit(Shape shape, uint32_t prediction, uint32_t masked, uint32_t sample, int32_t limit) {
  int64_t rebuilt;
  int64_t wanted;
  if (shape.sixteen) {
    rebuilt = static_cast<int16_t>((prediction + masked) & 0xFFFF);
    wanted = static_cast<int16_t>(sample);
  } else if (shape.stereo) {
    rebuilt = prediction + masked;
    wanted = sample;
  } else {
    rebuilt = (prediction + masked) & 0xFF;
    wanted = sample;
  }
  return std::llabs(rebuilt - wanted) <= limit;
}

// The deltas to code, channel after channel within each frame after the
// first, and the histograms of the trees that code them.
struct Deltas {
  std::vector<uint16_t> values;
  std::array<Histogram, 4> counts{};
};

Deltas ChooseDeltas(const uint8_t* pcm, uint32_t frames, Shape shape, SoundLossy lossy) {
  const unsigned channels = shape.channels();
  const uint32_t wrap = shape.sixteen ? 0xFFFF : 0xFF;
  const uint32_t mask = lossy.delta_mask & wrap;
  Deltas out;
  out.values.reserve(static_cast<size_t>(frames - 1) * channels);
  uint32_t prediction[2] = {Sample(pcm, shape, 0, 0), Sample(pcm, shape, 0, channels - 1)};
  for (uint32_t i = 1; i < frames; ++i) {
    for (unsigned c = 0; c < channels; ++c) {
      const uint32_t s = Sample(pcm, shape, i, c);
      uint32_t d = (s - prediction[c]) & wrap;
      const uint32_t m = d & mask;
      if (m != d && WithinLimit(shape, prediction[c], m, s, lossy.error_limit)) d = m;
      prediction[c] = (prediction[c] + d) & wrap;
      out.values.push_back(static_cast<uint16_t>(d));
      if (shape.sixteen) {
        ++out.counts[2 * c][d & 0xFF];
        ++out.counts[2 * c + 1][d >> 8];
      } else {
        ++out.counts[c][d];
      }
    }
  }
  return out;
}

// Gives the encoder the statistics of one tree and writes the tree. Counts
// too large for 30-bit codes are halved (keeping every used symbol) until
// they fit; a block without deltas gets the single symbol 0, so that a tree
// is written all the same.
void WriteTree(Huff* tree, const Histogram& counts) {
  HuffInitStats(tree);
  uint64_t total = 0;
  for (uint32_t n : counts) total += n;
  unsigned shift = 0;
  auto scaled_total = [&] {
    uint64_t sum = 0;
    for (uint32_t n : counts) sum += n == 0 ? 0 : std::max<uint32_t>(1, n >> shift);
    return sum;
  };
  while (total > kSafeTotal) {
    ++shift;
    total = scaled_total();
  }
  bool any = false;
  for (uint32_t v = 0; v < 256; ++v) {
    uint32_t n = counts[v] == 0 ? 0 : std::max<uint32_t>(1, counts[v] >> shift);
    for (uint32_t k = 0; k < n; ++k) HuffAddStat(tree, v);
    any = any || n != 0;
  }
  if (!any) HuffAddStat(tree, 0);
  HuffStartEncode(tree);
}

// Sets the size field at `start` to the chunk's length (up to the present
// position) and returns to the chunk's end.
uint32_t FinishChunk(QELFile* out, uint32_t start) {
  const uint32_t end = QELFileGetPos(out);
  QELFileSetPos(out, start);
  QELFilePut32(out, end - start);
  QELFileSetPos(out, end);
  return end - start;
}

}  // namespace

SoundLossy SoundLossyLevel(uint32_t level, bool sixteen) {
  const uint32_t row = std::min<uint32_t>(level, 9);
  return sixteen ? kLevels16[row] : kLevels8[row];
}

uint32_t PutPackedSoundChunk(QELFile* out, Huff* const trees[4], const uint8_t* pcm, uint32_t bytes,
                             bool sixteen, bool stereo, SoundLossy lossy) {
  const Shape shape{sixteen, stereo};
  const uint32_t frames = bytes / shape.frame();
  if (out == nullptr || trees == nullptr || pcm == nullptr || frames == 0) return 0;
  for (unsigned t = 0; t < shape.trees(); ++t)
    if (trees[t] == nullptr) return 0;
  const Deltas deltas = ChooseDeltas(pcm, frames, shape, lossy);

  QELFileByteAlign(out);
  const uint32_t start = QELFileGetPos(out);
  QELFilePut32(out, 0);
  QELFilePut32(out, frames * shape.frame());
  QELFilePutBits(out, 1u | (stereo ? 2u : 0u) | (sixteen ? 4u : 0u), 3);
  for (unsigned t = 0; t < shape.trees(); ++t) {
    HuffSetOutput(trees[t], out);
    WriteTree(trees[t], deltas.counts[t]);
  }

  // The first frame, right channel first and high byte first.
  for (unsigned c = shape.channels(); c-- > 0;) {
    const uint32_t s = Sample(pcm, shape, 0, c);
    if (sixteen) QELFilePutBits(out, s >> 8, 8);
    QELFilePutBits(out, s & 0xFF, 8);
  }
  const unsigned channels = shape.channels();
  for (size_t i = 0; i < deltas.values.size(); ++i) {
    const unsigned c = static_cast<unsigned>(i % channels);
    const uint32_t d = deltas.values[i];
    if (sixteen) {
      HuffEncode(trees[2 * c], d & 0xFF);
      HuffEncode(trees[2 * c + 1], d >> 8);
    } else {
      HuffEncode(trees[c], d);
    }
  }
  QELFileByteAlign(out);
  for (uint32_t pos = QELFileGetPos(out); pos % 4 != 0; ++pos) QELFilePut8(out, 0);
  return FinishChunk(out, start);
}

uint32_t PutRawSoundChunk(QELFile* out, const uint8_t* pcm, uint32_t bytes, bool sixteen, bool stereo) {
  if (out == nullptr || pcm == nullptr || bytes == 0) return 0;
  const Shape shape{sixteen, stereo};
  QELFileByteAlign(out);
  const uint32_t start = QELFileGetPos(out);
  QELFilePut32(out, 0);
  QELFilePut(out, pcm, bytes);
  const uint32_t pad = (4 - QELFileGetPos(out) % 4) % 4;
  if (pad % shape.frame() == 0)
    for (uint32_t i = 0; i < pad; ++i) QELFilePut8(out, sixteen ? 0 : 0x80);
  return FinishChunk(out, start);
}

}  // namespace qelutil
