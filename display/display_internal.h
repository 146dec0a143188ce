// Inside the display: the player window record and the drawing steps the
// window layer and the display operations share.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

#include "display/display.h"
#include "display/player_window.h"

struct VidzoWindow {
  SDL_Window* sdl = nullptr;
  std::uint32_t flags = 0;                // display flags given at creation
  VidzoDisplayBuffer* display = nullptr;  // the display open on the window
};

namespace vidzo::display {

// The window of an SDL window id (null when it is not a player window).
VidzoWindow* WindowFromId(std::uint32_t id);

// Draws the whole buffer at once (expose, realize, palette repaint); a
// direct-drawing interlaced display blacks its picture out first.
void PaintAll(VidzoDisplayBuffer* d);

// The player window is shown and not minimized.
bool PictureVisible(const VidzoDisplayBuffer* d);

// The full-screen window gained or lost the focus.
void SetActive(VidzoDisplayBuffer* d, bool active);

// The video driver is SDL's dummy or offscreen driver (or there is none).
bool HeadlessDriver();

}  // namespace vidzo::display
