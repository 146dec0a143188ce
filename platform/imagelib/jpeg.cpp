// JPEG through libjpeg-turbo: grey pictures load as 8-bit images with a grey
// palette, colour pictures as 24-bit ones; images are written as colour
// pictures at the quality asked for. libjpeg reports errors by a long jump
// back into the step that called it; those steps hold no object that needs
// destroying.
// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void NoMessage(j_common_ptr) {}

struct Decompressor {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool made = false;
  ~Decompressor() {
    if (made) jpeg_destroy_decompress(&cinfo);
  }
};

bool Start(Decompressor& j, const uint8_t* d, size_t size) {
  j.cinfo.err = jpeg_std_error(&j.err.pub);
  j.err.pub.error_exit = ErrorExit;
  j.err.pub.output_message = NoMessage;
  if (setjmp(j.err.jump)) return false;
  jpeg_create_decompress(&j.cinfo);
  j.made = true;
  jpeg_mem_src(&j.cinfo, d, static_cast<unsigned long>(size));
  if (jpeg_read_header(&j.cinfo, TRUE) != JPEG_HEADER_OK) return false;
  return true;
}

bool ReadPixels(Decompressor& j, Picture* p) {
  if (setjmp(j.err.jump)) return false;
  j.cinfo.out_color_space = j.cinfo.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_start_decompress(&j.cinfo);
  while (j.cinfo.output_scanline < j.cinfo.output_height) {
    JSAMPROW row = p->Row(static_cast<int32_t>(j.cinfo.output_scanline));
    if (jpeg_read_scanlines(&j.cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&j.cinfo);
  return true;
}

}  // namespace

int DecodeJpeg(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return kErrFormat;
  Decompressor j;
  if (!Start(j, d, size)) return kErrFormat;
  const J_COLOR_SPACE space = j.cinfo.jpeg_color_space;
  if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return kErrDepth;
  int r = CheckSize(j.cinfo.image_width, j.cinfo.image_height, size, 4096);
  if (r != kOk) return r;
  const bool grey = space == JCS_GRAYSCALE;
  if (info != nullptr)
    *info = ImageInfo{static_cast<int32_t>(j.cinfo.image_width), static_cast<int32_t>(j.cinfo.image_height),
                      grey ? 8 : 24};
  if (p == nullptr) return kOk;
  if (grey) {
    for (int i = 0; i < 256; ++i) std::memset(p->palette + i * 4, i, 3);
    p->colors = 256;
  }
  r = p->Allocate(static_cast<int32_t>(j.cinfo.image_width), static_cast<int32_t>(j.cinfo.image_height),
                  grey ? 8 : 24);
  if (r != kOk) return r;
  return ReadPixels(j, p) ? kOk : kErrFormat;
}

namespace {

struct Compressor {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  bool made = false;
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  ~Compressor() {
    if (made) jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
};

bool Compress(Compressor& j, const Image* image, int quality, uint8_t* row) {
  j.cinfo.err = jpeg_std_error(&j.err.pub);
  j.err.pub.error_exit = ErrorExit;
  j.err.pub.output_message = NoMessage;
  if (setjmp(j.err.jump)) return false;
  jpeg_create_compress(&j.cinfo);
  j.made = true;
  jpeg_mem_dest(&j.cinfo, &j.out, &j.out_size);
  j.cinfo.image_width = static_cast<JDIMENSION>(image->width);
  j.cinfo.image_height = static_cast<JDIMENSION>(image->height);
  j.cinfo.input_components = 3;
  j.cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&j.cinfo);
  jpeg_set_quality(&j.cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
  jpeg_start_compress(&j.cinfo, TRUE);
  while (j.cinfo.next_scanline < j.cinfo.image_height) {
    RowAsBgr(*image, static_cast<int32_t>(j.cinfo.next_scanline), row);
    JSAMPROW r = row;
    jpeg_write_scanlines(&j.cinfo, &r, 1);
  }
  jpeg_finish_compress(&j.cinfo);
  return true;
}

}  // namespace

int savejpg(const char* name, const Image* image, int quality) {
  if (!Usable(image) || image->width > 65500 || image->height > 65500) return kErrImage;
  std::vector<uint8_t> row(static_cast<size_t>(image->width) * 3);
  Compressor j;
  if (!Compress(j, image, quality, row.data())) return kErrWrite;
  return WriteWhole(name, std::vector<uint8_t>(j.out, j.out + j.out_size));
}

}  // namespace imagelib
