// Pictures for the image library tests: random content, ImageMagick's
// `convert` as the independent reader and writer, and the library's images
// turned into plain top-down RGB for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imagelib/imagelib.h"

namespace image_test {

// A picture of `colours` distinct colours (at most 256): indices into a
// palette of R, G, B entries, and the same as top-down RGB bytes.
struct Indexed {
  int width = 0, height = 0;
  std::vector<uint8_t> indices;
  std::vector<uint8_t> palette;  // 768 bytes
  std::vector<uint8_t> Rgb() const;
};
Indexed MakeIndexed(int width, int height, int colours, uint32_t seed);
// Smooth colour gradients with noise: fair input for JPEG.
std::vector<uint8_t> MakeSmoothRgb(int width, int height, uint32_t seed);

// ImageMagick's reading of a file as top-down RGB bytes (empty on failure),
// with the rows in the order the file's orientation gives (ImageMagick keeps a
// Targa file's rows as stored unless asked to orient them).
std::vector<uint8_t> ConvertToRgb(const std::string& file, const std::string& scratch_dir);

// The image as top-down RGB bytes (8-bit images through their palette).
std::vector<uint8_t> ImageRgb(const imagelib::Image& image);
// The largest difference of any byte.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace image_test
