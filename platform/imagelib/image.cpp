// Images, error texts, the size checks and the file-level calls that every
// format shares.
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/file.h"
#include "platform/imagelib/picture.h"

namespace imagelib {

const char* ErrorText(int code) {
  switch (code) {
    case kOk:
      return "no error";
    case kErrOpen:
      return "the file cannot be opened";
    case kErrRead:
      return "the file ends before the picture does";
    case kErrFormat:
      return "the file is not a picture of this kind, or its data is damaged";
    case kErrDepth:
      return "this bit depth or coding is not supported";
    case kErrMemory:
      return "not enough memory for the picture";
    case kErrWrite:
      return "the file cannot be written";
    case kErrSize:
      return "the picture's size is not sane or not held by the file";
    case kErrImage:
      return "the image does not suit this call";
    default:
      return "unknown error";
  }
}

size_t MemorySource::Take(void* out, size_t n) {
  if (pos > size) return 0;
  if (n > size - pos) n = size - pos;
  std::memcpy(out, data + pos, n);
  pos += n;
  return n;
}

int Picture::Allocate(int32_t w, int32_t h, int32_t b) {
  width = w;
  height = h;
  bits = b;
  try {
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(b / 8), 0);
  } catch (const std::bad_alloc&) {
    return kErrMemory;
  }
  return kOk;
}

int CheckSize(int64_t width, int64_t height, uint64_t available, uint64_t pixels_per_byte) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return kErrSize;
  auto pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > kMaxPixels) return kErrSize;
  if (pixels_per_byte != 0 && pixels > available * pixels_per_byte + 65536) return kErrSize;
  return kOk;
}

int ReadWhole(const char* name, std::vector<uint8_t>& bytes) {
  if (name == nullptr) return kErrOpen;
  int fd = platform::FileOpen(name, false);
  if (fd == platform::kInvalidFile) return kErrOpen;
  int64_t size = platform::FileSize(fd);
  // No picture of these kinds needs more than this.
  if (size < 0 || size > (int64_t{1} << 30)) {
    platform::FileClose(fd);
    return kErrSize;
  }
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    platform::FileClose(fd);
    return kErrMemory;
  }
  size_t got = platform::FileRead(fd, bytes.data(), bytes.size());
  platform::FileClose(fd);
  return got == bytes.size() ? kOk : kErrRead;
}

int WriteWhole(const char* name, const std::vector<uint8_t>& bytes) {
  if (name == nullptr) return kErrOpen;
  int fd = platform::FileCreate(name);
  if (fd == platform::kInvalidFile) return kErrOpen;
  size_t put = platform::FileWrite(fd, bytes.data(), bytes.size());
  platform::FileClose(fd);
  return put == bytes.size() ? kOk : kErrWrite;
}

int Place(const Picture& p, Image* image) {
  if (image == nullptr || image->pixels == nullptr) return kErrImage;
  if (image->bits == 8 && p.bits != 8) return kErrDepth;
  if (image->bits != 8 && image->bits != 24) return kErrImage;
  int32_t w = p.width < image->width ? p.width : image->width;
  int32_t h = p.height < image->height ? p.height : image->height;
  if (image->bits == 8) {
    std::memcpy(image->palette, p.palette, sizeof(image->palette));
    image->colors = p.colors;
  }
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = p.pixels.data() + static_cast<size_t>(y) * p.width * (p.bits / 8);
    uint8_t* dst = image->Row(y);
    if (image->bits == p.bits) {
      std::memcpy(dst, src, static_cast<size_t>(w) * (p.bits / 8));
    } else {
      for (int32_t x = 0; x < w; ++x) std::memcpy(dst + x * 3, p.palette + src[x] * 4, 3);
    }
  }
  return kOk;
}

void RowAsBgr(const Image& image, int32_t y, uint8_t* out) {
  const uint8_t* row = image.Row(y);
  if (image.bits == 24) {
    std::memcpy(out, row, static_cast<size_t>(image.width) * 3);
    return;
  }
  for (int32_t x = 0; x < image.width; ++x) std::memcpy(out + x * 3, image.palette + row[x] * 4, 3);
}

bool Usable(const Image* image) {
  return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0 &&
         (image->bits == 8 || image->bits == 24);
}

int allocimage(Image* image, int32_t width, int32_t height, int32_t bits) {
  if (image == nullptr || (bits != 8 && bits != 24)) return kErrImage;
  *image = Image();
  if (CheckSize(width, height, 0, 0) != kOk) return kErrSize;
  uint32_t pitch = (static_cast<uint32_t>(width) * static_cast<uint32_t>(bits) / 8 + 3) & ~3u;
  auto* pixels =
      static_cast<uint8_t*>(std::calloc(static_cast<size_t>(pitch) * static_cast<size_t>(height), 1));
  if (pixels == nullptr) return kErrMemory;
  image->pixels = pixels;
  image->width = width;
  image->height = height;
  image->bits = bits;
  image->pitch = pitch;
  image->colors = bits == 8 ? 256 : 0;
  return kOk;
}

void freeimage(Image* image) {
  if (image == nullptr) return;
  std::free(image->pixels);
  *image = Image();
}

namespace {

int Dispatch(Format format, const uint8_t* data, size_t size, ImageInfo* info, Picture* picture) {
  switch (format) {
    case Format::kBmp:
      return DecodeBmp(data, size, info, picture);
    case Format::kTga:
      return DecodeTga(data, size, info, picture);
    case Format::kPcx:
      return DecodePcx(data, size, info, picture);
    case Format::kPng:
      return DecodePng(data, size, info, picture);
    case Format::kGif:
      return DecodeGif(data, size, info, picture);
    case Format::kJpeg:
      return DecodeJpeg(data, size, info, picture);
    case Format::kTiff:
      return DecodeTiff(data, size, info, picture);
  }
  return kErrFormat;
}

int InfoFile(Format format, const char* name, ImageInfo* info) {
  if (info == nullptr) return kErrImage;
  std::vector<uint8_t> bytes;
  int r = ReadWhole(name, bytes);
  return r != kOk ? r : DecodeInfo(format, bytes.data(), bytes.size(), info);
}

int LoadFile(Format format, const char* name, Image* image) {
  if (image == nullptr || image->pixels == nullptr) return kErrImage;
  std::vector<uint8_t> bytes;
  int r = ReadWhole(name, bytes);
  return r != kOk ? r : Decode(format, bytes.data(), bytes.size(), image);
}

}  // namespace

int DecodeInfo(Format format, const uint8_t* data, size_t size, ImageInfo* info) {
  if (info == nullptr) return kErrImage;
  *info = ImageInfo();
  return Dispatch(format, data, size, info, nullptr);
}

int Decode(Format format, const uint8_t* data, size_t size, Image* image) {
  if (image == nullptr || image->pixels == nullptr) return kErrImage;
  ImageInfo info;
  Picture picture;
  int r = Dispatch(format, data, size, &info, &picture);
  return r != kOk ? r : Place(picture, image);
}

int bmpinfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kBmp, name, info);
}
int gifinfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kGif, name, info);
}
int tiffinfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kTiff, name, info);
}
int jpeginfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kJpeg, name, info);
}
int tgainfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kTga, name, info);
}
int pcxinfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kPcx, name, info);
}
int pnginfo(const char* name, ImageInfo* info) {
  return InfoFile(Format::kPng, name, info);
}

int loadbmp(const char* name, Image* image) {
  return LoadFile(Format::kBmp, name, image);
}
int loadgif(const char* name, Image* image) {
  return LoadFile(Format::kGif, name, image);
}
int loadtif(const char* name, Image* image) {
  return LoadFile(Format::kTiff, name, image);
}
int loadjpg(const char* name, Image* image) {
  return LoadFile(Format::kJpeg, name, image);
}
int loadtga(const char* name, Image* image) {
  return LoadFile(Format::kTga, name, image);
}
int loadpcx(const char* name, Image* image) {
  return LoadFile(Format::kPcx, name, image);
}
int loadpng(const char* name, Image* image) {
  return LoadFile(Format::kPng, name, image);
}

}  // namespace imagelib
