// Targa: colour-mapped 8-bit, grey 8-bit and true-colour 15, 16, 24 and 32
// bits, plain or RLE, either row order; written uncompressed and bottom-up,
// colour-mapped for 8-bit images and true-colour for 24-bit ones.
#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

struct Header {
  uint32_t id_length, map_type, type, map_first, map_length, map_bits, width, height, bits, descriptor;
};

void Bgr16(uint32_t v, uint8_t* out) {
  auto expand = [](uint32_t c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
  out[0] = expand(v & 31);
  out[1] = expand((v >> 5) & 31);
  out[2] = expand((v >> 10) & 31);
}

// One stored pixel into the picture: an index (8-bit pictures) or blue,
// green, red.
void Store(const uint8_t* src, uint32_t bytes, uint8_t* dst, bool indexed) {
  if (indexed) {
    *dst = src[0];
  } else if (bytes == 2) {
    Bgr16(Le16(src), dst);
  } else {
    std::memcpy(dst, src, 3);
  }
}

}  // namespace

int DecodeTga(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 18) return kErrFormat;
  Header h{d[0], d[1], d[2], Le16(d + 3), Le16(d + 5), d[7], Le16(d + 12), Le16(d + 14), d[16], d[17]};
  const uint32_t base = h.type & 7;
  const bool rle = (h.type & 8) != 0;
  if ((h.type & ~11u) != 0 || base == 0 || h.map_type > 1) return kErrFormat;
  const bool indexed = base == 1 || base == 3;
  if (indexed && h.bits != 8) return kErrDepth;
  if (base == 2 && h.bits != 15 && h.bits != 16 && h.bits != 24 && h.bits != 32) return kErrDepth;
  if (base == 1 && (h.map_type != 1 || h.map_first + h.map_length > 256)) return kErrFormat;
  if (h.map_type == 1 && h.map_bits != 15 && h.map_bits != 16 && h.map_bits != 24 && h.map_bits != 32)
    return kErrDepth;
  const uint32_t bytes = (h.bits + 7) / 8;
  size_t pos = 18 + h.id_length;
  const size_t map_bytes = h.map_type == 1 ? static_cast<size_t>(h.map_length) * ((h.map_bits + 7) / 8) : 0;
  if (pos + map_bytes > size) return kErrRead;
  const size_t data_at = pos + map_bytes;
  int r = CheckSize(h.width, h.height, size - data_at, rle ? 128 : 0);
  if (r != kOk) return r;
  if (!rle && (size - data_at) / bytes < static_cast<uint64_t>(h.width) * h.height) return kErrRead;
  if (info != nullptr)
    *info = ImageInfo{static_cast<int32_t>(h.width), static_cast<int32_t>(h.height),
                      static_cast<int32_t>(base == 2 ? h.bits : 8)};
  if (p == nullptr) return kOk;

  if (base == 1) {
    const uint32_t eb = (h.map_bits + 7) / 8;
    for (uint32_t i = 0; i < h.map_length; ++i) {
      uint8_t* e = p->palette + (h.map_first + i) * 4;
      if (eb == 2) {
        Bgr16(Le16(d + pos + i * 2), e);
      } else {
        std::memcpy(e, d + pos + i * eb, 3);
      }
    }
    p->colors = 256;
  } else if (base == 3) {
    for (int i = 0; i < 256; ++i) std::memset(p->palette + i * 4, i, 3);
    p->colors = 256;
  }
  r = p->Allocate(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), indexed ? 8 : 24);
  if (r != kOk) return r;
  const uint32_t out_bytes = indexed ? 1 : 3;
  const bool top_down = (h.descriptor & 0x20) != 0, right_to_left = (h.descriptor & 0x10) != 0;
  const uint64_t total = static_cast<uint64_t>(h.width) * h.height;
  auto target = [&](uint64_t n) {
    uint32_t y = static_cast<uint32_t>(n / h.width), x = static_cast<uint32_t>(n % h.width);
    if (!top_down) y = h.height - 1 - y;
    if (right_to_left) x = h.width - 1 - x;
    return p->Row(static_cast<int32_t>(y)) + x * out_bytes;
  };
  pos = data_at;
  uint64_t n = 0;
  while (n < total) {
    if (!rle) {
      Store(d + pos, bytes, target(n), indexed);
      pos += bytes;
      ++n;
      continue;
    }
    if (pos >= size) return kErrRead;
    uint8_t packet = d[pos++];
    uint32_t count = (packet & 127u) + 1;
    if (packet & 128) {
      if (pos + bytes > size) return kErrRead;
      for (uint32_t i = 0; i < count && n < total; ++i) Store(d + pos, bytes, target(n++), indexed);
      pos += bytes;
    } else {
      if (pos + static_cast<size_t>(count) * bytes > size) return kErrRead;
      for (uint32_t i = 0; i < count && n < total; ++i)
        Store(d + pos + i * bytes, bytes, target(n++), indexed);
      pos += static_cast<size_t>(count) * bytes;
    }
  }
  return kOk;
}

int savetga(const char* name, const Image* image, int /*option*/) {
  if (!Usable(image) || image->width > 65535 || image->height > 65535) return kErrImage;
  const bool eight = image->bits == 8;
  std::vector<uint8_t> out = {0, static_cast<uint8_t>(eight ? 1 : 0), static_cast<uint8_t>(eight ? 1 : 2)};
  PutLe16(out, 0);
  PutLe16(out, eight ? 256 : 0);
  out.push_back(eight ? 24 : 0);
  PutLe16(out, 0);
  PutLe16(out, 0);
  PutLe16(out, static_cast<uint32_t>(image->width));
  PutLe16(out, static_cast<uint32_t>(image->height));
  out.push_back(static_cast<uint8_t>(image->bits));
  out.push_back(0);  // bottom-up rows, as the image holds them
  if (eight)
    for (int i = 0; i < 256; ++i) out.insert(out.end(), image->palette + i * 4, image->palette + i * 4 + 3);
  const size_t row = static_cast<size_t>(image->width) * (image->bits / 8);
  for (int32_t y = 0; y < image->height; ++y) {
    const uint8_t* src = image->pixels + static_cast<size_t>(y) * image->pitch;
    out.insert(out.end(), src, src + row);
  }
  return WriteWhole(name, out);
}

}  // namespace imagelib
