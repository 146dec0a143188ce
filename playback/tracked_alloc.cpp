// The tracked allocator: every buffer of a handle is counted in MemoryInUse
// and its peak. Blocks are 16-byte aligned.
#include <cstdlib>

#include "playback/container.h"

namespace vidzo {
namespace {

uint32_t g_fail_countdown = 0;

bool ShouldFail() {
  if (g_fail_countdown == 0) return false;
  return --g_fail_countdown == 0;
}

}  // namespace

void FailAllocationForTests(uint32_t n) {
  g_fail_countdown = n;
}

void* AllocCounted(VidzoHandle* h, size_t bytes, uint32_t counted) {
  if (bytes == 0 || bytes > (size_t{1} << 40) || ShouldFail()) return nullptr;
  size_t rounded = (bytes + 15) & ~size_t{15};
  void* block = std::aligned_alloc(16, rounded);
  if (block == nullptr) return nullptr;
  if (h != nullptr) {
    h->MemoryInUse += counted;
    if (h->MemoryInUse > h->MemoryPeak) h->MemoryPeak = h->MemoryInUse;
  }
  return block;
}

}  // namespace vidzo

extern "C" {

void* VidzoAllocMemory(VidzoHandle* h, uint32_t size) {
  return vidzo::AllocCounted(h, size, size);
}

void VidzoFreeMemory(void* block) {
  std::free(block);
}

}  // extern "C"
