// The sound tracks of a .vdz file as the playback library decodes them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "playback/vidzo.h"

namespace vidzotools {

// Decoded PCM of each track (empty for a track that does not exist).
using VdzTrackSound = std::array<std::vector<uint8_t>, VDZ_TRACKS>;

// Decodes the chunks of every existing track of the open file `h` in frame
// order, frames 0 to FrameCount - 1, each into a buffer of the track's
// AudioMaxSize and appended as the decoder produced it. A chunk that decodes
// to more than AudioMaxSize is cut to it, as a player's buffer would cut it,
// and noted in `warning`. False with a message when the file is cut short or
// a track's AudioMaxSize is too large to decode.
bool DecodeVdzTracks(VidzoHandle* h, const std::string& name, VdzTrackSound& sound, std::string& warning,
                     std::string& error);

}  // namespace vidzotools
