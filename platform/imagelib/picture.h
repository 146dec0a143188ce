// The form every decoder produces, and the steps all codecs share: reading a
// file whole, checking a stated size, placing a picture into an Image, and
// writing a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/imagelib/imagelib.h"

namespace imagelib {

// A decoded picture, rows from the top: 8-bit indices with a palette of
// colors entries (blue, green, red, reserved), or 24-bit blue, green, red.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 8;  // 8 or 24
  int32_t colors = 0;
  uint8_t palette[1024] = {};
  std::vector<uint8_t> pixels;  // width x height x (bits / 8)

  uint8_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * width * (bits / 8); }
  // Allocates the pixels (zero-filled); kErrMemory when that fails.
  int Allocate(int32_t w, int32_t h, int32_t b);
};

inline constexpr int32_t kMaxSide = 32768;
inline constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

// kOk when width x height is sane: sides of 1 to kMaxSide, at most
// kMaxPixels, and (unless pixels_per_byte is 0) no more than 65536 pixels
// plus pixels_per_byte for each of the `available` bytes of coded data.
int CheckSize(int64_t width, int64_t height, uint64_t available, uint64_t pixels_per_byte);

// The whole file, or an error code.
int ReadWhole(const char* name, std::vector<uint8_t>& bytes);
int WriteWhole(const char* name, const std::vector<uint8_t>& bytes);

// Puts a picture into an image made by allocimage (top-left, cut to size).
int Place(const Picture& picture, Image* image);

// Top-down row y of an image as 24-bit blue, green, red pixels (8-bit images
// through their palette).
void RowAsBgr(const Image& image, int32_t y, uint8_t* out);
// An image fit to be saved: pixels, a size and 8 or 24 bits.
bool Usable(const Image* image);

// Per-format decoders over bytes; info only when picture is null.
int DecodeBmp(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodeTga(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodePcx(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodePng(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodeGif(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodeJpeg(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);
int DecodeTiff(const uint8_t* data, size_t size, ImageInfo* info, Picture* picture);

// Bytes handed to a codec library through its read callback.
struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos;
  // Copies up to n bytes from the current position; the number copied.
  size_t Take(void* out, size_t n);
};

// Little-endian helpers.
inline uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void PutLe32(std::vector<uint8_t>& v, uint32_t x) {
  PutLe16(v, x);
  PutLe16(v, x >> 16);
}

}  // namespace imagelib
