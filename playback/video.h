/*
 * Video frame decoding: the output descriptor, the video-data decoder, the
 * change map and its rectangle walk, the 16-bit colour table, palette
 * remapping and the MMX choice.
 *
 * Video data paints 4x4-pixel blocks in raster order into the descriptor's
 * buffer, on top of the previous picture; the change map records which groups
 * of 16 consecutive blocks were painted.
 */
#ifndef PLAYBACK_VIDEO_H
#define PLAYBACK_VIDEO_H

#include <stddef.h>
#include <stdint.h>

#include "playback/vidzo.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Colour-mode byte of the descriptor (and flags / 2^24 of VidzoSetDestination). */
#define VIDZO_COLOUR_8BIT 0x00u
#define VIDZO_COLOUR_555 0x80u
#define VIDZO_COLOUR_565 0xC0u

/* VidzoSetDestination flags. */
#define VIDZO_DEST_BOTTOM_UP 0x1u
#define VIDZO_DEST_555 0x80000000u
#define VIDZO_DEST_565 0xC0000000u
#define VIDZO_DEST_COLOUR_MASK 0xC0000000u

/* VidzoRemapPalette flags (colour-table entry layout). */
#define VIDZO_REMAP_WIDE 0x1u    /* two bytes per component, the first used */
#define VIDZO_REMAP_BGR 0x2u     /* blue first, red last */
#define VIDZO_REMAP_4BYTE 0x4u   /* 4-byte entries */
#define VIDZO_REMAP_OFFSET1 0x8u /* with VIDZO_REMAP_4BYTE: components at 1, 2, 3 */

/* Where and how decoded pixels go. Allocated by VidzoSetDestination with the
 * change map right after the record (VidzoChangeMap) and, in the 16-bit
 * modes, the 256-entry colour table at the end of the allocation. */
typedef struct VidzoOutputDesc {
  uint8_t Kind;       /* 1: a plain linear buffer */
  uint8_t Doubled;    /* 1: every decoded row is written to two output rows */
  uint8_t ColourMode; /* VIDZO_COLOUR_8BIT, _555 or _565 */
  uint8_t Spare;
  uint8_t* FirstPixel;   /* where pixel (0, 0) of the picture goes */
  uint32_t BlocksPerRow; /* Width / 4 */
  uint32_t BlockRows;    /* stored height / 4 */
  int32_t BlockStep;     /* subtracted after a block's last row: (R - 1) * pitch - 4 * B */
  int32_t SpanStep;      /* (R - 1) * pitch */
  int32_t Pitch;         /* bytes from one output row to the next */
  int32_t RowStep;       /* added at the end of a block row: R * pitch - 4 * BlocksPerRow * B */
  /* NextChangedRect's iterator; cleared by every decoded frame. */
  uint8_t Finished;
  uint8_t Continuing;
  uint8_t Started;
  uint8_t IterSpare;
  uint32_t PixelWidth;  /* BlocksPerRow * 4 */
  uint32_t PixelHeight; /* BlockRows * 4 */
  uint32_t X, Y;        /* while continuing, X is the part of a group past the right edge */
  uint32_t MapPos;      /* current change-map byte */
  uint32_t MapBytes;    /* bytes reserved for the change map */
  uint16_t* Colour16;   /* the 16-bit colour table, or null in 8-bit mode */
} VidzoOutputDesc;

/* The change map: one byte per 16 consecutive blocks in raster order. */
static inline uint8_t* VidzoChangeMap(VidzoOutputDesc* desc) {
  return (uint8_t*)(desc + 1);
}

/* A changed area in picture pixels (rows as stored). */
typedef struct VidzoChangedRect {
  uint32_t X, Y, Width, Height;
} VidzoChangedRect;

/* Bytes reserved for the change map of a width x height picture:
 * width * height / 256 + 32. */
uint32_t ChangeMapSize(uint32_t width, uint32_t height);

/* Paints one frame's video data (size bytes; the reader never goes past them
 * and reads zero bits after their end) with the trees into the descriptor's
 * buffer and rebuilds its change map. Decoding stops at the last block of the
 * picture whatever the stream says, and writes only inside the picture area.
 * Null trees or descriptor: nothing. */
void VidzoDecodeVideo(const uint8_t* video, uint32_t size, VidzoTreesArea* trees, VidzoOutputDesc* desc);

/* Returns 1 and fills rect with the next changed area of the last decoded
 * frame, or 0 when there is none left. */
int NextChangedRect(VidzoOutputDesc* desc, VidzoChangedRect* rect);

/* Attaches, reuses, replaces or (with a null buffer) detaches the handle's
 * output descriptor. pitch is the buffer's own row length in bytes (> 0),
 * height its rows; flags: VIDZO_DEST_BOTTOM_UP and a colour mode (0,
 * VIDZO_DEST_555 or VIDZO_DEST_565). The handle's interlaced or doubled
 * height mode is taken from OpenFlags. Returns 1 when a descriptor is
 * attached; 0 after detaching, for a null handle, and when the request is
 * invalid (a colour mode of 0x40000000, a pitch of 0 or less, or a picture
 * that does not fit into the buffer at left, top): the handle then has no
 * descriptor, so nothing is decoded. */
int VidzoSetDestination(VidzoHandle* h, uint32_t left, uint32_t top, int32_t pitch, uint32_t height,
                        void* buffer, uint32_t flags);

/* Fills table[0..255] from a 768-byte palette in 5-5-5 (mode 0x80) or 5-6-5
 * (mode 0xC0) form. */
void BuildColour16Table(uint16_t* table, const uint8_t* palette, uint32_t mode);

/* Rebuilds the handle's 16-bit colour table from its palette when
 * PaletteDirty is set and a table exists, then clears PaletteDirty. */
void VidzoUpdateColour16(VidzoHandle* h);

/* Makes the decoder write, for each palette index, the index of the nearest
 * colour of another colour table (count entries, at most 256 used; layout
 * per the VIDZO_REMAP_ flags). Null handle, null table or count 0: nothing. */
void VidzoRemapPalette(VidzoHandle* h, const void* colours, uint32_t count, uint32_t flags);

/* Sets 0 forbids the MMX inner loops, 1 allows them, any other value keeps
 * the choice; returns 1 when they will be used, else 0. */
uint32_t VidzoSetMMX(uint32_t setting);

#ifdef __cplusplus
} /* extern "C" */

namespace vidzo {
/* Makes every colour the trees produce pass through the 256-byte table: the
 * mono-colour and full trees' leaves (both bytes) and the fill colour of the
 * type tree's solid leaves. Always starts from the leaves' stored values, so
 * remapping twice does not compound. */
void RemapTrees(TreesArea& trees, const uint8_t translation[256]);
}  // namespace vidzo
#endif

#endif /* PLAYBACK_VIDEO_H */
