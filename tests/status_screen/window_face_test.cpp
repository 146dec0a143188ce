// The status window's window face on an X server of its own: what it shows
// (screenshots against the built-in font's glyphs), Cancel clicked with
// xdotool, the question answered, and Done closing it.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../display/display_fixture.h"
#include "../player/fake_front_end.h"
#include "platform/glyphs.h"
#include "platform/report_channel.h"
#include "platform/status_window_sdl.h"
#include "qelutil/qelutil.h"
#include "qelutil/status_state.h"
#include "support/temp_dir.h"

namespace {

std::atomic<int> g_cancel_calls{0};
void CountCancel() {
  ++g_cancel_calls;
}

constexpr uint32_t kGrey = 0xC0C0C0, kBlack = 0x000000;

// Set pixels of the text in the built-in font.
int FontPixels(const std::string& text) {
  const platform::GlyphFont& f = platform::BuiltInGlyphs();
  int n = 0;
  for (unsigned char c : text)
    for (uint32_t row = 0; row < f.height; ++row)
      n += __builtin_popcount(f.bits[(c - f.first) * f.height + row]);
  return n;
}

class WindowFace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_test::XServer::Installed()) GTEST_SKIP() << "Xvfb is not installed";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
    // One server for all the tests: SDL's video, once started, stays with it.
    if (server_ == nullptr) server_ = new display_test::XServer();
    ASSERT_FALSE(server_->Name().empty());
    setenv("DISPLAY", server_->Name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    qelutil::ResetStatusForTests();
    const qelutil::StatusFaceKind window = qelutil::StatusFaceKind::kWindow;
    qelutil::ForceStatusFaceForTests(&window);
    g_cancel_calls = 0;
  }
  void TearDown() override {
    StatusClose(0);
    qelutil::ForceStatusFaceForTests(nullptr);
    qelutil::ResetStatusForTests();
  }
  platform::StatusWindowSdl* Window() { return qelutil::StatusWindowOfFace(qelutil::Status().face.get()); }
  // Pumps the window for a while, so that the server has drawn it.
  void Settle(int ms = 400) {
    for (int i = 0; i < ms / 20; ++i) {
      StatusCheck();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // The window on the 640 x 480 screen (centred; no window manager moves it).
  std::vector<uint32_t> Shot() {
    return display_test::Capture(server_->Name(), Left(), Top(), Window()->Width(), Window()->Height());
  }
  int Left() { return (640 - Window()->Width()) / 2; }
  int Top() { return (480 - Window()->Height()) / 2; }
  // Black pixels of the shot inside the rectangle.
  int BlackIn(const std::vector<uint32_t>& shot, int x, int y, int w, int h) {
    int n = 0;
    for (int row = y; row < y + h; ++row)
      for (int col = x; col < x + w; ++col) n += shot[size_t(row) * width_ + col] == kBlack;
    return n;
  }
  // The box of a text centred on a baseline.
  void TextBox(const std::string& text, int baseline, int& x, int& y, int& w, int& h) {
    w = int(text.size()) * 8;
    h = 16;
    x = (Window()->Width() - w) / 2;
    y = baseline - 12;
  }
  // From another thread (the window waits inside the call that pumps it):
  // waits (up to 20 s) until a screenshot of the window satisfies `ready`,
  // keeps that screenshot in `seen`, and clicks at (x, y) of the window.
  std::thread ClickWhen(std::function<bool(const std::vector<uint32_t>&)> ready, int x, int y,
                        std::vector<uint32_t>* seen = nullptr) {
    const std::string cmd = "DISPLAY=" + server_->Name() + " xdotool mousemove " +
                            std::to_string(Left() + x) + " " + std::to_string(Top() + y) + " click 1";
    const int left = Left(), top = Top(), w = Window()->Width(), h = Window()->Height();
    const std::string name = server_->Name();
    return std::thread([=] {
      for (int i = 0; i < 200; ++i) {
        const std::vector<uint32_t> shot = display_test::Capture(name, left, top, w, h);
        if (!shot.empty() && ready(shot)) {
          if (seen != nullptr) *seen = shot;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      (void)std::system(cmd.c_str());
    });
  }
  // A screenshot test: the window shows `text` centred on the status line.
  std::function<bool(const std::vector<uint32_t>&)> Showing(const std::string& text) {
    int x, y, w, h;
    TextBox(text, Window()->Height() * 8 / 27, x, y, w, h);
    const int want = FontPixels(text);
    return [this, x, y, w, h, want](const std::vector<uint32_t>& shot) {
      return BlackIn(shot, x, y, w, h) == want;
    };
  }
  static display_test::XServer* server_;  // lives as long as the program
  int width_ = 576;                       // the window's width (it is gone after the close)
};

TEST_F(WindowFace, ShowsTheStatusAndSubtitleOnLightGrey) {
  StatusInit(nullptr, nullptr, 0);
  ASSERT_TRUE(StatusOpen("VizodOv", "in.bmp to out.flc", CountCancel));
  ASSERT_NE(Window(), nullptr);
  width_ = Window()->Width();
  EXPECT_EQ(StatusGetHWND(), nullptr);  // hidden until the first text
  const std::string status = "Converting frame 5 of 10...";
  StatusSet(status.c_str());
  Settle();
  EXPECT_NE(StatusGetHWND(), nullptr);
  const std::vector<uint32_t> shot = Shot();
  ASSERT_EQ(shot.size(), size_t(Window()->Width()) * Window()->Height());
  const int height = Window()->Height();
  int sx, sy, sw, sh, tx, ty, tw, th, bx, by, bw, bh;
  TextBox(status, height * 8 / 27, sx, sy, sw, sh);
  TextBox("in.bmp to out.flc", height * 11 / 12, tx, ty, tw, th);
  Window()->ButtonRect(bx, by, bw, bh);
  // The texts are there, glyph for glyph; everything else but the button is
  // light grey.
  EXPECT_EQ(BlackIn(shot, sx, sy, sw, sh), FontPixels(status));
  EXPECT_EQ(BlackIn(shot, tx, ty, tw, th), FontPixels("in.bmp to out.flc"));
  int other = 0;
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < Window()->Width(); ++col) {
      const bool in_text = (col >= sx && col < sx + sw && row >= sy && row < sy + sh) ||
                           (col >= tx && col < tx + tw && row >= ty && row < ty + th) ||
                           (col >= bx && col < bx + bw && row >= by && row < by + bh);
      if (!in_text) other += shot[size_t(row) * Window()->Width() + col] != kGrey;
    }
  EXPECT_EQ(other, 0);
  // The button: "Cancel" with its C underlined, inside a frame.
  EXPECT_EQ(BlackIn(shot, bx + 2, by + 2, bw - 4, bh - 4), FontPixels("Cancel") + 8);
}

TEST_F(WindowFace, CancelClickedAsksAndReachesTheCallbackAndDoneCloses) {
  StatusInit(nullptr, nullptr, 0);
  ASSERT_TRUE(StatusOpen("VorurEd", "a.wav to b.wav", CountCancel));
  ASSERT_NE(Window(), nullptr);
  width_ = Window()->Width();
  StatusSet("Processing sound data (40%)...");
  Settle();
  int bx, by, bw, bh, yes_x, no_x, ay, aw, ah;
  Window()->ButtonRect(bx, by, bw, bh);
  Window()->AnswerRects(yes_x, no_x, ay, aw, ah);

  // Cancel, then No once the question shows: the question goes, nothing is
  // cancelled.
  const std::string question = "Do you want to cancel?";
  std::thread cancel = ClickWhen(Showing("Processing sound data (40%)..."), bx + bw / 2, by + bh / 2);
  std::vector<uint32_t> asked;
  std::thread no = ClickWhen(Showing(question), no_x + aw / 2, ay + ah / 2, &asked);
  for (int i = 0; i < 1000 && qelutil::Status().cancel_requests == 0; ++i) {
    StatusCheck();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  cancel.join();
  no.join();
  EXPECT_EQ(qelutil::Status().cancel_requests, 1u);
  EXPECT_EQ(g_cancel_calls, 0);
  EXPECT_EQ(qelutil::Status().status_text, "Do you want to cancel? No.");
  ASSERT_FALSE(asked.empty());
  // The question's buttons: Yes and No, each with its letter underlined.
  EXPECT_EQ(BlackIn(asked, yes_x + 2, ay + 2, aw - 4, ah - 4), FontPixels("Yes") + 8);
  EXPECT_EQ(BlackIn(asked, no_x + 2, ay + 2, aw - 4, ah - 4), FontPixels("No") + 8);

  // Cancel, then Yes: the callback is called.
  StatusSet("Processing sound data (50%)...");
  std::thread cancel2 = ClickWhen(Showing("Processing sound data (50%)..."), bx + bw / 2, by + bh / 2);
  std::thread yes = ClickWhen(Showing(question), yes_x + aw / 2, ay + ah / 2);
  for (int i = 0; i < 1000 && g_cancel_calls == 0; ++i) {
    StatusCheck();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  cancel2.join();
  yes.join();
  EXPECT_EQ(g_cancel_calls, 1);
  EXPECT_TRUE(qelutil::Status().cancelled);

  // Closing with the wait: the button says Done, and a click on it ends the
  // wait.
  StatusSet("Cancelled.");
  Settle();
  std::vector<uint32_t> done;
  const int done_pixels = FontPixels("Done") + 8;
  std::thread click_done = ClickWhen(
      [&](const std::vector<uint32_t>& shot) {
        return BlackIn(shot, bx + 2, by + 2, bw - 4, bh - 4) == done_pixels;
      },
      bx + bw / 2, by + bh / 2, &done);
  StatusClose(1);
  click_done.join();
  ASSERT_FALSE(done.empty());  // the wait lasted until Done showed and was clicked
  EXPECT_EQ(qelutil::Status().face, nullptr);
}

display_test::XServer* WindowFace::server_ = nullptr;

// Minimised and restored (events as the window system sends them): the
// owner hears of the restore.
TEST_F(WindowFace, RestoringTellsTheOwner) {
  vidzoer_test::TempDir runtime;
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  const uint32_t id = 800000 + static_cast<uint32_t>(getpid() % 100000);
  player_test::FakeFrontEnd front(id, "Vidzoer for Windows", 0);
  ASSERT_TRUE(front.listening());
  StatusInit(nullptr, reinterpret_cast<void*>(static_cast<uintptr_t>(id)), 0);
  ASSERT_TRUE(StatusOpen("VidzoMix", "a.wav into b.vdz", CountCancel));
  StatusSet("Mixing frame 1 of 9...");
  Settle(200);
  auto send = [](uint32_t window, uint8_t what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = what;
    SDL_PushEvent(&e);
  };
  const uint32_t window = Window()->Id();
  send(window, SDL_WINDOWEVENT_MINIMIZED);
  EXPECT_EQ(StatusCheck(), 1);
  EXPECT_EQ(StatusGetHWND(), reinterpret_cast<void*>(static_cast<uintptr_t>(id)));  // not visible: the owner
  EXPECT_TRUE(front.Records().empty());
  send(window, SDL_WINDOWEVENT_RESTORED);
  EXPECT_EQ(StatusCheck(), 1);
  const auto records = front.Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].kind, platform::kReportMessage);
  EXPECT_EQ(records[0].identifier, platform::kReportRestored);
  EXPECT_EQ(records[0].data, std::vector<uint8_t>(8, 0));
  // A restore that was no minimise says nothing.
  send(window, SDL_WINDOWEVENT_RESTORED);
  StatusCheck();
  EXPECT_EQ(front.Records().size(), 1u);
}

}  // namespace
