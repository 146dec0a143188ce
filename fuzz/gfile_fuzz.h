// Shared steps of the frame-source fuzz targets: reading a few frames of an
// open GFile in the ways the tools do, and checking what it hands out.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qelutil/qelutil.h"

namespace fuzz_support {

// Reads up to max_frames frames, checking the counters and that padding
// stays 0; then a palette of its own and a rewind.
inline void ReadSomeFrames(GFile* g, int32_t max_frames) {
  if (g == nullptr) return;
  if (g->frames <= 0 || g->width <= 0 || g->height <= 0 || g->pitch < g->width) std::abort();
  if (g->region_width + g->pad_right != g->width || g->region_height + g->pad_bottom != g->height)
    std::abort();
  const int32_t bytes_per_pixel = g->true_colour != 0 ? 4 : 1;
  for (int32_t i = 0; i < max_frames && g->done == 0; ++i) {
    if (GFileGet(g) == 0) break;
    if (g->frame_number != i + 1) std::abort();
    for (int32_t y = 0; y < g->height; ++y) {
      const uint8_t* row = g->pixels + static_cast<size_t>(y) * g->pitch;
      const int32_t from = y < g->region_height ? g->region_width : 0;
      for (int32_t x = from * bytes_per_pixel; x < g->width * bytes_per_pixel; ++x)
        if (row[x] != 0) std::abort();
    }
  }
  GFileReset(g);
  if (g->frame_number != 0 || g->done != 0) std::abort();
  uint8_t palette[768] = {};
  GFileBestPalette(g, palette);
}

}  // namespace fuzz_support
