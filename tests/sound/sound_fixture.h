// Helpers of the sound output tests: .vdz files with sound tracks whose
// chunks the test chooses, opened with the virtual sound devices and the fake
// clock, and the frame step that a player makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound_device.h"
#include "playback/track.h"
#include "playback/vidzo.h"
#include "sound/sound.h"
#include "support/temp_dir.h"
#include "tools/lib/vdz_writer.h"

namespace soundtest {

// One track's sound format.
struct SoundKind {
  uint32_t rate = 8000;
  bool sixteen = false;
  bool stereo = false;
  uint32_t Format() const;
};

// A file of frames at `frame_ms` per frame; chunks[t][i] is frame i's raw
// PCM for track t (empty: no chunk). Video bytes are small and fixed.
vidzotools::VdzContent MakeContent(const std::vector<SoundKind>& tracks,
                                   const std::vector<std::vector<std::vector<uint8_t>>>& chunks,
                                   int32_t frame_ms);

// `n` bytes of a pattern that tells chunk `tag` apart and holds no silence byte.
std::vector<uint8_t> Pattern(uint32_t tag, size_t n);

// Moves on to the next frame as a player does.
void Advance(VidzoHandle* h);

// Every test starts with no back end, the virtual devices and the fake clock
// at 1000 ms; handles opened through Open are closed at the end.
class SoundTest : public ::testing::Test {
 public:
  static void Tick(uint32_t ms);

 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes the content and opens it preloaded with the tracks of `track_bits`
  // (OPEN_TRACK0 << t); fails the test when the file does not open.
  VidzoHandle* Open(const vidzotools::VdzContent& c, uint32_t track_bits, uint32_t extra_flags = 0);
  void Close(VidzoHandle* h);

  platform::VirtualSoundOptions options_{
      .fail_open = false, .blocks_never_end = false, .timer_threads = false};
  vidzoer_test::TempDir dir_;
  std::vector<VidzoHandle*> open_;
  int files_ = 0;
};

}  // namespace soundtest
