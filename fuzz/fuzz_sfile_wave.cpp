// Opens arbitrary bytes as a sound file through SFileOpen (a wave file, or a
// headerless PCM file when the first byte asks for one; the .vdz and AVI
// readers get their turn when it is not a wave file) with output options
// taken from the input, and reads the sound in pieces: every piece is whole
// output frames, no larger than asked, and the sound ends within the bound
// its length gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/temp_file.h"
#include "qelutil/qelutil.h"

namespace {

constexpr int32_t kRates[8] = {0, 0, 8000, 11025, 22050, 44100, 1000, 48000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t a = data[0], b = data[1], c = data[2], d = data[3];
  const int32_t rate = kRates[a & 7];
  const int32_t bits = (a & 8) != 0 ? 8 : (a & 16) != 0 ? 16 : 0;
  const int32_t channels = (a >> 5) & 3;
  const int32_t start = (b & 0x80) != 0 ? -(b & 0x7F) : (b & 0x7F) * 3;
  const int32_t end = (c & 0x80) != 0 ? -(c & 0x7F) : (c & 0x7F) * 7;
  const uint32_t raw = (d & 1) != 0 ? ((d >> 1) & 7) + 8u * static_cast<uint32_t>(kRates[(d >> 4) & 7]) : 0;
  const uint32_t skip = (d & 1) != 0 ? d : 0;
  const std::string& name = fuzz_support::InputFile(".wav");
  fuzz_support::WriteInput(name, data + 4, size - 4);
  SFile* s = SFileOpen(name.c_str(), rate, bits, channels, start, end, 0, raw, skip, nullptr);
  if (s == nullptr) return 0;
  if (s->frame_size <= 0 || s->source_frame_size <= 0 || s->source_rate <= 0) std::abort();
  // Output frames: the source frames scaled by the rates, and one more.
  const uint64_t in_frames = s->length / static_cast<uint32_t>(s->source_frame_size) + 1;
  const uint64_t bound = (in_frames * static_cast<uint32_t>(s->rate) / static_cast<uint32_t>(s->source_rate) + 2) *
                         static_cast<uint32_t>(s->frame_size);
  std::vector<uint8_t> piece(4099);
  for (int pass = 0; pass < 2; ++pass) {
    uint64_t total = 0;
    uint32_t ask = 1 + (size % 4099);
    for (;;) {
      const uint32_t got = SFileGet(s, piece.data(), ask);
      if (got > ask || got % static_cast<uint32_t>(s->frame_size) != 0) std::abort();
      total += got;
      if (total > bound) std::abort();
      if (got == 0 && ask >= static_cast<uint32_t>(s->frame_size)) break;
      ask = ask % 4099 + 1;
    }
    if (s->at_end == 0) std::abort();
    SFileReset(s);
  }
  SFileClose(s);
  return 0;
}
