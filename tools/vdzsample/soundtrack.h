// The sound track of the sample animation: a tone that follows the ball
// (pitch with its height, left and right with its place), a thump each time
// it lands, a lower tone that follows the square, and a chime when the colour
// scheme starts to change; all of it fades in and out with the pictures.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/vdzsample/scene.h"

namespace vdzsample {

// `sample_frames` sample frames at `rate` Hz of 16-bit stereo sound,
// little-endian, left first.
std::vector<uint8_t> MakeSoundTrack(const Scene& scene, uint32_t rate, uint64_t sample_frames);

// The bytes of a RIFF wave file holding 16-bit stereo `pcm` at `rate` Hz.
std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& pcm, uint32_t rate);

}  // namespace vdzsample
