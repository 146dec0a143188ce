#include "tools/lib/frame_indexer.h"

namespace vidzotools {
namespace {

constexpr uint32_t kColours = 1u << 18;

uint32_t Key(const uint8_t* rgb) {
  return (static_cast<uint32_t>(rgb[0] >> 2) << 12) | (static_cast<uint32_t>(rgb[1] >> 2) << 6) |
         (rgb[2] >> 2);
}

}  // namespace

FrameIndexer::FrameIndexer() : slot_of_(kColours, kFree), seen_in_(kColours, 0) {
  colour_.fill(kFree);
  used_in_.fill(0);
}

bool FrameIndexer::Next(const uint8_t* rgb, size_t pixels, AnimationFrame& frame, std::string& error) {
  const uint32_t number = ++frame_number_;
  // The frame's distinct colours; the ones without a slot wait for one.
  std::vector<uint32_t> waiting;
  uint32_t distinct = 0;
  for (size_t i = 0; i < pixels; ++i) {
    const uint32_t key = Key(rgb + 3 * i);
    if (seen_in_[key] == number) continue;
    seen_in_[key] = number;
    if (++distinct > 256) {
      error = "more than 256 colours";
      return false;
    }
    if (slot_of_[key] == kFree) {
      waiting.push_back(key);
    } else {
      used_in_[slot_of_[key]] = number;
    }
  }

  // Never-used slots first, then the slots whose colour is not in this frame.
  size_t next = 0;
  for (int pass = 0; pass < 2 && next < waiting.size(); ++pass) {
    for (int s = 0; s < 256 && next < waiting.size(); ++s) {
      if (used_in_[s] == number || (pass == 0) != (colour_[s] == kFree)) continue;
      if (colour_[s] != kFree) slot_of_[colour_[s]] = kFree;
      const uint32_t key = waiting[next++];
      colour_[s] = static_cast<int32_t>(key);
      slot_of_[key] = static_cast<int16_t>(s);
      used_in_[s] = number;
      palette_[3 * s] = ExpandComponent(static_cast<uint8_t>(key >> 12));
      palette_[3 * s + 1] = ExpandComponent(static_cast<uint8_t>((key >> 6) & 63));
      palette_[3 * s + 2] = ExpandComponent(static_cast<uint8_t>(key & 63));
    }
  }

  frame.palette = palette_;
  frame.pixels.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) frame.pixels[i] = static_cast<uint8_t>(slot_of_[Key(rgb + 3 * i)]);
  return true;
}

}  // namespace vidzotools
