/*
 * qelutil: the utility library of the Vidzoer command-line tools.
 *
 * A C interface with one prefix per family: buffered file and bit I/O
 * (QELFile...), the prefix-code encoder (Huff...), and the small command-line,
 * string, path and memory utilities. Failures are return values: null, 0 or -1
 * as each function says; nothing throws.
 */
#ifndef QELUTIL_QELUTIL_H
#define QELUTIL_QELUTIL_H

#include <stddef.h>
#include <stdint.h>

#if defined(QELUTIL_BUILDING_SHARED)
#define QELUTIL_API __attribute__((visibility("default")))
#else
#define QELUTIL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Memory and files                                                          */
/* ------------------------------------------------------------------------ */

/* 16-byte aligned block, or null. Sizes 0 and 0xFFFFFFFF give null silently;
 * when the heap refuses, "Error: ran out of memory!" is shown (caption
 * "Memory Error") and null returned. */
QELUTIL_API void* qelmalloc(uint32_t size);
/* Frees a block of qelmalloc; null is ignored. */
QELUTIL_API void qelfree(void* block);
/* The file's size, or 0 when it cannot be opened. */
QELUTIL_API uint32_t qelfilesize(const char* name);
/* 1 when the file does not exist; otherwise asks "File <name> exists,
 * overwrite?" (StatusAsk) with No as the default and returns the answer. */
QELUTIL_API int32_t overwrite(const char* name);
/* 0, after the error message "Output filename must be different than the
 * input filename.", when both names reach the same file: the same full path as
 * the file system resolves it (a name in another case finds the existing
 * file), or one file on disk through links; else 1. The arguments are not
 * changed. */
QELUTIL_API int32_t CheckForDup(const char* input, const char* output);

/* ------------------------------------------------------------------------ */
/* Strings and switches                                                      */
/* ------------------------------------------------------------------------ */

/* A blank is a byte from 1 to 32; every other byte (bytes from 128 up too)
 * belongs to words and names. All texts are NUL-terminated and changed in
 * place; no function writes past the end of the text it was given unless a
 * larger destination is asked for below. */

/* Remove leading and trailing blanks (Trim, TrimAscii) or leading blanks
 * (TrimL); the text is returned. */
QELUTIL_API char* Trim(char* text);
QELUTIL_API char* TrimAscii(char* text);
QELUTIL_API char* TrimL(char* text);
/* Moves the first word of line into dest (capacity: strlen(line) + 1). A word
 * is a run of non-blanks; the blanks after it and one comma after those
 * blanks leave the line too, and such a comma stays attached to the word
 * ("a ,"). The line keeps the rest without leading blanks. */
QELUTIL_API void GetAndRemoveFirst(char* dest, char* line);
/* The same, but a line starting with a double-quoted text gives that text
 * without the quotes (blanks kept); the line then continues after the closing
 * quote, trimmed, and one comma there is a separator and is dropped. A line
 * starting with an unmatched quote is split like an unquoted one. */
QELUTIL_API void GetAndRemoveFirstQuoted(char* dest, char* line);
/* Trims; a text of 2 or more characters in double quotes loses the quotes. */
QELUTIL_API char* RemoveQuotes(char* text);
/* The first occurrence of c (never the terminating NUL), or null. */
QELUTIL_API char* findchar(const char* text, char c);
/* Decimal text of value as a signed 32-bit number (dest: 12 bytes); returns
 * the NUL's address. */
QELUTIL_API char* u32toa(char* dest, uint32_t value);
/* Leading blanks, an optional "+" or "-", decimal digits up to the first
 * non-digit; the number wraps modulo 2^32. */
QELUTIL_API uint32_t atou32(const char* text);

/* Switches: "/" and a letter anywhere in the line, outside double quotes
 * (quoted text holds names, which may contain "/"). Letters compare ignoring
 * case. Each function removes the switch it finds from the line. */
/* 1 when "/" and the letter are followed by a byte below "0" (the end, a
 * blank, "/", "-", ...); those two characters are removed. */
QELUTIL_API int32_t GetSwitch(char* line, char letter);
/* The number of the first "/" and letter directly followed by a digit or by
 * "-" and a digit (as atou32); the switch and its number are removed. dflt
 * when there is none. */
QELUTIL_API int32_t GetSwitchNum(char* line, char letter, int32_t dflt);
/* 1 when "/" and the letter are directly followed by a non-blank: a
 * double-quoted text (copied without the quotes; an unmatched quote runs to
 * the end of the line) or the characters up to the next blank or "/". The
 * switch and its text are removed. When absent, dflt (null: empty) is copied
 * to dest and 0 returned. dest must hold strlen(line) + 1 and strlen(dflt) + 1
 * bytes. */
QELUTIL_API int32_t GetSwitchStr(char* line, char letter, char* dest, const char* dflt);

/* ------------------------------------------------------------------------ */
/* Paths and times                                                           */
/* ------------------------------------------------------------------------ */

/* Paths use "/" as the separator ("\" is read as "/" too). There are no drive
 * letters: the drive part of a path is empty. Full paths are at most 255
 * characters; functions that store one need a 256-byte path buffer. */

/* Trims; appends "/" unless the path is empty or ends in "/" or "\" (the
 * buffer must hold one more byte). */
QELUTIL_API char* AddBackslash(char* path);
/* The last "." when no "/" or "\" follows it, else null. */
QELUTIL_API char* HasExtension(const char* name);
/* Replaces path (capacity at least 256) by its full path ("." and ".."
 * resolved by their text); returns length + 1. A path that is empty or whose
 * full path is longer than 255 characters leaves an empty result. */
QELUTIL_API uint32_t ExpandFileName(char* path);
/* 1 when path (capacity 256) names a folder that can be entered. The path is
 * trimmed and replaced by its full path without a trailing "/" (an empty path
 * is the current folder). With change set, that folder becomes the current
 * one. */
QELUTIL_API int32_t IsDirectory(char* path, int32_t change);
/* Replaces path (capacity 256) by the pieces asked for of its full path: the
 * drive (always empty), the folder (with leading and trailing "/"), the name
 * and the extension (with its "."); name and extension are empty when the
 * path is a folder. */
QELUTIL_API char* GetFilePieces(char* path, int32_t drive, int32_t dir, int32_t name, int32_t ext);
/* Expands path (capacity 256) in place; the drive letter, which is always
 * NUL here. */
QELUTIL_API char GetDrive(char* path);
/* dest = dir (which should end in "/") and a 12-character name: "A" plus each
 * hexadecimal digit of number, lowest first, the prefix (at most 12 bytes
 * used) over its start, "." at position 8. dest: strlen(dir) + 13 bytes. */
QELUTIL_API char* GetTempName(char* dest, const char* dir, const char* prefix, uint32_t number);
/* "1 millisecond", "2 minutes 5 seconds", "1 hour 2 minutes", ... (dest: 32
 * bytes); returns dest. */
QELUTIL_API char* GetElapsedTime(char* dest, uint32_t milliseconds);
/* The frame time in 1/100000 s: 0 stays 0; below -1500 it is -rate; -1500 to
 * -1 are milliseconds per frame; positive rates are frames per second.
 * At least 5. */
QELUTIL_API int32_t MakeFrameRate(int32_t rate);

/* ------------------------------------------------------------------------ */
/* Status reporting and the status window (messages also go to standard     */
/* error; questions are answered where the face can ask them)               */
/* ------------------------------------------------------------------------ */

/* Stores the instance, the owner window (or null) and the quiet flag. */
QELUTIL_API void StatusInit(void* instance, void* owner, int32_t quiet);
/* Shows text as the status text and handles what waits (StatusCheck's
 * result); 0 while no status window is open (the text is kept). */
QELUTIL_API int32_t StatusSet(const char* text);
/* A message captioned with the status title (the program's name while there
 * is none); error selects the error icon. */
QELUTIL_API void StatusMessage(const char* text, int32_t error);
QELUTIL_API void StatusMessageTitle(const char* text, const char* caption, int32_t error);
/* A Yes/No question (No the default when default_no is set); the question
 * and " Yes." or " No." become the status text. 1 for Yes. */
QELUTIL_API int32_t StatusAsk(const char* question, int32_t default_no);

/* The status window. Its face is chosen when it opens: a window when a
 * display is available and standard error is not a terminal, a progress line
 * rewritten in place on a terminal (Ctrl-C asks "Do you want to cancel?", a
 * second Ctrl-C cancels at once), or plain lines on standard error (the quiet
 * flag, or neither). The owner given to StatusInit is the front end: the
 * number N of its "/#N" as a pointer-sized value (null for none). */
typedef void (*StatusCancelFn)(void);
/* Opens the status window (shown by the first StatusSet); the status text
 * becomes "Loading...". 1 on success. */
QELUTIL_API int32_t StatusOpen(const char* title, const char* subtitle, StatusCancelFn on_cancel);
/* Handles what waits (Ctrl-C, the window's events); nonzero when something
 * was waiting. */
QELUTIL_API int32_t StatusCheck(void);
/* What Cancel does: asks "Do you want to cancel?" unless cancelled already,
 * and on Yes sets the cancelled flag and calls the cancel callback. Returns
 * the cancelled flag. */
QELUTIL_API int32_t StatusDoCancel(void);
/* The status window while it is visible, else the owner: the parent of
 * message boxes. */
QELUTIL_API void* StatusGetHWND(void);
/* Sends the owner the report "title - subtitle\r\n  status text", then closes
 * the window (with wait set, a visible window waits for Done). */
QELUTIL_API void StatusClose(int32_t wait);
/* Sends the copy-data record (identifier, count bytes of data) to the front
 * end `target`; 1 when it was delivered, else 0. */
QELUTIL_API int32_t CopyData(void* target, void* sender, uint32_t identifier, uint32_t count, const void* data);

/* ------------------------------------------------------------------------ */
/* Buffered file and bit I/O                                                 */
/* ------------------------------------------------------------------------ */

#define QELFILE_READ 250
#define QELFILE_UPDATE 251

typedef struct QELFile {
  int32_t handle;      /* file descriptor; -1 once closed */
  int32_t write_error; /* set by a short write, never cleared */
  char name[128];      /* the name as passed to open or create */
  uint8_t* buffer;     /* I/O buffer, allocated on first use */
  uint32_t buffer_size;
  uint32_t buffer_fill;  /* reading: bytes of the last refill; writing: capacity */
  uint32_t buffer_index; /* reading: next byte; writing: bytes waiting */
  uint32_t os_offset;    /* where the system's file pointer stands */
  uint32_t size;         /* cached size, 0xFFFFFFFF until asked */
  uint32_t bit_count;    /* bits of the current byte consumed or filled, 0..7 */
  uint32_t bit_byte;     /* the current (reading) or partial (writing) byte */
  int32_t writing;       /* 1 when the buffer holds data to be written */
} QELFile;

QELUTIL_API QELFile* QELFileOpen(int32_t buffer_size, const char* name, int32_t mode);
QELUTIL_API QELFile* QELFileCreate(int32_t buffer_size, const char* name);
QELUTIL_API void QELFileClose(QELFile* f);
QELUTIL_API uint32_t QELFileBitPos(QELFile* f);
QELUTIL_API uint32_t QELFileSize(QELFile* f);
QELUTIL_API uint32_t QELFileGetPos(QELFile* f);
QELUTIL_API uint32_t QELFileSetPos(QELFile* f, uint32_t pos);
QELUTIL_API int32_t QELFileIsInBuffer(QELFile* f, uint32_t offset);
QELUTIL_API int32_t QELFileAtEnd(QELFile* f);
QELUTIL_API void QELFileByteAlign(QELFile* f);
QELUTIL_API uint32_t QELFileFlush(QELFile* f);
QELUTIL_API uint32_t QELFileGetNB(QELFile* f, void* dest, uint32_t count);
QELUTIL_API uint32_t QELFileGet(QELFile* f, void* dest, uint32_t count);
QELUTIL_API uint32_t QELFileGet8(QELFile* f);
QELUTIL_API uint32_t QELFileGet16(QELFile* f);
QELUTIL_API uint32_t QELFileGet32(QELFile* f);
QELUTIL_API uint32_t QELFileGetBits(QELFile* f, uint32_t bits);
QELUTIL_API uint32_t QELFilePutNB(QELFile* f, const void* src, uint32_t count);
QELUTIL_API uint32_t QELFilePut(QELFile* f, const void* src, uint32_t count);
QELUTIL_API uint32_t QELFilePut8(QELFile* f, uint32_t value);
QELUTIL_API uint32_t QELFilePut16(QELFile* f, uint32_t value);
QELUTIL_API uint32_t QELFilePut32(QELFile* f, uint32_t value);
QELUTIL_API uint32_t QELFilePutBits(QELFile* f, uint32_t value, uint32_t bits);
QELUTIL_API const char* QELFileGetName(QELFile* f, char* dest);
QELUTIL_API char* QELFileGetLine(QELFile* f, char* dest, uint32_t capacity);
QELUTIL_API uint32_t QELFileGetTime(QELFile* f);
QELUTIL_API int32_t QELFileSetTime(QELFile* f, uint32_t time);
QELUTIL_API int32_t QELFileErase(const char* name);

/* ------------------------------------------------------------------------ */
/* Prefix-code (Huffman) encoder                                             */
/* ------------------------------------------------------------------------ */

typedef struct Huff {
  uint32_t bytes_encoded; /* input bytes coded since the tree was built */
  uint32_t bits_written;  /* code bits written since the tree was built */
  QELFile* output;
  struct Huff* low_tree;  /* 16-bit encoders: encoder of the leaves' low bytes */
  struct Huff* high_tree; /* 16-bit encoders: encoder of the leaves' high bytes */
  uint32_t recent[3];     /* the three most recent values */
  uint32_t escape[3];     /* escape counters, then the escape symbols */
  uint32_t* codes;        /* counts, then codes stored bit-reversed */
  uint8_t* lengths;       /* code lengths; 255 marks an escape left out */
  uint8_t has_stats;
  uint8_t too_deep;
} Huff;

/* kind: low byte nonzero = 8-bit encoder (256 symbols), zero = 16-bit. */
QELUTIL_API Huff* HuffOpen(uint32_t kind);
QELUTIL_API void HuffSetOutput(Huff* h, QELFile* output);
QELUTIL_API void HuffClose(Huff* h);
QELUTIL_API void HuffInitStats(Huff* h);
QELUTIL_API void HuffInitLasts(Huff* h);
QELUTIL_API void HuffAddStat(Huff* h, uint32_t value);
/* Builds and writes the tree; -1 when a code would exceed 30 bits, else the
 * bytes the decoder needs for the unpacked tree. */
QELUTIL_API int32_t HuffStartEncode(Huff* h);
QELUTIL_API uint32_t HuffEncode(Huff* h, uint32_t value);

/* ------------------------------------------------------------------------ */
/* Flic animations (8-bit FLI and FLC)                                       */
/* ------------------------------------------------------------------------ */

/* Frame times are in the toolkit's convention: a positive value is
 * milliseconds per frame, a negative one its magnitude in 1/100000 s. */

/* A flic being read. Frames decode into a caller's buffer of buffer_width x
 * buffer_height bytes (the flic's size rounded up to multiples of 4), with
 * buffer_width as the row pitch; the columns and rows beyond the flic's size
 * are kept at colour 0. */
typedef struct QELFlic {
  uint32_t file_size;    /* from the header */
  int32_t buffer_width;  /* width rounded up to a multiple of 4 */
  int32_t buffer_height; /* height rounded up to a multiple of 4 */
  int32_t frames;        /* frame count (without the ring frame) */
  int32_t frame_time;    /* negative, in 1/100000 s */
  int32_t width;
  int32_t height;
  QELFile* file;           /* 64000-byte buffer */
  uint32_t frames_decoded; /* since the start */
  uint32_t frame_size;     /* bytes of the last frame's data, header included */
  uint32_t first_frame;    /* file offset of the first frame */
  uint8_t palette[768];    /* current palette, 256 x R, G, B, 8 bits each */
} QELFlic;

/* Opens a FLI or FLC file; a name without extension is tried with ".flc",
 * then with ".fli". Null when no such file opens or its header is not that
 * of an 8-bit FLI or FLC file with a size and at least one frame. FLI speeds
 * (1/70 s) and FLC speeds (milliseconds; 0 or above 30000 means 200) become
 * frame_time. */
QELUTIL_API QELFlic* QELFlicOpen(const char* name);
/* Decodes the next frame into buffer; after the last frame the first comes
 * again. 2 when the palette changed in this frame, 1 otherwise, 0 without a
 * reader or buffer. A frame whose data is cut short is skipped. */
QELUTIL_API int32_t QELFlicGetNext(QELFlic* flic, uint8_t* buffer);
/* Decodes until frame_number frames (at most the frame count) have been
 * decoded since the start, starting again from the first frame when the
 * reader is already past it; 0 gives a rewound reader. 2 when any palette
 * changed on the way, 1 otherwise, 0 on failure. */
QELUTIL_API int32_t QELFlicGoto(QELFlic* flic, uint32_t frame_number, uint8_t* buffer);
/* The current palette (256 x R, G, B), or null. */
QELUTIL_API const uint8_t* QELFlicGetPalette(QELFlic* flic);
/* The file name, as QELFileGetName. */
QELUTIL_API const char* QELFlicGetName(QELFlic* flic, char* dest);
QELUTIL_API void QELFlicClose(QELFlic* flic);

/* A flic being written (FLC). */
typedef struct QELOFlic {
  QELFile* file;
  int32_t width;
  int32_t height;
  int32_t failed;             /* set once a write has failed */
  uint32_t frames_written;    /* the ring frame included once it is written */
  uint8_t* previous;          /* the previous frame, width x height */
  uint8_t* first;             /* the first frame, width x height */
  uint8_t* work;              /* the chunk being built */
  uint32_t after_first;       /* file offset just after the first frame */
  uint8_t palette[768];       /* current palette, 256 x R, G, B */
  uint8_t first_palette[768]; /* the palette of the first frame */
} QELOFlic;

/* Creates name (".flc" appended when it has no extension) and writes its
 * header. Null when width is odd or not positive, height is not positive,
 * either is above 65535, memory runs out or the file cannot be created. */
QELUTIL_API QELOFlic* QELOFlicCreate(const char* name, int32_t width, int32_t height, int32_t frame_time);
/* Writes one frame of width x height bytes (rows of width bytes) and, when
 * palette (256 x R, G, B) is given and differs from the current one, its
 * changed entries. 1 on success, 0 once a write has failed. */
QELUTIL_API int32_t QELOFlicPutNext(QELOFlic* flic, const uint8_t* frame, const uint8_t* palette);
/* Writes the ring frame (from the last frame back to the first, palette
 * included), completes the header and closes; the file's size. */
QELUTIL_API uint32_t QELOFlicClose(QELOFlic* flic);

/* ------------------------------------------------------------------------ */
/* Graphics output                                                           */
/* ------------------------------------------------------------------------ */

/* The caller's message function: a text and a kind (0 progress, 1 the first
 * progress message of a phase, 2 error, 3 with a null text: the user
 * declined to overwrite); for progress messages a nonzero result asks to
 * cancel. */
typedef uint8_t (*QELMessageFunc)(const char* text, int32_t kind);

/* Output kinds, chosen by the name's extension (compared ignoring case). */
#define OGFILE_FLIC 0  /* ".flc" or none, 8-bit input only */
#define OGFILE_BMP 1   /* 8 or 24 bits */
#define OGFILE_JPEG 2  /* 8 or 24 bits, quality 100 */
#define OGFILE_TGA 3   /* always 24 bits */
#define OGFILE_TIFF 4  /* 8 or 24 bits, LZW */
#define OGFILE_PCX 5   /* 8 bits only */
#define OGFILE_GIF 6   /* 8 bits only */
#define OGFILE_PNG 7   /* 8 or 24 bits */
#define OGFILE_AVI 128 /* 8 or 24 bits */

/* OGFileCreate flags. */
#define OGFILE_QUIET_UNSUPPORTED 1 /* do not report an unsupported type */
#define OGFILE_NO_OVERWRITE_ASK 2  /* do not ask before overwriting */
#define OGFILE_AVI_RLE8 4          /* 8-bit AVI frames RLE8-coded, not uncompressed */

/* Frames written as a flic, an AVI file, or one still image per frame. */
typedef struct OGFile {
  char pattern[128];    /* still images: base name, number format, extension */
  char first_name[128]; /* the name of the first file written */
  char summary[264];    /* the first and the latest file name ("%s to %s") */
  int32_t true_colour;  /* input frames are 32-bit blue, green, red, unused */
  int32_t width;
  int32_t height;
  int32_t pitch;        /* bytes per input row */
  int32_t next_number;  /* of the next still image */
  int32_t kind;         /* OGFILE_... */
  int32_t bits;         /* bits per output pixel: 8 or 24 */
  uint32_t total_bytes; /* bytes written */
  int32_t error;        /* set when a frame could not be written */
  QELOFlic* flic;
  void* image;    /* the image library's image (still images) */
  uint8_t* frame; /* a flic frame of the flic's width, or the AVI frame */
  void* avi;      /* the AVI file being written */
  QELMessageFunc message;
} OGFile;

/* Prepares the output named name for frames of width x height pixels (rows of
 * pitch bytes; 8-bit pixels, or 32-bit ones with true_colour set), frames
 * frames of frame_time each. Asks before overwriting unless flag
 * OGFILE_NO_OVERWRITE_ASK; a declined question sends a null text of kind 3.
 * Still images get numbered names: "out.bmp" for 12 frames writes
 * out00.bmp ... out11.bmp, for one frame out.bmp. A flic gets the width
 * rounded up to a multiple of 4. Null after a message of kind 2 when the
 * output cannot be made (owner is the caller's window, unused here). */
QELUTIL_API OGFile* OGFileCreate(void* owner, const char* name, int32_t true_colour, int32_t frames,
                                 int32_t width, int32_t height, int32_t pitch, int32_t frame_time,
                                 QELMessageFunc message, int32_t flags);
/* Writes one frame with its palette (256 x R, G, B; used for 8-bit input).
 * 1 on success; on failure the error flag is set, 0 is returned, and later
 * frames are still attempted. */
QELUTIL_API int32_t OGFilePut(OGFile* og, const uint8_t* pixels, const uint8_t* palette);
/* Finishes and frees; the bytes written (the flic or AVI file's size, or the
 * sum of the still images' sizes). */
QELUTIL_API uint32_t OGFileClose(OGFile* og);

/* ------------------------------------------------------------------------ */
/* Graphics input: one frame source for every kind of input                  */
/* ------------------------------------------------------------------------ */

/* Source kinds (GFile.kind). */
#define GFILE_BMP 3
#define GFILE_GIF 4
#define GFILE_TIFF 5
#define GFILE_JPEG 6
#define GFILE_TGA 7
#define GFILE_PCX 8
#define GFILE_PNG 9 /* probed after JPEG */
#define GFILE_AVI 32
#define GFILE_FLIC 128
#define GFILE_VDZ 129
#define GFILE_RAW 130
#define GFILE_LIST 256 /* list file or numbered sequence */
#define GFILE_WAVE 512 /* blank frames as long as the sound */

/* GFileOpen flags. */
#define GFILE_TRUE_COLOUR 1 /* deliver 32-bit 0x00RRGGBB pixels */
#define GFILE_HALFTONE 2    /* 8-bit output of frames above 8 bits: error diffusion, not nearest colour */

struct GFileState;

/* A frame source: every frame has the same size, 8-bit pixels with a
 * 256-entry palette or 32-bit pixels. Read the fields; change none but
 * palette_computed. */
typedef struct GFile {
  char name[128];       /* the resolved file name */
  int32_t true_colour;  /* frames are 32-bit pixels */
  int32_t kind;         /* GFILE_... */
  int32_t frames;       /* frames that will be delivered (after the range) */
  int32_t width;        /* size of every delivered frame */
  int32_t height;
  int32_t source_width; /* size of the source (the largest entry of a list) */
  int32_t source_height;
  int32_t frame_rate;   /* >0 ms per frame, <0 minus the period in 1/100000 s */
  int32_t rate_units;   /* the frame time is rate_count / rate_units seconds */
  int32_t rate_count;
  int32_t source_bits;   /* 8 or 24 (24 when true-colour frames are accumulated) */
  int32_t frame_bits;    /* bits per pixel of the frame just read */
  int32_t original_bits; /* bits per pixel before any accumulation */
  uint8_t* pixels;       /* the delivered frame */
  int32_t pitch;         /* bytes per row of pixels */
  int32_t frame_number;  /* frames read so far */
  int32_t frame_bytes;   /* stored size of the frame just read */
  int32_t total_bytes;   /* size of the source file(s) */
  uint8_t palette[768];  /* palette of the delivered frame, R, G, B */
  int32_t done;          /* 1 once the last frame of the range was read */
  int32_t crop_x;
  int32_t crop_y;
  int32_t region_width; /* the part of the crop rectangle inside the source */
  int32_t region_height;
  int32_t pad_right; /* the part outside it, delivered as 0 pixels */
  int32_t pad_bottom;
  int32_t palette_computed;     /* set by GFileGet when it computed a palette */
  uint8_t source_palette[768];  /* palette of the source frame just read */
  struct GFileState* state;     /* working state */
} GFile;

/* Opens name: a still image, flic, .vdz, AVI, raw frame file ("RAWB"), wave
 * file (blank frames), list file (".lst") or numbered sequence ("pic??.bmp",
 * "pic??.bmp*8-11"). flags: GFILE_TRUE_COLOUR, GFILE_HALFTONE. x, y,
 * width, height: the crop (0 size = the source's);
 * first_frame and last_frame: 1-based range (0 = from the start / to the
 * end); palette_mode 0 none, 1 computed palettes, 2 computed and new where
 * the source's palette changes; frames_per_palette 0 = all; first_entry and
 * entry_count: the palette range computed; system_colours 0 keep the 20
 * system colours out of the range, 1 also force them into the delivered
 * palette, 2 none; accumulation 0 automatic, 1 always, 2 never;
 * palette_file: a source whose colours define the palette, or null; verb
 * starts progress messages (null: "Processing"). Null after an error
 * message. */
QELUTIL_API GFile* GFileOpen(const char* name, int32_t flags, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t first_frame, int32_t last_frame, int32_t palette_mode,
                             int32_t frames_per_palette, int32_t first_entry, int32_t entry_count,
                             int32_t system_colours, int32_t accumulation, const char* palette_file,
                             const char* verb, QELMessageFunc message);
/* Reads the next frame into pixels and palette: 1, or 0 when cancelled or
 * when the palette source cannot be opened. */
QELUTIL_API int32_t GFileGet(GFile* g);
/* Rewinds to the first frame of the range. */
QELUTIL_API void GFileReset(GFile* g);
QELUTIL_API void GFileClose(GFile* g);
/* Reads frames of g from where it stands, builds a histogram and computes
 * g's entry range of palette (768 bytes: the previous palette on entry, the
 * new one on return), keeping each colour in the slot of its most similar
 * old colour. The frames analysed, 65536 once the source is used up, 0 when
 * cancelled. */
QELUTIL_API uint32_t GFileBestPalette(GFile* g, uint8_t* palette);
/* Reads and removes the switches /X /Y /W /H /S /E /P /U /I /Q /D /T and
 * /& from command_line. The first six pointers are required; the rest may be
 * null. palette_file receives at most 255 characters and a NUL. */
QELUTIL_API void GFileCommandLine(char* command_line, int32_t* x, int32_t* y, int32_t* width,
                                  int32_t* height, int32_t* first_frame, int32_t* last_frame,
                                  uint8_t* palette_mode, int32_t* frames_per_palette, int32_t* first_entry,
                                  int32_t* entry_count, uint8_t* system_colours, uint8_t* halftone,
                                  char* palette_file);
/* Starts the AVI file service (once per process; later calls do nothing). */
QELUTIL_API void QELAVIInit(void);
/* Sound input                                                               */
/* ------------------------------------------------------------------------ */

/* Source kinds (SFile.kind). */
#define SFILE_WAVE 1 /* wave file or headerless PCM file */
#define SFILE_VDZ 2  /* one sound track of a .vdz file */
#define SFILE_AVI 3  /* the sound stream of an AVI file */
#define SFILE_LIST 4 /* list file or numbered sequence of sound files */

typedef struct SFileReader SFileReader; /* the reader state, private */

/* One sound source handing out PCM in the output format: 8-bit samples are
 * unsigned (128 silence), 16-bit ones signed little-endian, stereo frames
 * left first. */
typedef struct SFile {
  char name[128]; /* the resolved file name */
  int32_t at_end; /* 1 when no more sound can be delivered */
  int32_t rate;   /* output samples per second */
  int32_t bits;   /* output bits per sample, 8 or 16 */
  int32_t channels;
  int32_t frame_size; /* output bytes per sample frame */
  int32_t frames_out; /* output sample frames delivered */
  int32_t source_rate, source_bits, source_channels, source_frame_size;
  int32_t frames_in; /* source sample frames consumed */
  uint8_t* buffer;   /* the input buffer */
  uint8_t* buffer_end;
  uint8_t* buffer_pos;
  int32_t buffer_size; /* 16384, or a .vdz track's largest chunk */
  int32_t track_flag;  /* .vdz: the open flag of the track (1 << (track + 13)) */
  int32_t kind;        /* SFILE_... */
  int32_t left, right; /* the current source sample, signed 16-bit values */
  int32_t left_acc, right_acc, left_step, right_step; /* interpolation, 10 fraction bits */
  QELMessageFunc message;
  uint32_t remaining; /* source bytes still to read */
  uint32_t length;    /* source bytes in the trimmed sound */
  SFileReader* reader;
} SFile;

/* Opens a wave file (".wav" appended to a name without extension), a
 * headerless PCM file (raw_code nonzero: bit 0 stereo, bit 1 16-bit, bits 3
 * and up the rate; raw_skip bytes left out at its start), track `track` of a
 * .vdz file (1 to 7; 0 the first with sound), the sound stream of an AVI file,
 * or a list file (".lst") or numbered sequence ("snd???.wav*1-9") of them.
 * rate (1 to 16777215 Hz), bits (8, 16) and channels (1, 2) of the output:
 * 0 (or another value) takes the source's. start and end trim the sound: milliseconds, or -n for
 * video frame n of a .vdz or AVI file (start frame n begins after n - 1
 * frames, end frame n ends after n frames); 0 is the beginning or the end.
 * Null, after a message of kind 2 where the reason is known, when nothing
 * accepts the file. */
QELUTIL_API SFile* SFileOpen(const char* name, int32_t rate, int32_t bits, int32_t channels, int32_t start,
                             int32_t end, int32_t track, uint32_t raw_code, uint32_t raw_skip,
                             QELMessageFunc message);
/* Fills dest with up to count bytes (whole output frames) of sound; the bytes
 * delivered. Sends "Processing sound data (N%)..." to the message function. */
QELUTIL_API uint32_t SFileGet(SFile* s, void* dest, uint32_t count);
/* Back to the start of the trimmed sound. */
QELUTIL_API void SFileReset(SFile* s);
/* Closes the source; null is ignored. */
QELUTIL_API void SFileClose(SFile* s);
/* Reads and removes "/R" rate, "/B" bits, "/C" channels, "/S" start, "/E"
 * end, "/T" track (each default 0), the raw code ("/Y" n from 1 to 5 gives
 * (n - 1) + 8 x "/D" rate, default 11025; else 0) and "/K" raw skip (only
 * with a valid "/Y"; else 0). Each result may be null. */
QELUTIL_API void SFileCommandLine(char* line, int32_t* rate, int32_t* bits, int32_t* channels, int32_t* start,
                                  int32_t* end, int32_t* track, uint32_t* raw_code, uint32_t* raw_skip);

/* ------------------------------------------------------------------------ */
/* Compressed sound writer                                                   */
/* ------------------------------------------------------------------------ */

/* Turns the sound of an SFile into the sound chunks of a .vdz track, one
 * chunk per CSFilePut: packed with four 8-bit prefix-code encoders (lossy
 * levels 1 to 9 drop low bits of the deltas within a limit), or stored as
 * it is. */
typedef struct CSFile {
  SFile* source;
  int32_t raw;          /* 1: chunks hold the sound uncompressed */
  uint32_t fill;        /* silence: 0x80808080 for 8-bit sound, 0 for 16-bit */
  uint32_t lead_left;   /* bytes of leading silence still to emit */
  uint32_t lead_total;  /* leading silence in bytes, restored on each pass */
  uint32_t length_left; /* bytes (silence included) still to emit in this pass */
  uint32_t length_total;
  uint32_t delta_mask;
  int32_t error_limit;
  int32_t repeat_source; /* restart the source when it ends before the pass is full */
  int32_t loop_all;      /* start a new pass when a pass is full and the block is not */
  QELFile* output;
  Huff* trees[4];
  uint32_t last_sound_bytes; /* sound bytes in the last chunk written (0: none) */
  uint32_t last_chunk_bytes; /* the last chunk's size, size field and padding included */
  uint32_t total_sound_bytes;
  uint32_t total_chunk_bytes;
} CSFile;

/* Opens the sound `name` (SFileOpen's options follow `length_ms`) for
 * writing: lossy level 0 to 9, leading silence and the length of one pass in
 * milliseconds (0: the whole source after the silence). A nonzero raw code
 * takes the rate from the code and keeps the source's sample size and
 * channels; with bit 2 of the code set (data that is not sound) the chunks
 * are stored uncompressed. Null when the source cannot be opened. */
QELUTIL_API CSFile* CSFileOpen(const char* name, int32_t lossy, int32_t repeat_source, int32_t loop_all,
                               uint32_t lead_ms, uint32_t length_ms, int32_t rate, int32_t bits,
                               int32_t channels, int32_t start, int32_t end, int32_t track, uint32_t raw_code,
                               uint32_t raw_skip, QELMessageFunc message);
/* Where the chunks go; before the first CSFilePut. */
QELUTIL_API void CSFileSetOutput(CSFile* c, QELFile* output);
/* Gathers one block of up to `block_bytes` (whole sample frames) and writes
 * it as one chunk at the output's position, ending on a multiple of 4 of the
 * file position; last_sound_bytes and last_chunk_bytes report it (0 when
 * nothing was left to write). */
QELUTIL_API void CSFilePut(CSFile* c, uint32_t block_bytes);
/* Closes the source and the encoders; null is ignored. */
QELUTIL_API void CSFileClose(CSFile* c);
/* "/L" lossy level (default 0), "/P" present, then the results of
 * SFileCommandLine; the switches found are removed. Each result may be
 * null. */
QELUTIL_API void CSFileCommandline(char* line, int32_t* lossy, int32_t* loop, int32_t* rate, int32_t* bits,
                                   int32_t* channels, int32_t* start, int32_t* end, int32_t* track,
                                   uint32_t* raw_code, uint32_t* raw_skip);

#ifdef __cplusplus
}
#endif

#endif /* QELUTIL_QELUTIL_H */
