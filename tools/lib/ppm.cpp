#include "tools/lib/ppm.h"

#include "tools/lib/file_bytes.h"

namespace vidzotools {
namespace {

bool IsSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one decimal header number after blanks and comments.
bool HeaderNumber(const uint8_t* data, size_t size, size_t& pos, uint32_t& value) {
  for (;;) {
    while (pos < size && IsSpace(data[pos])) ++pos;
    if (pos < size && data[pos] == '#') {
      while (pos < size && data[pos] != '\n' && data[pos] != '\r') ++pos;
      continue;
    }
    break;
  }
  if (pos >= size || data[pos] < '0' || data[pos] > '9') return false;
  uint64_t v = 0;
  while (pos < size && data[pos] >= '0' && data[pos] <= '9') {
    v = v * 10 + (data[pos++] - '0');
    if (v > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

bool ParsePpm(const uint8_t* data, size_t size, RgbPicture& picture, std::string& error) {
  picture = RgbPicture{};
  if (size < 2 || data[0] != 'P' || data[1] != '6') {
    error = "not a binary PPM picture (P6)";
    return false;
  }
  size_t pos = 2;
  uint32_t width = 0, height = 0, maxval = 0;
  if (!HeaderNumber(data, size, pos, width) || !HeaderNumber(data, size, pos, height) ||
      !HeaderNumber(data, size, pos, maxval)) {
    error = "the PPM header is incomplete";
    return false;
  }
  if (maxval != 255) {
    error = "the PPM maximum value is " + std::to_string(maxval) + ", only 255 is read";
    return false;
  }
  if (width == 0 || height == 0 || width > kMaxPpmSide || height > kMaxPpmSide) {
    error = "the PPM size " + std::to_string(width) + " x " + std::to_string(height) + " is not usable";
    return false;
  }
  if (pos >= size || !IsSpace(data[pos])) {
    error = "the PPM header does not end in a blank";
    return false;
  }
  ++pos;
  const size_t bytes = static_cast<size_t>(width) * height * 3;
  if (size - pos < bytes) {
    error = "the PPM pixels are cut short";
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(data + pos, data + pos + bytes);
  return true;
}

bool ReadPpmFile(const std::string& name, RgbPicture& picture, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(name, bytes)) {
    error = "cannot read " + name;
    return false;
  }
  if (!ParsePpm(bytes.data(), bytes.size(), picture, error)) {
    error = name + ": " + error;
    return false;
  }
  return true;
}

std::vector<uint8_t> FormatPpm(const RgbPicture& picture) {
  const std::string header =
      "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), picture.rgb.begin(), picture.rgb.end());
  return out;
}

bool WritePpmFile(const std::string& name, const RgbPicture& picture, std::string& error) {
  if (WriteFileBytes(name, FormatPpm(picture))) return true;
  error = "cannot write " + name;
  return false;
}

}  // namespace vidzotools
