// The process-wide sound state, the hooks that link the playback library to
// this output, the choice of back end, and the circular-buffer helpers.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/clock.h"
#include "platform/debuglog.h"
#include "playback/audio.h"
#include "sound/sound_internal.h"

namespace vidzosound {

SoundState& Sound() {
  static SoundState state;
  return state;
}

uint8_t* Advance(const VidzoTrack* t, uint8_t* at, uint32_t n) {
  uint32_t size = static_cast<uint32_t>(t->BufEnd - t->BufStart);
  if (size == 0) return t->BufStart;
  uint32_t offset = static_cast<uint32_t>((uint64_t{static_cast<uint32_t>(at - t->BufStart)} + n) % size);
  return t->BufStart + offset;
}

uint8_t* CopyOut(const VidzoTrack* t, uint8_t* dest, uint32_t n) {
  uint8_t* read = t->BufRead;
  while (n != 0) {
    uint32_t piece = std::min(n, static_cast<uint32_t>(t->BufEnd - read));
    std::memcpy(dest, read, piece);
    dest += piece;
    n -= piece;
    read += piece;
    if (read == t->BufEnd) read = t->BufStart;
  }
  return read;
}

uint8_t* CopyIn(const VidzoTrack* t, uint8_t* at, const uint8_t* src, uint32_t n) {
  while (n != 0) {
    uint32_t piece = std::min(n, static_cast<uint32_t>(t->BufEnd - at));
    std::memcpy(at, src, piece);
    src += piece;
    n -= piece;
    at += piece;
    if (at == t->BufEnd) at = t->BufStart;
  }
  return at;
}

uint8_t* FillSilence(const VidzoTrack* t, uint8_t* at, uint32_t n) {
  while (n != 0) {
    uint32_t piece = std::min(n, static_cast<uint32_t>(t->BufEnd - at));
    std::memset(at, SilenceByte(t), piece);
    n -= piece;
    at += piece;
    if (at == t->BufEnd) at = t->BufStart;
  }
  return at;
}

uint32_t HandOverBytes(const VidzoTrack* t) {
  const uint32_t align = FrameBytes(t);
  const uint64_t bytes = uint64_t{t->BytesPerSecond} * platform::SoundHandOverMs() / 1000;
  return static_cast<uint32_t>(bytes - bytes % align);
}

bool ReadyToStart(VidzoTrack* t, uint32_t held) {
  if (held < FrameBytes(t)) {
    t->Priming = 0;
    return false;
  }
  const uint32_t now = platform::TimeMs();
  if (held < t->HandOver) {
    if (!t->Priming) {
      t->Priming = 1;
      t->PrimingSinceMs = now;
    }
    if (now - t->PrimingSinceMs < platform::SoundHandOverMs()) return false;
  }
  t->Priming = 0;
  return true;
}

platform::PcmFormat TrackFormat(const VidzoTrack* t) {
  platform::PcmFormat f;
  f.rate = t->SampleRate;
  f.channels = t->IsStereo ? 2 : 1;
  f.bits_per_sample = t->Is16Bit ? 16 : 8;
  return f;
}

namespace {

void FreeTrack(VidzoHandle* h, uint32_t t, bool uncount) {
  VidzoTrack* track = h->Tracks[t];
  if (track == nullptr) return;
  if (uncount) h->MemoryInUse -= track->BufSize + static_cast<uint32_t>(sizeof(VidzoTrack));
  VidzoFreeMemory(track->BufStart);
  track->~VidzoTrack();
  VidzoFreeMemory(track);
  h->Tracks[t] = nullptr;
}

int OpenTrackHook(VidzoHandle* h, uint32_t t) {
  VidzoTrackSizes sizes;
  if (t >= VDZ_TRACKS || !VidzoTrackSizing(h, t, &sizes)) return 0;
  SoundState& s = Sound();
  if (s.ops == nullptr) {
    s.ops = &kWaveOutOps;
  }
  void* memory = VidzoAllocMemory(h, sizeof(VidzoTrack));
  if (memory == nullptr) return 0;
  VidzoTrack* track = new (memory) VidzoTrack{};
  h->Tracks[t] = track;
  track->BufSize = sizes.BufSize;
  track->BufStart = static_cast<uint8_t*>(VidzoAllocMemory(h, sizes.BufSize));
  if (track->BufStart == nullptr) {
    h->MemoryInUse -= static_cast<uint32_t>(sizeof(VidzoTrack));
    track->~VidzoTrack();
    VidzoFreeMemory(track);
    h->Tracks[t] = nullptr;
    return 0;
  }
  track->BufEnd = track->BufStart + sizes.BufSize;
  track->BufRead = track->BufWrite = track->BufStart;
  track->BytesPerSecond = sizes.BytesPerSecond;
  track->BytesPerFrame = sizes.BytesPerFrame;
  track->LatePoint = sizes.LatePoint;
  track->LargestChunk = sizes.LargestChunk;
  track->SampleRate = sizes.SampleRate;
  track->Is16Bit = sizes.Is16Bit;
  track->IsStereo = sizes.IsStereo;
  track->SilenceStart = kNoSilence;
  if (!s.ops->open_track(track, h->OpenFlags)) {
    FreeTrack(h, t, true);
    return 0;
  }
  return 1;
}

void CloseTracksHook(VidzoHandle* h) {
  SoundState& s = Sound();
  VidzoProcessState* p = VidzoProcess();
  for (uint32_t t = 0; t < VDZ_TRACKS; ++t) {
    if (h->Tracks[t] == nullptr) continue;
    if (s.ops != nullptr) s.ops->close_track(h->Tracks[t]);
    FreeTrack(h, t, false);
    if (p->OpenTracks != 0) p->OpenTracks -= 1;
  }
}

void RestartHook(VidzoHandle* h) {
  if (h->TimingTrack < 0 || h->TimingTrack >= VDZ_TRACKS) return;
  VidzoTrack* timing = h->Tracks[h->TimingTrack];
  if (timing == nullptr || timing->BytesQueued == 0) return;
  uint32_t mine = 0;
  for (int t = h->TimingTrack; t < VDZ_TRACKS; ++t)
    if (h->Tracks[t] != nullptr) ++mine;
  if (mine != VidzoProcess()->OpenTracks) return;
  SoundState& s = Sound();
  std::lock_guard<std::recursive_mutex> lock(s.lock);
  for (VidzoTrack* track : h->Tracks) {
    if (track == nullptr) continue;
    if (s.ops != nullptr && s.ops->flush != nullptr) s.ops->flush(track);
    track->BufWrite = track->BufRead = track->BufStart;
    track->BufBytes.store(0);
    track->LatePoint -= track->DuePoint;
    track->DuePoint = track->DueBase = track->BytesQueued = 0;
  }
}

void ServiceHook() {
  VidzoSoundService();
}

}  // namespace
}  // namespace vidzosound

using vidzosound::Sound;
using vidzosound::SoundState;

extern "C" {

void VidzoSoundInstall(void) {
  VidzoSoundLink& link = VidzoProcess()->Sound;
  link.refill = vidzosound::ServiceHook;
  link.restart = vidzosound::RestartHook;
  link.close_tracks = vidzosound::CloseTracksHook;
  link.open_track = vidzosound::OpenTrackHook;
  link.frame_sound = VidzoFrameSound;
  link.played_bytes = VidzoPlayedBytes;
}

const VidzoSoundOps* VidzoSoundBackEnd(void) {
  return Sound().ops;
}

int VidzoSelectDirectSound(void* object) {
  VidzoSoundInstall();
  SoundState& s = Sound();
  if (s.ops != nullptr) return s.ops == &vidzosound::kDirectSoundOps ? 1 : 0;
  // The device buffers are part of the platform layer here; nothing is
  // loaded, so the choice always succeeds.
  s.ds_object = object;
  s.ds_object_owned = false;
  s.ops = &vidzosound::kDirectSoundOps;
  return 1;
}

void VidzoSetSoundWindow(void* window) {
  VidzoSoundInstall();
  SoundState& s = Sound();
  s.window = window;
  if (s.ds_object != nullptr)
    platform::DebugLog("DirectSound using HWND: %llu",
                       static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
}

void VidzoSoundService(void) {
  const VidzoSoundOps* ops = Sound().ops;
  if (ops != nullptr) ops->service();
}

uint32_t VidzoPlayedBytes(struct VidzoTrack* t) {
  const VidzoSoundOps* ops = Sound().ops;
  return ops != nullptr && t != nullptr ? ops->played_bytes(t) : 0;
}

void VidzoSoundVolume(VidzoHandle* h, uint32_t track, uint32_t volume, uint32_t pan) {
  const VidzoSoundOps* ops = Sound().ops;
  if (h == nullptr || track >= VDZ_TRACKS || h->Tracks[track] == nullptr || ops == nullptr) return;
  ops->volume(h->Tracks[track], volume, pan);
}

void VidzoSoundResetForTests(void) {
  SoundState& s = Sound();
  s.timer.Stop();
  s.ops = nullptr;
  s.wave_list = s.ds_list = nullptr;
  s.ds_object = nullptr;
  s.ds_object_owned = false;
  s.window = nullptr;
  s.primary_format_pending = false;
  s.guard.store(0);
  s.serviced.store(false);
  s.next_service_ms.store(0);
}

}  // extern "C"
