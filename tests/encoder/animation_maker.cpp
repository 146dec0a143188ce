#include "encoder/animation_maker.h"

namespace encoder_test {

using vidzotools::AnimationFrame;
using vidzotools::ExpandComponent;

std::vector<AnimationFrame> MakeAnimation(const AnimationSpec& s) {
  std::mt19937 rng(s.seed);
  auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  std::vector<AnimationFrame> frames;
  AnimationFrame frame;
  frame.pixels.assign(static_cast<size_t>(s.width) * s.height, 0);
  for (auto& c : frame.palette) c = ExpandComponent(static_cast<uint8_t>(below(64)));
  for (auto& p : frame.pixels) p = static_cast<uint8_t>(below(s.colours));
  for (int f = 0; f < s.frames; ++f) {
    if (f > 0) {
      const size_t repaint = static_cast<size_t>(s.change * frame.pixels.size());
      if (s.change >= 1) {
        for (auto& p : frame.pixels) p = static_cast<uint8_t>(below(s.colours));
      } else {
        for (size_t k = 0; k < repaint; ++k) frame.pixels[below(frame.pixels.size())] = below(s.colours);
      }
      if (s.change_palette && f % 3 == 1)
        for (int k = 0; k < 10; ++k)
          frame.palette[below(768)] = ExpandComponent(static_cast<uint8_t>(below(64)));
    }
    for (int r = 0; r < s.solid_rects; ++r) {
      const uint32_t x0 = below(s.width), y0 = below(s.height);
      const uint32_t x1 = x0 + below(s.width - x0) + 1, y1 = y0 + below(s.height - y0) + 1;
      const uint8_t colour = static_cast<uint8_t>(below(s.colours));
      for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x) frame.pixels[static_cast<size_t>(y) * s.width + x] = colour;
    }
    frames.push_back(frame);
  }
  return frames;
}

}  // namespace encoder_test
