#include "player/window/window_host.h"

#include <chrono>
#include <thread>

#include "display/key_queue.h"
#include "platform/sound_device.h"
#include "sound/sound.h"

namespace vidzoplay {

WindowHost::WindowHost(FrameHook frame_hook, std::string program_file)
    : frame_hook_(std::move(frame_hook)), program_file_(std::move(program_file)) {}

WindowHost::~WindowHost() {
  CloseWindow();
}

const DisplayView* WindowHost::OpenDisplay(const DisplayRequest& request) {
  if (window_ == nullptr) window_ = VidzoWindowCreate(kAppName, request.DisplayFlags);
  if (window_ == nullptr) return nullptr;
  display_ = VidzoDisplayOpen(window_, request.Type, request.Width, request.Height, request.StretchWidth,
                              request.StretchHeight);
  if (display_ == nullptr) return nullptr;
  Place(request);
  VidzoWindowShow(window_);
  view_.Width = display_->Width;
  view_.Height = display_->Height;
  view_.Pitch = display_->Pitch;
  view_.Pixels = display_->Pixels;
  view_.Orientation = display_->Orientation;
  view_.RectMode = display_->RectMode;
  view_.UsableColours = display_->UsableColours;
  view_.ColourTable = display_->ColourTable;
  view_.PaletteSize = display_->PaletteSize;
  view_.PaletteLayout = display_->PaletteLayout;
  view_.ScreenColours = display_->ScreenColours;
  view_.FullScreen = display_->FullScreen != 0;
  view_.WindowWidth = display_->WindowWidth;
  view_.WindowHeight = display_->WindowHeight;
  return &view_;
}

void WindowHost::Place(const DisplayRequest& request) {
  if (display_->FullScreen != 0) return;
  VidzoWindowMetrics m{};
  VidzoWindowGetMetrics(window_, &m);
  const auto width = static_cast<int32_t>(display_->WindowWidth);
  const auto height = static_cast<int32_t>(display_->WindowHeight);
  VidzoWindowMove(window_, PlaceWindowEdge(request.Left, m.ScreenWidth, width, m.FrameLeft),
                  PlaceWindowEdge(request.Top, m.ScreenHeight, height, m.FrameTop), display_->WindowWidth,
                  display_->WindowHeight);
}

void WindowHost::MoveDisplay(const DisplayRequest& request) {
  if (display_ != nullptr) Place(request);
}

void WindowHost::CloseDisplay() {
  VidzoDisplayClose(display_);
  display_ = nullptr;
}

void WindowHost::CloseWindow() {
  CloseDisplay();
  VidzoWindowDestroy(window_);
  window_ = nullptr;
}

uint32_t WindowHost::Blit(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  return VidzoDisplayBlit(display_, nullptr, x, y, x, y, width, height);
}

void WindowHost::SetPalette(const uint8_t* rgb) {
  VidzoDisplaySetPalette(display_, rgb, 0);
}

void WindowHost::ReadSystemPalette(uint8_t* rgb) {
  // The screen is true colour: its palette is the one the display holds.
  for (int i = 0; i < 256; ++i) {
    const uint8_t* entry = display_->ColourTable + 4 * i;  // blue, green, red, 0
    rgb[3 * i] = entry[2];
    rgb[3 * i + 1] = entry[1];
    rgb[3 * i + 2] = entry[0];
  }
}

void WindowHost::Clear(uint8_t index) {
  VidzoDisplayClear(display_, index);
}
void WindowHost::BeginFrame() {
  VidzoDisplayBeginFrame(display_);
}
void WindowHost::EndFrame() {
  VidzoDisplayEndFrame(display_);
}
bool WindowHost::HasFocus() {
  return VidzoDisplayHasFocus(display_) != 0;
}

std::string WindowHost::DescribeDisplay() {
  char text[VIDZO_DISPLAY_DESCRIBE_SIZE];
  return VidzoDisplayDescribe(display_, text);
}

bool WindowHost::SetResolution(uint32_t mode) {
  return VidzoDisplaySetResolution(mode) != 0;
}

void WindowHost::SetCaption(const std::string& caption) {
  VidzoWindowSetCaption(window_, caption.c_str());
}

void WindowHost::UseWindowForSound() {
  VidzoSetSoundWindow(VidzoWindowHandle(window_));
}

bool WindowHost::TakeKey(uint8_t& code) {
  const int32_t key = VidzoPollKey();
  if (key < 0) return false;
  code = static_cast<uint8_t>(key);
  return true;
}

void WindowHost::Idle(uint32_t max_ms) {
  if (max_ms == 0) {
    std::this_thread::yield();
    return;
  }
  platform::WaitForSound(max_ms);
}

void WindowHost::FrameShown(const VidzoHandle& handle) {
  if (frame_hook_) frame_hook_(handle);
}

bool WindowHost::SelectDirectSound() {
  return VidzoSelectDirectSound(nullptr) != 0;
}

std::string WindowHost::ProgramFile() {
  return program_file_;
}

}  // namespace vidzoplay
