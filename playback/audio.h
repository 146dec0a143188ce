/*
 * Sound tracks of the playback library: decoding a frame's audio chunk into a
 * track's circular sound buffer, and the sizes that opening a track gives that
 * buffer.
 *
 * Audio chunk, for an uncompressed track: u32 length L (counting itself), then
 * L - 4 bytes of PCM. For a compressed track (AudioFormat bit 31): u32 length
 * L, u32 decoded size D, then L - 8 bytes of bit stream:
 *   1 bit data present (0: nothing is decoded), 1 bit stereo, 1 bit 16-bit;
 *   the byte trees, each after one ignored bit: 8-bit mono: delta; 16-bit
 *   mono: low, high; 8-bit stereo: left, right; 16-bit stereo: left low, left
 *   high, right low, right high;
 *   the first sample frame as 8-bit reads: 8-bit mono: the sample; 16-bit
 *   mono: high, low; 8-bit stereo: right, left; 16-bit stereo: right high,
 *   right low, left high, left low;
 *   then for each later sample frame the codes of its deltas in tree order.
 * Each channel adds its deltas to its running sample, wrapping at the sample
 * width; a 16-bit delta is its low byte plus 256 times its high byte.
 *
 * Produced samples are little-endian PCM, channels interleaved left first;
 * 8-bit samples are unsigned (silence 0x80), 16-bit ones signed.
 */
#ifndef PLAYBACK_AUDIO_H
#define PLAYBACK_AUDIO_H

#include <stdint.h>

#include "playback/vidzo.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The process-wide byte-tree scratch: room for four byte trees. */
#define VDZ_AUDIO_SCRATCH_BYTES 8192u

/* What opening sound track t sets in its record before the sound output
 * opens a device stream for it. Byte counts marked x1024 carry ten fraction
 * bits. */
typedef struct VidzoTrackSizes {
  uint32_t SampleRate;
  uint32_t Is16Bit;
  uint32_t IsStereo;
  uint32_t BytesPerSecond; /* rate x sample bytes x channels */
  uint32_t BytesPerFrame;  /* x1024: BytesPerSecond x 1024 x FramePeriod / 100000 */
  uint32_t LatePoint;      /* half a second of bytes, x1024 */
  uint32_t BufSize;        /* 2 frames of bytes + 1 second, a multiple of 4096, >= 8192 */
  uint32_t LargestChunk;   /* AudioMaxSize[t] with its two low bits cleared */
} VidzoTrackSizes;

/* Fills sizes for track t of the handle from its AudioFormat entry, its
 * AudioMaxSize entry and the handle's FramePeriod. 0 (sizes untouched) when
 * the track does not exist, has no sample rate, or its byte counts do not fit
 * in 32 bits (a rate or a frame period no device plays); else 1. */
int VidzoTrackSizing(const VidzoHandle* h, uint32_t track, VidzoTrackSizes* sizes);

/* The process-wide tree scratch area (VDZ_AUDIO_SCRATCH_BYTES, malloc
 * family), allocated on the first call; null when memory runs out. VidzoClose
 * frees it once no track is open in the process. */
void* VidzoAudioScratch(void);

/* Decodes one compressed bit stream (`stream_size` bytes, never read past)
 * of decoded size `decoded_size` into the circular buffer [buf_start,
 * buf_end) from `write` on, wrapping to buf_start at buf_end. `scratch` holds
 * the four byte trees (4-byte aligned, VDZ_AUDIO_SCRATCH_BYTES; null uses a
 * local area). Only whole sample frames are produced, and never more than the
 * buffer holds: a longer chunk is cut to the buffer's length. Missing bits
 * read as 0. Nothing is written when the present bit is 0, when D is 0, or
 * when `write` lies outside the buffer. */
void VidzoDecodeAudio(const uint8_t* stream, uint32_t stream_size, uint32_t decoded_size, void* scratch,
                      uint8_t* buf_start, uint8_t* buf_end, uint8_t* write);

/* Puts one audio chunk of a track with AudioFormat `format` into the circular
 * buffer at `write`: decoded (VidzoDecodeAudio) when the format has bit 31,
 * else its L - 4 bytes copied. `available` is the number of bytes from the
 * chunk's start to the end of its frame record; a chunk whose length field is
 * too small or claims more than that is ignored. Returns how far the caller
 * advances its write position: D or L - 4, cut to the buffer's length (and,
 * for compressed chunks, rounded down to whole sample frames); 0 for an
 * ignored chunk. A compressed chunk whose present bit is 0 writes nothing but
 * still counts. */
uint32_t VidzoPutAudioChunk(const uint8_t* chunk, uint32_t available, uint32_t format, void* scratch,
                            uint8_t* buf_start, uint8_t* buf_end, uint8_t* write);

#ifdef __cplusplus
}
#endif

#endif /* PLAYBACK_AUDIO_H */
