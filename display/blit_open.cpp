// The blitter record: opening, flags, the mode's name, closing.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/blit_internal.h"
#include "playback/video.h"

namespace vidzo::blit {

namespace {

constexpr std::size_t kPaletteBytes = 768;
constexpr std::size_t kColour16Bytes = 512;
constexpr std::size_t kSmoothBytes = 131072;

constexpr std::size_t RoundUp16(std::size_t n) {
  return (n + 15) & ~std::size_t{15};
}

}  // namespace

std::uint32_t ModeFromFlags(std::uint32_t flags) {
  const std::uint32_t base = (flags & VIDZO_BLIT_16BIT) ? 6 : 0;
  if (flags & VIDZO_BLIT_SMOOTH) return base + 3;
  if (flags & VIDZO_BLIT_INTERLACED) return base + 2;
  if (flags & VIDZO_BLIT_2X) return base + 1;
  return base;
}

}  // namespace vidzo::blit

extern "C" {

VidzoBlitter* VidzoBlitOpen(uint32_t flags) {
  using namespace vidzo::blit;
  const bool wide = (flags & VIDZO_BLIT_16BIT) != 0;
  const bool smooth = (flags & VIDZO_BLIT_SMOOTH) != 0;
  const std::size_t head = RoundUp16(sizeof(VidzoBlitter));
  const std::size_t size =
      head + (wide || smooth ? kPaletteBytes : 0) + (smooth ? kSmoothBytes : 0) + (wide ? kColour16Bytes : 0);
  auto* base = static_cast<std::uint8_t*>(std::aligned_alloc(16, size));
  if (base == nullptr) return nullptr;
  std::memset(base, 0, size);
  auto* b = reinterpret_cast<VidzoBlitter*>(base);
  std::uint8_t* next = base + head;
  if (wide || smooth) {
    b->PaletteCopy = next;
    next += kPaletteBytes;
  }
  if (smooth) {
    b->SmoothTable = next;
    next += kSmoothBytes;
  }
  if (wide) b->Colour16 = reinterpret_cast<std::uint16_t*>(next);
  b->Flags = flags;
  b->Mode = ModeFromFlags(flags);
  return b;
}

uint32_t VidzoBlitSetFlags(VidzoBlitter* blitter, uint32_t flags) {
  if (blitter == nullptr) return 0;
  if ((flags & VIDZO_BLIT_16BIT) && blitter->Colour16 == nullptr) return 0;
  if ((flags & VIDZO_BLIT_SMOOTH) && blitter->SmoothTable == nullptr) return 0;
  blitter->Flags = flags;
  blitter->Mode = vidzo::blit::ModeFromFlags(flags);
  vidzo::blit::RefreshTables(blitter);
  return 1;
}

char* VidzoBlitString(VidzoBlitter* blitter, char* text) {
  if (text == nullptr) return text;
  text[0] = '\0';
  if (blitter == nullptr) return text;
  static const char* const kNames[10] = {
      "8-bit 1x", "8-bit 2x",  "8-bit 2x Interlaced", "8-bit 2x Smoothing",   "",
      "",         "16-bit 1x", "16-bit 2x",           "16-bit 2x Interlaced", "16-bit 2x Smoothing"};
  const uint32_t mode = blitter->Mode;
  if (mode >= 10) return text;
  const bool doubling = mode == 1 || mode == 2 || mode == 7 || mode == 8;
  std::snprintf(text, 32, "%s%s", kNames[mode], doubling && VidzoSetMMX(2) != 0 ? " using MMX" : "");
  return text;
}

void VidzoBlitClose(VidzoBlitter* blitter) {
  std::free(blitter);
}

}  // extern "C"
