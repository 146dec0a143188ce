// The frame sound hand-off: each decoded frame writes its audio chunks into
// the circular buffers of the open tracks, padding with silence after an
// output has run dry; and switching a handle's sound off and on.
#include <algorithm>
#include <cstring>

#include "playback/audio.h"
#include "sound/sound_internal.h"

namespace {

using vidzosound::Sound;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The decoded size of the frame's chunk for track t (0 when it has none).
uint32_t ChunkSize(const VidzoHandle* h, int t) {
  const uint8_t* chunk = h->AudioChunk[t];
  if (chunk == nullptr) return 0;
  uint32_t length = Le32(chunk);
  if (h->AudioFormat[t] & VDZ_AUDIO_COMPRESSED) return length >= 8 ? Le32(chunk + 4) : 0;
  return length >= 4 ? length - 4 : 0;
}

// Writes s bytes of track t's chunk at BufWrite (wrapping).
void WriteChunk(const VidzoHandle* h, int t, VidzoTrack* track, uint32_t s) {
  const uint8_t* chunk = h->AudioChunk[t];
  if (chunk == nullptr || s == 0) return;
  uint32_t length = Le32(chunk);
  if (h->AudioFormat[t] & VDZ_AUDIO_COMPRESSED) {
    VidzoDecodeAudio(chunk + 8, length - 8, s, VidzoProcess()->AudioTreeScratch, track->BufStart,
                     track->BufEnd, track->BufWrite);
    return;
  }
  vidzosound::CopyIn(track, track->BufWrite, chunk + 4, s);
}

}  // namespace

extern "C" {

void VidzoFrameSound(VidzoHandle* h) {
  if (h == nullptr || h->TimingTrack < 0 || h->TimingTrack >= VDZ_TRACKS || h->SoundSyncOff) return;
  VidzoTrack* timing = h->Tracks[h->TimingTrack];
  if (timing == nullptr) return;
  if (h->FramePeriod != 0) h->AwaitingSound = 1;

  timing->DuePoint += timing->BytesPerFrame;
  timing->LatePoint += timing->BytesPerFrame;
  if (timing->DuePoint > 0x0FA00000u && timing->LatePoint > 0x02000000u) {
    timing->DuePoint -= 0x0FA00000u;
    timing->LatePoint -= 0x0FA00000u;
    timing->DueBase += 256000u;
  }

  // The tracks in track order with their chunk sizes.
  int order[VDZ_TRACKS];
  uint32_t sizes[VDZ_TRACKS];
  int count = 0;
  for (int t = 0; t < VDZ_TRACKS; ++t) {
    if (!(h->OpenFlags & (OPEN_TRACK0 << t)) || h->Tracks[t] == nullptr) continue;
    order[count] = t;
    sizes[count] = ChunkSize(h, t);
    if (count == 0) {
      h->Tracks[t]->NoSoundThisFrame = sizes[0] == 0 ? 1 : 0;
      if (sizes[0] == 0) return;  // no track is fed this frame
    }
    ++count;
  }

  VidzoSoundService();
  for (int i = 0; i < count; ++i) {
    int t = order[i];
    VidzoTrack* track = h->Tracks[t];
    uint32_t s = sizes[i];
    uint32_t held = track->BufBytes.load(std::memory_order_acquire);
    if (s + uint64_t{held} > track->BufSize) {
      track->Overflows += 1;
      s = track->BufSize - held;
    }
    if (track->StarvedSeen) {
      track->Starved.store(0);
      track->StarvedSeen = 0;
    }
    uint32_t pad = 0;
    if (track->Starved.load()) {
      track->StarvedSeen = 1;
      if (s < track->LargestChunk && track->BytesQueued != 0) {
        pad = track->LargestChunk - s;
        pad = std::min(pad, track->BufSize - held - s);
        if (pad > 0) {
          track->SoundSkips += 1;
          vidzosound::FillSilence(track, track->BufWrite, pad);
          track->DueBase += pad;
          track->BufWrite = vidzosound::Advance(track, track->BufWrite, pad);
        }
      }
    }
    WriteChunk(h, t, track, s);
    track->BytesQueued += s + pad;
    track->BufWrite = vidzosound::Advance(track, track->BufWrite, s);
    track->BufBytes.fetch_add(s + pad, std::memory_order_release);
  }
  Sound().fresh_sound.store(true);

  // Compared by signed difference, as the clocks are: the byte counts wrap at
  // 2^32 (after hours of sound), and a target just past the wrap is not
  // "beyond what was queued".
  const uint32_t target = (timing->DuePoint >> 10) + timing->DueBase;
  if (static_cast<int32_t>(target - timing->BytesQueued) > 0) {
    timing->LatePoint -= timing->DuePoint;
    timing->DuePoint = 0;
    timing->DueBase = timing->BytesQueued;
  }
}

uint32_t VidzoSoundOnOff(VidzoHandle* h, uint32_t on) {
  if (h == nullptr || h->TimingTrack < 0 || h->TimingTrack >= VDZ_TRACKS) return 0;
  vidzosound::SoundState& s = Sound();
  const VidzoSoundOps* ops = s.ops;
  if (on == 0) {
    if (!h->SoundSyncOff) {
      h->SoundSyncOff = 1;
      std::lock_guard<std::recursive_mutex> lock(s.lock);
      for (VidzoTrack* track : h->Tracks) {
        if (track == nullptr) continue;
        if (ops != nullptr && ops->suspend != nullptr) ops->suspend(track);
        track->BytesQueued -= track->BufBytes.load();
        track->BufBytes.store(0);
        track->BufRead = track->BufWrite = track->BufStart;
      }
    }
  } else if (h->SoundSyncOff) {
    h->SoundSyncOff = 0;
    for (VidzoTrack* track : h->Tracks) {
      if (track == nullptr) continue;
      if (ops != nullptr && ops->resume != nullptr && !ops->resume(track)) return 0;
      uint32_t played = VidzoPlayedBytes(track);
      track->LatePoint -= track->DuePoint;
      track->DuePoint = 0;
      track->DueBase = played;
      if (h->CurrentFrame == 0) continue;
      // Keep at least a largest chunk queued beyond the played position.
      std::lock_guard<std::recursive_mutex> lock(s.lock);
      uint32_t ahead = track->BytesQueued - played;
      if (static_cast<int32_t>(ahead) < 0) ahead = 0;
      if (ahead >= track->LargestChunk) continue;
      uint32_t held = track->BufBytes.load();
      uint32_t want = (track->LargestChunk - ahead) & ~3u;
      uint32_t room = (track->BufSize - held) & ~3u;
      want = std::min(want, room);
      if (want == 0) continue;
      vidzosound::FillSilence(track, track->BufWrite, want);
      track->BufWrite = vidzosound::Advance(track, track->BufWrite, want);
      track->BytesQueued += want;
      track->BufBytes.fetch_add(want, std::memory_order_release);
    }
  }
  VidzoSoundService();
  return 1;
}

}  // extern "C"
