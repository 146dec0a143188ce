// The image library of the utility library: still pictures in and out.
//
// An Image is bottom-up (its first row in memory is the picture's bottom row)
// with a pitch that is a multiple of 4 bytes; 8-bit images carry a palette of
// 256 entries of blue, green, red and a reserved byte. The info calls give a
// file's width, height and bits per pixel as stored; a load fills an image
// made by allocimage (an 8-bit image takes pictures of up to 8 bits per
// pixel, a 24-bit image takes any picture, palette pictures expanded through
// their palette); the picture lands in the image's top-left corner and is
// cut to the image's size. Every call returns 0 on success or one of the
// negative codes below; ErrorText says what a code means.
//
// Pictures are read whole into memory and decoded from there (the Decode
// calls, which the fuzz targets use too). A stated size is checked against
// the file before anything is allocated: no side above 32768, no more than
// 64 Mi pixels, and no more pixels than the file's bytes could hold for its
// coding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imagelib {

enum Result : int {
  kOk = 0,
  kErrOpen = -1,    // the file cannot be opened or created
  kErrRead = -2,    // the file ends before the picture does
  kErrFormat = -3,  // not a picture of this kind, or its data is damaged
  kErrDepth = -4,   // a bit depth or coding this library does not handle
  kErrMemory = -5,  // the image cannot be allocated
  kErrWrite = -6,   // writing the file failed
  kErrSize = -7,    // the stated size is not sane or not held by the file
  kErrImage = -8,   // the image given is not usable for this call
};

const char* ErrorText(int code);

struct ImageInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;  // bits per pixel as stored: 1, 4, 8, 16, 24 or 32
};

struct Image {
  uint8_t* pixels = nullptr;  // the bottom row
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;    // 8 or 24 (blue, green, red)
  uint32_t pitch = 0;  // bytes per row, a multiple of 4
  int32_t colors = 0;  // palette entries in use for 8-bit images
  uint8_t palette[1024] = {};
  // Row y counted from the top.
  uint8_t* Row(int32_t y) const { return pixels + static_cast<size_t>(height - 1 - y) * pitch; }
};

enum class Format { kBmp, kGif, kTiff, kJpeg, kTga, kPcx, kPng };

// 0, and a zero-filled image of width x height at 8 or 24 bits.
int allocimage(Image* image, int32_t width, int32_t height, int32_t bits);
void freeimage(Image* image);

int bmpinfo(const char* name, ImageInfo* info);
int gifinfo(const char* name, ImageInfo* info);
int tiffinfo(const char* name, ImageInfo* info);
int jpeginfo(const char* name, ImageInfo* info);
int tgainfo(const char* name, ImageInfo* info);
int pcxinfo(const char* name, ImageInfo* info);
int pnginfo(const char* name, ImageInfo* info);

int loadbmp(const char* name, Image* image);
int loadgif(const char* name, Image* image);
int loadtif(const char* name, Image* image);
int loadjpg(const char* name, Image* image);
int loadtga(const char* name, Image* image);
int loadpcx(const char* name, Image* image);
int loadpng(const char* name, Image* image);

// option 0: uncompressed (the only coding written).
int savebmp(const char* name, const Image* image, int option);
// 8-bit images only.
int savegif(const char* name, const Image* image);
// quality 1 to 100; 8-bit images are written as colour pictures.
int savejpg(const char* name, const Image* image, int quality);
// 8-bit images only.
int savepcx(const char* name, const Image* image);
// Written uncompressed whatever the option: 8-bit colour-mapped or 24-bit.
int savetga(const char* name, const Image* image, int option);
// option 0: no compression, 1: LZW.
int savetif(const char* name, const Image* image, int option);
// 8-bit palettized or 24-bit.
int savepng(const char* name, const Image* image);

// The same over bytes in memory.
int DecodeInfo(Format format, const uint8_t* data, size_t size, ImageInfo* info);
int Decode(Format format, const uint8_t* data, size_t size, Image* image);

}  // namespace imagelib
