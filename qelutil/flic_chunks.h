// Applying the chunks of one flic frame to an 8-bit buffer, and coding the
// image chunks the writer makes.
#pragma once

#include <cstdint>
#include <vector>

namespace flic {

// Where a frame is decoded: width x height pixels inside a buffer whose rows
// are pitch bytes apart, and the palette (256 x R, G, B).
struct Target {
  uint8_t* pixels;
  uint32_t pitch;
  uint32_t width;
  uint32_t height;
  uint8_t* palette;
};

// Applies the chunks of a frame's data (the bytes after its 16-byte header,
// holding `chunks` chunks). Chunks that run past the data end the frame; a
// packet that runs past its chunk or past the picture is cut there. True
// when a colour chunk changed the palette.
bool ApplyChunks(const uint8_t* data, uint32_t size, uint32_t chunks, const Target& target);

// Chunk encoders: each appends the chunk's data (without its 6-byte header)
// to out and gives up (false, out left in an unspecified state) as soon as
// the data would reach `limit` bytes. Frames are width x height bytes, rows of
// width bytes.
bool EncodeByteRun(const uint8_t* frame, uint32_t width, uint32_t height, uint32_t limit,
                   std::vector<uint8_t>& out);
bool EncodeByteDelta(const uint8_t* frame, const uint8_t* previous, uint32_t width, uint32_t height,
                     uint32_t limit, std::vector<uint8_t>& out);
// width must be even.
bool EncodeWordDelta(const uint8_t* frame, const uint8_t* previous, uint32_t width, uint32_t height,
                     uint32_t limit, std::vector<uint8_t>& out);
// The colour chunk (type 4) that turns palette `from` into `to`; empty when
// they are equal.
void EncodePalette(const uint8_t* from, const uint8_t* to, std::vector<uint8_t>& out);

}  // namespace flic
