// The SDL2 sound devices through SDL's "disk" driver: what they write to the
// capture file is what was given to them, with the volume applied.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/sound_device.h"
#include "support/temp_dir.h"

namespace soundtest {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

class SdlDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseVirtualSound(false);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("VIDZOER_SOUND_CAPTURE", (dir_.path() / "capture").c_str(), 1);
  }
  void TearDown() override { unsetenv("VIDZOER_SOUND_CAPTURE"); }

  // The bytes written by the only device opened in this test.
  Bytes Captured() const {
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      std::ifstream in(e.path(), std::ios::binary);
      return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return {};
  }
  vidzoer_test::TempDir dir_;
};

// 16-bit mono samples 1000, -2000, 3000, ... -20000 as little-endian bytes;
// neither they nor their halves hold a zero byte.
Bytes Samples(size_t count) {
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    int16_t s = static_cast<int16_t>((i % 2 ? -1 : 1) * static_cast<int>(1000 * (1 + i % 20)));
    out.push_back(static_cast<uint8_t>(s & 0xFF));
    out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  return out;
}

Bytes Halved(const Bytes& in) {
  Bytes out(in.size());
  for (size_t i = 0; i + 1 < in.size(); i += 2) {
    int16_t s = static_cast<int16_t>(in[i] | in[i + 1] << 8);
    int16_t h = static_cast<int16_t>((s * 32768) >> 16);
    out[i] = static_cast<uint8_t>(h & 0xFF);
    out[i + 1] = static_cast<uint8_t>((h >> 8) & 0xFF);
  }
  return out;
}

// `data` found in `hay` with only silence (0) before it.
bool PlayedAfterSilence(const Bytes& hay, const Bytes& data) {
  size_t first = 0;
  while (first < hay.size() && hay[first] == 0) ++first;
  return hay.size() - first >= data.size() &&
         std::equal(data.begin(), data.end(), hay.begin() + static_cast<std::ptrdiff_t>(first));
}

TEST_F(SdlDeviceTest, WaveOutPlaysBlocksInOrderAtTheVolumeSet) {
  platform::PcmFormat format{.rate = 8000, .channels = 1, .bits_per_sample = 16};
  int error = -1;
  auto device = platform::OpenWaveOut(format, &error);
  ASSERT_NE(device, nullptr) << "error " << error;
  Bytes first = Samples(800), second = Samples(600);
  platform::WaveBlock a, b;
  a.data = first.data();
  a.length = static_cast<uint32_t>(first.size());
  b.data = second.data();
  b.length = static_cast<uint32_t>(second.size());
  ASSERT_TRUE(device->Write(&a));
  EXPECT_FALSE(a.done.load());
  device->SetVolume(0x80008000u);  // half, for the blocks written from now on
  ASSERT_TRUE(device->Write(&b));
  auto give_up = Clock::now() + std::chrono::seconds(3);
  while (!(a.done.load() && b.done.load()) && Clock::now() < give_up) {
    device->Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(a.done.load() && b.done.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // through the device's own buffer
  device.reset();
  Bytes want = first;
  Bytes half = Halved(second);
  want.insert(want.end(), half.begin(), half.end());
  // The device plays silence whenever its queue runs dry (as it may between
  // the two writes), and the samples hold no zero byte.
  Bytes heard;
  for (uint8_t v : Captured())
    if (v != 0) heard.push_back(v);
  EXPECT_TRUE(heard == want) << heard.size() << " bytes heard, " << want.size() << " written";
}

TEST_F(SdlDeviceTest, WaveOutResetDropsWhatIsQueued) {
  platform::PcmFormat format{.rate = 8000, .channels = 1, .bits_per_sample = 8};
  auto device = platform::OpenWaveOut(format, nullptr);
  ASSERT_NE(device, nullptr);
  Bytes data(8000, 0x10);  // a second of sound
  platform::WaveBlock a;
  a.data = data.data();
  a.length = 8000;
  ASSERT_TRUE(device->Write(&a));
  device->Reset();
  EXPECT_TRUE(a.done.load());
}

TEST_F(SdlDeviceTest, RingPlaysFromItsPositionInALoop) {
  platform::PcmFormat format{.rate = 8000, .channels = 1, .bits_per_sample = 16};
  auto ring = platform::OpenRingDevice(format, 8192, nullptr);
  ASSERT_NE(ring, nullptr);
  EXPECT_FALSE(ring->Playing());
  Bytes data = Samples(1500);  // 3000 bytes
  uint8_t *p1, *p2;
  uint32_t n1, n2;
  ASSERT_TRUE(ring->Lock(6000, 3000, &p1, &n1, &p2, &n2));
  EXPECT_EQ(n1, 2192u);
  EXPECT_EQ(n2, 808u);
  ASSERT_NE(p2, nullptr);
  std::memcpy(p1, data.data(), n1);
  std::memcpy(p2, data.data() + n1, n2);
  ring->Unlock();
  EXPECT_FALSE(ring->Lock(8192, 4, &p1, &n1, &p2, &n2)) << "outside the ring";
  ring->SetPlayPosition(6000);
  ring->PlayLooping();
  auto give_up = Clock::now() + std::chrono::seconds(3);
  uint32_t position = ring->PlayPosition();
  while ((position >= 6000 || position < 808) && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    position = ring->PlayPosition();
  }
  ring->Stop();
  EXPECT_FALSE(ring->Playing());
  EXPECT_GE(position, 808u) << "wrapped past the end of the data";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ring.reset();
  EXPECT_TRUE(PlayedAfterSilence(Captured(), data));
}

TEST_F(SdlDeviceTest, BadFormatsAreRefused) {
  int error = 0;
  EXPECT_EQ(
      platform::OpenWaveOut(platform::PcmFormat{.rate = 8000, .channels = 3, .bits_per_sample = 8}, &error),
      nullptr);
  EXPECT_NE(error, 0);
  EXPECT_EQ(platform::OpenRingDevice(platform::PcmFormat{.rate = 8000, .channels = 2, .bits_per_sample = 16},
                                     4098, &error),
            nullptr);
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace soundtest
