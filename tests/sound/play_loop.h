// A minimal headless player for end-to-end runs: each frame hands its sound
// over, the output is serviced, and the loop waits on the real clock for the
// frame period; at the end it waits for the timing track to play out.
#pragma once

#include <cstdint>

#include "playback/vidzo.h"

namespace soundtest {

struct PlayReport {
  uint32_t frames = 0;
  uint32_t sound_skips = 0;  // of the timing track
  uint32_t overflows = 0;
  uint32_t queued = 0;  // bytes queued for the timing track
  uint32_t played = 0;  // its played bytes at the end
};

// Plays frames 0 to FrameCount - 1 of `h` (opened with its tracks), keeping
// the sound `lead` frames ahead of the picture.
PlayReport PlayHeadless(VidzoHandle* h, uint32_t lead);

}  // namespace soundtest
