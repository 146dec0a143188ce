// Reads arbitrary text as a sound list file through SFileOpen: entries name
// the small wave files of a folder of its own (a.wav, b.wav, n1.wav to
// n3.wav), with "/S" and "/E" switches, comments and numbered sequences.
// Whatever opens is read to its end twice (with a reset between), in whole
// output frames and within its length.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
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

// The folder of the entries, made once and made current.
bool MakeFolder() {
  char tmpl[] = "/tmp/fuzz_sfile_list_XXXXXX";
  const char* dir = ::mkdtemp(tmpl);
  if (dir == nullptr || ::chdir(dir) != 0) std::abort();
  static std::string folder = dir;
  WriteWave("a.wav", 8000, 8, 1, 800);
  WriteWave("b.wav", 11025, 16, 2, 1000);
  WriteWave("n1.wav", 22050, 16, 1, 300);
  WriteWave("n2.wav", 8000, 8, 2, 200);
  WriteWave("n3.wav", 4000, 8, 1, 50);
  std::atexit([] {
    for (const char* f : {"a.wav", "b.wav", "n1.wav", "n2.wav", "n3.wav"}) ::unlink((folder + "/" + f).c_str());
    ::rmdir(folder.c_str());
  });
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = MakeFolder();
  (void)ready;
  if (size < 1) return 0;
  const std::string& name = fuzz_support::InputFile(".lst");
  fuzz_support::WriteInput(name, data + 1, size - 1);
  const int32_t rate = (data[0] & 1) != 0 ? 11025 : 0;
  const int32_t bits = (data[0] & 2) != 0 ? 16 : 0;
  const int32_t start = (data[0] & 4) != 0 ? 30 : 0;
  const int32_t end = (data[0] & 8) != 0 ? 90 : 0;
  SFile* s = SFileOpen(name.c_str(), rate, bits, 0, start, end, 0, 0, 0, nullptr);
  if (s == nullptr) return 0;
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
  return 0;
}
