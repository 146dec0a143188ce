#include "play_loop.h"

#include <chrono>
#include <thread>

#include "playback/track.h"
#include "sound/sound.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

using Clock = std::chrono::steady_clock;

void ServiceUntil(Clock::time_point until) {
  while (Clock::now() < until) {
    VidzoSoundService();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

PlayReport PlayHeadless(VidzoHandle* h, uint32_t lead) {
  PlayReport report;
  const auto period = std::chrono::microseconds(uint64_t{h->FramePeriod} * 10);
  auto next = Clock::now();
  for (uint32_t i = 0; i < h->FrameCount; ++i) {
    VidzoFrameSound(h);
    VidzoSoundService();
    ++report.frames;
    if (i + 1 < h->FrameCount) Advance(h);  // the last frame stays: no return to frame 0
    if (i + 1 < lead) continue;
    next += period;
    ServiceUntil(next);
  }
  VidzoTrack* t = h->TimingTrack >= 0 ? h->Tracks[h->TimingTrack] : nullptr;
  if (t == nullptr) return report;
  const auto give_up = Clock::now() + std::chrono::seconds(5);
  while (VidzoPlayedBytes(t) < t->BytesQueued && Clock::now() < give_up) ServiceUntil(Clock::now() + period);
  ServiceUntil(Clock::now() + std::chrono::milliseconds(300));  // the device's own buffer
  report.sound_skips = t->SoundSkips;
  report.overflows = t->Overflows;
  report.queued = t->BytesQueued;
  report.played = VidzoPlayedBytes(t);
  return report;
}

}  // namespace soundtest
