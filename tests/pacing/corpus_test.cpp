// The seed files of the play-loop fuzz corpus (fuzz/corpus/playloop/), made
// by the encoder and the writer. With VIDZOER_WRITE_CORPUS set to a folder
// the seeds are written there; the test always checks that the committed
// seeds are the same bytes and that they play.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "pacing_fixture.h"

namespace pacing_test {
namespace {

std::vector<uint8_t> Bytes(const vidzotools::VdzContent& c) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(vidzotools::BuildVdz(c, out, error)) << error;
  return out;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> Seeds() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
  // Timed, a new palette at frame 3, and the ring frame.
  auto frames = RandomAnimation(36, 8, 6, 71);
  for (size_t i = 0; i < 30; ++i) frames[3].palette[i] = vidzotools::ExpandComponent(static_cast<uint8_t>(i));
  for (size_t f = 4; f < frames.size(); ++f) frames[f].palette = frames[3].palette;
  vidzotools::AnimationOptions options;
  options.frame_rate = 10;
  options.ring = true;
  vidzotools::VdzContent ring;
  std::string error;
  EXPECT_TRUE(vidzotools::EncodeAnimation(36, 8, frames, options, ring, error)) << error;
  seeds.emplace_back("ring_palette.vdz", Bytes(ring));
  // A sound track, one frame without a chunk.
  auto sound = Encode(16, 8, RandomAnimation(16, 8, 4, 72), 100);
  AddRawSound(sound, 5000, {500, 0, 500, 500});
  seeds.emplace_back("sound.vdz", Bytes(sound));
  // Untimed, change-map groups that wrap into the next block row.
  seeds.emplace_back("wide.vdz", Bytes(Encode(100, 12, RandomAnimation(100, 12, 5, 73), 0)));
  return seeds;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST_F(PacingTest, FuzzSeedsAreTheWritersFilesAndPlay) {
  const char* out = std::getenv("VIDZOER_WRITE_CORPUS");
  // This file is tests/pacing/ of the source tree.
  const std::filesystem::path committed =
      std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz/corpus/playloop";
  for (const auto& [name, bytes] : Seeds()) {
    SCOPED_TRACE(name);
    if (out != nullptr) {
      std::ofstream f(std::string(out) + "/" + name, std::ios::binary);
      f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    EXPECT_EQ(ReadFile(committed / name), bytes);
    const std::string file = dir_.File(name);
    {
      std::ofstream f(file, std::ios::binary);
      f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    VidzoHandle* h = VidzoOpen(file.c_str(), OPEN_PRELOAD, 0xFFFFFFFFu);
    ASSERT_NE(h, nullptr);
    open_.push_back(h);
    Screen screen;
    Attach(h, screen, 3, 1);
    vidzoer_test::LoopOptions o;
    o.frames = h->FrameCount + 1;
    o.idle = [] { Tick(); };
    const auto r = vidzoer_test::PlayLoop(h, o);
    EXPECT_FALSE(r.gave_up);
    EXPECT_FALSE(r.frames[0].rects.empty());
  }
}

}  // namespace
}  // namespace pacing_test
