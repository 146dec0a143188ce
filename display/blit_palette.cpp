// The blitter's palette copy and the tables built from it.
#include <cstring>
#include <utility>

#include "display/blit_internal.h"
#include "playback/video.h"

namespace vidzo::blit {

void RefreshTables(VidzoBlitter* b) {
  const std::uint32_t format = b->Flags & VIDZO_BLIT_FORMAT_MASK;
  if (b->Mode >= 6 && b->Colour16 != nullptr && b->PaletteCopy != nullptr &&
      (b->Colour16Version != b->PaletteVersion || b->Colour16Format != format)) {
    BuildColour16Table(b->Colour16, b->PaletteCopy,
                       format == VIDZO_BLIT_565 ? VIDZO_COLOUR_565 : VIDZO_COLOUR_555);
    b->Colour16Version = b->PaletteVersion;
    b->Colour16Format = format;
  }
  if ((b->Mode == 3 || b->Mode == 9) && b->SmoothTable != nullptr && b->PaletteCopy != nullptr) {
    const std::uint32_t kind = b->Mode == 9 ? 16 : 8;
    const std::uint32_t smooth_format = kind == 16 ? format : 0;
    if (b->SmoothVersion != b->PaletteVersion || b->SmoothKind != kind || b->SmoothFormat != smooth_format) {
      GiveSoundATurn();
      if (kind == 16) {
        BuildSmooth16(static_cast<std::uint16_t*>(b->SmoothTable), b->PaletteCopy, format);
      } else {
        BuildSmooth8(static_cast<std::uint8_t*>(b->SmoothTable), b->PaletteCopy);
      }
      GiveSoundATurn();
      b->SmoothVersion = b->PaletteVersion;
      b->SmoothKind = kind;
      b->SmoothFormat = smooth_format;
    }
  }
}

}  // namespace vidzo::blit

namespace vidzo::blit {

void ReadPalette(const void* palette, std::uint32_t layout, std::uint8_t* rgb) {
  std::size_t stride = 3, red = 0, green = 1, blue = 2;
  if (layout & VIDZO_LAYOUT_4BYTE) {
    stride = 4;
    if (layout & VIDZO_LAYOUT_OFFSET1) red = 1, green = 2, blue = 3;
  }
  if (layout & VIDZO_LAYOUT_BGR) std::swap(red, blue);
  if (layout & VIDZO_LAYOUT_WIDE) stride *= 2, red *= 2, green *= 2, blue *= 2;
  const auto* in = static_cast<const std::uint8_t*>(palette);
  for (std::size_t i = 0; i < 256; ++i) {
    rgb[3 * i] = in[i * stride + red];
    rgb[3 * i + 1] = in[i * stride + green];
    rgb[3 * i + 2] = in[i * stride + blue];
  }
}

}  // namespace vidzo::blit

extern "C" void VidzoBlitSetPalette(VidzoBlitter* blitter, const void* palette, uint32_t layout) {
  if (blitter == nullptr || palette == nullptr || blitter->PaletteCopy == nullptr) return;
  std::uint8_t fresh[768];
  vidzo::blit::ReadPalette(palette, layout, fresh);
  if (std::memcmp(fresh, blitter->PaletteCopy, sizeof fresh) != 0) {
    std::memcpy(blitter->PaletteCopy, fresh, sizeof fresh);
    ++blitter->PaletteVersion;
  }
  // Also brings tables up that have never been built (a first palette that
  // equals the cleared copy still gets its smoothing table).
  vidzo::blit::RefreshTables(blitter);
}
