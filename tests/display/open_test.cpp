// The display buffer under SDL's dummy video driver: which opens succeed,
// the record they fill, palette bookkeeping, batching, clear, describe and
// the display resolution.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "display/blit.h"
#include "display_fixture.h"
#include "platform/messagebox.h"
#include "playback/vidzo.h"

namespace {

struct WindowCloser {
  void operator()(VidzoWindow* w) const { VidzoWindowDestroy(w); }
};
struct DisplayCloser {
  void operator()(VidzoDisplayBuffer* d) const { VidzoDisplayClose(d); }
};
using WindowPtr = std::unique_ptr<VidzoWindow, WindowCloser>;
using DisplayPtr = std::unique_ptr<VidzoDisplayBuffer, DisplayCloser>;

class DummyDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_test::StartDummyVideo());
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
    window_.reset(VidzoWindowCreate("Display test", 0));
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    window_.reset();
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
    VidzoVideoStop();
  }
  DisplayPtr Open(uint32_t type, uint32_t w, uint32_t h, uint32_t sw = 0, uint32_t sh = 0) {
    return DisplayPtr(VidzoDisplayOpen(window_.get(), type, w, h, sw, sh));
  }
  WindowPtr window_;
};

uint16_t Pack565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
}

std::string Describe(VidzoDisplayBuffer* d) {
  char text[VIDZO_DISPLAY_DESCRIBE_SIZE];
  return VidzoDisplayDescribe(d, text);
}

TEST_F(DummyDisplay, AutomaticChoosesTheOffScreenPictureElseStandardDibs) {
  {
    auto d = Open(VIDZO_DISPLAY_AUTOMATIC, 64, 48);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Type, 5u);
    EXPECT_EQ(Describe(d.get()), "DIBSection");
    EXPECT_EQ(d->FullScreen, 0u);
    EXPECT_EQ(d->Orientation, 0u);
  }
  // The window already has a renderer of its own, so no off-screen picture
  // can be had: type 5 fails alone, automatic falls back.
  SDL_Renderer* other = SDL_CreateRenderer(static_cast<SDL_Window*>(VidzoWindowHandle(window_.get())), -1, 0);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_DIBSECTION, 64, 48), nullptr);
  auto d = Open(VIDZO_DISPLAY_AUTOMATIC, 64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Type, 4u);
  EXPECT_EQ(d->RectMode, VIDZO_RECTS_BOUNDING);
  EXPECT_EQ(Describe(d.get()), "Standard Windows DIBs");
  d.reset();
  SDL_DestroyRenderer(other);
}

TEST_F(DummyDisplay, OpensFailAsDocumented) {
  EXPECT_EQ(VidzoDisplayOpen(nullptr, VIDZO_DISPLAY_DIB, 64, 48, 0, 0), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_DIB, 0, 48), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_DIB, 64, 0), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_DIB, 100000, 48), nullptr);
  EXPECT_EQ(Open(6, 64, 48), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_FULL_320X240, 640, 480), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_FULL_320X240, 320, 241), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_FULL_320X200, 320, 240), nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_FULL_320X240, 160, 100, 320, 200), nullptr);  // stretched
  // One display per window.
  auto d = Open(VIDZO_DISPLAY_DIB, 64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(Open(VIDZO_DISPLAY_DIB, 64, 48), nullptr);
  d.reset();
  EXPECT_NE(Open(VIDZO_DISPLAY_DIB, 64, 48), nullptr);
}

TEST_F(DummyDisplay, FullScreenTypes) {
  {
    auto d = Open(VIDZO_DISPLAY_FULL_320X240, 320, 200);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->FullScreen, 1u);
    EXPECT_EQ(d->Height, 204u);  // raised from 200
    EXPECT_EQ(d->RectMode, VIDZO_RECTS_BOUNDING);
    EXPECT_EQ(d->LastUsable, 256u);
    EXPECT_EQ(d->Active, 1u);
    EXPECT_EQ(VidzoDisplayHasFocus(d.get()), 1u);
    EXPECT_EQ(Describe(d.get()), "Full screen 320x240");
    EXPECT_TRUE(SDL_GetWindowFlags(static_cast<SDL_Window*>(VidzoWindowHandle(window_.get()))) &
                SDL_WINDOW_FULLSCREEN);
    // The buffered types show the whole buffer and end the rectangle loop.
    EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 8, 8), VIDZO_DISPLAY_BLIT_WHOLE);
  }
  EXPECT_FALSE(SDL_GetWindowFlags(static_cast<SDL_Window*>(VidzoWindowHandle(window_.get()))) &
               SDL_WINDOW_FULLSCREEN);
  {
    auto d = Open(VIDZO_DISPLAY_FULL_320X200, 256, 160);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Height, 160u);
    EXPECT_EQ(Describe(d.get()), "Full screen 320x200");
  }
  auto d = Open(VIDZO_DISPLAY_FULL_DIRECT, 64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Width, 320u);
  EXPECT_EQ(d->Height, 200u);
  EXPECT_EQ(d->RectMode, VIDZO_RECTS_NONE);
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 8, 8), 0u);
  EXPECT_EQ(Describe(d.get()), "Full screen 320x200 direct");
}

TEST_F(DummyDisplay, RecordFields) {
  auto d = Open(VIDZO_DISPLAY_DIB, 50, 30, 100, 60);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Width, 50u);
  EXPECT_EQ(d->Height, 30u);
  EXPECT_EQ(d->Pitch, 56u);
  EXPECT_EQ(d->Stretched, 1u);
  EXPECT_EQ(d->WindowWidth, 100u);
  EXPECT_EQ(d->WindowHeight, 60u);
  EXPECT_GT(d->ScreenColours, 256u);  // a true-colour screen
  EXPECT_EQ(d->PaletteSize, 256u);
  EXPECT_EQ(d->FirstUsable, 0u);
  EXPECT_EQ(d->LastUsable, 256u);
  EXPECT_EQ(d->UsableColours, 256u);
  EXPECT_EQ(d->PaletteLayout, 6u);
  EXPECT_EQ(d->BatchCapacity, 16u);
  EXPECT_EQ(d->Window, window_.get());
  for (uint32_t i = 0; i < d->Pitch * d->Height; ++i) ASSERT_EQ(d->Pixels[i], 0) << i;
  d.reset();
  d = Open(VIDZO_DISPLAY_DIB, 640, 480);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Stretched, 0u);
  EXPECT_EQ(d->BatchCapacity, 120u * 10u / 2u);
}

TEST_F(DummyDisplay, RectModeAndDirectDrawingFollowTheWindowSize) {
  struct Case {
    uint32_t type, sw, sh, rect_mode;
    bool direct;
    uint32_t blit_mode;
  };
  // 64 x 48 in windows of 1x, 2x and 4x take several rectangles; 2.5x, 3x
  // and odd sizes one bounding rectangle, and only 1x and 2x draw directly.
  const Case cases[] = {
      {VIDZO_DISPLAY_DIBSECTION, 0, 0, VIDZO_RECTS_BUDGET, true, 6},
      {VIDZO_DISPLAY_DIBSECTION, 128, 96, VIDZO_RECTS_BUDGET, true, 7},
      {VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_INTERLACED, 128, 96, VIDZO_RECTS_BUDGET, true, 8},
      {VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_SMOOTH | VIDZO_DISPLAY_INTERLACED, 128, 96,
       VIDZO_RECTS_BUDGET, true, 9},
      {VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_NO_DIRECT, 128, 96, VIDZO_RECTS_BUDGET, false, 0},
      {VIDZO_DISPLAY_DIBSECTION, 160, 120, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_AUTOMATIC, 160, 120, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_DIBSECTION, 256, 192, VIDZO_RECTS_BUDGET, false, 0},
      {VIDZO_DISPLAY_DIBSECTION, 192, 144, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_AUTOMATIC, 150, 110, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_DIBSECTION, 128, 90, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_DIB, 160, 120, VIDZO_RECTS_BOUNDING, false, 0},
      {VIDZO_DISPLAY_DIB, 0, 0, VIDZO_RECTS_BOUNDING, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " window " << c.sw << "x" << c.sh);
    auto d = Open(c.type, 64, 48, c.sw, c.sh);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->RectMode, c.rect_mode);
    EXPECT_EQ(d->Blitter != nullptr, c.direct);
    if (c.direct) {
      EXPECT_EQ(d->Blitter->Mode, c.blit_mode);
      EXPECT_EQ(d->BlitFlags & VIDZO_BLIT_FORMAT_MASK, VIDZO_BLIT_565);  // the software renderer offers 5-6-5
      EXPECT_NE(d->PrimarySurface, nullptr);
    }
  }
}

TEST_F(DummyDisplay, PaletteBookkeeping) {
  auto d = Open(VIDZO_DISPLAY_DIBSECTION, 64, 48);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->Blitter, nullptr);
  EXPECT_EQ(d->PaletteSet, 0u);
  EXPECT_EQ(d->RepaintAll, 0u);
  for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(d->ColourTable[i], 0) << i;  // starts black

  std::array<uint8_t, 768> rgb;
  for (uint32_t i = 0; i < 768; ++i) rgb[i] = static_cast<uint8_t>(i * 7 + 1);
  VidzoDisplaySetPalette(d.get(), rgb.data(), 0);
  for (uint32_t i = 0; i < 256; ++i) {
    ASSERT_EQ(d->ColourTable[4 * i], rgb[3 * i + 2]) << i;  // blue first
    ASSERT_EQ(d->ColourTable[4 * i + 1], rgb[3 * i + 1]) << i;
    ASSERT_EQ(d->ColourTable[4 * i + 2], rgb[3 * i]) << i;
    ASSERT_EQ(d->ColourTable[4 * i + 3], 0) << i;
  }
  EXPECT_EQ(d->PaletteSet, 1u);
  EXPECT_EQ(d->RepaintAll, 1u);
  // The direct-drawing blitter got the same colours.
  EXPECT_EQ(0, std::memcmp(d->Blitter->PaletteCopy, rgb.data(), 768));
  EXPECT_EQ(d->Blitter->Colour16[5], Pack565(rgb[15], rgb[16], rgb[17]));

  // Realize repaints once and clears PaletteSet; a blit repaints the whole
  // buffer once and clears RepaintAll.
  EXPECT_EQ(VidzoDisplayRealize(d.get()), 256u);
  EXPECT_EQ(d->PaletteSet, 0u);
  VidzoDisplaySetPalette(d.get(), rgb.data(), 0);  // the same palette still asks for a repaint
  EXPECT_EQ(d->RepaintAll, 1u);
  VidzoWindowShow(window_.get());
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 4, 4), 0u);
  EXPECT_EQ(d->RepaintAll, 0u);
  EXPECT_EQ(d->DirectActive, 1u);

  // The 4-byte layout with blue first reads back what ColourTable holds.
  std::array<uint8_t, 1024> table;
  for (uint32_t i = 0; i < 1024; ++i) table[i] = static_cast<uint8_t>(255 - i);
  VidzoDisplaySetPalette(d.get(), table.data(), VIDZO_LAYOUT_4BYTE | VIDZO_LAYOUT_BGR);
  for (uint32_t i = 0; i < 256; ++i)
    for (uint32_t k = 0; k < 3; ++k) ASSERT_EQ(d->ColourTable[4 * i + k], table[4 * i + k]) << i;
  VidzoDisplaySetPalette(d.get(), nullptr, 0);  // ignored
  VidzoDisplaySetPalette(nullptr, rgb.data(), 0);
  EXPECT_EQ(d->ColourTable[4], table[4]);
}

TEST_F(DummyDisplay, BatchingCollectsTheFrameAndDrawsAtItsEnd) {
  auto d = Open(VIDZO_DISPLAY_DIB, 64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->BatchState, VIDZO_BATCH_IMMEDIATE);
  VidzoDisplayBeginFrame(d.get());
  EXPECT_EQ(d->BatchState, VIDZO_BATCH_COLLECTING);
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 4, 8, 4, 8, 16, 12), 0u);
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 60, 40, 60, 40, 16, 16), 0u);  // clipped to 4 x 8
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 64, 0, 64, 0, 4, 4), 0u);      // outside: nothing
  ASSERT_EQ(d->BatchCount, 2u);
  const uint32_t first[6] = {4, 8, 4, 8, 16, 12}, second[6] = {60, 40, 60, 40, 4, 8};
  EXPECT_EQ(0, std::memcmp(d->BatchList, first, sizeof first));
  EXPECT_EQ(0, std::memcmp(d->BatchList + 6, second, sizeof second));
  // A full batch draws further rectangles at once.
  for (uint32_t i = 2; i < d->BatchCapacity + 5; ++i)
    EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 4, 4), 0u);
  EXPECT_EQ(d->BatchCount, d->BatchCapacity);
  VidzoDisplayEndFrame(d.get());
  EXPECT_EQ(d->BatchState, VIDZO_BATCH_IMMEDIATE);
  EXPECT_EQ(d->BatchCount, 0u);
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 4, 4), 0u);
  EXPECT_EQ(d->BatchCount, 0u);
  EXPECT_EQ(VidzoDisplayBlit(nullptr, nullptr, 0, 0, 0, 0, 4, 4), 1u);
}

TEST_F(DummyDisplay, ClearFillsTheBufferButNotThePitchPadding) {
  auto d = Open(VIDZO_DISPLAY_DIB, 61, 9);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->Pitch, 64u);
  VidzoDisplayClear(d.get(), 0x1A7);
  for (uint32_t y = 0; y < d->Height; ++y)
    for (uint32_t x = 0; x < d->Pitch; ++x)
      ASSERT_EQ(d->Pixels[y * d->Pitch + x], x < 61 ? 0xA7 : 0) << x << "," << y;
}

TEST_F(DummyDisplay, DescribeNamesTheDirectBlitterOnceItDrew) {
  auto d = Open(VIDZO_DISPLAY_DIBSECTION | VIDZO_DISPLAY_INTERLACED, 64, 48, 128, 96);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->Blitter, nullptr);
  EXPECT_EQ(Describe(d.get()), "DIBSection");
  // Nothing is drawn directly into a hidden window.
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 8, 8), 0u);
  EXPECT_EQ(d->DirectDrawn, 0u);
  VidzoWindowShow(window_.get());
  EXPECT_EQ(VidzoDisplayBlit(d.get(), nullptr, 0, 0, 0, 0, 8, 8), 0u);
  EXPECT_EQ(d->DirectDrawn, 1u);
  EXPECT_EQ(d->ClipRight, 128);
  EXPECT_EQ(d->ClipBottom, 96);
  char mode[32];
  EXPECT_EQ(Describe(d.get()),
            std::string("DIBSection with accelerated blitting (") + VidzoBlitString(d->Blitter, mode) + ")");
  EXPECT_EQ(std::string(mode).rfind("16-bit 2x Interlaced", 0), 0u);
  char text[4] = "x";
  EXPECT_STREQ(VidzoDisplayDescribe(nullptr, text), "");
}

TEST_F(DummyDisplay, FocusAndRealizeWithoutADisplay) {
  auto d = Open(VIDZO_DISPLAY_DIB, 64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(VidzoDisplayHasFocus(d.get()), 1u);  // nothing can take the focus away
  EXPECT_EQ(VidzoDisplayRealize(d.get()), 256u);
  EXPECT_EQ(VidzoDisplayRealize(nullptr), 0u);
  EXPECT_EQ(VidzoDisplayHasFocus(nullptr), 0u);
}

TEST_F(DummyDisplay, DisplayResolutionTakesOnlyModesTheScreenHas) {
  // The dummy driver's only mode is 1024 x 768.
  EXPECT_EQ(VidzoDisplaySetResolution(4), 1u);
  EXPECT_EQ(VidzoDisplaySetResolution(1), 0u);
  EXPECT_EQ(VidzoDisplaySetResolution(5), 0u);
  auto d = Open(VIDZO_DISPLAY_FULL_320X200, 320, 200);
  EXPECT_NE(d, nullptr);
  d.reset();
  EXPECT_EQ(VidzoDisplaySetResolution(0), 1u);
  EXPECT_GT(VidzoDisplayScreenColours(), 256u);
}

TEST_F(DummyDisplay, WindowPlacementSnapsTheClientLeftEdge) {
  VidzoWindowMetrics m;
  VidzoWindowGetMetrics(window_.get(), &m);
  EXPECT_EQ(m.ScreenWidth, 1024);
  EXPECT_EQ(m.ScreenHeight, 768);
  EXPECT_EQ(m.FrameLeft, 0);  // no frame without a window manager
  const int32_t lefts[][2] = {{0, 0},  {4, 0},   {5, 8},    {13, 16},  {100, 96},
                              {-3, 0}, {-4, -8}, {-11, -8}, {-12, -16}};
  for (const auto& l : lefts) {
    VidzoWindowMove(window_.get(), l[0], 33, 200, 150);
    int32_t x = 0, y = 0;
    uint32_t w = 0, h = 0;
    VidzoWindowGetClientRect(window_.get(), &x, &y, &w, &h);
    EXPECT_EQ(x, l[1]) << "left " << l[0];
    EXPECT_EQ(y, 33);
    EXPECT_EQ(w, 200u);
    EXPECT_EQ(h, 150u);
  }
}

TEST(VideoStart, FallsBackToTheDummyDriverWithoutADisplay) {
  VidzoVideoStop();
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ASSERT_EQ(VidzoVideoStart(), 1u);
  EXPECT_STREQ(VidzoVideoDriver(), "dummy");
  EXPECT_EQ(VidzoVideoIsReal(), 0u);
  EXPECT_FALSE(platform::SetMessagePresenter({}));  // boxes only on standard error
  VidzoWindow* w = VidzoWindowCreate("headless", VIDZO_WINDOW_NO_CAPTION);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(SDL_GetWindowFlags(static_cast<SDL_Window*>(VidzoWindowHandle(w))) & SDL_WINDOW_BORDERLESS);
  VidzoWindowDestroy(w);
  VidzoVideoStop();
  EXPECT_STREQ(VidzoVideoDriver(), "");
}

}  // namespace
