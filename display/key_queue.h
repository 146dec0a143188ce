/*
 * The player's key codes: SDL events turned into 8-bit codes in a queue of
 * at most 64 (a code that arrives while 64 are waiting is dropped).
 *
 *   character (text input)      its code (Enter 13, Esc 27, blank 32, ...;
 *                               characters above 255 are ignored)
 *   Enter, Esc, Backspace, Tab  13, 27, 8, 9 (these give no text input)
 *   Tab with Shift              137
 *   Ctrl with a letter          1 to 26
 *   F1 to F10                   208 to 217; with Shift 218 to 227; with
 *                               Ctrl (no Shift) 228 to 237
 *   Alt with F1 to F9           238 to 246; Alt with F10 247
 *   Page Up, Page Down, End, Home, Left, Up, Right, Down, Insert, Delete
 *                               161 to 168, 173, 174
 *   close request (window closed, or a quit signal)   241
 * Printable keys give their character from key-down only while SDL's text
 * input is off.
 */
#ifndef DISPLAY_KEY_QUEUE_H
#define DISPLAY_KEY_QUEUE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VIDZO_KEY_QUEUE_SIZE 64u
#define VIDZO_KEY_CLOSE 241u

/* Handles all pending SDL events: key codes into the queue, exposes paint
 * the window's display buffer. Returns 1 when the quit event was seen
 * (a 241 is queued for it too), else 0. */
uint32_t VidzoDispatchEvents(void);

/* Removes and returns the front code, or -1 when the queue is empty (it does
 * not dispatch). */
int32_t VidzoTakeKey(void);

/* Dispatches, then takes the front code (-1 when none). */
int32_t VidzoPollKey(void);

/* Dispatches, yielding the processor, until a code arrives; returns it. */
uint8_t VidzoWaitKey(void);

/* Appends a code; returns 0 when it was dropped because the queue is full. */
uint32_t VidzoQueueKey(uint8_t code);

uint32_t VidzoKeysWaiting(void);
void VidzoClearKeys(void);

/* As VidzoTakeKey; *close is set to 1 when the code was queued for a close
 * request (so that it can be told from Alt+F4, which has the same code). */
int32_t VidzoTakeKeyEx(uint32_t* close);

/* The mouse as the dispatch sees it: button releases over a window are
 * counted per button (0 left, 1 right), and the pointer's position in the
 * client area of the window it is over is kept from motion, button and
 * enter/leave events. */
uint32_t VidzoTakeClick(uint32_t right);
/* 1 and the position while the pointer is over a window, else 0 (and -1,
 * -1). */
uint32_t VidzoPointer(int32_t* x, int32_t* y);
/* Sets the kept position (after the pointer has been warped). */
void VidzoSetPointer(int32_t x, int32_t y);
void VidzoClearMouse(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DISPLAY_KEY_QUEUE_H */
