// Reading a .vdz file's records as they are stored (header fields, packed
// trees, palette chunks, audio chunks and video data of every frame and of
// the ring frame) into the writer's content, so that a tool can change some
// of them and write the file again with the rest unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lib/vdz_writer.h"

namespace vidzotools {

// Parses the bytes of a .vdz file. False with a message when they are not a
// whole Vidzoer file: a wrong magic, a header the writer cannot reproduce,
// tables, trees or frame records that reach past the end, or a record whose
// chunks do not fit it.
bool ParseVdzContent(const std::vector<uint8_t>& bytes, VdzContent& out, std::string& error);

// ParseVdzContent on the file `name`; messages name the file.
bool ReadVdzContent(const std::string& name, VdzContent& out, std::string& error);

}  // namespace vidzotools
