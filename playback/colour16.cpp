// The 16-bit colour table: one 5-5-5 or 5-6-5 pixel per palette entry.
#include "playback/video.h"

extern "C" {

void BuildColour16Table(uint16_t* table, const uint8_t* palette, uint32_t mode) {
  if (table == nullptr || palette == nullptr) return;
  const bool six_green = (mode & 0xFFu) == VIDZO_COLOUR_565 || mode == VIDZO_DEST_565;
  for (unsigned i = 0; i < 256; ++i) {
    const unsigned r = palette[3 * i] >> 3, g = palette[3 * i + 1], b = palette[3 * i + 2] >> 3;
    table[i] =
        static_cast<uint16_t>(six_green ? (r << 11) | ((g >> 2) << 5) | b : (r << 10) | ((g >> 3) << 5) | b);
  }
}

void VidzoUpdateColour16(VidzoHandle* h) {
  if (h == nullptr || !h->PaletteDirty || h->Colour16Table == nullptr || h->OutputDesc == nullptr) return;
  BuildColour16Table(h->Colour16Table, h->Palette, h->OutputDesc->ColourMode);
  h->PaletteDirty = 0;
}

}  // extern "C"
