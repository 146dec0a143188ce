// Writing .vdz files: the header, the frame size and type tables, the packed
// trees block and the frame records (palette chunk, audio chunks, video data),
// with an optional ring frame after the last frame. Also the palette chunk
// encoder. Errors are return values with a message.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vidzotools {

// The packed trees block and the four header size fields (bytes of memory
// each unpacked tree needs). The default is four absent trees: one byte 0
// and room for the three escape slots of each.
struct VdzTrees {
  std::vector<uint8_t> packed{0x00};
  uint32_t mono_map_size = 12;
  uint32_t mono_colour_size = 12;
  uint32_t full_size = 12;
  uint32_t type_size = 12;
};

struct VdzAudioChunk {
  uint32_t track = 0;         // 0 to 6
  std::vector<uint8_t> body;  // the chunk after its 32-bit length
  uint32_t decoded_size = 0;  // bytes the chunk decodes to
};

struct VdzFrame {
  std::vector<uint8_t> palette;  // a whole palette chunk (length byte first), or empty
  std::vector<VdzAudioChunk> audio;
  std::vector<uint8_t> video;
};

struct VdzContent {
  uint32_t width = 0;   // multiple of 4
  uint32_t height = 0;  // multiple of 4
  int32_t frame_rate = 0;
  uint32_t header_flags = 0;  // bit 1 interlaced, bit 2 doubled; bit 0 follows `ring`
  std::array<uint32_t, 7> audio_format{};
  VdzTrees trees;
  std::vector<VdzFrame> frames;  // at least one
  bool has_ring = false;
  VdzFrame ring;  // decoded after the last frame, gives frame 0's picture
};

// The file's bytes; false with a message in `error` when the content cannot
// form a valid file.
bool BuildVdz(const VdzContent& content, std::vector<uint8_t>& out, std::string& error);
// BuildVdz written to the file `name` (created or truncated).
bool WriteVdzFile(const std::string& name, const VdzContent& content, std::string& error);
// WriteVdzFile for programs: the file is written under a temporary name
// beside `name` and renamed over it only once complete, so that a failed run
// leaves neither a half-written file nor a damaged earlier one.
bool ReplaceVdzFile(const std::string& name, const VdzContent& content, std::string& error);

// A palette chunk (length byte, items, padding to a multiple of 4) that turns
// `previous` into `next` (768 bytes each, 8-bit red, green, blue) with the
// fewest item bytes: runs kept, runs copied from the previous palette, and new
// colours (6-bit components; a component that is not the 8-bit form of a
// 6-bit value is written as its top 6 bits).
std::vector<uint8_t> EncodePaletteChunk(const uint8_t* previous, const uint8_t* next);

// The 8-bit form of a 6-bit component: v * 4 + v / 16.
inline uint8_t ExpandComponent(uint8_t v) {
  return static_cast<uint8_t>((v & 63) * 4 + (v & 63) / 16);
}

}  // namespace vidzotools
