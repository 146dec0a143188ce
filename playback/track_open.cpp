// Opening a sound track of a handle. The track must exist in the file and
// have a sample rate; the sound output then sizes and allocates its record
// and buffer and opens a device stream for it (VidzoSoundLink::open_track).
// Without a sound output every track stays off and nothing is allocated.
#include "playback/audio.h"
#include "playback/vidzo.h"

extern "C" int VidzoOpenTrack(VidzoHandle* h, uint32_t track) {
  if (h == nullptr || track >= VDZ_TRACKS) return 0;
  uint32_t format = h->AudioFormat[track];
  if (!(format & VDZ_AUDIO_PRESENT) || (format & VDZ_AUDIO_RATE_MASK) == 0) return 0;
  VidzoProcessState* p = VidzoProcess();
  if (p->Sound.open_track == nullptr || !p->Sound.open_track(h, track)) return 0;
  VidzoAudioScratch();  // the first open track allocates the tree scratch
  p->OpenTracks += 1;
  if (h->TimingTrack < 0) h->TimingTrack = static_cast<int32_t>(track);
  return 1;
}
