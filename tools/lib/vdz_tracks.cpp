#include "tools/lib/vdz_tracks.h"

#include <algorithm>
#include <vector>

#include "playback/audio.h"
#include "tools/lib/vdz_frames.h"

namespace vidzotools {
namespace {

// The largest chunk that is decoded (64 MiB): more than any player's sound
// buffer holds (a track's buffer stays under 17 MB), and little enough that a
// small file claiming chunks of this size costs a fraction of a second a frame.
constexpr uint32_t kLargestDecoded = 1u << 26;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Exists(const VidzoHandle* h, int t) {
  return (h->AudioFormat[t] & VDZ_AUDIO_PRESENT) != 0;
}

}  // namespace

bool DecodeVdzTracks(VidzoHandle* h, const std::string& name, const VdzTrackSink& sink, std::string& warning,
                     std::string& error) {
  for (int t = 0; t < VDZ_TRACKS; ++t) {
    if (Exists(h, t) && h->AudioMaxSize[t] > kLargestDecoded) {
      error = name + ": sound track " + std::to_string(t) + " claims chunks of " +
              std::to_string(h->AudioMaxSize[t]) + " bytes, too large to decode";
      return false;
    }
  }
  std::vector<uint8_t> buffer;
  return StepVdzFrames(
      h, name, false,
      [&](uint32_t frame, std::string& message) {
        for (int t = 0; t < VDZ_TRACKS; ++t) {
          const uint8_t* chunk = h->AudioChunk[t];
          if (chunk == nullptr || !Exists(h, t)) continue;
          const uint32_t available = h->CurrentFrameSize - static_cast<uint32_t>(chunk - h->CurrentChunk);
          const uint32_t format = h->AudioFormat[t];
          const uint32_t length = Le32(chunk);
          const bool compressed = (format & VDZ_AUDIO_COMPRESSED) != 0;
          const uint32_t claimed = compressed ? (length >= 8 ? Le32(chunk + 4) : 0) : length - 4;
          const uint32_t room = h->AudioMaxSize[t];
          if (claimed > room) {
            warning += "frame " + std::to_string(frame) + ", track " + std::to_string(t) + ": the chunk of " +
                       std::to_string(claimed) + " bytes is cut to the track's largest chunk, " +
                       std::to_string(room) + " bytes\n";
          }
          // A buffer of the claimed size cuts the chunk just as one of the
          // track's largest chunk would; it grows only as chunks need.
          const uint32_t need = std::min(claimed, room);
          if (need == 0) continue;
          if (buffer.size() < need) buffer.resize(need);
          // A chunk marked as holding no data still counts; its span is
          // given as zero bytes.
          std::fill(buffer.begin(), buffer.begin() + need, 0);
          const uint32_t n = VidzoPutAudioChunk(chunk, available, format, nullptr, buffer.data(),
                                                buffer.data() + need, buffer.data());
          if (!sink(t, buffer.data(), n, message)) return false;
        }
        return true;
      },
      error);
}

}  // namespace vidzotools
