// Test side of the video decoder: frame scripts (runs of blocks with their
// contents), a writer that turns them into a trees block and per-frame video
// data with the prefix-code encoder, a picture model that applies them pixel
// by pixel, a reference rendering of a picture into an output buffer, and a
// bare handle whose descriptor paints into a guarded buffer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "playback/trees.h"
#include "playback/video.h"

namespace video_test {

// One run of the video data. For two-colour runs each block holds {c, m};
// for full runs the eight values in fetch order (right, left per row).
struct Run {
  unsigned type = 2;   // 0 two-colour, 1 full, 2 unchanged, 3 solid
  unsigned index = 0;  // run index 0..63
  uint8_t colour = 0;  // fill colour of solid runs
  std::vector<std::array<uint16_t, 8>> blocks;

  uint32_t TypeValue() const { return type | (index << 2) | (uint32_t{colour} << 8); }
};

struct FrameScript {
  std::vector<Run> runs;
  std::vector<uint8_t> tail;  // bytes appended after the coded runs
};

// Blocks a run covers before the picture's end cuts it.
uint32_t RunLengthOf(unsigned index);

// The trees block, its size fields and each frame's video data.
struct Encoded {
  std::vector<uint8_t> trees;
  uint32_t sizes[4] = {};
  std::vector<std::vector<uint8_t>> frames;
};

// Encodes the frames for a picture of `total` blocks: only the blocks the
// decoder reaches fetch values (runs past the last block are cut).
Encoded EncodeFrames(const std::vector<FrameScript>& frames, uint64_t total);

// Unpacked trees made from an encoding.
struct Trees {
  explicit Trees(const Encoded& e);
  vidzo::TreesArea* get() const { return buffer->Get(); }
  std::unique_ptr<vidzo::TreesAreaBuffer> buffer;
};

// An 8-bit picture of palette indices.
struct Picture {
  Picture(uint32_t w, uint32_t h) : width(w), height(h), pixels(size_t{w} * h, 0) {}
  uint32_t width, height;
  std::vector<uint8_t> pixels;
  uint8_t& at(uint32_t x, uint32_t y) { return pixels[size_t{y} * width + x]; }
  uint64_t Blocks() const { return uint64_t{width / 4} * (height / 4); }
};

// Applies a frame to the picture; `painted`, when given, gets one flag per
// block: true when the frame painted it.
void ApplyFrame(const FrameScript& frame, Picture& picture, std::vector<bool>* painted = nullptr);

// A random frame for a picture of `total` blocks: every block type, run
// indices mostly short, sometimes long (13..58 and 59..63), values partly
// drawn from a small set so that the lasts get used.
FrameScript RandomFrame(std::mt19937& rng, uint64_t total);

// An output form: colour mode (0, 0x80, 0xC0), doubled / interlaced rows,
// bottom-up buffer and the placement.
struct Form {
  uint32_t mode = 0;
  bool doubled = false;
  bool interlaced = false;
  bool bottom_up = false;
  uint32_t left = 0, top = 0;
};

// A buffer with a guard zone around the picture area, and the handle whose
// descriptor paints into it.
class Destination {
 public:
  static constexpr uint8_t kGuard = 0xA5;
  Destination(const Picture& picture, const Form& form, const uint8_t* palette = nullptr);
  ~Destination();
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  VidzoHandle& handle() { return *h_; }
  VidzoOutputDesc* desc() { return h_->OutputDesc; }
  std::vector<uint8_t>& bytes() { return bytes_; }
  int32_t pitch() const { return pitch_; }
  uint32_t rows() const { return rows_; }

  // Decodes one frame into the buffer.
  void Decode(const std::vector<uint8_t>& video, vidzo::TreesArea* trees);
  // The buffer as the picture should leave it: guard bytes elsewhere.
  std::vector<uint8_t> Expected(const Picture& picture, const uint16_t* colours) const;

 private:
  std::unique_ptr<VidzoHandle> h_;
  Form form_;
  int32_t pitch_;
  uint32_t rows_;
  std::vector<uint8_t> bytes_;
};

// The 16-bit table of a palette for a colour mode (reference formula).
std::array<uint16_t, 256> Colour16Of(const uint8_t* palette, uint32_t mode);

}  // namespace video_test
