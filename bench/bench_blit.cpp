// The blitter in source pixels per second: every copy mode and every
// key-colour copy of a 320 x 240 picture, through the plain loops and through
// the vector loops of this processor, each against a memcpy of the bytes it
// writes; and the smoothing-table builds against a plain pass that writes a
// table of the same size.
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "display/blit_internal.h"

namespace {

constexpr std::uint32_t kWidth = 320, kHeight = 240;

using vidzo::blit::KeyOp;
using vidzo::blit::RowKernels;

std::vector<std::uint8_t> Random(std::size_t n, unsigned values, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng() % values);
  return v;
}

const std::vector<std::uint8_t>& Palette() {
  static const auto p = Random(768, 256, 1);
  return p;
}

// A source picture; key-colour pictures use few values so that the key
// (value 0) is a quarter of the pixels.
const std::vector<std::uint8_t>& Picture(bool few_values, int which) {
  static const std::vector<std::uint8_t> pictures[2][2] = {
      {Random(kWidth * kHeight, 256, 2), Random(kWidth * kHeight, 256, 3)},
      {Random(kWidth * kHeight, 4, 4), Random(kWidth * kHeight, 4, 5)}};
  return pictures[few_values][which];
}

struct Mode {
  const char* name;
  std::uint32_t flags;
  std::size_t row_bytes;     // bytes written per source pixel on one output row
  std::size_t rows_written;  // output rows written per source row
  std::size_t row_scale;     // output rows per source row in the destination
};

const Mode kModes[] = {{"Blit8x1", 0, 1, 1, 1},
                       {"Blit8x2", VIDZO_BLIT_2X, 2, 2, 2},
                       {"Blit8x2Interlaced", VIDZO_BLIT_INTERLACED, 2, 1, 2},
                       {"Blit8x2Smoothing", VIDZO_BLIT_SMOOTH, 2, 2, 2},
                       {"Blit16x1", VIDZO_BLIT_565, 2, 1, 1},
                       {"Blit16x2", VIDZO_BLIT_565 | VIDZO_BLIT_2X, 4, 2, 2},
                       {"Blit16x2Interlaced", VIDZO_BLIT_565 | VIDZO_BLIT_INTERLACED, 4, 1, 2},
                       {"Blit16x2Smoothing", VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH, 4, 2, 2}};

void Memcpy(benchmark::State& state, std::size_t bytes) {
  const std::vector<std::uint8_t> from(bytes, 7);
  std::vector<std::uint8_t> to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight);
}

void Blit(benchmark::State& state, const Mode& m, const RowKernels& k) {
  VidzoBlitter* b = VidzoBlitOpen(m.flags);
  VidzoBlitSetPalette(b, Palette().data(), 0);
  const std::size_t pitch = kWidth * m.row_bytes;
  std::vector<std::uint8_t> dest(pitch * kHeight * m.row_scale);
  const vidzo::blit::BlitRect r{
      dest.data(), static_cast<std::uint32_t>(pitch), 0, 0, Picture(false, 0).data(), kWidth, 0, 0, kWidth,
      kHeight};
  for (auto _ : state) {
    vidzo::blit::BlitWith(k, b, r);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight);
  VidzoBlitClose(b);
}

void KeyBlit(benchmark::State& state, KeyOp op, const RowKernels& k) {
  VidzoBlitter* b = VidzoBlitOpen(0);
  std::vector<std::uint8_t> dest(kWidth * kHeight, 9);
  const vidzo::blit::BlitRect r{dest.data(), kWidth, 0, 0,      Picture(true, 0).data(),
                                kWidth,      0,      0, kWidth, kHeight};
  for (auto _ : state) {
    vidzo::blit::KeyBlitWith(k, b, op, r, 0, Picture(true, 1).data());
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight);
  VidzoBlitClose(b);
}

// The baseline of the table builds: one plain pass writing 65536 entries
// from the palette.
void TablePass(benchmark::State& state) {
  const auto& p = Palette();
  std::vector<std::uint16_t> table(65536);
  for (auto _ : state) {
    for (unsigned a = 0; a < 256; ++a)
      for (unsigned c = 0; c < 256; ++c)
        table[a * 256 + c] = static_cast<std::uint16_t>(p[3 * a] + p[3 * c + 1]);
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 65536);
}

void Smooth8(benchmark::State& state) {
  std::vector<std::uint8_t> table(65536);
  for (auto _ : state) {
    vidzo::blit::BuildSmooth8(table.data(), Palette().data());
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 65536);
}

void Smooth16(benchmark::State& state) {
  std::vector<std::uint16_t> table(65536);
  for (auto _ : state) {
    vidzo::blit::BuildSmooth16(table.data(), Palette().data(), VIDZO_BLIT_565);
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 65536);
}

const bool kRegistered = [] {
  const RowKernels& plain = vidzo::blit::PlainKernels();
  std::vector<const RowKernels*> vectors;
  for (const RowKernels* k : {vidzo::blit::Sse2Kernels(), vidzo::blit::Avx2Kernels()})
    if (k != nullptr) vectors.push_back(k);
  for (const Mode& m : kModes) {
    const std::string group = m.name;
    const std::size_t written = std::size_t{kWidth} * kHeight * m.row_bytes * m.rows_written;
    benchmark::RegisterBenchmark((group + "/baseline").c_str(), Memcpy, written);
    benchmark::RegisterBenchmark((group + "/plain").c_str(), Blit, m, plain);
    for (const RowKernels* k : vectors)
      benchmark::RegisterBenchmark((group + "/" + k->name).c_str(), Blit, m, std::cref(*k));
  }
  const std::pair<const char*, KeyOp> kKeyOps[] = {
      {"Trans", KeyOp::kTrans}, {"Mask", KeyOp::kMask}, {"Merge", KeyOp::kMerge}};
  for (const auto& [name, op] : kKeyOps) {
    const std::string group = name;
    benchmark::RegisterBenchmark((group + "/baseline").c_str(), Memcpy, std::size_t{kWidth} * kHeight);
    benchmark::RegisterBenchmark((group + "/plain").c_str(), KeyBlit, op, plain);
    for (const RowKernels* k : vectors)
      benchmark::RegisterBenchmark((group + "/" + k->name).c_str(), KeyBlit, op, std::cref(*k));
  }
  benchmark::RegisterBenchmark("SmoothTable/baseline", TablePass);
  benchmark::RegisterBenchmark("SmoothTable/index8", Smooth8);
  benchmark::RegisterBenchmark("SmoothTable/pixel16", Smooth16);
  return true;
}();

}  // namespace

VIDZOER_BENCH_MAIN()
