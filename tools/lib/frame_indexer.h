// Turns RGB pictures into palette indices frame by frame. A frame's palette
// holds its distinct colours, each component kept to its top 6 bits. A colour
// that the previous frame had keeps its index, so that unchanged areas stay
// unchanged; new colours take slots that were never used first, then slots
// whose colour has gone. Slots the frame does not use keep their colour.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lib/block_encoder.h"

namespace vidzotools {

class FrameIndexer {
 public:
  FrameIndexer();
  // Indexes `pixels` RGB pixels into `frame` (indices and palette). False
  // with a message when the picture has more than 256 colours.
  bool Next(const uint8_t* rgb, size_t pixels, AnimationFrame& frame, std::string& error);

 private:
  static constexpr int kFree = -1;
  std::vector<int16_t> slot_of_;       // per 18-bit colour: its slot, or kFree
  std::vector<uint32_t> seen_in_;      // per 18-bit colour: last frame number that used it
  std::array<int32_t, 256> colour_;    // per slot: its 18-bit colour, or kFree
  std::array<uint32_t, 256> used_in_;  // per slot: last frame number that used it
  std::array<uint8_t, 768> palette_{};
  uint32_t frame_number_ = 0;
};

}  // namespace vidzotools
