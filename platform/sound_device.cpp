// The choice between virtual and real sound devices, and the periodic timer.
#include "platform/sound_device.h"

#include <chrono>

namespace platform {

std::unique_ptr<WaveOutDevice> OpenVirtualWaveOut(const PcmFormat& format, int* error);
std::unique_ptr<RingDevice> OpenVirtualRing(const PcmFormat& format, uint32_t size, int* error);
std::unique_ptr<WaveOutDevice> OpenSdlWaveOut(const PcmFormat& format, int* error);
std::unique_ptr<RingDevice> OpenSdlRing(const PcmFormat& format, uint32_t size, int* error);

namespace {

bool FormatValid(const PcmFormat& f) {
  return f.rate != 0 && (f.channels == 1 || f.channels == 2) &&
         (f.bits_per_sample == 8 || f.bits_per_sample == 16);
}

}  // namespace

std::unique_ptr<WaveOutDevice> OpenWaveOut(const PcmFormat& format, int* error) {
  int dummy = 0;
  if (error == nullptr) error = &dummy;
  *error = 0;
  if (!FormatValid(format)) {
    *error = 32;  // bad format
    return nullptr;
  }
  return VirtualSoundActive() ? OpenVirtualWaveOut(format, error) : OpenSdlWaveOut(format, error);
}

std::unique_ptr<RingDevice> OpenRingDevice(const PcmFormat& format, uint32_t size, int* error) {
  int dummy = 0;
  if (error == nullptr) error = &dummy;
  *error = 0;
  if (!FormatValid(format) || size == 0 || size % format.BlockAlign() != 0) {
    *error = 32;
    return nullptr;
  }
  return VirtualSoundActive() ? OpenVirtualRing(format, size, error) : OpenSdlRing(format, size, error);
}

namespace {

struct SoundEvents {
  std::mutex mutex;
  std::condition_variable wake;
  uint64_t count = 0;
};

SoundEvents& Events() {
  static SoundEvents events;
  return events;
}

}  // namespace

void NotifySound() {
  SoundEvents& e = Events();
  {
    std::lock_guard<std::mutex> lock(e.mutex);
    ++e.count;
  }
  e.wake.notify_all();
}

// Each thread remembers the last take it has seen, so that a take that came
// while it was busy (between its last look at the sound and this wait) ends
// the wait at once instead of being missed.
void WaitForSound(uint32_t ms) {
  thread_local uint64_t seen = 0;
  SoundEvents& e = Events();
  std::unique_lock<std::mutex> lock(e.mutex);
  e.wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return e.count != seen; });
  seen = e.count;
}

uint32_t SoundHandOverMs() {
  return VirtualSoundActive() ? VirtualSound().hand_over_ms : 30;
}

void PeriodicTimer::Start(uint32_t period_ms, std::function<void()> tick) {
  Stop();
  if (VirtualSoundActive() && !VirtualSound().timer_threads) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  thread_ = std::thread([this, period_ms, tick = std::move(tick)] {
    std::unique_lock<std::mutex> lock(mutex_);
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
      next += std::chrono::milliseconds(period_ms);
      if (wake_.wait_until(lock, next, [this] { return stop_; })) break;
      lock.unlock();
      tick();
      lock.lock();
    }
  });
}

void PeriodicTimer::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

}  // namespace platform
