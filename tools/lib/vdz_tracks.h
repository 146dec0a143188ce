// The sound tracks of a .vdz file as the playback library decodes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "playback/vidzo.h"

namespace vidzotools {

// Takes the decoded PCM of one chunk of `track`; false with a message stops
// the decoding.
using VdzTrackSink = std::function<bool(int track, const uint8_t* pcm, size_t bytes, std::string& error)>;

// Decodes the chunks of every existing track of the open file `h` in frame
// order, frames 0 to FrameCount - 1, as the playback library's decoder
// produces them into a buffer of the track's AudioMaxSize, and hands each to
// `sink`. A chunk that decodes to more than AudioMaxSize is cut to it, as a
// player's buffer would cut it, and noted in `warning`. False with a message
// when a read comes up short, a track's AudioMaxSize is too large to decode,
// or `sink` fails.
bool DecodeVdzTracks(VidzoHandle* h, const std::string& name, const VdzTrackSink& sink, std::string& warning,
                     std::string& error);

}  // namespace vidzotools
