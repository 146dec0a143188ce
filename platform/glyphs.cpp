#include "platform/glyphs.h"

namespace platform {
namespace {

const uint8_t kFontBits[] = {
#include "platform/fonts/font_8x16.inc"
};
static_assert(sizeof kFontBits == 144 * 16, "characters 32 to 175, 16 rows each");

}  // namespace

const GlyphFont& BuiltInGlyphs() {
  static const GlyphFont font = [] {
    GlyphFont f;
    f.bits = kFontBits;
    return f;
  }();
  return font;
}

void DrawGlyphText(const GlyphFont& f, const GlyphCanvas& c, int64_t x, int64_t y, std::string_view text,
                   uint8_t fore, uint8_t back, bool draw_fore, bool draw_back) {
  if (c.pixels == nullptr || f.bits == nullptr) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t code = static_cast<uint8_t>(text[i]);
    const uint8_t* glyph = code >= f.first && code <= f.last
                               ? f.bits + size_t(code - f.first) * f.height * f.row_bytes
                               : nullptr;
    const int64_t gx = x + int64_t(i) * f.width;
    for (uint32_t row = 0; row < f.height; ++row) {
      const int64_t py = y + row;
      if (py < 0 || py >= c.height) continue;
      for (uint32_t col = 0; col < f.width; ++col) {
        const int64_t px = gx + col;
        if (px < 0 || px >= c.width) continue;
        const bool set = glyph != nullptr && (glyph[row * f.row_bytes + col / 8] & (0x80 >> (col % 8))) != 0;
        if (set ? draw_fore : draw_back) c.pixels[size_t(py) * c.pitch + size_t(px)] = set ? fore : back;
      }
    }
  }
}

}  // namespace platform
