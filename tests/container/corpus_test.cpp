// The seed files of the .vdz open fuzz corpus (fuzz/corpus/vdzopen/), made by
// the writer. With VIDZOER_WRITE_CORPUS set to a folder the seeds are written
// there; the test always checks that the committed seeds are the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/temp_dir.h"
#include "vdz_fixture.h"

namespace {

std::vector<std::pair<std::string, std::vector<uint8_t>>> Seeds() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
  // Small: preloaded.
  seeds.emplace_back("small.vdz", vdztest::Build(vdztest::MakeContent({40, 7}, 5, 40)));
  // Streamed, with a ring frame.
  auto ring = vdztest::MakeContent({3000, 200, 0}, 9, -2000);
  ring.has_ring = true;
  ring.ring.video = vdztest::VideoBytes(9, 900);
  seeds.emplace_back("ring.vdz", vdztest::Build(ring));
  // Palettes and audio chunks on two tracks, interlaced.
  auto audio = vdztest::MakeContent({64}, 6, 0);
  audio.header_flags = 2;
  audio.audio_format[0] = 0x40000000u | 22050;
  audio.audio_format[5] = 0xF0000000u | 44100;
  uint8_t a[768] = {}, b[768] = {};
  for (int i = 0; i < 768; i += 5) b[i] = 255;
  for (uint32_t i = 0; i < 6; ++i) {
    audio.frames[i].palette = vidzotools::EncodePaletteChunk(i % 2 ? b : a, i % 2 ? a : b);
    if (i % 2 == 0) audio.frames[i].audio.push_back({0, vdztest::VideoBytes(i, 30), 60});
    audio.frames[i].audio.push_back({5, vdztest::VideoBytes(i + 50, 12), 400});
  }
  seeds.emplace_back("audio.vdz", vdztest::Build(audio));
  return seeds;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(FuzzCorpus, SeedsAreTheWritersFilesAndOpen) {
  const char* out = std::getenv("VIDZOER_WRITE_CORPUS");
  // This file is tests/container/ of the source tree.
  std::filesystem::path committed =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz/corpus/vdzopen";
  vidzoer_test::TempDir dir;
  for (const auto& [name, bytes] : Seeds()) {
    if (out != nullptr) vdztest::WriteBytes(std::string(out) + "/" + name, bytes);
    EXPECT_EQ(ReadFile(committed / name), bytes) << name;
    vdztest::WriteBytes(dir.File(name), bytes);
    VidzoHandle* h = VidzoOpen(dir.File(name).c_str(), 0, 0xFFFFFFFFu);
    ASSERT_NE(h, nullptr) << name;
    VidzoClose(h);
  }
}

}  // namespace
