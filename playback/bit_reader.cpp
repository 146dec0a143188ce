#include "playback/bit_reader.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace vidzo {

namespace {

// -1 until decided, then 0 (32-bit form) or 1 (wide form).
std::atomic<int> g_wide{-1};

}  // namespace

bool ProcessorHasMmx() {
  static const bool has_mmx = [] {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (edx & (1u << 23)) != 0;
#else
    return false;
#endif
  }();
  return has_mmx;
}

bool WideBitReader() {
  int wide = g_wide.load(std::memory_order_relaxed);
  if (wide < 0) {
    wide = ProcessorHasMmx() ? 1 : 0;
    int expected = -1;
    if (!g_wide.compare_exchange_strong(expected, wide, std::memory_order_relaxed)) wide = expected;
  }
  return wide != 0;
}

void SetWideBitReader(bool wide) {
  g_wide.store(wide ? 1 : 0, std::memory_order_relaxed);
}

}  // namespace vidzo
