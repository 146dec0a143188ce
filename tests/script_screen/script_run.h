// The script player run as a user runs it, on an X server of the test's own
// (Xvfb): its window found by its title, screenshots of the window, and the
// window closed as a window manager closes it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace script_screen {

// A window's pixels as 0xRRGGBB, rows top first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;
};

// vidzoscw running `script` (in `dir`, which is also its current folder) on
// the X server `display_name` through SDL's x11 video driver and its
// software renderer, with no sound device.
class ScriptRun {
 public:
  ScriptRun(const vidzoer_test::TempDir& dir, const std::string& display_name, const std::string& script);
  ~ScriptRun();
  ScriptRun(const ScriptRun&) = delete;
  ScriptRun& operator=(const ScriptRun&) = delete;

  // Waits until the file exists and holds `text` (at most `seconds`).
  bool WaitForText(const std::string& file, const std::string& text, double seconds) const;
  // Finds the program's window by its title (at most `seconds`); false when
  // it did not appear.
  bool FindWindow(const std::string& title, double seconds);
  // A screenshot of the window's client area; empty when it failed.
  Picture Capture() const;
  // Sends the key (an X keysym) to the window, as pressed and released.
  void PressKey(unsigned long keysym) const;
  // Asks the window to close, as a window manager does.
  void Close() const;
  // Waits for the program to end (at most `seconds`, then it is killed);
  // its exit code, or -1 when it did not end by itself.
  int Wait(double seconds);
  // What the program wrote to its standard error.
  std::string Errors() const;

 private:
  const vidzoer_test::TempDir& dir_;
  void* display_ = nullptr;  // Display*
  unsigned long window_ = 0;
  pid_t pid_ = -1;
};

// Colour of a 6-bit palette entry (768 components of 0 to 63) on a 24-bit
// screen: each component widened to 8 bits as the display does it.
std::uint32_t ScreenColour(const std::vector<std::uint8_t>& palette, std::uint8_t index);

// Writes the picture as <folder>/<name>.png (through ImageMagick when it is
// installed, else as a .ppm) for a person to look at.
void SavePicture(const Picture& picture, const std::string& folder, const std::string& name);

}  // namespace script_screen
