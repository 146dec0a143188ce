// Drawing the display buffer: rectangles into the picture (converted
// through the palette, or written by the blitter into the direct-drawing
// texture), presenting the picture, frame batches, palette, clear, focus
// and realize.
#include <algorithm>
#include <cstring>

#include "display/blit.h"
#include "display/blit_internal.h"
#include "display/display_internal.h"

namespace vidzo::display {
namespace {

struct Rect {
  std::uint32_t sx, sy, x, y, w, h;
};

// Clips the rectangle to the buffer at both ends; false when nothing is left.
bool Clip(const VidzoDisplayBuffer* d, Rect& r) {
  if (r.sx >= d->Width || r.sy >= d->Height || r.x >= d->Width || r.y >= d->Height) return false;
  const std::uint32_t right = std::max(r.sx, r.x), bottom = std::max(r.sy, r.y);
  r.w = std::min(r.w, d->Width - right);
  r.h = std::min(r.h, d->Height - bottom);
  return r.w != 0 && r.h != 0;
}

Rect Whole(const VidzoDisplayBuffer* d) {
  return Rect{0, 0, 0, 0, d->Width, d->Height};
}

SDL_Window* SdlWindow(const VidzoDisplayBuffer* d) {
  const auto* window = static_cast<const VidzoWindow*>(d->Window);
  return window ? window->sdl : nullptr;
}

// Blacks out the whole direct-drawing texture.
void BlackOut(VidzoDisplayBuffer* d) {
  void* pixels = nullptr;
  int pitch = 0;
  auto* texture = static_cast<SDL_Texture*>(d->PrimarySurface);
  if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) return;
  std::memset(pixels, 0, std::size_t(pitch) * d->WindowHeight);
  SDL_UnlockTexture(texture);
}

void UploadDirect(VidzoDisplayBuffer* d, const Rect& r) {
  const std::uint32_t k =
      (d->BlitFlags & (VIDZO_BLIT_2X | VIDZO_BLIT_SMOOTH | VIDZO_BLIT_INTERLACED)) ? 2 : 1;
  const SDL_Rect area{int(r.x * k), int(r.y * k), int(r.w * k), int(r.h * k)};
  void* pixels = nullptr;
  int pitch = 0;
  auto* texture = static_cast<SDL_Texture*>(d->PrimarySurface);
  if (SDL_LockTexture(texture, &area, &pixels, &pitch) != 0) return;
  VidzoBlit(d->Blitter, pixels, std::uint32_t(pitch), 0, 0, d->Pixels, d->Pitch, r.sx, r.sy, r.w, r.h);
  SDL_UnlockTexture(texture);
}

void UploadTexture(VidzoDisplayBuffer* d, const Rect& r) {
  const SDL_Rect area{int(r.x), int(r.y), int(r.w), int(r.h)};
  void* pixels = nullptr;
  int pitch = 0;
  auto* texture = static_cast<SDL_Texture*>(d->Bitmap);
  if (SDL_LockTexture(texture, &area, &pixels, &pitch) != 0) return;
  const std::uint8_t* table = d->ColourTable;
  for (std::uint32_t row = 0; row < r.h; ++row) {
    const std::uint8_t* src = d->Pixels + std::size_t(r.sy + row) * d->Pitch + r.sx;
    auto* out =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(pixels) + std::size_t(pitch) * row);
    for (std::uint32_t i = 0; i < r.w; ++i) {
      const std::uint8_t* c = table + 4 * src[i];
      out[i] = 0xFF000000u | std::uint32_t(c[2]) << 16 | std::uint32_t(c[1]) << 8 | c[0];
    }
  }
  SDL_UnlockTexture(texture);
}

void UploadDib(VidzoDisplayBuffer* d, const Rect& r) {
  SDL_Rect from{int(r.sx), int(r.sy), int(r.w), int(r.h)}, to{int(r.x), int(r.y), int(r.w), int(r.h)};
  SDL_BlitSurface(static_cast<SDL_Surface*>(d->Bitmap), &from, static_cast<SDL_Surface*>(d->OldBitmap), &to);
}

// Puts the buffer's rectangle into the picture.
void Upload(VidzoDisplayBuffer* d, const Rect& r) {
  if (d->Type == 4) {
    UploadDib(d, r);
  } else if (d->Blitter != nullptr) {
    UploadDirect(d, r);
  } else {
    UploadTexture(d, r);
  }
}

// Shows the picture in the window. With no screen (SDL's dummy and
// offscreen drivers) no one can see the window: the picture is kept (the
// buffer, the texture) but not composed into it.
bool Present(VidzoDisplayBuffer* d) {
  SDL_Window* window = SdlWindow(d);
  if (window == nullptr) return false;
  if (HeadlessDriver()) return true;
  const SDL_Rect to{0, 0, int(d->WindowWidth), int(d->WindowHeight)};
  if (d->Type == 4) {
    SDL_Surface* screen = SDL_GetWindowSurface(window);
    if (screen == nullptr) return false;
    auto* picture = static_cast<SDL_Surface*>(d->OldBitmap);
    SDL_Rect target = to;
    const int failed = d->Stretched ? SDL_BlitScaled(picture, nullptr, screen, &target)
                                    : SDL_BlitSurface(picture, nullptr, screen, &target);
    return failed == 0 && SDL_UpdateWindowSurface(window) == 0;
  }
  auto* renderer = static_cast<SDL_Renderer*>(d->MemoryDc);
  auto* texture = static_cast<SDL_Texture*>(d->Blitter ? d->PrimarySurface : d->Bitmap);
  SDL_Rect target = to;
  if (d->FullScreen) {
    const int logical_height = d->Type == 1 ? 240 : 200;
    target = SDL_Rect{(320 - int(d->Width)) / 2, (logical_height - int(d->Height)) / 2, int(d->Width),
                      int(d->Height)};
  }
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  if (SDL_RenderClear(renderer) != 0 || SDL_RenderCopy(renderer, texture, nullptr, &target) != 0)
    return false;
  SDL_RenderPresent(renderer);
  return true;
}

// Direct drawing starts with the whole buffer (on a black picture when
// interlaced); returns true when it drew it.
bool StartDirect(VidzoDisplayBuffer* d) {
  if (!d->DirectDrawn) {
    d->DirectDrawn = 1;
    d->ClipLeft = d->ClipTop = 0;
    d->ClipRight = int32_t(d->WindowWidth);
    d->ClipBottom = int32_t(d->WindowHeight);
  }
  if (d->DirectActive) return false;
  d->DirectActive = 1;
  if (d->BlitFlags & VIDZO_BLIT_INTERLACED) BlackOut(d);
  Upload(d, Whole(d));
  return true;
}

void EndBatch(VidzoDisplayBuffer* d) {
  d->BatchState = VIDZO_BATCH_IMMEDIATE;
  d->BatchCount = 0;
  d->BatchNext = 0;
}

}  // namespace

void PaintAll(VidzoDisplayBuffer* d) {
  d->RepaintAll = 0;
  if (d->Blitter != nullptr) {
    if (!PictureVisible(d)) return;
    if (!StartDirect(d)) {
      if (d->BlitFlags & VIDZO_BLIT_INTERLACED) BlackOut(d);
      Upload(d, Whole(d));
    }
  } else {
    Upload(d, Whole(d));
  }
  Present(d);
}

void SetActive(VidzoDisplayBuffer* d, bool active) {
  if (!d->FullScreen) return;
  d->Active = active;
  if (active) PaintAll(d);
}

}  // namespace vidzo::display

using vidzo::display::Rect;

extern "C" {

uint32_t VidzoDisplayBlit(VidzoDisplayBuffer* d, void* /*context*/, uint32_t source_x, uint32_t source_y,
                          uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  if (d == nullptr) return 1;
  if (d->Type == 1 || d->Type == 2) {
    d->RepaintAll = 0;
    vidzo::display::Upload(d, vidzo::display::Whole(d));
    return vidzo::display::Present(d) ? VIDZO_DISPLAY_BLIT_WHOLE : 1;
  }
  if (d->Type == 3) {
    // The buffer is the picture; it is shown at the end of the frame.
    if (d->BatchState == VIDZO_BATCH_COLLECTING) return 0;
    vidzo::display::Upload(d, vidzo::display::Whole(d));
    return vidzo::display::Present(d) ? 0 : 1;
  }
  Rect r{source_x, source_y, x, y, width, height};
  if (!vidzo::display::Clip(d, r)) return 0;
  if (d->BatchState == VIDZO_BATCH_COLLECTING && d->BatchCount < d->BatchCapacity) {
    uint32_t* entry = d->BatchList + std::size_t{6} * d->BatchNext;
    const uint32_t values[6] = {r.sx, r.sy, r.x, r.y, r.w, r.h};
    std::memcpy(entry, values, sizeof values);
    ++d->BatchNext;
    ++d->BatchCount;
    return 0;
  }
  if (d->Blitter != nullptr && !vidzo::display::PictureVisible(d)) return 0;
  if (d->RepaintAll) {
    // A palette change on a true-colour screen: the whole buffer once, and
    // the rest of the frame's batch is not needed.
    d->RepaintAll = 0;
    if (d->Blitter == nullptr || !vidzo::display::StartDirect(d))
      vidzo::display::Upload(d, vidzo::display::Whole(d));
    if (d->BatchState != VIDZO_BATCH_IMMEDIATE) vidzo::display::EndBatch(d);
  } else if (d->Blitter == nullptr || !vidzo::display::StartDirect(d)) {
    vidzo::display::Upload(d, r);
  } else if (d->BatchState != VIDZO_BATCH_IMMEDIATE) {
    vidzo::display::EndBatch(d);
  }
  return vidzo::display::Present(d) ? 0 : 1;
}

void VidzoDisplayBeginFrame(VidzoDisplayBuffer* d) {
  if (d == nullptr) return;
  d->BatchState = VIDZO_BATCH_COLLECTING;
  d->BatchCount = 0;
  d->BatchNext = 0;
}

void VidzoDisplayEndFrame(VidzoDisplayBuffer* d) {
  if (d == nullptr) return;
  const uint32_t count = d->BatchCount;
  d->BatchState = VIDZO_BATCH_FLUSHING;
  if (d->Type == 3) {
    vidzo::display::Upload(d, vidzo::display::Whole(d));
    vidzo::display::Present(d);
  } else if (count != 0 || d->RepaintAll) {
    if (d->Blitter != nullptr && !vidzo::display::PictureVisible(d)) {
      // Nothing is drawn directly into a hidden window.
    } else if (d->RepaintAll || (d->Blitter != nullptr && !d->DirectActive)) {
      d->RepaintAll = 0;
      if (d->Blitter == nullptr || !vidzo::display::StartDirect(d))
        vidzo::display::Upload(d, vidzo::display::Whole(d));
      vidzo::display::Present(d);
    } else {
      for (uint32_t i = 0; i < count; ++i) {
        const uint32_t* e = d->BatchList + std::size_t{6} * i;
        vidzo::display::Upload(d, Rect{e[0], e[1], e[2], e[3], e[4], e[5]});
      }
      vidzo::display::Present(d);
    }
  }
  vidzo::display::EndBatch(d);
}

void VidzoDisplaySetPalette(VidzoDisplayBuffer* d, const void* palette, uint32_t layout) {
  if (d == nullptr || palette == nullptr || d->UsableColours < 256) return;
  uint8_t rgb[768];
  vidzo::blit::ReadPalette(palette, layout, rgb);
  SDL_Color colours[256];
  for (int i = 0; i < 256; ++i) {
    d->ColourTable[4 * i] = rgb[3 * i + 2];
    d->ColourTable[4 * i + 1] = rgb[3 * i + 1];
    d->ColourTable[4 * i + 2] = rgb[3 * i];
    d->ColourTable[4 * i + 3] = 0;
    colours[i] = SDL_Color{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 255};
  }
  if (d->PaletteObject != nullptr)
    SDL_SetPaletteColors(static_cast<SDL_Palette*>(d->PaletteObject), colours, 0, 256);
  VidzoBlitSetPalette(d->Blitter, d->ColourTable, d->PaletteLayout);
  if (d->ScreenColours > 256) d->RepaintAll = 1;
  d->PaletteSet = 1;
}

void VidzoDisplayClear(VidzoDisplayBuffer* d, uint32_t colour) {
  if (d == nullptr) return;
  for (uint32_t row = 0; row < d->Height; ++row)
    std::memset(d->Pixels + std::size_t{row} * d->Pitch, int(colour & 0xFF), d->Width);
}

uint32_t VidzoDisplayHasFocus(VidzoDisplayBuffer* d) {
  if (d == nullptr) return 0;
  if (d->FullScreen) return d->Active;
  return VidzoWindowHasFocus(static_cast<VidzoWindow*>(d->Window));
}

uint32_t VidzoDisplayRealize(VidzoDisplayBuffer* d) {
  if (d == nullptr) return 0;
  if (d->PaletteSet) {
    d->PaletteSet = 0;
    vidzo::display::PaintAll(d);
  }
  return d->PaletteSize;
}

}  // extern "C"
