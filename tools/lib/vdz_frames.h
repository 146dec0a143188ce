// Decoding the frames of a .vdz file through the playback library, one after
// another, into an 8-bit picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "playback/vidzo.h"

namespace vidzotools {

// Opens `name` with the playback library after checking that it is a
// Vidzoer file whose header, frame tables and trees are whole. Null with a
// message (cannot be opened, not a Vidzoer file, cut short before its frame
// data, picture too large, malformed) otherwise. A file whose frame data ends
// early opens with the frames it holds whole (VDZ_READ_CUT in ReadError,
// FrameCount lowered to them). Close the handle with VidzoClose.
VidzoHandle* OpenVdzChecked(const std::string& name, std::string& error);

// Steps `h` (just opened) through frames 0 to FrameCount - 1, then the ring
// frame when `with_ring` is set and the file has one, calling `visit` with
// the frame's index once its chunks are located (palette applied, audio
// chunks and video data found). `visit` may stop the walk by returning false
// with a message. False with a message (naming `name`) when the file is cut
// short.
bool StepVdzFrames(VidzoHandle* h, const std::string& name, bool with_ring,
                   const std::function<bool(uint32_t, std::string&)>& visit, std::string& error);

struct DecodedFrame {
  uint32_t index = 0;  // FrameCount for the ring frame
  uint32_t width = 0;
  uint32_t height = 0;               // output rows (doubled when the file says so)
  const uint8_t* pixels = nullptr;   // width x height palette indices
  const uint8_t* palette = nullptr;  // 768 bytes, 8-bit red, green, blue
};

// Opens `name` and decodes frames 0 to FrameCount - 1 (then the ring frame
// when `with_ring` is set and the file has one), calling `visit` after each.
// `visit` may stop the walk by returning false with a message. False with a
// message when the file cannot be opened, is cut short or cannot be decoded.
bool DecodeVdzFrames(const std::string& name, bool with_ring,
                     const std::function<bool(const DecodedFrame&, std::string&)>& visit, std::string& error);

}  // namespace vidzotools
