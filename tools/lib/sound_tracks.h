// Sound tracks of a .vdz file made from wave sound: each frame carries the
// sound of its own time span as one chunk, compressed or stored as it is,
// optionally shifted ahead by a lead so that the sound output always holds
// some sound beyond the frame on screen.
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
// sample frames at `rate` Hz: entry 0 is 0, entry i > 0 is
// floor((i x period + lead) x rate / 100000), held to the end of the sound;
// the last entry (index frame_count) is the end of the sound, so the last
// frame also carries whatever remains. `period` and `lead` are in 10-
// microsecond units; with a lead frame 0 carries its own span and the lead.
std::vector<uint64_t> SoundFrameStarts(uint64_t sample_frames, uint32_t rate, uint64_t period,
                                       size_t frame_count, uint64_t lead = 0);

// The sound lead vdzenc gives by default, in milliseconds. Frames are still
// timed by the sound of their own spans (the player counts a frame period of
// sound per frame), so the lead changes only how far the queued sound runs
// ahead of the picture: without one the sound output holds at most a frame's
// sound when a frame becomes due and runs dry at the slightest delay.
constexpr uint32_t kDefaultSoundLeadMs = 250;
constexpr uint32_t kMaxSoundLeadMs = 10000;

struct SoundTrackOptions {
  uint32_t lossy = 0;    // 0 (lossless) to 9
  bool raw = false;      // store the PCM as it is
  uint32_t lead_ms = 0;  // sound lead, 0 to kMaxSoundLeadMs
};

// Adds `sound` as track `track` of `content`, whose frames and frame rate are
// set: the format word, and one chunk in every frame whose span holds sound
// (the ring frame gets frame 0's chunk). False with a message when the file
// is untimed, the track does not exist or is taken, or the chunks cannot be
// packed.
bool AddSoundTrack(VdzContent& content, uint32_t track, const WaveSound& sound,
                   const SoundTrackOptions& options, std::string& error);

}  // namespace vidzotools
