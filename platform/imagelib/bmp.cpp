// Windows bitmaps: 1, 4, 8, 16, 24 and 32 bits, bottom-up or top-down, RLE8
// and RLE4 read; written uncompressed at 8 or 24 bits, bottom-up.
#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

struct Header {
  int32_t width = 0, height = 0;
  bool top_down = false;
  uint32_t bits = 0, compression = 0, offset = 0, colors = 0, palette_at = 0, entry_size = 4;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
};

int ReadHeader(const uint8_t* d, size_t size, Header& h) {
  if (size < 26 || d[0] != 'B' || d[1] != 'M') return kErrFormat;
  h.offset = Le32(d + 10);
  uint32_t hsize = Le32(d + 14);
  if (hsize == 12) {
    h.width = Le16(d + 18);
    h.height = static_cast<int16_t>(Le16(d + 20));
    h.bits = Le16(d + 24);
    h.entry_size = 3;
  } else if (hsize >= 40 && hsize <= 124) {
    if (size < 14 + static_cast<size_t>(hsize)) return kErrRead;
    h.width = static_cast<int32_t>(Le32(d + 18));
    h.height = static_cast<int32_t>(Le32(d + 22));
    h.bits = Le16(d + 28);
    h.compression = Le32(d + 30);
    h.colors = Le32(d + 46);
    if (h.compression == kBitfields) {
      size_t at = 14 + 40;  // the masks follow a 40-byte header, or are part of a longer one
      if (size < at + 12) return kErrRead;
      for (int i = 0; i < 3; ++i) h.masks[i] = Le32(d + at + 4 * i);
    } else if (h.bits == 32) {
      h.masks[0] = 0xFF0000;
      h.masks[1] = 0xFF00;
      h.masks[2] = 0xFF;
    }
  } else {
    return kErrFormat;
  }
  h.palette_at = 14 + hsize + (hsize == 40 && h.compression == kBitfields ? 12 : 0);
  if (h.height < 0) {
    if (h.height == INT32_MIN) return kErrSize;
    h.height = -h.height;
    h.top_down = true;
  }
  switch (h.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return kErrDepth;
  }
  bool ok = h.compression == kRgb || (h.compression == kRle8 && h.bits == 8) ||
            (h.compression == kRle4 && h.bits == 4) ||
            (h.compression == kBitfields && (h.bits == 16 || h.bits == 32));
  if (!ok) return kErrDepth;
  if (h.top_down && (h.compression == kRle8 || h.compression == kRle4)) return kErrFormat;
  return kOk;
}

int ReadPalette(const uint8_t* d, size_t size, const Header& h, Picture& p) {
  if (h.bits > 8) return kOk;
  uint32_t n = h.colors == 0 || h.colors > (1u << h.bits) ? 1u << h.bits : h.colors;
  if (h.palette_at > size || (size - h.palette_at) / h.entry_size < n) return kErrRead;
  for (uint32_t i = 0; i < n; ++i) {
    std::memcpy(p.palette + i * 4, d + h.palette_at + i * h.entry_size, 3);
    p.palette[i * 4 + 3] = 0;
  }
  p.colors = static_cast<int32_t>(n);
  return kOk;
}

// The shift and width of a colour mask, for taking a component to 8 bits.
uint8_t Component(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = __builtin_ctz(mask);
  uint32_t m = mask >> shift;
  uint32_t x = (v >> shift) & m;
  int width = 32 - __builtin_clz(m);
  if (width >= 8) return static_cast<uint8_t>(x >> (width - 8));
  // Repeat the bits so that the largest value becomes 255.
  uint32_t out = 0;
  int filled = 0;
  for (; filled < 8; filled += width) out = (out << width) | x;
  return static_cast<uint8_t>(out >> (filled - 8));
}

int DecodeRgb(const uint8_t* d, size_t size, const Header& h, Picture& p) {
  uint64_t row = (static_cast<uint64_t>(h.width) * h.bits + 31) / 32 * 4;
  if (h.offset > size || (size - h.offset) / row < static_cast<uint64_t>(h.height)) return kErrRead;
  int r = p.Allocate(h.width, h.height, h.bits <= 8 ? 8 : 24);
  if (r != kOk) return r;
  for (int32_t y = 0; y < h.height; ++y) {
    const uint8_t* src = d + h.offset + row * static_cast<uint64_t>(h.top_down ? y : h.height - 1 - y);
    uint8_t* dst = p.Row(y);
    for (int32_t x = 0; x < h.width; ++x) {
      switch (h.bits) {
        case 1:
          dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
          break;
        case 4:
          dst[x] = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
          break;
        case 8:
          dst[x] = src[x];
          break;
        case 16:
        case 32: {
          uint32_t v = h.bits == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
          dst[x * 3] = Component(v, h.masks[2]);
          dst[x * 3 + 1] = Component(v, h.masks[1]);
          dst[x * 3 + 2] = Component(v, h.masks[0]);
          break;
        }
        default:  // 24
          std::memcpy(dst + x * 3, src + x * 3, 3);
          break;
      }
    }
  }
  return kOk;
}

// RLE8 and RLE4: runs, literals, line ends, deltas and the end of the bitmap;
// pixels that fall outside the picture are dropped.
int DecodeRle(const uint8_t* d, size_t size, const Header& h, Picture& p) {
  if (h.offset > size) return kErrRead;
  int r = p.Allocate(h.width, h.height, 8);
  if (r != kOk) return r;
  const bool four = h.compression == kRle4;
  size_t pos = h.offset;
  int64_t x = 0, y = h.height - 1;  // rows from the top; the bitmap starts at the bottom
  auto put = [&](uint8_t v) {
    if (x < h.width && y >= 0) p.Row(static_cast<int32_t>(y))[x] = v;
    ++x;
  };
  while (pos + 2 <= size && y >= 0) {
    uint8_t a = d[pos], b = d[pos + 1];
    pos += 2;
    if (a > 0) {
      for (int i = 0; i < a; ++i) put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
    } else if (b == 0) {
      x = 0;
      --y;
    } else if (b == 1) {
      return kOk;
    } else if (b == 2) {
      if (pos + 2 > size) return kErrRead;
      x += d[pos];
      y -= d[pos + 1];
      pos += 2;
    } else {
      size_t bytes = four ? (b + 1u) / 2 : b;
      if (pos + bytes > size) return kErrRead;
      for (int i = 0; i < b; ++i)
        put(four ? ((i & 1) ? d[pos + i / 2] & 15 : d[pos + i / 2] >> 4) : d[pos + i]);
      pos += (bytes + 1) & ~size_t{1};
    }
  }
  return kOk;  // a bitmap that ends without its end code keeps what it has
}

}  // namespace

int DecodeBmp(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  Header h;
  int r = ReadHeader(d, size, h);
  if (r != kOk) return r;
  bool rle = h.compression == kRle8 || h.compression == kRle4;
  r = CheckSize(h.width, h.height, size, rle ? 4096 : 0);
  if (r != kOk) return r;
  if (info != nullptr) *info = ImageInfo{h.width, h.height, static_cast<int32_t>(h.bits)};
  if (p == nullptr) return kOk;
  r = ReadPalette(d, size, h, *p);
  if (r != kOk) return r;
  return rle ? DecodeRle(d, size, h, *p) : DecodeRgb(d, size, h, *p);
}

int savebmp(const char* name, const Image* image, int /*option*/) {
  if (!Usable(image)) return kErrImage;
  const bool eight = image->bits == 8;
  const uint32_t row = (static_cast<uint32_t>(image->width) * image->bits / 8 + 3) & ~3u;
  const uint32_t palette = eight ? 1024 : 0;
  const uint32_t offset = 14 + 40 + palette;
  const uint64_t data = static_cast<uint64_t>(row) * image->height;
  if (offset + data > 0xFFFFFFFFu) return kErrSize;
  std::vector<uint8_t> out;
  out.reserve(offset + data);
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, static_cast<uint32_t>(offset + data));
  PutLe32(out, 0);
  PutLe32(out, offset);
  PutLe32(out, 40);
  PutLe32(out, static_cast<uint32_t>(image->width));
  PutLe32(out, static_cast<uint32_t>(image->height));
  PutLe16(out, 1);
  PutLe16(out, static_cast<uint32_t>(image->bits));
  PutLe32(out, kRgb);
  PutLe32(out, static_cast<uint32_t>(data));
  PutLe32(out, 2835);  // 72 dots per inch
  PutLe32(out, 2835);
  PutLe32(out, eight ? 256 : 0);
  PutLe32(out, 0);
  if (eight) {
    for (int i = 0; i < 256; ++i) {
      out.insert(out.end(), image->palette + i * 4, image->palette + i * 4 + 3);
      out.push_back(0);
    }
  }
  // The image is bottom-up already, as a bitmap's rows are.
  for (int32_t y = 0; y < image->height; ++y) {
    const uint8_t* src = image->pixels + static_cast<size_t>(y) * image->pitch;
    out.insert(out.end(), src, src + row);
  }
  return WriteWhole(name, out);
}

}  // namespace imagelib
