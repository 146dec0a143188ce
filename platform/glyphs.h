// The toolkit's built-in 8 x 16 font (characters 32 to 175) and drawing
// text with a bitmap font into 8-bit pixels: the script player's text and
// the tools' status window both draw with it.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// A bitmap font: glyphs of characters first to last, `height` rows of
// `row_bytes` bytes each, the leftmost pixel in the top bit.
struct GlyphFont {
  uint32_t width = 8, height = 16;
  uint32_t first = 32, last = 175;
  uint32_t row_bytes = 1;
  const uint8_t* bits = nullptr;
};

// The built-in font.
const GlyphFont& BuiltInGlyphs();

// 8-bit pixels to draw into; nothing outside width x height is touched.
struct GlyphCanvas {
  uint8_t* pixels = nullptr;
  int64_t pitch = 0, width = 0, height = 0;
};

// Draws text with its top-left corner at (x, y), one glyph width per
// character: set glyph pixels become `fore` when draw_fore, clear ones
// `back` when draw_back. Characters outside the font draw as blanks.
void DrawGlyphText(const GlyphFont& font, const GlyphCanvas& canvas, int64_t x, int64_t y,
                   std::string_view text, uint8_t fore, uint8_t back, bool draw_fore, bool draw_back);

}  // namespace platform
