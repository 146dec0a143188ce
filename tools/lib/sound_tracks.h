// Sound tracks of a .vdz file made from wave sound: each frame carries the
// sound of its own time span as one chunk, compressed or stored as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lib/vdz_writer.h"
#include "tools/lib/wave_reader.h"

namespace vidzotools {

// The frame period in 10-microsecond units of a header frame rate (N > 0:
// N milliseconds; N < 0: -N units); 0 for an untimed file.
uint64_t FramePeriodUnits(int32_t frame_rate);

// Where each of `frame_count` frames starts in a sound of `sample_frames`
// sample frames at `rate` Hz: entry i is floor(i x period x rate / 100000),
// held to the end of the sound; the last entry (index frame_count) is the end
// of the sound, so the last frame also carries whatever remains.
std::vector<uint64_t> SoundFrameStarts(uint64_t sample_frames, uint32_t rate, uint64_t period,
                                       size_t frame_count);

struct SoundTrackOptions {
  uint32_t lossy = 0;  // 0 (lossless) to 9
  bool raw = false;    // store the PCM as it is
};

// Adds `sound` as track `track` of `content`, whose frames and frame rate are
// set: the format word, and one chunk in every frame whose span holds sound
// (the ring frame gets frame 0's chunk). False with a message when the file
// is untimed, the track does not exist or is taken, or the chunks cannot be
// packed.
bool AddSoundTrack(VdzContent& content, uint32_t track, const WaveSound& sound,
                   const SoundTrackOptions& options, std::string& error);

}  // namespace vidzotools
