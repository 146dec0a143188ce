// The shared body of the image loader fuzz targets: the info call over the
// input, then loads into an 8-bit and a 24-bit image of the stated size (as
// the graphics input makes them), and into a smaller image. Besides memory
// safety, the target checks that a load agrees with its info call and that
// a stated size passes the library's limits.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "platform/imagelib/imagelib.h"

namespace fuzz_support {

inline void FuzzImage(imagelib::Format format, const uint8_t* data, size_t size) {
  imagelib::ImageInfo info;
  int r = imagelib::DecodeInfo(format, data, size, &info);
  if (r != imagelib::kOk) {
    if (r > 0 || imagelib::ErrorText(r)[0] == 0) std::abort();
    return;
  }
  if (info.width <= 0 || info.height <= 0 || info.width > 32768 || info.height > 32768) std::abort();
  if (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height) > (uint64_t{1} << 26))
    std::abort();
  // Keep fuzzing runs small: the limits are checked above.
  if (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height) > (uint64_t{1} << 22)) return;
  for (int bits : {info.bits <= 8 ? 8 : 24, 24}) {
    imagelib::Image image;
    if (imagelib::allocimage(&image, info.width + 1, info.height, bits) != imagelib::kOk) std::abort();
    r = imagelib::Decode(format, data, size, &image);
    // An 8-bit image is made only for pictures the info call gives as 8 bits
    // or fewer, and those load into it.
    if (r == imagelib::kErrDepth && bits == 8) std::abort();
    imagelib::freeimage(&image);
  }
  imagelib::Image small;
  if (imagelib::allocimage(&small, 3, 2, 24) != imagelib::kOk) std::abort();
  imagelib::Decode(format, data, size, &small);
  imagelib::freeimage(&small);
}

}  // namespace fuzz_support
