// The AVI reader over arbitrary bytes: opens the input, decodes every frame
// (up to 40, forwards and then one backwards), and reads the sound from a few
// offsets. Besides memory safety, the target checks that decoded frames have
// the size the stream states and that sound reads stay within what was asked.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto r = avifile::Reader::OpenMemory(std::vector<uint8_t>(data, data + size), &error);
  if (r == nullptr) {
    if (error.empty()) std::abort();
    return 0;
  }
  const avifile::VideoInfo& v = r->Video();
  if (v.width <= 0 || v.height <= 0) std::abort();
  if (static_cast<uint64_t>(v.width) * static_cast<uint64_t>(v.height) > (uint64_t{1} << 22)) return 0;
  const uint32_t frames = v.length < 40 ? v.length : 40;
  for (uint32_t i = 0; i <= frames; ++i) {
    avifile::Frame f;
    uint32_t n = i < frames ? i : frames / 2;
    if (r->ReadFrame(n, &f) || !f.pixels.empty()) {
      if (f.width != v.width || f.height != v.height) std::abort();
      if (f.pixels.size() != static_cast<size_t>(f.pitch) * static_cast<size_t>(f.height)) std::abort();
    }
    r->SampleSize(n);
  }
  if (r->HasAudio()) {
    std::vector<uint8_t> sound(4096);
    for (uint64_t at : {uint64_t{0}, uint64_t{1}, r->Audio().bytes / 2, r->Audio().bytes}) {
      size_t got = r->ReadAudio(at, sound.data(), sound.size());
      if (got > sound.size() || (got > 0 && at + got > r->Audio().bytes)) std::abort();
    }
  }
  return 0;
}
