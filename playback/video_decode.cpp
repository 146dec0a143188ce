// VidzoDecodeVideo: checks the descriptor, resets the lasts and the rectangle
// walk, and runs the decoder of the output form with the chosen painters.
#include <atomic>

#include "playback/bit_reader.h"
#include "playback/video_internal.h"

namespace vidzo::video {

namespace {

std::atomic<PainterChoice> g_painters{PainterChoice::kFollowMmx};

// True when the descriptor's picture fits its change map.
bool MapFits(const VidzoOutputDesc& d) {
  const std::uint64_t groups = (std::uint64_t{d.BlocksPerRow} * d.BlockRows + 15) / 16;
  return groups < d.MapBytes;  // room for the closing 0 too
}

}  // namespace

void ForcePainters(PainterChoice choice) {
  g_painters.store(choice, std::memory_order_relaxed);
}

DecodeFn ChooseDecoder(unsigned form, bool wide) {
  if (wide) form |= kFormWide;
  PainterChoice choice = g_painters.load(std::memory_order_relaxed);
  if (choice == PainterChoice::kFollowMmx) choice = wide ? PainterChoice::kVector : PainterChoice::kPlain;
  if (choice == PainterChoice::kVector) {
    if (DecodeFn vector = VectorDecoder(form)) return vector;
  }
  return PlainDecoder(form);
}

}  // namespace vidzo::video

extern "C" {

void VidzoDecodeVideo(const uint8_t* video, uint32_t size, VidzoTreesArea* trees, VidzoOutputDesc* desc) {
  using namespace vidzo::video;
  if (trees == nullptr || desc == nullptr || desc->Kind != 1) return;
  desc->Finished = desc->Continuing = desc->Started = 0;
  desc->X = desc->Y = desc->MapPos = 0;
  if (!MapFits(*desc)) return;
  unsigned form = desc->Doubled ? kFormDoubled : 0;
  if (desc->ColourMode == VIDZO_COLOUR_555 || desc->ColourMode == VIDZO_COLOUR_565) {
    if (desc->Colour16 == nullptr) return;
    form |= kForm16;
  } else if (desc->ColourMode != VIDZO_COLOUR_8BIT) {
    return;
  }
  vidzo::ResetLasts(*trees);
  ChooseDecoder(form, vidzo::WideBitReader())(video, video ? size : 0, *trees, *desc);
}

uint32_t VidzoSetMMX(uint32_t setting) {
  if (setting == 0) vidzo::SetWideBitReader(false);
  if (setting == 1) vidzo::SetWideBitReader(vidzo::ProcessorHasMmx());
  return vidzo::WideBitReader() ? 1u : 0u;
}

}  // extern "C"
