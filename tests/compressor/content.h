// Test content for the compressor: random pictures, a textured picture under
// a pan and zoom, and a sprite over a still background; and decoding a
// content's file back through the playback library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lib/block_encoder.h"
#include "tools/lib/vdz_writer.h"

namespace compressor_test {

using vidzotools::AnimationFrame;

// Random indices in `colours` colours, a share `change` of them repainted
// each frame, one palette of random colours.
std::vector<AnimationFrame> RandomFrames(uint32_t width, uint32_t height, int frames, int colours,
                                         double change, uint32_t seed);
// A smooth colourful texture (a grey ramp of 240 colours and a few others)
// moving across the frame and slowly zooming.
std::vector<AnimationFrame> PanFrames(uint32_t width, uint32_t height, int frames);
// A still textured background with a 16 x 16 sprite crossing it.
std::vector<AnimationFrame> SpriteFrames(uint32_t width, uint32_t height, int frames);

struct Decoded {
  uint32_t width = 0, height = 0, flags = 0;
  std::vector<std::vector<uint8_t>> rgb;  // per frame, the ring frame last when asked for
  std::vector<uint32_t> sizes;            // per frame record (the ring frame not counted)
};
// Decodes the file `name` with the playback library; false with a message.
bool DecodeFile(const std::string& name, bool with_ring, Decoded& out, std::string& error);

// The colours a frame shows, as the decoder holds them (6-bit components
// widened).
std::vector<uint8_t> ShownRgb(const std::vector<uint8_t>& pixels, const std::array<uint8_t, 768>& palette);

// Weighted squared error (299, 587, 114 per 1000) between two RGB pictures.
double WeightedError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace compressor_test
