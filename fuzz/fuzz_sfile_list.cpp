// Reads arbitrary text as a sound list file through SFileOpen: entries name
// the small wave files of a folder of its own (a.wav, b.wav, n1.wav to
// n3.wav), with "/S" and "/E" switches, comments and numbered sequences.
// Whatever opens is read to its end twice (with a reset between), in whole
// output frames and within its length.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/temp_file.h"
#include "qelutil/qelutil.h"

namespace {

void WriteWave(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels, uint32_t frames) {
  std::vector<uint8_t> w;
  auto u32 = [&w](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&w](uint16_t v) {
    w.push_back(static_cast<uint8_t>(v));
    w.push_back(static_cast<uint8_t>(v >> 8));
  };
  const uint32_t align = channels * bits / 8u;
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  u32(36 + frames * align);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  u32(16);
  u16(1);
  u16(channels);
  u32(rate);
  u32(rate * align);
  u16(static_cast<uint16_t>(align));
  u16(bits);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  u32(frames * align);
  for (uint32_t i = 0; i < frames * align; ++i) w.push_back(static_cast<uint8_t>(i * 37));
  fuzz_support::WriteInput(name, w.data(), w.size());
}

// The folder of the entries, made once; it is the current folder only
// while an input runs (the fuzzer's own files stay where it keeps them).
const std::string& Folder() {
  static const std::string folder = [] {
    char tmpl[] = "/tmp/fuzz_sfile_list_XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    if (dir == nullptr) std::abort();
    const std::string d = dir;
    WriteWave(d + "/a.wav", 8000, 8, 1, 800);
    WriteWave(d + "/b.wav", 11025, 16, 2, 1000);
    WriteWave(d + "/n1.wav", 22050, 16, 1, 300);
    WriteWave(d + "/n2.wav", 8000, 8, 2, 200);
    WriteWave(d + "/n3.wav", 4000, 8, 1, 50);
    // The folder's name for the clean-up at exit, which runs after the
    // string is gone.
    static char saved[64];
    std::snprintf(saved, sizeof saved, "%s", dir);
    std::atexit([] {
      for (const char* f : {"a.wav", "b.wav", "n1.wav", "n2.wav", "n3.wav"}) {
        char path[96];
        std::snprintf(path, sizeof path, "%s/%s", saved, f);
        ::unlink(path);
      }
      ::rmdir(saved);
    });
    return d;
  }();
  return folder;
}

// Reads the list `name` with the options of `flags`.
void ReadList(const std::string& name, uint8_t flags);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string& name = fuzz_support::InputFile(".lst");
  fuzz_support::WriteInput(name, data + 1, size - 1);
  const int back = ::open(".", O_RDONLY | O_DIRECTORY);
  if (back < 0 || ::chdir(Folder().c_str()) != 0) std::abort();
  ReadList(name, data[0]);
  if (::fchdir(back) != 0) std::abort();
  ::close(back);
  return 0;
}

namespace {

void ReadList(const std::string& name, uint8_t flags) {
  const int32_t rate = (flags & 1) != 0 ? 11025 : 0;
  const int32_t bits = (flags & 2) != 0 ? 16 : 0;
  const int32_t start = (flags & 4) != 0 ? 30 : 0;
  const int32_t end = (flags & 8) != 0 ? 90 : 0;
  SFile* s = SFileOpen(name.c_str(), rate, bits, 0, start, end, 0, 0, 0, nullptr);
  if (s == nullptr) return;
  if (s->kind != SFILE_LIST || s->frame_size <= 0) std::abort();
  std::vector<uint8_t> piece(1031);
  for (int pass = 0; pass < 2; ++pass) {
    uint64_t total = 0;
    for (;;) {
      const uint32_t got = SFileGet(s, piece.data(), static_cast<uint32_t>(piece.size()));
      if (got % static_cast<uint32_t>(s->frame_size) != 0) std::abort();
      total += got;
      if (total > s->length) std::abort();
      if (got == 0) break;
    }
    if (s->at_end == 0) std::abort();
    SFileReset(s);
  }
  SFileClose(s);
}

}  // namespace
