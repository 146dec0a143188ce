// Video frames decoded per second at 320x200 and 640x480 for three kinds of
// content (mostly unchanged, a typical animation, all full blocks), each
// against a memcpy of one 8-bit frame; and the vector painters against the
// plain ones on the same frames. Content is coded by the toolkit's encoder.
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench/ratio.h"
#include "playback/bit_reader.h"
#include "playback/trees.h"
#include "playback/video.h"
#include "playback/video_internal.h"
#include "tools/lib/block_encoder.h"

namespace {

constexpr int kFrames = 9;

enum class Content { kStill, kTypical, kFull };

struct Clip {
  uint32_t width = 0, height = 0;
  vidzotools::EncodedVideo video;
  std::unique_ptr<vidzo::TreesAreaBuffer> trees;
};

// A still picture of flat areas and dithered bands.
std::vector<uint8_t> Background(uint32_t w, uint32_t h) {
  std::vector<uint8_t> p(size_t{w} * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      p[size_t{y} * w + x] = y < h / 2 ? static_cast<uint8_t>(16 + x / 40 + 8 * (y / 25))
                                       : static_cast<uint8_t>((x + y) % 3 == 0 ? 200 : 201 + (y / 16) % 4);
  return p;
}

// Draws a square of random pixels at (x0, y0).
void Sprite(std::vector<uint8_t>& p, uint32_t w, uint32_t x0, uint32_t y0, uint32_t size, std::mt19937& rng) {
  for (uint32_t y = y0; y < y0 + size; ++y)
    for (uint32_t x = x0; x < x0 + size; ++x) p[size_t{y} * w + x] = static_cast<uint8_t>(rng() % 7 + 100);
}

std::vector<std::vector<uint8_t>> Pictures(Content kind, uint32_t w, uint32_t h) {
  std::mt19937 rng(42);
  std::vector<std::vector<uint8_t>> out;
  const std::vector<uint8_t> back = Background(w, h);
  for (int f = 0; f < kFrames; ++f) {
    std::vector<uint8_t> p = kind == Content::kStill && f > 0 ? out.back() : back;
    if (kind == Content::kStill) {
      // A 16 x 16 patch somewhere: under 1 % of the blocks change.
      Sprite(p, w, (f * 52) % (w - 16), (f * 36) % (h - 16), 16, rng);
    } else if (kind == Content::kTypical) {
      // Two sprites moving over the background, a scrolling band of text-like
      // two-colour blocks.
      Sprite(p, w, (f * 20) % (w - 64), h / 4, 64, rng);
      Sprite(p, w, w - 48 - (f * 12) % (w - 48), h / 2, 48, rng);
      for (uint32_t y = h - 40; y < h - 8; ++y)
        for (uint32_t x = 0; x < w; ++x) p[size_t{y} * w + x] = ((x + 3 * f) / 3 + y / 5) % 4 ? 15 : 250;
    } else {
      // Every block of three or more of 32 colours, new every frame.
      for (auto& v : p) v = static_cast<uint8_t>(64 + rng() % 32);
    }
    out.push_back(std::move(p));
  }
  return out;
}

const Clip& GetClip(Content kind, uint32_t w, uint32_t h) {
  static std::map<std::tuple<int, uint32_t, uint32_t>, Clip> clips;
  Clip& c = clips[{static_cast<int>(kind), w, h}];
  if (c.trees) return c;
  const auto pictures = Pictures(kind, w, h);
  std::vector<vidzotools::FrameToCode> frames;
  for (size_t i = 0; i < pictures.size(); ++i)
    frames.push_back({pictures[i].data(), i ? pictures[i - 1].data() : nullptr});
  std::string error;
  if (!vidzotools::EncodeVideo(w, h, frames, c.video, error)) std::abort();
  const auto& t = c.video.trees;
  const uint32_t sizes[4] = {t.mono_map_size, t.mono_colour_size, t.full_size, t.type_size};
  c.width = w;
  c.height = h;
  c.trees = std::make_unique<vidzo::TreesAreaBuffer>(sizes);
  vidzo::UnpackTrees(t.packed.data(), t.packed.size(), *c.trees->Get(), sizes);
  return c;
}

// A handle whose descriptor paints into its own buffer.
struct Output {
  Output(const Clip& c, uint32_t mode) : h(std::make_unique<VidzoHandle>()) {
    std::memset(static_cast<void*>(h.get()), 0, sizeof(VidzoHandle));
    h->Width = c.width;
    h->Height = c.height;
    for (int i = 0; i < 768; ++i) h->Palette[i] = static_cast<uint8_t>(i * 7);
    const uint32_t b = mode ? 2 : 1;
    pixels.assign(size_t{c.width} * c.height * b, 0);
    VidzoSetDestination(h.get(), 0, 0, static_cast<int32_t>(c.width * b), c.height, pixels.data(),
                        mode << 24);
    VidzoUpdateColour16(h.get());
  }
  ~Output() { VidzoSetDestination(h.get(), 0, 0, 0, 0, nullptr, 0); }
  std::unique_ptr<VidzoHandle> h;
  std::vector<uint8_t> pixels;
};

void Baseline(benchmark::State& state, Content kind, uint32_t w, uint32_t h) {
  GetClip(kind, w, h);  // made outside the timing, like the decoders' clips
  std::vector<uint8_t> from(size_t{w} * h, 1), to(size_t{w} * h);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

// Decodes frames 1.. in turn (frame 0 once first), one frame per iteration.
void Decode(benchmark::State& state, Content kind, uint32_t w, uint32_t h, uint32_t mode,
            vidzo::video::PainterChoice painters) {
  const Clip& c = GetClip(kind, w, h);
  Output out(c, mode);
  vidzo::SetWideBitReader(true);
  vidzo::video::ForcePainters(painters);
  auto decode = [&](size_t f) {
    const auto& data = c.video.frames[f];
    VidzoDecodeVideo(data.data(), static_cast<uint32_t>(data.size()), c.trees->Get(), out.h->OutputDesc);
  };
  decode(0);
  size_t f = 1;
  for (auto _ : state) {
    decode(f);
    f = f + 1 == c.video.frames.size() ? 1 : f + 1;
    benchmark::DoNotOptimize(out.pixels.data());
    benchmark::ClobberMemory();
  }
  vidzo::video::ForcePainters(vidzo::video::PainterChoice::kFollowMmx);
  VidzoSetMMX(1);
  state.SetItemsProcessed(state.iterations());
}

using vidzo::video::PainterChoice;

void Register() {
  const std::array<std::pair<Content, const char*>, 3> kinds{
      {{Content::kStill, "Still"}, {Content::kTypical, "Typical"}, {Content::kFull, "Full"}}};
  const std::array<std::pair<uint32_t, uint32_t>, 2> sizes{{{320, 200}, {640, 480}}};
  for (const auto& [w, h] : sizes) {
    for (const auto& [kind, name] : kinds) {
      const std::string group = std::string("Frames") + name + std::to_string(w) + "x" + std::to_string(h);
      benchmark::RegisterBenchmark((group + "/baseline").c_str(), Baseline, kind, w, h);
      benchmark::RegisterBenchmark((group + "/decode8").c_str(), Decode, kind, w, h, 0u,
                                   PainterChoice::kVector);
      benchmark::RegisterBenchmark((group + "/decode565").c_str(), Decode, kind, w, h, 0xC0u,
                                   PainterChoice::kVector);
    }
  }
  // The vector painters against the plain ones (the baseline) on the same frames.
  for (const auto& [kind, name] : kinds) {
    for (uint32_t mode : {0u, 0xC0u}) {
      const std::string group = std::string("Painters") + name + (mode ? "565" : "8") + "_640x480";
      benchmark::RegisterBenchmark((group + "/baseline").c_str(), Decode, kind, 640u, 480u, mode,
                                   PainterChoice::kPlain);
      benchmark::RegisterBenchmark((group + "/vector").c_str(), Decode, kind, 640u, 480u, mode,
                                   PainterChoice::kVector);
    }
  }
}

const bool registered = (Register(), true);

}  // namespace

VIDZOER_BENCH_MAIN()
