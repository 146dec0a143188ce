/*
 * The display buffer: an 8-bit buffer that frames are decoded into, shown in
 * the player window (display/player_window.h) or full screen, through SDL2.
 *
 * Types (the names are what VidzoDisplayDescribe reports):
 *   0 "Automatic"                   request only: type 5, else type 4
 *   1 "Full screen 320x240"         full screen, 320x240 logical size, buffered
 *   2 "Full screen 320x200"         full screen, 320x200 logical size, buffered
 *   3 "Full screen 320x200 direct"  as 2, the frames shown straight from the
 *                                   buffer at the end of each frame
 *   4 "Standard Windows DIBs"       the 8-bit buffer converted through its
 *                                   palette onto the window, stretched to it
 *   5 "DIBSection"                  an off-screen picture drawn by the
 *                                   renderer; with direct drawing when the
 *                                   renderer offers an RGB565 or RGB555
 *                                   streaming texture and the window is
 *                                   unstretched or exactly twice the picture
 * Rectangle modes (RectMode, for VidzoNextDirtyRect): 1 (one bounding
 * rectangle) for types 1, 2 and 4; 2 (none) for type 3; for type 5, 0
 * (several) when a quarter of the window fits a whole number of times into
 * the picture in both directions (windows of 1x, 2x or 4x), else 1.
 * Request bits added to the type: VIDZO_DISPLAY_NO_DIRECT, _SMOOTH and
 * _INTERLACED (the last two choose the 2x direct mode).
 *
 * The screen is true colour here: ScreenColours is 2 to the power of the
 * window's bits per pixel (at most 2^24), PaletteSize and LastUsable are
 * 256, FirstUsable 0, so every palette entry is usable, and every palette
 * change sets RepaintAll (the next blit draws the whole buffer).
 *
 * Everything runs on the thread that made the window.
 */
#ifndef DISPLAY_DISPLAY_H
#define DISPLAY_DISPLAY_H

#include <stdint.h>

#include "display/display_buffer.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VIDZO_DISPLAY_AUTOMATIC 0u
#define VIDZO_DISPLAY_FULL_320X240 1u
#define VIDZO_DISPLAY_FULL_320X200 2u
#define VIDZO_DISPLAY_FULL_DIRECT 3u
#define VIDZO_DISPLAY_DIB 4u
#define VIDZO_DISPLAY_DIBSECTION 5u
#define VIDZO_DISPLAY_TYPE_MASK 0x7Fu

#define VIDZO_DISPLAY_NO_DIRECT 0x80u   /* no direct drawing */
#define VIDZO_DISPLAY_SMOOTH 0x100u     /* direct 2x drawing smoothed */
#define VIDZO_DISPLAY_INTERLACED 0x200u /* direct 2x drawing on every other row */

/* Batch states. */
#define VIDZO_BATCH_IMMEDIATE 0u
#define VIDZO_BATCH_FLUSHING 1u
#define VIDZO_BATCH_COLLECTING 2u

/* The blit of the buffered full-screen types shows the whole buffer and
 * returns this, which ends the caller's rectangle loop. */
#define VIDZO_DISPLAY_BLIT_WHOLE 256u

/* Longest text of VidzoDisplayDescribe, terminator included. */
#define VIDZO_DISPLAY_DESCRIBE_SIZE 96u

struct VidzoWindow;

/* Opens a display buffer of width x height pixels on the player window,
 * shown at stretch_width x stretch_height (0 means the buffer size).
 * A requested type is tried alone; automatic tries 5, then 4. Fails (null)
 * for a null window, a zero size, a requested type whose conditions fail
 * (types 1 to 3: unstretched and at most 320x240 (type 1) or 320x200;
 * type 5: a renderer with a streaming texture of the buffer size), or when
 * memory, a surface or a texture cannot be had. Types 1 and 2 make the
 * window full screen; it returns to its size on close. The buffer starts
 * cleared to 0, the palette all black. The window shows this record from
 * now on (painting, expose); one record per window at a time. */
VidzoDisplayBuffer* VidzoDisplayOpen(struct VidzoWindow* window, uint32_t type, uint32_t width,
                                     uint32_t height, uint32_t stretch_width, uint32_t stretch_height);

/* Frees the record and all it holds; null does nothing. */
void VidzoDisplayClose(VidzoDisplayBuffer* display);

/* Shows width x height buffer pixels from (source_x, source_y) at (x, y) of
 * the picture (buffer pixel units; the window scales them). context is not
 * used (pass null). While a frame is being collected the rectangle joins the
 * batch (drawn at once when the batch is full). Returns 0 on success,
 * VIDZO_DISPLAY_BLIT_WHOLE for the buffered full-screen types (the whole
 * buffer was shown), 1 for a null record or a failed draw. Rectangles are
 * clipped to the buffer. */
uint32_t VidzoDisplayBlit(VidzoDisplayBuffer* display, void* context, uint32_t source_x, uint32_t source_y,
                          uint32_t x, uint32_t y, uint32_t width, uint32_t height);

/* Frame batching: begin starts collecting; end draws what was collected as
 * one picture and returns to immediate drawing. Type 3 shows the buffer at
 * the end of each frame. */
void VidzoDisplayBeginFrame(VidzoDisplayBuffer* display);
void VidzoDisplayEndFrame(VidzoDisplayBuffer* display);

/* Takes 256 palette entries in a blitter layout (VIDZO_LAYOUT_..., display/
 * blit.h) into ColourTable, hands them to the direct-drawing blitter, sets
 * PaletteSet and RepaintAll. Nothing for a null record or palette. */
void VidzoDisplaySetPalette(VidzoDisplayBuffer* display, const void* palette, uint32_t layout);

/* Fills Width x Height pixels with the colour index (not shown until
 * blitted). */
void VidzoDisplayClear(VidzoDisplayBuffer* display, uint32_t colour);

/* 1 when the display has the focus: full screen Active, windowed the player
 * window has the keyboard focus (always under SDL's dummy video driver). */
uint32_t VidzoDisplayHasFocus(VidzoDisplayBuffer* display);

/* Brings the palette to the screen; when PaletteSet, redraws the whole
 * buffer. Returns the number of entries realized (256), 0 for null. */
uint32_t VidzoDisplayRealize(VidzoDisplayBuffer* display);

/* Writes the type's name into text (VIDZO_DISPLAY_DESCRIBE_SIZE bytes), with
 * " with accelerated blitting (" + the blitter's name + ")" once a frame
 * has been drawn directly; returns text. Null writes an empty text. */
char* VidzoDisplayDescribe(VidzoDisplayBuffer* display, char* text);

/* n = 1 to 4 asks for 640x400, 640x480, 800x600 or 1024x768 (the colour
 * depth unchanged) for full-screen displays: returns 1 when the screen has
 * that mode, else 0 and nothing changes. n = 0 restores the desktop's own
 * mode and returns 1. Returns 0 without video or for other n. */
uint32_t VidzoDisplaySetResolution(uint32_t n);

/* The screen's colour count as ScreenColours gives it (0 without video). */
uint32_t VidzoDisplayScreenColours(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_DISPLAY_H */
