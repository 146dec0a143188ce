// Helpers of the pacing tests: animations made with our encoder (with raw
// sound chunks where a test wants them), handles opened with the virtual
// sound devices and the fake clock, and an 8-bit output buffer the frames
// are decoded into.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "playback/vidzo.h"
#include "support/play_loop.h"
#include "support/temp_dir.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/vdz_writer.h"

namespace pacing_test {

// A w x h animation of n frames: frame 0 random, each later frame a copy of
// the one before with a few random patches painted over (some frames are
// left unchanged). Every frame has the same palette.
std::vector<vidzotools::AnimationFrame> RandomAnimation(uint32_t w, uint32_t h, uint32_t n, uint32_t seed);

// The content of the animation at `frame_rate` (the header's field).
vidzotools::VdzContent Encode(uint32_t w, uint32_t h, const std::vector<vidzotools::AnimationFrame>& frames,
                              int32_t frame_rate);

// Makes track 0 of `c` 8-bit mono raw sound at `rate` Hz; frame i carries
// chunk_sizes[i] bytes (0: no chunk) of Tone(i, size).
void AddRawSound(vidzotools::VdzContent& c, uint32_t rate, const std::vector<uint32_t>& chunk_sizes);

// `n` bytes of sound that tell frame `frame`'s chunk apart (never silence).
std::vector<uint8_t> Tone(uint32_t frame, uint32_t n);

// An 8-bit output buffer with room around the picture.
struct Screen {
  uint32_t pitch = 0, rows = 0, left = 0, top = 0;
  std::vector<uint8_t> pixels;
};

// Every test starts with no sound back end, the virtual sound devices and
// the fake clock at kStartMs; handles opened here are closed at the end.
class PacingTest : public ::testing::Test {
 public:
  static constexpr uint32_t kStartMs = 5000;
  static void Tick() { Tick(1); }
  static void Tick(uint32_t ms);
  static uint32_t Now();

 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes the content to a file and opens it with `flags`; fails the test
  // when it does not open.
  VidzoHandle* Open(const vidzotools::VdzContent& c, uint32_t flags, uint32_t extra_buffer = 0xFFFFFFFFu);
  std::string Write(const vidzotools::VdzContent& c);
  // Attaches an 8-bit buffer with the picture at (left, top) and `margin`
  // spare pixels right of it and below it.
  void Attach(VidzoHandle* h, Screen& screen, uint32_t left, uint32_t top, uint32_t margin = 8);
  // The picture as it stands in the buffer (Width x stored rows).
  static std::vector<uint8_t> Picture(const VidzoHandle* h, const Screen& screen);

  vidzoer_test::TempDir dir_;
  std::vector<VidzoHandle*> open_;
  int files_ = 0;
};

}  // namespace pacing_test
