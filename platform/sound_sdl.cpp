// The real sound devices, on SDL2 audio devices. The wave-output device
// queues its blocks (SDL_QueueAudio, no callback) and derives each block's
// done flag from the bytes still queued; the ring device plays its ring from
// SDL's audio callback, with the play position as an atomic.
//
// When the environment names VIDZOER_SOUND_CAPTURE and SDL's "disk" driver
// is in use, device N (counted from 0 in order of opening) writes what it
// plays to the file <VIDZOER_SOUND_CAPTURE>.N, so that every open device
// keeps its own sound.
//
// On a machine without a sound card: when SDL's audio cannot start, or no
// device opens while none is open, and the user has not chosen a driver
// (SDL_AUDIODRIVER unset), the sound goes to SDL's "dummy" driver instead. It
// consumes the sound at its real rate, so that playback stays paced by its
// sound. The debug log says so in one line. With no sound card at all (see
// NoSoundCards) SDL is not even asked to try the drivers that need one.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/debuglog.h"
#include "platform/sound_device.h"

namespace platform {
namespace {

// All of the state below is guarded by g_sdl_mutex.
std::mutex g_sdl_mutex;
int g_devices_opened = 0;  // ever, for the capture file names
int g_devices_open = 0;    // now
bool g_audio_started = false;
std::atomic<SoundTakeObserver> g_take_observer{nullptr};

void TellObserver(int device, const uint8_t* data, uint32_t n) {
  if (SoundTakeObserver observer = g_take_observer.load(); observer != nullptr) observer(device, data, n);
}
bool g_fell_back = false;

// True when the user named an audio driver; it is then used or nothing is.
bool DriverChosen() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  return driver != nullptr && *driver != '\0';
}

// Restarts SDL's audio on the dummy driver, once per process; false when it
// may not or cannot.
bool FallBackToDummy(const char* why) {
  if (g_fell_back || DriverChosen() || g_devices_open != 0) return false;
  g_fell_back = true;
  const std::string reason = SDL_GetError();
  if (g_audio_started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_audio_started = false;
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  g_audio_started = true;
  DebugLog("sound: %s (%s); playing through SDL's dummy driver, paced as a sound card would be", why,
           reason.c_str());
  return true;
}

// SDL's own choice of audio drivers without those that go straight to the
// sound hardware through the ALSA library ("alsa", and "sndio", which falls
// back to it): the drivers it would try by itself, in its order ("dummy" and
// "disk" only when asked for).
std::string DriversWithoutCard() {
  std::string list;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
    const char* name = SDL_GetAudioDriver(i);
    if (name == nullptr) continue;
    const std::string driver = name;
    if (driver == "alsa" || driver == "sndio" || driver == "dummy" || driver == "disk") continue;
    if (!list.empty()) list += ',';
    list += driver;
  }
  return list;
}

// Starts SDL's audio once; false when no audio driver works. With no sound
// card and no driver chosen, the drivers that need one are left out of
// SDL's choice (a sound server may still take the sound); when nothing else
// starts, the dummy driver does.
bool StartSdlAudio() {
  if (g_audio_started) return true;
  if (!DriverChosen() && SDL_GetHint(SDL_HINT_AUDIODRIVER) == nullptr && NoSoundCards()) {
    const std::string drivers = DriversWithoutCard();
    if (drivers.empty()) return FallBackToDummy("no sound card");
    SDL_SetHint(SDL_HINT_AUDIODRIVER, drivers.c_str());
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return FallBackToDummy("the audio cannot start");
  g_audio_started = true;
  return true;
}

// The device takes sound in pieces of about 10 ms (a power of two sample
// frames, as devices like them): short enough that a frame's sound handed
// over SoundHandOverMs ahead of what is heard is there before the device
// asks for it.
Uint16 TakeSamples(uint32_t rate) {
  uint32_t samples = 64;
  while (samples < 4096 && samples * 100 * 3 / 2 < rate) samples *= 2;
  return static_cast<Uint16>(samples);
}

void CloseDevice(SDL_AudioDeviceID dev) {
  SDL_CloseAudioDevice(dev);
  std::lock_guard<std::mutex> lock(g_sdl_mutex);
  --g_devices_open;
}

SDL_AudioDeviceID OpenDevice(const PcmFormat& f, SDL_AudioCallback callback, void* user, int* error,
                             int* index) {
  std::lock_guard<std::mutex> lock(g_sdl_mutex);
  if (!StartSdlAudio()) {
    *error = 6;  // no driver
    return 0;
  }
  const char* capture = std::getenv("VIDZOER_SOUND_CAPTURE");
  const char* driver = SDL_GetCurrentAudioDriver();
  if (capture != nullptr && *capture != '\0' && driver != nullptr && std::strcmp(driver, "disk") == 0) {
    std::string name = std::string(capture) + "." + std::to_string(g_devices_opened);
    setenv("SDL_DISKAUDIOFILE", name.c_str(), 1);
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(f.rate);
  want.format = f.bits_per_sample == 16 ? AUDIO_S16LSB : AUDIO_U8;
  want.channels = static_cast<Uint8>(f.channels);
  want.samples = TakeSamples(f.rate);
  want.callback = callback;
  want.userdata = user;
  SDL_AudioSpec have{};
  SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0 && FallBackToDummy("no sound device opens"))
    dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    *error = 4;  // device not available
    return 0;
  }
  *index = g_devices_opened++;
  ++g_devices_open;
  return dev;
}

// Scales the samples of `data` in place; gains in 1/65536 (65536 = as is).
void ScaleSamples(uint8_t* data, uint32_t n, uint32_t bits, uint32_t channels, uint32_t left,
                  uint32_t right) {
  if (left >= 65536 && right >= 65536) return;
  if (bits == 8) {
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t gain = (channels == 2 && (i & 1)) ? right : left;
      int32_t s = static_cast<int32_t>(data[i]) - 128;
      data[i] = static_cast<uint8_t>(128 + (s * static_cast<int32_t>(gain) >> 16));
    }
    return;
  }
  for (uint32_t i = 0; i + 1 < n; i += 2) {
    uint32_t gain = (channels == 2 && ((i / 2) & 1)) ? right : left;
    int32_t s = static_cast<int16_t>(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
    s = static_cast<int32_t>((int64_t{s} * gain) >> 16);
    data[i] = static_cast<uint8_t>(s & 0xFF);
    data[i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
  }
}

uint32_t WaveGain(uint32_t v) {
  return v >= 0xFFFF ? 65536 : v;
}

// Where the sound of the device's takes stands: the bytes taken before the
// last take, that take's real bytes and its time. The bytes of a take leave
// the device over the take's own duration, so what has been heard is
// estimated from the time since it.
class TakeClock {
 public:
  explicit TakeClock(uint32_t bytes_per_second) : bytes_per_second_(bytes_per_second) {}
  // Called by the device's callback, under the device's lock.
  void Took(uint32_t real_bytes) {
    before_ += last_;
    last_ = real_bytes;
    last_us_ = NowUs();
  }
  uint64_t Heard() const {
    const uint64_t moved = (NowUs() - last_us_) * bytes_per_second_ / 1000000u;
    return before_ + std::min<uint64_t>(moved, last_);
  }
  // Forgets the take in progress (its bytes were dropped).
  void Drop() { last_ = 0; }

 private:
  static uint64_t NowUs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  uint64_t bytes_per_second_;
  uint64_t before_ = 0;
  uint64_t last_ = 0;
  uint64_t last_us_ = 0;
};

// The wave-output device plays the written blocks from its own callback, in
// order, straight out of the blocks, each at the volume set when it was
// written; a block is done once its last byte has been taken. When the
// blocks run out the rest of a take is silence, which counts as nothing
// played.
class SdlWaveOut final : public WaveOutDevice {
 public:
  explicit SdlWaveOut(const PcmFormat& f) : format_(f), clock_(f.BytesPerSecond()) {}
  ~SdlWaveOut() override {
    if (dev_ == 0) return;
    Reset();
    CloseDevice(dev_);
  }
  void Attach(SDL_AudioDeviceID dev, int index) {
    dev_ = dev;
    index_ = index;
    SDL_PauseAudioDevice(dev_, 0);
  }

  bool Write(WaveBlock* block) override {
    std::lock_guard<std::mutex> lock(mutex_);
    block->done.store(false);
    pending_.push_back({block, volume_.load()});
    return true;
  }

  void Poll() override {}  // the callback keeps the done flags

  void Reset() override {
    SDL_LockAudioDevice(dev_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const Pending& p : pending_) p.block->done.store(true);
      pending_.clear();
      offset_ = 0;
    }
    SDL_UnlockAudioDevice(dev_);
  }

  void SetVolume(uint32_t left_right) override { volume_.store(left_right); }
  uint32_t Volume() const override { return volume_.load(); }

  uint64_t PlayedBytes() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_.Heard();
  }

  static void Callback(void* user, Uint8* stream, int len) {
    static_cast<SdlWaveOut*>(user)->Fill(stream, static_cast<uint32_t>(len));
  }

 private:
  void Fill(uint8_t* out, uint32_t n) {
    uint32_t done = 0;
    bool finished = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (done < n && !pending_.empty()) {
        WaveBlock* b = pending_.front().block;
        const uint32_t v = pending_.front().volume;
        const uint32_t piece = std::min(n - done, b->length - offset_);
        std::memcpy(out + done, b->data + offset_, piece);
        ScaleSamples(out + done, piece, format_.bits_per_sample, format_.channels, WaveGain(v & 0xFFFF),
                     WaveGain(v >> 16));
        done += piece;
        offset_ += piece;
        if (offset_ >= b->length) {
          b->done.store(true);
          pending_.pop_front();
          offset_ = 0;
          finished = true;
        }
      }
      clock_.Took(done);
    }
    std::memset(out + done, format_.bits_per_sample == 8 ? 0x80 : 0, n - done);
    TellObserver(index_, out, done);
    if (finished) NotifySound();
  }

  PcmFormat format_;
  SDL_AudioDeviceID dev_ = 0;
  int index_ = 0;
  std::mutex mutex_;
  struct Pending {
    WaveBlock* block;
    uint32_t volume;
  };
  std::deque<Pending> pending_;
  uint32_t offset_ = 0;  // into the first pending block
  TakeClock clock_;
  std::atomic<uint32_t> volume_{0xFFFFFFFFu};
};

class SdlRing final : public RingDevice {
 public:
  SdlRing(const PcmFormat& f, uint32_t size)
      : RingDevice(size), format_(f), ring_(size, Silence()), clock_(f.BytesPerSecond()) {}
  ~SdlRing() override {
    if (dev_ != 0) CloseDevice(dev_);
  }
  void Attach(SDL_AudioDeviceID dev, int index) {
    dev_ = dev;
    index_ = index;
    SDL_PauseAudioDevice(dev_, 0);
  }
  uint8_t Silence() const { return format_.bits_per_sample == 8 ? 0x80 : 0; }

  bool Lock(uint32_t offset, uint32_t bytes, uint8_t** p1, uint32_t* n1, uint8_t** p2,
            uint32_t* n2) override {
    if (offset >= size_ || bytes > size_) return false;
    SDL_LockAudioDevice(dev_);
    *p1 = ring_.data() + offset;
    *n1 = std::min(bytes, size_ - offset);
    *p2 = *n1 < bytes ? ring_.data() : nullptr;
    *n2 = bytes - *n1;
    return true;
  }
  void Unlock() override { SDL_UnlockAudioDevice(dev_); }
  void PlayLooping() override { playing_.store(true); }
  void Stop() override { playing_.store(false); }
  bool Playing() const override { return playing_.load(); }
  uint32_t PlayPosition() override { return position_.load(); }
  uint32_t BytesInDevice() override {
    std::lock_guard<std::mutex> lock(clock_mutex_);
    return static_cast<uint32_t>(taken_ - clock_.Heard());
  }
  void SetPlayPosition(uint32_t offset) override {
    SDL_LockAudioDevice(dev_);
    position_.store(offset % size_);
    {
      std::lock_guard<std::mutex> lock(clock_mutex_);
      clock_.Drop();
      taken_ = clock_.Heard();
    }
    SDL_UnlockAudioDevice(dev_);
  }
  void SetVolume(int32_t volume) override { volume_.store(volume); }
  void SetPan(int32_t pan) override { pan_.store(pan); }
  int32_t Volume() const override { return volume_.load(); }
  int32_t Pan() const override { return pan_.load(); }

  static void Callback(void* user, Uint8* stream, int len) { static_cast<SdlRing*>(user)->Fill(stream, len); }

 private:
  void Fill(uint8_t* out, int len) {
    uint32_t n = static_cast<uint32_t>(len);
    if (!playing_.load()) {
      std::memset(out, Silence(), n);
      std::lock_guard<std::mutex> lock(clock_mutex_);
      clock_.Took(0);
      return;
    }
    uint32_t pos = position_.load();
    uint32_t done = 0;
    while (done < n) {
      uint32_t piece = std::min(n - done, size_ - pos);
      std::memcpy(out + done, ring_.data() + pos, piece);
      done += piece;
      pos = (pos + piece) % size_;
    }
    position_.store(pos);
    {
      std::lock_guard<std::mutex> lock(clock_mutex_);
      clock_.Took(n);
      taken_ += n;
    }
    TellObserver(index_, out, n);
    NotifySound();
    // Hundredths of a decibel to gains in 1/65536.
    int32_t vol = volume_.load(), pan = pan_.load();
    auto gain = [](int32_t centibels) {
      return static_cast<uint32_t>(std::lround(65536.0 * std::pow(10.0, std::min(centibels, 0) / 2000.0)));
    };
    uint32_t left = gain(vol - std::max(pan, 0)), right = gain(vol + std::min(pan, 0));
    ScaleSamples(out, n, format_.bits_per_sample, format_.channels, left, right);
  }

  PcmFormat format_;
  std::vector<uint8_t> ring_;
  SDL_AudioDeviceID dev_ = 0;
  int index_ = 0;
  std::atomic<bool> playing_{false};
  std::atomic<uint32_t> position_{0};  // what the callback has copied up to
  std::mutex clock_mutex_;
  TakeClock clock_;
  uint64_t taken_ = 0;  // bytes copied by the callback, in the clock's count
  std::atomic<int32_t> volume_{0};
  std::atomic<int32_t> pan_{0};
};

}  // namespace

void SetSoundTakeObserver(SoundTakeObserver observer) {
  g_take_observer.store(observer);
}

bool NoSoundCards(const char* cards_file) {
  FILE* f = std::fopen(cards_file, "r");
  if (f == nullptr) return true;
  char line[256];
  bool card = false;
  // Each card starts a line with its number: " 0 [PCH            ]: ...".
  while (!card && std::fgets(line, sizeof line, f) != nullptr) {
    const char* p = line;
    while (*p == ' ') ++p;
    card = *p >= '0' && *p <= '9';
  }
  std::fclose(f);
  return !card;
}

std::unique_ptr<WaveOutDevice> OpenSdlWaveOut(const PcmFormat& format, int* error) {
  auto wave = std::make_unique<SdlWaveOut>(format);
  int index = 0;
  SDL_AudioDeviceID dev = OpenDevice(format, &SdlWaveOut::Callback, wave.get(), error, &index);
  if (dev == 0) return nullptr;
  wave->Attach(dev, index);
  return wave;
}

std::unique_ptr<RingDevice> OpenSdlRing(const PcmFormat& format, uint32_t size, int* error) {
  auto ring = std::make_unique<SdlRing>(format, size);
  int index = 0;
  SDL_AudioDeviceID dev = OpenDevice(format, &SdlRing::Callback, ring.get(), error, &index);
  if (dev == 0) return nullptr;
  ring->Attach(dev, index);
  return ring;
}

}  // namespace platform
