// GFileOpen over arbitrary bytes under every probe: the input is written
// with each default extension in turn (wave, flic, .vdz, the still images,
// AVI, raw) and opened; what opens has a few frames read, with a crop and
// computed palettes (halftoned or not), so that every reader meets every
// kind of damage.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "fuzz/gfile_fuzz.h"
#include "fuzz/temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExtensions[] = {".wav", ".flc", ".vdz", ".bmp", ".gif", ".tif", ".pcx",
                                            ".tga", ".jpg", ".png", ".avi", ".raw", ".dat"};
  // The extension's own file: the readers probe by name.
  for (const char* ext : kExtensions) {
    const std::string name = fuzz_support::InputFile(".bin") + ext;
    fuzz_support::WriteInput(name, data, size);
    // Inputs of odd size are halftoned, the others take the nearest colour.
    const int32_t halftone = (size & 1) != 0 ? GFILE_HALFTONE : 0;
    GFile* g =
        GFileOpen(name.c_str(), halftone, 1, 2, 0, 0, 0, 0, 1, 0, 0, 256, 0, 0, nullptr, nullptr, nullptr);
    fuzz_support::ReadSomeFrames(g, 3);
    GFileClose(g);
    g = GFileOpen(name.c_str(), GFILE_TRUE_COLOUR, 0, 0, 0, 0, 2, 2, 0, 0, 0, 256, 0, 0, nullptr, nullptr,
                  nullptr);
    fuzz_support::ReadSomeFrames(g, 1);
    GFileClose(g);
    ::unlink(name.c_str());
  }
  return 0;
}
