#include "support/play_loop.h"

namespace vidzoer_test {

LoopResult PlayLoop(VidzoHandle* h, const LoopOptions& options) {
  LoopResult result;
  for (uint32_t n = 0; n < options.frames; ++n) {
    LoopFrame frame;
    frame.index = h->CurrentFrame;
    frame.behind = VidzoDecodeFrame(h);
    if (options.decoded) options.decoded(frame);
    while (VidzoNextDirtyRect(h, options.rect_mode) != 0) {
      frame.rects.push_back({h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight});
      if (frame.rects.size() > options.max_rects) {
        result.gave_up = true;
        break;
      }
    }
    if (options.shown) options.shown(frame);
    VidzoAdvanceFrame(h);
    while (!result.gave_up && VidzoFrameNotDue(h) != 0) {
      if (++frame.waits > options.max_waits) result.gave_up = true;
      if (options.idle) options.idle();
    }
    result.frames.push_back(std::move(frame));
    if (result.gave_up) break;
  }
  return result;
}

}  // namespace vidzoer_test
