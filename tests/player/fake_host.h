// A player host without a window system: a display buffer in memory, a
// scripted key queue and the fake clock, recording what the player asked.
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "player/player.h"

namespace player_test {

class FakeHost : public vidzoplay::PlayerHost {
 public:
  // Display.
  bool fail_open = false;
  bool full_screen = false;
  uint32_t usable_colours = 256;
  uint32_t blit_result = 0;
  std::vector<vidzoplay::DisplayRequest> opens;
  int closes = 0, moves = 0, clears = 0, begins = 0, ends = 0, palettes = 0, remap_reads = 0;
  std::vector<std::array<uint32_t, 4>> blits;
  std::vector<uint8_t> last_palette;
  std::vector<std::string> captions;
  std::vector<uint32_t> resolutions;
  bool focus = true;
  // Keys, and hooks run after each frame and at each idle moment.
  std::deque<uint8_t> keys;
  std::function<void(FakeHost&, const VidzoHandle&)> on_frame;
  std::function<void(FakeHost&)> on_idle;
  int frames_shown = 0;
  int idles = 0;
  std::vector<uint32_t> idle_ms;  // what each Idle was allowed
  std::vector<uint32_t> shown_frames;  // CurrentFrame after each frame's loop decision
  bool direct_sound_works = false;
  int direct_sound_asks = 0;
  int sound_window_uses = 0;
  std::string program_file = "/proc/self/exe";

  const vidzoplay::DisplayView* OpenDisplay(const vidzoplay::DisplayRequest& request) override {
    opens.push_back(request);
    if (fail_open) return nullptr;
    view_.Width = request.Width;
    view_.Height = request.Height;
    view_.Pitch = (request.Width + 7) & ~7u;
    pixels_.assign(static_cast<size_t>(view_.Pitch) * request.Height, 0xEE);
    view_.Pixels = pixels_.data();
    view_.RectMode = 1;
    view_.UsableColours = usable_colours;
    view_.ColourTable = colour_table_;
    view_.ScreenColours = 1u << 24;
    view_.FullScreen = full_screen;
    open_ = true;
    return &view_;
  }
  void MoveDisplay(const vidzoplay::DisplayRequest&) override { ++moves; }
  void CloseDisplay() override {
    ++closes;
    open_ = false;
  }
  uint32_t Blit(uint32_t x, uint32_t y, uint32_t w, uint32_t h) override {
    blits.push_back({x, y, w, h});
    return blit_result;
  }
  void SetPalette(const uint8_t* rgb) override {
    ++palettes;
    last_palette.assign(rgb, rgb + 768);
  }
  void ReadSystemPalette(uint8_t* rgb) override {
    ++remap_reads;
    for (int i = 0; i < 768; ++i) rgb[i] = static_cast<uint8_t>(255 - i % 256);
  }
  void Clear(uint8_t index) override {
    ++clears;
    std::memset(pixels_.data(), index, pixels_.size());
  }
  void BeginFrame() override { ++begins; }
  void EndFrame() override { ++ends; }
  bool HasFocus() override { return focus; }
  std::string DescribeDisplay() override { return "Fake display"; }
  bool SetResolution(uint32_t mode) override {
    resolutions.push_back(mode);
    return true;
  }
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void UseWindowForSound() override { ++sound_window_uses; }
  bool TakeKey(uint8_t& code) override {
    if (keys.empty()) return false;
    code = keys.front();
    keys.pop_front();
    return true;
  }
  void Idle(uint32_t max_ms) override {
    ++idles;
    idle_ms.push_back(max_ms);
    if (platform::FakeClockActive()) platform::AdvanceFakeClock(1);
    if (on_idle) on_idle(*this);
  }
  void FrameShown(const VidzoHandle& h) override {
    ++frames_shown;
    shown_frames.push_back(h.CurrentFrame);
    if (on_frame) on_frame(*this, h);
  }
  bool SelectDirectSound() override {
    ++direct_sound_asks;
    return direct_sound_works;
  }
  std::string ProgramFile() override { return program_file; }

  bool display_open() const { return open_; }
  const std::vector<uint8_t>& pixels() const { return pixels_; }

 private:
  vidzoplay::DisplayView view_;
  std::vector<uint8_t> pixels_;
  uint8_t colour_table_[1024] = {};
  bool open_ = false;
};

}  // namespace player_test
