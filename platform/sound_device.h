// Sound devices: a wave-output device that plays blocks in the order they are
// written, and a device buffer that plays a ring of bytes in a loop from a
// play position. Each comes in two kinds: a real one on an SDL2 audio device,
// and a virtual one whose played position advances with TimeMs (and so with
// the fake clock), for tests. UseVirtualSound chooses the kind for the
// devices opened afterwards.
//
// Every operation is safe to call from several threads; a device is closed by
// destroying it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

struct PcmFormat {
  uint32_t rate = 0;
  uint16_t channels = 1;         // 1 or 2
  uint16_t bits_per_sample = 8;  // 8 (unsigned) or 16 (signed little-endian)
  uint32_t BlockAlign() const { return channels * (bits_per_sample / 8u); }
  uint32_t BytesPerSecond() const { return BlockAlign() * rate; }
};

// One block for the wave-output device: `length` bytes at `data`. `done` is
// set by the device once the block has played (or was dropped by Reset).
struct WaveBlock {
  uint8_t* data = nullptr;
  uint32_t length = 0;
  std::atomic<bool> done{true};
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  // Queues the block; it must stay valid until `done`. False when the device
  // refused it (the block stays done).
  virtual bool Write(WaveBlock* block) = 0;
  // Brings the done flags of the written blocks up to date.
  virtual void Poll() = 0;
  // Drops everything queued; every written block becomes done.
  virtual void Reset() = 0;
  // Left volume in the low 16 bits, right in the high 16 bits; 0xFFFF = full.
  virtual void SetVolume(uint32_t left_right) = 0;
  virtual uint32_t Volume() const = 0;
  // The bytes of the written blocks that have left the device since it
  // opened: what has been heard, not what the device has taken into a buffer
  // of its own. It rises smoothly between the device's takes and never goes
  // back; Reset does not lower it.
  virtual uint64_t PlayedBytes() = 0;
};

// Opens a wave-output device for `format`; null with a nonzero `*error`
// when none can be opened.
std::unique_ptr<WaveOutDevice> OpenWaveOut(const PcmFormat& format, int* error);

class RingDevice {
 public:
  virtual ~RingDevice() = default;
  uint32_t Size() const { return size_; }
  // Gives up to two pieces covering `bytes` bytes from `offset` (wrapping);
  // false when the range is not valid. Unlock ends the access.
  virtual bool Lock(uint32_t offset, uint32_t bytes, uint8_t** p1, uint32_t* n1, uint8_t** p2,
                    uint32_t* n2) = 0;
  virtual void Unlock() = 0;
  virtual void PlayLooping() = 0;
  virtual void Stop() = 0;
  virtual bool Playing() const = 0;
  // The position up to which the device has copied the ring into a buffer
  // of its own.
  virtual uint32_t PlayPosition() = 0;
  // Of the bytes before PlayPosition, how many have not yet left the device
  // (been heard).
  virtual uint32_t BytesInDevice() { return 0; }
  virtual void SetPlayPosition(uint32_t offset) = 0;
  // Hundredths of a decibel: volume -10000 (silent) to 0 (full); pan -10000
  // (left only) to 10000 (right only).
  virtual void SetVolume(int32_t volume) = 0;
  virtual void SetPan(int32_t pan) = 0;
  virtual int32_t Volume() const = 0;
  virtual int32_t Pan() const = 0;

 protected:
  explicit RingDevice(uint32_t size) : size_(size) {}
  uint32_t size_;
};

// Opens a ring device of `size` bytes (a multiple of the format's block
// align) for `format`; null with a nonzero `*error` when none can be opened.
std::unique_ptr<RingDevice> OpenRingDevice(const PcmFormat& format, uint32_t size, int* error);

// A thread that calls `tick` every `period_ms` until stopped or destroyed.
class PeriodicTimer {
 public:
  PeriodicTimer() = default;
  ~PeriodicTimer() { Stop(); }
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;
  void Start(uint32_t period_ms, std::function<void()> tick);
  void Stop();
  bool Running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
};

// The devices call NotifySound whenever they take sound, so that a thread
// waiting in WaitForSound (at most `ms` milliseconds) can refill them at once
// instead of polling.
void NotifySound();
void WaitForSound(uint32_t ms);

// For tests: told of every piece of sound a real device takes, from the
// device's own thread, with the device's number (in order of opening) and
// the bytes, the moment the device takes them. Null stops it.
using SoundTakeObserver = void (*)(int device, const uint8_t* data, uint32_t n);
void SetSoundTakeObserver(SoundTakeObserver observer);

// How far ahead of what is heard a player should hand a frame's sound over,
// in milliseconds: enough for the device's own buffer and for the frame's
// decoding, so that the device never runs dry between two frames. Real
// devices take sound in pieces of about 10 ms.
uint32_t SoundHandOverMs();

// True when the ALSA card list `cards_file` (the kernel's /proc/asound/cards)
// names no sound card: it is missing, unreadable, or says there is none. SDL's
// audio then leaves its ALSA driver out, which would only fill standard error
// with the ALSA library's complaints before failing.
bool NoSoundCards(const char* cards_file = "/proc/asound/cards");

// Virtual devices for tests.
struct VirtualSoundOptions {
  bool fail_open = false;         // opening any device fails (error 2)
  bool blocks_never_end = false;  // wave-output blocks never become done
  bool timer_threads = true;      // PeriodicTimer::Start starts no thread when false
  uint32_t hand_over_ms = 0;      // SoundHandOverMs while the virtual devices are in use
};
// Chooses virtual (true) or real devices for the devices opened afterwards.
void UseVirtualSound(bool on, const VirtualSoundOptions& options = {});
bool VirtualSoundActive();
const VirtualSoundOptions& VirtualSound();
// The bytes the virtual devices have played so far, all devices in order of
// opening (each device's bytes appended as it plays them); cleared by
// UseVirtualSound.
std::vector<uint8_t> VirtualSoundPlayed(int device);
int VirtualSoundDevices();

}  // namespace platform
