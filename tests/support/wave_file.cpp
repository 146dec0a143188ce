#include "support/wave_file.h"

#include <fstream>
#include <random>

namespace vidzoer_test {

void WriteWaveFile(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels,
                   const std::vector<uint8_t>& pcm) {
  std::vector<uint8_t> w;
  auto u32 = [&w](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&w](uint16_t v) {
    w.push_back(static_cast<uint8_t>(v));
    w.push_back(static_cast<uint8_t>(v >> 8));
  };
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  u32(36 + static_cast<uint32_t>(pcm.size()));
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  u32(16);
  u16(1);
  u16(channels);
  u32(rate);
  const auto align = static_cast<uint16_t>(channels * bits / 8);
  u32(rate * align);
  u16(align);
  u16(bits);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  u32(static_cast<uint32_t>(pcm.size()));
  w.insert(w.end(), pcm.begin(), pcm.end());
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(w.data()), std::streamsize(w.size()));
}

std::vector<uint8_t> NoiseBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(random() >> 7);
  return out;
}

std::vector<uint8_t> TrimSilence(std::vector<uint8_t> b, uint8_t silence) {
  size_t first = 0;
  while (first < b.size() && b[first] == silence) ++first;
  size_t last = b.size();
  while (last > first && b[last - 1] == silence) --last;
  return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(first),
                              b.begin() + static_cast<std::ptrdiff_t>(last));
}

}  // namespace vidzoer_test
