// PCX: 8-bit pictures with the 256-colour palette at the end of the file,
// and 24-bit pictures stored as three 8-bit planes per line, read; 8-bit
// pictures written, run-length coded.
#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {

int DecodePcx(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 128 || d[0] != 10 || d[2] > 1) return kErrFormat;
  const uint32_t bits = d[3], planes = d[65], bytes_per_line = Le16(d + 66);
  const int64_t width = int64_t{Le16(d + 8)} - Le16(d + 4) + 1;
  const int64_t height = int64_t{Le16(d + 10)} - Le16(d + 6) + 1;
  if (bits != 8 || (planes != 1 && planes != 3 && planes != 4)) return kErrDepth;
  if (width <= 0 || height <= 0 || bytes_per_line < width) return kErrSize;
  const bool rle = d[2] == 1;
  int r = CheckSize(width, height, size - 128, rle ? 63 : 0);
  if (r != kOk) return r;
  const uint64_t line = static_cast<uint64_t>(bytes_per_line) * planes;
  if (!rle && (size - 128) / line < static_cast<uint64_t>(height)) return kErrRead;
  if (info != nullptr)
    *info = ImageInfo{static_cast<int32_t>(width), static_cast<int32_t>(height), planes == 1 ? 8 : 24};
  if (p == nullptr) return kOk;
  if (planes == 1) {
    // The palette: a 12 and 768 bytes of red, green, blue at the end.
    if (size < 128 + 769 || d[size - 769] != 12) return kErrFormat;
    const uint8_t* pal = d + size - 768;
    for (int i = 0; i < 256; ++i) {
      p->palette[i * 4] = pal[i * 3 + 2];
      p->palette[i * 4 + 1] = pal[i * 3 + 1];
      p->palette[i * 4 + 2] = pal[i * 3];
    }
    p->colors = 256;
  }
  r = p->Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), planes == 1 ? 8 : 24);
  if (r != kOk) return r;
  std::vector<uint8_t> scan(line);
  size_t pos = 128;
  const size_t end = planes == 1 ? size - 769 : size;
  uint32_t run = 0;
  uint8_t value = 0;
  for (int64_t y = 0; y < height; ++y) {
    for (uint64_t i = 0; i < line; ++i) {
      if (run == 0) {
        if (pos >= end) return kErrRead;
        uint8_t b = d[pos++];
        if (rle && b >= 0xC0) {
          if (pos >= end) return kErrRead;
          run = b & 0x3Fu;
          value = d[pos++];
          if (run == 0) {  // an empty run holds no byte
            --i;
            continue;
          }
        } else {
          run = 1;
          value = b;
        }
      }
      scan[i] = value;
      --run;
    }
    uint8_t* row = p->Row(static_cast<int32_t>(y));
    if (planes == 1) {
      std::memcpy(row, scan.data(), static_cast<size_t>(width));
    } else {
      for (int64_t x = 0; x < width; ++x) {
        row[x * 3 + 2] = scan[x];
        row[x * 3 + 1] = scan[bytes_per_line + x];
        row[x * 3] = scan[2u * bytes_per_line + x];
      }
    }
  }
  return kOk;
}

int savepcx(const char* name, const Image* image) {
  if (!Usable(image) || image->bits != 8 || image->width > 65535 || image->height > 65535) return kErrImage;
  const uint32_t bytes_per_line = (static_cast<uint32_t>(image->width) + 1) & ~1u;
  std::vector<uint8_t> out(128, 0);
  out[0] = 10;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(8, static_cast<uint32_t>(image->width - 1));
  put16(10, static_cast<uint32_t>(image->height - 1));
  put16(12, 72);
  put16(14, 72);
  out[65] = 1;
  put16(66, bytes_per_line);
  put16(68, 1);
  std::vector<uint8_t> scan(bytes_per_line, 0);
  for (int32_t y = 0; y < image->height; ++y) {
    std::memcpy(scan.data(), image->Row(y), static_cast<size_t>(image->width));
    for (uint32_t x = 0; x < bytes_per_line;) {
      uint32_t n = 1;
      while (x + n < bytes_per_line && n < 63 && scan[x + n] == scan[x]) ++n;
      if (n > 1 || scan[x] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | n));
      out.push_back(scan[x]);
      x += n;
    }
  }
  out.push_back(12);
  for (int i = 0; i < 256; ++i) {
    out.push_back(image->palette[i * 4 + 2]);
    out.push_back(image->palette[i * 4 + 1]);
    out.push_back(image->palette[i * 4]);
  }
  return WriteWhole(name, out);
}

}  // namespace imagelib
