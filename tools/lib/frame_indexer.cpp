#include "tools/lib/frame_indexer.h"

#include <algorithm>

namespace vidzotools {
namespace {

constexpr uint32_t kColours = 1u << 18;
constexpr uint32_t kLastFrameNumber = (1u << 24) - 1;

uint32_t Key(const uint8_t* rgb) {
  return (static_cast<uint32_t>(rgb[0] >> 2) << 12) | (static_cast<uint32_t>(rgb[1] >> 2) << 6) |
         (rgb[2] >> 2);
}

// A counted pair as one number: its rank (pixel count, then whether the slot
// holds the colour already) above the pair itself.
uint64_t Rank(uint32_t count, bool held, uint32_t pair) {
  return (static_cast<uint64_t>(count) << 17) | (static_cast<uint64_t>(held) << 16) | pair;
}

// Sorts ranked pairs by descending rank, pairs of equal rank in the order
// given (a stable radix sort, a byte of the rank at a time).
void SortByRank(std::vector<uint64_t>& entries, std::vector<uint64_t>& scratch) {
  uint64_t all = 0;
  for (uint64_t e : entries) all |= e;
  scratch.resize(entries.size());
  for (int shift = 16; (all >> shift) != 0; shift += 8) {
    std::array<size_t, 257> at{};
    for (uint64_t e : entries) ++at[256 - ((e >> shift) & 255)];
    for (size_t d = 1; d < at.size(); ++d) at[d] += at[d - 1];
    for (uint64_t e : entries) scratch[at[255 - ((e >> shift) & 255)]++] = e;
    entries.swap(scratch);
  }
}

}  // namespace

FrameIndexer::FrameIndexer() : slot_of_(kColours, kFree), seen_(kColours, 0) {
  colour_.fill(kFree);
}

void FrameIndexer::Assign(int slot, uint32_t key) {
  colour_[slot] = static_cast<int32_t>(key);
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

  std::array<int16_t, 256> slot_for;  // per colour number: its main slot, or kFree
  slot_for.fill(kFree);
  std::array<bool, 256> taken{};
  auto take = [&](uint32_t c, int s) {
    slot_for[c] = static_cast<int16_t>(s);
    taken[s] = true;
    if (colour_[s] != static_cast<int32_t>(colours[c])) Assign(s, colours[c]);
    slot_of_[colours[c]] = static_cast<int16_t>(s);
  };

  // Slots by pixel: the pairs by descending count, each slot taken once.
  // Pairs of equal count whose slot holds the colour already go first, then
  // the one met first in the picture. A pair whose colour has its main slot
  // already keeps its own slot as an extra one when it holds most of the
  // slot's pixels and the slots left suffice for the colours still without
  // one; its pixels keep their indices, so that two slots meeting on one
  // colour for a while need not merge and part again. Smaller shares (the
  // pixels a sprite leaves behind) go to the main slot: scattered across
  // slots of one colour, they would give blocks more indices to code.
  std::array<uint32_t, 256> slot_pixels{};  // per slot: its pixels in the previous frame
  for (uint64_t& entry : counted_) {
    const uint32_t pair = static_cast<uint32_t>(entry);
    slot_pixels[pair >> 8] += pairs_[pair];
    entry = Rank(pairs_[pair], colour_[pair >> 8] == static_cast<int32_t>(colours[pair & 255]), pair);
    pairs_[pair] = 0;
  }
  SortByRank(counted_, scratch_);
  std::array<uint16_t, 256> extra_of;  // per slot: the colour number it holds as an extra slot, or 256
  extra_of.fill(256);
  bool extras = false;
  uint32_t placed = 0, used = 0;
  for (size_t k = 0; k < counted_.size() && used < 256; ++k) {
    const uint32_t s = (counted_[k] >> 8) & 255, c = counted_[k] & 255;
    const uint64_t count = counted_[k] >> 17;
    if (taken[s]) continue;
    if (slot_for[c] == kFree) {
      take(c, static_cast<int>(s));
      ++placed;
      ++used;
    } else if (2 * count > slot_pixels[s] && 256 - used - 1 >= distinct - placed) {
      taken[s] = true;
      extra_of[s] = static_cast<uint16_t>(c);
      extras = true;
      if (colour_[s] != static_cast<int32_t>(colours[c])) Assign(static_cast<int>(s), colours[c]);
      ++used;
    }
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
  if (extras) {
    // A pixel keeps its index where its pair kept the slot as an extra one.
    const uint8_t* const previous = previous_.data();
    for (size_t i = 0; i < pixels; ++i) {
      const uint8_t p = previous[i], c = locals[i];
      out[i] = extra_of[p] == c ? p : slot_of_local[c];
    }
  } else {
    for (size_t i = 0; i < pixels; ++i) out[i] = slot_of_local[locals[i]];
  }
  previous_ = frame.pixels;
  return true;
}

}  // namespace vidzotools
