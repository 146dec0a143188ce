/*
 * The player window: an SDL2 window that hosts a display buffer
 * (display/display.h), paints it when exposed, and turns its events into the
 * player's key codes (display/key_queue.h).
 *
 * Video start-up: the first window starts SDL's video; when no video driver
 * can be opened (no display), SDL's "dummy" driver is used so that programs
 * still run headless. On a real display message boxes are then shown
 * through SDL as well as on standard error (VidzoWindowCreate installs the
 * presenter of platform/messagebox.h).
 */
#ifndef DISPLAY_PLAYER_WINDOW_H
#define DISPLAY_PLAYER_WINDOW_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Display flags that shape the window. */
#define VIDZO_WINDOW_NO_CAPTION 0x200u   /* no caption (and so no frame on this platform) */
#define VIDZO_WINDOW_NO_FRAME 0x4000u    /* no dialog frame */
#define VIDZO_WINDOW_THIN_BORDER 0x8000u /* thin border */

typedef struct VidzoWindow VidzoWindow;

/* Sizes the player needs to place the window: the frame around the client
 * area on each side and the screen size, all in pixels. */
typedef struct VidzoWindowMetrics {
  int32_t FrameLeft, FrameTop, FrameRight, FrameBottom;
  int32_t ScreenWidth, ScreenHeight;
} VidzoWindowMetrics;

/* Starts SDL video if needed (falling back to the dummy driver) and
 * installs the message-box presenter; returns 1 when video is available.
 * VidzoWindowCreate calls it; calling it again does nothing more. */
uint32_t VidzoVideoStart(void);

/* Stops SDL video (windows must be destroyed first) and removes the
 * message-box presenter it installed; the next VidzoVideoStart chooses the
 * driver afresh. */
void VidzoVideoStop(void);

/* 1 when the video driver in use is a real display (not "dummy" or
 * "offscreen"); 0 before VidzoVideoStart or without video. */
uint32_t VidzoVideoIsReal(void);

/* The name of the SDL video driver in use, or "" without video. */
const char* VidzoVideoDriver(void);

/* Creates the (hidden) player window with a client area of 320 x 240 and
 * the caption; display_flags give its frame (VIDZO_WINDOW_...). Null when
 * there is no video or the window cannot be made. */
VidzoWindow* VidzoWindowCreate(const char* caption, uint32_t display_flags);

/* Closes the window, and a display still open on it. Null does nothing. */
void VidzoWindowDestroy(VidzoWindow* window);

void VidzoWindowSetCaption(VidzoWindow* window, const char* caption);

/* The frame sizes and the screen size. */
void VidzoWindowGetMetrics(VidzoWindow* window, VidzoWindowMetrics* metrics);

/* Gives the client area client_width x client_height and moves the outer
 * window's top-left corner to (left, top); the client area's left edge is
 * snapped to a multiple of 8 ((client left + 3) rounded down). */
void VidzoWindowMove(VidzoWindow* window, int32_t left, int32_t top, uint32_t client_width,
                     uint32_t client_height);

/* The client area's position on the screen and its size. */
void VidzoWindowGetClientRect(VidzoWindow* window, int32_t* left, int32_t* top, uint32_t* width,
                              uint32_t* height);

/* Shows the window, raises it and gives it the keyboard focus. */
void VidzoWindowShow(VidzoWindow* window);
void VidzoWindowHide(VidzoWindow* window);
void VidzoWindowMinimize(VidzoWindow* window);
void VidzoWindowRestore(VidzoWindow* window);
/* 1 while minimized. */
uint32_t VidzoWindowIsMinimized(VidzoWindow* window);
/* 1 when the window has the keyboard focus. */
uint32_t VidzoWindowHasFocus(VidzoWindow* window);

/* Paints the whole display buffer open on the window (what an expose
 * does); nothing without one. */
void VidzoWindowPaint(VidzoWindow* window);

/* The SDL_Window behind the window (as void*), for the display code. */
void* VidzoWindowHandle(VidzoWindow* window);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_PLAYER_WINDOW_H */
