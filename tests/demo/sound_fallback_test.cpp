// Sound on a machine without a sound card: when SDL's audio cannot start or
// no device opens, and the user chose no driver, the sound goes to SDL's
// dummy driver, which still takes it at its real rate. Each case runs in a
// child process of its own, since SDL's audio starts once per process.
#include <SDL2/SDL_audio.h>
#include <SDL2/SDL_hints.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/debuglog.h"
#include "platform/sound_device.h"
#include "support/temp_dir.h"
#include "tools/lib/file_bytes.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Exit(int code, const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::fflush(stderr);
  std::_Exit(code);
}

// In the child: the debug log on or off into `log`, no driver chosen by the
// user, and `driver` as the one SDL would pick by itself.
void Prepare(const std::string& log, bool debug, const char* driver) {
  setenv("VIDZOER_DEBUG_LOG", log.c_str(), 1);
  setenv("VIDZOER_DEBUG", debug ? "1" : "0", 1);
  platform::ResetDebugForTests();
  platform::UseVirtualSound(false);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("VIDZOER_SOUND_CAPTURE");
  SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
}

// Plays 0.4 s of 8-bit mono sound through a wave-output device and exits 0
// when it played on the dummy driver at no more than its real rate.
[[noreturn]] void PlayAndExit() {
  platform::PcmFormat format;
  format.rate = 11025;
  int error = 0;
  auto device = platform::OpenWaveOut(format, &error);
  if (!device) Exit(2, "no device opened");
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver == nullptr || std::strcmp(driver, "dummy") != 0) Exit(3, "not the dummy driver");
  std::vector<uint8_t> sound(format.rate * 4 / 10, 0x80);
  platform::WaveBlock block;
  block.data = sound.data();
  block.length = static_cast<uint32_t>(sound.size());
  const auto start = Clock::now();
  if (!device->Write(&block)) Exit(4, "the block was refused");
  while (!block.done.load()) {
    if (Clock::now() - start > std::chrono::seconds(10)) Exit(5, "the sound never played");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    device->Poll();
  }
  if (Clock::now() - start < std::chrono::milliseconds(300)) Exit(6, "0.4 s of sound played in under 0.3 s");
  device.reset();
  Exit(0, "played");
}

std::string ReadText(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!vidzotools::ReadFileBytes(name, bytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

TEST(SoundFallbackDeathTest, AudioThatCannotStartGivesWayToTheDummyDriver) {
  vidzoer_test::TempDir dir;
  const std::string log = dir.File("debug.log");
  EXPECT_EXIT(
      {
        Prepare(log, true, "no-such-driver");
        PlayAndExit();
      },
      ::testing::ExitedWithCode(0), "played");
  const std::string text = ReadText(log);
  EXPECT_NE(text.find("the audio cannot start"), std::string::npos) << text;
  EXPECT_NE(text.find("dummy driver"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
}

TEST(SoundFallbackDeathTest, ADeviceThatCannotOpenGivesWayToTheDummyDriver) {
  vidzoer_test::TempDir dir;
  const std::string log = dir.File("debug.log");
  EXPECT_EXIT(
      {
        Prepare(log, true, "disk");
        // The disk driver starts but cannot open its file, as a driver whose
        // card is missing starts but opens no device.
        setenv("SDL_DISKAUDIOFILE", dir.File("no/such/folder/out.raw").c_str(), 1);
        PlayAndExit();
      },
      ::testing::ExitedWithCode(0), "played");
  const std::string text = ReadText(log);
  EXPECT_NE(text.find("no sound device opens"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
}

TEST(SoundFallbackDeathTest, TheFallbackIsSilentWithoutTheDebugLog) {
  vidzoer_test::TempDir dir;
  const std::string log = dir.File("debug.log");
  EXPECT_EXIT(
      {
        Prepare(log, false, "no-such-driver");
        PlayAndExit();
      },
      ::testing::ExitedWithCode(0), "played");
  EXPECT_EQ(ReadText(log), "");
}

// A driver the user named is used or nothing is.
TEST(SoundFallbackDeathTest, ADriverTheUserChoseIsNotReplaced) {
  vidzoer_test::TempDir dir;
  const std::string log = dir.File("debug.log");
  EXPECT_EXIT(
      {
        Prepare(log, true, "no-such-driver");
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        platform::PcmFormat format;
        format.rate = 11025;
        int error = 0;
        if (platform::OpenWaveOut(format, &error)) Exit(1, "a device opened");
        if (platform::OpenRingDevice(format, 4096, &error)) Exit(1, "a ring device opened");
        Exit(error == 6 ? 0 : 1, error == 6 ? "refused" : "another error");
      },
      ::testing::ExitedWithCode(0), "refused");
  EXPECT_EQ(ReadText(log), "");
}

// The ring device falls back too, and plays its ring on the dummy driver.
TEST(SoundFallbackDeathTest, TheRingDeviceFallsBackAndPlays) {
  vidzoer_test::TempDir dir;
  EXPECT_EXIT(
      {
        Prepare(dir.File("debug.log"), false, "no-such-driver");
        platform::PcmFormat format;
        format.rate = 11025;
        int error = 0;
        auto ring = platform::OpenRingDevice(format, 11025, &error);
        if (!ring) Exit(2, "no ring device opened");
        ring->PlayLooping();
        const auto start = Clock::now();
        while (ring->PlayPosition() == 0) {
          if (Clock::now() - start > std::chrono::seconds(10)) Exit(5, "the ring never moved");
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ring.reset();
        Exit(0, "played");
      },
      ::testing::ExitedWithCode(0), "played");
}

}  // namespace
