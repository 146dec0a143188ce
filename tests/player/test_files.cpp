#include "test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tools/lib/block_encoder.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/vdz_writer.h"

namespace player_test {

void WriteTestVdz(const std::string& name, const TestFile& shape) {
  std::vector<vidzotools::AnimationFrame> frames;
  for (int f = 0; f < shape.frames; ++f) {
    vidzotools::AnimationFrame frame;
    frame.pixels.assign(static_cast<size_t>(shape.width) * shape.height, 1);
    // A 4 x 4 square of colour 2 moving right one block per frame.
    const uint32_t x0 = (static_cast<uint32_t>(f) * 4) % shape.width;
    for (uint32_t y = 0; y < 4 && y < shape.height; ++y)
      for (uint32_t x = x0; x < x0 + 4; ++x) frame.pixels[y * shape.width + x] = 2;
    if (f >= shape.busy_from && f < shape.busy_to) {
      for (size_t i = 0; i < frame.pixels.size(); ++i)
        frame.pixels[i] = static_cast<uint8_t>((i * 7 + f * 13) % 61);
    }
    for (int c = 0; c < 256; ++c)
      for (int k = 0; k < 3; ++k)
        frame.palette[c * 3 + k] = vidzotools::ExpandComponent(static_cast<uint8_t>(c % 64));
    frames.push_back(std::move(frame));
  }
  vidzotools::AnimationOptions options;
  options.frame_rate = shape.frame_rate;
  vidzotools::VdzContent content;
  std::string error;
  ASSERT_TRUE(vidzotools::EncodeAnimation(shape.width, shape.height, frames, options, content, error))
      << error;
  if (shape.sound) {
    vidzotools::WaveSound wave;
    wave.rate = 8000;
    wave.bits = 8;
    wave.channels = 1;
    const uint64_t samples = uint64_t{8000} * static_cast<uint64_t>(shape.frame_rate) * shape.frames / 1000;
    for (uint64_t i = 0; i < samples; ++i) wave.pcm.push_back(static_cast<uint8_t>(128 + (i % 32) - 16));
    ASSERT_TRUE(vidzotools::AddSoundTrack(content, 0, wave, {}, error)) << error;
  }
  ASSERT_TRUE(vidzotools::WriteVdzFile(name, content, error)) << error;
}

std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint32_t> FrameSizes(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadBytes(name);
  std::vector<uint32_t> sizes;
  if (bytes.size() < 104) return sizes;
  const uint32_t count =
      bytes[12] | bytes[13] << 8 | bytes[14] << 16 | static_cast<uint32_t>(bytes[15]) << 24;
  for (uint32_t i = 0; i < count && 104 + 4 * i + 4 <= bytes.size(); ++i) {
    const uint8_t* p = bytes.data() + 104 + 4 * i;
    sizes.push_back(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
  }
  return sizes;
}

}  // namespace player_test
