#include "imagelib/image_helpers.h"

#include <cstdlib>
#include <random>

#include "support/files.h"
#include "support/run_program.h"

namespace image_test {

std::vector<uint8_t> Indexed::Rgb() const {
  std::vector<uint8_t> rgb;
  for (uint8_t i : indices) rgb.insert(rgb.end(), palette.begin() + i * 3, palette.begin() + i * 3 + 3);
  return rgb;
}

Indexed MakeIndexed(int width, int height, int colours, uint32_t seed) {
  std::mt19937 rng(seed);
  Indexed p;
  p.width = width;
  p.height = height;
  p.palette.assign(768, 0);
  // Distinct colours, so that a writer that rebuilds the palette keeps every
  // pixel's colour.
  for (int i = 0; i < colours; ++i) {
    p.palette[i * 3] = static_cast<uint8_t>(rng());
    p.palette[i * 3 + 1] = static_cast<uint8_t>(i);
    p.palette[i * 3 + 2] = static_cast<uint8_t>(rng());
  }
  p.indices.resize(static_cast<size_t>(width) * height);
  for (size_t k = 0; k < p.indices.size(); ++k) {
    // Runs and noise, so that run-length coders have both to do.
    p.indices[k] =
        (k % 11 < 5) ? static_cast<uint8_t>((k / 11) % colours) : static_cast<uint8_t>(rng() % colours);
  }
  return p;
}

std::vector<uint8_t> MakeSmoothRgb(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      rgb.push_back(static_cast<uint8_t>(x * 255 / width));
      rgb.push_back(static_cast<uint8_t>(y * 255 / height));
      rgb.push_back(static_cast<uint8_t>(128 + rng() % 8));
    }
  return rgb;
}

std::vector<uint8_t> ConvertToRgb(const std::string& file, const std::string& dir) {
  const std::string out = dir + "/back.rgb";
  if (!vidzoer_test::RunShell("convert " + vidzoer_test::Quote(file + "[0]") +
                                  " -auto-orient -depth 8 rgb:" + vidzoer_test::Quote(out),
                              dir + "/convert_err.txt"))
    return {};
  return vidzoer_test::ReadBytes(out);
}

std::vector<uint8_t> ImageRgb(const imagelib::Image& image) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.Row(y);
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* bgr = image.bits == 8 ? image.palette + row[x] * 4 : row + x * 3;
      rgb.push_back(bgr[2]);
      rgb.push_back(bgr[1]);
      rgb.push_back(bgr[0]);
    }
  }
  return rgb;
}

int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

}  // namespace image_test
