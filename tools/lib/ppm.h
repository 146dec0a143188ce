// Binary PPM pictures (P6, maxval 255): the frame files of the encoder and the
// pictures the information tool writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vidzotools {

struct RgbPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // width x height x 3 bytes, rows top first
};

// The largest width or height read; larger pictures are refused.
inline constexpr uint32_t kMaxPpmSide = 32768;

// Parses a P6 picture with maxval 255 (comments after "#" allowed in the
// header; bytes after the pixels ignored). False with a message otherwise.
bool ParsePpm(const uint8_t* data, size_t size, RgbPicture& picture, std::string& error);
// Reads and parses the file `name`.
bool ReadPpmFile(const std::string& name, RgbPicture& picture, std::string& error);
// The bytes of a P6 picture.
std::vector<uint8_t> FormatPpm(const RgbPicture& picture);
// Writes the picture to `name` (created or truncated).
bool WritePpmFile(const std::string& name, const RgbPicture& picture, std::string& error);

}  // namespace vidzotools
