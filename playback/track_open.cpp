// Opening a sound track of a handle. The track must exist in the file and
// have a sample rate; it then needs the sound output to play it, and this
// build has none yet, so every track stays off and nothing is allocated.
#include "playback/vidzo.h"

extern "C" int VidzoOpenTrack(VidzoHandle* h, uint32_t track) {
  if (h == nullptr || track >= VDZ_TRACKS) return 0;
  uint32_t format = h->AudioFormat[track];
  if (!(format & VDZ_AUDIO_PRESENT) || (format & VDZ_AUDIO_RATE_MASK) == 0) return 0;
  return 0;  // no sound output can take the track
}
