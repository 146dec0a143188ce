// Parses arbitrary bytes as a RIFF wave file; for the sounds that parse,
// checks what the reader promises and splits the sound over frames at a
// frame period taken from the input, checking that the spans cover the
// sound exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/lib/sound_tracks.h"
#include "tools/lib/wave_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vidzotools::WaveSound sound;
  std::string error, warning;
  if (!vidzotools::ParseWave(data, size, sound, error, warning)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const uint32_t frame = sound.FrameBytes();
  if (frame == 0 || sound.pcm.size() % frame != 0 || sound.pcm.size() > size || sound.rate == 0 ||
      sound.rate > 0xFFFFFFu)
    std::abort();
  const uint64_t period = 1 + (size > 0 ? data[size - 1] * 997u : 0u);
  const size_t frames = 1 + size % 61;
  const auto starts = vidzotools::SoundFrameStarts(sound.Frames(), sound.rate, period, frames);
  if (starts.size() != frames + 1 || starts.front() != 0 || starts.back() != sound.Frames()) std::abort();
  for (size_t i = 0; i < frames; ++i)
    if (starts[i] > starts[i + 1]) std::abort();
  return 0;
}
