// Arbitrary bytes as a .vdz header and frame size table for the data-rate
// analysis: both modes, the clipboard text and every frame's text; the
// series always have one point per frame present.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "frontend/tune_series.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto mode : {vidzoerw::TuneMode::kBytesPerFrame, vidzoerw::TuneMode::kBytesPerSecond}) {
    const auto s = vidzoerw::ComputeTuneSeries(bytes, mode);
    if (!s) continue;
    const size_t present = (size - vidzoerw::kTuneHeaderSize) / 4;
    if (s->sizes.size() > present || s->frame_points.size() != s->sizes.size() ||
        s->second_points.size() != s->sizes.size() || s->window < 1 || s->period < 1 || s->maximum <= 0)
      std::abort();
    (void)vidzoerw::TunePointsText(*s);
    for (int64_t f = 0; f <= static_cast<int64_t>(s->sizes.size()) + 1; ++f)
      (void)vidzoerw::TuneFrameText(*s, f);
  }
  return 0;
}
