// Arbitrary bytes as a .vdz file given to the information tool's sound track
// decoding: the layout check, the open and every chunk of every track decoded
// through the playback library.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/lib/file_bytes.h"
#include "tools/lib/scratch_file.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/vdz_tracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Chunks may claim up to AudioMaxSize bytes from a few bits; keep the
  // buffers small enough for a fast run.
  for (size_t at = 24; at < 52 && at + 4 <= size; at += 4)
    if (data[at + 3] != 0 || data[at + 2] > 0x10) return 0;
  static const vidzotools::ScratchFile file;
  const std::string& name = file.name();
  if (name.empty()) return 0;
  if (!vidzotools::WriteFileBytes(name, std::vector<uint8_t>(data, data + size))) return 0;
  std::string error, warning;
  VidzoHandle* h = vidzotools::OpenVdzChecked(name, error);
  if (h == nullptr) return 0;
  uint64_t total = 0;
  vidzotools::DecodeVdzTracks(
      h, name,
      [&total](int track, const uint8_t* pcm, size_t bytes, std::string&) {
        if (track < 0 || track >= VDZ_TRACKS) std::abort();
        volatile uint8_t sink = bytes != 0 ? pcm[0] ^ pcm[bytes - 1] : 0;
        (void)sink;
        total += bytes;
        return total < (uint64_t{64} << 20);
      },
      warning, error);
  VidzoClose(h);
  return 0;
}
