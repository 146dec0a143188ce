// PNG through libpng: palette pictures (1 to 8 bits) and grey pictures load
// as 8-bit images, colour pictures as 24-bit ones (alpha and the low byte of
// 16-bit samples dropped); 8-bit images are written palettized, 24-bit ones
// as RGB. libpng reports errors by a long jump, so each step that calls it
// sets its own jump point and holds no object that needs destroying.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

void ReadBytes(png_structp png, png_bytep out, png_size_t n) {
  if (static_cast<MemorySource*>(png_get_io_ptr(png))->Take(out, n) != n)
    png_error(png, "the file ends early");
}

void Quiet(png_structp, png_const_charp) {}
[[noreturn]] void Fail(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Reads the header and sets the transforms; false on a libpng error.
bool ReadHeader(Reader& r, MemorySource* src, png_uint_32* w, png_uint_32* h, int* depth, int* type) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_read_fn(r.png, src, ReadBytes);
  png_set_user_limits(r.png, kMaxSide, kMaxSide);
  png_read_info(r.png, r.info);
  png_get_IHDR(r.png, r.info, w, h, depth, type, nullptr, nullptr, nullptr);
  return true;
}

bool SetTransforms(Reader& r, int depth, int type) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_set_packing(r.png);
  } else {
    if ((type & PNG_COLOR_MASK_COLOR) == 0 && depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
    png_set_strip_16(r.png);
    png_set_strip_alpha(r.png);
    if (type & PNG_COLOR_MASK_COLOR) png_set_bgr(r.png);
  }
  png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  return true;
}

bool ReadRows(Reader& r, png_bytepp rows) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_image(r.png, rows);
  return true;
}

bool ReadPalette(Reader& r, Picture* p) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_colorp colors = nullptr;
  int n = 0;
  if (png_get_PLTE(r.png, r.info, &colors, &n) == 0) return false;
  for (int i = 0; i < n && i < 256; ++i) {
    p->palette[i * 4] = colors[i].blue;
    p->palette[i * 4 + 1] = colors[i].green;
    p->palette[i * 4 + 2] = colors[i].red;
  }
  p->colors = n;
  return true;
}

}  // namespace

int DecodePng(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 8 || png_sig_cmp(d, 0, 8) != 0) return kErrFormat;
  Reader r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (r.png == nullptr) return kErrMemory;
  r.info = png_create_info_struct(r.png);
  if (r.info == nullptr) return kErrMemory;
  MemorySource src{d, size, 0};
  png_uint_32 w = 0, h = 0;
  int depth = 0, type = 0;
  if (!ReadHeader(r, &src, &w, &h, &depth, &type)) return kErrFormat;
  // Deflate holds at most about 1032 bytes in one, and a byte of 1-bit
  // pixels is 8 pixels.
  int res = CheckSize(w, h, size, 8300);
  if (res != kOk) return res;
  const bool color = type != PNG_COLOR_TYPE_PALETTE && (type & PNG_COLOR_MASK_COLOR) != 0;
  int32_t bits = type == PNG_COLOR_TYPE_PALETTE ? depth : color ? (type & PNG_COLOR_MASK_ALPHA ? 32 : 24) : 8;
  if (info != nullptr) *info = ImageInfo{static_cast<int32_t>(w), static_cast<int32_t>(h), bits};
  if (p == nullptr) return kOk;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    if (!ReadPalette(r, p)) return kErrFormat;
  } else if (!color) {
    for (int i = 0; i < 256; ++i) std::memset(p->palette + i * 4, i, 3);
    p->colors = 256;
  }
  if (!SetTransforms(r, depth, type)) return kErrFormat;
  res = p->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), color ? 24 : 8);
  if (res != kOk) return res;
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = p->Row(static_cast<int32_t>(y));
  return ReadRows(r, rows.data()) ? kOk : kErrFormat;
}

namespace {

void WriteBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void Flush(png_structp) {}

bool WritePng(png_structp png, png_infop info, const Image* image, std::vector<uint8_t>* out,
              png_colorp palette, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, WriteBytes, Flush);
  const bool eight = image->bits == 8;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), 8,
               eight ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (eight) png_set_PLTE(png, info, palette, 256);
  png_write_info(png, info);
  if (!eight) png_set_bgr(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

int savepng(const char* name, const Image* image) {
  if (!Usable(image)) return kErrImage;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (png == nullptr) return kErrMemory;
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> out;
  std::vector<png_color> palette(256);
  for (int i = 0; i < 256; ++i)
    palette[i] = png_color{image->palette[i * 4 + 2], image->palette[i * 4 + 1], image->palette[i * 4]};
  std::vector<png_bytep> rows(static_cast<size_t>(image->height));
  for (int32_t y = 0; y < image->height; ++y) rows[y] = image->Row(y);
  bool ok = info != nullptr && WritePng(png, info, image, &out, palette.data(), rows.data());
  png_destroy_write_struct(&png, &info);
  return ok ? WriteWhole(name, out) : kErrWrite;
}

}  // namespace imagelib
