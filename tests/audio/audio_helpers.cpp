#include "audio_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

#include "playback/audio.h"
#include "qelutil/qelutil.h"
#include "qelutil/sound_pack.h"
#include "support/bit_stream.h"

namespace audio_test {

const Format kFormats[4] = {
    {false, false, "8-bit mono"},
    {false, true, "8-bit stereo"},
    {true, false, "16-bit mono"},
    {true, true, "16-bit stereo"},
};

const Signal kSignals[6] = {Signal::kSilence, Signal::kSquare, Signal::kSweep,
                            Signal::kDcSteps, Signal::kNoise,  Signal::kSpeechLike};

uint32_t Format::track(bool compressed) const {
  return VDZ_AUDIO_PRESENT | 22050u | (sixteen ? VDZ_AUDIO_16BIT : 0u) | (stereo ? VDZ_AUDIO_STEREO : 0u) |
         (compressed ? VDZ_AUDIO_COMPRESSED : 0u);
}

const char* SignalName(Signal s) {
  switch (s) {
    case Signal::kSilence:
      return "silence";
    case Signal::kSquare:
      return "full-scale square";
    case Signal::kSweep:
      return "sine sweep";
    case Signal::kDcSteps:
      return "DC offsets";
    case Signal::kNoise:
      return "random noise";
    case Signal::kSpeechLike:
      return "voiced pulses";
  }
  return "?";
}

namespace {

// A sample value in [-1, 1] of the signal at frame i on channel c.
double Value(Signal s, uint32_t i, unsigned c, std::mt19937& rng) {
  const double t = i / 22050.0;
  switch (s) {
    case Signal::kSilence:
      return 0;
    case Signal::kSquare:
      return ((i / (c ? 37 : 50)) % 2) ? 1.0 : -1.0;
    case Signal::kSweep: {
      // 50 Hz rising to 8 kHz over the second.
      const double phase = 2 * std::numbers::pi * (50 * t + (7950.0 / 2) * t * t);
      return 0.9 * std::sin(phase + c * 0.7);
    }
    case Signal::kDcSteps:
      return c ? -0.6 + 0.3 * ((i / 3000) % 4) : 0.75 - 0.5 * ((i / 2000) % 3);
    case Signal::kNoise:
      return std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
    case Signal::kSpeechLike: {
      // Pitch pulses through two formant resonances, with a little breath.
      const double pitch = 120 + 30 * std::sin(2 * std::numbers::pi * 3 * t);
      const double since = std::fmod(t * pitch, 1.0) / pitch;
      const double pulse = std::exp(-since * 400) * (std::sin(2 * std::numbers::pi * 700 * since) +
                                                     0.5 * std::sin(2 * std::numbers::pi * 1200 * since));
      const double breath = std::uniform_real_distribution<double>(-0.03, 0.03)(rng);
      return std::clamp(0.6 * pulse + breath + (c ? 0.05 : 0.0), -1.0, 1.0);
    }
  }
  return 0;
}

}  // namespace

std::vector<uint8_t> MakeSignal(Signal s, Format f, uint32_t frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> pcm;
  pcm.reserve(static_cast<size_t>(frames) * f.frame());
  for (uint32_t i = 0; i < frames; ++i) {
    for (unsigned c = 0; c < (f.stereo ? 2u : 1u); ++c) {
      const double v = Value(s, i, c, rng);
      if (f.sixteen) {
        const auto x = static_cast<int16_t>(std::clamp(std::lround(v * 32768), -32768L, 32767L));
        pcm.push_back(static_cast<uint8_t>(x));
        pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(x) >> 8));
      } else {
        pcm.push_back(static_cast<uint8_t>(std::clamp(std::lround(128 + v * 128), 0L, 255L)));
      }
    }
  }
  return pcm;
}

std::vector<uint8_t> WriteChunk(const std::vector<uint8_t>& pcm, Format f, int level, uint32_t offset,
                                uint32_t* length) {
  vidzoer_test::QelBitFile file;
  for (uint32_t i = 0; i < offset; ++i) QELFilePut8(file.get(), 0xEE);
  uint32_t n;
  if (level < 0) {
    n = qelutil::PutRawSoundChunk(file.get(), pcm.data(), static_cast<uint32_t>(pcm.size()), f.sixteen,
                                  f.stereo);
  } else {
    Huff* trees[4];
    for (Huff*& t : trees) t = HuffOpen(1);
    n = qelutil::PutPackedSoundChunk(file.get(), trees, pcm.data(), static_cast<uint32_t>(pcm.size()),
                                     f.sixteen, f.stereo,
                                     qelutil::SoundLossyLevel(static_cast<uint32_t>(level), f.sixteen));
    for (Huff* t : trees) HuffClose(t);
  }
  if (length != nullptr) *length = n;
  std::vector<uint8_t> bytes = file.Finish();
  EXPECT_EQ(bytes.size(), offset + n) << "the chunk is the end of the file";
  if (bytes.size() < offset) return {};
  return std::vector<uint8_t>(bytes.begin() + offset, bytes.end());
}

GuardedBuffer::GuardedBuffer(size_t size, uint8_t fill) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
  std::fill(begin(), end(), fill);
}

std::vector<uint8_t> GuardedBuffer::contents() const {
  return std::vector<uint8_t>(bytes_.begin() + kGuard,
                              bytes_.begin() + static_cast<ptrdiff_t>(kGuard + size_));
}

bool GuardedBuffer::GuardsIntact() const {
  for (size_t i = 0; i < kGuard; ++i)
    if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
  return true;
}

std::vector<uint8_t> DecodeLinear(const std::vector<uint8_t>& chunk, uint32_t track_format, size_t capacity,
                                  uint32_t* advance) {
  GuardedBuffer out(capacity);
  const uint32_t n = VidzoPutAudioChunk(chunk.data(), static_cast<uint32_t>(chunk.size()), track_format,
                                        VidzoAudioScratch(), out.begin(), out.end(), out.begin());
  EXPECT_TRUE(out.GuardsIntact());
  if (advance != nullptr) *advance = n;
  std::vector<uint8_t> all = out.contents();
  all.resize(std::min<size_t>(n, all.size()));
  return all;
}

int32_t MaxError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, Format f) {
  int32_t worst = 0;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i + (f.sixteen ? 1 : 0) < n; i += f.sixteen ? 2 : 1) {
    int32_t x, y;
    if (f.sixteen) {
      x = static_cast<int16_t>(a[i] | (a[i + 1] << 8));
      y = static_cast<int16_t>(b[i] | (b[i + 1] << 8));
    } else {
      x = a[i];
      y = b[i];
    }
    worst = std::max(worst, std::abs(x - y));
  }
  return worst;
}

}  // namespace audio_test
