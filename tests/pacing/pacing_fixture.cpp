#include "pacing_fixture.h"

#include <random>

#include "platform/clock.h"
#include "platform/sound_device.h"
#include "playback/video.h"
#include "sound/sound.h"

namespace pacing_test {

std::vector<vidzotools::AnimationFrame> RandomAnimation(uint32_t w, uint32_t h, uint32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<vidzotools::AnimationFrame> frames(n);
  std::array<uint8_t, 768> palette{};
  for (size_t i = 0; i < palette.size(); ++i)
    palette[i] = vidzotools::ExpandComponent(static_cast<uint8_t>(rng()));
  for (uint32_t f = 0; f < n; ++f) {
    auto& frame = frames[f];
    frame.palette = palette;
    if (f == 0) {
      frame.pixels.resize(size_t{w} * h);
      for (auto& p : frame.pixels) p = static_cast<uint8_t>(rng() % 16);
      continue;
    }
    frame.pixels = frames[f - 1].pixels;
    if (rng() % 5 == 0) continue;  // unchanged
    const uint32_t patches = 1 + rng() % 4;
    for (uint32_t k = 0; k < patches; ++k) {
      const uint32_t pw = 1 + rng() % std::max<uint32_t>(1, w / 3),
                     ph = 1 + rng() % std::max<uint32_t>(1, h / 3);
      const uint32_t x0 = rng() % (w - std::min(pw, w - 1)), y0 = rng() % (h - std::min(ph, h - 1));
      const uint8_t colour = static_cast<uint8_t>(16 + rng() % 200);
      for (uint32_t y = y0; y < std::min(h, y0 + ph); ++y)
        for (uint32_t x = x0; x < std::min(w, x0 + pw); ++x) frame.pixels[size_t{y} * w + x] = colour;
    }
  }
  return frames;
}

vidzotools::VdzContent Encode(uint32_t w, uint32_t h, const std::vector<vidzotools::AnimationFrame>& frames,
                              int32_t frame_rate) {
  vidzotools::AnimationOptions options;
  options.frame_rate = frame_rate;
  vidzotools::VdzContent content;
  std::string error;
  EXPECT_TRUE(vidzotools::EncodeAnimation(w, h, frames, options, content, error)) << error;
  return content;
}

std::vector<uint8_t> Tone(uint32_t frame, uint32_t n) {
  std::vector<uint8_t> out(n);
  for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(1 + (frame * 13 + i) % 120);
  return out;
}

void AddRawSound(vidzotools::VdzContent& c, uint32_t rate, const std::vector<uint32_t>& chunk_sizes) {
  c.audio_format[0] = VDZ_AUDIO_PRESENT | rate;
  for (size_t i = 0; i < c.frames.size() && i < chunk_sizes.size(); ++i) {
    if (chunk_sizes[i] == 0) continue;
    vidzotools::VdzAudioChunk a;
    a.track = 0;
    a.body = Tone(static_cast<uint32_t>(i), chunk_sizes[i]);
    a.decoded_size = chunk_sizes[i];
    c.frames[i].audio.push_back(std::move(a));
  }
}

void PacingTest::Tick(uint32_t ms) {
  platform::AdvanceFakeClock(ms);
}

uint32_t PacingTest::Now() {
  return platform::TimeMs();
}

void PacingTest::SetUp() {
  VidzoSoundResetForTests();
  platform::UseVirtualSound(true, {.fail_open = false, .blocks_never_end = false, .timer_threads = false});
  platform::SetFakeClock(kStartMs);
  VidzoSoundInstall();
}

void PacingTest::TearDown() {
  for (VidzoHandle* h : open_) VidzoClose(h);
  open_.clear();
  VidzoSoundResetForTests();
  platform::UseRealClock();
  platform::UseVirtualSound(false);
}

std::string PacingTest::Write(const vidzotools::VdzContent& c) {
  std::string name = dir_.File("p" + std::to_string(files_++) + ".vdz");
  std::string error;
  EXPECT_TRUE(vidzotools::WriteVdzFile(name, c, error)) << error;
  return name;
}

VidzoHandle* PacingTest::Open(const vidzotools::VdzContent& c, uint32_t flags, uint32_t extra_buffer) {
  const std::string name = Write(c);
  VidzoHandle* h = VidzoOpen(name.c_str(), flags, extra_buffer);
  EXPECT_NE(h, nullptr);
  if (h != nullptr) open_.push_back(h);
  return h;
}

void PacingTest::Attach(VidzoHandle* h, Screen& screen, uint32_t left, uint32_t top, uint32_t margin) {
  screen.left = left;
  screen.top = top;
  screen.pitch = left + h->Width + margin;
  screen.rows = top + h->Height + margin;
  screen.pixels.assign(size_t{screen.pitch} * screen.rows, 0xEE);
  ASSERT_EQ(VidzoSetDestination(h, left, top, static_cast<int32_t>(screen.pitch), screen.rows,
                                screen.pixels.data(), 0),
            1);
}

std::vector<uint8_t> PacingTest::Picture(const VidzoHandle* h, const Screen& screen) {
  const uint32_t rows = (h->OpenFlags & (OPEN_Y_INTERLACE | OPEN_Y_DOUBLE)) ? h->Height / 2 : h->Height;
  const uint32_t step = (h->OpenFlags & (OPEN_Y_INTERLACE | OPEN_Y_DOUBLE)) ? 2 : 1;
  std::vector<uint8_t> out;
  out.reserve(size_t{h->Width} * rows);
  for (uint32_t y = 0; y < rows; ++y) {
    const uint8_t* row = screen.pixels.data() + size_t{screen.top + y * step} * screen.pitch + screen.left;
    out.insert(out.end(), row, row + h->Width);
  }
  return out;
}

}  // namespace pacing_test
