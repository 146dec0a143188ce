// A headless playback loop of the shape a player follows: decode the
// current frame, walk its changed rectangles with a rectangle mode
// (collecting them), advance, and wait until the next frame is due.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "playback/vidzo.h"

namespace vidzoer_test {

// A rectangle handed out by VidzoNextDirtyRect, in output-buffer pixels.
struct DirtyRect {
  uint32_t left = 0, top = 0, width = 0, height = 0;
  bool operator==(const DirtyRect&) const = default;
};

// One frame of the loop.
struct LoopFrame {
  uint32_t index = 0;   // CurrentFrame when it was decoded
  uint32_t behind = 0;  // VidzoDecodeFrame's answer
  std::vector<DirtyRect> rects;
  uint32_t waits = 0;  // VidzoFrameNotDue answers of 1 after it
};

struct LoopOptions {
  uint32_t rect_mode = VIDZO_RECTS_BUDGET;
  uint32_t frames = 0;  // frames to decode
  // Called after a frame was decoded, before its rectangles are walked.
  std::function<void(const LoopFrame&)> decoded;
  // Called after a frame's rectangles were walked, before the advance (the
  // picture of the frame is in the output buffer then).
  std::function<void(const LoopFrame&)> shown;
  // Called each time VidzoFrameNotDue answers 1 (a test moves its fake clock
  // here).
  std::function<void()> idle;
  // Rectangles taken from one frame before the walk is given up (a guard
  // against a walk that never ends).
  uint32_t max_rects = 4096;
  // Waits after one frame before the wait is given up.
  uint64_t max_waits = 100000000;
};

struct LoopResult {
  std::vector<LoopFrame> frames;
  bool gave_up = false;  // a walk or a wait went past its bound
};

LoopResult PlayLoop(VidzoHandle* h, const LoopOptions& options);

}  // namespace vidzoer_test
