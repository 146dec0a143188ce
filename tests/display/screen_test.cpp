// The display buffer on a real X server (Xvfb): what reaches the screen is
// the decoded frame through its palette, scaled only as the type scales it.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "display/key_queue.h"
#include "display_fixture.h"
#include "platform/messagebox.h"

namespace {

using display_test::Frame;

// How a screenshot pixel is compared with the palette colour.
constexpr std::uint32_t kExact = 0xFFFFFF;
constexpr std::uint32_t kRgb565 = 0xF8FCF8;  // what survives a 5-6-5 picture

class Screen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (display_test::XServer::Installed()) server_ = std::make_unique<display_test::XServer>();
  }
  static void TearDownTestSuite() {
    VidzoVideoStop();
    server_.reset();
  }
  void SetUp() override {
    if (!display_test::XServer::Installed()) GTEST_SKIP() << "Xvfb is not installed: no screenshots";
    ASSERT_FALSE(server_->Name().empty()) << "Xvfb did not start";
    ASSERT_TRUE(display_test::StartXVideo(server_->Name()));
    UseSoftwareDrawing();
    frame_ = display_test::DecodedTestFrame(64, 48, 0);
    second_ = display_test::DecodedTestFrame(64, 48, 1);
    ASSERT_EQ(frame_.pixels.size(), 64u * 48u);
    ASSERT_EQ(second_.pixels.size(), 64u * 48u);
  }
  void TearDown() override {
    VidzoDisplayClose(display_);
    VidzoWindowDestroy(window_);
    display_ = nullptr;
    window_ = nullptr;
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
    SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    VidzoVideoStop();
  }
  // Closes the display and the window and starts video afresh.
  void Restart() {
    TearDown();
    ASSERT_TRUE(display_test::StartXVideo(server_->Name()));
    UseSoftwareDrawing();
  }
  // The software renderer offers the 16-bit streaming textures of direct
  // drawing, and window pictures go to the X server as they are (no GL in
  // between), so the screenshots are exact.
  static void UseSoftwareDrawing() {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }

  // Opens the window and the display, shows the frame in two rectangles of
  // one batch after a first black picture.
  // With `place_after_open` the window gets its size after the display is
  // open, as the player does it.
  void Show(uint32_t type, uint32_t sw, uint32_t sh, bool place_after_open = false) {
    window_ = VidzoWindowCreate("Screen", VIDZO_WINDOW_NO_CAPTION);
    ASSERT_NE(window_, nullptr);
    if (!place_after_open) VidzoWindowMove(window_, 0, 0, sw ? sw : 64, sh ? sh : 48);
    display_ = VidzoDisplayOpen(window_, type, 64, 48, sw, sh);
    ASSERT_NE(display_, nullptr);
    if (place_after_open) VidzoWindowMove(window_, 0, 0, display_->WindowWidth, display_->WindowHeight);
    VidzoWindowShow(window_);
    VidzoDispatchEvents();
    VidzoDisplaySetPalette(display_, frame_.palette.data(), 0);
    ASSERT_EQ(VidzoDisplayBlit(display_, nullptr, 0, 0, 0, 0, 64, 48), 0u);  // the black buffer, whole
    display_test::PutFrame(display_, frame_);
    VidzoDisplayBeginFrame(display_);
    VidzoDisplayBlit(display_, nullptr, 0, 0, 0, 0, 64, 20);
    VidzoDisplayBlit(display_, nullptr, 0, 20, 0, 20, 64, 28);
    VidzoDisplayEndFrame(display_);
  }

  std::vector<std::uint32_t> Shot() {
    int32_t x = 0, y = 0;
    VidzoWindowGetClientRect(window_, &x, &y, nullptr, nullptr);
    return display_test::Capture(server_->Name(), x, y, int(display_->WindowWidth),
                                 int(display_->WindowHeight));
  }

  // Counts screenshot pixels that show none of the frame pixels they cover
  // (compared under the mask); with `black_odd_rows` the odd rows must be
  // black instead.
  int Mismatches(const std::vector<std::uint32_t>& shot, const Frame& f, std::uint32_t mask,
                 bool black_odd_rows = false, bool report = true) {
    return Mismatches(shot, f, mask, display_->WindowWidth, display_->WindowHeight, black_odd_rows, report);
  }
  // The same for a screenshot of ww x wh pixels.
  int Mismatches(const std::vector<std::uint32_t>& shot, const Frame& f, std::uint32_t mask, std::uint32_t ww,
                 std::uint32_t wh, bool black_odd_rows = false, bool report = true) {
    if (report) {
      EXPECT_EQ(shot.size(), std::size_t(ww) * wh);
    }
    if (shot.size() != std::size_t(ww) * wh) return -1;
    int bad = 0;
    for (std::uint32_t wy = 0; wy < wh; ++wy) {
      for (std::uint32_t wx = 0; wx < ww; ++wx) {
        const std::uint32_t actual = shot[std::size_t(wy) * ww + wx];
        bool ok = false;
        if (black_odd_rows && wy % 2 == 1) {
          ok = actual == 0;
        } else {
          const std::uint32_t y0 = wy * f.height / wh, y1 = ((wy + 1) * f.height - 1) / wh;
          const std::uint32_t x0 = wx * f.width / ww, x1 = ((wx + 1) * f.width - 1) / ww;
          for (std::uint32_t y = y0; y <= y1 && !ok; ++y)
            for (std::uint32_t x = x0; x <= x1 && !ok; ++x)
              ok = (display_test::ColourOf(f, f.pixels[y * f.width + x]) & mask) == (actual & mask);
        }
        if (!ok && ++bad <= 3 && report)
          ADD_FAILURE() << "pixel " << wx << "," << wy << " is " << std::hex << actual;
      }
    }
    return bad;
  }

  static std::unique_ptr<display_test::XServer> server_;
  Frame frame_, second_;
  VidzoWindow* window_ = nullptr;
  VidzoDisplayBuffer* display_ = nullptr;
};

std::unique_ptr<display_test::XServer> Screen::server_;

TEST_F(Screen, FullScreenCoversTheScreenWithThePictureCentredAtTwiceItsSize) {
  window_ = VidzoWindowCreate("Screen", 0);
  ASSERT_NE(window_, nullptr);
  display_ = VidzoDisplayOpen(window_, VIDZO_DISPLAY_FULL_320X240, 64, 48, 0, 0);
  ASSERT_NE(display_, nullptr);
  ASSERT_EQ(display_->Height, 204u);
  display_test::PutFrame(display_, frame_);
  VidzoDisplaySetPalette(display_, frame_.palette.data(), 0);
  VidzoDispatchEvents();
  EXPECT_EQ(VidzoDisplayBlit(display_, nullptr, 0, 0, 0, 0, 64, 48), VIDZO_DISPLAY_BLIT_WHOLE);
  // 320 x 240 on the 640 x 480 screen: the 64 x 204 buffer at (128, 18),
  // doubled; rows 48 and below hold colour 0.
  Frame buffer = frame_;
  buffer.height = 204;
  buffer.pixels.resize(64 * 204, 0);
  const auto picture = display_test::Capture(server_->Name(), 256, 36, 128, 408);
  EXPECT_EQ(Mismatches(picture, buffer, kExact, 128u, 408u), 0);
  const auto screen = display_test::Capture(server_->Name(), 0, 0, 640, 480);
  ASSERT_EQ(screen.size(), 640u * 480u);
  for (const auto& [x, y] : {std::pair{0, 0}, {255, 100}, {384, 100}, {300, 35}, {300, 444}, {639, 479}})
    EXPECT_EQ(screen[y * 640 + x], 0u) << x << "," << y;
  VidzoDisplayClose(display_);
  display_ = nullptr;
  EXPECT_FALSE(SDL_GetWindowFlags(static_cast<SDL_Window*>(VidzoWindowHandle(window_))) &
               (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS));
}

TEST_F(Screen, MessageBoxesGoThroughSdlOnARealDisplay) {
  EXPECT_EQ(VidzoVideoIsReal(), 1u);
  auto presenter = platform::SetMessagePresenter({});
  EXPECT_TRUE(presenter);
  platform::SetMessagePresenter(presenter);
  VidzoVideoStop();  // and stopping video takes the presenter away
  EXPECT_FALSE(platform::SetMessagePresenter({}));
}

TEST_F(Screen, StandardDibsAtOneToOne) {
  Show(VIDZO_DISPLAY_DIB, 0, 0);
  EXPECT_EQ(Mismatches(Shot(), frame_, kExact), 0);
}

TEST_F(Screen, StandardDibsStretchedTwiceAndTwoAndAHalfTimes) {
  for (uint32_t width : {128u, 160u}) {
    SCOPED_TRACE(width);
    Show(VIDZO_DISPLAY_DIB, width, width * 3 / 4);
    EXPECT_EQ(Mismatches(Shot(), frame_, kExact), 0);
    ASSERT_NO_FATAL_FAILURE(Restart());
  }
}

TEST_F(Screen, OffScreenPictureWithoutDirectDrawing) {
  for (uint32_t scale : {1u, 2u}) {
    SCOPED_TRACE(scale);
    Show(VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_NO_DIRECT, 64 * scale, 48 * scale);
    ASSERT_EQ(display_->Blitter, nullptr);
    EXPECT_EQ(Mismatches(Shot(), frame_, kExact), 0);
    ASSERT_NO_FATAL_FAILURE(Restart());
  }
}

TEST_F(Screen, OffScreenPictureStretchedTwoAndAHalfTimes) {
  Show(VIDZO_DISPLAY_AUTOMATIC, 160, 120);
  EXPECT_EQ(display_->Type, 5u);
  EXPECT_EQ(display_->Blitter, nullptr);
  EXPECT_EQ(Mismatches(Shot(), frame_, kExact), 0);
}

TEST_F(Screen, DirectDrawingAtOneToOne) {
  Show(VIDZO_DISPLAY_DIBSECTION, 0, 0);
  ASSERT_NE(display_->Blitter, nullptr);
  EXPECT_EQ(display_->DirectDrawn, 1u);
  EXPECT_EQ(Mismatches(Shot(), frame_, kRgb565), 0);
}

TEST_F(Screen, DirectDrawingDoubled) {
  Show(VIDZO_DISPLAY_DIBSECTION, 128, 96);
  ASSERT_NE(display_->Blitter, nullptr);
  EXPECT_EQ(Mismatches(Shot(), frame_, kRgb565), 0);
}

TEST_F(Screen, DirectDrawingInterlacedLeavesEveryOtherRowBlack) {
  Show(VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_INTERLACED, 128, 96);
  ASSERT_NE(display_->Blitter, nullptr);
  EXPECT_EQ(Mismatches(Shot(), frame_, kRgb565, true), 0);
  // A repaint (as after an expose) keeps them black.
  VidzoWindowPaint(window_);
  EXPECT_EQ(Mismatches(Shot(), frame_, kRgb565, true), 0);
}

TEST_F(Screen, WindowPlacedAfterTheDisplayOpened) {
  for (uint32_t type :
       {VIDZO_DISPLAY_DIB, VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_NO_DIRECT, VIDZO_DISPLAY_DIBSECTION}) {
    SCOPED_TRACE(type);
    Show(type, 128, 96, true);
    EXPECT_EQ(Mismatches(Shot(), frame_, display_->Blitter ? kRgb565 : kExact), 0);
    ASSERT_NO_FATAL_FAILURE(Restart());
  }
}

TEST_F(Screen, AnExposedWindowIsPaintedAgain) {
  for (uint32_t type : {VIDZO_DISPLAY_DIB, VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_INTERLACED}) {
    SCOPED_TRACE(type);
    const uint32_t scale = type == VIDZO_DISPLAY_DIB ? 1 : 2;
    Show(type, 64 * scale, 48 * scale);
    const bool interlaced = display_->Blitter != nullptr;
    const std::uint32_t mask = interlaced ? kRgb565 : kExact;
    int32_t x = 0, y = 0;
    VidzoWindowGetClientRect(window_, &x, &y, nullptr, nullptr);
    const auto covered = display_test::CoverAndUncover(server_->Name(), x, y, int(display_->WindowWidth),
                                                       int(display_->WindowHeight));
    ASSERT_FALSE(covered.empty());
    EXPECT_EQ(covered[0], 0u);  // the cover really hid the picture
    // The uncovered area comes back once the expose has been dispatched.
    int bad = -1;
    for (int tries = 0; tries < 200 && bad != 0; ++tries) {
      SDL_Delay(5);
      VidzoDispatchEvents();
      bad = Mismatches(Shot(), frame_, mask, interlaced, false);
    }
    EXPECT_EQ(bad, 0);
    ASSERT_NO_FATAL_FAILURE(Restart());
  }
}

TEST_F(Screen, DirectDrawingSmoothedKeepsEachPixelAtItsBlocksLowerRight) {
  Show(VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_SMOOTH, 128, 96);
  ASSERT_NE(display_->Blitter, nullptr);
  const auto shot = Shot();
  ASSERT_EQ(shot.size(), 128u * 96u);
  int bad = 0;
  for (uint32_t y = 0; y < 48; ++y)
    for (uint32_t x = 0; x < 64; ++x)
      bad += (shot[(2 * y + 1) * 128 + 2 * x + 1] & kRgb565) !=
             (display_test::ColourOf(frame_, frame_.pixels[y * 64 + x]) & kRgb565);
  EXPECT_EQ(bad, 0);
}

TEST_F(Screen, PaletteChangesShow) {
  for (uint32_t type :
       {VIDZO_DISPLAY_DIB, VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_NO_DIRECT, VIDZO_DISPLAY_DIBSECTION}) {
    SCOPED_TRACE(type);
    Show(type, 0, 0);
    const std::uint32_t mask = display_->Blitter ? kRgb565 : kExact;
    // Only the palette changes: the realize repaints the whole picture.
    VidzoDisplaySetPalette(display_, second_.palette.data(), 0);
    EXPECT_EQ(VidzoDisplayRealize(display_), 256u);
    Frame recoloured = frame_;
    recoloured.palette = second_.palette;
    EXPECT_EQ(Mismatches(Shot(), recoloured, mask), 0);
    // A new picture and palette in one frame: one small rectangle repaints all.
    display_test::PutFrame(display_, second_);
    VidzoDisplaySetPalette(display_, frame_.palette.data(), 0);
    VidzoDisplayBeginFrame(display_);
    VidzoDisplayBlit(display_, nullptr, 0, 0, 0, 0, 4, 4);
    VidzoDisplayEndFrame(display_);
    Frame back = second_;
    back.palette = frame_.palette;
    EXPECT_EQ(Mismatches(Shot(), back, mask), 0);
    ASSERT_NO_FATAL_FAILURE(Restart());
  }
}

}  // namespace
