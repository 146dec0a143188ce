// The BMP loader of the image library over arbitrary bytes (see
// image_fuzz.h for what is checked).
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::FuzzImage(imagelib::Format::kBmp, data, size);
  return 0;
}
