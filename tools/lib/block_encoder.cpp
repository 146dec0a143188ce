// Block choice, runs and the value sequence of one frame, in the order the
// decoder fetches the values.
#include "tools/lib/block_encoder.h"

#include <cstring>

#include "tools/lib/frame_values.h"

namespace vidzotools {

uint32_t RunLength(uint32_t index) {
  index &= 63;
  return index < 59 ? index + 1 : 128u << (index - 59);
}

int RunIndex(uint32_t length) {
  if (length >= 1 && length <= 59) return static_cast<int>(length - 1);
  for (uint32_t i = 59; i < kRunIndexes; ++i)
    if (RunLength(i) == length) return static_cast<int>(i);
  return -1;
}

std::vector<uint8_t> SplitRun(uint32_t blocks) {
  std::vector<uint8_t> pieces;
  for (uint32_t i = kRunIndexes - 1; i >= 59 && blocks >= 128; --i) {
    while (blocks >= RunLength(i)) {
      pieces.push_back(static_cast<uint8_t>(i));
      blocks -= RunLength(i);
    }
  }
  // Below 128 only the lengths 1 to 59 remain: as many 59s as needed, then
  // the rest.
  while (blocks > 59) {
    pieces.push_back(58);
    blocks -= 59;
  }
  if (blocks != 0) pieces.push_back(static_cast<uint8_t>(blocks - 1));
  return pieces;
}

BlockChoice ChooseBlock(const uint8_t* block, const uint8_t* previous, uint32_t stride) {
  if (previous != nullptr) {
    bool same = true;
    for (uint32_t y = 0; y < 4 && same; ++y)
      same = std::memcmp(block + y * stride, previous + y * stride, 4) == 0;
    if (same) return {kUnchangedBlock, 0};
  }
  const uint8_t first = block[0];
  int second = -1;
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint8_t c = block[y * stride + x];
      if (c == first) continue;
      if (second < 0) {
        second = c;
      } else if (c != second) {
        return {kFullBlock, 0};
      }
    }
  }
  if (second < 0) return {kSolidBlock, first};
  return {kTwoColourBlock, 0};
}

std::vector<BlockRun> FrameRuns(const uint8_t* picture, const uint8_t* previous, uint32_t width,
                                uint32_t height) {
  std::vector<BlockRun> runs;
  const uint32_t blocks_per_row = width / 4;
  for (uint32_t by = 0; by < height / 4; ++by) {
    for (uint32_t bx = 0; bx < blocks_per_row; ++bx) {
      const size_t offset = static_cast<size_t>(by) * 4 * width + bx * 4;
      const BlockChoice c = ChooseBlock(picture + offset, previous ? previous + offset : nullptr, width);
      if (!runs.empty() && runs.back().type == c.type && runs.back().colour == c.colour) {
        ++runs.back().blocks;
      } else {
        runs.push_back(BlockRun{c.type, c.colour, 1});
      }
    }
  }
  return runs;
}

namespace detail {

uint32_t TwoColourPair(const uint8_t* block, uint32_t stride, uint32_t& pattern) {
  uint8_t low = block[0], high = block[0];
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint8_t c = block[y * stride + x];
      if (c < low) low = c;
      if (c > high) high = c;
    }
  }
  pattern = 0;
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 4; ++x)
      if (block[y * stride + x] == high) pattern |= 1u << (4 * y + x);
  return low | (static_cast<uint32_t>(high) << 8);
}

}  // namespace detail

}  // namespace vidzotools
