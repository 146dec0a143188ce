// Bitmap commands: 128 in-memory 8-bit pictures that scripts draw into,
// copy between and to and from the screen, and keep palettes in.
#include <algorithm>
#include <cstring>

#include "display/blit.h"
#include "script/engine.h"
#include "script/families.h"
#include "script/screen.h"

namespace vidzoscript {
namespace {

Bitmap& BitmapParameter(Engine& e) {
  return NeedBitmap(e, e.Number());
}

int SlotOf(Engine& e, const Bitmap& b) {
  return static_cast<int>(&b - ScreenOf(e).bitmaps.data());
}

void BitmapAlloc(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t width = e.Number(), height = e.Number();
  const int slot = width < 0 || height < 0 ? -1 : AllocBitmap(e, uint32_t(width), uint32_t(height));
  e.SetVariable(var, slot < 0 ? 0 : kBitmapBase + slot);
}

void BitmapFree(Engine& e) {
  const std::string var = e.VariableName();
  const std::string value = e.GetVariable(var);
  const int32_t handle = IsNumeric(value) ? ToNumber(value) : -1;
  Bitmap& b = NeedBitmap(e, handle);
  FreeBitmap(ScreenOf(e), SlotOf(e, b));
  e.SetVariable(var, std::string());
}

void BitmapWidth(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(BitmapParameter(e).width));
}

void BitmapHeight(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(BitmapParameter(e).height));
}

void BitmapList(Engine& e) {
  e.TrimParameters();
  std::vector<std::string> lines;
  const Screen& s = ScreenOf(e);
  for (size_t i = 0; i < s.bitmaps.size(); ++i) {
    const Bitmap& b = s.bitmaps[i];
    if (!b.used) continue;
    lines.push_back("Number: " + std::to_string(kBitmapBase + int32_t(i)) + "  Width: " + std::to_string(b.width) +
                    "  Height: " + std::to_string(b.height));
  }
  e.WriteList(lines);
}

void BitmapClear(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const auto colour = static_cast<uint8_t>(e.Number());
  std::fill(b.pixels.begin(), b.pixels.end(), colour);
}

// Coordinates limited to the bitmap: at or beyond the size is the last
// column or row; below 0 is 0.
size_t PixelIndex(const Bitmap& b, int32_t x, int32_t y) {
  const int64_t cx = std::clamp<int64_t>(x, 0, int64_t(b.width) - 1);
  const int64_t cy = std::clamp<int64_t>(y, 0, int64_t(b.height) - 1);
  return size_t(cy) * b.width + size_t(cx);
}

void BitmapSetPixel(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  if (b.pixels.empty()) return;
  b.pixels[PixelIndex(b, x, y)] = static_cast<uint8_t>(colour);
}

void BitmapGetPixel(Engine& e) {
  const std::string var = e.VariableName();
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  e.SetVariable(var, b.pixels.empty() ? 0 : b.pixels[PixelIndex(b, x, y)]);
}

void BitmapLine(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x1 = e.Number(), y1 = e.Number(), x2 = e.Number(), y2 = e.Number(), colour = e.Number();
  DrawLine(CanvasOf(b), x1, y1, x2, y2, static_cast<uint8_t>(colour));
}

void BitmapBox(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int64_t x = e.Number(), y = e.Number(), w = e.Number(), h = e.Number();
  const auto colour = static_cast<uint8_t>(e.Number());
  const Canvas c = CanvasOf(b);
  DrawLine(c, x, y, x + w, y, colour);
  DrawLine(c, x + w, y, x + w, y + h, colour);
  DrawLine(c, x + w, y + h, x, y + h, colour);
  DrawLine(c, x, y + h, x, y, colour);
}

void BitmapFilledBox(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), w = e.Number(), h = e.Number(), colour = e.Number();
  FillBox(CanvasOf(b), x, y, w, h, static_cast<uint8_t>(colour));
}

void BitmapChangeColor(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const auto from = static_cast<uint8_t>(e.Number()), to = static_cast<uint8_t>(e.Number());
  std::replace(b.pixels.begin(), b.pixels.end(), from, to);
}

void BitmapText(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  const std::string text = e.Text();
  DrawGlyphs(e, CanvasOf(b), x, y, text);
}

// A rectangle copy between two buffers, clipped to both: the destination
// rectangle at (dx, dy) of width x height from the source at (sx, sy).
struct Copy {
  int64_t dx, dy, sx, sy, width, height;
};

bool ClipCopy(Copy& c, uint32_t dest_w, uint32_t dest_h, uint32_t src_w, uint32_t src_h) {
  if (c.dx < 0) c.sx -= c.dx, c.width += c.dx, c.dx = 0;
  if (c.dy < 0) c.sy -= c.dy, c.height += c.dy, c.dy = 0;
  if (c.sx < 0) c.dx -= c.sx, c.width += c.sx, c.sx = 0;
  if (c.sy < 0) c.dy -= c.sy, c.height += c.sy, c.sy = 0;
  c.width = std::min({c.width, int64_t(dest_w) - c.dx, int64_t(src_w) - c.sx});
  c.height = std::min({c.height, int64_t(dest_h) - c.dy, int64_t(src_h) - c.sy});
  return c.width > 0 && c.height > 0;
}

enum class CopyKind { kPlain, kTrans, kMask, kMerge };

void CopyBuffers(VidzoDisplayBuffer& dest, const VidzoDisplayBuffer& src, const Copy& c, CopyKind kind,
                 uint32_t key, const VidzoDisplayBuffer* other) {
  const auto dx = uint32_t(c.dx), dy = uint32_t(c.dy), sx = uint32_t(c.sx), sy = uint32_t(c.sy);
  const auto w = uint32_t(c.width), h = uint32_t(c.height);
  switch (kind) {
    case CopyKind::kPlain:
      VidzoBufferToBuffer(&dest, dx, dy, &src, sx, sy, w, h);
      break;
    case CopyKind::kTrans:
      VidzoBufferToBufferTrans(&dest, dx, dy, &src, sx, sy, w, h, key);
      break;
    case CopyKind::kMask:
      VidzoBufferToBufferMask(&dest, dx, dy, &src, sx, sy, w, h, key, other);
      break;
    case CopyKind::kMerge:
      VidzoBufferToBufferMerge(&dest, dx, dy, &src, sx, sy, w, h, key, other);
      break;
  }
}

void BitmapFromScreen(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  HideCursor(e);
  Screen& s = ScreenOf(e);
  Copy c{0, 0, int64_t(x) + s.origin_x, int64_t(y) + s.origin_y, b.width, b.height};
  if (!ClipCopy(c, b.width, b.height, d.Width, d.Height)) return;
  VidzoDisplayBuffer record = b.Record();
  CopyBuffers(record, d, c, CopyKind::kPlain, 0, nullptr);
}

void ToScreen(Engine& e, Bitmap& b, const Bitmap* other, int32_t x, int32_t y, CopyKind kind, uint32_t key) {
  VidzoDisplayBuffer& d = NeedDisplay(e);
  Screen& s = ScreenOf(e);
  // The mask or second picture must have the bitmap's size.
  if (other != nullptr && (other->width != b.width || other->height != b.height)) return;
  Copy c{int64_t(x) + s.origin_x, int64_t(y) + s.origin_y, 0, 0, b.width, b.height};
  if (b.pixels.empty() || !ClipCopy(c, d.Width, d.Height, b.width, b.height)) return;
  HideCursorOver(e, static_cast<int32_t>(c.dx), static_cast<int32_t>(c.dy), c.width, c.height);
  const VidzoDisplayBuffer src = b.Record();
  VidzoDisplayBuffer second{};
  if (other != nullptr) second = const_cast<Bitmap*>(other)->Record();
  CopyBuffers(d, src, c, kind, key, other != nullptr ? &second : nullptr);
  ShowRect(e, static_cast<int32_t>(c.dx), static_cast<int32_t>(c.dy), c.width, c.height);
}

void BitmapToScreen(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  ToScreen(e, b, nullptr, x, y, CopyKind::kPlain, 0);
}

void BitmapToScreenTrans(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToScreen(e, b, nullptr, x, y, CopyKind::kTrans, static_cast<uint32_t>(colour));
}

void BitmapToScreenMask(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  Bitmap& mask = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToScreen(e, b, &mask, x, y, CopyKind::kMask, static_cast<uint32_t>(colour));
}

void BitmapToScreenMerge(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  Bitmap& other = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToScreen(e, b, &other, x, y, CopyKind::kMerge, static_cast<uint32_t>(colour));
}

void ToBitmap(Bitmap& dest, Bitmap& src, const Bitmap* other, int32_t x, int32_t y, CopyKind kind, uint32_t key) {
  if (other != nullptr && (other->width != src.width || other->height != src.height)) return;
  if (dest.pixels.empty() || src.pixels.empty()) return;
  Copy c{};
  if (src.width > dest.width || src.height > dest.height) {
    // The destination is filled from the source's rectangle at (x, y).
    c = Copy{0, 0, x, y, dest.width, dest.height};
    if (x < 0 || y < 0 || uint32_t(x) >= src.width || uint32_t(y) >= src.height) return;
  } else {
    c = Copy{x, y, 0, 0, src.width, src.height};
    if (x < 0 || y < 0 || uint32_t(x) >= dest.width || uint32_t(y) >= dest.height) return;
  }
  if (!ClipCopy(c, dest.width, dest.height, src.width, src.height)) return;
  VidzoDisplayBuffer d = dest.Record();
  const VidzoDisplayBuffer s = src.Record();
  VidzoDisplayBuffer second{};
  if (other != nullptr) second = const_cast<Bitmap*>(other)->Record();
  CopyBuffers(d, s, c, kind, key, other != nullptr ? &second : nullptr);
}

void BitmapToBitmap(Engine& e) {
  Bitmap& dest = BitmapParameter(e);
  Bitmap& src = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number();
  ToBitmap(dest, src, nullptr, x, y, CopyKind::kPlain, 0);
}

void BitmapToBitmapTrans(Engine& e) {
  Bitmap& dest = BitmapParameter(e);
  Bitmap& src = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToBitmap(dest, src, nullptr, x, y, CopyKind::kTrans, static_cast<uint32_t>(colour));
}

void BitmapToBitmapMask(Engine& e) {
  Bitmap& dest = BitmapParameter(e);
  Bitmap& src = BitmapParameter(e);
  Bitmap& mask = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToBitmap(dest, src, &mask, x, y, CopyKind::kMask, static_cast<uint32_t>(colour));
}

void BitmapToBitmapMerge(Engine& e) {
  Bitmap& dest = BitmapParameter(e);
  Bitmap& src = BitmapParameter(e);
  Bitmap& other = BitmapParameter(e);
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  ToBitmap(dest, src, &other, x, y, CopyKind::kMerge, static_cast<uint32_t>(colour));
}

Palette& OwnPalette(Bitmap& b) {
  if (!b.palette) b.palette = std::make_unique<Palette>();
  return *b.palette;
}

void BitmapGetPalette(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  OwnPalette(b) = ScreenOf(e).palette;
}

void BitmapSetPalette(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  if (!b.palette || *b.palette == ScreenOf(e).palette) return;
  NeedDisplay(e);
  PutPalette(e, b.palette->data());
}

void BitmapFadeInPalette(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  if (!b.palette) return;
  NeedDisplay(e);
  const Palette target = *b.palette;
  FadeIn(e, target.data());
}

void BitmapPaletteToPalette(Engine& e) {
  Bitmap& dest = BitmapParameter(e);
  Bitmap& src = BitmapParameter(e);
  if (&dest == &src) return;
  if (src.palette) {
    OwnPalette(dest) = *src.palette;
  } else {
    dest.palette.reset();
  }
}

void BitmapGetPaletteValue(Engine& e) {
  const std::string var = e.VariableName();
  Bitmap& b = BitmapParameter(e);
  const int32_t index = e.Number();
  if (!b.palette || index < 0 || index > 255) {
    e.SetVariable(var, 0);
    return;
  }
  const uint8_t* p = b.palette->data() + 3 * index;
  e.SetVariable(var, p[0] + p[1] * 256 + p[2] * 65536);
}

void BitmapSetPaletteValue(Engine& e) {
  Bitmap& b = BitmapParameter(e);
  const int32_t index = e.Number(), value = e.Number();
  if (index < 0 || index > 255) return;
  uint8_t* p = OwnPalette(b).data() + 3 * index;
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
}

void BitmapGetBrightest(Engine& e) {
  const std::string var = e.VariableName();
  Bitmap& b = BitmapParameter(e);
  e.SetVariable(var, b.palette ? BrightestEntry(b.palette->data()) : 0);
}

void BitmapGetDarkest(Engine& e) {
  const std::string var = e.VariableName();
  Bitmap& b = BitmapParameter(e);
  e.SetVariable(var, b.palette ? DarkestEntry(b.palette->data()) : 0);
}

}  // namespace

void RegisterBitmapCommands(CommandTable& table) {
  table.Set("BITMAPALLOC", BitmapAlloc);
  table.Set("BITMAPFREE", BitmapFree);
  table.Set("BITMAPWIDTH", BitmapWidth);
  table.Set("BITMAPHEIGHT", BitmapHeight);
  table.Set("BITMAPLIST", BitmapList);
  table.Set("BITMAPCLEAR", BitmapClear);
  table.Set("BITMAPSETPIXEL", BitmapSetPixel);
  table.Set("BITMAPGETPIXEL", BitmapGetPixel);
  table.Set("BITMAPLINE", BitmapLine);
  table.Set("BITMAPBOX", BitmapBox);
  table.Set("BITMAPFILLEDBOX", BitmapFilledBox);
  table.Set("BITMAPCHANGECOLOR", BitmapChangeColor);
  table.Set("BITMAPTEXT", BitmapText);
  table.Set("BITMAPFROMSCREEN", BitmapFromScreen);
  table.Set("BITMAPTOSCREEN", BitmapToScreen);
  table.Set("BITMAPTOSCREENTRANS", BitmapToScreenTrans);
  table.Set("BITMAPTOSCREENMASK", BitmapToScreenMask);
  table.Set("BITMAPTOSCREENMERGE", BitmapToScreenMerge);
  table.Set("BITMAPTOBITMAP", BitmapToBitmap);
  table.Set("BITMAPTOBITMAPTRANS", BitmapToBitmapTrans);
  table.Set("BITMAPTOBITMAPMASK", BitmapToBitmapMask);
  table.Set("BITMAPTOBITMAPMERGE", BitmapToBitmapMerge);
  table.Set("BITMAPGETPALETTE", BitmapGetPalette);
  table.Set("BITMAPSETPALETTE", BitmapSetPalette);
  table.Set("BITMAPFADEINPALETTE", BitmapFadeInPalette);
  table.Set("BITMAPPALETTETOPALETTE", BitmapPaletteToPalette);
  table.Set("BITMAPGETPALETTEVALUE", BitmapGetPaletteValue);
  table.Set("BITMAPSETPALETTEVALUE", BitmapSetPaletteValue);
  table.Set("BITMAPGETBRIGHTESTPALETTEINDEX", BitmapGetBrightest);
  table.Set("BITMAPGETDARKESTPALETTEINDEX", BitmapGetDarkest);
}

// Copies a picture (width x height, rows back to back) onto the screen at
// (x, y) in display coordinates, clipped; the animation commands use it.
void PictureToScreen(Engine& e, const uint8_t* pixels, uint32_t width, uint32_t height, int64_t x, int64_t y,
                     int64_t sx, int64_t sy, int64_t w, int64_t h) {
  VidzoDisplayBuffer* d = e.host().Display();
  if (d == nullptr || d->Pixels == nullptr || pixels == nullptr) return;
  Copy c{x + sx, y + sy, sx, sy, w, h};
  if (!ClipCopy(c, d->Width, d->Height, width, height)) return;
  HideCursorOver(e, static_cast<int32_t>(c.dx), static_cast<int32_t>(c.dy), c.width, c.height);
  VidzoDisplayBuffer src{};
  src.Height = height;
  src.Width = width;
  src.Pitch = width;
  src.Pixels = const_cast<uint8_t*>(pixels);
  CopyBuffers(*d, src, c, CopyKind::kPlain, 0, nullptr);
  e.host().Show(uint32_t(c.dx), uint32_t(c.dy), uint32_t(c.width), uint32_t(c.height));
}

}  // namespace vidzoscript
