// The AVI file service of the utility library: a RIFF AVI reader and writer
// of our own.
//
// The reader takes the first video stream (uncompressed 8-bit frames with
// their palette and palette-change chunks, 16-bit 5-5-5, 24-bit and 32-bit
// frames, and RLE8 frames) and the first PCM sound stream. Chunks are found
// through the idx1 index when the file has a usable one, and by walking the
// movi list otherwise. Frames come out as bottom-up device-independent
// bitmaps: rows of (bits x width + 31) / 32 x 4 bytes, the bottom row first,
// and for 8-bit frames the palette in force at that frame (256 x blue,
// green, red, reserved).
//
// The writer makes one video stream of 8-bit frames (uncompressed with a
// palette-change chunk whenever the palette changes, or RLE8) or 24-bit
// frames, every frame a key frame, an optional PCM sound stream, and an idx1
// index; the header's lengths are completed at close.
//
// Sizes stated by a file are checked against the file before anything is
// allocated for them; malformed files are refused with an error text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace avifile {

struct VideoInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;          // bits per pixel of the frames as stored: 8, 16, 24 or 32
  uint32_t compression = 0;  // 0: uncompressed, 1: RLE8
  uint32_t rate = 0;         // frames per second as rate / scale
  uint32_t scale = 0;
  uint32_t start = 0;
  uint32_t length = 0;  // frames
};

struct AudioInfo {
  uint16_t format = 0;  // 1: PCM
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint32_t bytes_per_second = 0;
  uint16_t block_align = 0;
  uint16_t bits = 0;
  uint32_t start = 0;
  uint32_t length = 0;  // in blocks (sample frames)
  uint64_t bytes = 0;   // sound bytes in the stream's chunks
};

// One decoded frame.
struct Frame {
  int32_t width = 0, height = 0, bits = 0;
  uint32_t pitch = 0;
  std::vector<uint8_t> pixels;  // bottom-up rows
  uint8_t palette[1024] = {};   // 8-bit frames
};

class Reader {
 public:
  // Null with a reason in *error when the file is not an AVI file with a
  // video stream this reader can decode.
  static std::unique_ptr<Reader> Open(const char* name, std::string* error);
  static std::unique_ptr<Reader> OpenMemory(std::vector<uint8_t> bytes, std::string* error);
  ~Reader();

  const VideoInfo& Video() const;
  bool HasAudio() const;
  const AudioInfo& Audio() const;
  // The stored size of a frame's chunk (0 beyond the stream).
  uint32_t SampleSize(uint32_t frame) const;
  // Decodes frame n (0-based); false beyond the stream or on damaged data
  // (the frame then holds what could be decoded).
  bool ReadFrame(uint32_t n, Frame* out);
  // Up to count bytes of sound from byte offset `first` of the stream; the
  // number copied.
  size_t ReadAudio(uint64_t first, uint8_t* dest, size_t count);

  struct State;

 private:
  explicit Reader(std::unique_ptr<State> s);
  std::unique_ptr<State> s_;
};

enum class Coding { kUncompressed, kRle8 };

struct WriterOptions {
  int32_t width = 0, height = 0;
  int32_t bits = 8;  // 8 or 24
  Coding coding = Coding::kUncompressed;
  uint32_t rate = 0, scale = 1;  // frames per second as rate / scale
  bool audio = false;
  uint16_t channels = 1;
  uint32_t sample_rate = 22050;
  uint16_t sample_bits = 16;
};

class Writer {
 public:
  // Null with a reason in *error when the options are not usable or the file
  // cannot be created.
  static std::unique_ptr<Writer> Create(const char* name, const WriterOptions& options, std::string* error);
  ~Writer();
  // One frame: bottom-up rows of (bits x width + 31) / 32 x 4 bytes, and for
  // 8-bit frames the palette (256 x blue, green, red, reserved) in force
  // from this frame on. False once a write has failed.
  bool WriteFrame(const uint8_t* pixels, const uint8_t* palette);
  bool WriteAudio(const uint8_t* bytes, size_t count);
  // Writes the index and completes the headers; the file's size, or 0 when
  // writing failed.
  uint64_t Close();

  struct State;

 private:
  explicit Writer(std::unique_ptr<State> s);
  std::unique_ptr<State> s_;
};

}  // namespace avifile
