/*
 * The display buffer record: the 8-bit pixel buffer that frames are decoded
 * into, with its row order, size and pitch. The buffer-to-buffer copies of
 * the blitter read only the fields below; the display buffer adds its own
 * bookkeeping (rectangle mode, type, window, palette, batch) around them.
 */
#ifndef DISPLAY_DISPLAY_BUFFER_H
#define DISPLAY_DISPLAY_BUFFER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Orientation bit 0: rows stored bottom-up (the copies take any non-zero
 * orientation word as bottom-up). */
#define VIDZO_BUFFER_BOTTOM_UP 0x1u

typedef struct VidzoDisplayBuffer {
  uint32_t Orientation; /* non-zero: rows stored bottom-up */
  uint32_t Height;      /* rows */
  uint32_t Pitch;       /* bytes from one row to the next in memory */
  uint8_t* Pixels;      /* Pitch * Height bytes */
} VidzoDisplayBuffer;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_DISPLAY_BUFFER_H */
