// Screen and text commands: the display window, its palette and locks,
// drawing on it, and text in the built-in font or a font made from a
// bitmap.
#include <algorithm>
#include <cstring>

#include "script/engine.h"
#include "script/families.h"
#include "script/screen.h"

namespace vidzoscript {
namespace {

// Screen coordinates given by a script are relative to the window origin.
int64_t ScreenX(Engine& e, int32_t x) {
  return int64_t(x) + ScreenOf(e).origin_x;
}
int64_t ScreenY(Engine& e, int32_t y) {
  return int64_t(y) + ScreenOf(e).origin_y;
}

void ScreenGraphics(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t width = e.Number(), height = e.Number();
  if (width == 0 || height == 0) e.ErrorWithCommand(kZeroDimension);
  Screen& s = ScreenOf(e);
  HideCursor(e);
  WindowRequest request = s.settings;
  // A negative size is taken as its magnitude, limited to a picture the
  // toolkit can show.
  request.width = static_cast<uint32_t>(std::min<int64_t>(std::abs(int64_t(width)), VDZ_MAX_SIDE));
  request.height = static_cast<uint32_t>(std::min<int64_t>(std::abs(int64_t(height)), VDZ_MAX_SIDE));
  VidzoDisplayBuffer* d = e.host().OpenWindow(request);
  if (d == nullptr) {
    e.SetVariable(var, 0);
    return;
  }
  s.areas.resize(s.area_base);
  s.cursor_area_bitmap = -1;
  s.cursor_drawn = false;
  s.cursor_palette_seen = 0xFFFFFFFFu;
  Palette ramps;
  for (uint32_t i = 0; i < 64; ++i) {
    const auto v = static_cast<uint8_t>(i);
    const uint8_t entries[4][3] = {{v, v, v}, {v, 0, 0}, {0, v, 0}, {0, 0, v}};
    for (uint32_t r = 0; r < 4; ++r) std::memcpy(&ramps[3 * (64 * r + i)], entries[r], 3);
  }
  PutPalette(e, ramps.data());
  s.ResetText();
  s.origin_x = static_cast<int32_t>((int64_t(d->Width) - request.width) / 2);
  s.origin_y = static_cast<int32_t>((int64_t(d->Height) - request.height) / 2);
  s.text_x = s.origin_x;
  s.text_y = s.origin_y;
  ShowAll(e);
  e.SetVariable(var, 1);
}

void ScreenText(Engine& e) {
  e.TrimParameters();
  Screen& s = ScreenOf(e);
  s.cursor_drawn = false;
  e.host().ResetDisplay();
  s.origin_x = s.origin_y = 0;
  s.ResetText();
}

void ScreenSettings(Engine& e) {
  const int32_t kind = e.Number();
  if (kind >= 0 && kind <= 4) ScreenOf(e).settings.kind = static_cast<uint32_t>(kind);
}

void ScreenWindowBorder(Engine& e) {
  const int32_t style = e.Number();
  ScreenOf(e).settings.border = style == 1 || style == 2 ? static_cast<uint32_t>(style) : 0;
}

void ScreenWindowTitle(Engine& e) {
  const std::string title = e.Text();
  Screen& s = ScreenOf(e);
  s.settings.title = title;
  if (e.host().WindowExists()) {
    e.host().SetTitle(title);
  } else {
    s.settings.no_caption = title.empty();
  }
}

void ScreenWindowPos(Engine& e) {
  const int32_t x = e.Number(), y = e.Number();
  Screen& s = ScreenOf(e);
  s.settings.x = x;
  s.settings.y = y;
  if (e.host().WindowExists()) e.host().MoveWindow(x, y);
}

void ScreenWindowAutopause(Engine& e) {
  e.SetAutopause(e.Number() != 0);
}

void ScreenWindowHasFocus(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, e.host().WindowExists() && e.host().WindowHasFocus() ? 1 : 0);
}

void ScreenWindowHwnd(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, e.host().WindowExists() ? std::to_string(e.host().WindowId()) : std::string("0"));
}

void ScreenWindowHpal(Engine& e) {
  const std::string var = e.VariableName();
  NeedDisplay(e);
  // The palette belongs to the window: it is named by the window's number.
  e.SetVariable(var, std::to_string(e.host().WindowId()));
}

void ScreenWidth(Engine& e) {
  const std::string var = e.VariableName();
  VidzoDisplayBuffer* d = e.host().WindowExists() ? e.host().Display() : nullptr;
  e.SetVariable(var, d != nullptr ? static_cast<int32_t>(d->Width) : 80);
}

void ScreenHeight(Engine& e) {
  const std::string var = e.VariableName();
  VidzoDisplayBuffer* d = e.host().WindowExists() ? e.host().Display() : nullptr;
  e.SetVariable(var, d != nullptr ? static_cast<int32_t>(d->Height) : 25);
}

void ScreenInfo(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, e.host().WindowExists() ? e.host().DescribeDisplay() : std::string());
}

void ScreenAdjustXY(Engine& e) {
  const int32_t x = e.Number(), y = e.Number();
  Screen& s = ScreenOf(e);
  s.origin_x = s.text_x = x;
  s.origin_y = s.text_y = y;
}

void ClearScreen(Engine& e, uint8_t colour) {
  VidzoDisplayBuffer& d = NeedDisplay(e);
  HideCursor(e);
  FillBox(CanvasOf(d), 0, 0, d.Width, d.Height, colour);
  ShowAll(e);
}

void ScreenClear(Engine& e) {
  const int32_t colour = e.Number();
  ClearScreen(e, static_cast<uint8_t>(colour));
}

void ScreenFadeOutClear(Engine& e) {
  const int32_t colour = e.Number();
  NeedDisplay(e);
  FadeOut(e);
  ClearScreen(e, static_cast<uint8_t>(colour));
}

void ScreenFadeSpeed(Engine& e) {
  const int32_t ms = e.Number();
  // A step lasts at most a second, so that no fade can hold the run long.
  ScreenOf(e).fade_ms = static_cast<uint32_t>(std::clamp(ms, 0, 1000));
}

void ScreenSetPixel(Engine& e) {
  const int32_t x = e.Number(), y = e.Number(), colour = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  const int64_t px = ScreenX(e, x), py = ScreenY(e, y);
  HideCursorOver(e, static_cast<int32_t>(px), static_cast<int32_t>(py), 1, 1);
  FillBox(CanvasOf(d), px, py, 1, 1, static_cast<uint8_t>(colour));
  ShowRect(e, static_cast<int32_t>(px), static_cast<int32_t>(py), 1, 1);
}

void ScreenGetPixel(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t x = e.Number(), y = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  HideCursor(e);
  const int64_t px = ScreenX(e, x), py = ScreenY(e, y);
  // A point outside the display reads as 0.
  int32_t value = 0;
  if (px >= 0 && py >= 0 && px < d.Width && py < d.Height) value = d.Pixels[size_t(py) * d.Pitch + size_t(px)];
  e.SetVariable(var, value);
}

// The rectangle a drawing covers, for showing it and hiding the cursor.
void Covered(Engine& e, int64_t x1, int64_t y1, int64_t x2, int64_t y2, bool before) {
  const int64_t left = std::min(x1, x2), top = std::min(y1, y2);
  const int64_t w = std::max(x1, x2) - left + 1, h = std::max(y1, y2) - top + 1;
  const auto cx = static_cast<int32_t>(std::clamp<int64_t>(left, INT32_MIN / 2, INT32_MAX / 2));
  const auto cy = static_cast<int32_t>(std::clamp<int64_t>(top, INT32_MIN / 2, INT32_MAX / 2));
  if (before) {
    HideCursorOver(e, cx, cy, w, h);
  } else {
    ShowRect(e, cx, cy, w, h);
  }
}

void ScreenLine(Engine& e) {
  const int32_t x1 = e.Number(), y1 = e.Number(), x2 = e.Number(), y2 = e.Number(), colour = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  const int64_t ax = ScreenX(e, x1), ay = ScreenY(e, y1), bx = ScreenX(e, x2), by = ScreenY(e, y2);
  Covered(e, ax, ay, bx, by, true);
  DrawLine(CanvasOf(d), ax, ay, bx, by, static_cast<uint8_t>(colour));
  Covered(e, ax, ay, bx, by, false);
}

void ScreenBox(Engine& e) {
  const int32_t x = e.Number(), y = e.Number(), w = e.Number(), h = e.Number(), colour = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  const int64_t left = ScreenX(e, x), top = ScreenY(e, y);
  const int64_t right = left + int64_t(w) - 1, bottom = top + int64_t(h) - 1;
  const auto c = static_cast<uint8_t>(colour);
  Covered(e, left, top, right, bottom, true);
  const Canvas canvas = CanvasOf(d);
  DrawLine(canvas, left, top, right, top, c);
  DrawLine(canvas, right, top, right, bottom, c);
  DrawLine(canvas, right, bottom, left, bottom, c);
  DrawLine(canvas, left, bottom, left, top, c);
  Covered(e, left, top, right, bottom, false);
}

void ScreenFilledBox(Engine& e) {
  const int32_t x = e.Number(), y = e.Number(), w = e.Number(), h = e.Number(), colour = e.Number();
  VidzoDisplayBuffer& d = NeedDisplay(e);
  const int64_t left = ScreenX(e, x), top = ScreenY(e, y);
  if (w <= 0 || h <= 0) return;
  Covered(e, left, top, left + w - 1, top + h - 1, true);
  FillBox(CanvasOf(d), left, top, w, h, static_cast<uint8_t>(colour));
  Covered(e, left, top, left + w - 1, top + h - 1, false);
}

void ScreenPaletteLock(Engine& e) {
  const int32_t first = e.Number(), count = e.Number(), flag = e.Number();
  if (first < 0 || first >= 256 || count <= 0) return;
  const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t(first) + count, 256));
  for (int32_t i = first; i < end; ++i) ScreenOf(e).locks[size_t(i)] = flag != 0;
}

void ScreenForcePaletteZeroBlack(Engine& e) {
  const int32_t flag = e.Number();
  Screen& s = ScreenOf(e);
  if (flag != 0) {
    s.palette[0] = s.palette[1] = s.palette[2] = 0;
    s.locks[0] = true;
  } else {
    s.locks[0] = false;
  }
  ++s.palette_changes;
  if (e.host().WindowExists()) ShowPalette(e);
}

void ScreenGetBrightest(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, BrightestEntry(ScreenOf(e).palette.data()));
}

void ScreenGetDarkest(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, DarkestEntry(ScreenOf(e).palette.data()));
}

// --- Text ------------------------------------------------------------------------

void WriteLine(Engine& e, const std::string& text, bool line_break) {
  WriteText(e, line_break ? text + "\n" : text);
}

void Text(Engine& e) {
  const std::string text = e.Text();
  NeedDisplay(e);
  if (!WriteToPrintFile(e, text)) WriteLine(e, text, true);
}

void TextNoCr(Engine& e) {
  const std::string text = e.Text();
  NeedDisplay(e);
  WriteLine(e, text, false);
}

void TextBegin(Engine& e) {
  e.TrimParameters();
  NeedDisplay(e);
  std::string line;
  while (e.NextTextLine(line)) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    const std::string trimmed = Trim(buffer.data());
    const std::string first = trimmed.substr(0, trimmed.find_first_of(" \t"));
    if (UpperCase(first) == "TEXTEND") return;
    const std::string expanded = e.ExpandVariables(trimmed);
    if (!WriteToPrintFile(e, expanded)) WriteLine(e, expanded, true);
  }
  // The script ended before TEXTEND: it is left.
  e.SetControl(kControlLeaveScript);
}

void TextColor(Engine& e) {
  ScreenOf(e).text_colour = static_cast<uint8_t>(e.Number());
}
void TextBackColor(Engine& e) {
  ScreenOf(e).back_colour = static_cast<uint8_t>(e.Number());
}
void TextTransColor(Engine& e) {
  ScreenOf(e).trans_colour = static_cast<uint8_t>(e.Number());
}

void TextSetXY(Engine& e) {
  const int32_t x = e.Number(), y = e.Number();
  Screen& s = ScreenOf(e);
  s.text_x = static_cast<int32_t>(std::clamp<int64_t>(ScreenX(e, x), INT32_MIN / 2, INT32_MAX / 2));
  s.text_y = static_cast<int32_t>(std::clamp<int64_t>(ScreenY(e, y), INT32_MIN / 2, INT32_MAX / 2));
}

void TextX(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, ScreenOf(e).text_x - ScreenOf(e).origin_x);
}

void TextY(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, ScreenOf(e).text_y - ScreenOf(e).origin_y);
}

void TextFontFromBitmap(Engine& e) {
  const int32_t handle = e.Number();
  const int32_t width = e.Number(), height = e.Number(), first = e.Number(), last = e.Number();
  Screen& s = ScreenOf(e);
  if (handle == 0) {
    s.font = Font{};
    s.font.bits = BuiltInFont().bits;
    return;
  }
  Bitmap& b = NeedBitmap(e, handle);
  // Glyph cells of at least one pixel and at most the bitmap's size, for
  // characters 0 to 255.
  if (width <= 0 || height <= 0 || uint32_t(width) > b.width || uint32_t(height) > b.height || first < 0 ||
      last > 255 || first > last)
    return;
  Font f;
  f.width = static_cast<uint32_t>(width);
  f.height = static_cast<uint32_t>(height);
  f.first = static_cast<uint32_t>(first);
  f.last = static_cast<uint32_t>(last);
  f.row_bytes = (f.width + 7) / 8;
  f.own.assign(size_t(f.last - f.first + 1) * f.height * f.row_bytes, 0);
  uint32_t cx = 0, cy = 0;
  for (uint32_t ch = 0; ch <= f.last - f.first; ++ch) {
    uint8_t* glyph = f.own.data() + size_t(ch) * f.height * f.row_bytes;
    for (uint32_t row = 0; row < f.height; ++row)
      for (uint32_t col = 0; col < f.width; ++col) {
        const uint64_t x = uint64_t(cx) + col, y = uint64_t(cy) + row;
        if (x >= b.width || y >= b.height) continue;
        if (b.pixels[size_t(y) * b.width + size_t(x)] != 0)
          glyph[row * f.row_bytes + col / 8] |= static_cast<uint8_t>(0x80 >> (col % 8));
      }
    cx += f.width;
    if (cx + f.width > b.width) {  // this cell ended at or beyond the edge
      cx = 0;
      cy += f.height;
    }
  }
  f.bits = f.own.data();
  s.font = std::move(f);
  s.font.bits = s.font.own.data();
}

}  // namespace

void WriteScreenLine(Engine& engine, const std::string& line) {
  VidzoDisplayBuffer* d = engine.host().Display();
  if (d == nullptr || d->Pixels == nullptr) return;
  WriteText(engine, line + "\n");
}

void RegisterScreenCommands(CommandTable& table) {
  table.Set("SCREENGRAPHICS", ScreenGraphics);
  table.Set("SCREENTEXT", ScreenText);
  table.Set("SCREENSETTINGS", ScreenSettings);
  table.Set("SCREENWINDOWBORDER", ScreenWindowBorder);
  table.Set("SCREENWINDOWTITLE", ScreenWindowTitle);
  table.Set("SCREENWINDOWPOS", ScreenWindowPos);
  table.Set("SCREENWINDOWAUTOPAUSE", ScreenWindowAutopause);
  table.Set("SCREENWINDOWHASFOCUS", ScreenWindowHasFocus);
  table.Set("SCREENWINDOWHWND", ScreenWindowHwnd);
  table.Set("SCREENWINDOWHPAL", ScreenWindowHpal);
  table.Set("SCREENWIDTH", ScreenWidth);
  table.Set("SCREENHEIGHT", ScreenHeight);
  table.Set("SCREENINFO", ScreenInfo);
  table.Set("SCREENADJUSTXY", ScreenAdjustXY);
  table.Set("SCREENCLEAR", ScreenClear);
  table.Set("SCREENFADEOUTCLEAR", ScreenFadeOutClear);
  table.Set("SCREENFADESPEED", ScreenFadeSpeed);
  table.Set("SCREENSETPIXEL", ScreenSetPixel);
  table.Set("SCREENGETPIXEL", ScreenGetPixel);
  table.Set("SCREENLINE", ScreenLine);
  table.Set("SCREENBOX", ScreenBox);
  table.Set("SCREENFILLEDBOX", ScreenFilledBox);
  table.Set("SCREENPALETTELOCK", ScreenPaletteLock);
  table.Set("SCREENFORCEPALETTEZEROBLACK", ScreenForcePaletteZeroBlack);
  table.Set("SCREENGETBRIGHTESTPALETTEINDEX", ScreenGetBrightest);
  table.Set("SCREENGETDARKESTPALETTEINDEX", ScreenGetDarkest);
}

void RegisterTextCommands(CommandTable& table) {
  table.Set("TEXT", Text);
  table.Set("TEXTNOCR", TextNoCr);
  table.Set("TEXTBEGIN", TextBegin);
  table.Set("TEXTCOLOR", TextColor);
  table.Set("TEXTBACKCOLOR", TextBackColor);
  table.Set("TEXTTRANSCOLOR", TextTransColor);
  table.Set("TEXTSETXY", TextSetXY);
  table.Set("TEXTX", TextX);
  table.Set("TEXTY", TextY);
  table.Set("TEXTFONTFROMBITMAP", TextFontFromBitmap);
}

}  // namespace vidzoscript
