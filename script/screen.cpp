// The drawing commands' shared state and helpers.
#include "script/screen.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/glyphs.h"

namespace vidzoscript {
namespace {

// The arrow, row by row: '.' outside, 'o' outline, '#' inside.
constexpr const char* kArrowRows[kArrowHeight] = {
    "o.........", "oo........", "o#o.......", "o##o......", "o###o.....", "o####o....", "o#####o...",
    "o######o..", "o#######o.", "o########o", "o#####oooo", "o##o##o...", "o#o.o##o..", "oo..o##o..",
    "o....o##o.", ".....o##o.", "......o##o", "......o##o", ".......oo.",
};

int64_t Clamp(int64_t v, int64_t low, int64_t high) {
  return std::max(low, std::min(v, high));
}

}  // namespace

VidzoDisplayBuffer Bitmap::Record() {
  VidzoDisplayBuffer r{};
  r.Orientation = 0;
  r.Width = width;
  r.Height = height;
  r.Pitch = width;
  r.Pixels = pixels.empty() ? nullptr : pixels.data();
  return r;
}

Screen::Screen() {
  settings.title = "VidzoScript";
  ResetText();
}

void Screen::ResetText() {
  text_colour = 7;
  back_colour = 0;
  trans_colour = 128;
  font = Font{};
  font.bits = BuiltInFont().bits;
  text_x = origin_x;
  text_y = origin_y;
}

void Screen::ResetDisplay(Engine& engine) {
  (void)engine;
  origin_x = origin_y = 0;
  ResetText();
  cursor_drawn = false;
}

void Screen::EndRun(Engine& engine) {
  (void)engine;
  for (Animation& a : animations) {
    if (a.handle != nullptr) VidzoClose(a.handle);
    a = Animation{};
  }
  for (size_t i = 0; i < bitmaps.size(); ++i) FreeBitmap(*this, static_cast<int>(i));
  areas.clear();
  area_base = 0;
  levels.clear();
}

Screen& ScreenOf(Engine& engine) {
  return engine.State<Screen>();
}

VidzoDisplayBuffer& NeedDisplay(Engine& engine) {
  engine.NeedWindow();
  VidzoDisplayBuffer* d = engine.host().Display();
  if (d == nullptr || d->Pixels == nullptr) engine.Error(kNoWindow);
  return *d;
}

const Font& BuiltInFont() {
  static const Font font = [] {
    Font f;
    f.bits = platform::BuiltInGlyphs().bits;
    return f;
  }();
  return font;
}

const uint8_t* ArrowShape() {
  static const auto shape = [] {
    std::array<uint8_t, kArrowWidth * kArrowHeight> s{};
    for (uint32_t y = 0; y < kArrowHeight; ++y)
      for (uint32_t x = 0; x < kArrowWidth; ++x) {
        const char c = kArrowRows[y][x];
        s[y * kArrowWidth + x] = c == 'o' ? 1 : c == '#' ? 2 : 0;
      }
    return s;
  }();
  return shape.data();
}

// --- Palette -----------------------------------------------------------------

void ShowPalette(Engine& engine) {
  engine.host().SetPalette(ScreenOf(engine).palette.data());
}

void PutPalette(Engine& engine, const uint8_t* rgb) {
  Screen& s = ScreenOf(engine);
  for (size_t i = 0; i < 256; ++i) {
    if (s.locks[i]) continue;
    for (size_t c = 0; c < 3; ++c) s.palette[3 * i + c] = static_cast<uint8_t>(rgb[3 * i + c] & 63);
  }
  ++s.palette_changes;
  ShowPalette(engine);
}

uint8_t BrightestEntry(const uint8_t* rgb) {
  uint32_t best = 0, best_key = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const uint32_t key = std::min({r, g, b}) * 65536 + r + g + b;
    if (i == 0 || key >= best_key) best = i, best_key = key;
  }
  return static_cast<uint8_t>(best);
}

uint8_t DarkestEntry(const uint8_t* rgb) {
  uint32_t best = 0, best_key = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const uint32_t key = std::max({r, g, b}) * 65536 + r + g + b;
    if (i == 0 || key < best_key) best = i, best_key = key;
  }
  return static_cast<uint8_t>(best);
}

void PaletteFrom8Bit(const uint8_t* rgb8, uint8_t* rgb6) {
  for (size_t i = 0; i < 768; ++i) rgb6[i] = static_cast<uint8_t>(rgb8[i] >> 2);
}

namespace {

void FadeWait(Engine& engine, uint32_t& last) {
  const uint32_t step = ScreenOf(engine).fade_ms;
  for (;;) {
    engine.host().Pump();
    const uint32_t now = platform::TimeMs();
    if (now - last >= step || !engine.host().KeepWaiting()) {
      last = now;
      return;
    }
    engine.host().Idle(std::min<uint32_t>(step - (now - last), 5));
  }
}

}  // namespace

void FadeIn(Engine& engine, const uint8_t* target) {
  Palette copy;
  std::memcpy(copy.data(), target, 768);
  uint32_t last = platform::TimeMs();
  for (int offset = 63; offset >= 3; offset -= 4) {
    Palette step;
    for (size_t i = 0; i < 768; ++i) step[i] = static_cast<uint8_t>(std::max(0, int(copy[i] & 63) - offset));
    PutPalette(engine, step.data());
    FadeWait(engine, last);
  }
  PutPalette(engine, copy.data());
}

void FadeOut(Engine& engine) {
  uint32_t last = platform::TimeMs();
  for (int n = 0; n < 16; ++n) {
    Palette step = ScreenOf(engine).palette;
    for (uint8_t& v : step) v = static_cast<uint8_t>(v >= 4 ? v - 4 : 0);
    PutPalette(engine, step.data());
    FadeWait(engine, last);
  }
}

// --- Showing and the cursor ----------------------------------------------------

namespace {

bool Overlap(int64_t ax, int64_t ay, int64_t aw, int64_t ah, int64_t bx, int64_t by, int64_t bw, int64_t bh) {
  return ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah;
}

void ShowClipped(Engine& engine, int64_t x, int64_t y, int64_t width, int64_t height) {
  VidzoDisplayBuffer* d = engine.host().Display();
  if (d == nullptr) return;
  const int64_t left = Clamp(x, 0, d->Width), top = Clamp(y, 0, d->Height);
  const int64_t right = Clamp(x + width, 0, d->Width), bottom = Clamp(y + height, 0, d->Height);
  if (right <= left || bottom <= top) return;
  engine.host().Show(static_cast<uint32_t>(left), static_cast<uint32_t>(top), static_cast<uint32_t>(right - left),
                     static_cast<uint32_t>(bottom - top));
}

}  // namespace

void HideCursor(Engine& engine) {
  Screen& s = ScreenOf(engine);
  if (!s.cursor_drawn) return;
  s.cursor_drawn = false;
  VidzoDisplayBuffer* d = engine.host().Display();
  if (d == nullptr || d->Pixels == nullptr) return;
  const Canvas c = CanvasOf(*d);
  for (uint32_t row = 0; row < s.cursor_height; ++row) {
    const int64_t y = s.cursor_y + row;
    if (y < 0 || y >= c.height) continue;
    for (uint32_t col = 0; col < s.cursor_width; ++col) {
      const int64_t x = s.cursor_x + col;
      if (x < 0 || x >= c.width) continue;
      c.pixels[size_t(y) * c.pitch + size_t(x)] = s.cursor_under[size_t(row) * s.cursor_width + col];
    }
  }
  ShowClipped(engine, s.cursor_x, s.cursor_y, s.cursor_width, s.cursor_height);
}

void HideCursorOver(Engine& engine, int32_t x, int32_t y, int64_t width, int64_t height) {
  Screen& s = ScreenOf(engine);
  if (s.cursor_drawn && Overlap(x, y, width, height, s.cursor_x, s.cursor_y, s.cursor_width, s.cursor_height))
    HideCursor(engine);
}

void ShowRect(Engine& engine, int32_t x, int32_t y, int64_t width, int64_t height) {
  ShowClipped(engine, x, y, width, height);
}

void ShowAll(Engine& engine) {
  VidzoDisplayBuffer* d = engine.host().Display();
  if (d != nullptr) ShowClipped(engine, 0, 0, d->Width, d->Height);
}

bool MouseAvailable(Engine& engine) {
  Screen& s = ScreenOf(engine);
  if (s.checked_mouse < 0) s.checked_mouse = engine.host().MousePresent() ? 1 : 0;
  return s.checked_mouse == 1;
}

int AreaUnderPointer(Engine& engine) {
  Screen& s = ScreenOf(engine);
  int32_t x = -1, y = -1;
  if (!engine.host().Pointer(x, y)) return -1;
  for (size_t i = s.areas.size(); i > s.area_base; --i) {
    const MouseArea& a = s.areas[i - 1];
    if (a.left <= x && x < a.right && a.top <= y && y < a.bottom) return static_cast<int>(i - 1);
  }
  return -1;
}

void UpdateCursor(Engine& engine) {
  Screen& s = ScreenOf(engine);
  VidzoDisplayBuffer* d = engine.host().Display();
  if (!MouseAvailable(engine) || d == nullptr || d->Pixels == nullptr) return;
  int32_t x = -1, y = -1;
  if (!engine.host().Pointer(x, y)) {
    HideCursor(engine);
    return;
  }
  const int area = AreaUnderPointer(engine);
  int shape = area >= 0 ? s.areas[size_t(area)].bitmap : -1;
  if (shape >= 0 && (!s.bitmaps[size_t(shape)].used || s.bitmaps[size_t(shape)].pixels.empty())) shape = -1;
  const uint32_t w = shape >= 0 ? s.bitmaps[size_t(shape)].width : kArrowWidth;
  const uint32_t h = shape >= 0 ? s.bitmaps[size_t(shape)].height : kArrowHeight;
  // The shape lies inside the display.
  x = static_cast<int32_t>(Clamp(x, 0, std::max<int64_t>(0, int64_t(d->Width) - w)));
  y = static_cast<int32_t>(Clamp(y, 0, std::max<int64_t>(0, int64_t(d->Height) - h)));
  if (s.cursor_drawn && s.cursor_x == x && s.cursor_y == y && s.cursor_area_bitmap == shape &&
      s.cursor_palette_seen == s.palette_changes)
    return;
  HideCursor(engine);
  if (s.cursor_palette_seen != s.palette_changes) {
    s.cursor_palette_seen = s.palette_changes;
    s.cursor_outline = DarkestEntry(s.palette.data());
    s.cursor_inside = BrightestEntry(s.palette.data());
    s.cursor_key = 0;
    while (s.cursor_key == s.cursor_outline || s.cursor_key == s.cursor_inside) ++s.cursor_key;
  }
  s.cursor_area_bitmap = shape;
  s.cursor_x = x;
  s.cursor_y = y;
  s.cursor_width = w;
  s.cursor_height = h;
  s.cursor_under.assign(size_t(w) * h, 0);
  const Canvas c = CanvasOf(*d);
  for (uint32_t row = 0; row < h; ++row) {
    const int64_t py = y + int64_t(row);
    if (py < 0 || py >= c.height) continue;
    for (uint32_t col = 0; col < w; ++col) {
      const int64_t px = x + int64_t(col);
      if (px < 0 || px >= c.width) continue;
      uint8_t& pixel = c.pixels[size_t(py) * c.pitch + size_t(px)];
      s.cursor_under[size_t(row) * w + col] = pixel;
      if (shape >= 0) {
        const uint8_t v = s.bitmaps[size_t(shape)].pixels[size_t(row) * w + col];
        if (v != s.trans_colour) pixel = v;
      } else {
        const uint8_t kind = ArrowShape()[row * kArrowWidth + col];
        const uint8_t v = kind == 1 ? s.cursor_outline : kind == 2 ? s.cursor_inside : s.cursor_key;
        if (v != s.cursor_key) pixel = v;
      }
    }
  }
  s.cursor_drawn = true;
  ShowClipped(engine, x, y, w, h);
}

// --- Canvases, lines, boxes, text -----------------------------------------------

Canvas CanvasOf(VidzoDisplayBuffer& display) {
  return Canvas{display.Pixels, display.Width, display.Height, display.Pitch};
}

Canvas CanvasOf(Bitmap& bitmap) {
  return Canvas{bitmap.pixels.empty() ? nullptr : bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width};
}

namespace {

__extension__ typedef __int128 Wide;  // products of two 64-bit differences

// floor(a / b) for b > 0.
Wide FloorDiv(Wide a, Wide b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

void DrawLine(const Canvas& c, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint8_t colour) {
  if (c.pixels == nullptr || c.width == 0 || c.height == 0) return;
  // Along the longer axis, one point per step, the other coordinate rounded
  // from the exact line; only the steps inside the canvas are walked, so a
  // line far beyond it costs no more than one across it.
  const int64_t dx = x2 - x1, dy = y2 - y1;
  const bool along_x = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  const int64_t a1 = along_x ? x1 : y1, a2 = along_x ? x2 : y2;  // major axis
  const int64_t b1 = along_x ? y1 : x1, b2 = along_x ? y2 : x2;  // minor axis
  const int64_t limit_a = along_x ? c.width : c.height, limit_b = along_x ? c.height : c.width;
  const int64_t low = std::max<int64_t>(std::min(a1, a2), 0), high = std::min<int64_t>(std::max(a1, a2), limit_a - 1);
  for (int64_t a = low; a <= high; ++a) {
    int64_t b = b1;
    if (a2 != a1) {
      Wide num = Wide(a - a1) * (b2 - b1), den = a2 - a1;
      if (den < 0) num = -num, den = -den;
      b = static_cast<int64_t>(b1 + FloorDiv(2 * num + den, 2 * den));
    }
    if (b < 0 || b >= limit_b) continue;
    const int64_t x = along_x ? a : b, y = along_x ? b : a;
    c.pixels[size_t(y) * c.pitch + size_t(x)] = colour;
  }
}

void FillBox(const Canvas& c, int64_t x, int64_t y, int64_t width, int64_t height, uint8_t colour) {
  if (c.pixels == nullptr || width <= 0 || height <= 0) return;
  const int64_t left = Clamp(x, 0, c.width), right = Clamp(x + width, 0, c.width);
  const int64_t top = Clamp(y, 0, c.height), bottom = Clamp(y + height, 0, c.height);
  for (int64_t row = top; row < bottom; ++row)
    if (right > left) std::memset(c.pixels + size_t(row) * c.pitch + size_t(left), colour, size_t(right - left));
}

void DrawGlyphs(Engine& engine, const Canvas& c, int64_t x, int64_t y, const std::string& text) {
  Screen& s = ScreenOf(engine);
  const Font& f = s.font;
  const platform::GlyphFont font{f.width, f.height, f.first, f.last, f.row_bytes, f.bits};
  platform::DrawGlyphText(font, {c.pixels, int64_t(c.pitch), int64_t(c.width), int64_t(c.height)}, x, y, text,
                          s.text_colour, s.back_colour, s.text_colour != s.trans_colour,
                          s.back_colour != s.trans_colour);
}

void WriteText(Engine& engine, const std::string& text) {
  Screen& s = ScreenOf(engine);
  VidzoDisplayBuffer& d = NeedDisplay(engine);
  const int64_t w = s.font.width, h = s.font.height;
  size_t start = 0;
  while (start < text.size()) {
    const char ch = text[start];
    if (ch == '\n') {
      if (s.text_y + 2 * h <= int64_t(d.Height)) {
        s.text_x = s.origin_x;
        s.text_y += static_cast<int32_t>(h);
      }
      ++start;
      continue;
    }
    if (ch == '\b') {
      s.text_x = s.text_x < 9 ? 0 : static_cast<int32_t>(s.text_x - w);
      HideCursorOver(engine, s.text_x, s.text_y, w, h);
      FillBox(CanvasOf(d), s.text_x, s.text_y, w, h, s.back_colour);
      ShowRect(engine, s.text_x, s.text_y, w, h);
      ++start;
      continue;
    }
    size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\b') ++end;
    std::string run = text.substr(start, end - start);
    start = end;
    // Cut where the run would pass the right edge.
    const int64_t room = (int64_t(d.Width) - s.text_x) / std::max<int64_t>(w, 1);
    if (room <= 0) continue;
    if (int64_t(run.size()) > room) run.resize(size_t(room));
    HideCursorOver(engine, s.text_x, s.text_y, int64_t(run.size()) * w, h);
    DrawGlyphs(engine, CanvasOf(d), s.text_x, s.text_y, run);
    ShowRect(engine, s.text_x, s.text_y, int64_t(run.size()) * w, h);
    s.text_x += static_cast<int32_t>(int64_t(run.size()) * w);
  }
}

// --- Bitmaps ---------------------------------------------------------------------

int32_t NumberHandle(Engine& engine) {
  return engine.Number();
}

Bitmap& NeedBitmap(Engine& engine, int32_t handle) {
  Screen& s = ScreenOf(engine);
  const int64_t slot = int64_t(handle) - kBitmapBase;
  if (slot < 0 || slot >= int64_t(kBitmapSlots) || !s.bitmaps[size_t(slot)].used) engine.ErrorWithCommand(kBadBitmap);
  return s.bitmaps[size_t(slot)];
}

int AllocBitmap(Engine& engine, uint32_t width, uint32_t height) {
  Screen& s = ScreenOf(engine);
  // Sizes beyond what a picture of the toolkit may have are refused (as a
  // full table is).
  if (width > VDZ_MAX_SIDE || height > VDZ_MAX_SIDE || uint64_t(width) * height > VDZ_MAX_PIXELS) return -1;
  for (size_t i = 0; i < s.bitmaps.size(); ++i) {
    Bitmap& b = s.bitmaps[i];
    if (b.used) continue;
    b.used = true;
    b.width = width;
    b.height = height;
    b.pixels.assign(size_t(width) * height, 0);
    b.palette.reset();
    return static_cast<int>(i);
  }
  return -1;
}

void FreeBitmap(Screen& screen, int slot) {
  Bitmap& b = screen.bitmaps[size_t(slot)];
  b.used = false;
  b.width = b.height = 0;
  std::vector<uint8_t>().swap(b.pixels);
  b.palette.reset();
  if (screen.cursor_area_bitmap == slot) screen.cursor_area_bitmap = -1;
  for (MouseArea& a : screen.areas)
    if (a.bitmap == slot) a.bitmap = -1;
  for (Animation& a : screen.animations)
    if (a.target == slot) a.target = -1;
}

void WaitALittle(Engine& engine, uint32_t milliseconds) {
  engine.host().Pump();
  engine.host().Idle(milliseconds);
}

}  // namespace vidzoscript
