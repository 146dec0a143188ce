// A whole animation as .vdz content: palette chunks where the palette changes
// and the coded video, with the optional ring frame.
#include "tools/lib/block_encoder.h"

namespace vidzotools {
namespace {

// The chunk that turns `previous` into `next`, or nothing when they agree.
std::vector<uint8_t> PaletteChange(const std::array<uint8_t, 768>& previous,
                                   const std::array<uint8_t, 768>& next) {
  if (previous == next) return {};
  return EncodePaletteChunk(previous.data(), next.data());
}

// The palette as the decoder will hold it: each component kept to its top 6
// bits and widened again.
std::array<uint8_t, 768> AsStored(const std::array<uint8_t, 768>& palette) {
  std::array<uint8_t, 768> stored;
  for (size_t i = 0; i < stored.size(); ++i) stored[i] = ExpandComponent(palette[i] >> 2);
  return stored;
}

}  // namespace

bool EncodeAnimation(uint32_t width, uint32_t height, std::span<const AnimationFrame> frames,
                     const AnimationOptions& options, VdzContent& content, std::string& error) {
  content = VdzContent{};
  if (frames.empty()) {
    error = "there are no frames";
    return false;
  }
  const size_t pixels = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].pixels.size() != pixels) {
      error = "frame " + std::to_string(i) + " does not hold " + std::to_string(width) + " x " +
              std::to_string(height) + " pixels";
      return false;
    }
  }

  // Frame 0 is painted over an unknown picture (or, when playback loops
  // without a ring frame, over the last one), so it leaves nothing unchanged;
  // neither does a key frame.
  std::vector<FrameToCode> order;
  for (size_t i = 0; i < frames.size(); ++i)
    order.push_back(
        {frames[i].pixels.data(), i == 0 || frames[i].key ? nullptr : frames[i - 1].pixels.data()});
  if (options.ring) order.push_back({frames.front().pixels.data(), frames.back().pixels.data()});

  EncodedVideo video;
  if (!EncodeVideo(width, height, order, video, error, options.progress)) return false;

  content.width = width;
  content.height = height;
  content.frame_rate = options.frame_rate;
  content.trees = std::move(video.trees);
  // The palette starts cleared, both at open and when playback returns to
  // frame 0.
  std::vector<std::array<uint8_t, 768>> palettes{std::array<uint8_t, 768>{}};
  for (const AnimationFrame& f : frames) palettes.push_back(AsStored(f.palette));
  for (size_t i = 0; i < frames.size(); ++i) {
    VdzFrame f;
    f.palette = PaletteChange(palettes[i], palettes[i + 1]);
    f.video = std::move(video.frames[i]);
    content.frames.push_back(std::move(f));
  }
  if (options.ring) {
    content.has_ring = true;
    content.ring.palette = PaletteChange(palettes.back(), palettes[1]);
    content.ring.video = std::move(video.frames.back());
  }
  return true;
}

}  // namespace vidzotools
