// List files over arbitrary text: the input becomes a list file in a folder
// that also holds a small flic, a bitmap and a numbered sequence, so that
// entries, ranges, comments and sequences of every shape are tried; the
// list is opened and a few frames read, as 8-bit and as true colour.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/gfile_fuzz.h"
#include "fuzz/temp_file.h"

namespace {

// The folder of the list, with its files made once.
const std::string& Folder() {
  static std::string folder = [] {
    char tmpl[] = "/tmp/fuzz_gfile_list_XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    std::string dir = tmpl;
    std::vector<uint8_t> frame(16 * 8);
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * 7);
    QELOFlic* f = QELOFlicCreate((dir + "/a.flc").c_str(), 16, 8, 40);
    for (int n = 0; n < 6; ++n) {
      for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i + n * 9);
      QELOFlicPutNext(f, frame.data(), palette);
    }
    QELOFlicClose(f);
    // Three one-frame flics as a numbered sequence s1.flc to s3.flc.
    for (int n = 1; n <= 3; ++n) {
      QELOFlic* s = QELOFlicCreate((dir + "/s" + std::to_string(n) + ".flc").c_str(), 4, 4, 40);
      QELOFlicPutNext(s, frame.data(), palette);
      QELOFlicClose(s);
    }
    // Removed at exit through a copy of its own: the string above is gone by then.
    static char removal[96];
    std::snprintf(removal, sizeof removal, "rm -rf '%s'", dir.c_str());
    std::atexit([] { std::system(removal); });
    return dir;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = Folder() + "/input.lst";
  fuzz_support::WriteInput(name, data, size);
  GFile* g = GFileOpen(name.c_str(), 0, 2, 1, 0, 0, 2, 9, 0, 0, 0, 256, 0, 0, nullptr, nullptr, nullptr);
  fuzz_support::ReadSomeFrames(g, 12);
  GFileClose(g);
  g = GFileOpen(name.c_str(), GFILE_TRUE_COLOUR, 0, 0, 6, 6, 0, 0, 0, 0, 0, 256, 0, 0, nullptr, nullptr,
                nullptr);
  fuzz_support::ReadSomeFrames(g, 4);
  GFileClose(g);
  return 0;
}
