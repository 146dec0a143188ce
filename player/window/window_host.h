// The player's window layer: the player logic's host on the player window
// and display buffer of display/, and its key queue.
#pragma once

#include <functional>
#include <string>

#include "display/display.h"
#include "display/player_window.h"
#include "player/player.h"

namespace vidzoplay {

class WindowHost : public PlayerHost {
 public:
  using FrameHook = std::function<void(const VidzoHandle&)>;
  WindowHost(FrameHook frame_hook, std::string program_file);
  ~WindowHost() override;

  const DisplayView* OpenDisplay(const DisplayRequest& request) override;
  void MoveDisplay(const DisplayRequest& request) override;
  void CloseDisplay() override;
  uint32_t Blit(uint32_t x, uint32_t y, uint32_t width, uint32_t height) override;
  void SetPalette(const uint8_t* rgb) override;
  void ReadSystemPalette(uint8_t* rgb) override;
  void Clear(uint8_t index) override;
  void BeginFrame() override;
  void EndFrame() override;
  bool HasFocus() override;
  std::string DescribeDisplay() override;
  bool SetResolution(uint32_t mode) override;
  void SetCaption(const std::string& caption) override;
  void UseWindowForSound() override;
  bool TakeKey(uint8_t& code) override;
  void Idle(uint32_t max_ms) override;
  void FrameShown(const VidzoHandle& handle) override;
  bool SelectDirectSound() override;
  std::string ProgramFile() override;

  // Closes the display and the window (the end of the run).
  void CloseWindow();

 private:
  void Place(const DisplayRequest& request);

  FrameHook frame_hook_;
  std::string program_file_;
  VidzoWindow* window_ = nullptr;
  VidzoDisplayBuffer* display_ = nullptr;
  DisplayView view_;
};

}  // namespace vidzoplay
