// Opening and closing display buffers: the type choice, the record, the
// picture each type draws into, direct drawing, describe and the display
// resolution.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/blit.h"
#include "display/display_internal.h"
#include "playback/vidzo.h"

namespace vidzo::display {
namespace {

// The screen mode full-screen displays use (VidzoDisplaySetResolution).
SDL_DisplayMode g_full_mode;
bool g_full_mode_set = false;

constexpr std::uint32_t kMaxSide = 16384;

// 2 to the power of the format's bits per pixel, at most 2^24 (an unknown
// format counts as true colour).
std::uint32_t ColoursOf(Uint32 format) {
  std::uint32_t bits = format == SDL_PIXELFORMAT_UNKNOWN ? 24 : SDL_BITSPERPIXEL(format);
  if (bits > 24) bits = 24;
  if (bits < 1) bits = 1;
  return 1u << bits;
}

bool Visible(SDL_Window* w) {
  return (SDL_GetWindowFlags(w) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) == 0;
}

// The fields every type fills, the pixels (cleared) and the batch list.
VidzoDisplayBuffer* NewRecord(VidzoWindow* window, std::uint32_t type, std::uint32_t width,
                              std::uint32_t height, std::uint32_t window_width, std::uint32_t window_height) {
  auto* d = static_cast<VidzoDisplayBuffer*>(std::calloc(1, sizeof(VidzoDisplayBuffer)));
  if (d == nullptr) return nullptr;
  d->Type = type;
  d->FullScreen = type <= 3;
  if (type == 3) width = 320, height = 200;
  if (type == 1 && height <= 200) height = 204;
  d->Width = width;
  d->Height = height;
  d->Pitch = (width + 7) & ~7u;
  d->WindowWidth = d->FullScreen ? width : window_width;
  d->WindowHeight = d->FullScreen ? height : window_height;
  d->Stretched = d->WindowWidth != width || d->WindowHeight != height;
  d->ScreenColours = ColoursOf(SDL_GetWindowPixelFormat(window->sdl));
  d->PaletteSize = d->ScreenColours < 256 ? d->ScreenColours : 256;
  d->FirstUsable = 0;
  d->LastUsable = d->FullScreen ? 256 : d->PaletteSize - d->FirstUsable;
  d->UsableColours = d->LastUsable - d->FirstUsable;
  d->PaletteLayout = VIDZO_LAYOUT_4BYTE | VIDZO_LAYOUT_BGR;
  d->Window = window;
  if (type == 3) {
    d->RectMode = VIDZO_RECTS_NONE;
  } else if (type == 5) {
    // Several rectangles only when a quarter of the window fits a whole
    // number of times into the picture in both directions (1x, 2x, 4x);
    // otherwise (2.5x, 3x, any odd size) one bounding rectangle per frame.
    const bool quarters = (std::uint64_t{width} * 4) % d->WindowWidth == 0 &&
                          (std::uint64_t{height} * 4) % d->WindowHeight == 0;
    d->RectMode = quarters ? VIDZO_RECTS_BUDGET : VIDZO_RECTS_BOUNDING;
  } else {
    d->RectMode = VIDZO_RECTS_BOUNDING;
  }
  const std::size_t bytes = (std::size_t{d->Pitch} * d->Height + 15) & ~std::size_t{15};
  d->Pixels = static_cast<std::uint8_t*>(std::aligned_alloc(16, bytes));
  const std::uint32_t capacity = (d->Height / 4) * (d->Width / 64) / 2;
  d->BatchCapacity = capacity > 16 ? capacity : 16;
  d->BatchList = static_cast<std::uint32_t*>(std::calloc(d->BatchCapacity, 6 * sizeof(std::uint32_t)));
  if (d->Pixels == nullptr || d->BatchList == nullptr) {
    VidzoDisplayClose(d);
    return nullptr;
  }
  std::memset(d->Pixels, 0, bytes);
  return d;
}

// Type 4: an 8-bit surface over the pixels with its palette, converted into
// a picture of the window's format that is scaled onto the window.
bool SetUpDib(VidzoDisplayBuffer* d, SDL_Window* window) {
  SDL_Surface* screen = SDL_GetWindowSurface(window);
  if (screen == nullptr) return false;
  auto* bits =
      SDL_CreateRGBSurfaceWithFormatFrom(d->Pixels, static_cast<int>(d->Width), static_cast<int>(d->Height),
                                         8, static_cast<int>(d->Pitch), SDL_PIXELFORMAT_INDEX8);
  d->Bitmap = bits;
  SDL_Palette* palette = SDL_AllocPalette(256);
  d->PaletteObject = palette;
  if (bits == nullptr || palette == nullptr) return false;
  SDL_Color black[256];
  for (auto& c : black) c = SDL_Color{0, 0, 0, 255};
  SDL_SetPaletteColors(palette, black, 0, 256);
  if (SDL_SetSurfacePalette(bits, palette) != 0) return false;
  d->OldBitmap = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(d->Width), static_cast<int>(d->Height),
                                                32, screen->format->format);
  return d->OldBitmap != nullptr;
}

bool Offers(const SDL_RendererInfo& info, Uint32 format) {
  for (Uint32 i = 0; i < info.num_texture_formats; ++i)
    if (info.texture_formats[i] == format) return true;
  return false;
}

// Direct drawing: a 16-bit streaming texture of the window size that the
// blitter writes into at 1x or 2x. Gives up silently when anything fails.
void SetUpDirect(VidzoDisplayBuffer* d, SDL_Renderer* renderer, const SDL_RendererInfo& info,
                 std::uint32_t request) {
  const bool twice = d->WindowWidth == 2 * d->Width && d->WindowHeight == 2 * d->Height;
  if ((request & VIDZO_DISPLAY_NO_DIRECT) || (d->Stretched && !twice)) return;
  Uint32 format = 0;
  std::uint32_t blit_format = 0;
  if (Offers(info, SDL_PIXELFORMAT_RGB565)) {
    format = SDL_PIXELFORMAT_RGB565, blit_format = VIDZO_BLIT_565;
  } else if (Offers(info, SDL_PIXELFORMAT_RGB555)) {
    format = SDL_PIXELFORMAT_RGB555, blit_format = VIDZO_BLIT_555;
  } else {
    return;
  }
  std::uint32_t flags = 1;
  if (twice) {
    flags = (request & VIDZO_DISPLAY_SMOOTH)       ? VIDZO_BLIT_SMOOTH
            : (request & VIDZO_DISPLAY_INTERLACED) ? VIDZO_BLIT_INTERLACED
                                                   : VIDZO_BLIT_2X;
  }
  flags |= blit_format;
  SDL_Texture* texture =
      SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, static_cast<int>(d->WindowWidth),
                        static_cast<int>(d->WindowHeight));
  if (texture == nullptr) return;
  void* pixels = nullptr;
  int pitch = 0;
  VidzoBlitter* blitter = VidzoBlitOpen(flags);
  if (blitter == nullptr || SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) {
    VidzoBlitClose(blitter);
    SDL_DestroyTexture(texture);
    return;
  }
  std::memset(pixels, 0, std::size_t(pitch) * d->WindowHeight);
  SDL_UnlockTexture(texture);
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
  d->DirectDraw = renderer;
  d->PrimarySurface = texture;
  d->BlitFlags = flags;
  d->Blitter = blitter;
  d->SoftwareCursor = 0;
}

// Types 1, 2, 3 and 5: a renderer and a 32-bit streaming texture of the
// buffer size (unless direct drawing takes its place).
bool SetUpRenderer(VidzoDisplayBuffer* d, SDL_Window* window, std::uint32_t request) {
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  d->MemoryDc = renderer;
  if (renderer == nullptr) return false;
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  if ((info.max_texture_width && d->WindowWidth > std::uint32_t(info.max_texture_width)) ||
      (info.max_texture_height && d->WindowHeight > std::uint32_t(info.max_texture_height)))
    return false;
  if (d->FullScreen) {
    SDL_RenderSetLogicalSize(renderer, 320, d->Type == 1 ? 240 : 200);
  } else {
    SetUpDirect(d, renderer, info, request);
    if (d->Blitter != nullptr) return true;
  }
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                           static_cast<int>(d->Width), static_cast<int>(d->Height));
  d->Bitmap = texture;
  if (texture == nullptr) return false;
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
  return true;
}

bool GoFullScreen(VidzoDisplayBuffer* d, SDL_Window* window) {
  // The window first covers the screen by itself, without a frame, so that
  // it does so even where no window manager acts on the full-screen request.
  SDL_Rect bounds{0, 0, 0, 0};
  const int index = SDL_GetWindowDisplayIndex(window);
  if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) != 0) return false;
  if (g_full_mode_set) {
    bounds.w = g_full_mode.w;
    bounds.h = g_full_mode.h;
    SDL_SetWindowDisplayMode(window, &g_full_mode);
  }
  SDL_SetWindowBordered(window, SDL_FALSE);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  d->FullScreenWindow = window;
  if (SDL_SetWindowFullscreen(window,
                              g_full_mode_set ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
    return false;
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
  d->Active = 1;
  return true;
}

VidzoDisplayBuffer* TryType(VidzoWindow* window, std::uint32_t type, std::uint32_t request,
                            std::uint32_t width, std::uint32_t height, std::uint32_t window_width,
                            std::uint32_t window_height) {
  const bool stretched = window_width != width || window_height != height;
  if (type >= 1 && type <= 3 && (stretched || width > 320 || height > (type == 1 ? 240u : 200u)))
    return nullptr;
  VidzoDisplayBuffer* d = NewRecord(window, type, width, height, window_width, window_height);
  if (d == nullptr) return nullptr;
  bool ok = true;
  if (type <= 3) ok = GoFullScreen(d, window->sdl);
  if (ok) ok = type == 4 ? SetUpDib(d, window->sdl) : SetUpRenderer(d, window->sdl, request);
  if (!ok) {
    VidzoDisplayClose(d);
    return nullptr;
  }
  return d;
}

}  // namespace

bool PictureVisible(const VidzoDisplayBuffer* d) {
  const auto* window = static_cast<const VidzoWindow*>(d->Window);
  return window != nullptr && Visible(window->sdl);
}

}  // namespace vidzo::display

extern "C" {

VidzoDisplayBuffer* VidzoDisplayOpen(VidzoWindow* window, uint32_t type, uint32_t width, uint32_t height,
                                     uint32_t stretch_width, uint32_t stretch_height) {
  if (window == nullptr || window->display != nullptr) return nullptr;
  if (width == 0 || height == 0 || width > vidzo::display::kMaxSide || height > vidzo::display::kMaxSide)
    return nullptr;
  const uint32_t ww = stretch_width ? stretch_width : width, wh = stretch_height ? stretch_height : height;
  if (ww > vidzo::display::kMaxSide || wh > vidzo::display::kMaxSide) return nullptr;
  const uint32_t kind = type & VIDZO_DISPLAY_TYPE_MASK, request = type & ~VIDZO_DISPLAY_TYPE_MASK;
  VidzoDisplayBuffer* d = nullptr;
  if (kind == VIDZO_DISPLAY_AUTOMATIC) {
    d = vidzo::display::TryType(window, 5, request, width, height, ww, wh);
    if (d == nullptr) d = vidzo::display::TryType(window, 4, request, width, height, ww, wh);
  } else if (kind <= 5) {
    d = vidzo::display::TryType(window, kind, request, width, height, ww, wh);
  }
  if (d != nullptr) window->display = d;
  return d;
}

void VidzoDisplayClose(VidzoDisplayBuffer* d) {
  if (d == nullptr) return;
  auto* window = static_cast<VidzoWindow*>(d->Window);
  if (d->Type == 4) {
    SDL_FreeSurface(static_cast<SDL_Surface*>(d->OldBitmap));
    SDL_FreeSurface(static_cast<SDL_Surface*>(d->Bitmap));
    SDL_FreePalette(static_cast<SDL_Palette*>(d->PaletteObject));
  } else {
    if (d->PrimarySurface) SDL_DestroyTexture(static_cast<SDL_Texture*>(d->PrimarySurface));
    if (d->Bitmap) SDL_DestroyTexture(static_cast<SDL_Texture*>(d->Bitmap));
    if (d->MemoryDc) SDL_DestroyRenderer(static_cast<SDL_Renderer*>(d->MemoryDc));
  }
  VidzoBlitClose(d->Blitter);
  if (d->FullScreenWindow) {
    auto* full = static_cast<SDL_Window*>(d->FullScreenWindow);
    SDL_SetWindowFullscreen(full, 0);
    const bool caption = window == nullptr || !(window->flags & VIDZO_WINDOW_NO_CAPTION);
    SDL_SetWindowBordered(full, caption ? SDL_TRUE : SDL_FALSE);
  }
  if (window != nullptr && window->display == d) window->display = nullptr;
  std::free(d->Pixels);
  std::free(d->SaveArea);
  std::free(d->BatchList);
  std::free(d);
}

char* VidzoDisplayDescribe(VidzoDisplayBuffer* d, char* text) {
  if (text == nullptr) return text;
  text[0] = '\0';
  if (d == nullptr || d->Type < 1 || d->Type > 5) return text;
  static const char* const kNames[6] = {"Automatic",
                                        "Full screen 320x240",
                                        "Full screen 320x200",
                                        "Full screen 320x200 direct",
                                        "Standard Windows DIBs",
                                        "DIBSection"};
  if (d->Blitter != nullptr && d->DirectDrawn) {
    char mode[32];
    std::snprintf(text, VIDZO_DISPLAY_DESCRIBE_SIZE, "%s with accelerated blitting (%s)", kNames[d->Type],
                  VidzoBlitString(d->Blitter, mode));
  } else {
    std::snprintf(text, VIDZO_DISPLAY_DESCRIBE_SIZE, "%s", kNames[d->Type]);
  }
  return text;
}

uint32_t VidzoDisplaySetResolution(uint32_t n) {
  static const int kSizes[5][2] = {{0, 0}, {640, 400}, {640, 480}, {800, 600}, {1024, 768}};
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || n > 4) return 0;
  if (n == 0) {
    vidzo::display::g_full_mode_set = false;
    return 1;
  }
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return 0;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    if (mode.w == kSizes[n][0] && mode.h == kSizes[n][1] &&
        SDL_BITSPERPIXEL(mode.format) == SDL_BITSPERPIXEL(desktop.format)) {
      vidzo::display::g_full_mode = mode;
      vidzo::display::g_full_mode_set = true;
      return 1;
    }
  }
  return 0;
}

uint32_t VidzoDisplayScreenColours(void) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return 0;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  return vidzo::display::ColoursOf(mode.format);
}

}  // extern "C"
