#include "flic/flic_files.h"

#include <random>

namespace flic_test {

Animation MakeAnimation(int width, int height, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  Animation a;
  a.width = width;
  a.height = height;
  const size_t n = static_cast<size_t>(width) * height;
  std::vector<uint8_t> palette(768);
  for (auto& c : palette) c = static_cast<uint8_t>(rng());
  std::vector<uint8_t> frame(n);
  for (int i = 0; i < count; ++i) {
    switch (i == 0 ? seed % 2 : rng() % 5) {
      case 0:  // noise
        for (auto& p : frame) p = static_cast<uint8_t>(rng());
        break;
      case 1:  // horizontal bands with a few specks: long runs
        for (size_t k = 0; k < n; ++k)
          frame[k] = static_cast<uint8_t>((k / width) / 7 * 13 + (rng() % 50 == 0));
        break;
      case 2:  // a small rectangle changes
      {
        int x0 = rng() % width, y0 = rng() % height, w = 1 + rng() % 20, h = 1 + rng() % 20;
        uint8_t v = static_cast<uint8_t>(rng());
        for (int y = y0; y < y0 + h && y < height; ++y)
          for (int x = x0; x < x0 + w && x < width; ++x) frame[static_cast<size_t>(y) * width + x] = v++;
        break;
      }
      case 3:  // the same frame again
        break;
      default:  // scattered pixels
        for (int k = 0; k < 200; ++k) frame[rng() % n] = static_cast<uint8_t>(rng());
        break;
    }
    if (i > 0 && rng() % 4 == 0) {
      int first = rng() % 256, len = 1 + rng() % (256 - first);
      for (int k = first * 3; k < (first + len) * 3; ++k) palette[k] = static_cast<uint8_t>(rng());
    }
    a.frames.push_back(frame);
    a.palettes.push_back(palette);
  }
  return a;
}

namespace {
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
}  // namespace

std::vector<FrameRecord> WalkFrames(const std::vector<uint8_t>& file) {
  std::vector<FrameRecord> out;
  if (file.size() < 128) return out;
  size_t pos = Get32(file, 80);
  while (pos + 16 <= file.size()) {
    FrameRecord r;
    r.offset = static_cast<uint32_t>(pos);
    r.size = Get32(file, pos);
    r.type = Get16(file, pos + 4);
    uint32_t chunks = Get16(file, pos + 6);
    size_t c = pos + 16;
    for (uint32_t i = 0; i < chunks && c + 6 <= file.size(); ++i) {
      r.chunk_types.push_back(Get16(file, c + 4));
      c += Get32(file, c);
    }
    out.push_back(r);
    if (r.size < 16) break;
    pos += r.size;
  }
  return out;
}

std::vector<uint8_t> ToRgb(const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& palette) {
  std::vector<uint8_t> rgb;
  rgb.reserve(pixels.size() * 3);
  for (uint8_t p : pixels) rgb.insert(rgb.end(), palette.begin() + p * 3, palette.begin() + p * 3 + 3);
  return rgb;
}

}  // namespace flic_test
