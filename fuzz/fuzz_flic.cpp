// The flic reader over arbitrary file contents: opens the input as a flic and
// decodes its frames (one pass and a little more, so that the wrap to the
// first frame runs too), then jumps back with QELFlicGoto. Besides memory
// safety, the target checks that the margin beyond the flic's size stays at
// colour 0 and that the frame counter keeps within the frame count.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/temp_file.h"
#include "qelutil/qelutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& name = fuzz_support::InputFile(".flc");
  fuzz_support::WriteInput(name, data, size);
  QELFlic* f = QELFlicOpen(name.c_str());
  if (f == nullptr) return 0;
  size_t bytes = static_cast<size_t>(f->buffer_width) * static_cast<size_t>(f->buffer_height);
  if (bytes > (16u << 20)) {  // a buffer too large for a fuzzing run
    QELFlicClose(f);
    return 0;
  }
  std::vector<uint8_t> buffer(bytes, 0xEE);
  const int frames = f->frames < 40 ? f->frames : 40;
  for (int i = 0; i < frames + 2; ++i) {
    if (QELFlicGetNext(f, buffer.data()) == 0) std::abort();
    if (f->frames_decoded > static_cast<uint32_t>(f->frames)) std::abort();
    for (int y = 0; y < f->buffer_height; ++y)
      for (int x = f->width; x < f->buffer_width; ++x)
        if (buffer[static_cast<size_t>(y) * f->buffer_width + x] != 0) std::abort();
  }
  if (QELFlicGoto(f, 1, buffer.data()) == 0) std::abort();
  QELFlicClose(f);
  return 0;
}
