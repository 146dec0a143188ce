// The block encoder's speed on a typical 320x200 animation (a banded
// background, sprites moving over it, a small area of changing detail and a
// palette change now and then), as frames coded per second. The baseline
// copies the same frames' pixels with memcpy; "Encoder/encode" runs the whole
// encoder (statistics, trees, coding), "Encoder/choose_blocks" only its block
// choice and runs. The "Indexer" group turns the same frames, a palette
// cycling over a fixed picture with a sprite moving on it, and the same with
// pairs of cycling entries that show one colour for a frame ("meeting"), from
// RGB pictures into palette indices; its baseline copies the RGB pictures
// with memcpy.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/frame_indexer.h"

namespace {

constexpr uint32_t kWidth = 320, kHeight = 200;
constexpr int kFrames = 50;

std::vector<vidzotools::AnimationFrame> TypicalAnimation() {
  std::mt19937 rng(5);
  std::vector<vidzotools::AnimationFrame> frames(kFrames);
  std::array<uint8_t, 768> palette;
  for (size_t i = 0; i < palette.size(); ++i)
    palette[i] = vidzotools::ExpandComponent(static_cast<uint8_t>(rng() % 64));
  for (int f = 0; f < kFrames; ++f) {
    if (f % 10 == 9)
      palette[3 * (rng() % 256)] = vidzotools::ExpandComponent(static_cast<uint8_t>(rng() % 64));
    auto& px = frames[f].pixels;
    px.resize(kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x) px[y * kWidth + x] = static_cast<uint8_t>(y / 10 + (x / 80) * 20);
    for (int s = 0; s < 6; ++s) {  // sprites: outlined boxes with a pattern inside
      const uint32_t sx = (s * 53 + f * (2 + s)) % (kWidth - 32),
                     sy = (s * 31 + f * (1 + s % 3)) % (kHeight - 24);
      for (uint32_t y = 0; y < 24; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
          const bool edge = x == 0 || y == 0 || x == 31 || y == 23;
          px[(sy + y) * kWidth + sx + x] = static_cast<uint8_t>(edge ? 200 + s : 100 + ((x ^ y) & 7) + 8 * s);
        }
    }
    for (uint32_t y = 150; y < 190; ++y)  // detail that changes every frame
      for (uint32_t x = 240; x < 300; ++x) px[y * kWidth + x] = static_cast<uint8_t>(150 + rng() % 24);
    frames[f].palette = palette;
  }
  return frames;
}

const std::vector<vidzotools::AnimationFrame>& Frames() {
  static const auto frames = TypicalAnimation();
  return frames;
}

void SetCounters(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFrames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrames * kWidth * kHeight);
}

void Baseline(benchmark::State& state) {
  const auto& frames = Frames();
  std::vector<uint8_t> copy(kWidth * kHeight);
  for (auto _ : state) {
    for (const auto& f : frames) {
      std::memcpy(copy.data(), f.pixels.data(), copy.size());
      benchmark::ClobberMemory();
    }
  }
  SetCounters(state);
}

void Encode(benchmark::State& state) {
  const auto& frames = Frames();
  for (auto _ : state) {
    vidzotools::VdzContent content;
    std::string error;
    if (!vidzotools::EncodeAnimation(kWidth, kHeight, frames, {}, content, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(content.frames.back().video.data());
  }
  SetCounters(state);
}

void ChooseBlocks(benchmark::State& state) {
  const auto& frames = Frames();
  for (auto _ : state) {
    size_t runs = 0;
    for (int f = 0; f < kFrames; ++f)
      runs += vidzotools::FrameRuns(frames[f].pixels.data(), f ? frames[f - 1].pixels.data() : nullptr,
                                    kWidth, kHeight)
                  .size();
    benchmark::DoNotOptimize(runs);
  }
  SetCounters(state);
}

// The frames as RGB pictures, one after another.
std::vector<uint8_t> AsRgb(const std::vector<vidzotools::AnimationFrame>& frames) {
  std::vector<uint8_t> rgb;
  for (const auto& f : frames)
    for (uint8_t i : f.pixels)
      rgb.insert(rgb.end(), f.palette.begin() + 3 * i, f.palette.begin() + 3 * i + 3);
  return rgb;
}

// 128 colours rotating over a fixed banded picture, with a sprite of its own
// colours moving over it; with `meeting`, every 16th entry shows the colour
// of the entry after it, so that 8 pairs of slots meet in every frame.
std::vector<vidzotools::AnimationFrame> CyclingAnimation(bool meeting) {
  std::vector<vidzotools::AnimationFrame> frames(kFrames);
  for (int f = 0; f < kFrames; ++f) {
    auto& px = frames[f].pixels;
    px.resize(kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x) px[y * kWidth + x] = static_cast<uint8_t>((x / 3 + y / 2) % 128);
    for (uint32_t y = 0; y < 24; ++y)
      for (uint32_t x = 0; x < 32; ++x)
        px[(40 + y) * kWidth + 3 * f + x] = static_cast<uint8_t>(128 + (x ^ y) % 8);
    auto& pal = frames[f].palette;
    for (int i = 0; i < 256; ++i) {
      const int c = i < 128 ? (i + f) % 128 : i;
      pal[3 * i] = vidzotools::ExpandComponent(static_cast<uint8_t>(c % 64));
      pal[3 * i + 1] = vidzotools::ExpandComponent(static_cast<uint8_t>(c / 64 * 30));
      pal[3 * i + 2] = vidzotools::ExpandComponent(static_cast<uint8_t>(c < 128 ? 5 : 60));
    }
    for (int i = 0; i < 128 && meeting; ++i)
      if ((i + f) % 16 == 0) std::copy_n(pal.begin() + 3 * ((i + 1) % 128), 3, pal.begin() + 3 * i);
  }
  return frames;
}

const std::vector<uint8_t>& TypicalRgb() {
  static const auto rgb = AsRgb(Frames());
  return rgb;
}

const std::vector<uint8_t>& CyclingRgb() {
  static const auto rgb = AsRgb(CyclingAnimation(false));
  return rgb;
}

const std::vector<uint8_t>& MeetingRgb() {
  static const auto rgb = AsRgb(CyclingAnimation(true));
  return rgb;
}

void IndexerBaseline(benchmark::State& state) {
  const auto& rgb = TypicalRgb();
  std::vector<uint8_t> copy(3 * kWidth * kHeight);
  for (auto _ : state) {
    for (int f = 0; f < kFrames; ++f) {
      std::memcpy(copy.data(), rgb.data() + f * copy.size(), copy.size());
      benchmark::ClobberMemory();
    }
  }
  SetCounters(state);
}

void Index(benchmark::State& state, const std::vector<uint8_t>& rgb) {
  for (auto _ : state) {
    vidzotools::FrameIndexer indexer;
    vidzotools::AnimationFrame frame;
    std::string error;
    for (int f = 0; f < kFrames; ++f) {
      if (!indexer.Next(rgb.data() + 3 * f * kWidth * kHeight, kWidth * kHeight, frame, error)) {
        state.SkipWithError(error.c_str());
        return;
      }
      benchmark::DoNotOptimize(frame.pixels.data());
    }
  }
  SetCounters(state);
}

void IndexTypical(benchmark::State& state) {
  Index(state, TypicalRgb());
}
void IndexCycling(benchmark::State& state) {
  Index(state, CyclingRgb());
}
void IndexMeeting(benchmark::State& state) {
  Index(state, MeetingRgb());
}

BENCHMARK(Baseline)->Name("Encoder/baseline");
BENCHMARK(Encode)->Name("Encoder/encode");
BENCHMARK(ChooseBlocks)->Name("Encoder/choose_blocks");
BENCHMARK(IndexerBaseline)->Name("Indexer/baseline");
BENCHMARK(IndexTypical)->Name("Indexer/typical");
BENCHMARK(IndexCycling)->Name("Indexer/cycling");
BENCHMARK(IndexMeeting)->Name("Indexer/meeting");

}  // namespace

VIDZOER_BENCH_MAIN()
