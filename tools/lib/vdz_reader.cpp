#include "tools/lib/vdz_reader.h"

#include <cstring>

#include "tools/lib/file_bytes.h"

namespace vidzotools {
namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t kPresent = 0x40000000u;
constexpr uint32_t kCompressed = 0x80000000u;

// Splits one frame record into its chunks.
bool ParseRecord(const uint8_t* record, uint32_t size, uint8_t type, const VdzContent& c, VdzFrame& frame,
                 std::string& error) {
  uint32_t pos = 0;
  if ((type & 1) != 0) {
    const uint32_t length = size == 0 ? 0 : record[0] * 4u;
    if (length == 0 || length > size) {
      error = "a palette chunk does not fit its frame record";
      return false;
    }
    frame.palette.assign(record, record + length);
    pos = length;
  }
  for (uint32_t t = 0; t < 7; ++t) {
    if ((type & (2u << t)) == 0) continue;
    if (size - pos < 4 || Le32(record + pos) < 4 || Le32(record + pos) > size - pos) {
      error = "an audio chunk does not fit its frame record";
      return false;
    }
    if ((c.audio_format[t] & kPresent) == 0) {
      error = "a frame holds sound of track " + std::to_string(t + 1) + ", which the header does not have";
      return false;
    }
    const uint32_t length = Le32(record + pos);
    VdzAudioChunk chunk;
    chunk.track = t;
    chunk.body.assign(record + pos + 4, record + pos + length);
    if ((c.audio_format[t] & kCompressed) != 0)
      chunk.decoded_size = chunk.body.size() >= 4 ? Le32(chunk.body.data()) : 0;
    else
      chunk.decoded_size = static_cast<uint32_t>(chunk.body.size());
    frame.audio.push_back(std::move(chunk));
    pos += length;
  }
  frame.video.assign(record + pos, record + size);
  return true;
}

}  // namespace

bool ParseVdzContent(const std::vector<uint8_t>& bytes, VdzContent& c, std::string& error) {
  c = VdzContent();
  const uint8_t* b = bytes.data();
  if (bytes.size() < 104 || std::memcmp(b, "VDZ2", 4) != 0) {
    error = "not a Vidzoer file";
    return false;
  }
  c.width = Le32(b + 4);
  c.height = Le32(b + 8);
  const uint32_t frames = Le32(b + 12);
  c.frame_rate = static_cast<int32_t>(Le32(b + 16));
  const uint32_t flags = Le32(b + 20);
  c.has_ring = (flags & 1) != 0;
  c.header_flags = flags & 6;
  if ((flags & ~7u) != 0 || frames == 0 || c.width % 4 != 0 || c.height % 4 != 0) {
    error = "a header this tool does not handle (flags, frame count or picture size)";
    return false;
  }
  const uint32_t trees_size = Le32(b + 52);
  c.trees.mono_map_size = Le32(b + 56);
  c.trees.mono_colour_size = Le32(b + 60);
  c.trees.full_size = Le32(b + 64);
  c.trees.type_size = Le32(b + 68);
  for (int t = 0; t < 7; ++t) c.audio_format[t] = Le32(b + 72 + 4 * t);
  const uint64_t records = uint64_t{frames} + (c.has_ring ? 1 : 0);
  const uint64_t first = 104 + 5 * records + trees_size;
  if (first > bytes.size()) {
    error = "cut short before its frame data";
    return false;
  }
  c.trees.packed.assign(b + 104 + 5 * records, b + first);
  // The sizes add up to at most the file's size before anything is kept.
  uint64_t total = 0;
  for (uint64_t i = 0; i < records; ++i) total += Le32(b + 104 + 4 * i);
  if (first + total > bytes.size()) {
    error = "cut short: its frames need " + std::to_string(first + total) + " bytes";
    return false;
  }
  c.frames.resize(frames);
  uint64_t pos = first;
  for (uint64_t i = 0; i < records; ++i) {
    const uint32_t size = Le32(b + 104 + 4 * i);
    const uint8_t type = b[104 + 4 * records + i];
    VdzFrame& frame = i < frames ? c.frames[i] : c.ring;
    if (!ParseRecord(b + pos, size, type, c, frame, error)) {
      error = "frame " + std::to_string(i) + ": " + error;
      return false;
    }
    pos += size;
  }
  return true;
}

bool ReadVdzContent(const std::string& name, VdzContent& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(name, bytes)) {
    error = "cannot open " + name;
    return false;
  }
  if (!ParseVdzContent(bytes, out, error)) {
    error = name + ": " + error;
    return false;
  }
  return true;
}

}  // namespace vidzotools
