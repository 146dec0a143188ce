// Flic frames written (QELOFlic) and read (QELFlic) per second, each against
// a memcpy of the same frames: 60 frames of 320 x 200 with a moving picture
// (byte deltas) and 60 of 640 x 480 (word deltas).
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "qelutil/qelutil.h"

namespace {

constexpr int kFrames = 60;

struct Clip {
  int width, height;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> palette;
};

// A scene of bands with a square moving over it and a little noise.
Clip MakeClip(int width, int height) {
  std::mt19937 rng(3);
  Clip c{width, height, {}, std::vector<uint8_t>(768)};
  for (auto& v : c.palette) v = static_cast<uint8_t>(rng());
  for (int i = 0; i < kFrames; ++i) {
    std::vector<uint8_t> f(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        f[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(y / 8 + x / 64);
    for (int y = 40; y < 100; ++y)
      for (int x = i * 3; x < i * 3 + 60; ++x)
        f[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(200 + (x ^ y) % 20);
    for (int k = 0; k < 100; ++k) f[rng() % f.size()] = static_cast<uint8_t>(rng());
    c.frames.push_back(std::move(f));
  }
  return c;
}

const Clip& TheClip(int which) {
  static Clip small = MakeClip(320, 200), large = MakeClip(640, 480);
  return which == 0 ? small : large;
}

std::string FlicName(int which) {
  static std::string dir = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vidzoer_bench_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return tmpl;
  }();
  return dir + (which == 0 ? "/small.flc" : "/large.flc");
}

void WriteFlic(int which) {
  const Clip& c = TheClip(which);
  QELOFlic* o = QELOFlicCreate(FlicName(which).c_str(), c.width, c.height, 50);
  if (o == nullptr) std::abort();
  for (const auto& f : c.frames) QELOFlicPutNext(o, f.data(), c.palette.data());
  QELOFlicClose(o);
}

void Memcpy(benchmark::State& state, int which) {
  const Clip& c = TheClip(which);
  std::vector<uint8_t> out(c.frames[0].size());
  for (auto _ : state)
    for (const auto& f : c.frames) {
      std::memcpy(out.data(), f.data(), f.size());
      benchmark::DoNotOptimize(out.data());
    }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void Write(benchmark::State& state, int which) {
  TheClip(which);
  for (auto _ : state) WriteFlic(which);
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void Read(benchmark::State& state, int which) {
  WriteFlic(which);
  QELFlic* r = QELFlicOpen(FlicName(which).c_str());
  if (r == nullptr) std::abort();
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height);
  for (auto _ : state) {
    QELFlicGoto(r, 0, buffer.data());
    for (int i = 0; i < kFrames; ++i) QELFlicGetNext(r, buffer.data());
    benchmark::DoNotOptimize(buffer.data());
  }
  QELFlicClose(r);
  state.SetItemsProcessed(state.iterations() * kFrames);
}

}  // namespace

BENCHMARK_CAPTURE(Memcpy, w0, 0)->Name("FlicWrite320x200/baseline");
BENCHMARK_CAPTURE(Write, w0, 0)->Name("FlicWrite320x200/qeloflic");
BENCHMARK_CAPTURE(Memcpy, r0, 0)->Name("FlicRead320x200/baseline");
BENCHMARK_CAPTURE(Read, r0, 0)->Name("FlicRead320x200/qelflic");
BENCHMARK_CAPTURE(Memcpy, w1, 1)->Name("FlicWrite640x480/baseline");
BENCHMARK_CAPTURE(Write, w1, 1)->Name("FlicWrite640x480/qeloflic");
BENCHMARK_CAPTURE(Memcpy, r1, 1)->Name("FlicRead640x480/baseline");
BENCHMARK_CAPTURE(Read, r1, 1)->Name("FlicRead640x480/qelflic");

VIDZOER_BENCH_MAIN();
