// The changed rectangles of a decoded frame, handed out one at a time for
// the display to copy. The changed runs of the change map (4 rows high, top
// to bottom) are gathered into rectangles: in the budget modes a rectangle
// grows over the following runs while its area stays within 5/4 of the area
// of the runs it covers; in the bounding mode one rectangle covers them all.
// Rectangles are widened to 8-pixel boundaries of the output buffer where
// the picture allows, at most four wait in the list, and listed rectangles
// that touch edge to edge are merged.
#include <algorithm>

#include "platform/clock.h"
#include "playback/pacing.h"
#include "playback/video.h"

namespace {

struct Rect {
  uint32_t left, top, right, bottom;
};

// Fetches the next changed run into RunLeft..RunHeight.
bool FetchRun(VidzoHandle* h) {
  VidzoChangedRect r;
  if (h->OutputDesc == nullptr || !NextChangedRect(h->OutputDesc, &r)) return false;
  h->RunLeft = r.X;
  h->RunTop = r.Y;
  h->RunWidth = r.Width;
  h->RunHeight = r.Height;
  return true;
}

uint64_t RunBudget(const VidzoHandle* h) {
  return uint64_t{h->RunWidth} * h->RunHeight * 5 / 4;
}

// Builds the next rectangle from the runs; false when there is none.
bool BuildRect(VidzoHandle* h, uint32_t mode, Rect& out) {
  switch (h->RectState) {
    case 3:
      h->RectState = 0;
      if (mode != VIDZO_RECTS_EMPTY_END) return false;
      out = Rect{0, 0, 0, 0};
      return true;
    case 1:
      if (!FetchRun(h)) {
        h->RectState = 0;
        if (!h->PaletteChanged) return false;
        out = Rect{0, 0, 0, 0};  // a new palette with an unchanged picture
        return true;
      }
      h->RectState = 2;
      break;
    case 2:
      break;
    default:
      return false;
  }

  uint32_t x0 = h->RunLeft, y0 = h->RunTop;
  uint32_t x1 = x0 + h->RunWidth, y1 = y0 + h->RunHeight;
  if (mode == VIDZO_RECTS_BOUNDING) {
    while (FetchRun(h)) {
      x0 = std::min(x0, h->RunLeft);
      x1 = std::max(x1, h->RunLeft + h->RunWidth);
      y1 = h->RunTop + h->RunHeight;
    }
    h->RectState = 3;
  } else {
    uint64_t budget = RunBudget(h);
    for (;;) {
      if (!FetchRun(h)) {
        h->RectState = 3;
        break;
      }
      budget += RunBudget(h);
      const uint32_t nx0 = std::min(x0, h->RunLeft);
      const uint32_t nx1 = std::max(x1, h->RunLeft + h->RunWidth);
      const uint32_t ny1 = std::max(y1, h->RunTop + h->RunHeight);
      if (uint64_t{nx1 - nx0} * (ny1 - y0) > budget) break;  // the run starts the next rectangle
      x0 = nx0;
      x1 = nx1;
      y1 = ny1;
    }
  }

  if (h->OpenFlags & (OPEN_Y_INTERLACE | OPEN_Y_DOUBLE)) {
    y0 *= 2;
    y1 *= 2;
  }

  // 8-pixel boundaries of the output buffer, never reaching outside the
  // picture.
  uint32_t width = x1 - x0;
  uint32_t x = x0 + h->DestX;
  const uint32_t down = x & ~7u;
  if (x % 8 != 0 && h->DestX < down) {
    width += x - down;
    x0 -= x - down;
    x = down;
  }
  const uint64_t up = (uint64_t{width} + 7) & ~uint64_t{7};
  if (width % 8 != 0 && int64_t{h->Width} - x0 > static_cast<int64_t>(up)) width = static_cast<uint32_t>(up);

  out = Rect{x, h->DestY + y0, x + width, h->DestY + y1};
  return true;
}

Rect Listed(const VidzoHandle* h, uint32_t i) {
  return Rect{h->RectList[i][0], h->RectList[i][1], h->RectList[i][2], h->RectList[i][3]};
}

void List(VidzoHandle* h, uint32_t i, const Rect& r) {
  h->RectList[i][0] = r.left;
  h->RectList[i][1] = r.top;
  h->RectList[i][2] = r.right;
  h->RectList[i][3] = r.bottom;
}

// Removes listed rectangle i of `count`.
void Unlist(VidzoHandle* h, uint32_t i, uint32_t count) {
  for (; i + 1 < count; ++i) List(h, i, Listed(h, i + 1));
}

bool Touch(const Rect& a, const Rect& b) {
  if (a.left == b.left && a.right == b.right && (a.bottom == b.top || a.top == b.bottom)) return true;
  return a.top == b.top && a.bottom == b.bottom && (a.right == b.left || a.left == b.right);
}

// Appends `r` to the list and merges it with the listed rectangles it
// touches, as long as any does.
void AppendRect(VidzoHandle* h, const Rect& r) {
  uint32_t count = h->RectListWords / 4;
  List(h, count, r);
  uint32_t current = count++;
  for (;;) {
    const Rect c = Listed(h, current);
    uint32_t j = 0;
    while (j < count && (j == current || !Touch(Listed(h, j), c))) ++j;
    if (j == count) break;
    const Rect o = Listed(h, j);
    List(h, j,
         Rect{std::min(o.left, c.left), std::min(o.top, c.top), std::max(o.right, c.right),
              std::max(o.bottom, c.bottom)});
    Unlist(h, current, count);
    --count;
    if (j > current) --j;
    current = j;
  }
  h->RectListWords = count * 4;
}

}  // namespace

extern "C" {

uint32_t VidzoNextDirtyRect(VidzoHandle* h, uint32_t rect_mode) {
  if (h == nullptr) return 0;
  if (h->BlitStartMs == 0 || h->DecodeStartMs != 0) {
    const uint32_t now = platform::TimeMs();
    if (h->BlitStartMs == 0) h->BlitStartMs = vidzo::StartMark(now);
    if (h->DecodeStartMs != 0) {
      h->DecodeMs += now - h->DecodeStartMs;
      h->DecodeStartMs = 0;
    }
  }
  h->RectListWords = std::min<uint32_t>(h->RectListWords & ~3u, 16);

  if (h->RectState != 0) {
    if (rect_mode == VIDZO_RECTS_NONE) return 0;
    Rect r;
    while (h->RectListWords < 16 && BuildRect(h, rect_mode, r)) AppendRect(h, r);
  }
  if (h->RectListWords == 0) return 0;

  const Rect first = Listed(h, 0);
  Unlist(h, 0, h->RectListWords / 4);
  h->RectListWords -= 4;
  h->LastRectLeft = first.left;
  h->LastRectTop = first.top;
  h->LastRectWidth = first.right - first.left;
  h->LastRectHeight = first.bottom - first.top;
  return 1;
}

}  // extern "C"
