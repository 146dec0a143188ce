// Parses arbitrary bytes as a binary PPM picture and indexes the colours of
// the pictures that parse.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/lib/frame_indexer.h"
#include "tools/lib/ppm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vidzotools::RgbPicture picture;
  std::string error;
  if (!vidzotools::ParsePpm(data, size, picture, error)) return 0;
  if (picture.rgb.size() > (size_t{1} << 22)) return 0;
  static vidzotools::FrameIndexer indexer;
  vidzotools::AnimationFrame frame;
  indexer.Next(picture.rgb.data(), static_cast<size_t>(picture.width) * picture.height, frame, error);
  return 0;
}
