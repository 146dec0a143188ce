// The values of one frame's video data, tree by tree, in the order the decoder
// fetches them. Internal to the block encoder.
#pragma once

#include <cstdint>

#include "tools/lib/block_encoder.h"

namespace vidzotools {

// The four trees, in the order of the trees block.
enum VideoTree : int { kMonoMapTree = 0, kMonoColourTree = 1, kFullTree = 2, kTypeTree = 3 };

namespace detail {

// The colour pair (low index in the low byte, high index in the high byte) of
// a two-colour block, and in `pattern` the bits (4y + x) of the pixels that
// have the high colour.
uint32_t TwoColourPair(const uint8_t* block, uint32_t stride, uint32_t& pattern);

}  // namespace detail

// Calls emit(tree, value) for every value of the frame: per run piece its
// type value, then per block the values of its type (two-colour: the pair,
// then the pattern; full: for each row the pixels 2 and 3, then 0 and 1).
template <typename Emit>
void ForEachFrameValue(const uint8_t* picture, const uint8_t* previous, uint32_t width, uint32_t height,
                       Emit&& emit) {
  const uint32_t blocks_per_row = width / 4;
  uint32_t block = 0;
  for (const BlockRun& run : FrameRuns(picture, previous, width, height)) {
    for (uint8_t index : SplitRun(run.blocks)) {
      uint32_t t = run.type | (static_cast<uint32_t>(index) << 2);
      if (run.type == kSolidBlock) t |= static_cast<uint32_t>(run.colour) << 8;
      emit(kTypeTree, t);
      const uint32_t end = block + RunLength(index);
      for (; block < end; ++block) {
        if (run.type != kTwoColourBlock && run.type != kFullBlock) continue;
        const uint8_t* p =
            picture + static_cast<size_t>(block / blocks_per_row) * 4 * width + (block % blocks_per_row) * 4;
        if (run.type == kTwoColourBlock) {
          uint32_t pattern = 0;
          emit(kMonoColourTree, detail::TwoColourPair(p, width, pattern));
          emit(kMonoMapTree, pattern);
        } else {
          for (uint32_t y = 0; y < 4; ++y, p += width) {
            emit(kFullTree, p[2] | (static_cast<uint32_t>(p[3]) << 8));
            emit(kFullTree, p[0] | (static_cast<uint32_t>(p[1]) << 8));
          }
        }
      }
    }
  }
}

}  // namespace vidzotools
