// The device-buffer back end ("DirectSound"): each track plays a device ring
// of OutChunkSize bytes in a loop; the service keeps the ring filled ahead of
// the play position, from a periodic timer thread and from the playback
// thread. A guard counter admits one service at a time, and it works at most
// once every 10 ms.
//
// The free part of the ring beyond the sound written is kept silent, so that
// a device that plays past the sound (a stall) plays silence, never old
// sound; the next sound is written straight after the last, over that
// silence, so that sound handed over in small pieces plays without a gap. The
// ring has run dry only once the play position has passed all of it.
#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/debuglog.h"
#include "sound/sound_internal.h"

namespace {

using vidzosound::kNoSilence;
using vidzosound::Sound;
using vidzosound::SoundState;

constexpr uint32_t kServicePeriodMs = 75;
constexpr uint32_t kServiceGapMs = 10;
constexpr uint32_t kOpenVolumeControl = 0x40;
constexpr uint32_t kOpenPanControl = 0x20;

// The marker of a sound object this back end made itself.
int g_own_object;

void StopDry(VidzoTrack* t) {
  t->DsBuffer->Stop();
  t->DsBuffer->SetPlayPosition(0);
  t->Starved.store(1);
  t->Stopped = 1;
  t->WriteOffset = 0;
  t->DeviceFree = t->OutChunkSize;
  t->SilenceStart = kNoSilence;
}

// Copies `n` bytes of the circular buffer, then `silence` bytes of silence,
// into the ring at WriteOffset; false when the lock fails.
bool WriteRing(VidzoTrack* t, uint32_t n, uint32_t silence) {
  uint8_t *p1, *p2;
  uint32_t n1, n2;
  if (!t->DsBuffer->Lock(t->WriteOffset, n + silence, &p1, &n1, &p2, &n2)) return false;
  uint32_t first = std::min(n, n1);
  t->BufRead = vidzosound::CopyOut(t, p1, first);
  std::memset(p1 + first, vidzosound::SilenceByte(t), n1 - first);
  if (p2 != nullptr) {
    uint32_t second = n - first;
    t->BufRead = vidzosound::CopyOut(t, p2, second);
    std::memset(p2 + second, vidzosound::SilenceByte(t), n2 - second);
  }
  t->DsBuffer->Unlock();
  t->BufBytes.fetch_sub(n, std::memory_order_acq_rel);
  return true;
}

void ServiceTrack(SoundState& s, VidzoTrack* t) {
  const uint32_t size = t->OutChunkSize;
  if (t->Stopped) {
    t->WriteOffset = 0;
    t->DeviceFree = size;
    t->SilenceStart = kNoSilence;
  } else {
    uint32_t p = t->DsBuffer->PlayPosition();
    t->DeviceFree += (p + size - t->LastPlayCursor) % size;
    t->LastPlayCursor = p;
    if (t->DeviceFree >= size) StopDry(t);
  }

  bool start = false;
  const uint32_t held = t->BufBytes.load(std::memory_order_acquire);
  const uint32_t frame = vidzosound::FrameBytes(t);
  if (t->Stopped && !vidzosound::ReadyToStart(t, held)) return;
  if (t->DeviceFree > size / 4 && held >= frame) {
    // The sound in whole sample frames (to its very end, also when its
    // length is not a multiple of four bytes), then silence over the rest of
    // the free part.
    uint32_t n = std::min(held, t->DeviceFree);
    n -= n % frame;
    if (WriteRing(t, n, t->DeviceFree - n)) {
      t->WriteOffset = (t->WriteOffset + n) % size;
      t->BytesToDevice += n;
      t->DeviceFree -= n;
    }
    start = true;  // written, or the lock failed
  }

  if (t->Stopped && start) {
    if (s.primary_format_pending) s.primary_format_pending = false;  // no primary buffer to format here
    t->Stopped = 0;
    t->DsBuffer->PlayLooping();
    t->LastPlayCursor = 0;
  }
}

void Service() {
  SoundState& s = Sound();
  if (s.guard.fetch_add(1, std::memory_order_acq_rel) != 0) {
    s.guard.fetch_sub(1, std::memory_order_acq_rel);
    return;
  }
  uint32_t now = platform::TimeMs();
  if (!s.serviced.load() || s.fresh_sound.exchange(false) ||
      static_cast<int32_t>(now - s.next_service_ms.load()) >= 0) {
    s.serviced.store(true);
    s.next_service_ms.store(now + kServiceGapMs);
    std::lock_guard<std::recursive_mutex> lock(s.lock);
    for (VidzoTrack* t = s.ds_list; t != nullptr; t = t->Next) ServiceTrack(s, t);
  }
  s.guard.fetch_sub(1, std::memory_order_acq_rel);
}

int OpenTrack(VidzoTrack* t, uint32_t flags) {
  SoundState& s = Sound();
  t->OutChunkSize = vidzosound::RoundUpPage(t->BytesPerSecond / 2);
  t->OpenFlagsCopy = flags;
  t->HandOver = vidzosound::HandOverBytes(t);
  platform::DebugLog("Using DirectSound");
  bool created = false;
  if (s.ds_object == nullptr) {
    s.ds_object = &g_own_object;
    s.ds_object_owned = true;
    created = true;
    // No window system here: the window is the one given, if any.
    platform::DebugLog("DirectSound using HWND: %llu",
                       static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(s.window)));
    s.primary_format_pending = true;
  }
  int error = 0;
  std::unique_ptr<platform::RingDevice> ring =
      platform::OpenRingDevice(vidzosound::TrackFormat(t), t->OutChunkSize, &error);
  if (ring == nullptr) ring = platform::OpenRingDevice(vidzosound::TrackFormat(t), t->OutChunkSize, &error);
  if (ring == nullptr) {
    platform::DebugLog("Unable to create sound buffer - Error #: %d", error);
    if (created || (s.ds_object_owned && s.ds_list == nullptr)) {
      s.ds_object = nullptr;
      s.ds_object_owned = false;
    }
    return 0;
  }
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  t->DsBuffer = ring.release();
  t->Stopped = 1;
  t->SilenceStart = kNoSilence;
  t->LastPlayed = t->LastReported = t->BytesToDevice = 0;
  t->DeviceFree = t->OutChunkSize;
  bool first = s.ds_list == nullptr;
  t->Next = s.ds_list;
  s.ds_list = t;
  if (first) s.timer.Start(kServicePeriodMs, Service);
  return 1;
}

void CloseTrack(VidzoTrack* t) {
  SoundState& s = Sound();
  bool empty;
  {
    std::lock_guard<std::recursive_mutex> lock(s.lock);
    for (VidzoTrack** link = &s.ds_list; *link != nullptr; link = &(*link)->Next) {
      if (*link == t) {
        *link = t->Next;
        break;
      }
    }
    t->Next = nullptr;
    empty = s.ds_list == nullptr;
  }
  if (empty) s.timer.Stop();  // outside the lock: a running service may wait on it
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  if (t->DsBuffer != nullptr) {
    t->DsBuffer->Stop();
    delete t->DsBuffer;
    t->DsBuffer = nullptr;
  }
  if (empty) {
    if (s.ds_object_owned) {
      s.ds_object = nullptr;
      s.ds_object_owned = false;
    }
    s.primary_format_pending = false;
  }
}

uint32_t PlayedBytes(VidzoTrack* t) {
  Service();
  SoundState& s = Sound();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  // What the device has taken, as of now rather than of the last service,
  // less what it has not yet played.
  int64_t measured = int64_t{t->BytesToDevice} - t->OutChunkSize + t->DeviceFree;
  if (!t->Stopped) {
    const uint32_t size = t->OutChunkSize;
    const uint32_t moved = (t->DsBuffer->PlayPosition() + size - t->LastPlayCursor) % size;
    measured = std::min<int64_t>(measured + moved, t->BytesToDevice) - t->DsBuffer->BytesInDevice();
  }
  uint32_t result = measured < 0 ? 0 : static_cast<uint32_t>(measured);
  uint32_t now = platform::TimeMs();
  if (result != t->LastPlayed || t->LastPlayed == 0) {
    t->LastPlayed = result;
    t->LastPlayedMs = now;
  } else {
    uint64_t guess = t->LastPlayed + uint64_t{now - t->LastPlayedMs} * t->BytesPerSecond / 1000;
    result = static_cast<uint32_t>(std::min<uint64_t>(guess, t->BytesToDevice));
  }
  result = std::max(result, t->LastReported);
  t->LastReported = result;
  return result;
}

void Flush(VidzoTrack* t) {
  std::lock_guard<std::recursive_mutex> lock(Sound().lock);
  if (t->DsBuffer != nullptr) {
    t->DsBuffer->Stop();
    t->DsBuffer->SetPlayPosition(0);
  }
  t->Stopped = 1;
  t->Priming = 0;
  t->SilenceStart = kNoSilence;
  t->LastPlayed = t->LastReported = t->BytesToDevice = 0;
}

void Volume(VidzoTrack* t, uint32_t volume, uint32_t pan) {
  std::lock_guard<std::recursive_mutex> lock(Sound().lock);
  if (t->DsBuffer == nullptr) return;
  volume = std::min<uint32_t>(volume, 32768);
  int32_t p = static_cast<int32_t>(int64_t{pan} * 20000 / 65536) - 10000;
  int32_t v = static_cast<int32_t>((int64_t{volume} * 100000 / 32768 + 5) / 10) - 10000;
  if (t->OpenFlagsCopy & kOpenPanControl) t->DsBuffer->SetPan(p);
  if (t->OpenFlagsCopy & kOpenVolumeControl) t->DsBuffer->SetVolume(v);
}

}  // namespace

namespace vidzosound {

const VidzoSoundOps kDirectSoundOps = {Service, OpenTrack, CloseTrack, PlayedBytes,
                                       Flush,   nullptr,   nullptr,    Volume};

}  // namespace vidzosound
