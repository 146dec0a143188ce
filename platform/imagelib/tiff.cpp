// TIFF through libtiff: palette and grey pictures of 1, 2, 4 or 8 bits in
// strips load as 8-bit images; every other kind libtiff can turn into RGBA
// (colour, tiles, other depths) loads as a 24-bit image. Images are written
// as one strip per row group, palettized (8-bit) or RGB (24-bit), plain or
// LZW-compressed.
#include <tiffio.h>

#include <cstring>
#include <mutex>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

tmsize_t ReadProc(thandle_t h, void* out, tmsize_t n) {
  return static_cast<tmsize_t>(static_cast<MemorySource*>(h)->Take(out, n < 0 ? 0 : static_cast<size_t>(n)));
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
  return 0;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<MemorySource*>(h);
  uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->size : 0;
  s->pos = static_cast<size_t>(base + off);
  return s->pos;
}
int CloseProc(thandle_t) {
  return 0;
}
toff_t SizeProc(thandle_t h) {
  return static_cast<MemorySource*>(h)->size;
}
// The bytes are in memory already: they are the mapping.
int MapProc(thandle_t h, void** base, toff_t* size) {
  auto* s = static_cast<MemorySource*>(h);
  *base = const_cast<uint8_t*>(s->data);
  *size = s->size;
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's messages would go to standard error; the library reports by its
// result codes instead.
void Silence() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

struct Closer {
  TIFF* t;
  ~Closer() {
    if (t != nullptr) TIFFClose(t);
  }
};

}  // namespace

int DecodeTiff(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 8 || !((d[0] == 'I' && d[1] == 'I') || (d[0] == 'M' && d[1] == 'M'))) return kErrFormat;
  Silence();
  MemorySource src{d, size, 0};
  Closer c{TIFFClientOpen("memory", "r", &src, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                          UnmapProc)};
  TIFF* t = c.t;
  if (t == nullptr) return kErrFormat;
  uint32_t w = 0, h = 0;
  uint16_t bps = 1, spp = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h))
    return kErrFormat;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) return kErrFormat;
  int r = CheckSize(w, h, size, 8300);
  if (r != kOk) return r;
  const bool indexed_kind = photometric == PHOTOMETRIC_PALETTE || photometric == PHOTOMETRIC_MINISBLACK ||
                            photometric == PHOTOMETRIC_MINISWHITE;
  const bool indexed = indexed_kind && spp == 1 && (bps == 1 || bps == 2 || bps == 4 || bps == 8) &&
                       !TIFFIsTiled(t) && planar == PLANARCONFIG_CONTIG;
  if (info != nullptr)
    *info = ImageInfo{static_cast<int32_t>(w), static_cast<int32_t>(h), indexed ? bps : 24};
  if (p == nullptr) return kOk;
  if (indexed) {
    if (photometric == PHOTOMETRIC_PALETTE) {
      uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
      if (!TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue)) return kErrFormat;
      const int n = 1 << bps;
      for (int i = 0; i < n; ++i) {
        p->palette[i * 4] = static_cast<uint8_t>(blue[i] >> 8);
        p->palette[i * 4 + 1] = static_cast<uint8_t>(green[i] >> 8);
        p->palette[i * 4 + 2] = static_cast<uint8_t>(red[i] >> 8);
      }
      p->colors = n;
    } else {
      const int n = 1 << bps;
      for (int i = 0; i < n; ++i) {
        int v = i * 255 / (n - 1);
        if (photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
        std::memset(p->palette + i * 4, v, 3);
      }
      p->colors = n;
    }
    r = p->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), 8);
    if (r != kOk) return r;
    tmsize_t line = TIFFScanlineSize(t);
    if (line <= 0 || static_cast<uint64_t>(line) < (static_cast<uint64_t>(w) * bps + 7) / 8)
      return kErrFormat;
    std::vector<uint8_t> scan(static_cast<size_t>(line));
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(t, scan.data(), y, 0) < 0) return kErrRead;
      uint8_t* row = p->Row(static_cast<int32_t>(y));
      const uint32_t per_byte = 8 / bps, mask = (1u << bps) - 1;
      for (uint32_t x = 0; x < w; ++x)
        row[x] = static_cast<uint8_t>((scan[x / per_byte] >> ((per_byte - 1 - x % per_byte) * bps)) & mask);
    }
    return kOk;
  }
  r = p->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), 24);
  if (r != kOk) return r;
  std::vector<uint32_t> raster;
  try {
    raster.resize(static_cast<size_t>(w) * h);
  } catch (const std::bad_alloc&) {
    return kErrMemory;
  }
  if (!TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) return kErrFormat;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = p->Row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t v = raster[static_cast<size_t>(y) * w + x];
      row[x * 3] = static_cast<uint8_t>(TIFFGetB(v));
      row[x * 3 + 1] = static_cast<uint8_t>(TIFFGetG(v));
      row[x * 3 + 2] = static_cast<uint8_t>(TIFFGetR(v));
    }
  }
  return kOk;
}

int savetif(const char* name, const Image* image, int option) {
  if (!Usable(image) || name == nullptr) return kErrImage;
  Silence();
  Closer c{TIFFOpen(name, "w")};
  TIFF* t = c.t;
  if (t == nullptr) return kErrOpen;
  const bool eight = image->bits == 8;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image->width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image->height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, eight ? 1 : 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, eight ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, option == 1 ? COMPRESSION_LZW : COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  std::vector<uint16_t> red(256), green(256), blue(256);
  if (eight) {
    for (int i = 0; i < 256; ++i) {
      blue[i] = static_cast<uint16_t>(image->palette[i * 4] * 257);
      green[i] = static_cast<uint16_t>(image->palette[i * 4 + 1] * 257);
      red[i] = static_cast<uint16_t>(image->palette[i * 4 + 2] * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
  }
  std::vector<uint8_t> row(static_cast<size_t>(image->width) * (eight ? 1 : 3));
  for (int32_t y = 0; y < image->height; ++y) {
    const uint8_t* src = image->Row(y);
    if (eight) {
      std::memcpy(row.data(), src, row.size());
    } else {
      for (int32_t x = 0; x < image->width; ++x) {
        row[x * 3] = src[x * 3 + 2];
        row[x * 3 + 1] = src[x * 3 + 1];
        row[x * 3 + 2] = src[x * 3];
      }
    }
    if (TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) < 0) return kErrWrite;
  }
  TIFF* done = c.t;
  c.t = nullptr;
  TIFFClose(done);
  return kOk;
}

}  // namespace imagelib
