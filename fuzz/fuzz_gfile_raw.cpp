// The raw frame file reader over arbitrary bytes: opened as 8-bit frames
// with the source palette, with computed palettes, and as true colour with a
// crop, and a few frames read each way.
#include <cstdint>

#include "fuzz/gfile_fuzz.h"
#include "fuzz/temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& name = fuzz_support::InputFile(".raw");
  fuzz_support::WriteInput(name, data, size);
  GFile* g = GFileOpen(name.c_str(), 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 256, 0, 0, nullptr, nullptr, nullptr);
  fuzz_support::ReadSomeFrames(g, 4);
  GFileClose(g);
  g = GFileOpen(name.c_str(), 0, 1, 1, 0, 0, 0, 3, 2, 2, 10, 100, 0, 0, nullptr, nullptr, nullptr);
  fuzz_support::ReadSomeFrames(g, 4);
  GFileClose(g);
  g = GFileOpen(name.c_str(), GFILE_TRUE_COLOUR, 3, 0, 9, 5, 0, 0, 0, 0, 0, 256, 0, 0, nullptr, nullptr,
                nullptr);
  fuzz_support::ReadSomeFrames(g, 2);
  GFileClose(g);
  return 0;
}
