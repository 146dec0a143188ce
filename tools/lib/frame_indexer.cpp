#include "tools/lib/frame_indexer.h"

#include <algorithm>
#include <functional>

namespace vidzotools {
namespace {

constexpr uint32_t kColours = 1u << 18;
constexpr uint32_t kLastFrameNumber = (1u << 24) - 1;

uint32_t Key(const uint8_t* rgb) {
  return (static_cast<uint32_t>(rgb[0] >> 2) << 12) | (static_cast<uint32_t>(rgb[1] >> 2) << 6) |
         (rgb[2] >> 2);
}

// A counted pair as one number that sorts, in descending order, by pixel
// count, then pairs whose colour the slot already holds, then slot and colour
// number ascending.
uint64_t Rank(uint32_t count, bool held, uint32_t pair) {
  return (static_cast<uint64_t>(count) << 17) | (static_cast<uint64_t>(held) << 16) | (0xFFFFu - pair);
}

}  // namespace

FrameIndexer::FrameIndexer() : slot_of_(kColours, kFree), seen_(kColours, 0) {
  colour_.fill(kFree);
}

void FrameIndexer::Assign(int slot, uint32_t key) {
  colour_[slot] = static_cast<int32_t>(key);
  slot_of_[key] = static_cast<int16_t>(slot);
  palette_[3 * slot] = ExpandComponent(static_cast<uint8_t>(key >> 12));
  palette_[3 * slot + 1] = ExpandComponent(static_cast<uint8_t>((key >> 6) & 63));
  palette_[3 * slot + 2] = ExpandComponent(static_cast<uint8_t>(key & 63));
}

template <bool pairs>
bool FrameIndexer::Gather(const uint8_t* rgb, size_t pixels, std::array<uint32_t, 256>& colours,
                          uint32_t& distinct) {
  const uint32_t stamp = frame_number_ << 8;
  uint32_t* const seen = seen_.data();
  uint8_t* const locals = locals_.data();
  const uint8_t* const previous = previous_.data();
  uint32_t last_key = kColours;
  uint8_t local = 0;
  // The pixels of one pair come in runs; each run is counted at its end.
  uint32_t run_pair = 0;
  size_t run_start = 0;
  auto count_run = [&](size_t end) {
    if (pairs_[run_pair] == 0) counted_.push_back(run_pair);
    pairs_[run_pair] += static_cast<uint32_t>(end - run_start);
  };
  for (size_t i = 0; i < pixels; ++i) {
    const uint32_t key = Key(rgb + 3 * i);
    if (key != last_key) {
      if ((seen[key] & ~0xFFu) != stamp) {
        if (distinct == 256) return false;
        seen[key] = stamp | distinct;
        colours[distinct++] = key;
      }
      last_key = key;
      local = static_cast<uint8_t>(seen[key]);
    }
    locals[i] = local;
    if constexpr (pairs) {
      const uint32_t pair = static_cast<uint32_t>(previous[i]) << 8 | local;
      if (pair != run_pair) {
        if (i > 0) count_run(i);
        run_pair = pair;
        run_start = i;
      }
    }
  }
  if constexpr (pairs) {
    if (pixels > 0) count_run(pixels);
  }
  return true;
}

bool FrameIndexer::Next(const uint8_t* rgb, size_t pixels, AnimationFrame& frame, std::string& error) {
  if (frame_number_ == kLastFrameNumber) {
    std::fill(seen_.begin(), seen_.end(), 0);
    frame_number_ = 0;
  }
  ++frame_number_;
  // The frame's distinct colours in order of appearance, and each pixel's
  // colour as its number among them; with a previous frame of the same size,
  // the pixel counts of the pairs (previous slot, colour).
  std::array<uint32_t, 256> colours;
  uint32_t distinct = 0;
  locals_.resize(pixels);
  counted_.clear();
  const bool by_pixel = previous_.size() == pixels && pixels <= UINT32_MAX;
  if (by_pixel && pairs_.empty()) pairs_.assign(256 * 256, 0);
  if (!(by_pixel ? Gather<true>(rgb, pixels, colours, distinct)
                 : Gather<false>(rgb, pixels, colours, distinct))) {
    for (uint64_t pair : counted_) pairs_[pair] = 0;
    error = "more than 256 colours";
    return false;
  }

  std::array<int16_t, 256> slot_for;  // per colour number: its slot, or kFree
  slot_for.fill(kFree);
  std::array<bool, 256> taken{};
  auto take = [&](uint32_t c, int s) {
    slot_for[c] = static_cast<int16_t>(s);
    taken[s] = true;
    if (colour_[s] != static_cast<int32_t>(colours[c])) Assign(s, colours[c]);
  };

  // Slots by pixel: the pairs by descending count, each slot and each colour
  // taken once.
  for (uint64_t& entry : counted_) {
    const uint32_t pair = static_cast<uint32_t>(entry);
    entry = Rank(pairs_[pair], colour_[pair >> 8] == static_cast<int32_t>(colours[pair & 255]), pair);
    pairs_[pair] = 0;
  }
  std::sort(counted_.begin(), counted_.end(), std::greater<>());
  for (uint64_t entry : counted_) {
    const uint32_t pair = 0xFFFFu - static_cast<uint32_t>(entry & 0xFFFF);
    const uint32_t s = pair >> 8, c = pair & 255;
    if (!taken[s] && slot_for[c] == kFree) take(c, static_cast<int>(s));
  }

  // The colours left over: their last slot when it is free and still holds
  // them, then never-used slots, then the slots no colour of this frame holds.
  std::array<uint8_t, 256> waiting;
  size_t waiting_count = 0;
  for (uint32_t c = 0; c < distinct; ++c) {
    if (slot_for[c] != kFree) continue;
    const int s = slot_of_[colours[c]];
    if (s != kFree && !taken[s] && colour_[s] == static_cast<int32_t>(colours[c])) {
      take(c, s);
    } else {
      waiting[waiting_count++] = static_cast<uint8_t>(c);
    }
  }
  size_t next = 0;
  for (int pass = 0; pass < 2 && next < waiting_count; ++pass) {
    for (int s = 0; s < 256 && next < waiting_count; ++s) {
      if (taken[s] || (pass == 0 && colour_[s] != kFree)) continue;
      take(waiting[next++], s);
    }
  }

  std::array<uint8_t, 256> slot_of_local;
  for (uint32_t c = 0; c < distinct; ++c) slot_of_local[c] = static_cast<uint8_t>(slot_for[c]);
  frame.palette = palette_;
  frame.pixels.resize(pixels);
  uint8_t* const out = frame.pixels.data();
  const uint8_t* const locals = locals_.data();
  for (size_t i = 0; i < pixels; ++i) out[i] = slot_of_local[locals[i]];
  previous_ = frame.pixels;
  return true;
}

}  // namespace vidzotools
