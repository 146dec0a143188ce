/*
 * The display buffer record: the 8-bit pixel buffer that frames are decoded
 * into, with its row order, size and pitch, and the bookkeeping of the
 * display that shows it (display/display.h): type, window, palette,
 * rectangle mode, direct drawing and the batch of rectangles of one frame.
 * The buffer-to-buffer copies of the blitter read only Orientation, Height,
 * Pitch and Pixels, so a record made by hand needs only those four.
 *
 * The screen is shown through SDL2. What the handle fields hold here:
 *   Bitmap        type 4: the 8-bit SDL_Surface over Pixels;
 *                 type 5: the streaming SDL_Texture (buffer size, 32-bit)
 *   OldBitmap     type 4: the 32-bit SDL_Surface a stretched picture is
 *                 converted into before scaling; otherwise null
 *   PaletteObject the SDL_Palette of the 8-bit surface (type 4), else null
 *   MemoryDc      the SDL_Renderer (types 1, 2, 3 and 5), else null
 *   Window        the player window (VidzoWindow, display/player_window.h)
 *   FullScreenWindow  the SDL_Window made full screen (types 1 to 3)
 *   DirectDraw    the renderer offering a 16-bit streaming texture, when
 *                 direct drawing is in use
 *   PrimarySurface    the 16-bit streaming SDL_Texture of the window size
 *                 that the Blitter writes into
 *   OldWindowProc, OldFullScreenProc, BatchDc: unused (null)
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

struct VidzoBlitter;

typedef struct VidzoDisplayBuffer {
  uint32_t Orientation;               /* non-zero: rows stored bottom-up (never for the buffers made here) */
  uint32_t RectMode;                  /* the rectangle mode for VidzoNextDirtyRect */
  uint32_t Type;                      /* 1 to 5 */
  uint32_t FullScreen;                /* 1 for types 1 to 3 */
  uint32_t Width;                     /* buffer size in pixels */
  uint32_t Height;                    /* rows */
  uint32_t Pitch;                     /* bytes from one row to the next in memory */
  uint32_t Stretched;                 /* 1 when the window size differs from the buffer size */
  uint32_t WindowWidth, WindowHeight; /* client size */
  uint32_t ScreenColours;             /* 2 to the power of the screen's bits per pixel, at most 2^24 */
  uint32_t PaletteSize;               /* entries the palette may use */
  uint32_t UsableColours;             /* LastUsable - FirstUsable */
  uint32_t FirstUsable;               /* first palette index not reserved */
  uint32_t LastUsable;                /* one past the last usable index */
  uint8_t ColourTable[1024];          /* 256 entries blue, green, red, 0 */
  uint32_t PaletteLayout;             /* 6: the blitter layout of ColourTable */
  uint32_t RepaintAll;                /* a palette change asks for a full repaint */
  uint32_t PaletteSet;                /* a palette or picture has been set */
  uint8_t* Pixels;                    /* Pitch * Height bytes */
  uint8_t* SaveArea;                  /* type 3: 64000 bytes */
  void* Bitmap;
  void* OldBitmap;
  void* PaletteObject;
  void* MemoryDc;
  uint32_t Active; /* full screen: the full-screen window is active */
  void* Window;
  void* OldWindowProc;
  void* OldFullScreenProc;
  void* FullScreenWindow;
  void* DirectDraw;
  void* PrimarySurface;
  uint32_t BlitFlags;           /* flags the Blitter was opened with */
  struct VidzoBlitter* Blitter; /* for direct drawing, else null */
  uint32_t SoftwareCursor;      /* 1 when the cursor is drawn into the direct picture (never here) */
  uint32_t DirectDrawn;         /* a frame has been drawn directly */
  uint32_t DirectActive;        /* direct drawing is in use now */
  int32_t ClipLeft, ClipTop, ClipRight, ClipBottom; /* measured at the first direct frame */
  uint32_t BatchState;                              /* 0 immediate, 2 collecting, 1 flushing */
  uint32_t* BatchList;                              /* BatchCapacity entries of six values */
  uint32_t BatchNext;                               /* index of the next free entry */
  uint32_t BatchCapacity;                           /* max(16, (Height / 4) * (Width / 64) / 2) */
  uint32_t BatchCount;                              /* entries collected */
  void* BatchDc;
} VidzoDisplayBuffer;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_DISPLAY_BUFFER_H */
