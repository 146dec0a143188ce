// One palette for a whole animation: when the colours of all frames (each
// component kept to its top 6 bits) number at most 256, every frame is
// re-indexed into one palette, so that the file carries a single palette
// chunk and unchanged areas keep their indices whatever their frame's own
// palette said.
#pragma once

#include <span>

#include "tools/lib/block_encoder.h"

namespace vidzotools {

// Gives every frame the same palette and remaps its pixels to it. A colour
// keeps the slot it first appears in when that slot is still free, so that an
// animation with one palette keeps its indices. False, with the frames
// unchanged, when the frames hold more than 256 colours together.
bool ShareOnePalette(std::span<AnimationFrame> frames);

}  // namespace vidzotools
