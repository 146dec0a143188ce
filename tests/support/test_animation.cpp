#include "support/test_animation.h"

#include "tools/lib/block_encoder.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/vdz_writer.h"

namespace vidzoer_test {

DecodedAnimation WriteTestAnimation(const std::string& path, uint32_t w, uint32_t h, uint32_t count, bool ring,
                                    int rate, const PixelPattern& pattern) {
  std::vector<vidzotools::AnimationFrame> frames(count);
  for (uint32_t f = 0; f < count; ++f) {
    frames[f].pixels.resize(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        frames[f].pixels[size_t(y) * w + x] =
            pattern ? pattern(x, y, f) : static_cast<uint8_t>(((x / 4) * 3 + (y / 4) * 5 + f * 7) % 16 + 1);
    for (uint32_t i = 0; i < 256; ++i) {
      frames[f].palette[3 * i] = static_cast<uint8_t>((i * 16 + f * 40) & 0xFC);
      frames[f].palette[3 * i + 1] = static_cast<uint8_t>((255 - i * 8) & 0xFC);
      frames[f].palette[3 * i + 2] = static_cast<uint8_t>((i * 4 + 100 + f * 8) & 0xFC);
    }
  }
  vidzotools::AnimationOptions options;
  options.frame_rate = rate;
  options.ring = ring;
  vidzotools::VdzContent content;
  std::string error;
  DecodedAnimation out;
  if (!vidzotools::EncodeAnimation(w, h, frames, options, content, error)) return out;
  if (!vidzotools::WriteVdzFile(path, content, error)) return out;
  vidzotools::DecodeVdzFrames(
      path, false,
      [&](const vidzotools::DecodedFrame& f, std::string&) {
        out.width = f.width;
        out.height = f.height;
        out.pixels.emplace_back(f.pixels, f.pixels + size_t(f.width) * f.height);
        std::vector<uint8_t> p(768);
        for (int i = 0; i < 768; ++i) p[size_t(i)] = f.palette[i] >> 2;
        out.palettes.push_back(p);
        return true;
      },
      error);
  return out;
}

}  // namespace vidzoer_test
