// Scripts run by vidzoscw as a user runs them, on an X server of the test's
// own (Xvfb): screenshots of the script's window are compared pixel by pixel
// with pictures the tests compute from the commands' rules, through the
// screen palette (its 6-bit entries widened to the screen's 8 bits). The
// windows are unscaled, so each display pixel is one window pixel. Some
// screenshots are kept in the build's screenshots/ folder for a person to
// look at.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "display/display_fixture.h"
#include "script_run.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using script_screen::Picture;
using script_screen::ScreenColour;
using script_screen::ScriptRun;

const std::uint8_t kFont[] = {
#include "platform/fonts/font_8x16.inc"
};

// The palette SCREENGRAPHICS sets: grey, red, green and blue ramps of 64.
std::vector<std::uint8_t> Ramps() {
  std::vector<std::uint8_t> p(768);
  for (int i = 0; i < 64; ++i)
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) p[3 * (64 * r + i) + c] = (r == 0 || r == c + 1) ? static_cast<std::uint8_t>(i) : 0;
  return p;
}

// A picture of palette indices.
struct Indices {
  int width, height;
  std::vector<std::uint8_t> at;
  Indices(int w, int h, std::uint8_t fill = 0) : width(w), height(h), at(std::size_t(w) * h, fill) {}
  void Set(long long x, long long y, std::uint8_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) at[std::size_t(y) * width + std::size_t(x)] = c;
  }
  void Fill(long long x, long long y, long long w, long long h, std::uint8_t c) {
    for (long long j = y; j < y + h; ++j)
      for (long long i = x; i < x + w; ++i) Set(i, j, c);
  }
  // An outline through (x1, y1) and (x2, y2), both included.
  void Outline(long long x1, long long y1, long long x2, long long y2, std::uint8_t c) {
    for (long long i = x1; i <= x2; ++i) Set(i, y1, c), Set(i, y2, c);
    for (long long j = y1; j <= y2; ++j) Set(x1, j, c), Set(x2, j, c);
  }
  // Text in the built-in 8 x 16 font; a back colour of 128 is not drawn.
  void Text(long long x, long long y, const std::string& text, std::uint8_t fore, std::uint8_t back) {
    for (const char ch : text) {
      const auto code = static_cast<unsigned char>(ch);
      for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 8; ++col) {
          const bool on = (kFont[(code - 32) * 16 + row] >> (7 - col) & 1) != 0;
          if (on) Set(x + col, y + row, fore);
          else if (back != 128) Set(x + col, y + row, back);
        }
      x += 8;
    }
  }
  Picture Through(const std::vector<std::uint8_t>& palette) const {
    Picture p{width, height, {}};
    for (const std::uint8_t i : at) p.rgb.push_back(ScreenColour(palette, i));
    return p;
  }
};

constexpr std::uint32_t kExact = 0xFFFFFF;
constexpr std::uint32_t kRgb565 = 0xF8FCF8;

std::string Hex(std::uint32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", c);
  return text;
}

class ScriptScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::filesystem::remove_all(VIDZOER_SCREENSHOT_DIR);
    if (display_test::XServer::Installed()) server_ = std::make_unique<display_test::XServer>();
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    if (!display_test::XServer::Installed()) GTEST_SKIP() << "Xvfb is not installed: no screenshots";
    ASSERT_FALSE(server_->Name().empty()) << "Xvfb did not start";
  }

  static std::string Title() {
    return std::string("vidzoer ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  // Starts the script: its window titled after the test and placed at the
  // screen's top left, then `body`.
  std::unique_ptr<ScriptRun> Start(const std::string& body) {
    std::ofstream(dir_.File("main.ss"), std::ios::binary)
        << "SCREENWINDOWTITLE \"" << Title() << "\"\nSCREENWINDOWPOS 0 0\n" << body;
    auto run = std::make_unique<ScriptRun>(dir_, server_->Name(), dir_.File("main.ss"));
    EXPECT_TRUE(run->FindWindow(Title(), 30)) << run->Errors();
    return run;
  }

  // Runs `body`, which draws; the script then says it is ready and waits
  // for a key while the window is compared with `want`; closing the window
  // ends the script.
  void Expect(const std::string& body, const Picture& want, const std::string& keep_as = "",
              std::uint32_t mask = kRgb565) {
    auto run = Start(body + "DEBUGFILE \"ready.txt\"\nDEBUGTEXT \"ready\"\nINPUTCHAR K\n");
    ASSERT_TRUE(run->WaitForText(dir_.File("ready.txt"), "ready", 30)) << run->Errors();
    Compare(*run, want, keep_as, mask);
    run->Close();
    EXPECT_EQ(run->Wait(30), 0) << run->Errors();
  }

  // Takes screenshots until one equals `want` (the window may still be
  // catching up with the script), at most a few seconds; the last one
  // must equal it. The automatic display kind draws through 16-bit (5-6-5)
  // textures on SDL's software renderer: only the colour bits that survive
  // them are compared (`mask`); the DIB kind shows the palette exactly.
  static void Compare(const ScriptRun& run, Picture want, const std::string& keep_as,
                      std::uint32_t mask = kRgb565) {
    for (std::uint32_t& c : want.rgb) c &= mask;
    Picture shot;
    for (int attempt = 0; attempt < 100; ++attempt) {
      shot = run.Capture();
      for (std::uint32_t& c : shot.rgb) c &= mask;
      if (shot.width == want.width && shot.height == want.height && shot.rgb == want.rgb) break;
      ::usleep(50000);
    }
    if (!keep_as.empty() || shot.rgb != want.rgb) {
      script_screen::SavePicture(shot, VIDZOER_SCREENSHOT_DIR, keep_as.empty() ? Title() + " (failed)" : keep_as);
      if (shot.rgb != want.rgb) script_screen::SavePicture(want, VIDZOER_SCREENSHOT_DIR, Title() + " (wanted)");
    }
    ASSERT_EQ(shot.width, want.width) << "the window is scaled or of another size";
    ASSERT_EQ(shot.height, want.height) << "the window is scaled or of another size";
    int wrong = 0;
    std::string first;
    for (int y = 0; y < want.height; ++y)
      for (int x = 0; x < want.width; ++x) {
        const std::size_t i = std::size_t(y) * want.width + x;
        if (shot.rgb[i] == want.rgb[i]) continue;
        if (wrong++ == 0)
          first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") is " + Hex(shot.rgb[i]) + ", not " +
                  Hex(want.rgb[i]);
      }
    EXPECT_EQ(wrong, 0) << "pixels differ; the first: " << first;
  }

  static std::unique_ptr<display_test::XServer> server_;
  vidzoer_test::TempDir dir_;
};

std::unique_ptr<display_test::XServer> ScriptScreen::server_;

TEST_F(ScriptScreen, GraphicsShowsTheFourRamps) {
  // One column per palette entry.
  std::string body = "SCREENGRAPHICS OK 256 16\n";
  for (int x = 0; x < 256; ++x)
    body += "SCREENLINE " + std::to_string(x) + " 0 " + std::to_string(x) + " 15 " + std::to_string(x) + "\n";
  Indices want(256, 16);
  for (int x = 0; x < 256; ++x) want.Fill(x, 0, 1, 16, static_cast<std::uint8_t>(x));
  Expect(body, want.Through(Ramps()), "ramps");
}

// The DIB kind (SCREENSETTINGS 3) shows the palette's colours exactly.
TEST_F(ScriptScreen, GraphicsRampsOnTheDibKindAreExact) {
  std::string body = "SCREENSETTINGS 3\nSCREENGRAPHICS OK 256 4\n";
  for (int x = 0; x < 256; ++x)
    body += "SCREENLINE " + std::to_string(x) + " 0 " + std::to_string(x) + " 3 " + std::to_string(x) + "\n";
  Indices want(256, 4);
  for (int x = 0; x < 256; ++x) want.Fill(x, 0, 1, 4, static_cast<std::uint8_t>(x));
  Expect(body, want.Through(Ramps()), "", kExact);
}

TEST_F(ScriptScreen, LinesAndBoxesClipToTheWindow) {
  const std::string body =
      "SCREENGRAPHICS OK 96 64\nSCREENCLEAR 10\n"
      "SCREENLINE -10 -10 200 200 63\n"         // a diagonal through the top left corner and out
      "SCREENLINE 5 -1000000 5 1000000 100\n"   // a column far beyond both edges
      "SCREENLINE -50 30 500 30 127\n"          // a row beyond both sides
      "SCREENLINE 200 -5 300 50 255\n"          // wholly outside
      "SCREENFILLEDBOX 80 50 100 100 150\n"     // past the bottom right
      "SCREENFILLEDBOX -5 -5 10 8 200\n"        // from beyond the top left
      "SCREENFILLEDBOX -40 -40 10 10 220\n"     // wholly outside
      "SCREENBOX 20 10 30 20 255\n"             // inside
      "SCREENBOX -10 40 30 100 180\n"           // its left and bottom edges outside
      "SCREENBOX -2147483647 -2147483647 2147483647 2147483647 90\n";
  Indices want(96, 64, 10);
  for (int i = 0; i < 64; ++i) want.Set(i, i, 63);
  want.Fill(5, 0, 1, 64, 100);
  want.Fill(0, 30, 96, 1, 127);
  want.Fill(80, 50, 16, 14, 150);
  want.Fill(0, 0, 5, 3, 200);
  want.Outline(20, 10, 49, 29, 255);
  want.Outline(-10, 40, 19, 139, 180);
  Expect(body, want.Through(Ramps()), "lines and boxes");
}

TEST_F(ScriptScreen, TextInTheBuiltInFont) {
  const std::string body =
      "SCREENGRAPHICS OK 128 64\nSCREENCLEAR 20\n"
      "TEXTCOLOR 255\nTEXTBACKCOLOR 127\nTEXTSETXY 4 2\nTEXTNOCR \"Ab1;\"\n"
      "TEXTCOLOR 63\nTEXTBACKCOLOR 128\nTEXTSETXY 10 30\nTEXT \"x@Z\"\n"   // a transparent back colour
      "TEXTCOLOR 191\nTEXTBACKCOLOR 0\nTEXTNOCR \"q\"\n";                 // on the next line
  Indices want(128, 64, 20);
  want.Text(4, 2, "Ab1;", 255, 127);
  want.Text(10, 30, "x@Z", 63, 128);
  want.Text(0, 46, "q", 191, 0);
  Expect(body, want.Through(Ramps()), "built-in font");
}

TEST_F(ScriptScreen, TextInAFontMadeFromABitmap) {
  // Two 4 x 3 glyphs for "A" and "B" side by side in an 8 x 3 bitmap.
  const std::string body =
      "SCREENGRAPHICS OK 48 16\nSCREENCLEAR 30\n"
      "BITMAPALLOC F 8 3\nBITMAPCLEAR F 0\n"
      "BITMAPSETPIXEL F 0 0 1\nBITMAPSETPIXEL F 3 2 1\nBITMAPSETPIXEL F 1 1 1\n"  // A
      "BITMAPSETPIXEL F 6 0 1\nBITMAPSETPIXEL F 4 2 1\n"                          // B
      "TEXTFONTFROMBITMAP F 4 3 65 66\n"
      "TEXTCOLOR 60\nTEXTBACKCOLOR 128\nTEXTSETXY 1 1\nTEXTNOCR \"ABA\"\n"
      "TEXTBACKCOLOR 240\nTEXTSETXY 3 8\nTEXTNOCR \"BA\"\n";
  Indices want(48, 16, 30);
  auto glyph = [&](int x, int y, char c, bool back) {
    if (back) want.Fill(x, y, 4, 3, 240);
    if (c == 'A') want.Set(x, y, 60), want.Set(x + 3, y + 2, 60), want.Set(x + 1, y + 1, 60);
    if (c == 'B') want.Set(x + 2, y, 60), want.Set(x, y + 2, 60);
  };
  glyph(1, 1, 'A', false), glyph(5, 1, 'B', false), glyph(9, 1, 'A', false);
  glyph(3, 8, 'B', true), glyph(7, 8, 'A', true);
  Expect(body, want.Through(Ramps()), "bitmap font");
}

TEST_F(ScriptScreen, TransparentMaskedAndMergedCopies) {
  const std::string body =
      "SCREENGRAPHICS OK 48 12\nSCREENCLEAR 70\n"
      "BITMAPALLOC S 6 3\nBITMAPCLEAR S 250\nBITMAPSETPIXEL S 1 0 0\nBITMAPSETPIXEL S 4 2 0\n"
      "BITMAPALLOC M 6 3\nBITMAPCLEAR M 40\nBITMAPSETPIXEL M 2 1 0\nBITMAPSETPIXEL M 4 2 0\n"
      "BITMAPTOSCREENTRANS S 0 0 0\n"
      "BITMAPTOSCREENMASK S M 8 0 0\n"
      "BITMAPTOSCREENMERGE S M 16 0 0\n"
      "BITMAPTOSCREENTRANS S 44 10 0\n";  // clipped at the corner
  Indices want(48, 12, 70);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) {
      const std::uint8_t s = ((x == 1 && y == 0) || (x == 4 && y == 2)) ? 0 : 250;
      const std::uint8_t m = ((x == 2 && y == 1) || (x == 4 && y == 2)) ? 0 : 40;
      if (s != 0) want.Set(x, y, s), want.Set(44 + x, 10 + y, s);
      if (m != 0) want.Set(8 + x, y, s);
      want.Set(16 + x, y, s == 0 ? m : s);
    }
  Expect(body, want.Through(Ramps()), "copies");
}

TEST_F(ScriptScreen, InputStrWinDrawsItsBox) {
  // At (9, 4): x rounded down to 8. The box is (max(3, 5) + 4) x 8 = 72
  // wide and 96 high.
  auto run = Start("SCREENGRAPHICS OK 160 120\nSCREENCLEAR 200\nTEXTCOLOR 127\nTEXTBACKCOLOR 10\n"
                   "INPUTSTRWIN S 9 4 3 \"Name?\"\nDEBUGFILE \"done.txt\"\nDEBUGTEXT \"[%S%]\"\nINPUTCHAR K\n");
  Indices want(160, 120, 200);
  const int bx = 8, by = 4, bw = 72, bh = 96, g = (bw - 3 * 8) / 2;
  want.Fill(bx, by, bw, bh, 10);
  want.Outline(bx + 1, by + 1, bx + bw - 2, by + bh - 2, 127);
  want.Text(bx + (bw - 5 * 8) / 2, by + 24, "Name?", 127, 10);
  want.Outline(bx + g - 4, by + 60, bx + g - 4 + 32, by + 60 + 20, 127);
  Compare(*run, want.Through(Ramps()), "input box");
  // Typing into the box, then Enter: the screen is put back.
  run->PressKey(XK_o);
  run->PressKey(XK_k);
  run->PressKey(XK_Return);
  EXPECT_TRUE(run->WaitForText(dir_.File("done.txt"), "[ok]", 30)) << run->Errors();
  Compare(*run, Indices(160, 120, 200).Through(Ramps()), "");
  run->Close();
  EXPECT_EQ(run->Wait(30), 0) << run->Errors();
}

// --- Animations ----------------------------------------------------------------------

// The last frame's picture at (x, y) over a background of `back`, all
// through the last frame's palette.
Picture LastFrameAt(const vidzoer_test::DecodedAnimation& a, int w, int h, int x, int y, std::uint8_t back) {
  Indices want(w, h, back);
  for (std::uint32_t j = 0; j < a.height; ++j)
    for (std::uint32_t i = 0; i < a.width; ++i) want.Set(x + i, y + j, a.pixels.back()[j * a.width + i]);
  return want.Through(a.palettes.back());
}

TEST_F(ScriptScreen, AnimationPlayAtAPosition) {
  const auto a = vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 3, false);
  ASSERT_EQ(a.pixels.size(), 3u);
  // x 7 is placed at 4.
  Expect("SCREENGRAPHICS OK 64 48\nSCREENCLEAR 0\nANIMATIONPLAY R 7 5 1 0 \"a\"\n",
         LastFrameAt(a, 64, 48, 4, 5, 0), "animation at a position");
}

TEST_F(ScriptScreen, AnimationPlayCentred) {
  const auto a = vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 2, false);
  ASSERT_EQ(a.pixels.size(), 2u);
  Expect("SCREENGRAPHICS OK 64 48\nSCREENCLEAR 0\nANIMATIONPLAY R -1 -1 1 0 \"a.vdz\"\n",
         LastFrameAt(a, 64, 48, 20, 16, 0));
}

TEST_F(ScriptScreen, AnimationPlayRestoresTheBackground) {
  ASSERT_EQ(vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 2, false).pixels.size(), 2u);
  Indices want(64, 48, 200);
  want.Fill(10, 10, 30, 20, 100);
  Expect("SCREENGRAPHICS OK 64 48\nSCREENCLEAR 200\nSCREENFILLEDBOX 10 10 30 20 100\n"
         "ANIMATIONPLAY R 8 8 1 16 \"a\"\n",
         want.Through(Ramps()));
}

TEST_F(ScriptScreen, AnimationPlayMergesOverTheBackground) {
  // A frame whose left half is the transparent colour (128): the
  // background shows there while it plays, again and again until ESCAPE.
  const auto a = vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 1, false, 10,
                                                  [](std::uint32_t x, std::uint32_t y, std::uint32_t) {
                                                    return static_cast<std::uint8_t>(x < 12 ? 128 : 3 + (x + y) % 5);
                                                  });
  ASSERT_EQ(a.pixels.size(), 1u);
  auto run = Start("SCREENGRAPHICS OK 64 48\nSCREENCLEAR 200\nSCREENFILLEDBOX 0 0 64 12 100\n"
                   "ANIMATIONPLAY R 8 4 -1 384 \"a\"\nDEBUGFILE \"done.txt\"\nDEBUGTEXT \"[%R%]\"\nINPUTCHAR K\n");
  Indices merged(64, 48, 200);
  merged.Fill(0, 0, 64, 12, 100);
  for (int y = 0; y < 16; ++y)
    for (int x = 12; x < 24; ++x) merged.Set(8 + x, 4 + y, a.pixels[0][y * 24 + x]);
  Compare(*run, merged.Through(a.palettes[0]), "merged animation");
  // ESCAPE ends it; the background and its palette come back.
  run->PressKey(XK_Escape);
  EXPECT_TRUE(run->WaitForText(dir_.File("done.txt"), "[1]", 30)) << run->Errors();
  Indices back(64, 48, 200);
  back.Fill(0, 0, 64, 12, 100);
  Compare(*run, back.Through(Ramps()), "");
  run->Close();
  EXPECT_EQ(run->Wait(30), 0) << run->Errors();
}

TEST_F(ScriptScreen, AnimationPlayFadesInAndOut) {
  ASSERT_EQ(vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 2, false).pixels.size(), 2u);
  // Faded out at the end: every palette entry black.
  Expect("SCREENGRAPHICS OK 64 48\nSCREENCLEAR 200\nSCREENFADESPEED 1\nANIMATIONPLAY R 0 0 1 96 \"a\"\n",
         Indices(64, 48, 0).Through(std::vector<std::uint8_t>(768, 0)));
}

TEST_F(ScriptScreen, AnimationAdvanceHoldsTheLastFrameWithoutARingFrame) {
  const auto a = vidzoer_test::WriteTestAnimation(dir_.File("a.vdz"), 24, 16, 2, false);
  ASSERT_EQ(a.pixels.size(), 2u);
  // Two advances show frames 1 and 2; the last frame stays (its step to
  // frame 1 waits for the next advance), which then shows frame 1.
  auto run = Start("SCREENGRAPHICS OK 32 16\nANIMATIONOPEN A 0 \"a\"\nANIMATIONADVANCE A\nANIMATIONADVANCE A\n"
                   "DEBUGFILE \"two.txt\"\nDEBUGTEXT \"two\"\nINPUTCHAR K\nANIMATIONADVANCE A\n"
                   "DEBUGFILE \"three.txt\"\nDEBUGTEXT \"three\"\nINPUTCHAR K\n");
  ASSERT_TRUE(run->WaitForText(dir_.File("two.txt"), "two", 30)) << run->Errors();
  Compare(*run, LastFrameAt(a, 32, 16, 0, 0, 0), "");
  run->PressKey(XK_a);
  ASSERT_TRUE(run->WaitForText(dir_.File("three.txt"), "three", 30)) << run->Errors();
  Indices first(32, 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) first.Set(x, y, a.pixels[0][y * 24 + x]);
  Compare(*run, first.Through(a.palettes[0]), "");
  run->Close();
  EXPECT_EQ(run->Wait(30), 0) << run->Errors();
}

// The example menu as a new user meets it, kept for a person to look at:
// its first screen has the title and three framed entries on black.
TEST_F(ScriptScreen, MenuExample) {
  std::ifstream in(std::string(VIDZOER_SOURCE_DIR) + "/examples/menu.ss", std::ios::binary);
  std::ofstream(dir_.File("menu.ss"), std::ios::binary) << in.rdbuf();
  ScriptRun run(dir_, server_->Name(), dir_.File("menu.ss"));
  ASSERT_TRUE(run.FindWindow("Vidzoer menu", 30)) << run.Errors();
  Indices want(320, 200, 0);
  want.Text(96, 16, "Vidzoer menu", 63, 0);
  const char* const entries[] = {"1  Play the sample", "2  Move a sprite", "3  Type your name"};
  for (int i = 0; i < 3; ++i) {
    const int y = i == 0 ? 50 : i == 1 ? 90 : 130;
    want.Outline(60, y, 259, y + 29, 40);
    want.Text(72, y + 8, entries[i], 63, 0);
  }
  Compare(run, want.Through(Ramps()), "menu");
  run.PressKey(XK_Escape);
  EXPECT_EQ(run.Wait(30), 0) << run.Errors();
}

}  // namespace
