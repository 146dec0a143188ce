// Helpers of the display tests: SDL video on the dummy driver or on an X
// server of our own (Xvfb), screenshots of that server, and a test frame
// made by the encoder and decoded by the playback library.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/player_window.h"

namespace display_test {

// Restarts SDL video on the dummy driver.
bool StartDummyVideo();

// An Xvfb server started for the test program; stopped at destruction.
class XServer {
 public:
  // True when an Xvfb program is on the PATH.
  static bool Installed();
  // Starts a server (640 x 480, 24 bits); Name() is empty when it failed.
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;  // ":N"
};

// Restarts SDL video on the X server (SDL's x11 driver).
bool StartXVideo(const std::string& display_name);

// The screen's pixels in the rectangle, as 0xRRGGBB; empty when the
// capture failed.
std::vector<std::uint32_t> Capture(const std::string& display_name, int x, int y, int width, int height);

// Covers the rectangle with a black window of another client, captures the
// screen there, then takes the window away (which exposes what it covered).
std::vector<std::uint32_t> CoverAndUncover(const std::string& display_name, int x, int y, int width,
                                           int height);

// A frame of palette indices with its 8-bit palette (768 bytes, R G B).
struct Frame {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> pixels;   // width x height, rows top first
  std::vector<std::uint8_t> palette;  // 768 bytes
};

// Encodes a two-frame animation of width x height (neighbouring pixels
// differ; the second frame has another palette) into a .vdz file and decodes
// it again; frame i of the decoded file.
Frame DecodedTestFrame(std::uint32_t width, std::uint32_t height, std::uint32_t index);

// Copies the frame into the display buffer.
void PutFrame(VidzoDisplayBuffer* d, const Frame& frame);

// The colour of palette index i as 0xRRGGBB.
std::uint32_t ColourOf(const Frame& frame, std::uint8_t index);

}  // namespace display_test
