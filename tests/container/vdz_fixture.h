// Helpers of the container tests: files made by the writer, a frame step as
// the player makes it, and the diagnostic log captured into a file.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "playback/vidzo.h"
#include "tools/lib/vdz_writer.h"

namespace vdztest {

// Frame i's video data: `size` bytes that tell frames apart.
std::vector<uint8_t> VideoBytes(uint32_t i, size_t size);

// A file of `count` frames of the given video sizes (cycled), frame 0 with a
// palette chunk, timed at `frame_rate`.
vidzotools::VdzContent MakeContent(const std::vector<size_t>& sizes, uint32_t count, int32_t frame_rate = 40);

std::vector<uint8_t> Build(const vidzotools::VdzContent& c);
void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);

// The player's advance to the next frame: the preloaded record pointer moves
// on, the record is loaded while below FrameCount, then prepared.
void Advance(VidzoHandle* h);

// The bytes of the current frame record.
std::vector<uint8_t> CurrentRecord(const VidzoHandle* h);

// Record i of a built file, straight from its bytes.
std::vector<uint8_t> RecordOf(const std::vector<uint8_t>& file, uint32_t i);

// Turns the diagnostic log on, into a fresh file; Text() gives what was
// written since. The log is turned off again on destruction.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text() const;

 private:
  std::string path_;
};

}  // namespace vdztest
