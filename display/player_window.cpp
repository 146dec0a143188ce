// The player window on SDL2: video start-up (with the dummy driver when no
// display can be opened), message boxes through SDL, the window's frame,
// placement, minimising and painting.
#include "display/player_window.h"

#include <cstring>
#include <new>

#include "display/display_internal.h"
#include "platform/messagebox.h"

namespace vidzo::display {
namespace {

enum class Video { kNotTried, kReady, kFailed };
Video g_video = Video::kNotTried;
bool g_dummy_forced = false;  // the dummy driver was chosen because no other opened
bool g_presenter_set = false;

const char kWindowKey[] = "VidzoWindow";

Uint32 BoxFlags(platform::MessageKind kind) {
  switch (kind) {
    case platform::kMessageError:
      return SDL_MESSAGEBOX_ERROR;
    case platform::kMessageWarning:
      return SDL_MESSAGEBOX_WARNING;
    default:
      return SDL_MESSAGEBOX_INFORMATION;
  }
}

// Shows the box through SDL; the text has already gone to standard error.
bool PresentBox(const char* text, const char* caption, platform::MessageKind kind, bool default_no) {
  if (kind != platform::kMessageQuestion) {
    SDL_ShowSimpleMessageBox(BoxFlags(kind), caption, text, nullptr);
    return false;
  }
  const SDL_MessageBoxButtonData buttons[2] = {
      {default_no ? 0u : Uint32{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT}, 1, "Yes"},
      {default_no ? Uint32{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT} : 0u, 0, "No"}};
  const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, nullptr, caption, text, 2, buttons, nullptr};
  int answer = default_no ? 0 : 1;
  if (SDL_ShowMessageBox(&box, &answer) != 0) return !default_no;
  return answer == 1;
}

}  // namespace

VidzoWindow* WindowFromId(std::uint32_t id) {
  SDL_Window* w = SDL_GetWindowFromID(id);
  return w ? static_cast<VidzoWindow*>(SDL_GetWindowData(w, kWindowKey)) : nullptr;
}

bool HeadlessDriver() {
  const char* name = SDL_GetCurrentVideoDriver();
  return name == nullptr || std::strcmp(name, "dummy") == 0 || std::strcmp(name, "offscreen") == 0;
}

}  // namespace vidzo::display

using vidzo::display::g_video;
using vidzo::display::Video;

extern "C" {

uint32_t VidzoVideoStart(void) {
  if (g_video != Video::kNotTried) return g_video == Video::kReady;
  // Closing the window is a key code for the player, not the end of SDL.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  bool ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  // SDL's offscreen driver stands in for a missing display unless asked for;
  // headless runs are made with the dummy driver.
  const char* chosen = ready ? SDL_GetCurrentVideoDriver() : nullptr;
  if (chosen != nullptr && std::strcmp(chosen, "offscreen") == 0 &&
      SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    ready = false;
  }
  if (!ready) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    vidzo::display::g_dummy_forced = true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      g_video = Video::kFailed;
      return 0;
    }
  }
  g_video = Video::kReady;
  if (VidzoVideoIsReal()) {
    platform::SetMessagePresenter(vidzo::display::PresentBox);
    vidzo::display::g_presenter_set = true;
  }
  return 1;
}

void VidzoVideoStop(void) {
  if (vidzo::display::g_presenter_set) platform::SetMessagePresenter({});
  vidzo::display::g_presenter_set = false;
  if (g_video == Video::kReady) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (vidzo::display::g_dummy_forced) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  vidzo::display::g_dummy_forced = false;
  g_video = Video::kNotTried;
}

uint32_t VidzoVideoIsReal(void) {
  return g_video == Video::kReady && !vidzo::display::HeadlessDriver();
}

const char* VidzoVideoDriver(void) {
  const char* name = g_video == Video::kReady ? SDL_GetCurrentVideoDriver() : nullptr;
  return name ? name : "";
}

VidzoWindow* VidzoWindowCreate(const char* caption, uint32_t display_flags) {
  if (!VidzoVideoStart()) return nullptr;
  auto* window = new (std::nothrow) VidzoWindow;
  if (window == nullptr) return nullptr;
  Uint32 sdl_flags = SDL_WINDOW_HIDDEN;
  if (display_flags & VIDZO_WINDOW_NO_CAPTION) sdl_flags |= SDL_WINDOW_BORDERLESS;
  window->flags = display_flags;
  window->sdl = SDL_CreateWindow(caption ? caption : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320,
                                 240, sdl_flags);
  if (window->sdl == nullptr) {
    delete window;
    return nullptr;
  }
  SDL_SetWindowData(window->sdl, vidzo::display::kWindowKey, window);
  return window;
}

void VidzoWindowDestroy(VidzoWindow* window) {
  if (window == nullptr) return;
  VidzoDisplayClose(window->display);
  SDL_SetWindowData(window->sdl, vidzo::display::kWindowKey, nullptr);
  SDL_DestroyWindow(window->sdl);
  delete window;
}

void VidzoWindowSetCaption(VidzoWindow* window, const char* caption) {
  if (window != nullptr) SDL_SetWindowTitle(window->sdl, caption ? caption : "");
}

void VidzoWindowGetMetrics(VidzoWindow* window, VidzoWindowMetrics* metrics) {
  if (metrics == nullptr) return;
  *metrics = VidzoWindowMetrics{};
  if (window == nullptr) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) != 0)
    top = left = bottom = right = 0;
  metrics->FrameLeft = left;
  metrics->FrameTop = top;
  metrics->FrameRight = right;
  metrics->FrameBottom = bottom;
  SDL_Rect bounds{0, 0, 0, 0};
  const int index = SDL_GetWindowDisplayIndex(window->sdl);
  if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) == 0) {
    metrics->ScreenWidth = bounds.w;
    metrics->ScreenHeight = bounds.h;
  }
}

void VidzoWindowMove(VidzoWindow* window, int32_t left, int32_t top, uint32_t client_width,
                     uint32_t client_height) {
  if (window == nullptr || client_width == 0 || client_height == 0) return;
  VidzoWindowMetrics m;
  VidzoWindowGetMetrics(window, &m);
  // SDL places the client area; round its left edge down to a multiple of 8.
  const int64_t client_left = int64_t{left} + m.FrameLeft + 3;
  const int64_t snapped = client_left - (((client_left % 8) + 8) % 8);
  SDL_SetWindowSize(window->sdl, static_cast<int>(client_width), static_cast<int>(client_height));
  SDL_SetWindowPosition(window->sdl, static_cast<int>(snapped), static_cast<int>(int64_t{top} + m.FrameTop));
}

void VidzoWindowGetClientRect(VidzoWindow* window, int32_t* left, int32_t* top, uint32_t* width,
                              uint32_t* height) {
  int x = 0, y = 0, w = 0, h = 0;
  if (window != nullptr) {
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &w, &h);
  }
  if (left) *left = x;
  if (top) *top = y;
  if (width) *width = static_cast<uint32_t>(w);
  if (height) *height = static_cast<uint32_t>(h);
}

void VidzoWindowShow(VidzoWindow* window) {
  if (window == nullptr) return;
  SDL_ShowWindow(window->sdl);
  SDL_RaiseWindow(window->sdl);
  SDL_SetWindowInputFocus(window->sdl);
}

void VidzoWindowHide(VidzoWindow* window) {
  if (window != nullptr) SDL_HideWindow(window->sdl);
}

void VidzoWindowMinimize(VidzoWindow* window) {
  if (window != nullptr) SDL_MinimizeWindow(window->sdl);
}

void VidzoWindowRestore(VidzoWindow* window) {
  if (window == nullptr) return;
  SDL_RestoreWindow(window->sdl);
  SDL_RaiseWindow(window->sdl);
}

uint32_t VidzoWindowIsMinimized(VidzoWindow* window) {
  return window != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

uint32_t VidzoWindowHasFocus(VidzoWindow* window) {
  if (window == nullptr) return 0;
  // With no display there is no other window to take the focus away.
  if (vidzo::display::HeadlessDriver()) return 1;
  return SDL_GetKeyboardFocus() == window->sdl || (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_INPUT_FOCUS);
}

void VidzoWindowPaint(VidzoWindow* window) {
  if (window != nullptr && window->display != nullptr) vidzo::display::PaintAll(window->display);
}

void* VidzoWindowHandle(VidzoWindow* window) {
  return window ? window->sdl : nullptr;
}

}  // extern "C"
