// Animations for the flic tests: random frames of several kinds (noise,
// flat areas, small changes, repeats) with palettes that change now and
// then, and a walker over the frames and chunks of a written flic file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flic_test {

struct Animation {
  int width = 0, height = 0;
  std::vector<std::vector<uint8_t>> frames;    // width x height each
  std::vector<std::vector<uint8_t>> palettes;  // 768 bytes each (R, G, B)
};

// `count` frames; the seed chooses the content.
Animation MakeAnimation(int width, int height, int count, uint32_t seed);

// One frame record of a flic file: its type and the types of its chunks.
struct FrameRecord {
  uint32_t offset = 0, size = 0;
  uint16_t type = 0;
  std::vector<uint16_t> chunk_types;
};

// The frame records from the first-frame offset to the end of the file.
std::vector<FrameRecord> WalkFrames(const std::vector<uint8_t>& file);

// Expands 8-bit pixels through a 768-byte palette into R, G, B bytes.
std::vector<uint8_t> ToRgb(const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& palette);

}  // namespace flic_test
