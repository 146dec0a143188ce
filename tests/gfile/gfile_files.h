// Input files for the frame-source tests, made by our own writers: flics,
// still images, raw frame files, and the messages a GFile sends.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qelutil/qelutil.h"

namespace gfile_test {

using Pixels = std::vector<uint8_t>;
using Palette = std::vector<uint8_t>;  // 768 bytes, R, G, B

// A grey ramp palette: entry i is (i, i, i), or `shift` added per channel.
Palette GreyPalette();
// A palette of random colours from `seed`.
Palette RandomPalette(uint32_t seed);
// `n` random bytes from `seed`.
Pixels RandomBytes(size_t n, uint32_t seed);

// A flic of frames (width x height each) and their palettes; the frame
// time in milliseconds.
void WriteFlic(const std::string& name, int width, int height, const std::vector<Pixels>& frames,
               const std::vector<Palette>& palettes, int32_t ms = 50);
// An 8-bit image file of the kind the extension names (bmp, png, gif, pcx,
// tif, tga as 8-bit where the kind allows).
void WriteImage8(const std::string& name, int width, int height, const Pixels& pixels,
                 const Palette& palette);
// A 24-bit image: rgb holds R, G, B per pixel, rows from the top.
void WriteImage24(const std::string& name, int width, int height, const Pixels& rgb);
// A raw frame file; palettes[i], when not empty, precedes frame i.
void WriteRaw(const std::string& name, int width, int height, int32_t time, const std::vector<Pixels>& frames,
              const std::vector<Palette>& palettes);
void WriteText(const std::string& name, const std::string& text);

// The messages sent to Record since the last Clear.
struct Messages {
  static std::vector<std::pair<std::string, int32_t>>& List();
  static uint8_t Record(const char* text, int32_t kind);
  static int32_t cancel_after;  // answer nonzero to progress messages after this many (-1: never)
  static void Clear();
  static bool Has(const std::string& text, int32_t kind);
};

// Row y of a delivered 8-bit frame.
inline const uint8_t* Row(const GFile* g, int y) {
  return g->pixels + static_cast<size_t>(y) * g->pitch;
}

// The delivered frame as R, G, B per pixel (width x height).
Pixels DeliveredRgb(const GFile* g);

// A smooth true-colour gradient, R, G, B per pixel from the top row.
Pixels Gradient(int width, int height);

// How far apart two R, G, B pictures look from a distance: the mean over
// block x block squares (whole squares only) and components of the absolute
// difference of their average colours.
double BlockError(const Pixels& a, const Pixels& b, int width, int height, int block, int margin = 0);

}  // namespace gfile_test
