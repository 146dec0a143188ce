// Opens arbitrary bytes as a .vdz file through a descriptor and plays them
// through the playback loop (decode, changed rectangles, advance, wait) for
// a bounded number of frames in every rectangle mode, into an 8-bit and a
// 16-bit output buffer placed at an odd position. Every rectangle handed out
// must lie inside the output buffer; the run aborts otherwise. The waits run
// on the fake clock, which each wait moves on.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "playback/video.h"
#include "playback/vidzo.h"

namespace {

constexpr uint32_t kLeft = 3, kTop = 1, kMargin = 5;
constexpr uint64_t kMaxPixels = 1u << 21;

void Check(bool ok, const char* what, const VidzoHandle* h) {
  if (ok) return;
  std::fprintf(stderr, "rectangle %u,%u %ux%u outside the buffer: %s\n", h->LastRectLeft, h->LastRectTop,
               h->LastRectWidth, h->LastRectHeight, what);
  std::abort();
}

void Play(int fd, uint32_t flags, uint32_t extra, uint32_t mode, uint32_t colour) {
  ::lseek(fd, 0, SEEK_SET);
  VidzoHandle* h = VidzoOpenFd(fd, flags, extra);
  if (h == nullptr) return;
  const uint32_t bytes = colour != 0 ? 2 : 1;
  const uint64_t columns = uint64_t{h->Width} + kLeft + kMargin, rows = uint64_t{h->Height} + kTop + kMargin;
  std::vector<uint8_t> buffer;
  if (h->Width != 0 && columns * rows <= kMaxPixels) {
    buffer.assign(columns * rows * bytes, 0);
    VidzoSetDestination(h, kLeft, kTop, static_cast<int32_t>(columns * bytes), static_cast<uint32_t>(rows),
                        buffer.data(), colour);
  }
  const bool attached = h->OutputDesc != nullptr;
  const uint64_t stored = uint64_t{h->FrameCount} + (h->HeaderFlags & VDZ_RING_FRAME);
  const uint64_t frames = std::min<uint64_t>(stored + 2, 24);
  for (uint64_t i = 0; i < frames; ++i) {
    VidzoDecodeFrame(h);
    for (uint32_t n = 0; VidzoNextDirtyRect(h, mode) != 0; ++n) {
      Check(attached, "no output buffer", h);
      Check(n < 4096, "endless walk", h);
      Check(mode != VIDZO_RECTS_NONE, "mode 2 gives none", h);
      Check(uint64_t{h->LastRectLeft} + h->LastRectWidth <= columns, "right", h);
      Check(uint64_t{h->LastRectTop} + h->LastRectHeight <= rows, "bottom", h);
    }
    VidzoAdvanceFrame(h);
    for (int wait = 0; wait < 4 && VidzoFrameNotDue(h) != 0; ++wait) platform::AdvanceFakeClock(1000);
  }
  VidzoSummary summary;
  VidzoReadStatistics(h, &summary);
  VidzoClose(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = -1;
  if (fd < 0) fd = ::memfd_create("playloop", 0);
  if (fd < 0) return 0;
  if (::ftruncate(fd, 0) != 0) return 0;
  ::lseek(fd, 0, SEEK_SET);
  if (size != 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) return 0;
  platform::SetFakeClock(0xFFFFFF00u);
  for (uint32_t mode = 0; mode < 4; ++mode) {
    Play(fd, OPEN_PRELOAD, 0xFFFFFFFFu, mode, 0);
    Play(fd, 0, 0, mode, mode == 1 ? VIDZO_DEST_565 : 0);
  }
  Play(fd, OPEN_Y_DOUBLE | OPEN_NO_SKIP, 0xFFFFFFFFu, VIDZO_RECTS_EMPTY_END, VIDZO_DEST_555);
  Play(fd, OPEN_Y_INTERLACE, 0, VIDZO_RECTS_BUDGET, 0);
  platform::UseRealClock();
  return 0;
}
