#include "vdz_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/debuglog.h"
#include "platform/file.h"
#include "playback/container.h"

namespace vdztest {

std::vector<uint8_t> VideoBytes(uint32_t i, size_t size) {
  std::vector<uint8_t> v(size);
  uint32_t x = i * 2654435761u + 12345u;
  for (size_t k = 0; k < size; ++k) {
    x = x * 1103515245u + 12345u;
    v[k] = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

vidzotools::VdzContent MakeContent(const std::vector<size_t>& sizes, uint32_t count, int32_t frame_rate) {
  vidzotools::VdzContent c;
  c.width = 32;
  c.height = 16;
  c.frame_rate = frame_rate;
  uint8_t black[768] = {};
  uint8_t grey[768];
  for (int i = 0; i < 768; ++i) grey[i] = vidzotools::ExpandComponent(static_cast<uint8_t>((i / 3) % 64));
  for (uint32_t i = 0; i < count; ++i) {
    vidzotools::VdzFrame f;
    if (i == 0) f.palette = vidzotools::EncodePaletteChunk(black, grey);
    f.video = VideoBytes(i, sizes[i % sizes.size()]);
    c.frames.push_back(std::move(f));
  }
  return c;
}

std::vector<uint8_t> Build(const vidzotools::VdzContent& c) {
  std::vector<uint8_t> out;
  std::string error;
  if (!vidzotools::BuildVdz(c, out, error)) throw std::runtime_error(error);
  return out;
}

void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Advance(VidzoHandle* h) {
  VidzoStepFrame(h);
}

std::vector<uint8_t> CurrentRecord(const VidzoHandle* h) {
  return std::vector<uint8_t>(h->CurrentChunk, h->CurrentChunk + h->CurrentFrameSize);
}

std::vector<uint8_t> RecordOf(const std::vector<uint8_t>& file, uint32_t i) {
  uint32_t n = vidzo::LoadLe32(file.data() + 12) + (vidzo::LoadLe32(file.data() + 20) & 1);
  uint32_t trees = vidzo::LoadLe32(file.data() + 52);
  size_t offset = 104 + 5 * size_t{n} + trees;
  for (uint32_t k = 0; k < i; ++k) offset += vidzo::LoadLe32(file.data() + 104 + 4 * k);
  uint32_t size = vidzo::LoadLe32(file.data() + 104 + 4 * i);
  return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offset),
                              file.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

LogCapture::LogCapture() {
  char name[] = "/tmp/vidzo-log-XXXXXX";
  int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  path_ = name;
  ::setenv("VIDZOER_DEBUG", "1", 1);
  ::setenv("VIDZOER_DEBUG_LOG", path_.c_str(), 1);
  platform::ResetDebugForTests();
}

LogCapture::~LogCapture() {
  ::setenv("VIDZOER_DEBUG", "0", 1);
  ::unsetenv("VIDZOER_DEBUG_LOG");
  platform::ResetDebugForTests();
  std::remove(path_.c_str());
}

std::string LogCapture::Text() const {
  std::ifstream f(path_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace vdztest
