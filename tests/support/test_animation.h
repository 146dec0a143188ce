// Small animations made by our encoder for the player tests, with their
// frames decoded again by the playback library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vidzoer_test {

struct DecodedAnimation {
  uint32_t width = 0, height = 0;
  std::vector<std::vector<uint8_t>> pixels;    // per frame, width x height indices
  std::vector<std::vector<uint8_t>> palettes;  // per frame, 768 components of 0 to 63
};

// The palette index of pixel (x, y) of frame f.
using PixelPattern = std::function<uint8_t(uint32_t x, uint32_t y, uint32_t f)>;

// Writes an animation of `count` frames of w x h (each frame its own pattern
// and palette; `pattern` gives the pixels, by default 4 x 4 blocks of the
// indices 1 to 16 moving from frame to frame) at `rate`, and returns its
// decoded frames (none when encoding or decoding failed).
DecodedAnimation WriteTestAnimation(const std::string& path, uint32_t w, uint32_t h, uint32_t count, bool ring,
                                    int rate = 10, const PixelPattern& pattern = {});

}  // namespace vidzoer_test
