#include "tools/lib/wave_reader.h"

#include <cstring>

#include "tools/lib/file_bytes.h"

namespace vidzotools {
namespace {

uint32_t Le16(const uint8_t* p) {
  return p[0] | (p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Format {
  uint32_t tag = 0;
  uint32_t channels = 0;
  uint32_t rate = 0;
  uint32_t bits = 0;
};

bool CheckFormat(const Format& f, std::string& error) {
  if (f.tag != 1) {
    error = "not PCM sound (format tag " + std::to_string(f.tag) + ")";
  } else if (f.bits != 8 && f.bits != 16) {
    error = "unsupported sample size of " + std::to_string(f.bits) + " bits (8 or 16 are read)";
  } else if (f.channels != 1 && f.channels != 2) {
    error = "unsupported channel count " + std::to_string(f.channels) + " (mono or stereo are read)";
  } else if (f.rate == 0 || f.rate > 0xFFFFFFu) {
    error = "unsupported sample rate " + std::to_string(f.rate) + " Hz (1 to 16777215)";
  } else {
    return true;
  }
  return false;
}

}  // namespace

bool ParseWave(const uint8_t* bytes, size_t size, WaveSound& out, std::string& error, std::string& warning) {
  out = WaveSound{};
  if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
    error = "not a RIFF wave file";
    return false;
  }
  bool have_format = false;
  Format format;
  const uint8_t* data = nullptr;
  uint64_t data_size = 0;
  size_t pos = 12;
  while (size - pos >= 8 && (!have_format || data == nullptr)) {
    const uint8_t* chunk = bytes + pos;
    const uint64_t length = Le32(chunk + 4);
    const size_t body = pos + 8;
    const uint64_t left = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0 && !have_format) {
      if (length < 16 || left < 16) {
        error = "the \"fmt \" chunk is cut short";
        return false;
      }
      const uint8_t* f = bytes + body;
      format = {Le16(f), Le16(f + 2), Le32(f + 4), Le16(f + 14)};
      if (!CheckFormat(format, error)) return false;
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0 && data == nullptr) {
      data = bytes + body;
      data_size = length;
      if (length > left) {
        warning += "the data chunk claims " + std::to_string(length) + " bytes but the file holds " +
                   std::to_string(left) + "; the sound is cut there\n";
        data_size = left;
      }
    }
    const uint64_t next = body + length + (length & 1);
    if (next >= size) break;
    pos = static_cast<size_t>(next);
  }
  if (!have_format) {
    error = "no \"fmt \" chunk";
    return false;
  }
  if (data == nullptr) {
    error = "no \"data\" chunk";
    return false;
  }
  out.rate = format.rate;
  out.bits = format.bits;
  out.channels = format.channels;
  const uint64_t whole = data_size - data_size % out.FrameBytes();
  if (whole != data_size) {
    warning += "the data ends in part of a sample frame (" + std::to_string(data_size - whole) +
               " bytes), which is left out\n";
  }
  out.pcm.assign(data, data + whole);
  return true;
}

bool ReadWaveFile(const std::string& name, WaveSound& out, std::string& error, std::string& warning) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(name, bytes)) {
    error = "cannot read " + name;
    return false;
  }
  std::string note;
  if (!ParseWave(bytes.data(), bytes.size(), out, error, note)) {
    error = name + ": " + error;
    return false;
  }
  size_t start = 0;
  for (size_t end = note.find('\n'); end != std::string::npos; end = note.find('\n', start)) {
    warning += name + ": " + note.substr(start, end - start + 1);
    start = end + 1;
  }
  return true;
}

}  // namespace vidzotools
