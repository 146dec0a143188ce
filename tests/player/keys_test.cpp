// The player program run in-process on SDL's dummy drivers, with keys and
// the close button injected as SDL events after chosen frames.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "player/window/player_main.h"
#include "support/temp_dir.h"
#include "test_files.h"

namespace {

using Clock = std::chrono::steady_clock;

void PushText(char c) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.text[0] = c;
  SDL_PushEvent(&e);
}

void PushKey(SDL_Keycode key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = key;
  SDL_PushEvent(&e);
}

void PushQuit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

class PlayerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    a_ = dir_.File("a.vdz");
    b_ = dir_.File("b.vdz");
    player_test::WriteTestVdz(a_, {16, 16, 6, 5});
    player_test::WriteTestVdz(b_, {32, 16, 4, 5});
  }

  // Runs the player; `at_frame(n, handle)` runs after the n-th frame shown
  // (counted from 1 over the whole run).
  int Run(std::vector<std::string> args, std::function<void(int, const VidzoHandle&)> at_frame) {
    args.insert(args.begin(), "vidzoplw");
    args.push_back("/S");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    vidzoplay::PlayerMainOptions options;
    options.frame_hook = [this, at_frame](const VidzoHandle& h) {
      ++frames_;
      widths_.push_back(h.Width);
      times_.push_back(Clock::now());
      if (at_frame) at_frame(frames_, h);
    };
    frames_ = 0;
    widths_.clear();
    times_.clear();
    return vidzoplay::PlayerMain(static_cast<int>(argv.size()), argv.data(), options);
  }

  vidzoer_test::TempDir dir_;
  std::string a_, b_;
  int frames_ = 0;
  std::vector<uint32_t> widths_;
  std::vector<Clock::time_point> times_;
};

TEST_F(PlayerKeys, PlaysBothFilesWithoutKeys) {
  EXPECT_EQ(Run({a_, b_}, nullptr), 0);
  EXPECT_EQ(frames_, 6 + 4);
}

TEST_F(PlayerKeys, EscAndTheCloseButtonQuit) {
  EXPECT_EQ(Run({a_, b_},
                [](int n, const VidzoHandle&) {
                  if (n == 2) PushKey(SDLK_ESCAPE);
                }),
            0);
  EXPECT_EQ(frames_, 2);
  Run({a_, b_}, [](int n, const VidzoHandle&) {
    if (n == 3) PushQuit();
  });
  EXPECT_EQ(frames_, 3);
}

TEST_F(PlayerKeys, U4IgnoresEscAndTheCloseButton) {
  Run({a_, b_, "/U4"}, [](int n, const VidzoHandle&) {
    if (n == 2) PushKey(SDLK_ESCAPE);
    if (n == 3) PushQuit();
  });
  EXPECT_EQ(frames_, 6 + 4);
}

TEST_F(PlayerKeys, FullStopSkipsToTheNextFile) {
  Run({a_, b_}, [](int n, const VidzoHandle&) {
    if (n == 2) PushText('.');
  });
  EXPECT_EQ(frames_, 2 + 4);
  EXPECT_EQ(widths_, (std::vector<uint32_t>{16, 16, 32, 32, 32, 32}));
}

TEST_F(PlayerKeys, PauseStepAndResume) {
  std::thread resume;
  Run({a_}, [&resume](int n, const VidzoHandle&) {
    if (n == 2) {
      PushText(' ');         // pause
      PushKey(SDLK_RETURN);  // one step
    }
    if (n == 3) {
      resume = std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        PushText(' ');
      });
    }
  });
  resume.join();
  EXPECT_EQ(frames_, 6);
  // Frame 4 waited for the blank that ended the pause.
  EXPECT_GE(times_[3] - times_[2], std::chrono::milliseconds(140));
}

TEST_F(PlayerKeys, WindowPlacedWhereAskedOrCentred) {
  const std::string wide = dir_.File("wide.vdz");
  player_test::WriteTestVdz(wide, {2048, 16, 1});
  struct Case {
    std::vector<std::string> args;
    uint32_t width;
  } cases[] = {{{a_, "/X100", "/Y50"}, 16}, {{a_}, 16}, {{wide}, 2048}};
  for (const Case& c : cases) {
    int x = -9999, y = -9999, w = 0;
    SDL_Rect screen{};
    Run(c.args, [&](int n, const VidzoHandle&) {
      if (n != 1) return;
      for (Uint32 id = 1; id < 64; ++id) {
        if (SDL_Window* window = SDL_GetWindowFromID(id)) {
          SDL_GetWindowPosition(window, &x, &y);
          SDL_GetWindowSize(window, &w, nullptr);
          SDL_GetDisplayBounds(0, &screen);
        }
      }
    });
    ASSERT_EQ(w, static_cast<int>(c.width));
    if (c.args.size() == 3) {
      EXPECT_EQ(x, 96);  // the client area's left edge snaps to a multiple of 8
      EXPECT_EQ(y, 50);
    } else {
      // Centred, also when wider than the screen (both sides outside).
      const int left = (screen.w - w) / 2 + 3;
      EXPECT_EQ(x, left - ((left % 8) + 8) % 8);
      EXPECT_EQ(y, (screen.h - 16) / 2);
    }
  }
}

}  // namespace
