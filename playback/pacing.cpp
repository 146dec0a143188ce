// The frame step of the playback loop: decoding a frame (or skipping its
// picture when it is late for its sound), moving on to the next frame,
// waiting until that frame is due, and the statistics of the playback
// summary.
//
// Two clocks pace the frames. With a timing track the played bytes of that
// track are the clock: a frame is due once the sound of the frame before it
// has played, less the track's HandOver, so that its own sound reaches the
// output while the sound before it still plays. Otherwise the millisecond timer x 100 (10 us units) is: frames
// are one FramePeriod apart, and a lag of more than a period is dropped
// rather than made up. Both clocks wrap at 2^32 and are compared by signed
// difference.
#include "playback/pacing.h"

#include <algorithm>

#include "platform/clock.h"
#include "playback/container.h"
#include "playback/track.h"
#include "playback/video.h"

namespace {

using vidzo::ReachedClock;
using vidzo::StartMark;

constexpr uint32_t kNotShown = 0xFFFFFFFFu;  // NextDueTime before the first wait

VidzoTrack* TimingTrackOf(const VidzoHandle* h) {
  if (h->TimingTrack < 0 || h->TimingTrack >= VDZ_TRACKS) return nullptr;
  return h->Tracks[h->TimingTrack];
}

uint32_t PlayedBytes(VidzoTrack* track) {
  VidzoProcessState* p = VidzoProcess();
  return p->Sound.played_bytes != nullptr ? p->Sound.played_bytes(track) : 0;
}

// A due time as stored: the value that marks "no frame shown yet" is never
// used for a real time (it becomes the 10 us after it).
uint32_t DueTime(uint32_t t) {
  return t == kNotShown ? 0 : t;
}

// The frame clock, 10 us units of the wrapping millisecond timer.
uint32_t FrameClock() {
  return platform::TimeMs() * 100u;
}

// The behind test: the timing track has already played half a second past
// the end of this frame's sound.
uint32_t BehindSound(VidzoHandle* h) {
  VidzoTrack* track = TimingTrackOf(h);
  if (track == nullptr || h->SoundSyncOff || track->NoSoundThisFrame) return 0;
  uint32_t late = (track->LatePoint >> 10) + track->DueBase;
  if (!ReachedClock(PlayedBytes(track), late)) return 0;
  h->AwaitingSound = 0;
  return 1;
}

// The frame clock's answer: true while the next frame is not yet due.
bool FrameClockNotDue(VidzoHandle* h) {
  if (h->FrameDue) return false;
  const uint32_t now = FrameClock();
  const uint32_t period = h->FramePeriod;
  if (h->NextDueTime == kNotShown) {
    h->NextDueTime = DueTime(now + period);
    return true;
  }
  if (!ReachedClock(now, h->NextDueTime)) return true;
  uint32_t next = h->NextDueTime + period;
  // More than a whole period late: the lag is dropped, not made up.
  if (int64_t{static_cast<int32_t>(now - next)} > int64_t{period}) next = now + period;
  h->NextDueTime = DueTime(next);
  if (period != 0) h->FrameDue = 1;
  return false;
}

// The sound clock's answer. A frame is due once the timing track has played
// up to its due point. When the due point lies beyond every byte queued (the
// frame before carried no sound for the track), the sound clock cannot get
// there: once the queued sound has played, the frame clock takes over from
// the time the last frame became due by the sound.
bool SoundClockNotDue(VidzoHandle* h, VidzoTrack* track) {
  if (!h->AwaitingSound || h->SoundSyncOff) return false;
  const uint32_t position = PlayedBytes(track) + 8 + track->HandOver;
  const uint32_t due = (track->DuePoint >> 10) + track->DueBase;
  if (ReachedClock(position, due)) {
    h->AwaitingSound = 0;
    h->NextDueTime = DueTime(FrameClock() + h->FramePeriod);
    return false;
  }
  const uint32_t queued = track->BytesQueued;
  if (ReachedClock(queued, due) || !ReachedClock(position, queued)) return true;
  if (FrameClockNotDue(h)) return true;
  h->AwaitingSound = 0;
  return false;
}

// Closes the running time measurements at millisecond `now`: the frame time
// (decode plus display) for the slowest frames, the display time and the
// decode time.
void CloseMeasurements(VidzoHandle* h, uint32_t now) {
  if (h->FrameStartMs != 0) {
    const uint32_t t = now - h->FrameStartMs;
    const uint32_t frame = h->CurrentFrame;
    h->FrameStartMs = 0;
    if (t > h->SlowestMs) {
      if (h->SlowestFrame != frame) {
        h->SecondSlowestMs = h->SlowestMs;
        h->SecondSlowestFrame = h->SlowestFrame;
        h->SlowestFrame = frame;
      }
      h->SlowestMs = t;
    } else if (h->SlowestFrame != frame &&
               (t > h->SecondSlowestMs || h->SecondSlowestFrame == h->SlowestFrame)) {
      // Second place also goes to the first other frame met, however fast,
      // so that it never names the slowest frame.
      h->SecondSlowestMs = t;
      h->SecondSlowestFrame = frame;
    }
  }
  if (h->BlitStartMs != 0) {
    h->BlitMs += now - h->BlitStartMs;
    h->BlitStartMs = 0;
  }
  if (h->DecodeStartMs != 0) {
    h->DecodeMs += now - h->DecodeStartMs;
    h->DecodeStartMs = 0;
  }
}

bool MeasurementsRunning(const VidzoHandle* h) {
  return h->FrameStartMs != 0 || h->BlitStartMs != 0 || h->DecodeStartMs != 0;
}

}  // namespace

extern "C" {

uint32_t VidzoDecodeFrame(VidzoHandle* h) {
  if (h == nullptr || (h->ReadError & VDZ_READ_SHORT)) return 0;
  const uint32_t now = StartMark(platform::TimeMs());
  h->FrameStartMs = h->DecodeStartMs = now;
  if (h->FirstFrameMs == 0) h->FirstFrameMs = now;
  if (h->PaletteChanged) h->LastPaletteFrame = static_cast<int32_t>(h->CurrentFrame);
  h->FramesPlayed += 1;

  VidzoProcessState* p = VidzoProcess();
  if (p->Sound.frame_sound != nullptr) p->Sound.frame_sound(h);

  const uint32_t behind = h->FramePeriod != 0 ? BehindSound(h) : 0;
  const uint32_t skip = (h->OpenFlags & OPEN_NO_SKIP) ? 0 : behind;
  if (h->OutputDesc != nullptr) {
    if (skip == 0) {
      h->RectState = 1;
      VidzoUpdateColour16(h);
      uint32_t size = 0;
      if (h->VideoData != nullptr && h->CurrentFrameSize > h->VideoOffset)
        size = h->CurrentFrameSize - h->VideoOffset;
      VidzoDecodeVideo(h->VideoData, size, h->Trees, h->OutputDesc);
    } else {
      h->FramesSkipped += 1;
    }
  }
  vidzo::RefillSound();
  return behind;
}

void VidzoAdvanceFrame(VidzoHandle* h) {
  if (h == nullptr) return;
  if (h->ReadError & VDZ_READ_SHORT) {
    h->CurrentFrame += 1;
    return;
  }
  vidzo::RefillSound();
  if (MeasurementsRunning(h)) CloseMeasurements(h, platform::TimeMs());
  VidzoStepFrame(h);
  vidzo::RefillSound();
}

uint32_t VidzoFrameNotDue(VidzoHandle* h) {
  if (h == nullptr || (h->ReadError & VDZ_READ_SHORT)) return 0;
  vidzo::RefillSound();
  VidzoTrack* track = TimingTrackOf(h);
  const bool not_due = track != nullptr ? SoundClockNotDue(h, track) : FrameClockNotDue(h);
  if (!not_due) return 0;
  VidzoReadAhead(h);
  return 1;
}

uint32_t VidzoFrameWaitMs(VidzoHandle* h) {
  if (h == nullptr || h->ReadError) return 0;
  if (h->RingBase != nullptr && !h->ReadAheadAtEnd && h->CurrentFrame < h->FrameCount &&
      h->RingSize - h->RingBytes >= 4096)
    return 0;  // background reading has work
  // Milliseconds until `due` on a clock of `per_second` units per second.
  auto until = [](uint32_t now, uint32_t due, uint32_t per_second) -> uint32_t {
    const int32_t left = static_cast<int32_t>(due - now);
    return left <= 0 || per_second == 0 ? 0 : static_cast<uint32_t>(int64_t{left} * 1000 / per_second);
  };
  auto frame_clock = [&]() -> uint32_t {
    if (h->FrameDue || h->NextDueTime == kNotShown) return 0;
    return until(FrameClock(), h->NextDueTime, 100000);
  };
  VidzoTrack* track = TimingTrackOf(h);
  if (track == nullptr) return frame_clock();
  if (!h->AwaitingSound || h->SoundSyncOff) return 0;
  const uint32_t position = PlayedBytes(track) + 8 + track->HandOver;
  const uint32_t due = (track->DuePoint >> 10) + track->DueBase;
  const uint32_t by_sound = until(position, due, track->BytesPerSecond);
  // Past the queued sound the frame clock takes over.
  if (!ReachedClock(track->BytesQueued, due)) return std::min(by_sound, frame_clock());
  return by_sound;
}

uint32_t VidzoSoundLeftMs(VidzoHandle* h) {
  if (h == nullptr) return 0;
  uint32_t most = 0;
  for (VidzoTrack* track : h->Tracks) {
    if (track == nullptr || track->BytesPerSecond == 0) continue;
    const int32_t left = static_cast<int32_t>(track->BytesQueued - PlayedBytes(track));
    if (left > 0) most = std::max(most, static_cast<uint32_t>((int64_t{left} * 1000 + track->BytesPerSecond - 1) / track->BytesPerSecond));
  }
  return most;
}

void VidzoReadStatistics(VidzoHandle* h, VidzoSummary* summary) {
  if (summary == nullptr) return;
  *summary = VidzoSummary{};
  if (h == nullptr) return;
  const uint32_t now = platform::TimeMs();
  CloseMeasurements(h, now);

  VidzoSummary& s = *summary;
  s.TotalMs = now - h->FirstFrameMs;
  s.FramePeriod = h->FramePeriod;
  s.OpenMs = h->OpenMs;
  s.FramesPlayed = h->FramesPlayed;
  s.FramesSkipped = h->FramesSkipped;
  const VidzoTrack* track = TimingTrackOf(h);
  s.SoundSkips = track != nullptr ? track->SoundSkips : 0;
  s.BlitMs = h->BlitMs;
  s.ReadMs = h->ReadMs - h->OpenReadMs;
  s.DecodeMs = h->DecodeMs;
  s.ReadAheadMs = h->ReadAheadMs;
  const uint64_t bytes = uint64_t{h->BytesRead} + h->BytesReadAhead;
  const uint64_t ms = uint64_t{h->ReadMs} + h->ReadAheadMs;
  s.DeviceSpeed = ms == 0 ? 0 : static_cast<uint32_t>(std::min<uint64_t>(bytes * 1000u / ms, 0xFFFFFFFFu));
  s.SlowestMs = h->SlowestMs;
  s.SecondSlowestMs = h->SecondSlowestMs;
  s.SlowestFrame = h->SlowestFrame + 1;
  s.SecondSlowestFrame = h->SecondSlowestFrame + 1;
  s.AverageFrame = h->AverageFrame;
  s.MemoryPeak = h->MemoryPeak;
  s.RingSize = h->RingSize;
  s.RingPeak = h->RingPeak;
}

}  // extern "C"
