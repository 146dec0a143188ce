#include "compressor/content.h"

#include <cmath>
#include <random>

#include "tools/lib/vdz_frames.h"

namespace compressor_test {

std::vector<AnimationFrame> RandomFrames(uint32_t width, uint32_t height, int frames, int colours,
                                         double change, uint32_t seed) {
  std::mt19937 rng(seed);
  AnimationFrame f;
  for (auto& c : f.palette) c = static_cast<uint8_t>(rng());
  f.pixels.resize(static_cast<size_t>(width) * height);
  std::uniform_int_distribution<int> colour(0, colours - 1);
  std::uniform_real_distribution<double> chance(0, 1);
  for (auto& p : f.pixels) p = static_cast<uint8_t>(colour(rng));
  std::vector<AnimationFrame> out{f};
  for (int i = 1; i < frames; ++i) {
    for (auto& p : f.pixels)
      if (chance(rng) < change) p = static_cast<uint8_t>(colour(rng));
    out.push_back(f);
  }
  return out;
}

namespace {

// A smooth texture over the plane, 0 to 239.
uint8_t Texture(double x, double y) {
  const double v = 0.5 + 0.25 * std::sin(x * 0.07) * std::cos(y * 0.05) + 0.25 * std::sin((x + y) * 0.021);
  return static_cast<uint8_t>(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 239));
}

std::array<uint8_t, 768> TexturePalette() {
  std::array<uint8_t, 768> p{};
  for (int i = 0; i < 240; ++i) {
    p[3 * i] = static_cast<uint8_t>(i);
    p[3 * i + 1] = static_cast<uint8_t>(255 - i);
    p[3 * i + 2] = static_cast<uint8_t>((i * 3) & 255);
  }
  for (int i = 240; i < 256; ++i) {
    p[3 * i] = static_cast<uint8_t>(255 - (i - 240) * 8);
    p[3 * i + 1] = static_cast<uint8_t>((i - 240) * 16);
    p[3 * i + 2] = 255;
  }
  return p;
}

}  // namespace

std::vector<AnimationFrame> PanFrames(uint32_t width, uint32_t height, int frames) {
  std::vector<AnimationFrame> out;
  for (int i = 0; i < frames; ++i) {
    AnimationFrame f;
    f.palette = TexturePalette();
    const double zoom = 1.0 + 0.004 * i;
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        f.pixels.push_back(Texture(x / zoom + 2.0 * i, y / zoom + 1.0 * i));
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<AnimationFrame> SpriteFrames(uint32_t width, uint32_t height, int frames) {
  std::vector<AnimationFrame> out;
  for (int i = 0; i < frames; ++i) {
    AnimationFrame f;
    f.palette = TexturePalette();
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) f.pixels.push_back(Texture(x, y));
    const uint32_t sx = static_cast<uint32_t>(i * 3) % (width - 16),
                   sy = static_cast<uint32_t>(i * 2) % (height - 16);
    for (uint32_t y = 0; y < 16; ++y)
      for (uint32_t x = 0; x < 16; ++x)
        if ((x - 8) * (x - 8) + (y - 8) * (y - 8) < 50)
          f.pixels[(sy + y) * width + sx + x] = static_cast<uint8_t>(240 + (x + y) % 16);
    out.push_back(std::move(f));
  }
  return out;
}

bool DecodeFile(const std::string& name, bool with_ring, Decoded& out, std::string& error) {
  out = Decoded{};
  VidzoHandle* h = vidzotools::OpenVdzChecked(name, error);
  if (h == nullptr) return false;
  out.flags = h->HeaderFlags;
  for (uint32_t i = 0; i < h->FrameCount; ++i) out.sizes.push_back(h->FrameSizes[i]);
  VidzoClose(h);
  return vidzotools::DecodeVdzFrames(
      name, with_ring,
      [&](const vidzotools::DecodedFrame& f, std::string&) {
        out.width = f.width;
        out.height = f.height;
        std::vector<uint8_t> rgb;
        rgb.reserve(static_cast<size_t>(f.width) * f.height * 3);
        for (size_t p = 0; p < static_cast<size_t>(f.width) * f.height; ++p)
          rgb.insert(rgb.end(), f.palette + 3 * f.pixels[p], f.palette + 3 * f.pixels[p] + 3);
        out.rgb.push_back(std::move(rgb));
        return true;
      },
      error);
}

std::vector<uint8_t> ShownRgb(const std::vector<uint8_t>& pixels, const std::array<uint8_t, 768>& palette) {
  std::vector<uint8_t> rgb;
  rgb.reserve(pixels.size() * 3);
  for (uint8_t p : pixels)
    for (int k = 0; k < 3; ++k) rgb.push_back(vidzotools::ExpandComponent(palette[3 * p + k] >> 2));
  return rgb;
}

double WeightedError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double total = 0;
  for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
    const double dr = a[i] - b[i], dg = a[i + 1] - b[i + 1], db = a[i + 2] - b[i + 2];
    total += 299 * dr * dr + 587 * dg * dg + 114 * db * db;
  }
  return total;
}

}  // namespace compressor_test
