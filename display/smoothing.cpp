// The smoothing tables: for each pair of palette indices, the colour halfway
// between them, as the nearest palette index (8-bit output) or as a 16-bit
// pixel.
#include <algorithm>
#include <cstdint>

#include "display/blit_internal.h"
#include "playback/vidzo.h"

namespace vidzo::blit {

void GiveSoundATurn() {
  if (auto refill = VidzoProcess()->Sound.refill) refill();
}

void BuildSmooth8(std::uint8_t* table, const std::uint8_t* palette) {
  // The indices by red, ties by index.
  std::uint32_t keys[256];
  for (std::uint32_t i = 0; i < 256; ++i) keys[i] = palette[3 * i] * 256u + i;
  std::sort(keys, keys + 256);
  for (int a = 0; a < 256; ++a) {
    table[a * 257] = static_cast<std::uint8_t>(a);
    const int ra = palette[3 * a], ga = palette[3 * a + 1], ba = palette[3 * a + 2];
    for (int b = a + 1; b < 256; ++b) {
      const int mr = (ra + palette[3 * b]) >> 1;
      const int mg = (ga + palette[3 * b + 1]) >> 1;
      const int mb = (ba + palette[3 * b + 2]) >> 1;
      int best = 0x40000, choice = 0;
      for (const std::uint32_t key : keys) {
        const int red = static_cast<int>(key >> 8), c = static_cast<int>(key & 0xFFu);
        const int dr2 = (mr - red) * (mr - red);
        if (dr2 < best) {
          const int dg = mg - palette[3 * c + 1], db = mb - palette[3 * c + 2];
          const int d = dr2 + dg * dg + db * db;
          if (d < best) best = d, choice = c;
        } else if (red >= mr) {
          break;  // every later candidate is redder still
        }
      }
      table[a * 256 + b] = table[b * 256 + a] = static_cast<std::uint8_t>(choice);
    }
  }
}

void BuildSmooth16(std::uint16_t* table, const std::uint8_t* palette, std::uint32_t format) {
  std::uint32_t rgb[256];
  for (int i = 0; i < 256; ++i)
    rgb[i] =
        (std::uint32_t{palette[3 * i]} << 16) | (std::uint32_t{palette[3 * i + 1]} << 8) | palette[3 * i + 2];
  const bool six_green = format == VIDZO_BLIT_565;
  for (int a = 0; a < 256; ++a) {
    const std::uint32_t half_a = rgb[a] & 0xFEFEFEu;
    for (int b = 0; b < 256; ++b) {
      const std::uint32_t mean = (half_a + (rgb[b] & 0xFEFEFEu)) >> 1;
      const std::uint32_t r = mean >> 16, g = (mean >> 8) & 0xFFu, bl = mean & 0xFFu;
      table[a * 256 + b] = static_cast<std::uint16_t>(six_green ? (r >> 3) << 11 | (g >> 2) << 5 | bl >> 3
                                                                : (r >> 3) << 10 | (g >> 3) << 5 | bl >> 3);
    }
  }
}

}  // namespace vidzo::blit
