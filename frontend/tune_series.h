// The data-rate analysis of a .vdz file without a window: the header and
// frame size table are read directly (no decoder), and two series are made,
// one point per frame: the frame's own size and the average over the last
// second's worth of frames, both in bytes per frame or in bytes per second.
// Nothing here uses Qt, so the fuzz target builds it alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidzoerw {

enum class TuneMode { kBytesPerFrame, kBytesPerSecond };

struct TuneSeries {
  std::string file;         // the name opened (".vdz" added when it had no extension)
  int32_t frame_count = 0;  // the header's frame count as stored
  int32_t rate_field = 0;   // the header's frame rate field
  int64_t period = 1;       // frame period in 1/100000 second, at least 1
  int64_t window = 1;       // frames in one second, at least 1
  // Per frame from frame 1: the bytes it counts for (0 for frame 1), and
  // the two plotted points in the mode's unit.
  std::vector<uint32_t> sizes;
  std::vector<int64_t> frame_points;
  std::vector<int64_t> second_points;
  int64_t highest = 0;       // highest frame point
  double reference[3] = {};  // 1x, 2x and 4x CD-ROM drives in the mode's unit
  int64_t maximum = 0;       // top of the vertical scale
  int64_t grid_step = 0;     // one fifth of the maximum
};

inline constexpr std::size_t kTuneHeaderSize = 104;
inline constexpr std::string_view kTuneLoadError = "Error loading Vidzoer file.";

// The frame period in 1/100000 second of a frame rate field: milliseconds
// times 100 when positive, its negation when negative. An untimed file (0)
// counts as one unit, as fast as anything can play.
int64_t TunePeriod(int32_t rate_field);

// The series of a file held in memory (header and as much of the size table
// as `bytes` holds); nothing when it is shorter than a header or not "VDZ2".
std::optional<TuneSeries> ComputeTuneSeries(std::string_view bytes, TuneMode mode);

// Reads a file's header and size table (in blocks of 2048 bytes) and
// computes its series; nothing when the file cannot be opened or is not a
// "VDZ2" file. A frame count larger than the table present is cut to it.
std::optional<TuneSeries> LoadTuneSeries(const std::string& name, TuneMode mode);

// Bytes per second of a frame of `size` bytes.
int64_t TuneRate(const TuneSeries& s, int64_t size);

// "Vidzoer file: <name>", a header line and one "frame\tsize\trate" row per
// frame, lines ending in "\r\n".
std::string TunePointsText(const TuneSeries& s);

// The double-click text for frame `frame` (from 1).
std::string TuneFrameText(const TuneSeries& s, int64_t frame);

// The top of the vertical scale for a highest point `highest`.
int64_t TuneScaleMaximum(int64_t highest, TuneMode mode);

// The visible range of frames: `left` is the first frame shown (from 1).
struct TuneRange {
  int64_t left = 1;
  int64_t count = 2;
  int64_t ScrollMaximum(int64_t frames) const { return frames - count; }
  int64_t ScrollPage() const { return count - 1; }
};
// Shows `k` frames (at least 2) from `left`, pulled back so that it ends at
// the last of `frames` frames and starts no lower than 1.
TuneRange TuneSetRange(int64_t k, int64_t left, int64_t frames);
inline int64_t TuneZoomIn(int64_t count) {
  return count * 3 / 4;
}
inline int64_t TuneZoomOut(int64_t count) {
  return (count * 4 + 1) / 3;
}
inline int64_t TuneDefaultRange(int64_t width) {
  return width / 35;
}

}  // namespace vidzoerw
