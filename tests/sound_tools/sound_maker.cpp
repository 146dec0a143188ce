#include "sound_tools/sound_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"

namespace sound_test {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

Signal Empty(uint32_t rate, uint32_t frames) {
  Signal s;
  s.rate = rate;
  s.left.assign(frames, 0);
  s.right.assign(frames, 0);
  return s;
}

}  // namespace

int32_t Pcm::Sample(uint64_t i, uint32_t channel) const {
  const uint8_t* p = bytes.data() + i * FrameBytes() + channel * (bits / 8);
  return bits == 8 ? p[0] : static_cast<int16_t>(p[0] | (p[1] << 8));
}

Pcm ToFormat(const Signal& s, uint32_t bits, uint32_t channels) {
  Pcm p{s.rate, bits, channels, {}};
  for (size_t i = 0; i < s.left.size(); ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      const int16_t v = c == 0 ? s.left[i] : s.right[i];
      if (bits == 8) {
        p.bytes.push_back(static_cast<uint8_t>(((v >> 8) + 128) & 0xFF));
      } else {
        Put16(p.bytes, static_cast<uint16_t>(v));
      }
    }
  }
  return p;
}

std::vector<Pcm> AllFormats(const Signal& s) {
  return {ToFormat(s, 8, 1), ToFormat(s, 8, 2), ToFormat(s, 16, 1), ToFormat(s, 16, 2)};
}

Signal RandomNoise(uint32_t rate, uint32_t frames, uint32_t seed) {
  Signal s = Empty(rate, frames);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> any(-32768, 32767);
  for (uint32_t i = 0; i < frames; ++i) {
    s.left[i] = static_cast<int16_t>(any(rng));
    s.right[i] = static_cast<int16_t>(any(rng));
  }
  return s;
}

Signal SineSweep(uint32_t rate, uint32_t frames) {
  Signal s = Empty(rate, frames);
  const double pi = std::acos(-1.0);
  double phase = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    // 50 Hz rising to just under half the rate.
    const double f = 50.0 + (rate * 0.45 - 50.0) * i / frames;
    phase += 2 * pi * f / rate;
    s.left[i] = static_cast<int16_t>(std::lround(26000 * std::sin(phase)));
    s.right[i] = static_cast<int16_t>(std::lround(20000 * std::cos(1.5 * phase)));
  }
  return s;
}

Signal Silence(uint32_t rate, uint32_t frames) {
  return Empty(rate, frames);
}

Signal FullScaleSquare(uint32_t rate, uint32_t frames) {
  Signal s = Empty(rate, frames);
  for (uint32_t i = 0; i < frames; ++i) {
    s.left[i] = (i / 20) % 2 ? int16_t{32767} : int16_t{-32768};
    s.right[i] = (i / 7) % 2 ? int16_t{-32768} : int16_t{32767};
  }
  return s;
}

Signal DcOffsets(uint32_t rate, uint32_t frames) {
  Signal s = Empty(rate, frames);
  const int16_t levels[] = {12345, -20000, 32767, -32768, 1, -1, 0};
  for (uint32_t i = 0; i < frames; ++i) {
    s.left[i] = levels[(i * 7 / frames) % 7];
    s.right[i] = levels[6 - (i * 7 / frames) % 7];
  }
  return s;
}

std::vector<uint8_t> WaveBytes(const Pcm& pcm) {
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F'};
  Put32(w, static_cast<uint32_t>(36 + pcm.bytes.size()));
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(w, 16);
  Put16(w, 1);
  Put16(w, pcm.channels);
  Put32(w, pcm.rate);
  Put32(w, pcm.rate * pcm.FrameBytes());
  Put16(w, pcm.FrameBytes());
  Put16(w, pcm.bits);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  Put32(w, static_cast<uint32_t>(pcm.bytes.size()));
  w.insert(w.end(), pcm.bytes.begin(), pcm.bytes.end());
  return w;
}

void WriteWave(const std::string& name, const Pcm& pcm) {
  ASSERT_TRUE(vidzotools::WriteFileBytes(name, WaveBytes(pcm))) << name;
}

RunResult RunTool(const vidzoer_test::TempDir& dir, const std::string& program, const std::string& args) {
  return vidzoer_test::RunProgram(dir, program, args);
}

void WritePictures(const std::filesystem::path& folder, int count) {
  std::filesystem::create_directories(folder);
  std::string error;
  for (int i = 0; i < count; ++i) {
    vidzotools::RgbPicture p{8, 8, std::vector<uint8_t>(8 * 8 * 3)};
    for (size_t k = 0; k < 64; ++k) {
      const uint8_t v = static_cast<uint8_t>(((k + i) % 4) * 64);
      p.rgb[3 * k] = v;
      p.rgb[3 * k + 1] = static_cast<uint8_t>(255 - v);
      p.rgb[3 * k + 2] = static_cast<uint8_t>(i * 8);
    }
    char name[32];
    std::snprintf(name, sizeof name, "f%05d.ppm", i);
    ASSERT_TRUE(vidzotools::WritePpmFile((folder / name).string(), p, error)) << error;
  }
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace sound_test
