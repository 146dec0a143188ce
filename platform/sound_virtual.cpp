// Virtual sound devices: they play nothing, but keep the bytes they would
// have played, and their played position advances with TimeMs.
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/clock.h"
#include "platform/sound_device.h"

namespace platform {
namespace {

struct VirtualState {
  std::mutex mutex;
  bool active = false;
  VirtualSoundOptions options;
  std::vector<std::vector<uint8_t>> played;  // per device, in order of opening
};

VirtualState& State() {
  static VirtualState state;
  return state;
}

// A new device's slot for its played bytes.
int NewDeviceSlot() {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.played.emplace_back();
  return static_cast<int>(s.played.size()) - 1;
}

void AppendPlayed(int slot, const uint8_t* bytes, size_t n) {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (slot >= 0 && static_cast<size_t>(slot) < s.played.size())
    s.played[slot].insert(s.played[slot].end(), bytes, bytes + n);
}

class VirtualWaveOut final : public WaveOutDevice {
 public:
  explicit VirtualWaveOut(const PcmFormat& f) : format_(f), slot_(NewDeviceSlot()) {}
  ~VirtualWaveOut() override { Reset(); }

  bool Write(WaveBlock* block) override {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t now = TimeMs();
    uint32_t start = queue_.empty() ? now : queue_.back().end;
    uint64_t ms = uint64_t{block->length} * 1000 / format_.BytesPerSecond();
    block->done.store(false);
    queue_.push_back({block, start, static_cast<uint32_t>(start + ms)});
    return true;
  }

  void Poll() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (State().options.blocks_never_end) return;
    uint32_t now = TimeMs();
    while (!queue_.empty() && static_cast<int32_t>(now - queue_.front().end) >= 0) {
      WaveBlock* b = queue_.front().block;
      AppendPlayed(slot_, b->data, b->length);
      completed_ += b->length;
      b->done.store(true);
      queue_.pop_front();
    }
  }

  // The blocks played through, and of the first block still playing what
  // its time so far has played.
  uint64_t PlayedBytes() override {
    Poll();
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t played = completed_;
    if (!queue_.empty() && !State().options.blocks_never_end) {
      const int32_t elapsed = static_cast<int32_t>(TimeMs() - queue_.front().start);
      if (elapsed > 0) {
        const uint64_t bytes = uint64_t(elapsed) * format_.BytesPerSecond() / 1000;
        played += std::min<uint64_t>(bytes - bytes % format_.BlockAlign(), queue_.front().block->length);
      }
    }
    return played;
  }

  // What of the first block has played so far stays played.
  void Reset() override {
    const uint64_t played = PlayedBytes();
    std::lock_guard<std::mutex> lock(mutex_);
    completed_ = played;
    for (auto& q : queue_) q.block->done.store(true);
    queue_.clear();
  }

  void SetVolume(uint32_t left_right) override { volume_ = left_right; }
  uint32_t Volume() const override { return volume_; }

 private:
  struct Queued {
    WaveBlock* block;
    uint32_t start;  // TimeMs at which it starts to play
    uint32_t end;    // TimeMs at which it has played
  };
  uint64_t completed_ = 0;
  PcmFormat format_;
  int slot_;
  std::mutex mutex_;
  std::deque<Queued> queue_;
  std::atomic<uint32_t> volume_{0xFFFFFFFFu};
};

class VirtualRing final : public RingDevice {
 public:
  VirtualRing(const PcmFormat& f, uint32_t size)
      : RingDevice(size), format_(f), ring_(size), slot_(NewDeviceSlot()) {}

  bool Lock(uint32_t offset, uint32_t bytes, uint8_t** p1, uint32_t* n1, uint8_t** p2,
            uint32_t* n2) override {
    if (offset >= size_ || bytes > size_) return false;
    mutex_.lock();
    *p1 = ring_.data() + offset;
    *n1 = std::min(bytes, size_ - offset);
    *p2 = *n1 < bytes ? ring_.data() : nullptr;
    *n2 = bytes - *n1;
    return true;
  }
  void Unlock() override { mutex_.unlock(); }

  void PlayLooping() override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (playing_) return;
    playing_ = true;
    start_ms_ = TimeMs();
    counted_ = 0;
  }
  void Stop() override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Advance();
    playing_ = false;
  }
  bool Playing() const override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return playing_;
  }
  uint32_t PlayPosition() override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Advance();
    return position_;
  }
  void SetPlayPosition(uint32_t offset) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Advance();
    position_ = offset % size_;
  }
  void SetVolume(int32_t volume) override { volume_ = volume; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  int32_t Volume() const override { return volume_; }
  int32_t Pan() const override { return pan_; }

 private:
  // Moves the position by what has played since the last call, keeping the
  // bytes passed over.
  void Advance() {
    if (!playing_) return;
    uint64_t total = uint64_t{TimeMs() - start_ms_} * format_.BytesPerSecond() / 1000;
    total -= total % format_.BlockAlign();
    uint64_t step = total - counted_;
    counted_ = total;
    // A ring lapped more than four times between looks plays old data over
    // and over; only the last four laps are kept.
    if (step > 4 * uint64_t{size_}) {
      uint64_t skip = step - 4 * uint64_t{size_};
      position_ = static_cast<uint32_t>((position_ + skip) % size_);
      step -= skip;
    }
    while (step != 0) {
      uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(step, size_ - position_));
      AppendPlayed(slot_, ring_.data() + position_, piece);
      position_ = (position_ + piece) % size_;
      step -= piece;
    }
  }

  PcmFormat format_;
  std::vector<uint8_t> ring_;
  int slot_;
  mutable std::recursive_mutex mutex_;
  bool playing_ = false;
  uint32_t start_ms_ = 0;
  uint64_t counted_ = 0;
  uint32_t position_ = 0;
  std::atomic<int32_t> volume_{0};
  std::atomic<int32_t> pan_{0};
};

}  // namespace

std::unique_ptr<WaveOutDevice> OpenVirtualWaveOut(const PcmFormat& format, int* error) {
  if (State().options.fail_open) {
    *error = 2;
    return nullptr;
  }
  return std::make_unique<VirtualWaveOut>(format);
}

std::unique_ptr<RingDevice> OpenVirtualRing(const PcmFormat& format, uint32_t size, int* error) {
  if (State().options.fail_open) {
    *error = 2;
    return nullptr;
  }
  return std::make_unique<VirtualRing>(format, size);
}

void UseVirtualSound(bool on, const VirtualSoundOptions& options) {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.active = on;
  s.options = options;
  s.played.clear();
}

bool VirtualSoundActive() {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.active;
}

const VirtualSoundOptions& VirtualSound() {
  return State().options;
}

std::vector<uint8_t> VirtualSoundPlayed(int device) {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (device < 0 || static_cast<size_t>(device) >= s.played.size()) return {};
  return s.played[device];
}

int VirtualSoundDevices() {
  VirtualState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.played.size());
}

}  // namespace platform
