// The compressor's core: key frames, targets per frame from the coding
// settings, the lossy block choice with its two passes (the first priced by
// the lossless code lengths of the input, the second by the code lengths of
// the first pass's own result), then exact coding of the pictures chosen.
// Sizes are checked against the real coded frames and the choice is made
// again with tighter targets where a frame or a one-second window is over.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tools/lib/block_encoder.h"
#include "tools/lib/frame_settings.h"
#include "tools/lib/vdz_writer.h"

namespace vidzotools {

struct CompressOptions {
  int32_t frame_rate = 100;  // the header's field
  bool ring = false;
  CodingSettings settings;
  std::vector<SettingsChange> changes;  // from the frame-specific settings file
  // Per frame: the bytes of its record besides palette and video (its
  // sound chunks), counted against a data rate; may be empty.
  std::vector<uint64_t> other_bytes;
  // Progress: the phase, frames done, frames in all, and the bytes of the
  // frames done as far as known (0 when not); false cancels.
  std::function<bool(const char* phase, size_t done, size_t total, double bytes)> progress;
};

struct CompressReport {
  std::vector<std::vector<uint8_t>> shown;  // per frame: the picture the decoder shows
  std::vector<double> error_percent;        // per frame, as the lossy coder measures it
  size_t key_frames = 0;
  int passes = 0;  // lossy choices over all frames
  // Some frame or second is still over its size or data rate: its target lies
  // below what the frames can be made to cost.
  bool over_target = false;
};

// The .vdz content (without sound) for `frames`, whose `key` flags are set
// here. False with a message when coding fails or progress cancels.
bool CompressFrames(uint32_t width, uint32_t height, std::vector<AnimationFrame>& frames,
                    const CompressOptions& options, VdzContent& content, CompressReport& report,
                    std::string& error);

// Frames per second for one-second windows: 100000 over the period, at least 1
// (1 for an untimed file).
uint32_t FramesPerSecond(int32_t frame_rate);

// A frame record's size: palette, audio chunks with their lengths, video.
uint64_t RecordSize(const VdzFrame& f);

}  // namespace vidzotools
