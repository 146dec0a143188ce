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
  vidzotools::DecodeVdzFrames(
      name, true,
      [&frames](const vidzotools::DecodedFrame& f, std::string&) {
        volatile uint8_t sink =
            f.pixels[0] ^ f.pixels[static_cast<size_t>(f.width) * f.height - 1] ^ f.palette[767];
        (void)sink;
        return ++frames < 4096;
      },
      error);
  return 0;
}
