// Turns RGB pictures into palette indices frame by frame. A frame's palette
// holds its distinct colours, each component kept to its top 6 bits. Slots
// follow the pixels: each frame after the first counts, for every pair of a
// pixel's slot in the previous frame and its new colour, the pixels of that
// pair, and gives slots to pairs by descending count, each slot at most once.
// The first pair of a colour gives it its main slot; a later pair of the same
// colour that holds most of its slot's pixels keeps that slot as an extra one
// while the slots left suffice for the colours still without one (so a
// frame's colours always fit), and its pixels keep their indices; the
// colour's other pixels take the main slot.
// Unchanged areas thus keep their indices, and areas whose colours were only
// recoloured (a cycling palette) keep them too, the change travelling in the
// palette, also where two such areas show one colour for a while. The colours
// left over take their last main slot when it is free, then slots that were
// never used, then slots that no colour of the frame holds. Slots the frame
// does not use keep their colour.
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
  // with a message when the picture has more than 256 colours; the indexer
  // then goes on from the frame before. A picture of another pixel count than
  // the previous one is indexed by colour alone.
  bool Next(const uint8_t* rgb, size_t pixels, AnimationFrame& frame, std::string& error);

 private:
  static constexpr int kFree = -1;
  // Gives slot `slot` the colour `key` and its palette entry.
  void Assign(int slot, uint32_t key);
  // Finds the frame's colours (false past 256) and, with `pairs`, counts the
  // pixels of each (previous slot, colour) pair.
  template <bool pairs>
  bool Gather(const uint8_t* rgb, size_t pixels, std::array<uint32_t, 256>& colours, uint32_t& distinct);

  std::vector<int16_t> slot_of_;  // per 18-bit colour: the main slot it last took, or kFree
  // Per 18-bit colour: the last frame number that used it (the upper 24 bits)
  // and its number among that frame's colours (the lower 8).
  std::vector<uint32_t> seen_;
  std::array<int32_t, 256> colour_;  // per slot: its 18-bit colour, or kFree
  std::array<uint8_t, 768> palette_{};
  std::vector<uint8_t> previous_;  // the previous frame's indices
  std::vector<uint8_t> locals_;    // per pixel of the frame: its colour's number in the frame
  std::vector<uint32_t> pairs_;    // per previous slot x 256 + colour number: pixel count
  std::vector<uint64_t> counted_;  // the pairs counted in this frame, ranked
  std::vector<uint64_t> scratch_;
  uint32_t frame_number_ = 0;
};

}  // namespace vidzotools
