// Parses arbitrary bytes as a .vdz file into the writer's content (the
// reader of the mixer); what parses is written again and must give the same
// content back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/lib/vdz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  vidzotools::VdzContent content;
  std::string error;
  if (!vidzotools::ParseVdzContent(bytes, content, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<uint8_t> again;
  if (!vidzotools::BuildVdz(content, again, error)) return 0;  // fields the writer refuses
  vidzotools::VdzContent second;
  if (!vidzotools::ParseVdzContent(again, second, error)) std::abort();
  if (second.frames.size() != content.frames.size() || second.trees.packed != content.trees.packed ||
      second.audio_format != content.audio_format || second.has_ring != content.has_ring)
    std::abort();
  for (size_t i = 0; i < content.frames.size(); ++i)
    if (second.frames[i].video != content.frames[i].video || second.frames[i].palette != content.frames[i].palette ||
        second.frames[i].audio.size() != content.frames[i].audio.size())
      std::abort();
  return 0;
}
