/*
 * vidzo: the playback library. VidzoHandle is the record of one open .vdz
 * file; the Vidzo... functions open, stream, step and close it.
 *
 * A C interface with fixed-width types. Failures are return values (null or
 * 0); the reasons are written to the diagnostic log when it is on.
 *
 * File layout of a .vdz file (numbers little-endian):
 *   0            104-byte header (the first fields of VidzoHandle)
 *   104          N frame sizes, u32 each (N = FrameCount, +1 with a ring frame)
 *   104 + 4N     N frame type bytes
 *   104 + 5N     the packed trees block, TreesSize bytes
 *   then         the frame records, frame 0 first
 * A frame record holds a palette chunk (type bit 0; first byte x 4 = its
 * length), one audio chunk per type bit 1..7 (u32 length first, counting
 * itself) and the video data up to its end.
 */
#ifndef PLAYBACK_VIDZO_H
#define PLAYBACK_VIDZO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
namespace vidzo {
struct TreesArea;
}
typedef vidzo::TreesArea VidzoTreesArea; /* playback/trees.h */
extern "C" {
#else
typedef struct VidzoTreesArea VidzoTreesArea; /* opaque to C callers */
#endif

/* Open flags. */
#define OPEN_RATE_OVERRIDE 0x80u   /* FrameRate replaced by VidzoSetFrameRate's value */
#define OPEN_FILL_READAHEAD 0x100u /* fill the read-ahead ring before returning */
#define OPEN_PRELOAD 0x200u        /* read all frame data and close the file */
#define OPEN_NO_SKIP 0x400u        /* never skip frames when late */
#define OPEN_SIMULATE_RATE 0x800u  /* throttle reads to VidzoSetSimulatedRate's rate */
#define OPEN_FILE_HANDLE 0x1000u   /* source is a file descriptor, never closed here */
#define OPEN_TRACK0 0x2000u        /* OPEN_TRACK0 << t opens sound track t (0..6) */
#define OPEN_TRACK1 0x4000u
#define OPEN_TRACK2 0x8000u
#define OPEN_TRACK3 0x10000u
#define OPEN_TRACK4 0x20000u
#define OPEN_TRACK5 0x40000u
#define OPEN_TRACK6 0x80000u
#define OPEN_TRACKS_MASK 0xFE000u
#define OPEN_Y_INTERLACE 0x100000u    /* force interlaced height */
#define OPEN_Y_DOUBLE 0x200000u       /* force doubled height */
#define OPEN_Y_NONE 0x300000u         /* force neither */
#define OPEN_CALLER_RECORD 0x2000000u /* source is the caller's VidzoHandle, never freed */

/* HeaderFlags bits. */
#define VDZ_RING_FRAME 1u
#define VDZ_INTERLACED 2u
#define VDZ_DOUBLED 4u

/* AudioFormat bits. */
#define VDZ_AUDIO_COMPRESSED 0x80000000u
#define VDZ_AUDIO_PRESENT 0x40000000u
#define VDZ_AUDIO_16BIT 0x20000000u
#define VDZ_AUDIO_STEREO 0x10000000u
#define VDZ_AUDIO_RATE_MASK 0x00FFFFFFu

#define VDZ_HEADER_SIZE 104u
/* The largest picture the toolkit opens (as shown, doubled height included):
 * at most VDZ_MAX_SIDE pixels on a side and VDZ_MAX_PIXELS in all. */
#define VDZ_MAX_SIDE 16384u
#define VDZ_MAX_PIXELS 33554432u
/* ReadError bits. */
#define VDZ_READ_SHORT 1u /* a read during playback came up short: decoding stops */
#define VDZ_READ_CUT 2u   /* the frame data ends early: only the whole frames play */
#define VDZ_TRACKS 7

struct VidzoOutputDesc; /* where decoded pixels go */
struct VidzoTrack;      /* one open sound track */

typedef struct VidzoHandle {
  /* The header as read from the file. Height is doubled when interlaced or
   * doubled output is in force; FrameRate holds the override when one was
   * asked for. */
  char Magic[4]; /* "VDZ2" */
  uint32_t Width;
  uint32_t Height;
  uint32_t FrameCount; /* frames per pass, the ring frame not counted */
  int32_t FrameRate;   /* >0 ms per frame, <0 minus the period in 10 us, 0 untimed */
  uint32_t HeaderFlags;
  uint32_t AudioMaxSize[VDZ_TRACKS];
  uint32_t TreesSize;
  uint32_t MonoMapTreeSize;
  uint32_t MonoColourTreeSize;
  uint32_t FullTreeSize;
  uint32_t TypeTreeSize;
  uint32_t AudioFormat[VDZ_TRACKS];
  uint32_t Reserved;

  uint32_t PaletteChanged;  /* the current frame brought a palette not yet reported */
  uint8_t Palette[256 * 3]; /* red, green, blue, 8 bits each */
  uint8_t PaletteSpare[4];  /* cleared with the palette */
  uint32_t CurrentFrame;    /* record now loaded; FrameCount while the ring frame is */
  uint32_t CurrentFrameSize;
  uint32_t VideoOffset; /* of the video data inside the current record */
  uint32_t LastRectLeft, LastRectTop, LastRectWidth, LastRectHeight;
  uint32_t OpenFlags; /* track bits only for tracks that opened; height bits as in force */
  uint32_t DestX, DestY;
  uint32_t LargestFrame;
  uint32_t PeakSecondBytes; /* largest sum over one second of consecutive frames */
  uint32_t PeakSecondFrame; /* 1-based first frame of that second */
  uint32_t ReadError;       /* VDZ_READ_ bits; never cleared */
  intptr_t FileHandle;      /* file descriptor, -1 when none (preloaded) */
  uint32_t FrameBufferSize; /* FrameBuffer's size less its 8 spare bytes */
  VidzoTreesArea* Trees;    /* the unpacked prefix-code trees */
  struct VidzoOutputDesc* OutputDesc;
  uint32_t OutputDescSize;
  uint32_t PaletteDirty; /* the 16-bit colour table must be rebuilt */
  uint16_t* Colour16Table;
  uint32_t FirstFrameOffset; /* file position of frame record 0 */
  uint8_t* FrameBuffer;      /* the current record, or all frame data when preloaded */
  uint8_t* FrameData;        /* the current record inside FrameBuffer */
  int32_t LastPaletteFrame;
  uint32_t* FrameSizes; /* N entries; one allocation with FrameTypes */
  uint8_t* FrameTypes;  /* N entries */
  uint8_t* CurrentChunk;
  uint8_t* AudioChunk[VDZ_TRACKS]; /* the current frame's chunk per track, or null */
  uint8_t* VideoData;

  /* Frame-step state. */
  uint32_t RectState;
  uint32_t RunLeft, RunTop, RunWidth, RunHeight;
  uint32_t FrameDue;
  uint32_t NextDueTime;

  uint32_t FramePeriod; /* 10 us units, 0 = untimed */
  struct VidzoTrack* Tracks[VDZ_TRACKS];
  int32_t TimingTrack; /* lowest track that opened, -1 if none */
  uint32_t AwaitingSound;
  uint32_t SoundSyncOff;

  /* Read-ahead ring: the allocation is RingSize + 4096 bytes. */
  uint8_t* RingBase;
  uint8_t* RingEnd;   /* where the reader wraps */
  uint8_t* RingRead;  /* next byte to hand out */
  uint8_t* RingWrite; /* next byte to fill */
  uint32_t RingBytes; /* bytes held */
  uint32_t RingSize;
  uint32_t NextReadOffset; /* file position of the next byte handed out */
  uint32_t ReadAheadAtEnd; /* the last read-ahead found nothing more to read */

  /* Read statistics. */
  uint32_t BytesRead;
  uint32_t ReadMs;
  uint32_t BytesReadAhead;
  uint32_t ReadAheadMs;
  uint32_t RingPeak;

  uint32_t MemoryInUse;
  uint32_t FrameStartMs, DecodeStartMs, BlitStartMs, FirstFrameMs;
  uint32_t OpenMs;
  uint32_t OpenReadMs;
  uint32_t FramesPlayed, FramesSkipped, BlitMs, DecodeMs;
  uint32_t SlowestMs, SecondSlowestMs, SlowestFrame, SecondSlowestFrame;
  uint32_t AverageFrame;
  uint32_t MemoryPeak;
  uint32_t SimulatedRate; /* bytes per second, 0 = off */
  uint32_t RectListWords;
  uint32_t RectList[4][4]; /* left, top, right, bottom */
  /* FrameCount as the header gives it, and the records in the frame tables
   * (that count plus the ring frame). When the file's frame data ends early,
   * open lowers FrameCount to the frames held whole (clearing the ring-frame
   * bit, as the ring frame is then not whole) and sets VDZ_READ_CUT in
   * ReadError. */
  uint32_t HeaderFrameCount;
  uint32_t TableRecords;
} VidzoHandle;

/* Opens a .vdz file. source is a file name; with OPEN_FILE_HANDLE it is a
 * file descriptor positioned at the first byte of the video, passed as the
 * address-sized value (void*)(intptr_t)fd (VidzoOpenFd takes it typed); with
 * OPEN_CALLER_RECORD it is the caller's VidzoHandle, whose first 32-bit word
 * holds the descriptor (OPEN_FILE_HANDLE must be given too). A given
 * descriptor is read from its current position and never closed, also on
 * failure; a caller's record is cleared but never freed. extra_buffer is the
 * read-ahead ring size in bytes, 0xFFFFFFFF for the automatic size. Returns
 * the handle, or null. */
VidzoHandle* VidzoOpen(const void* source, uint32_t flags, uint32_t extra_buffer);
/* VidzoOpen with OPEN_FILE_HANDLE and the descriptor as an int (descriptor 0
 * included); OPEN_CALLER_RECORD is ignored here. */
VidzoHandle* VidzoOpenFd(int fd, uint32_t flags, uint32_t extra_buffer);
/* Why the last VidzoOpen of the process failed: VIDZO_OPEN_OK after a
 * success, else one of the codes below; VidzoOpenMessage gives the text (the
 * one written to the diagnostic log). */
#define VIDZO_OPEN_OK 0u
#define VIDZO_OPEN_FAILED 1u    /* cannot be opened, not a Vidzoer file, damaged, no memory */
#define VIDZO_OPEN_TOO_LARGE 2u /* the picture exceeds VDZ_MAX_SIDE or VDZ_MAX_PIXELS */
uint32_t VidzoOpenFailure(void);
const char* VidzoOpenMessage(void);
/* Releases everything the handle holds; null is ignored. */
void VidzoClose(VidzoHandle* h);

/* Process-wide rate override for OPEN_RATE_OVERRIDE: frames per second when
 * 1 or more, else stored as given (0 = as fast as possible, negative = a
 * period in 10 us units). */
void VidzoSetFrameRate(int32_t frames_per_second);
/* Process-wide read rate (bytes per second) for OPEN_SIMULATE_RATE. */
void VidzoSetSimulatedRate(uint32_t bytes_per_second);

/* Hands out n bytes of the file in order; returns the bytes delivered. */
uint32_t VidzoRead(VidzoHandle* h, void* dest, uint32_t n);
/* Reads one 4096-byte block into the ring when there is room; returns the
 * bytes added (0 when nothing was read). */
uint32_t VidzoReadAhead(VidzoHandle* h);
/* Reads record CurrentFrame into FrameBuffer (nothing when preloaded). */
void VidzoLoadFrame(VidzoHandle* h);
/* Positions on record CurrentFrame from scratch and loads it. */
void VidzoSeekFrame(VidzoHandle* h);
/* Wraps past the last frame, splits the current record into its chunks and
 * applies its palette. */
void VidzoPrepareFrame(VidzoHandle* h);
/* Makes the next frame current: moves FrameData past the record just shown
 * (preloaded data), advances CurrentFrame, loads the record while it is below
 * FrameCount and prepares it (wraps included). The frame step of the
 * playback loop, without its timing and sound service. */
void VidzoStepFrame(VidzoHandle* h);
/* Applies a palette chunk of chunk_size bytes (its length byte included) to
 * h->Palette. Never reads past the chunk nor defines more than 256 entries;
 * entries the chunk leaves undefined keep their colour. */
void DecodePalette(const uint8_t* chunk, uint32_t chunk_size, VidzoHandle* h);

/* The playback summary that VidzoReadStatistics fills: nineteen values in
 * this order. Times in milliseconds unless marked. */
typedef struct VidzoSummary {
  uint32_t TotalMs;     /* now - FirstFrameMs */
  uint32_t FramePeriod; /* 10 us units, 0 = untimed */
  uint32_t OpenMs;      /* time spent in VidzoOpen */
  uint32_t FramesPlayed;
  uint32_t FramesSkipped;
  uint32_t SoundSkips; /* of the timing track, 0 without one */
  uint32_t BlitMs;
  uint32_t ReadMs; /* reads after the open */
  uint32_t DecodeMs;
  uint32_t ReadAheadMs; /* background reading */
  uint32_t DeviceSpeed; /* bytes per second, 0 when nothing was timed */
  uint32_t SlowestMs;
  uint32_t SecondSlowestMs;
  uint32_t SlowestFrame;       /* 1-based */
  uint32_t SecondSlowestFrame; /* 1-based */
  uint32_t AverageFrame;       /* bytes */
  uint32_t MemoryPeak;         /* bytes used for playback */
  uint32_t RingSize;           /* extra buffering memory, bytes */
  uint32_t RingPeak;           /* highest extra buffering memory used */
} VidzoSummary;

/* Rectangle modes of VidzoNextDirtyRect. */
#define VIDZO_RECTS_BUDGET 0u    /* several rectangles under an area budget */
#define VIDZO_RECTS_BOUNDING 1u  /* one bounding rectangle per frame */
#define VIDZO_RECTS_NONE 2u      /* no rectangles */
#define VIDZO_RECTS_EMPTY_END 3u /* as 0, then one empty rectangle */

/* The playback loop: VidzoDecodeFrame, then VidzoNextDirtyRect until it
 * gives 0 (showing each rectangle), then VidzoAdvanceFrame, then
 * VidzoFrameNotDue until it gives 0. */

/* Decodes the current frame into the output buffer and hands its sound to
 * the sound output; the picture is skipped when the frame is more than half
 * a second behind its sound (unless OPEN_NO_SKIP). 1 when the frame was
 * behind, else 0. */
uint32_t VidzoDecodeFrame(VidzoHandle* h);
/* 1 and the next changed rectangle in LastRectLeft..LastRectHeight (output
 * buffer pixels), or 0 when none is left. */
uint32_t VidzoNextDirtyRect(VidzoHandle* h, uint32_t rect_mode);
/* Makes the next frame current (loads and prepares it; wraps after the last
 * frame). */
void VidzoAdvanceFrame(VidzoHandle* h);
/* 1 while it is too early for the next frame (the call is spent on
 * background reading), 0 when it is due. With a timing track the played
 * sound is the clock; once a frame without sound for that track has let all
 * queued sound play, the frame period paces the frames until sound comes
 * again. Without one the frame clock is the millisecond timer; a lag of more
 * than a period is dropped. */
uint32_t VidzoFrameNotDue(VidzoHandle* h);
/* How many milliseconds a player waiting for the next frame may sleep before
 * it asks VidzoFrameNotDue again: the time left until the frame is due by its
 * clock, or 0 when it is due, has no clock to wait for, or the read-ahead
 * ring has room that background reading could fill meanwhile. The sound
 * devices wake a sleeper earlier when they take sound (platform
 * WaitForSound). */
uint32_t VidzoFrameWaitMs(VidzoHandle* h);
/* Milliseconds of sound handed to the sound output that have not yet been
 * played, the most of any of the handle's tracks (0 without sound). */
uint32_t VidzoSoundLeftMs(VidzoHandle* h);
/* Closes the running time measurements and fills *summary. */
void VidzoReadStatistics(VidzoHandle* h, VidzoSummary* summary);

/* Tracked allocation for the buffers of a handle: 16-byte aligned, adds the
 * size to MemoryInUse and raises MemoryPeak. VidzoFreeMemory does not
 * subtract; the callers that must, do. */
void* VidzoAllocMemory(VidzoHandle* h, uint32_t size);
void VidzoFreeMemory(void* block);

/* Opens sound track t of the handle: allocates Tracks[t] and its sound
 * buffer and starts a device stream. False (with nothing left allocated or
 * counted) when the track is absent, has no sample rate, or no sound output
 * can play it. */
int VidzoOpenTrack(VidzoHandle* h, uint32_t track);

/* Links to the sound output, process-wide; null entries do nothing. The
 * sound output (sound/sound.h) fills them in VidzoSoundInstall, which players
 * call at start-up and which VidzoSelectDirectSound and VidzoSetSoundWindow
 * call on first use; without it no track opens. */
typedef struct VidzoSoundLink {
  /* Gives the sound output a chance to refill its device during long reads;
   * called only while some track is open in the process. */
  void (*refill)(void);
  /* The return to frame 0: restarts the handle's sound when its tracks are
   * the only ones open and some sound has been queued. */
  void (*restart)(VidzoHandle* h);
  /* Closes every track of the handle in the output, frees the sound buffers
   * and records and lowers the count of open tracks. */
  void (*close_tracks)(VidzoHandle* h);
  /* Opens track t in the output: allocates Tracks[t] and its circular buffer
   * and starts a device stream. 0 (nothing left allocated, the sizes taken
   * off MemoryInUse) when the output refuses it. */
  int (*open_track)(VidzoHandle* h, uint32_t track);
  /* The frame sound hand-off: writes the current frame's audio chunks into
   * the tracks' circular buffers. */
  void (*frame_sound)(VidzoHandle* h);
  /* Bytes of the track played so far: the sound clock. */
  uint32_t (*played_bytes)(struct VidzoTrack* track);
} VidzoSoundLink;

/* The process-wide settings shared by the playback parts. */
typedef struct VidzoProcessState {
  int32_t RateOverride;   /* VidzoSetFrameRate */
  uint32_t SimulatedRate; /* VidzoSetSimulatedRate */
  uint32_t OpenTracks;    /* sound tracks open in the process */
  void* AudioTreeScratch; /* 8192 bytes (malloc family) while a track is open;
                           freed by VidzoClose once none is */
  VidzoSoundLink Sound;
} VidzoProcessState;

VidzoProcessState* VidzoProcess(void);

#ifdef __cplusplus
}
#endif

#endif /* PLAYBACK_VIDZO_H */
