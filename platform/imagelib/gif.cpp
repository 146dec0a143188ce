// GIF through giflib: the first picture of the file on its logical screen
// (the rest of the screen in the background colour), interlaced or not, as
// an 8-bit image; 8-bit images written as one picture with a 256-colour
// table. Records are read one by one so that a stated size is checked before
// anything is allocated for it.
#include <gif_lib.h>

#include <cstring>

#include "platform/imagelib/picture.h"

namespace imagelib {
namespace {

int ReadFn(GifFileType* g, GifByteType* out, int n) {
  return static_cast<int>(
      static_cast<MemorySource*>(g->UserData)->Take(out, n < 0 ? 0 : static_cast<size_t>(n)));
}

struct Closer {
  GifFileType* g;
  ~Closer() {
    int err = 0;
    if (g != nullptr) DGifCloseFile(g, &err);
  }
};

// Moves to the first picture's description; false when there is none.
bool FindImage(GifFileType* g) {
  for (int guard = 0; guard < 100000; ++guard) {
    GifRecordType type;
    if (DGifGetRecordType(g, &type) == GIF_ERROR) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(g) != GIF_ERROR;
    if (type == TERMINATE_RECORD_TYPE) return false;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(g, &code, &ext) == GIF_ERROR) return false;
      while (ext != nullptr)
        if (DGifGetExtensionNext(g, &ext) == GIF_ERROR) return false;
    }
  }
  return false;
}

void SetPalette(const ColorMapObject* map, Picture* p) {
  if (map == nullptr) {  // no table at all: a grey ramp
    for (int i = 0; i < 256; ++i) std::memset(p->palette + i * 4, i, 3);
    p->colors = 256;
    return;
  }
  int n = map->ColorCount < 256 ? map->ColorCount : 256;
  for (int i = 0; i < n; ++i) {
    p->palette[i * 4] = map->Colors[i].Blue;
    p->palette[i * 4 + 1] = map->Colors[i].Green;
    p->palette[i * 4 + 2] = map->Colors[i].Red;
  }
  p->colors = n;
}

}  // namespace

int DecodeGif(const uint8_t* d, size_t size, ImageInfo* info, Picture* p) {
  if (size < 6 || std::memcmp(d, "GIF", 3) != 0) return kErrFormat;
  MemorySource src{d, size, 0};
  int err = 0;
  Closer c{DGifOpen(&src, ReadFn, &err)};
  GifFileType* g = c.g;
  if (g == nullptr) return kErrFormat;
  if (!FindImage(g)) return kErrFormat;
  const GifImageDesc& desc = g->Image;
  int64_t w = g->SWidth > 0 ? g->SWidth : desc.Width, h = g->SHeight > 0 ? g->SHeight : desc.Height;
  // LZW codes of 12 bits stand for at most 4096 pixels.
  int r = CheckSize(w, h, size, 4096);
  if (r != kOk) return r;
  if (CheckSize(desc.Width, desc.Height, size, 4096) != kOk) return kErrSize;
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : g->SColorMap;
  if (info != nullptr) *info = ImageInfo{static_cast<int32_t>(w), static_cast<int32_t>(h), 8};
  if (p == nullptr) return kOk;
  SetPalette(map, p);
  r = p->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), 8);
  if (r != kOk) return r;
  if (g->SBackGroundColor != 0) std::memset(p->pixels.data(), g->SBackGroundColor, p->pixels.size());
  std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
  const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
  const int passes = desc.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = desc.Interlace ? starts[pass] : 0; y < desc.Height; y += desc.Interlace ? steps[pass] : 1) {
      if (DGifGetLine(g, line.data(), desc.Width) == GIF_ERROR) return kErrRead;
      int64_t ty = int64_t{desc.Top} + y;
      if (ty < 0 || ty >= h) continue;
      uint8_t* row = p->Row(static_cast<int32_t>(ty));
      for (int x = 0; x < desc.Width; ++x) {
        int64_t tx = int64_t{desc.Left} + x;
        if (tx >= 0 && tx < w) row[tx] = line[x];
      }
    }
  }
  return kOk;
}

namespace {

int WriteFn(GifFileType* g, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(g->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

}  // namespace

int savegif(const char* name, const Image* image) {
  if (!Usable(image) || image->bits != 8 || image->width > 65535 || image->height > 65535) return kErrImage;
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, WriteFn, &err);
  if (g == nullptr) return kErrMemory;
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i)
    colors[i] = GifColorType{image->palette[i * 4 + 2], image->palette[i * 4 + 1], image->palette[i * 4]};
  ColorMapObject* map = GifMakeMapObject(256, colors);
  bool ok = map != nullptr && EGifPutScreenDesc(g, image->width, image->height, 8, 0, map) != GIF_ERROR &&
            EGifPutImageDesc(g, 0, 0, image->width, image->height, false, nullptr) != GIF_ERROR;
  std::vector<GifPixelType> line(static_cast<size_t>(image->width));
  for (int32_t y = 0; ok && y < image->height; ++y) {
    std::memcpy(line.data(), image->Row(y), line.size());
    ok = EGifPutLine(g, line.data(), image->width) != GIF_ERROR;
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(g, &err) == GIF_ERROR) ok = false;
  return ok ? WriteWhole(name, out) : kErrWrite;
}

}  // namespace imagelib
