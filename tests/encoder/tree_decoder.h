// A plain decoder of coded video built only on the decoder's trees (unpacking,
// value fetches and lasts), to hold the encoder's output against its intended
// pictures independently of the video decoder.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/lib/vdz_writer.h"

namespace encoder_test {

// Paints each frame's video data over `picture` (width x height indices) in
// order; returns the picture after each frame. Empty when the trees cannot
// be unpacked.
std::vector<std::vector<uint8_t>> DecodeWithTrees(const vidzotools::VdzTrees& trees,
                                                  const std::vector<std::vector<uint8_t>>& frames,
                                                  uint32_t width, uint32_t height,
                                                  std::vector<uint8_t> picture);

}  // namespace encoder_test
