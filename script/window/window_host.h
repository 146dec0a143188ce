// The script player's host on SDL: the display window of the screen
// commands (the player window and its display buffer), the key queue and
// the mouse, the sound output's turn, and message and question boxes.
#pragma once

#include <string>

#include "display/player_window.h"
#include "script/engine.h"

namespace vidzoscript {

class WindowScriptHost : public ScriptHost {
 public:
  WindowScriptHost();
  ~WindowScriptHost() override;
  WindowScriptHost(const WindowScriptHost&) = delete;
  WindowScriptHost& operator=(const WindowScriptHost&) = delete;

  void Pump() override;
  bool WindowExists() override { return display_ != nullptr; }
  bool WindowHasFocus() override;
  void ResetDisplay() override;
  void Message(const std::string& text, const std::string& caption, platform::MessageKind kind) override;

  VidzoDisplayBuffer* OpenWindow(const WindowRequest& request) override;
  VidzoDisplayBuffer* Display() override { return display_; }
  void Show(uint32_t x, uint32_t y, uint32_t width, uint32_t height) override;
  void SetPalette(const uint8_t* rgb) override;
  void SetTitle(const std::string& title) override;
  void MoveWindow(int32_t x, int32_t y) override;
  std::string DescribeDisplay() override;
  uint64_t WindowId() override;
  int32_t TakeKey(bool& close) override;
  bool TakeClick(bool right) override;
  bool Pointer(int32_t& x, int32_t& y) override;
  void WarpPointer(int32_t x, int32_t y) override;
  bool MousePresent() override;
  void Idle(uint32_t milliseconds) override;
  int32_t Ask(const std::string& text, const std::string& caption, AskButtons buttons) override;

 private:
  void Place(int32_t x, int32_t y);
  bool video_started_ = false;
  VidzoWindow* window_ = nullptr;
  VidzoDisplayBuffer* display_ = nullptr;
};

}  // namespace vidzoscript
