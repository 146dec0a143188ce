// How far the picture is from its sound: the player runs in-process on SDL's
// dummy video driver and disk audio driver, on a file whose every frame
// starts its sound with a click. The time each frame is shown is taken from
// the player's frame hook, the time its click leaves the device from the
// moment the device takes it (the disk driver writes what it takes at once).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound_device.h"
#include "player/window/player_main.h"
#include "sound/sound.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"
#include "tools/lib/ppm.h"

namespace {

using Clock = std::chrono::steady_clock;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::TempDir;

constexpr uint8_t kClick = 0xFF;  // 8-bit sound: silence is 0x80

std::mutex g_mutex;
std::vector<Clock::time_point> g_clicks;  // when each click was taken, in order

void TakeObserver(int /*device*/, const uint8_t* data, uint32_t n) {
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(g_mutex);
  for (uint32_t i = 0; i < n; ++i)
    if (data[i] == kClick) g_clicks.push_back(now);
}

struct Offsets {
  double median_ms = 0;
  double worst_ms = 0;
  size_t count = 0;
};

// Plays `vdz` with `output` switches and gives the offsets from each frame's
// showing to its click leaving the device (positive: the picture first).
Offsets Measure(const std::string& output, const std::string& vdz, const std::string& capture) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_clicks.clear();
  }
  std::vector<Clock::time_point> shown;
  vidzoplay::PlayerMainOptions options;
  options.frame_hook = [&shown](const VidzoHandle&) { shown.push_back(Clock::now()); };
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  VidzoSoundResetForTests();  // the output is chosen again
  platform::SetSoundTakeObserver(TakeObserver);
  std::vector<const char*> argv{"vidzoplw"};
  if (!output.empty()) argv.push_back(output.c_str());
  argv.push_back(vdz.c_str());
  const int code = vidzoplay::PlayerMain(static_cast<int>(argv.size()), argv.data(), options);
  platform::SetSoundTakeObserver(nullptr);
  unsetenv("SDL_DISKAUDIOFILE");
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_VIDEODRIVER");
  EXPECT_EQ(code, 0);
  std::vector<double> offsets;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (size_t i = 0; i < std::min(shown.size(), g_clicks.size()); ++i)
    offsets.push_back(std::chrono::duration<double, std::milli>(g_clicks[i] - shown[i]).count());
  Offsets o;
  o.count = offsets.size();
  if (offsets.empty()) return o;
  std::vector<double> magnitude;
  for (double v : offsets) magnitude.push_back(std::abs(v));
  std::sort(offsets.begin(), offsets.end());
  o.median_ms = offsets[offsets.size() / 2];
  o.worst_ms = *std::max_element(magnitude.begin(), magnitude.end());
  return o;
}

// 100 frames of 40 ms, each of whose sound begins with a click, as vdzenc
// codes them (with its sound lead).
TEST(PlayerSync, EachFrameIsShownWithin40MsOfItsSound) {
  TempDir dir;
  const uint32_t frames = 100, rate = 22050, span = rate * 40 / 1000;  // 882 samples
  std::filesystem::create_directories(dir.File("frames"));
  for (uint32_t i = 0; i < frames; ++i) {
    vidzotools::RgbPicture p{16, 16, std::vector<uint8_t>(16 * 16 * 3, static_cast<uint8_t>(i * 37))};
    char name[32];
    std::snprintf(name, sizeof name, "f%05u.ppm", i);
    std::string error;
    ASSERT_TRUE(vidzotools::WritePpmFile(dir.File("frames") + "/" + name, p, error)) << error;
  }
  std::vector<uint8_t> pcm(size_t{frames} * span, 0x80);
  for (uint32_t i = 0; i < frames; ++i) pcm[size_t{i} * span] = kClick;
  vidzoer_test::WriteWaveFile(dir.File("clicks.wav"), rate, 8, 1, pcm);
  const std::string vdz = dir.File("clicks.vdz");
  const auto made = RunProgram(dir, "vdzenc",
                               "--frame-rate 40 --sound " + Quote(dir.File("clicks.wav")) + " " +
                                   Quote(dir.File("frames")) + " " + Quote(vdz));
  ASSERT_EQ(made.exit_code, 0) << made.err;
  for (const std::string output : {"", "/Z"}) {
    SCOPED_TRACE("output " + output);
    const Offsets o = Measure(output, vdz, dir.File("capture.raw"));
    std::printf("picture to sound, output %s: median %.1f ms, worst %.1f ms over %zu frames\n",
                output.empty() ? "wave" : output.c_str(), o.median_ms, o.worst_ms, o.count);
    EXPECT_EQ(o.count, frames);
    EXPECT_LE(std::abs(o.median_ms), 40.0);
    EXPECT_LE(o.worst_ms, 40.0);
  }
}

}  // namespace
