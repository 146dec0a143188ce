// Frame statistics and buffering sizes computed when a file is opened.
#include <algorithm>

#include "playback/container.h"

namespace vidzo {

uint32_t PeriodFromRate(int32_t frame_rate) {
  if (frame_rate > 0) return static_cast<uint32_t>(frame_rate) * 100u;
  return 0u - static_cast<uint32_t>(frame_rate);  // 0 stays 0
}

uint32_t FramesPerSecond(uint32_t period) {
  uint32_t fps = period != 0 ? 100000u / period : 100000u;
  return fps != 0 ? fps : 1u;
}

FrameStats ComputeFrameStats(const uint32_t* sizes, uint32_t n, uint32_t fps) {
  FrameStats s;
  if (n == 0) return s;
  for (uint32_t i = 0; i < n; ++i) {
    s.total += sizes[i];
    s.largest = std::max(s.largest, sizes[i]);
  }
  s.average = static_cast<uint32_t>(s.total / n);
  if (n - 1 <= fps) {
    // At most one second of frames after the first, so no window between the
    // first and the last frame fits: the whole file. (With exactly one second
    // the window rule alone would report 0 bytes.)
    s.peak_bytes = static_cast<uint32_t>(s.total);
    s.peak_frame = 1;
    return s;
  }
  // Windows of fps frames starting at frames 1 to n - 1 - fps.
  uint64_t window = 0;
  for (uint32_t i = 1; i <= fps; ++i) window += sizes[i];
  uint64_t best = 0;
  uint32_t best_start = 0;
  for (uint32_t start = 1; start + fps <= n - 1; ++start) {
    if (start > 1) window += static_cast<uint64_t>(sizes[start + fps - 1]) - sizes[start - 1];
    if (window > best) {
      best = window;
      best_start = start;
    }
  }
  s.peak_bytes = static_cast<uint32_t>(best);
  s.peak_frame = best_start + 1;
  return s;
}

uint64_t ChooseRingSize(uint32_t extra_buffer, uint32_t period, uint32_t peak_bytes, uint64_t total) {
  uint64_t r = extra_buffer;
  if (extra_buffer == 0xFFFFFFFFu) {
    r = period != 0 ? peak_bytes : 12288u;
    r = std::min<uint64_t>(r, total / 4);
    r = std::max<uint64_t>(r, 12288u);
  }
  r = (r + kBlock - 1) / kBlock * kBlock;
  return std::max<uint64_t>(r, 8192u);
}

}  // namespace vidzo
