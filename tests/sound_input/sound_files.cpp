#include "sound_input/sound_files.h"

#include <random>

#include "support/files.h"
#include "support/wave_file.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/vdz_writer.h"

namespace sound_input_test {

std::vector<uint8_t> ToBytes(const Frames& f, uint32_t bits, uint32_t channels) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < f.size(); ++i) {
    const int32_t v[2] = {f.left[i], f.right[i]};
    for (uint32_t c = 0; c < channels; ++c) {
      if (bits == 8) {
        out.push_back(static_cast<uint8_t>(v[c] / 256 + 128));
      } else {
        out.push_back(static_cast<uint8_t>(v[c] & 0xFF));
        out.push_back(static_cast<uint8_t>((v[c] >> 8) & 0xFF));
      }
    }
  }
  return out;
}

Frames FromBytes(const std::vector<uint8_t>& pcm, uint32_t bits, uint32_t channels) {
  Frames f;
  const size_t frame = channels * bits / 8;
  for (size_t i = 0; i + frame <= pcm.size(); i += frame) {
    int32_t v[2];
    for (uint32_t c = 0; c < channels; ++c) {
      const uint8_t* p = pcm.data() + i + c * bits / 8;
      v[c] = bits == 8 ? (p[0] - 128) * 256 : static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    f.left.push_back(v[0]);
    f.right.push_back(channels == 2 ? v[1] : v[0]);
  }
  return f;
}

Frames RandomFrames(size_t n, uint32_t seed, bool eight_bit) {
  std::mt19937 random(seed);
  Frames f;
  for (size_t i = 0; i < n; ++i) {
    auto value = [&] {
      const int32_t v = static_cast<int32_t>(random() % 65536) - 32768;
      return eight_bit ? v / 256 * 256 : v;
    };
    f.left.push_back(value());
    f.right.push_back(value());
  }
  return f;
}

void WriteWave(const std::string& name, uint32_t rate, uint32_t bits, uint32_t channels,
               const std::vector<uint8_t>& pcm) {
  vidzoer_test::WriteWaveFile(name, rate, static_cast<uint16_t>(bits), static_cast<uint16_t>(channels), pcm);
}

bool WriteVdz(const std::string& name, uint32_t frames, int32_t frame_ms, uint32_t track, uint32_t rate,
              uint32_t bits, uint32_t channels, const std::vector<uint8_t>& pcm, bool raw, std::string& error) {
  vidzotools::VdzContent content;
  content.width = 8;
  content.height = 8;
  content.frame_rate = frame_ms;
  content.frames.resize(frames);
  vidzotools::WaveSound sound;
  sound.rate = rate;
  sound.bits = bits;
  sound.channels = channels;
  sound.pcm = pcm;
  vidzotools::SoundTrackOptions options;
  options.raw = raw;
  return vidzotools::AddSoundTrack(content, track, sound, options, error) &&
         vidzotools::WriteVdzFile(name, content, error);
}

std::vector<uint8_t> ReadAll(SFile* s, uint32_t piece) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> buffer(piece);
  for (int guard = 0; guard < 10000000; ++guard) {
    const uint32_t got = SFileGet(s, buffer.data(), piece);
    out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    if (got == 0 || s->at_end != 0) break;
  }
  return out;
}

std::vector<std::string>& ErrorCatcher::Errors() {
  static std::vector<std::string> errors;
  return errors;
}

uint8_t ErrorCatcher::Take(const char* text, int32_t kind) {
  if (kind == 2) Errors().push_back(text != nullptr ? text : "");
  return 0;
}

}  // namespace sound_input_test
