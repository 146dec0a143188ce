// The change map's size and the walk over it that yields changed areas.
// Rectangles are 4 pixel rows high; one map byte covers 64 pixels of a block
// row, and a group may run past the right edge into the next block row.
#include <algorithm>
#include <cstdint>

#include "playback/video.h"

namespace {

constexpr uint32_t kGroupPixels = 64;
constexpr uint32_t kRowHeight = 4;

class Walk {
 public:
  Walk(VidzoOutputDesc& d, VidzoChangedRect& r)
      : d_(d),
        r_(r),
        map_(VidzoChangeMap(&d)),
        groups_((uint64_t{d.BlocksPerRow} * d.BlockRows + 15) / 16),
        width_(d.PixelWidth) {}

  // Bytes past the picture's groups read as unchanged, whatever they hold.
  bool Changed(uint64_t pos) const { return pos < groups_ && map_[pos] != 0; }

  // Adds the group at MapPos to the rectangle, which ends at X. Returns true
  // when the group ends inside the row, so the next one may follow.
  bool AddGroup() {
    const uint64_t end = uint64_t{d_.X} + kGroupPixels;
    ++d_.MapPos;
    if (end < width_) {
      d_.X = static_cast<uint32_t>(end);
      r_.Width = d_.X - r_.X;
      return true;
    }
    r_.Width = width_ - r_.X;
    d_.Y += kRowHeight;
    d_.X = static_cast<uint32_t>(end - width_);
    d_.Continuing = d_.X > 0;
    return false;
  }

  // Adds the current group and each following changed one inside the row.
  void Widen() {
    while (AddGroup() && Changed(d_.MapPos)) {
    }
  }

  int Finish() {
    d_.Finished = 1;
    return 0;
  }

  void Start(uint32_t x, uint32_t width) {
    r_.X = x;
    r_.Y = d_.Y;
    r_.Width = width;
    r_.Height = kRowHeight;
  }

  int Next() {
    if (d_.Finished) return 0;
    if (!d_.Started) {
      d_.Started = 1;
      d_.Continuing = 0;
      d_.MapPos = d_.X = d_.Y = 0;
    }
    if (width_ == 0 || d_.PixelHeight == 0) return Finish();
    if (d_.Continuing) {
      if (d_.Y >= d_.PixelHeight) return Finish();
      const uint32_t p = d_.X;
      if (p >= width_) {
        Start(0, width_);
        d_.X = p - width_;
        d_.Continuing = d_.X > 0;
        d_.Y += kRowHeight;
        return 1;
      }
      Start(0, p);
      d_.Continuing = 0;
      if (Changed(d_.MapPos) || Changed(d_.MapPos + 1)) Widen();
      return 1;
    }
    while (!Changed(d_.MapPos)) {
      if (d_.MapPos >= groups_) return Finish();
      ++d_.MapPos;
      d_.X += kGroupPixels;
      while (d_.X >= width_) {
        d_.X -= width_;
        d_.Y += kRowHeight;
      }
      if (d_.Y >= d_.PixelHeight) return Finish();
    }
    if (d_.Y >= d_.PixelHeight) return Finish();
    Start(d_.X, 0);
    Widen();
    return 1;
  }

 private:
  VidzoOutputDesc& d_;
  VidzoChangedRect& r_;
  const uint8_t* map_;
  uint64_t groups_;
  uint32_t width_;
};

}  // namespace

extern "C" {

uint32_t ChangeMapSize(uint32_t width, uint32_t height) {
  const uint64_t size = uint64_t{width} * height / 256 + 32;
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

int NextChangedRect(VidzoOutputDesc* desc, VidzoChangedRect* rect) {
  if (desc == nullptr || rect == nullptr) return 0;
  return Walk(*desc, *rect).Next();
}

}  // extern "C"
