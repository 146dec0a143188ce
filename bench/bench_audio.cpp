// Audio chunks: decoded bytes per second for each sample format, against a
// memcpy of the same decoded bytes; and the packer's input bytes per second
// at lossless and at the highest lossy level, against a memcpy of the PCM.
// The sound is one second (22050 frames) of a sine sweep with a little noise,
// packed into one chunk and decoded into a circular buffer that it wraps.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "playback/audio.h"
#include "qelutil/qelutil.h"
#include "qelutil/sound_pack.h"

namespace {

constexpr uint32_t kFrames = 22050;

struct Format {
  bool sixteen;
  bool stereo;
  uint32_t frame() const { return (sixteen ? 2u : 1u) * (stereo ? 2u : 1u); }
  uint32_t track() const {
    return VDZ_AUDIO_COMPRESSED | VDZ_AUDIO_PRESENT | 22050u | (sixteen ? VDZ_AUDIO_16BIT : 0u) |
           (stereo ? VDZ_AUDIO_STEREO : 0u);
  }
};

std::vector<uint8_t> Sound(Format f) {
  std::mt19937 rng(9);
  std::normal_distribution<double> noise(0, 0.01);
  std::vector<uint8_t> pcm;
  for (uint32_t i = 0; i < kFrames; ++i) {
    const double t = i / 22050.0;
    for (unsigned c = 0; c < (f.stereo ? 2u : 1u); ++c) {
      double v = 0.7 * std::sin(2 * std::numbers::pi * (100 * t + 2000 * t * t) + c) + noise(rng);
      v = std::fmax(-1.0, std::fmin(1.0, v));
      if (f.sixteen) {
        const auto x = static_cast<int16_t>(std::lround(v * 32767));
        pcm.push_back(static_cast<uint8_t>(x));
        pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(x) >> 8));
      } else {
        pcm.push_back(static_cast<uint8_t>(std::lround(128 + v * 127)));
      }
    }
  }
  return pcm;
}

std::string TempName(const char* what) {
  return "/tmp/bench_audio_" + std::to_string(getpid()) + "_" + what;
}

// The packer's output for the sound, as bytes.
std::vector<uint8_t> Pack(const std::vector<uint8_t>& pcm, Format f, uint32_t level) {
  const std::string name = TempName("chunk");
  QELFile* q = QELFileCreate(1 << 16, name.c_str());
  Huff* trees[4];
  for (Huff*& t : trees) t = HuffOpen(1);
  qelutil::PutPackedSoundChunk(q, trees, pcm.data(), static_cast<uint32_t>(pcm.size()), f.sixteen, f.stereo,
                               qelutil::SoundLossyLevel(level, f.sixteen));
  for (Huff* t : trees) HuffClose(t);
  QELFileClose(q);
  std::ifstream in(name, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(name.c_str());
  return bytes;
}

void CopyBaseline(benchmark::State& state, Format f) {
  const std::vector<uint8_t> pcm = Sound(f);
  std::vector<uint8_t> out(pcm.size());
  for (auto _ : state) {
    std::memcpy(out.data(), pcm.data(), pcm.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pcm.size()));
}

void Decode(benchmark::State& state, Format f) {
  const std::vector<uint8_t> pcm = Sound(f);
  const std::vector<uint8_t> chunk = Pack(pcm, f, 0);
  // A ring a little larger than the sound, written from a point that makes
  // every decode wrap.
  std::vector<uint8_t> ring(pcm.size() + 4096);
  void* scratch = VidzoAudioScratch();
  size_t write = ring.size() / 2;
  for (auto _ : state) {
    VidzoPutAudioChunk(chunk.data(), static_cast<uint32_t>(chunk.size()), f.track(), scratch, ring.data(),
                       ring.data() + ring.size(), ring.data() + write);
    benchmark::DoNotOptimize(ring.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pcm.size()));
}

void PackBench(benchmark::State& state, Format f, uint32_t level) {
  const std::vector<uint8_t> pcm = Sound(f);
  const std::string name = TempName("pack");
  QELFile* q = QELFileCreate(1 << 16, name.c_str());
  Huff* trees[4];
  for (Huff*& t : trees) t = HuffOpen(1);
  const qelutil::SoundLossy lossy = qelutil::SoundLossyLevel(level, f.sixteen);
  for (auto _ : state) {
    QELFileSetPos(q, 0);
    benchmark::DoNotOptimize(qelutil::PutPackedSoundChunk(
        q, trees, pcm.data(), static_cast<uint32_t>(pcm.size()), f.sixteen, f.stereo, lossy));
  }
  for (Huff* t : trees) HuffClose(t);
  QELFileClose(q);
  std::remove(name.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pcm.size()));
}

constexpr Format kMono8{false, false}, kStereo8{false, true}, kMono16{true, false}, kStereo16{true, true};

BENCHMARK_CAPTURE(CopyBaseline, baseline, kMono8)->Name("Decode8Mono/baseline");
BENCHMARK_CAPTURE(Decode, decode, kMono8)->Name("Decode8Mono/decode");
BENCHMARK_CAPTURE(CopyBaseline, baseline, kStereo8)->Name("Decode8Stereo/baseline");
BENCHMARK_CAPTURE(Decode, decode, kStereo8)->Name("Decode8Stereo/decode");
BENCHMARK_CAPTURE(CopyBaseline, baseline, kMono16)->Name("Decode16Mono/baseline");
BENCHMARK_CAPTURE(Decode, decode, kMono16)->Name("Decode16Mono/decode");
BENCHMARK_CAPTURE(CopyBaseline, baseline, kStereo16)->Name("Decode16Stereo/baseline");
BENCHMARK_CAPTURE(Decode, decode, kStereo16)->Name("Decode16Stereo/decode");

BENCHMARK_CAPTURE(CopyBaseline, baseline, kStereo16)->Name("Pack16Stereo/baseline");
BENCHMARK_CAPTURE(PackBench, level0, kStereo16, 0)->Name("Pack16Stereo/level0");
BENCHMARK_CAPTURE(PackBench, level9, kStereo16, 9)->Name("Pack16Stereo/level9");
BENCHMARK_CAPTURE(CopyBaseline, baseline, kMono8)->Name("Pack8Mono/baseline");
BENCHMARK_CAPTURE(PackBench, level0, kMono8, 0)->Name("Pack8Mono/level0");
BENCHMARK_CAPTURE(PackBench, level9, kMono8, 9)->Name("Pack8Mono/level9");

}  // namespace

VIDZOER_BENCH_MAIN()
