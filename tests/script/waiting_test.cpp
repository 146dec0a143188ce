// DELAY, DELAYUNTIL and SOUND in the engine with the fake clock and the
// virtual sound device: the waits keep the window and the sound output
// serviced, and the tone is a square wave of the asked frequency and length.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/sound_device.h"
#include "script_host.h"

namespace {

using script_test::TestHost;

// A host whose idle turns move the fake clock, counting the window's turns.
class ClockHost : public TestHost {
 public:
  using TestHost::TestHost;
  void Pump() override { ++pumps; }
  void Idle(uint32_t ms) override { platform::AdvanceFakeClock(std::min<uint32_t>(ms, 7)); }
  bool KeepWaiting() override { return pumps < pump_limit; }
  int pumps = 0;
  int pump_limit = 1 << 30;
};

class Waiting : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetFakeClock(1000);
    platform::UseVirtualSound(true);
  }
  void TearDown() override {
    platform::UseVirtualSound(false);
    platform::UseRealClock();
  }
  bool Run(const std::string& text) {
    script_test::WriteText(dir_.File("main.ss"), text);
    vidzoscript::Engine engine(host_);
    bool failed = false;
    EXPECT_TRUE(engine.RunTop("main", &failed));
    engine.CloseAll();
    return !failed;
  }
  vidzoer_test::TempDir dir_;
  ClockHost host_{dir_};
};

TEST_F(Waiting, DelaysLastTheirTimeAndServiceTheWindow) {
  const struct {
    const char* script;
    uint32_t until;
  } cases[] = {{"DELAY 500\n", 1500},
               {"DELAYUNTIL 1300\n", 1300},
               {"DELAY 0\n", 1000},
               {"DELAY -5\n", 1000},
               {"DELAYUNTIL 900\n", 1000}};
  for (const auto& c : cases) {
    platform::SetFakeClock(1000);
    host_.pumps = 0;
    ASSERT_TRUE(Run(c.script)) << c.script;
    // The clock moves by at most 7 ms a turn.
    EXPECT_GE(platform::TimeMs(), c.until) << c.script;
    EXPECT_LT(platform::TimeMs(), c.until + 7) << c.script;
    if (c.until > 1000) {
      EXPECT_GE(host_.pumps, static_cast<int>((c.until - 1000) / 7)) << c.script;
    }
  }
}

TEST_F(Waiting, ADelayEndsWhenTheHostStopsWaiting) {
  host_.pump_limit = 10;
  ASSERT_TRUE(Run("DELAY 100000\n"));
  EXPECT_LT(platform::TimeMs(), 1100u);
}

// The level changes of 8-bit sound.
int Transitions(const std::vector<uint8_t>& sound) {
  int n = 0;
  for (size_t i = 1; i < sound.size(); ++i) n += sound[i] != sound[i - 1];
  return n;
}

TEST_F(Waiting, SoundPlaysASquareWaveOfTheFrequencyAndLength) {
  const struct { int frequency, ms; } cases[] = {{1000, 100}, {440, 250}, {50, 200}};
  for (const auto& c : cases) {
    platform::UseVirtualSound(true);
    const uint32_t start = platform::TimeMs();
    ASSERT_TRUE(Run("SOUND " + std::to_string(c.frequency) + " " + std::to_string(c.ms) + "\n"));
    ASSERT_EQ(platform::VirtualSoundDevices(), 1);
    const std::vector<uint8_t> played = platform::VirtualSoundPlayed(0);
    EXPECT_EQ(played.size(), 22050u * c.ms / 1000) << c.frequency;
    // Two level changes per period.
    EXPECT_NEAR(Transitions(played), 2 * c.frequency * c.ms / 1000, 1) << c.frequency;
    for (uint8_t v : played) ASSERT_TRUE(v == 0x60 || v == 0xA0);
    // The tone lasts its time: the virtual device counts each block's time
    // in whole milliseconds, less than 1 ms short per 50 ms block.
    EXPECT_GE(platform::TimeMs() - start, static_cast<uint32_t>(c.ms - c.ms / 50 - 1));
  }
}

TEST_F(Waiting, SoundWithoutFrequencyOrLengthPlaysNothing) {
  ASSERT_TRUE(Run("SOUND 0 100\nSOUND 440 0\nSOUND -3 -3\n"));
  EXPECT_EQ(platform::VirtualSoundDevices(), 0);
}

}  // namespace
