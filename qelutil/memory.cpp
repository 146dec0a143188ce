// The aligned allocator of the utility library.
#include <cstdint>
#include <cstdlib>

#include "platform/messagebox.h"
#include "qelutil/qelutil.h"

extern "C" {

void* qelmalloc(uint32_t size) {
  if (size == 0 || size == 0xFFFFFFFFu) return nullptr;
  // 16 spare bytes: the block is moved up to the next multiple of 16 (by 1 to
  // 16 bytes) and the byte just before it keeps that distance.
  auto* raw = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 16));
  if (raw == nullptr) {
    platform::ShowMessage("Error: ran out of memory!", "Memory Error", platform::kMessageError);
    return nullptr;
  }
  auto addr = reinterpret_cast<uintptr_t>(raw);
  uintptr_t distance = 16 - (addr & 15);  // 1..16
  uint8_t* block = raw + distance;
  block[-1] = static_cast<uint8_t>(distance);
  return block;
}

void qelfree(void* block) {
  if (block == nullptr) return;
  auto* p = static_cast<uint8_t*>(block);
  std::free(p - p[-1]);
}

}  // extern "C"
