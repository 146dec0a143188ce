// Packing a sound source into the sound chunks of a .vdz track, one chunk
// per frame, through the compressed sound writer.
#pragma once

#include <cstdint>
#include <string>

#include "qelutil/qelutil.h"
#include "tools/lib/vdz_writer.h"

namespace vidzotools {

struct CSFileCloser {
  void operator()(CSFile* c) const { CSFileClose(c); }
};

// The header's format word of a track written by `c`.
uint32_t TrackFormat(const CSFile* c);

// Packs the sound of `c` into one chunk per frame of `content` for track t
// (the ring frame gets frame 0's chunk), each frame carrying the sound of its
// span of `period` (1/100000 s) and the sound runs ahead of the pictures by
// kDefaultSoundLeadMs. `sound_bytes` receives the sound bytes packed. False
// with a message when a chunk cannot be made.
bool PackSoundTrack(CSFile* c, uint32_t t, VdzContent& content, uint64_t period, uint64_t& sound_bytes,
                    std::string& error);

}  // namespace vidzotools
