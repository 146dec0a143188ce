// The sizes of a sound track's circular buffer and sound clock, set when the
// track is opened.
#include <cstdint>

#include "playback/audio.h"

namespace {

constexpr uint64_t kPage = 4096;

}  // namespace

extern "C" int VidzoTrackSizing(const VidzoHandle* h, uint32_t track, VidzoTrackSizes* sizes) {
  if (h == nullptr || sizes == nullptr || track >= VDZ_TRACKS) return 0;
  const uint32_t format = h->AudioFormat[track];
  const uint32_t rate = format & VDZ_AUDIO_RATE_MASK;
  if (!(format & VDZ_AUDIO_PRESENT) || rate == 0) return 0;
  const bool sixteen = (format & VDZ_AUDIO_16BIT) != 0;
  const bool stereo = (format & VDZ_AUDIO_STEREO) != 0;
  const uint64_t per_second = uint64_t{rate} * (sixteen ? 2 : 1) * (stereo ? 2 : 1);
  const uint64_t per_frame = per_second * 1024 * h->FramePeriod / 100000;
  const uint64_t late_point = per_second * 512;
  uint64_t buffer = 2 * (per_frame / 1024) + per_second;
  buffer = (buffer + kPage - 1) / kPage * kPage;
  if (buffer < 2 * kPage) buffer = 2 * kPage;
  // The record keeps these in 32 bits; a track whose counts would not fit
  // cannot be played in step with its video.
  if (per_frame > UINT32_MAX || late_point > UINT32_MAX || buffer > UINT32_MAX) return 0;

  sizes->SampleRate = rate;
  sizes->Is16Bit = sixteen ? 1 : 0;
  sizes->IsStereo = stereo ? 1 : 0;
  sizes->BytesPerSecond = static_cast<uint32_t>(per_second);
  sizes->BytesPerFrame = static_cast<uint32_t>(per_frame);
  sizes->LatePoint = static_cast<uint32_t>(late_point);
  sizes->BufSize = static_cast<uint32_t>(buffer);
  sizes->LargestChunk = h->AudioMaxSize[track] & ~3u;
  return 1;
}
