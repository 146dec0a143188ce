// Arbitrary bytes as a .vdz file given to the information tool's frame
// decoding: the layout check, the open and every frame decoded into a picture.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/lib/file_bytes.h"
#include "tools/lib/vdz_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string name;
  if (name.empty()) {
    char pattern[] = "/tmp/fuzz-vdzframes-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) return 0;
    ::close(fd);
    name = pattern;
    std::atexit([] { ::unlink(name.c_str()); });
  }
  if (!vidzotools::WriteFileBytes(name, std::vector<uint8_t>(data, data + size))) return 0;
  std::string error;
  uint32_t frames = 0;
  uint64_t pixels = 0;
  // The walk stops after 4096 frames or 2^27 pixels: the cost of decoding
  // grows with the frames and the picture size a file may claim (up to the
  // open's limits), which is not a finding in itself.
  vidzotools::DecodeVdzFrames(
      name, true,
      [&frames, &pixels](const vidzotools::DecodedFrame& f, std::string&) {
        const size_t area = static_cast<size_t>(f.width) * f.height;
        volatile uint8_t sink = f.pixels[0] ^ f.pixels[area - 1] ^ f.palette[767];
        (void)sink;
        pixels += area;
        return ++frames < 4096 && pixels < (uint64_t{1} << 27);
      },
      error);
  return 0;
}
