// The drawing, text, input, mouse, bitmap and animation commands, run
// in-process on SDL's dummy video driver: the display's pixels and palette
// are compared with pictures the tests compute, and keys and clicks are
// injected as SDL events.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "display/key_queue.h"
#include "display/player_window.h"
#include "drawing_host.h"
#include "support/test_animation.h"

namespace script_test {
namespace {

struct Shot {
  std::vector<uint8_t> pixels, palette;
  uint32_t width = 0, height = 0;
};

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VidzoVideoStop();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
  }

  // Runs the script; a line "INPUTCHAR SHOT" in it takes the picture and
  // answers ESCAPE. Returns the variables' values through GetVariable.
  bool Run(const std::string& text, const std::function<void(DrawHost&)>& hook = {}) {
    std::ofstream(dir_.File("main.ss"), std::ios::binary) << text;
    host_ = std::make_unique<DrawHost>(dir_);
    host_->mouse = mouse_;
    host_->on_wait = [this, hook](DrawHost& h) {
      if (hook) hook(h);
      if (!shot_taken_ && h.Display() != nullptr &&
          engine_->command_text().rfind("INPUTCHAR SHOT", 0) == 0) {
        shot_taken_ = true;
        shot_.pixels = h.Pixels();
        shot_.palette = h.palette;
        shot_.width = h.Display()->Width;
        shot_.height = h.Display()->Height;
        PushKey(SDLK_ESCAPE);
      }
    };
    engine_ = std::make_unique<vidzoscript::Engine>(*host_);
    bool failed = false;
    EXPECT_TRUE(engine_->RunTop("main.ss", &failed));
    vars_ = engine_->variables().Items();
    engine_->CloseAll();
    return !failed;
  }

  std::string Var(const std::string& name) {
    for (const auto& [n, v] : vars_)
      if (n == name) return v;
    return "<unset>";
  }

  uint8_t At(uint32_t x, uint32_t y) const { return shot_.pixels.at(size_t(y) * shot_.width + x); }

  vidzoer_test::TempDir dir_;
  std::unique_ptr<DrawHost> host_;
  std::unique_ptr<vidzoscript::Engine> engine_;
  std::vector<std::pair<std::string, std::string>> vars_;
  Shot shot_;
  bool shot_taken_ = false;
  bool mouse_ = false;
};

// A picture of the given size, every pixel of colour 0 first.
std::vector<uint8_t> Blank(uint32_t w, uint32_t h, uint8_t colour = 0) {
  return std::vector<uint8_t>(size_t(w) * h, colour);
}

void Set(std::vector<uint8_t>& p, uint32_t w, int64_t x, int64_t y, uint32_t h, uint8_t c) {
  if (x >= 0 && y >= 0 && x < w && y < h) p[size_t(y) * w + size_t(x)] = c;
}

TEST_F(DrawingTest, GraphicsGivesTheFourRampsAndCentresTheOrigin) {
  ASSERT_TRUE(Run("SCREENWIDTH A\nSCREENHEIGHT B\nSCREENGRAPHICS OK 160 100\nSCREENWIDTH W\nSCREENHEIGHT H\n"
                  "TEXTX TX\nINPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("A"), "80");
  EXPECT_EQ(Var("B"), "25");
  EXPECT_EQ(Var("OK"), "1");
  EXPECT_EQ(Var("W"), "160");
  EXPECT_EQ(Var("H"), "100");
  EXPECT_EQ(Var("TX"), "0");
  ASSERT_EQ(shot_.palette.size(), 768u);
  for (int i = 0; i < 64; ++i) {
    const uint8_t v = static_cast<uint8_t>(i);
    const uint8_t want[4][3] = {{v, v, v}, {v, 0, 0}, {0, v, 0}, {0, 0, v}};
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(shot_.palette[3 * (64 * r + i) + c], want[r][c]) << r << " " << i;
  }
}

TEST_F(DrawingTest, ZeroDimensionIsAnError) {
  EXPECT_FALSE(Run("SCREENGRAPHICS OK 0 100\n"));
  ASSERT_EQ(host_->boxes.size(), 1u);
  EXPECT_NE(host_->boxes[0].find("Zero dimension in command:"), std::string::npos);
}

TEST_F(DrawingTest, DrawingWithoutWindowIsAnError) {
  EXPECT_FALSE(Run("SCREENCLEAR 3\n"));
  ASSERT_EQ(host_->boxes.size(), 1u);
  EXPECT_NE(host_->boxes[0].find("A window hasn't been created yet"), std::string::npos);
}

TEST_F(DrawingTest, LinesAndBoxesClipToTheDisplay) {
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 64 48\n"
                  "SCREENLINE -10 -10 100 100 5\n"           // a diagonal through the corner
                  "SCREENLINE 3 -1000000 3 1000000 6\n"      // a column far beyond both edges
                  "SCREENFILLEDBOX 60 40 100 100 7\n"        // past the bottom right
                  "SCREENFILLEDBOX -5 -5 3 3 9\n"            // wholly outside
                  "SCREENBOX 10 20 5 4 8\n"                  // outline through (10,20) and (14,23)
                  "SCREENBOX -2147483647 -2147483647 2147483647 2147483647 4\n"
                  "INPUTCHAR SHOT\n"));
  std::vector<uint8_t> want = Blank(64, 48);
  for (int i = 0; i < 48; ++i) Set(want, 64, i, i, 48, 5);
  for (int y = 0; y < 48; ++y) Set(want, 64, 3, y, 48, 6);
  for (int y = 40; y < 48; ++y)
    for (int x = 60; x < 64; ++x) Set(want, 64, x, y, 48, 7);
  for (int x = 10; x <= 14; ++x) Set(want, 64, x, 20, 48, 8), Set(want, 64, x, 23, 48, 8);
  for (int y = 20; y <= 23; ++y) Set(want, 64, 10, y, 48, 8), Set(want, 64, 14, y, 48, 8);
  // The huge box: its right and bottom edges at -2 lie outside; its left
  // and top edges too.
  ASSERT_EQ(shot_.pixels.size(), want.size());
  for (uint32_t y = 0; y < 48; ++y)
    for (uint32_t x = 0; x < 64; ++x) ASSERT_EQ(At(x, y), want[y * 64 + x]) << x << "," << y;
}

TEST_F(DrawingTest, TextInAFontMadeFromABitmapWithATransparentBackColour) {
  // Two 3 x 2 glyphs for "A" and "B" side by side in a 6 x 2 bitmap.
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 32 16\nSCREENCLEAR 2\n"
                  "BITMAPALLOC F 6 2\nBITMAPCLEAR F 0\n"
                  "BITMAPSETPIXEL F 0 0 1\nBITMAPSETPIXEL F 2 1 1\n"  // A: top left, bottom right
                  "BITMAPSETPIXEL F 4 0 1\n"                          // B: top middle
                  "TEXTFONTFROMBITMAP F 3 2 65 66\n"
                  "TEXTCOLOR 9\nTEXTBACKCOLOR 128\nTEXTSETXY 1 1\nTEXTNOCR \"ABA\"\nTEXTX X\n"
                  "TEXTBACKCOLOR 3\nTEXTSETXY 1 5\nTEXTNOCR \"B\"\nINPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("X"), "10");
  std::vector<uint8_t> want = Blank(32, 16, 2);
  // "ABA" at (1,1), back colour transparent: only set pixels drawn.
  Set(want, 32, 1, 1, 16, 9), Set(want, 32, 3, 2, 16, 9);
  Set(want, 32, 5, 1, 16, 9);
  Set(want, 32, 7, 1, 16, 9), Set(want, 32, 9, 2, 16, 9);
  // "B" at (1,5) with back colour 3.
  for (int y = 5; y < 7; ++y)
    for (int x = 1; x < 4; ++x) Set(want, 32, x, y, 16, 3);
  Set(want, 32, 2, 5, 16, 9);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 32; ++x) ASSERT_EQ(At(x, y), want[y * 32 + x]) << x << "," << y;
}

TEST_F(DrawingTest, BuiltInFontDrawsPrintableCharactersInEightBySixteenCells) {
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 64 32\nTEXTCOLOR 15\nTEXTBACKCOLOR 1\nTEXTNOCR \"H .\"\nTEXTX X\n"
                  "TEXT \"\"\nTEXTY Y\nINPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("X"), "24");
  EXPECT_EQ(Var("Y"), "16");
  // Every cell is all back colour or text colour; the blank is all back
  // colour, "H" has set pixels in two columns on many rows, "." only low.
  int h_set = 0, dot_top = 0, dot_low = 0;
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 24; ++x) {
      const uint8_t p = At(x, y);
      ASSERT_TRUE(p == 15 || p == 1);
      if (x >= 8 && x < 16) {
        ASSERT_EQ(p, 1);
      }
      if (x < 8 && p == 15) ++h_set;
      if (x >= 16 && p == 15) (y < 8 ? dot_top : dot_low)++;
    }
  EXPECT_GT(h_set, 16);
  EXPECT_EQ(dot_top, 0);
  EXPECT_GT(dot_low, 0);
  EXPECT_EQ(At(30, 4), 0);  // beyond the text: untouched
}

TEST_F(DrawingTest, TransparentMaskedAndMergedCopiesToTheScreen) {
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 40 10\nSCREENCLEAR 1\n"
                  "BITMAPALLOC S 4 2\nBITMAPCLEAR S 7\nBITMAPSETPIXEL S 1 0 0\n"  // source: 7 with a 0
                  "BITMAPALLOC M 4 2\nBITMAPCLEAR M 5\nBITMAPSETPIXEL M 2 1 0\n"  // mask/other: 5 with a 0
                  "BITMAPTOSCREENTRANS S 0 0 0\n"
                  "BITMAPTOSCREENMASK S M 8 0 0\n"
                  "BITMAPTOSCREENMERGE S M 16 0 0\n"
                  "BITMAPALLOC SMALL 2 2\nBITMAPTOSCREENMASK S SMALL 24 0 0\n"  // sizes differ: nothing
                  "BITMAPTOSCREEN S 38 8\n"                                      // clipped at the corner
                  "INPUTCHAR SHOT\n"));
  std::vector<uint8_t> want = Blank(40, 10, 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t s = (x == 1 && y == 0) ? 0 : 7;
      const uint8_t m = (x == 2 && y == 1) ? 0 : 5;
      if (s != 0) Set(want, 40, x, y, 10, s);                 // trans: key pixels skipped
      if (m != 0) Set(want, 40, 8 + x, y, 10, s);             // mask: where the mask is not the key
      Set(want, 40, 16 + x, y, 10, s == 0 ? m : s);           // merge: key pixels from the other
      Set(want, 40, 38 + x, 8 + y, 10, s);                    // plain, clipped
    }
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 40; ++x) ASSERT_EQ(At(x, y), want[y * 40 + x]) << x << "," << y;
}

TEST_F(DrawingTest, BitmapEdgeCases) {
  ASSERT_TRUE(Run("BITMAPALLOC B 100 10\nBITMAPCLEAR B 0\nBITMAPSETPIXEL B 10000 3 7\n"
                  "BITMAPGETPIXEL P B 99 3\nBITMAPGETPIXEL Q B -5 -5\n"
                  "BITMAPSETPALETTEVALUE B 4 197121\nBITMAPGETPALETTEVALUE V B 4\n"
                  "BITMAPGETPALETTEVALUE NONE B 300\n"
                  "BITMAPALLOC BIG 320 200\nBITMAPCLEAR BIG 1\nBITMAPSETPIXEL BIG 50 20 9\n"
                  "BITMAPSETPIXEL BIG 149 119 8\n"
                  "BITMAPALLOC SMALL 100 100\nBITMAPTOBITMAP SMALL BIG 50 20\n"
                  "BITMAPGETPIXEL C0 SMALL 0 0\nBITMAPGETPIXEL C1 SMALL 99 99\nBITMAPGETPIXEL C2 SMALL 1 1\n"
                  "BITMAPLINE B -50 5 500 5 3\nBITMAPGETPIXEL L B 0 5\nBITMAPFILLEDBOX B 90 8 1000 1000 4\n"
                  "BITMAPGETPIXEL F B 99 9\n"
                  "VARSET KEEP B\nBITMAPFREE B\nBITMAPALLOC AGAIN 1 1\n"));
  EXPECT_EQ(Var("P"), "7");
  EXPECT_EQ(Var("Q"), "0");
  EXPECT_EQ(Var("V"), "197121");
  EXPECT_EQ(Var("NONE"), "0");
  EXPECT_EQ(Var("C0"), "9");
  EXPECT_EQ(Var("C1"), "8");
  EXPECT_EQ(Var("C2"), "1");
  EXPECT_EQ(Var("L"), "3");
  EXPECT_EQ(Var("F"), "4");
  EXPECT_EQ(Var("B"), "<unset>");  // BITMAPFREE takes the variable
  EXPECT_EQ(Var("AGAIN"), Var("KEEP"));  // the slot is free again
}

TEST_F(DrawingTest, BitmapFreeOfAHandleThatIsNoBitmapIsAnError) {
  EXPECT_FALSE(Run("VARSET B 9005\nBITMAPFREE B\n"));
  ASSERT_EQ(host_->boxes.size(), 1u);
  EXPECT_NE(host_->boxes[0].find("Bad frame parameter"), std::string::npos);
}

TEST_F(DrawingTest, PaletteLocksKeepEntries) {
  ASSERT_TRUE(Run("SCREENPALETTELOCK 250 20 1\nSCREENGRAPHICS OK 16 16\nINPUTCHAR SHOT\n"));
  // Entries 250 to 255 stayed black; 249 got its ramp value.
  for (int i = 250; i < 256; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(shot_.palette[3 * i + c], 0) << i;
  EXPECT_EQ(shot_.palette[3 * 249 + 2], 249 - 192);
}

TEST_F(DrawingTest, BrightestAndDarkestEntries) {
  ASSERT_TRUE(Run("BITMAPALLOC B 1 1\nBITMAPSETPALETTEVALUE B 0 0\n"
                  "BITMAPSETPALETTEVALUE B 3 4144959\n"   // 63,63,63
                  "BITMAPSETPALETTEVALUE B 7 4144959\n"   // a later tie wins for the brightest
                  "BITMAPGETBRIGHTESTPALETTEINDEX HI B\nBITMAPGETDARKESTPALETTEINDEX LO B\n"
                  "BITMAPALLOC N 1 1\nBITMAPGETBRIGHTESTPALETTEINDEX NO N\n"));
  EXPECT_EQ(Var("HI"), "7");
  EXPECT_EQ(Var("LO"), "0");
  EXPECT_EQ(Var("NO"), "0");
}

TEST_F(DrawingTest, KeysAreNamed) {
  std::vector<std::string> names;
  int step = 0;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 16 16\n"
                  "INPUTCHAR K1\nINPUTCHAR K2\nINPUTCHAR K3\nINPUTCHAR K4\nINPUTCHAR K5\nINPUTCHAR K6\n"
                  "INPUTCHARORDELAY K7 30\nINPUTCHAR K8\n",
                  [&](DrawHost&) {
                    if (step == 0) {
                      PushKey(SDLK_TAB, KMOD_LSHIFT);
                      PushKey(SDLK_F4, KMOD_LALT);
                      PushKey(SDLK_F10, KMOD_LCTRL);
                      PushKey(SDLK_LEFT);
                      PushKey(SDLK_F2, KMOD_LSHIFT);
                      PushText("q");
                      step = 1;
                    } else if (step == 1 && VidzoKeysWaiting() == 0 && shot_taken_) {
                      step = 2;
                    }
                  }));
  EXPECT_EQ(Var("K1"), "BACKTAB");
  EXPECT_EQ(Var("K2"), "ALT F4");
  EXPECT_EQ(Var("K3"), "CONTROL F10");
  EXPECT_EQ(Var("K4"), "LEFT");
  EXPECT_EQ(Var("K5"), "SHIFT F2");
  EXPECT_EQ(Var("K6"), "q");
  EXPECT_EQ(Var("K7"), "DELAY");
}

TEST_F(DrawingTest, ClosingTheWindowWhileWaitingGivesCode241) {
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 16 16\nINPUTCHAR K\n", [](DrawHost& h) {
    if (h.waits == 1) PushClose();
  }));
  EXPECT_EQ(Var("K"), std::string(1, static_cast<char>(241)));
}

TEST_F(DrawingTest, ClicksGiveTheAreaUnderThePointer) {
  int step = 0;
  mouse_ = true;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 100 100\n"
                  "MOUSEADD \"OLD\" 10 10 20 20 0\nMOUSEADD \"NEW\" 10 10 20 20 0\n"  // one rectangle, two areas
                  "INPUTCHAR A\nINPUTCHAR B\nINPUTCHAR C\nMOUSEX MX\nMOUSEY MY\n"
                  "MOUSEREMOVE \"NEW\"\nMOUSEAREA AREA\n"
                  "MOUSEPUSHANDREMOVEALL\nMOUSEAREA INNER\nMOUSEPOP\nMOUSEAREA AFTER\n",
                  [&](DrawHost&) {
                    // One click per wait, as a user clicks.
                    if (VidzoKeysWaiting() != 0) return;
                    if (step == 0) PushClick(15, 15, SDL_BUTTON_LEFT);
                    if (step == 5) PushClick(50, 50, SDL_BUTTON_LEFT);
                    if (step == 10) PushClick(12, 13, SDL_BUTTON_RIGHT);
                    ++step;
                  }));
  EXPECT_EQ(Var("A"), "NEW");
  EXPECT_EQ(Var("B"), "LEFT MOUSE");
  EXPECT_EQ(Var("C"), "RIGHT MOUSE");
  EXPECT_EQ(Var("MX"), "12");
  EXPECT_EQ(Var("MY"), "13");
  EXPECT_EQ(Var("AREA"), "OLD");
  EXPECT_EQ(Var("INNER"), "<unset>");
  EXPECT_EQ(Var("AFTER"), "OLD");
}

TEST_F(DrawingTest, MouseLevelsHaveAFixedDepth) {
  std::string text;
  for (int i = 0; i < 33; ++i) text += "MOUSEPUSHANDREMOVEALL\n";
  EXPECT_FALSE(Run(text));
  ASSERT_EQ(host_->boxes.size(), 1u);
  EXPECT_NE(host_->boxes[0].find("Too many mouse levels"), std::string::npos);
}

TEST_F(DrawingTest, InputStrEditsAndEnds) {
  int step = 0;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 200 100\nINPUTSTR S 5 \"Name: \"\nINPUTSTR T 5 \"Again: \"\n"
                  "INPUTSTR U 3 \"Max: \"\n",
                  [&](DrawHost&) {
                    if (step++ != 0) return;
                    PushText("a"), PushText("b"), PushKey(SDLK_BACKSPACE), PushText("c"), PushKey(SDLK_RETURN);
                    PushKey(SDLK_ESCAPE);
                    PushText("w"), PushText("x"), PushText("y"), PushText("z"), PushKey(SDLK_RETURN);
                  }));
  EXPECT_EQ(Var("S"), "ac");
  EXPECT_EQ(Var("T"), "<unset>");
  EXPECT_EQ(Var("U"), "wxy");
}

TEST_F(DrawingTest, InputStrWinDrawsItsBoxAndPutsTheScreenBack) {
  int step = 0;
  std::vector<uint8_t> during;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 160 120\nSCREENCLEAR 3\nTEXTCOLOR 15\nTEXTBACKCOLOR 1\n"
                  "INPUTSTRWIN S 0 0 2 \"Hi\"\nINPUTCHAR SHOT\n",
                  [&](DrawHost& h) {
                    if (step++ == 0) {
                      during = h.Pixels();
                      PushText("o"), PushKey(SDLK_RETURN);
                    }
                  }));
  EXPECT_EQ(Var("S"), "o");
  // The box: (2 + 4) x 8 = 48 wide, 96 high, at (0, 0); its outline from
  // (1, 1) to (46, 94) in the text colour, the rest of its edge in the back
  // colour; the input frame at (g - 4, 60) with g = (48 - 16) / 2 = 16.
  ASSERT_EQ(during.size(), 160u * 120u);
  auto px = [&](int x, int y) { return during[size_t(y) * 160 + x]; };
  EXPECT_EQ(px(0, 0), 1);
  EXPECT_EQ(px(1, 1), 15);
  EXPECT_EQ(px(46, 1), 15);
  EXPECT_EQ(px(1, 94), 15);
  EXPECT_EQ(px(46, 94), 15);
  EXPECT_EQ(px(47, 50), 1);
  EXPECT_EQ(px(48, 50), 3);  // beside the box: the screen
  EXPECT_EQ(px(12, 60), 15);  // the input frame's corner
  EXPECT_EQ(px(12 + 24, 60 + 20), 15);
  // Afterwards the screen is as before.
  for (uint8_t p : shot_.pixels) ASSERT_EQ(p, 3);
}

TEST_F(DrawingTest, MessageBoxAnswers) {
  ASSERT_TRUE(Run("INPUTMSGWIN A 0 0 0 \"Text\"\n"));
  EXPECT_EQ(Var("A"), "2");  // no display to ask on: as closed
}

// --- Animations --------------------------------------------------------------------

using Frames = vidzoer_test::DecodedAnimation;

Frames MakeAnimation(const std::string& path, uint32_t w, uint32_t h, uint32_t count, bool ring, int rate = 10) {
  return vidzoer_test::WriteTestAnimation(path, w, h, count, ring, rate);
}

TEST_F(DrawingTest, AnimationPlayShowsTheLastFrameAtItsPlace) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 3, false);
  ASSERT_EQ(f.pixels.size(), 3u);
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 64 32\nSCREENCLEAR 0\n"
                  "ANIMATIONPLAY R 7 3 1 0 \"a\"\n"    // x 7 is placed at 4
                  "ANIMATIONPLAY C -1 -1 1 0 \"a.vdz\"\n"
                  "ANIMATIONPLAY Z 0 0 0 0 \"missing\"\nANIMATIONPLAY M 0 0 1 0 \"missing\"\n"
                  "INPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("R"), "1");
  EXPECT_EQ(Var("C"), "1");
  EXPECT_EQ(Var("Z"), "1");  // count 0: nothing opened
  EXPECT_EQ(Var("M"), "0");
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      ASSERT_EQ(At(4 + x, 3 + y), f.pixels[2][y * 16 + x]) << x << "," << y;
      ASSERT_EQ(At(24 + x, 12 + y), f.pixels[2][y * 16 + x]) << x << "," << y;
    }
  EXPECT_EQ(At(0, 0), 0);
  EXPECT_EQ(std::vector<uint8_t>(shot_.palette.begin(), shot_.palette.end()), f.palettes[2]);
}

TEST_F(DrawingTest, AnimationPlayRestoresAndMergesOverTheBackground) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 2, false);
  ASSERT_EQ(f.pixels.size(), 2u);
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 64 32\nSCREENCLEAR 200\n"
                  "ANIMATIONPLAY R 0 0 1 16 \"a\"\n"
                  "TEXTTRANSCOLOR 1\nANIMATIONPLAY M 32 0 1 256 \"a\"\n"
                  "INPUTCHAR SHOT\n",
                  [&](DrawHost& h) {
                    if (!shot_taken_ && h.Display() != nullptr) return;
                  }));
  // Both restored the background and its palette afterwards.
  for (uint8_t p : shot_.pixels) ASSERT_EQ(p, 200);
  EXPECT_EQ(shot_.palette[3 * 200 + 2], 200 - 192);
}

TEST_F(DrawingTest, AnimationPlayMergeShowsTheBackgroundThroughTheKeyColour) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 1, false);
  ASSERT_EQ(f.pixels.size(), 1u);
  std::vector<uint8_t> during;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 32 16\nSCREENCLEAR 200\nTEXTTRANSCOLOR 1\n"
                  "ANIMATIONPLAY M 0 0 2 260 \"a\"\nINPUTCHAR SHOT\n",  // 260: 256 and no waiting
                  [&](DrawHost& h) {
                    if (during.empty() && h.Display() != nullptr) during = h.Pixels();
                  }));
  (void)during;
  // After the play the background is back; the merged picture was shown on
  // the way (checked by the frames merged into the second bitmap).
  for (uint8_t p : shot_.pixels) ASSERT_EQ(p, 200);
}

TEST_F(DrawingTest, AnimationPlayFadesInAndOut) {
  MakeAnimation(dir_.File("a.vdz"), 16, 8, 2, false);
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 32 16\nSCREENFADESPEED 1\n"
                  "ANIMATIONPLAY R 0 0 1 96 \"a\"\nINPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("R"), "1");
  // Faded out at the end: every component at 0.
  for (uint8_t v : shot_.palette) ASSERT_EQ(v, 0);
}

TEST_F(DrawingTest, AnimationPlayLoopsUntilEscape) {
  MakeAnimation(dir_.File("a.vdz"), 16, 8, 2, false, 5);
  int step = 0;
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 32 16\nANIMATIONPLAY R 0 0 -1 128 \"a\"\n", [&](DrawHost&) {
    if (++step == 200) PushKey(SDLK_ESCAPE);
  }));
  EXPECT_EQ(Var("R"), "1");
  EXPECT_GE(step, 200);
}

TEST_F(DrawingTest, AnimationAdvanceHoldsTheLastFrameOfAFileWithoutRingFrame) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 2, false);
  ASSERT_EQ(f.pixels.size(), 2u);
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 16 8\nANIMATIONOPEN A 0 \"a\"\nANIMATIONTOSCREEN A 0 0\n"
                  "ANIMATIONADVANCE A\nANIMATIONADVANCE A\nBITMAPALLOC B2 16 8\nBITMAPFROMSCREEN B2 0 0\n"
                  "ANIMATIONADVANCE A\nBITMAPALLOC B3 16 8\nBITMAPFROMSCREEN B3 0 0\n"
                  "ANIMATIONFRAMES N A\nANIMATIONWIDTH W A\nANIMATIONHEIGHT H A\n"
                  "BITMAPGETPIXEL P2 B2 5 5\nBITMAPGETPIXEL P3 B3 5 5\nANIMATIONCLOSE A\n"));
  EXPECT_EQ(Var("N"), "2");
  EXPECT_EQ(Var("W"), "16");
  EXPECT_EQ(Var("H"), "8");
  EXPECT_EQ(Var("P2"), std::to_string(f.pixels[1][5 * 16 + 5]));  // the last frame
  EXPECT_EQ(Var("P3"), std::to_string(f.pixels[0][5 * 16 + 5]));  // then frame 1
}

TEST_F(DrawingTest, ThirtyThreeOpenAnimationsGiveZero) {
  MakeAnimation(dir_.File("a.vdz"), 8, 8, 1, false);
  std::string text;
  for (int i = 0; i < 33; ++i) text += "ANIMATIONOPEN A" + std::to_string(i) + " 0 \"a\"\n";
  text += "ANIMATIONCLOSE A0\nANIMATIONOPEN AGAIN 0 \"a\"\n";
  ASSERT_TRUE(Run(text));
  EXPECT_EQ(Var("A0"), "3000");
  EXPECT_EQ(Var("A31"), "3031");
  EXPECT_EQ(Var("A32"), "0");
  EXPECT_EQ(Var("AGAIN"), "3000");
}

TEST_F(DrawingTest, AnimationLoadToBitmapKeepsFramesAndPalettes) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 3, false);
  ASSERT_EQ(f.pixels.size(), 3u);
  ASSERT_TRUE(Run("ANIMATIONLOADTOBITMAP \"a\" F1 F2 F3\nBITMAPGETPIXEL P1 F1 3 3\nBITMAPGETPIXEL P3 F3 3 3\n"
                  "BITMAPGETPALETTEVALUE V1 F1 5\nANIMATIONLOADTOBITMAP \"none\" X Y\n"));
  EXPECT_EQ(Var("P1"), std::to_string(f.pixels[0][3 * 16 + 3]));
  EXPECT_EQ(Var("P3"), std::to_string(f.pixels[2][3 * 16 + 3]));
  const auto& p = f.palettes[0];
  EXPECT_EQ(Var("V1"), std::to_string(p[15] + p[16] * 256 + p[17] * 65536));
  EXPECT_EQ(Var("X"), "0");
  EXPECT_EQ(Var("Y"), "0");
}

TEST_F(DrawingTest, AnimationGotoSeeksAndBadHandlesAreErrors) {
  const Frames f = MakeAnimation(dir_.File("a.vdz"), 16, 8, 3, false);
  EXPECT_FALSE(Run("ANIMATIONOPEN A 0 \"a\"\nBITMAPALLOC B 16 8\nANIMATIONTOBITMAP A B\n"
                  "ANIMATIONGOTO A 3\nANIMATIONADVANCE A\nBITMAPGETPIXEL P B 6 2\n"
                  "ANIMATIONBACKTOSTART A\nANIMATIONADVANCE A\nBITMAPGETPIXEL Q B 6 2\nANIMATIONCLOSE 3005\n"));
  EXPECT_EQ(Var("P"), std::to_string(f.pixels[2][2 * 16 + 6]));
  EXPECT_EQ(Var("Q"), std::to_string(f.pixels[0][2 * 16 + 6]));
  ASSERT_EQ(host_->boxes.size(), 1u);
  EXPECT_NE(host_->boxes[0].find("Bad animation parameter"), std::string::npos);
}

TEST_F(DrawingTest, ListsWriteOntoTheScreen) {
  ASSERT_TRUE(Run("SCREENGRAPHICS OK 320 64\nBITMAPALLOC B 3 4\nBITMAPLIST\nTEXTY Y\nINPUTCHAR SHOT\n"));
  EXPECT_EQ(Var("Y"), "16");
  bool drawn = false;
  for (uint32_t x = 0; x < 200; ++x) drawn = drawn || At(x, 8) == 7;
  EXPECT_TRUE(drawn);
}

}  // namespace
}  // namespace script_test
