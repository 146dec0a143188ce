/*
 * The blitter: copies rectangles of 8-bit palettized pixels into a
 * destination buffer, unchanged (8-bit output) or as 16-bit pixels, at single
 * size or doubled (2x, 2x with every other row left alone, 2x smoothed); key
 * colour copies (transparent, masked, merged), a rectangle fill, and copies
 * between display buffers that honour their row order.
 *
 * What callers must guarantee (the blitter is handed raw pointers and cannot
 * check them): for VidzoBlit and its key-colour forms, source pixel (x, y) is
 * at source + y * source_pitch + x, and every source pixel of the rectangle
 * [source_x, source_x + width) x [source_y, source_y + height), and the mask
 * or second source at the same place, must be readable; the destination must
 * hold the whole output rectangle of the mode (see VidzoBlit). Buffers may not
 * overlap the destination. Offsets are computed in 64 bits, so nothing wraps.
 * The buffer-to-buffer copies take their limits from the buffer records and
 * never touch a byte outside them.
 */
#ifndef DISPLAY_BLIT_H
#define DISPLAY_BLIT_H

#include <stdint.h>

#include "display/display_buffer.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Blit flags. Bit 31 selects 16-bit output; bit 30 with it gives 5-6-5
 * pixels instead of 5-5-5. 0x4 takes precedence over 0x8, and 0x8 over 0x2. */
#define VIDZO_BLIT_16BIT 0x80000000u
#define VIDZO_BLIT_555 0x80000000u
#define VIDZO_BLIT_565 0xC0000000u
#define VIDZO_BLIT_FORMAT_MASK 0xC0000000u
#define VIDZO_BLIT_2X 0x2u
#define VIDZO_BLIT_SMOOTH 0x4u
#define VIDZO_BLIT_INTERLACED 0x8u

/* Palette layout flags of VidzoBlitSetPalette (default: 3-byte entries, red,
 * green, blue at offsets 0, 1, 2). */
#define VIDZO_LAYOUT_WIDE 0x1u    /* strides and offsets doubled: two bytes per component, first used */
#define VIDZO_LAYOUT_BGR 0x2u     /* red and blue offsets exchanged */
#define VIDZO_LAYOUT_4BYTE 0x4u   /* 4-byte entries */
#define VIDZO_LAYOUT_OFFSET1 0x8u /* with VIDZO_LAYOUT_4BYTE: components at 1, 2, 3 */

/* The blitter record; the record and all its tables are one allocation. */
typedef struct VidzoBlitter {
  uint32_t Flags;          /* the flags in force */
  uint8_t* PaletteCopy;    /* 768 bytes (R, G, B): for 16-bit output or smoothing, else null */
  void* SmoothTable;       /* when opened with 0x4: 65536 entries, index a * 256 + b; bytes for
                              8-bit output, u16 pixels for 16-bit output (room for 131072 bytes) */
  uint16_t* Colour16;      /* for 16-bit output: one pixel per palette index */
  uint32_t Mode;           /* 0-3 8-bit, 6-9 16-bit (1x, 2x, 2x interlaced, 2x smoothing) */
  uint32_t PaletteVersion; /* raised each time a different palette is set */
  uint32_t Colour16Version;
  uint32_t SmoothVersion;
  uint32_t SmoothKind; /* 8 or 16: what SmoothTable holds (0 before the first build) */
  /* The 16-bit format (VIDZO_BLIT_555 or _565) each table was built in, so
   * that changing between the two formats rebuilds them. */
  uint32_t Colour16Format;
  uint32_t SmoothFormat;
} VidzoBlitter;

/* Returns a cleared record for the flags (its tables are built by the first
 * VidzoBlitSetPalette), or null when memory is short. */
VidzoBlitter* VidzoBlitOpen(uint32_t flags);

/* Reads 256 palette entries in the given layout; when they differ from the
 * palette copy, stores them and raises PaletteVersion. Then brings the tables
 * the mode needs up to date (a table is built only when its palette, kind or
 * format changed). Nothing when the record keeps no palette copy, or for a
 * null record or palette. */
void VidzoBlitSetPalette(VidzoBlitter* blitter, const void* palette, uint32_t layout);

/* Stores the flags and their mode and brings the tables up to date; returns
 * 1, or 0 (changing nothing) when the record lacks the 16-bit table that
 * 16-bit flags need or the smoothing table that 0x4 needs, or is null. */
uint32_t VidzoBlitSetFlags(VidzoBlitter* blitter, uint32_t flags);

/* Writes the mode's name into text (at most 32 bytes with the terminator),
 * with " using MMX" for the doubling modes when the vector loops are in use;
 * returns text. A null record writes an empty text. */
char* VidzoBlitString(VidzoBlitter* blitter, char* text);

/* Copies the source rectangle to the destination. dest_x and dest_y are in
 * source-pixel units; the output starts at this byte offset from dest and
 * each source pixel becomes:
 *   mode 0  y * pitch + x          the byte itself
 *   mode 1  2 * (y * pitch + x)    a 2 x 2 block of the byte
 *   mode 2  2 * (y * pitch + x)    two bytes on one row; the row below is left alone
 *   mode 3  2 * (y * pitch + x)    a smoothed 2 x 2 block
 *   mode 6  y * pitch + 2x         one 16-bit pixel Colour16[index]
 *   mode 7  2 * (y * pitch + 2x)   a 2 x 2 block of that pixel
 *   mode 8  2 * (y * pitch + 2x)   two 16-bit pixels on one row; the row below is left alone
 *   mode 9  2 * (y * pitch + 2x)   a smoothed 2 x 2 block of 16-bit pixels
 * The smoothed block of pixel C, with L its left neighbour (C at the start of
 * the rectangle's row) and A the pixel above (C on the rectangle's first row):
 * upper row avg(L, A), avg(C, A); lower row avg(C, L), then C (mode 9: the
 * table's diagonal). Nothing happens for a zero width or height. */
void VidzoBlit(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
               const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
               uint32_t width, uint32_t height);

/* Key-colour copies, mode 0 only (other modes do nothing), addressed as
 * mode 0; the mask and the second source have the source's pitch and are
 * read at the source's x and y. The key is compared with each pixel byte, so
 * only its low 8 bits count.
 * Trans: source pixels other than the key are written.
 * Mask: where the mask pixel is not the key, the source pixel is written.
 * Merge: each destination pixel gets the source pixel, or the second
 * source's pixel where the source pixel is the key. */
void VidzoBlitTrans(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                    const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                    uint32_t width, uint32_t height, uint32_t key);
void VidzoBlitMask(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                   const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                   uint32_t width, uint32_t height, uint32_t key, const void* mask);
void VidzoBlitMerge(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                    const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                    uint32_t width, uint32_t height, uint32_t key, const void* source2);

/* Fills width x height pixels at dest + y * pitch + x * (2 for 16-bit output,
 * else 1). A negative colour is a raw pixel value (-colour); otherwise the
 * colour is a palette index (its low 8 bits), converted through Colour16 for
 * 16-bit output. */
void VidzoBlitClear(VidzoBlitter* blitter, void* dest, uint32_t pitch, uint32_t x, uint32_t y, uint32_t width,
                    uint32_t height, int32_t colour);

/* Frees the record and its tables; null does nothing. */
void VidzoBlitClose(VidzoBlitter* blitter);

/* 8-bit copies between display buffers, row order honoured: rows run in the
 * destination's memory order, the source stepping forwards when both
 * buffers have the same orientation and backwards when they differ. Row
 * numbers are taken modulo 65536. The copy is clipped to both buffers (rows
 * outside a buffer's Height and columns past its Pitch are left out), so it
 * never touches memory outside them. Source and destination may share
 * memory: each source row is read whole before its destination row is
 * written. Null records do nothing; Mask and Merge
 * do nothing unless the mask (second source) record has the source's
 * orientation and pitch. */
void VidzoBufferToBuffer(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                         const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                         uint32_t width, uint32_t height);
void VidzoBufferToBufferTrans(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                              const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                              uint32_t width, uint32_t height, uint32_t key);
void VidzoBufferToBufferMask(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                             const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                             uint32_t width, uint32_t height, uint32_t key, const VidzoDisplayBuffer* mask);
void VidzoBufferToBufferMerge(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                              const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                              uint32_t width, uint32_t height, uint32_t key,
                              const VidzoDisplayBuffer* source2);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_BLIT_H */
