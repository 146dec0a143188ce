// What the two back ends share: the process-wide sound state and the copies
// in and out of a track's circular buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/sound_device.h"
#include "playback/track.h"
#include "sound/sound.h"

namespace vidzosound {

constexpr uint32_t kNoSilence = 0xFFFFFFFFu;

struct SoundState {
  const VidzoSoundOps* ops = nullptr;  // the installed back end
  VidzoTrack* wave_list = nullptr;     // playing tracks, newest first
  VidzoTrack* ds_list = nullptr;
  // The device-buffer back end.
  void* ds_object = nullptr;
  bool ds_object_owned = false;
  void* window = nullptr;
  bool primary_format_pending = false;
  std::atomic<uint32_t> guard{0};
  std::atomic<uint32_t> next_service_ms{0};
  std::atomic<bool> serviced{false};
  // Set by the frame hand-off once it has written new sound: the next
  // service runs without waiting for its gap, so that the sound reaches the
  // device at once.
  std::atomic<bool> fresh_sound{false};
  // Held by the device-buffer service while it works and by every call from
  // the playback thread that touches what the service touches (the read
  // position, the device fields).
  std::recursive_mutex lock;
  // Last, so that it is stopped before anything its thread uses goes away.
  platform::PeriodicTimer timer;
};

SoundState& Sound();

extern const VidzoSoundOps kWaveOutOps;
extern const VidzoSoundOps kDirectSoundOps;

inline uint8_t SilenceByte(const VidzoTrack* t) {
  return t->Is16Bit ? 0x00 : 0x80;
}

inline uint32_t RoundUpPage(uint32_t n) {
  return (n + 4095u) & ~4095u;
}

// Copies n bytes out of the circular buffer from BufRead into dest (wrapping
// from BufEnd to BufStart); returns the new read position.
uint8_t* CopyOut(const VidzoTrack* t, uint8_t* dest, uint32_t n);
// Copies n bytes from src into the circular buffer from `at` (wrapping);
// returns the position after them.
uint8_t* CopyIn(const VidzoTrack* t, uint8_t* at, const uint8_t* src, uint32_t n);
// Writes n bytes of silence into the circular buffer from `at` (wrapping);
// returns the position after them.
uint8_t* FillSilence(const VidzoTrack* t, uint8_t* at, uint32_t n);
// Advances a position inside the circular buffer by n (wrapping).
uint8_t* Advance(const VidzoTrack* t, uint8_t* at, uint32_t n);

// Bytes of one sample frame of the track (1, 2 or 4).
inline uint32_t FrameBytes(const VidzoTrack* t) {
  return (t->Is16Bit ? 2u : 1u) * (t->IsStereo ? 2u : 1u);
}

// The track's HandOver: SoundHandOverMs of its sound, in whole sample frames.
uint32_t HandOverBytes(const VidzoTrack* t);

// Whether a track whose device is idle (not started yet, or run dry) may
// start it with the `held` bytes it holds: once they reach HandOver, so that
// the device's first takes do not outrun the frames that follow the first
// one and play silence between their sounds; sound that stays short of
// HandOver (the last of a file, a short effect) starts once it has waited
// SoundHandOverMs.
bool ReadyToStart(VidzoTrack* t, uint32_t held);

// The device format of a track.
platform::PcmFormat TrackFormat(const VidzoTrack* t);

}  // namespace vidzosound
