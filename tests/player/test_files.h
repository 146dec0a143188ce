// Short .vdz files for the player tests, made by the project's own encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace player_test {

struct TestFile {
  uint32_t width = 16;
  uint32_t height = 16;
  int frames = 5;
  int32_t frame_rate = 0;  // the header's rate: 0 untimed, >0 ms per frame
  bool sound = false;      // one 8-bit mono track at 8000 Hz
  int busy_from = -1;      // frames busy_from to busy_to - 1 repaint every pixel
  int busy_to = -1;
};

// Writes the file; fails the current test when it cannot be made.
void WriteTestVdz(const std::string& name, const TestFile& shape);

// The frame record sizes of a written file, from its size table.
std::vector<uint32_t> FrameSizes(const std::string& name);

// A file's bytes, and writing bytes to a file.
std::vector<uint8_t> ReadBytes(const std::string& name);
void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);

}  // namespace player_test
