// The player logic driven with a fake display and key source: the file and
// frame loops, looping, keys, the wait, sound only, the self-play text,
// ":offset" names and the failures a user meets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "fake_host.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/sound_device.h"
#include "player/player.h"
#include "sound/sound.h"
#include "support/temp_dir.h"
#include "test_files.h"

namespace {

using player_test::FakeHost;
using player_test::TestFile;
using player_test::WriteTestVdz;

struct Shown {
  std::string text, caption;
};

class PlayerLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetFakeClock(100000);
    previous_ = platform::SetMessagePresenter(
        [this](const char* text, const char* caption, platform::MessageKind, bool) {
          boxes_.push_back({text, caption});
          return false;
        });
  }
  void TearDown() override {
    platform::SetMessagePresenter(previous_);
    platform::UseRealClock();
  }

  std::string File(const std::string& name, const TestFile& shape = {}) {
    const std::string path = dir_.File(name);
    WriteTestVdz(path, shape);
    return path;
  }
  vidzoplay::RunResult Run(const std::string& line, const char* self_play = nullptr) {
    settings_ = {};
    return vidzoplay::RunPlayer(line, settings_, host_, self_play);
  }
  bool BoxShown(const std::string& text) const {
    for (const Shown& b : boxes_)
      if (b.text.find(text) != std::string::npos) return true;
    return false;
  }
  static std::string Q(const std::string& s) { return "\"" + s + "\""; }
  // A stand-in for the program file: `offset` bytes, then a 5-frame movie.
  std::string ProgramWithMovie(size_t offset) {
    std::vector<uint8_t> program(offset, 0x5A);
    const std::vector<uint8_t> data = player_test::ReadBytes(File("movie.vdz"));
    program.insert(program.end(), data.begin(), data.end());
    player_test::WriteBytes(dir_.File("program"), program);
    return dir_.File("program");
  }

  vidzoer_test::TempDir dir_;
  FakeHost host_;
  vidzoplay::PlayerSettings settings_;
  std::vector<Shown> boxes_;
  platform::MessagePresenter previous_;
};

TEST_F(PlayerLogic, PlaysEveryFrameAndEnds) {
  const std::string movie = File("movie.vdz");
  const vidzoplay::RunResult r = Run(Q(movie));
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_EQ(r.Summary.Stats.FramesPlayed, 5u);
  EXPECT_EQ(r.FilesOpened, 1u);
  ASSERT_EQ(host_.opens.size(), 1u);
  EXPECT_EQ(host_.opens[0].Width, 16u);
  EXPECT_EQ(host_.opens[0].Height, 16u);
  EXPECT_EQ(host_.opens[0].Type, 0u);
  EXPECT_FALSE(host_.display_open());
  EXPECT_GE(host_.palettes, 1);
  EXPECT_EQ(host_.begins, 5);
  EXPECT_EQ(host_.ends, 5);
  EXPECT_FALSE(host_.blits.empty());
  // The last frame decoded into the display buffer: the square is at x 16 mod 16 = 0.
  EXPECT_EQ(host_.pixels()[0], 2);
  EXPECT_EQ(host_.pixels()[4], 1);
  EXPECT_EQ(r.Summary.DisplayName, "Fake display");
  // Without /S the information box ends the run.
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "VidzoPlay - V3.1g");
  EXPECT_EQ(boxes_[0].text.rfind("  VidzoPlay is part of the Vidzoer Video and Animation\r\n", 0), 0u);
}

TEST_F(PlayerLogic, NameWithoutExtensionGetsOne) {
  File("movie.vdz");
  const vidzoplay::RunResult r = Run(Q(dir_.File("movie")));  // ".Vdz" matches "movie.vdz" ignoring case
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 5);
}

TEST_F(PlayerLogic, LoopsOneFileWithoutReopening) {
  const std::string movie = File("movie.vdz");
  const vidzoplay::RunResult r = Run(Q(movie) + " /L3");
  EXPECT_EQ(host_.frames_shown, 15);
  EXPECT_EQ(r.FilesOpened, 1u);
  EXPECT_EQ(r.Summary.Stats.FramesPlayed, 15u);
  EXPECT_EQ(settings_.LoopCount, 0u);
}

TEST_F(PlayerLogic, LoopsSeveralFilesReopeningEach) {
  const std::string a = File("a.vdz"), b = File("b.vdz", {16, 16, 3});
  const vidzoplay::RunResult r = Run("/L3 " + Q(a) + " , " + Q(b));
  EXPECT_EQ(r.FilesOpened, 6u);
  EXPECT_EQ(host_.frames_shown, 3 * (5 + 3));
  EXPECT_EQ(r.Summary.Stats.FramesPlayed, 3u);  // the last file closed
}

TEST_F(PlayerLogic, EndlessLoopEndsWithEsc) {
  const std::string movie = File("movie.vdz");
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 12) h.keys.push_back(vidzoplay::kKeyEsc);
  };
  const vidzoplay::RunResult r = Run(Q(movie) + " /L");
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 12);
  EXPECT_EQ(r.FilesOpened, 1u);
}

TEST_F(PlayerLogic, DisabledControlsIgnoreTheirKeys) {
  const std::string movie = File("movie.vdz");
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 1) {
      for (uint8_t k :
           {vidzoplay::kKeyEsc, vidzoplay::kKeyClose, vidzoplay::kKeyFullStop, vidzoplay::kKeyBlank})
        h.keys.push_back(k);
    }
  };
  Run(Q(movie) + " /U7");
  EXPECT_EQ(host_.frames_shown, 5);
  host_ = FakeHost();
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 1) h.keys.push_back(vidzoplay::kKeyEsc);
  };
  Run(Q(movie) + " /U4");
  EXPECT_EQ(host_.frames_shown, 5);
}

TEST_F(PlayerLogic, FullStopSkipsToTheNextFile) {
  const std::string a = File("a.vdz"), b = File("b.vdz", {16, 16, 3});
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 2) h.keys.push_back(vidzoplay::kKeyFullStop);
  };
  const vidzoplay::RunResult r = Run(Q(a) + " " + Q(b));
  EXPECT_EQ(r.FilesOpened, 2u);
  EXPECT_EQ(host_.frames_shown, 2 + 3);
  // The display was made anew for the second file.
  EXPECT_EQ(host_.opens.size(), 2u);
  EXPECT_EQ(host_.closes, 2);
}

TEST_F(PlayerLogic, PauseStepAndResume) {
  const std::string movie = File("movie.vdz");
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 1) {
      h.keys.push_back(vidzoplay::kKeyBlank);
      h.idles = 0;
    }
  };
  int frames_while_paused = -1;
  host_.on_idle = [&](FakeHost& h) {
    if (h.idles == 50) h.keys.push_back(vidzoplay::kKeyEnter);  // one step
    if (h.idles == 100) {
      frames_while_paused = h.frames_shown;
      h.keys.push_back(vidzoplay::kKeyBlank);  // resume
    }
  };
  Run(Q(movie));
  EXPECT_EQ(frames_while_paused, 2);  // the first frame, then one step
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_GE(host_.idles, 100);
}

TEST_F(PlayerLogic, EnterWhileNotPausedDoesNothing) {
  const std::string movie = File("movie.vdz");
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) { h.keys.push_back(vidzoplay::kKeyEnter); };
  Run(Q(movie));
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_LT(host_.idles, 10);
}

TEST_F(PlayerLogic, WaitSleepsUntilTheFrameIsDue) {
  // 20 ms per frame on the fake clock, which only the idle moments move on.
  const std::string movie = File("timed.vdz", {16, 16, 5, 20});
  const vidzoplay::RunResult r = Run(Q(movie));
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_GE(host_.idles, 4 * 19);
  EXPECT_LE(host_.idles, 5 * 21);
  EXPECT_EQ(r.Summary.Stats.FramePeriod, 2000u);
  // /F: as fast as possible, no waiting.
  host_ = FakeHost();
  const vidzoplay::RunResult fast = Run(Q(movie) + " /F /S");
  EXPECT_EQ(fast.Summary.Stats.FramePeriod, 0u);
  EXPECT_LE(host_.idles, 2);
  EXPECT_TRUE(BoxShown("  Frame rate: As fast as possible.\r\n"));
  EXPECT_TRUE(BoxShown("Total frames played: 5\r\n"));
  // /F-40: 40 ms per frame.
  host_ = FakeHost();
  EXPECT_EQ(Run(Q(movie) + " /F-40").Summary.Stats.FramePeriod, 4000u);
  EXPECT_GE(host_.idles, 4 * 39);
}

TEST_F(PlayerLogic, FocusHoldsThePlayUnlessAskedNotTo) {
  const std::string movie = File("movie.vdz");
  host_.focus = false;
  host_.on_idle = [](FakeHost& h) {
    if (h.idles == 30) h.focus = true;
  };
  Run(Q(movie));
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_GE(host_.idles, 30);
  host_ = FakeHost();
  host_.focus = false;
  Run(Q(movie) + " /J");
  EXPECT_EQ(host_.frames_shown, 5);
  EXPECT_LT(host_.idles, 10);
}

TEST_F(PlayerLogic, SoundOnlyDrawsAProgressBar) {
  const std::string movie = File("movie.vdz");
  std::vector<int> lit;
  host_.on_frame = [&lit](FakeHost& h, const VidzoHandle&) {
    int n = 0;
    while (n < 160 && h.pixels()[n] == 9) ++n;
    for (int i = n; i < 160; ++i) EXPECT_EQ(h.pixels()[i], 0);
    lit.push_back(n);
  };
  Run(Q(movie) + " /O");
  ASSERT_EQ(host_.opens.size(), 1u);
  EXPECT_EQ(host_.opens[0].Width, 160u);
  EXPECT_EQ(host_.opens[0].Height, 1u);
  EXPECT_EQ(host_.opens[0].Type, 4u);
  EXPECT_EQ(host_.palettes, 0);
  // The bar is drawn before the advance: frame f lights f * 160 / 5 + 1.
  EXPECT_EQ(lit, (std::vector<int>{1, 33, 65, 97, 129}));
  for (const auto& b : host_.blits) EXPECT_EQ(b, (std::array<uint32_t, 4>{0, 0, 160, 1}));
}

TEST_F(PlayerLogic, FrameNumberInCaptionAndDifferencesOnly) {
  const std::string movie = File("movie.vdz", {16, 16, 3});
  Run(Q(movie) + " /Q /K");
  EXPECT_EQ(host_.captions, (std::vector<std::string>{"VidzoPlay - Frame: 1", "VidzoPlay - Frame: 2",
                                                      "VidzoPlay - Frame: 3"}));
  EXPECT_EQ(host_.clears, 3);
  // Every frame first blits the whole cleared buffer.
  int whole = 0;
  for (const auto& b : host_.blits) whole += b == std::array<uint32_t, 4>{0, 0, 16, 16};
  EXPECT_GE(whole, 3);
  // Only the changed blocks were painted into the cleared buffer: the
  // background of colour 1 is gone after the last frame.
  EXPECT_EQ(host_.pixels()[16 * 8 + 8], 0);
}

TEST_F(PlayerLogic, RemapToTheSystemPalette) {
  const std::string movie = File("movie.vdz");
  Run(Q(movie) + " /R1");
  EXPECT_GE(host_.remap_reads, 1);
  EXPECT_EQ(host_.last_palette[0], 255);
  host_ = FakeHost();
  Run(Q(movie));
  EXPECT_EQ(host_.remap_reads, 0);
  EXPECT_EQ(host_.last_palette[3], 4);  // colour 1 of the file: 6-bit 1
}

TEST_F(PlayerLogic, ResolutionSwitchedAndRestored) {
  const std::string movie = File("movie.vdz");
  Run(Q(movie) + " /D2");
  EXPECT_EQ(host_.resolutions, (std::vector<uint32_t>{2, 0}));
}

TEST_F(PlayerLogic, FullScreenDisplayIsReusedForASmallerFile) {
  const std::string a = File("a.vdz", {32, 16, 2}), b = File("b.vdz", {16, 16, 2});
  host_.full_screen = true;
  Run(Q(a) + " " + Q(b));
  EXPECT_EQ(host_.opens.size(), 1u);
  EXPECT_EQ(host_.moves, 1);
  EXPECT_EQ(host_.clears, 1);
  host_ = FakeHost();
  host_.full_screen = true;
  Run(Q(a) + " " + Q(b) + " /C");
  EXPECT_EQ(host_.clears, 0);
}

TEST_F(PlayerLogic, TakeFirstName) {
  std::string list = "a , b,c \"x y,\" , \"q\" ,";
  EXPECT_EQ(vidzoplay::TakeFirstName(list), "a");
  EXPECT_EQ(vidzoplay::TakeFirstName(list), "b,c");
  EXPECT_EQ(vidzoplay::TakeFirstName(list), "x y,");
  EXPECT_EQ(vidzoplay::TakeFirstName(list), "q");
  EXPECT_EQ(list, "");
  std::string unmatched = "\"open name";
  EXPECT_EQ(vidzoplay::TakeFirstName(unmatched), "\"open");
  EXPECT_EQ(unmatched, "name");
}

TEST_F(PlayerLogic, MissingFileStopsTheList) {
  const std::string a = File("a.vdz");
  const std::string missing = dir_.File("missing.vdz");
  const vidzoplay::RunResult r = Run("/S " + Q(a) + " " + Q(missing) + " " + Q(a));
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.FilesOpened, 1u);
  EXPECT_TRUE(BoxShown(" Error opening file: " + missing + "."));
  // The summary describes the last file closed.
  EXPECT_TRUE(BoxShown("Total frames played: 5\r\n"));
  boxes_.clear();
  host_ = FakeHost();
  const vidzoplay::RunResult none = Run("/S " + Q(missing));
  EXPECT_EQ(none.ExitCode, 1);
  EXPECT_EQ(boxes_.size(), 1u);  // the error; no summary of nothing
}

TEST_F(PlayerLogic, BadCommandLinesShowTheHelp) {
  for (const std::string line : {"", "   ", "/S", "/L3 /S", " , ", "movie.vdz /XQ", "movie.vdz /!"}) {
    boxes_.clear();
    host_ = FakeHost();
    const vidzoplay::RunResult r = Run(line);
    EXPECT_EQ(r.ExitCode, 1) << line;
    ASSERT_EQ(boxes_.size(), 1u) << line;
    EXPECT_EQ(boxes_[0].text.rfind(" SYNTAX: VidzoPly", 0), 0u) << line;
    EXPECT_TRUE(host_.opens.empty());
  }
  boxes_.clear();
  const vidzoplay::RunResult r = Run(std::string(5000, 'a'));
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(BoxShown("Command line too long"));
}

TEST_F(PlayerLogic, GraphicsBufferFailureEndsTheRun) {
  const std::string a = File("a.vdz");
  host_.fail_open = true;
  const vidzoplay::RunResult r = Run(Q(a) + " " + Q(a));
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.FilesOpened, 1u);
  EXPECT_EQ(host_.frames_shown, 0);
  EXPECT_TRUE(BoxShown(" Error opening graphics buffer."));
}

TEST_F(PlayerLogic, DamagedFilesPlayWhatTheyCan) {
  const std::string movie = File("movie.vdz", {16, 16, 8});
  const std::vector<uint8_t> bytes = player_test::ReadBytes(movie);
  const std::string damaged = dir_.File("damaged.vdz");
  // Cut short in the tables or the header: refused at the open.
  for (size_t cut : {size_t{120}, size_t{50}}) {
    player_test::WriteBytes(damaged,
                            std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    host_ = FakeHost();
    const vidzoplay::RunResult r = Run(Q(damaged));
    EXPECT_EQ(r.FilesOpened, 0u) << cut;
    EXPECT_EQ(r.ExitCode, 1) << cut;
  }
  // Cut short in the last frame (or at its start): the seven whole frames
  // play, and loop.
  const std::vector<uint32_t> sizes = player_test::FrameSizes(movie);
  ASSERT_EQ(sizes.size(), 8u);
  player_test::WriteBytes(damaged, std::vector<uint8_t>(bytes.begin(), bytes.end() - (sizes[7] + 1) / 2));
  host_ = FakeHost();
  vidzoplay::RunResult cut = Run(Q(damaged) + " /L2");
  EXPECT_EQ(cut.FilesOpened, 1u);
  EXPECT_EQ(cut.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 14);
  // Frame records scrambled: every frame is played, whatever it shows.
  std::vector<uint8_t> scrambled = bytes;
  for (size_t i = 104 + 5 * 8 + 8; i < scrambled.size(); ++i)
    scrambled[i] = static_cast<uint8_t>(i * 151 + 7);
  player_test::WriteBytes(damaged, scrambled);
  host_ = FakeHost();
  EXPECT_EQ(Run(Q(damaged) + " /L2").ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 16);
}

TEST_F(PlayerLogic, FileCutShortWhilePlayingEndsEvenWhenLooping) {
  // Busy 64 x 64 frames: too large to be read whole at the open, so the
  // frames are read while playing.
  TestFile shape{64, 64, 24};
  shape.busy_from = 0;
  shape.busy_to = 24;
  const std::string movie = File("movie.vdz", shape);
  bool streamed = false;
  host_.on_frame = [&](FakeHost& h, const VidzoHandle& handle) {
    if (h.frames_shown == 1) {
      streamed = handle.FileHandle >= 0;
      std::filesystem::resize_file(movie, 4096);
    }
  };
  const vidzoplay::RunResult r = Run(Q(movie) + " /L");
  EXPECT_TRUE(streamed);
  EXPECT_EQ(r.ExitCode, 0);
  // The frame numbers after the short read are run through once.
  EXPECT_EQ(host_.frames_shown, 24);
  EXPECT_EQ(host_.shown_frames.back(), 23u);
}

TEST_F(PlayerLogic, OffsetNamesPlayFromTheProgramFile) {
  host_.program_file = ProgramWithMovie(1234);
  vidzoplay::RunResult r = Run(":1234");
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 5);
  for (const char* bad : {":1233", ":12x", ":", ":99999999"}) {
    host_.frames_shown = 0;
    r = Run(bad);
    EXPECT_EQ(r.ExitCode, 1) << bad;
    EXPECT_TRUE(BoxShown(std::string(" Error opening file: ") + bad + ".")) << bad;
  }
}

TEST_F(PlayerLogic, SelfPlayTextAndUserSwitches) {
  host_.program_file = ProgramWithMovie(4096);
  char field[208] = {};
  std::snprintf(field, sizeof field, "/L3 /@ :4096");
  vidzoplay::RunResult r = Run("", field);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(host_.frames_shown, 15);
  EXPECT_EQ(r.FilesOpened, 1u);
  EXPECT_FALSE(settings_.NoMMX);  // the user's line, which has no /@, decides
  const std::string program_file = host_.program_file;
  host_ = FakeHost();
  host_.program_file = program_file;
  r = Run("/L2", field);
  EXPECT_EQ(host_.frames_shown, 10);
  // An endless embedded loop, ended by the user.
  std::snprintf(field, sizeof field, "/L :4096");
  host_ = FakeHost();
  host_.program_file = program_file;
  host_.on_frame = [](FakeHost& h, const VidzoHandle&) {
    if (h.frames_shown == 23) h.keys.push_back(vidzoplay::kKeyEsc);
  };
  Run("", field);
  EXPECT_EQ(host_.frames_shown, 23);
  // A field filled to its last byte is read no further.
  std::memset(field, 'a', sizeof field);
  boxes_.clear();
  r = Run("", field);
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(BoxShown(" Error opening file: " + std::string(208, 'a') + ".Vdz."));
}

TEST_F(PlayerLogic, DirectSoundAskedForWithZ) {
  const std::string movie = File("movie.vdz");
  host_.direct_sound_works = true;
  Run(Q(movie) + " /Z");
  EXPECT_EQ(host_.direct_sound_asks, 1);
  EXPECT_EQ(host_.sound_window_uses, 1);
  host_ = FakeHost();
  Run(Q(movie) + " /Z");
  EXPECT_EQ(host_.sound_window_uses, 0);
}

TEST(PlaceWindow, CentresOrTakesTheGivenEdge) {
  EXPECT_EQ(vidzoplay::PlaceWindowEdge(-1, 1024, 320, 4), 348);
  EXPECT_EQ(vidzoplay::PlaceWindowEdge(-1, 640, 1000, 4), -184);
  EXPECT_EQ(vidzoplay::PlaceWindowEdge(10, 640, 1000, 4), 10);
}

}  // namespace

// The player's sound on the virtual device, paced by the fake clock that the
// host's idle moments move on.
class PlayerSoundLogic : public PlayerLogic {
 protected:
  void SetUp() override {
    PlayerLogic::SetUp();
    VidzoSoundResetForTests();
    platform::UseVirtualSound(true, {.fail_open = false,
                                     .blocks_never_end = false,
                                     .timer_threads = false,
                                     .hand_over_ms = 30});
    VidzoSoundInstall();
  }
  void TearDown() override {
    VidzoSoundResetForTests();
    platform::UseVirtualSound(false);
    PlayerLogic::TearDown();
  }
  // Plays `line`, noting after each frame the sound not yet played and the
  // time; `at_last` runs after the last frame.
  void PlayNoting(const std::string& line, const std::function<void(FakeHost&)>& at_last = {}) {
    host_.on_frame = [this, at_last](FakeHost& host, const VidzoHandle& h) {
      left_ = VidzoSoundLeftMs(const_cast<VidzoHandle*>(&h));
      shown_at_ = platform::TimeMs();
      if (host.frames_shown == 5 && at_last) at_last(host);
    };
    Run(line);
    ended_at_ = platform::TimeMs();
  }
  uint32_t left_ = 0, shown_at_ = 0, ended_at_ = 0;
};

TEST_F(PlayerSoundLogic, TheSoundPlaysOutAfterTheLastFrame) {
  PlayNoting(Q(File("sound.vdz", {16, 16, 5, 20, true})));
  EXPECT_EQ(host_.frames_shown, 5);
  ASSERT_GT(left_, 0u) << "sound was queued beyond the last frame";
  EXPECT_GE(ended_at_ - shown_at_, left_) << "closed before its sound had played";
  EXPECT_LE(ended_at_ - shown_at_, left_ + 100);
}

TEST_F(PlayerSoundLogic, QuittingStopsTheSoundAtOnce) {
  PlayNoting(Q(File("sound.vdz", {16, 16, 5, 20, true})), [](FakeHost& host) { host.keys.push_back(27); });
  ASSERT_GT(left_, 0u);
  EXPECT_LT(ended_at_ - shown_at_, left_);
}

// While a frame is not due the player sleeps up to 10 ms at a time, never
// spinning with nothing to wait for.
TEST_F(PlayerSoundLogic, WaitsSleepUntilTheFrameIsDue) {
  Run(Q(File("sound.vdz", {16, 16, 5, 20, true})));
  ASSERT_FALSE(host_.idle_ms.empty());
  EXPECT_EQ(*std::max_element(host_.idle_ms.begin(), host_.idle_ms.end()), 10u);
  const auto zero = std::count(host_.idle_ms.begin(), host_.idle_ms.end(), 0u);
  EXPECT_LT(zero, static_cast<std::ptrdiff_t>(host_.idle_ms.size()) / 4) << "polling instead of sleeping";
}
