#include "script/window/window_host.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "display/display.h"
#include "display/key_queue.h"
#include "platform/sound_device.h"
#include "player/player.h"
#include "sound/sound.h"

namespace vidzoscript {
namespace {

bool DisplayGiven() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

// The display kinds of SCREENSETTINGS as display types.
uint32_t DisplayType(uint32_t kind) {
  switch (kind) {
    case 1:
      return VIDZO_DISPLAY_FULL_320X240;
    case 2:
      return VIDZO_DISPLAY_FULL_DIRECT;
    case 3:
      return VIDZO_DISPLAY_DIB;
    case 4:
      return VIDZO_DISPLAY_DIBSECTION;
    default:
      return VIDZO_DISPLAY_AUTOMATIC;
  }
}

}  // namespace

WindowScriptHost::WindowScriptHost() {
  VidzoSoundInstall();
}

WindowScriptHost::~WindowScriptHost() {
  ResetDisplay();
  if (video_started_) VidzoVideoStop();
}

void WindowScriptHost::Pump() {
  VidzoDispatchEvents();
  VidzoSoundService();
}

bool WindowScriptHost::WindowHasFocus() {
  return display_ != nullptr && VidzoDisplayHasFocus(display_) != 0;
}

void WindowScriptHost::ResetDisplay() {
  VidzoDisplayClose(display_);
  display_ = nullptr;
  VidzoWindowDestroy(window_);
  window_ = nullptr;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(SDL_ENABLE);
  VidzoClearMouse();
}

void WindowScriptHost::Message(const std::string& text, const std::string& caption, platform::MessageKind kind) {
  // On a display the box is shown through SDL as well.
  if (!video_started_ && DisplayGiven()) video_started_ = VidzoVideoStart() != 0;
  ScriptHost::Message(text, caption, kind);
}

VidzoDisplayBuffer* WindowScriptHost::OpenWindow(const WindowRequest& request) {
  ResetDisplay();
  uint32_t flags = 0;
  if (request.border == 1) flags |= VIDZO_WINDOW_THIN_BORDER;
  if (request.border == 2) flags |= VIDZO_WINDOW_NO_CAPTION | VIDZO_WINDOW_NO_FRAME;
  if (request.no_caption) flags |= VIDZO_WINDOW_NO_CAPTION;
  window_ = VidzoWindowCreate(request.title.c_str(), flags);
  if (window_ == nullptr) return nullptr;
  video_started_ = true;
  display_ = VidzoDisplayOpen(window_, DisplayType(request.kind), request.width, request.height, 0, 0);
  if (display_ == nullptr) {
    VidzoWindowDestroy(window_);
    window_ = nullptr;
    return nullptr;
  }
  Place(request.x, request.y);
  VidzoWindowShow(window_);
  // The script player draws its own cursor over the window.
  SDL_ShowCursor(SDL_DISABLE);
  VidzoClearMouse();
  VidzoClearKeys();
  return display_;
}

void WindowScriptHost::Place(int32_t x, int32_t y) {
  if (display_ == nullptr || display_->FullScreen != 0) return;
  VidzoWindowMetrics m{};
  VidzoWindowGetMetrics(window_, &m);
  const auto width = static_cast<int32_t>(display_->WindowWidth);
  const auto height = static_cast<int32_t>(display_->WindowHeight);
  VidzoWindowMove(window_, vidzoplay::PlaceWindowEdge(x, m.ScreenWidth, width, m.FrameLeft),
                  vidzoplay::PlaceWindowEdge(y, m.ScreenHeight, height, m.FrameTop), display_->WindowWidth,
                  display_->WindowHeight);
}

void WindowScriptHost::Show(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  if (display_ != nullptr) VidzoDisplayBlit(display_, nullptr, x, y, x, y, width, height);
}

void WindowScriptHost::SetPalette(const uint8_t* rgb) {
  if (display_ == nullptr) return;
  uint8_t full[768];
  for (int i = 0; i < 768; ++i) full[i] = static_cast<uint8_t>((rgb[i] & 63) << 2 | (rgb[i] & 63) >> 4);
  VidzoDisplaySetPalette(display_, full, 0);
  VidzoDisplayRealize(display_);
}

void WindowScriptHost::SetTitle(const std::string& title) {
  if (window_ != nullptr) VidzoWindowSetCaption(window_, title.c_str());
}

void WindowScriptHost::MoveWindow(int32_t x, int32_t y) {
  Place(x, y);
}

std::string WindowScriptHost::DescribeDisplay() {
  char text[VIDZO_DISPLAY_DESCRIBE_SIZE];
  return VidzoDisplayDescribe(display_, text);
}

uint64_t WindowScriptHost::WindowId() {
  auto* sdl = window_ != nullptr ? static_cast<SDL_Window*>(VidzoWindowHandle(window_)) : nullptr;
  return sdl != nullptr ? SDL_GetWindowID(sdl) : 0;
}

int32_t WindowScriptHost::TakeKey(bool& close) {
  uint32_t from_close = 0;
  const int32_t key = VidzoTakeKeyEx(&from_close);
  close = from_close != 0;
  return key;
}

bool WindowScriptHost::TakeClick(bool right) {
  return VidzoTakeClick(right ? 1 : 0) != 0;
}

bool WindowScriptHost::Pointer(int32_t& x, int32_t& y) {
  if (display_ == nullptr || VidzoPointer(&x, &y) == 0) {
    x = y = -1;
    return false;
  }
  // Window pixels to display pixels.
  const uint32_t ww = std::max<uint32_t>(display_->WindowWidth, 1), wh = std::max<uint32_t>(display_->WindowHeight, 1);
  x = static_cast<int32_t>(int64_t(x) * display_->Width / ww);
  y = static_cast<int32_t>(int64_t(y) * display_->Height / wh);
  if (x >= int32_t(display_->Width) || y >= int32_t(display_->Height)) {
    x = y = -1;
    return false;
  }
  return true;
}

void WindowScriptHost::WarpPointer(int32_t x, int32_t y) {
  if (display_ == nullptr) return;
  const int64_t wx = int64_t(x) * display_->WindowWidth / std::max<uint32_t>(display_->Width, 1);
  const int64_t wy = int64_t(y) * display_->WindowHeight / std::max<uint32_t>(display_->Height, 1);
  auto* sdl = static_cast<SDL_Window*>(VidzoWindowHandle(window_));
  if (sdl != nullptr) SDL_WarpMouseInWindow(sdl, static_cast<int>(wx), static_cast<int>(wy));
  VidzoSetPointer(static_cast<int32_t>(wx), static_cast<int32_t>(wy));
}

bool WindowScriptHost::MousePresent() {
  // A mouse is there on a real display; the dummy driver has none.
  return VidzoVideoIsReal() != 0 || std::getenv("VIDZOER_SCRIPT_MOUSE") != nullptr;
}

void WindowScriptHost::Idle(uint32_t milliseconds) {
  if (milliseconds == 0) {
    SDL_Delay(0);
    return;
  }
  platform::WaitForSound(std::min<uint32_t>(milliseconds, 10));
}

int32_t WindowScriptHost::Ask(const std::string& text, const std::string& caption, AskButtons buttons) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || VidzoVideoIsReal() == 0) return kAnswerCancel;
  std::vector<SDL_MessageBoxButtonData> list;
  auto add = [&](int id, const char* label) { list.push_back({0, id, label}); };
  switch (buttons) {
    case AskButtons::kOk:
      add(kAnswerOk, "OK");
      break;
    case AskButtons::kYesNo:
      add(kAnswerYes, "Yes"), add(kAnswerNo, "No");
      break;
    case AskButtons::kOkCancel:
      add(kAnswerOk, "OK"), add(kAnswerCancel, "Cancel");
      break;
    case AskButtons::kYesNoCancel:
      add(kAnswerYes, "Yes"), add(kAnswerNo, "No"), add(kAnswerCancel, "Cancel");
      break;
  }
  const Uint32 kind = buttons == AskButtons::kOk           ? SDL_MESSAGEBOX_INFORMATION
                      : buttons == AskButtons::kOkCancel ? SDL_MESSAGEBOX_WARNING
                                                           : SDL_MESSAGEBOX_INFORMATION;
  SDL_MessageBoxData data{kind,
                          window_ != nullptr ? static_cast<SDL_Window*>(VidzoWindowHandle(window_)) : nullptr,
                          caption.c_str(),
                          text.c_str(),
                          static_cast<int>(list.size()),
                          list.data(),
                          nullptr};
  int pressed = kAnswerCancel;
  if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) return kAnswerCancel;
  return pressed;
}

}  // namespace vidzoscript
