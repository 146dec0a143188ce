// The state the drawing commands share: the screen palette and its locks,
// the window origin, the text state and fonts, the bitmap and animation
// slots, the mouse areas and the software cursor; and the drawing helpers
// they have in common (clipped lines and boxes, text, palette fades).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "display/display_buffer.h"
#include "playback/vidzo.h"
#include "script/engine.h"

namespace vidzoscript {

inline constexpr size_t kBitmapSlots = 128;
inline constexpr size_t kAnimationSlots = 32;
inline constexpr int32_t kBitmapBase = 9000;
inline constexpr int32_t kAnimationBase = 3000;
inline constexpr size_t kMouseAreas = 128;
inline constexpr size_t kMouseLevels = 32;
inline constexpr size_t kMouseAreaName = 31;
inline constexpr uint32_t kDefaultFadeMs = 16;

inline constexpr const char* kBadAnimation = "  Bad animation parameter:\r\n    ";
inline constexpr const char* kBadBitmap = "  Bad frame parameter:\r\n    ";
inline constexpr const char* kZeroDimension = "  Zero dimension in command:\r\n    ";
inline constexpr const char* kNoMouseArea = "  Could not add mouse area in command:\r\n    ";
inline constexpr const char* kMouseLevelsFull = "  Too many mouse levels in command:\r\n    ";

using Palette = std::array<uint8_t, 768>;  // red, green, blue, 0 to 63

struct Bitmap {
  bool used = false;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width x height
  std::unique_ptr<Palette> palette;
  // A buffer record over the pixels for the blitter's copies.
  VidzoDisplayBuffer Record();
};

struct Font {
  uint32_t width = 8, height = 16;
  uint32_t first = 32, last = 175;
  uint32_t row_bytes = 1;
  const uint8_t* bits = nullptr;  // (last - first + 1) x height x row_bytes
  std::vector<uint8_t> own;       // the glyphs of a font made from a bitmap
};

struct Animation {
  VidzoHandle* handle = nullptr;
  std::vector<uint8_t> frame;  // the decoded picture, Width x Height
  std::string name;
  bool advance_pending = false;
  int target = -1;  // bitmap slot, or -1 for the screen
  int32_t x = 0, y = 0;
  bool last_drawn = false;
  int32_t last_left = 0, last_top = 0;
  uint32_t last_width = 0, last_height = 0;
};

struct MouseArea {
  std::string name;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int bitmap = -1;
};

class Screen : public FamilyState {
 public:
  Screen();
  void ResetDisplay(Engine& engine) override;
  void EndRun(Engine& engine) override;
  void ResetText();

  // Display settings for the next window.
  WindowRequest settings;
  // Palette.
  Palette palette{};
  std::array<bool, 256> locks{};
  uint32_t palette_changes = 0;
  uint32_t fade_ms = kDefaultFadeMs;
  // Origin and text.
  int32_t origin_x = 0, origin_y = 0;
  uint8_t text_colour = 7, back_colour = 0, trans_colour = 128;
  int32_t text_x = 0, text_y = 0;
  Font font;
  // Slots.
  std::array<Bitmap, kBitmapSlots> bitmaps;
  std::array<Animation, kAnimationSlots> animations;
  uint32_t track_selection = 0;
  // Mouse areas and levels.
  std::vector<MouseArea> areas;
  size_t area_base = 0;
  std::vector<std::pair<size_t, size_t>> levels;
  int checked_mouse = -1;  // -1 not yet asked
  // The software cursor.
  bool cursor_drawn = false;
  int32_t cursor_x = 0, cursor_y = 0;
  uint32_t cursor_width = 0, cursor_height = 0;
  std::vector<uint8_t> cursor_under;
  int cursor_area_bitmap = -1;  // the shape: an area's bitmap, or -1 for the arrow
  uint32_t cursor_palette_seen = 0xFFFFFFFFu;
  uint8_t cursor_outline = 0, cursor_inside = 0, cursor_key = 0;
};

Screen& ScreenOf(Engine& engine);
// The display, after the window check.
VidzoDisplayBuffer& NeedDisplay(Engine& engine);

// The built-in 8 x 16 font.
const Font& BuiltInFont();
// The arrow: 19 rows of 10 pixels, 0 outside, 1 outline, 2 inside.
inline constexpr uint32_t kArrowWidth = 10, kArrowHeight = 19;
const uint8_t* ArrowShape();

// Palette: puts `rgb` on the screen palette (unlocked entries only) and
// the screen; counts the change.
void PutPalette(Engine& engine, const uint8_t* rgb);
// Puts the screen palette as it is on the screen.
void ShowPalette(Engine& engine);
uint8_t BrightestEntry(const uint8_t* rgb);
uint8_t DarkestEntry(const uint8_t* rgb);
void FadeIn(Engine& engine, const uint8_t* target);
void FadeOut(Engine& engine);
// An 8-bit palette (as the playback library keeps it) in the 0 to 63 range.
void PaletteFrom8Bit(const uint8_t* rgb8, uint8_t* rgb6);

// Shows a rectangle of the display (clipped), hiding the cursor first when
// it overlaps.
void ShowRect(Engine& engine, int32_t x, int32_t y, int64_t width, int64_t height);
void ShowAll(Engine& engine);
// Removes the software cursor when it overlaps the rectangle.
void HideCursorOver(Engine& engine, int32_t x, int32_t y, int64_t width, int64_t height);
void HideCursor(Engine& engine);

// A pixel target: a bitmap or the display.
struct Canvas {
  uint8_t* pixels;
  uint32_t width, height, pitch;
};
Canvas CanvasOf(VidzoDisplayBuffer& display);
Canvas CanvasOf(Bitmap& bitmap);
// Clipped drawing; nothing outside the canvas is written.
void DrawLine(const Canvas& c, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint8_t colour);
void FillBox(const Canvas& c, int64_t x, int64_t y, int64_t width, int64_t height, uint8_t colour);
// The glyphs of the text at (x, y) with the current font and colours.
void DrawGlyphs(Engine& engine, const Canvas& c, int64_t x, int64_t y, const std::string& text);
// Writes text at the text position on the screen ("\n" line feed, "\b"
// backspace).
void WriteText(Engine& engine, const std::string& text);

// Bitmaps.
Bitmap& NeedBitmap(Engine& engine, int32_t handle);
int32_t NumberHandle(Engine& engine);  // a number token (the handle)
int AllocBitmap(Engine& engine, uint32_t width, uint32_t height);
void FreeBitmap(Screen& screen, int slot);

// The cursor during input waits: updates the shape for the pointer and
// draws it.
void UpdateCursor(Engine& engine);
// The mouse area under the pointer (index into areas) or -1.
int AreaUnderPointer(Engine& engine);
bool MouseAvailable(Engine& engine);

// Copies the rectangle (sx, sy, w, h) of a picture (width x height, rows
// back to back) placed at (x, y) of the display onto the display, clipped,
// and shows it.
void PictureToScreen(Engine& e, const uint8_t* pixels, uint32_t width, uint32_t height, int64_t x, int64_t y,
                     int64_t sx, int64_t sy, int64_t w, int64_t h);

// Handles window messages and the sound output, and waits a little.
void WaitALittle(Engine& engine, uint32_t milliseconds);

}  // namespace vidzoscript
