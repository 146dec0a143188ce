// Pieces of the frame pacing shared by its files (the frame step, the
// changed rectangles). Not part of the library's interface.
#pragma once

#include <cstdint>

#include "playback/vidzo.h"

namespace vidzo {

// A running measurement holds its start time; 0 means not running. A start
// that falls on millisecond 0 of the wrapping timer is kept as the
// millisecond before it, so that it still counts as running.
inline uint32_t StartMark(uint32_t now) {
  return now != 0 ? now : 0xFFFFFFFFu;
}

// True when the 32-bit clock value `a` lies at or after `b` (both wrap; the
// two are taken to be less than 2^31 apart).
inline bool ReachedClock(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) >= 0;
}

}  // namespace vidzo
