/*
 * vidzosound: the sound output of the playback library. It plays the
 * circular buffers of every open sound track through one of two back ends
 * behind one table of operations: the wave-output device (the default) and
 * the device-buffer back end ("DirectSound", chosen with
 * VidzoSelectDirectSound), each in its own folder (sound/waveout/,
 * sound/dsound/).
 *
 * The playback library reaches this output only through the hooks of
 * VidzoSoundLink (playback/vidzo.h); VidzoSoundInstall fills them. Players
 * call it at start-up; VidzoSelectDirectSound and VidzoSetSoundWindow call it
 * too.
 */
#ifndef SOUND_SOUND_H
#define SOUND_SOUND_H

#include <stdint.h>

#include "playback/vidzo.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The operation table of a back end, in order of use. Null entries are
 * operations the back end does not have. */
typedef struct VidzoSoundOps {
  void (*service)(void);                                   /* drain the buffers into the devices */
  int (*open_track)(struct VidzoTrack* t, uint32_t flags); /* 0 = refused */
  void (*close_track)(struct VidzoTrack* t);
  uint32_t (*played_bytes)(struct VidzoTrack* t);
  void (*flush)(struct VidzoTrack* t);
  void (*suspend)(struct VidzoTrack* t);
  int (*resume)(struct VidzoTrack* t); /* 0 = failed */
  void (*volume)(struct VidzoTrack* t, uint32_t volume, uint32_t pan);
} VidzoSoundOps;

/* Fills the playback library's sound hooks. Idempotent. */
void VidzoSoundInstall(void);

/* The installed back end, or null before the first track opens and before
 * VidzoSelectDirectSound. */
const VidzoSoundOps* VidzoSoundBackEnd(void);

/* Chooses the device-buffer back end. `object` is an existing sound object
 * to use, or null to create one when the first track opens. When a back end
 * is installed already nothing changes and the result is whether it is this
 * one. */
int VidzoSelectDirectSound(void* object);

/* Remembers the window the device-buffer back end cooperates with. */
void VidzoSetSoundWindow(void* window);

/* The frame sound hand-off for the handle's current frame. */
void VidzoFrameSound(VidzoHandle* h);

/* Switches the handle's sound off (on = 0) and on again. 0 when the handle
 * has no timing track or a resume fails, else 1. */
uint32_t VidzoSoundOnOff(VidzoHandle* h, uint32_t on);

/* Runs the installed back end's service (nothing when none). */
void VidzoSoundService(void);

/* Bytes of the track played so far (0 when no back end is installed). */
uint32_t VidzoPlayedBytes(struct VidzoTrack* t);

/* Sets the volume (0-65535) and pan (0-65535, 32768 = centre) of track t of
 * the handle. */
void VidzoSoundVolume(VidzoHandle* h, uint32_t track, uint32_t volume, uint32_t pan);

/* Forgets the installed back end and its state; only with no track open. */
void VidzoSoundResetForTests(void);

#ifdef __cplusplus
}
#endif

#endif /* SOUND_SOUND_H */
