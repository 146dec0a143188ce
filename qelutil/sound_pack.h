// Sound chunks of the .vdz format as the compressed sound writer stores them:
// one block of PCM (8 or 16 bits, mono or stereo, channels interleaved left
// first) becomes one chunk written through a QELFile at its position.
//
// A packed chunk is a u32 size field, the u32 unpacked size, then the bit
// stream: three flag bits (present, stereo, 16-bit), the byte trees of the
// deltas (8-bit mono: one; 8-bit stereo: left, right; 16-bit mono: low byte,
// high byte; 16-bit stereo: left low, left high, right low, right high), the
// first sample frame in 8-bit pieces (right before left, high before low),
// and the codes of every later frame's deltas in tree order; then zero bits
// to the byte and zero bytes to the next multiple of 4 of the file position.
// The size field counts the whole chunk, its padding included.
#pragma once

#include <cstdint>

#include "qelutil/qelutil.h"

namespace qelutil {

// Lossy coding: each delta loses the bits the mask clears unless that would
// move its sample by more than the limit. Level 0 is lossless.
struct SoundLossy {
  uint32_t delta_mask = 0xFFFF;
  int32_t error_limit = 0;
};

// The row of the lossy table for level 0..9 (larger levels are level 9), in
// the 8-bit or the 16-bit columns.
SoundLossy SoundLossyLevel(uint32_t level, bool sixteen);

// Writes `bytes` of PCM as one packed chunk through `out`, coding with the
// four 8-bit encoders `trees` (their statistics are replaced). Only whole
// sample frames are taken. Returns the chunk's length, or 0 when the block
// holds no whole frame (nothing is written then).
uint32_t PutPackedSoundChunk(QELFile* out, Huff* const trees[4], const uint8_t* pcm, uint32_t bytes,
                             bool sixteen, bool stereo, SoundLossy lossy);

// Writes `bytes` of PCM as one chunk of an uncompressed track: the u32 size
// field and the bytes as they are. The bytes of a chunk are played as they
// stand, padding included, so the padding is silence (0x80 for 8-bit sound,
// 0 for 16-bit) in whole sample frames: up to the next multiple of 4 of the
// file position when that is a whole number of frames, else none. Returns the
// chunk's length, or 0 when `bytes` is 0.
uint32_t PutRawSoundChunk(QELFile* out, const uint8_t* pcm, uint32_t bytes, bool sixteen, bool stereo);

}  // namespace qelutil
