#include "frontend/tune_series.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace vidzoerw {
namespace {

uint32_t U32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

// The name with ".vdz" when its last part has no extension.
std::string WithExtension(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  const size_t dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
  return dot == std::string::npos ? name + ".vdz" : name;
}

}  // namespace

int64_t TunePeriod(int32_t rate_field) {
  const int64_t rate = rate_field;
  const int64_t period = rate >= 0 ? rate * 100 : -rate;
  return std::max<int64_t>(period, 1);
}

int64_t TuneRate(const TuneSeries& s, int64_t size) {
  return size * 100000 / s.period;
}

int64_t TuneScaleMaximum(int64_t highest, TuneMode mode) {
  const auto t = static_cast<double>(static_cast<int64_t>(static_cast<double>(highest) * 0.2 + 0.5) * 5);
  // A file of empty frames still gets one step of scale.
  if (mode == TuneMode::kBytesPerSecond)
    return std::max<int64_t>(static_cast<int64_t>((t + 999) * 0.001) * 1000, 1000);
  return std::max<int64_t>(static_cast<int64_t>((t + 499) * 0.002) * 500, 500);
}

std::optional<TuneSeries> ComputeTuneSeries(std::string_view bytes, TuneMode mode) {
  if (bytes.size() < kTuneHeaderSize || bytes.substr(0, 4) != "VDZ2") return std::nullopt;
  TuneSeries s;
  s.frame_count = static_cast<int32_t>(U32(bytes.data() + 12));
  s.rate_field = static_cast<int32_t>(U32(bytes.data() + 16));
  s.period = TunePeriod(s.rate_field);
  s.window = std::max<int64_t>(100000 / s.period, 1);
  const bool per_second = mode == TuneMode::kBytesPerSecond;
  static constexpr double kDrive[3] = {150000, 300000, 600000};
  for (int k = 0; k < 3; ++k)
    s.reference[k] = per_second ? kDrive[k] * 0.8 : static_cast<double>(s.period) * kDrive[k] * 0.8 / 100000;

  // The header's count is not trusted: only the entries present are used.
  const size_t present = (bytes.size() - kTuneHeaderSize) / 4;
  const size_t frames = std::min<size_t>(present, static_cast<size_t>(std::max<int32_t>(s.frame_count, 0)));
  s.sizes.reserve(frames);
  s.frame_points.reserve(frames);
  s.second_points.reserve(frames);
  // The last N values, newest first, as a ring: `front` is the newest.
  std::vector<uint32_t> window(static_cast<size_t>(s.window), 0);
  size_t front = 0;
  uint64_t sum = 0;
  int64_t count = 0;
  uint32_t previous = 0;
  for (size_t i = 0; i < frames; ++i) {
    front = front == 0 ? window.size() - 1 : front - 1;
    window[front] = previous;
    if (count < s.window) {
      ++count;
    } else {
      sum -= window[(front + window.size() - 1) % window.size()];
    }
    const uint32_t value = i == 0 ? 0 : U32(bytes.data() + kTuneHeaderSize + 4 * i);
    sum += value;
    const auto average = static_cast<int64_t>(sum / static_cast<uint64_t>(count));
    const int64_t frame_point = per_second ? TuneRate(s, value) : value;
    const int64_t second_point = per_second ? TuneRate(s, average) : average;
    s.highest = std::max(s.highest, frame_point);
    s.sizes.push_back(value);
    s.frame_points.push_back(frame_point);
    s.second_points.push_back(second_point);
    previous = value;
  }
  s.maximum = TuneScaleMaximum(s.highest, mode);
  s.grid_step = s.maximum / 5;
  return s;
}

std::optional<TuneSeries> LoadTuneSeries(const std::string& name, TuneMode mode) {
  const std::string file = WithExtension(name);
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(kTuneHeaderSize, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) || bytes.compare(0, 4, "VDZ2") != 0)
    return std::nullopt;
  const int64_t wanted = std::max<int32_t>(static_cast<int32_t>(U32(bytes.data() + 12)), 0);
  // The table in blocks of 512 entries, as far as the file holds it.
  char block[2048];
  int64_t have = 0;
  while (have < wanted) {
    const int64_t entries = std::min<int64_t>(wanted - have, 512);
    in.read(block, static_cast<std::streamsize>(entries * 4));
    const auto got = static_cast<size_t>(in.gcount()) / 4 * 4;
    bytes.append(block, got);
    have += static_cast<int64_t>(got / 4);
    if (got < static_cast<size_t>(entries * 4)) break;
  }
  auto s = ComputeTuneSeries(bytes, mode);
  if (s) s->file = file;
  return s;
}

std::string TunePointsText(const TuneSeries& s) {
  std::string text = "Vidzoer file: " + s.file + "\r\n\r\nFrame\tSize\tBytes per Second\r\n";
  for (size_t i = 0; i < s.sizes.size(); ++i) {
    text += std::to_string(i + 1) + '\t' + std::to_string(s.sizes[i]) + '\t' +
            std::to_string(TuneRate(s, s.sizes[i])) + "\r\n";
  }
  return text;
}

std::string TuneFrameText(const TuneSeries& s, int64_t frame) {
  if (frame < 1 || frame > static_cast<int64_t>(s.sizes.size())) return {};
  const uint32_t size = s.sizes[static_cast<size_t>(frame - 1)];
  return "Frame: " + std::to_string(frame) + "  Size: " + std::to_string(size) +
         "  Bytes per second: " + std::to_string(TuneRate(s, size));
}

TuneRange TuneSetRange(int64_t k, int64_t left, int64_t frames) {
  TuneRange r;
  r.count = std::max<int64_t>(k, 2);
  r.left = std::max<int64_t>(left, 1);
  if (r.left + r.count - 1 > frames) r.left = std::max<int64_t>(frames - r.count + 1, 1);
  return r;
}

}  // namespace vidzoerw
