// Opens arbitrary bytes as a .vdz file through a descriptor, once streamed
// through the smallest ring and once with the automatic buffering, and steps
// through every frame twice (at most 4096 steps), reading ahead on the way.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "playback/vidzo.h"

namespace {

void Advance(VidzoHandle* h) {
  VidzoStepFrame(h);
}

// Touches every byte the handle says belongs to the current frame.
uint32_t Touch(const VidzoHandle* h) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < h->CurrentFrameSize; ++i) sum += h->CurrentChunk[i];
  for (const uint8_t* p = h->VideoData; p < h->CurrentChunk + h->CurrentFrameSize; ++p) sum += *p;
  for (const uint8_t* a : h->AudioChunk)
    if (a != nullptr) sum += a[0] + a[3];
  return sum;
}

void Play(int fd, uint32_t flags, uint32_t extra) {
  ::lseek(fd, 0, SEEK_SET);
  VidzoHandle* h = VidzoOpenFd(fd, flags, extra);
  if (h == nullptr) return;
  uint64_t stored = uint64_t{h->FrameCount} + (h->HeaderFlags & VDZ_RING_FRAME);
  uint64_t steps = std::min<uint64_t>(2 * stored, 4096);
  volatile uint32_t sink = 0;
  for (uint64_t i = 0; i < steps; ++i) {
    sink = sink + Touch(h);
    if (i % 3 == 0) VidzoReadAhead(h);
    Advance(h);
  }
  VidzoClose(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = -1;
  if (fd < 0) fd = ::memfd_create("vdzopen", 0);
  if (fd < 0) return 0;
  if (::ftruncate(fd, 0) != 0) return 0;
  ::lseek(fd, 0, SEEK_SET);
  if (size != 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) return 0;
  Play(fd, 0, 0);
  Play(fd, OPEN_FILL_READAHEAD, 0xFFFFFFFFu);
  Play(fd, OPEN_PRELOAD, 0xFFFFFFFFu);
  return 0;
}
