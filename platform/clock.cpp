#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace platform {
namespace {

std::atomic<bool> g_fake{false};
std::atomic<uint32_t> g_fake_now{0};

}  // namespace

uint32_t TimeMs() {
  if (g_fake.load(std::memory_order_acquire)) return g_fake_now.load(std::memory_order_acquire);
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SetFakeClock(uint32_t now) {
  g_fake_now.store(now, std::memory_order_release);
  g_fake.store(true, std::memory_order_release);
}

void AdvanceFakeClock(uint32_t ms) { g_fake_now.fetch_add(ms, std::memory_order_acq_rel); }

void UseRealClock() { g_fake.store(false, std::memory_order_release); }

bool FakeClockActive() { return g_fake.load(std::memory_order_acquire); }

}  // namespace platform
