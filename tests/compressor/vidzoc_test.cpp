// vidzoc run as a user runs it: pictures made by ImageMagick, AVI files made
// by ffmpeg, PNG sequences with sound mixed in, the height modes, the ring
// frame, frame-specific settings, cancelling and refused outputs; every file
// decoded by the playback library and compared with the input as the other
// tool decodes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "compressor/content.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

namespace {

namespace fs = std::filesystem;
using compressor_test::Decoded;
using compressor_test::DecodeFile;
using vidzoer_test::Quote;
using vidzoer_test::RunResult;

class Vidzoc : public ::testing::Test {
 protected:
  RunResult Run(const std::string& args) {
    return vidzoer_test::RunProgram(dir_, "vidzoc", args + " </dev/null");
  }
  bool Shell(const std::string& command) {
    return vidzoer_test::RunShell(command + " 2>" + Quote(dir_.File("shell_err.txt")),
                                  dir_.File("shell_err.txt"));
  }
  std::string ShellErrors() {
    const auto b = vidzoer_test::ReadBytes(dir_.File("shell_err.txt"));
    return std::string(b.begin(), b.end());
  }
  // An animated GIF of ImageMagick's built-in logo under a pan and a zoom,
  // `frames` frames of 160 x 120; with `shared` one colour map for all.
  std::string MakeGif(int frames, bool shared) {
    std::string cmd = "convert -delay 8";
    for (int i = 0; i < frames; ++i) {
      const int w = 320 - 6 * i, h = w * 3 / 4;
      cmd += " \\( logo: -crop " + std::to_string(w) + "x" + std::to_string(h) + "+" +
             std::to_string(120 + 7 * i) + "+" + std::to_string(60 + 3 * i) + " +repage -resize 160x120! \\)";
    }
    if (shared) {
      EXPECT_TRUE(Shell("convert logo: -resize 50% +dither -colors 250 " + Quote(dir_.File("colours.gif"))))
          << ShellErrors();
      cmd += " +dither -remap " + Quote(dir_.File("colours.gif"));
    } else {
      cmd += " +dither -colors 256";
    }
    cmd += " " + Quote(dir_.File("in.gif"));
    EXPECT_TRUE(Shell(cmd)) << ShellErrors();
    return dir_.File("in.gif");
  }
  // The frames of a picture file as ImageMagick decodes them, RGB.
  std::vector<std::vector<uint8_t>> MagickFrames(const std::string& name, size_t width, size_t height) {
    EXPECT_TRUE(Shell("convert " + Quote(name) + " -coalesce -depth 8 rgb:" + Quote(dir_.File("ref.rgb"))))
        << ShellErrors();
    return Split(vidzoer_test::ReadBytes(dir_.File("ref.rgb")), width * height * 3);
  }
  static std::vector<std::vector<uint8_t>> Split(const std::vector<uint8_t>& all, size_t frame_bytes) {
    std::vector<std::vector<uint8_t>> out;
    for (size_t at = 0; at + frame_bytes <= all.size(); at += frame_bytes)
      out.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                       all.begin() + static_cast<std::ptrdiff_t>(at + frame_bytes));
    return out;
  }
  // Components kept to their top 6 bits and widened, as the file stores them.
  static std::vector<uint8_t> As6Bit(std::vector<uint8_t> rgb) {
    for (uint8_t& c : rgb) c = static_cast<uint8_t>((c >> 2) * 4 + (c >> 2) / 16);
    return rgb;
  }
  Decoded Decode(const std::string& name, bool with_ring = false) {
    Decoded d;
    std::string error;
    EXPECT_TRUE(DecodeFile(name, with_ring, d, error)) << error;
    return d;
  }
  vidzoer_test::TempDir dir_;
};

TEST_F(Vidzoc, AnimatedGifsComeBackExactly) {
  for (bool shared : {true, false}) {
    const std::string gif = MakeGif(8, shared);
    const RunResult r = Run(Quote(gif) + " " + Quote(dir_.File("out.vdz")) + " /O");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    if (shared) {
      EXPECT_NE(r.out.find("one palette"), std::string::npos) << r.out;
    }
    EXPECT_NE(r.out.find("8 frames"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("lossless"), std::string::npos) << r.out;
    const auto reference = MagickFrames(gif, 160, 120);
    const Decoded d = Decode(dir_.File("out.vdz"));
    ASSERT_EQ(reference.size(), 8u);
    ASSERT_EQ(d.rgb.size(), 8u);
    EXPECT_EQ(d.width, 160u);
    EXPECT_EQ(d.height, 120u);
    for (size_t i = 0; i < 8; ++i)
      EXPECT_TRUE(d.rgb[i] == As6Bit(reference[i])) << "frame " << i << " shared " << shared;
  }
}

TEST_F(Vidzoc, ALossyFileKeepsItsErrorAndIsSmaller) {
  const std::string gif = MakeGif(8, true);
  ASSERT_EQ(Run(Quote(gif) + " " + Quote(dir_.File("exact.vdz")) + " /O").exit_code, 0);
  const RunResult r = Run(Quote(gif) + " " + Quote(dir_.File("lossy.vdz")) + " /N20/K10/A95 /O");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("PSNR"), std::string::npos) << r.out;
  EXPECT_LT(fs::file_size(dir_.File("lossy.vdz")), fs::file_size(dir_.File("exact.vdz")) * 3 / 4);
  const auto reference = MagickFrames(gif, 160, 120);
  const Decoded d = Decode(dir_.File("lossy.vdz"));
  ASSERT_EQ(d.rgb.size(), reference.size());
  // Frame 0 is a key frame: its error against its mean colour.
  const auto want = As6Bit(reference[0]);
  double mean[3] = {0, 0, 0}, reference_error = 0;
  for (size_t i = 0; i < want.size(); ++i) mean[i % 3] += want[i] / (want.size() / 3.0);
  for (size_t i = 0; i < want.size(); i += 3) {
    const double dr = want[i] - mean[0], dg = want[i + 1] - mean[1], db = want[i + 2] - mean[2];
    reference_error += 299 * dr * dr + 587 * dg * dg + 114 * db * db;
  }
  EXPECT_LE(100 * std::sqrt(compressor_test::WeightedError(d.rgb[0], want) / reference_error), 10.0 + 1e-6);
  for (size_t i = 1; i < d.rgb.size(); ++i) {
    const auto wanted = As6Bit(reference[i]);
    const double ref = compressor_test::WeightedError(d.rgb[i - 1], wanted);
    const double err = compressor_test::WeightedError(d.rgb[i], wanted);
    EXPECT_LE(err, 0.2 * 0.2 * ref + 1e-6) << "frame " << i;
  }
}

TEST_F(Vidzoc, AnAviWithSoundBecomesAVdzWithItsSound) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("ffmpeg")) << "ffmpeg is a test dependency (scripts/install-deps.sh)";
  ASSERT_TRUE(
      Shell("ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=96x64:rate=10 -f lavfi -i "
            "sine=frequency=440:sample_rate=22050 -t 2 -c:v rawvideo -pix_fmt pal8 -c:a pcm_s16le " +
            Quote(dir_.File("in.avi"))))
      << ShellErrors();
  ASSERT_TRUE(Shell("ffmpeg -v error -nostdin -y -i " + Quote(dir_.File("in.avi")) +
                    " -map 0:v -f rawvideo -pix_fmt rgb24 " + Quote(dir_.File("ref.rgb"))))
      << ShellErrors();
  ASSERT_TRUE(Shell("ffmpeg -v error -nostdin -y -i " + Quote(dir_.File("in.avi")) + " -map 0:a -f s16le " +
                    Quote(dir_.File("ref.pcm"))))
      << ShellErrors();
  const RunResult r = Run(Quote(dir_.File("in.avi")) + " " + Quote(dir_.File("out")) + " /O");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto reference = Split(vidzoer_test::ReadBytes(dir_.File("ref.rgb")), 96 * 64 * 3);
  const Decoded d = Decode(dir_.File("out.vdz"));
  ASSERT_EQ(d.rgb.size(), 20u);
  ASSERT_EQ(reference.size(), 20u);
  for (size_t i = 0; i < 20; ++i) EXPECT_TRUE(d.rgb[i] == As6Bit(reference[i])) << "frame " << i;
  // The sound, lossless, decodes to what ffmpeg reads from the AVI file.
  const RunResult info = vidzoer_test::RunProgram(
      dir_, "vdzinfo", Quote(dir_.File("out.vdz")) + " --tracks " + Quote(dir_.File("t")));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("Sound track 0: format 0xE0005622, 22050 Hz, 16-bit, mono"), std::string::npos)
      << info.out;
  const auto pcm = vidzoer_test::ReadBytes(dir_.File("t/track0.pcm"));
  const auto ref = vidzoer_test::ReadBytes(dir_.File("ref.pcm"));
  ASSERT_GE(ref.size(), pcm.size());
  ASSERT_GT(pcm.size(), ref.size() * 9 / 10);
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), ref.begin()));
  // Without sound, and at a lower rate and size.
  ASSERT_EQ(Run(Quote(dir_.File("in.avi")) + " " + Quote(dir_.File("quiet.vdz")) + " /L-1 /O").exit_code, 0);
  const RunResult quiet = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("quiet.vdz")));
  EXPECT_NE(quiet.out.find("Sound tracks: none"), std::string::npos) << quiet.out;
  ASSERT_EQ(
      Run(Quote(dir_.File("in.avi")) + " " + Quote(dir_.File("small.vdz")) + " /L4 /R11025 /B8 /O").exit_code,
      0);
  const RunResult small = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("small.vdz")));
  EXPECT_NE(small.out.find("11025 Hz, 8-bit, mono"), std::string::npos) << small.out;
}

TEST_F(Vidzoc, APngSequenceWithMixedInSoundPlays) {
  for (int i = 0; i < 10; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "pic%02d.png", i);
    ASSERT_TRUE(Shell("convert rose: -roll +" + std::to_string(4 * i) + "+0 -resize 72x48! " +
                      Quote(dir_.File(name))))
        << ShellErrors();
  }
  ASSERT_EQ(
      Run(Quote(dir_.File("pic??.png*0-9")) + " " + Quote(dir_.File("pics.vdz")) + " /F10 /O").exit_code, 0);
  std::vector<uint8_t> sound(22050);
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<uint8_t>(128 + 60 * std::sin(i * 0.1));
  vidzoer_test::WriteWaveFile(dir_.File("s.wav"), 22050, 8, 1, sound);
  const RunResult mix =
      vidzoer_test::RunProgram(dir_, "vidzomix",
                               Quote(dir_.File("pics.vdz")) + " " + Quote(dir_.File("s.wav")) + " " +
                                   Quote(dir_.File("av.vdz")) + " /O");
  ASSERT_EQ(mix.exit_code, 0) << mix.err;
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  const RunResult play = vidzoer_test::RunProgram(dir_, "vidzoplw", Quote(dir_.File("av.vdz")) + " /S");
  ASSERT_EQ(play.exit_code, 0) << play.err;
  EXPECT_NE(play.err.find("Total frames played: 10"), std::string::npos) << play.err;
  const RunResult info = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("av.vdz")));
  EXPECT_NE(info.out.find("Sound track 0:"), std::string::npos) << info.out;
  // Re-compressing the .vdz keeps its sound.
  ASSERT_EQ(Run(Quote(dir_.File("av.vdz")) + " " + Quote(dir_.File("again.vdz")) + " /N-60 /O").exit_code, 0);
  const RunResult again = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("again.vdz")));
  EXPECT_NE(again.out.find("Sound track 0: format 0xC0005622"), std::string::npos) << again.out;
  // A second track at 11025 Hz on track 3: /M keeps both on their numbers,
  // without it only the first.
  std::vector<uint8_t> low(11025);
  for (size_t i = 0; i < low.size(); ++i) low[i] = static_cast<uint8_t>(128 + 40 * std::sin(i * 0.05));
  vidzoer_test::WriteWaveFile(dir_.File("low.wav"), 11025, 8, 1, low);
  const RunResult mix2 =
      vidzoer_test::RunProgram(dir_, "vidzomix",
                               Quote(dir_.File("av.vdz")) + " " + Quote(dir_.File("low.wav")) + " " +
                                   Quote(dir_.File("two.vdz")) + " /M3 /O");
  ASSERT_EQ(mix2.exit_code, 0) << mix2.err;
  ASSERT_EQ(Run(Quote(dir_.File("two.vdz")) + " " + Quote(dir_.File("all.vdz")) + " /M /O").exit_code, 0);
  ASSERT_EQ(Run(Quote(dir_.File("two.vdz")) + " " + Quote(dir_.File("first.vdz")) + " /O").exit_code, 0);
  const RunResult all = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("all.vdz")));
  EXPECT_NE(all.out.find("Sound track 0: format 0xC0005622"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("Sound track 2: format 0xC0002B11"), std::string::npos) << all.out;
  const RunResult first = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("first.vdz")));
  EXPECT_NE(first.out.find("Sound track 0:"), std::string::npos) << first.out;
  EXPECT_EQ(first.out.find("Sound track 2:"), std::string::npos) << first.out;
}

TEST_F(Vidzoc, HeightModesStoreEveryOtherRow) {
  const std::string gif = MakeGif(3, true);
  const auto reference = MagickFrames(gif, 160, 120);
  for (int mode : {1, 2}) {
    const std::string out = dir_.File("z" + std::to_string(mode) + ".vdz");
    const RunResult r = Run(Quote(gif) + " " + Quote(out) + " /Z" + std::to_string(mode) + " /O");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const Decoded d = Decode(out);
    EXPECT_EQ(d.flags, mode == 1 ? 2u : 4u);
    ASSERT_EQ(d.height, 120u);  // 60 stored rows shown on 120
    ASSERT_EQ(d.rgb.size(), 3u);
    for (size_t f = 0; f < 3; ++f) {
      const auto want = As6Bit(reference[f]);
      for (size_t y = 0; y < 120; y += 2) {
        const auto* got = &d.rgb[f][y * 160 * 3];
        ASSERT_TRUE(std::equal(got, got + 160 * 3, &want[y * 160 * 3])) << "mode " << mode << " row " << y;
        if (mode == 2) {
          ASSERT_TRUE(std::equal(got, got + 160 * 3, got + 160 * 3)) << "doubled row " << y;
        }
      }
    }
  }
}

// The player run as a user runs it, on an X server of the test's own (Xvfb
// through xvfb-run), looping a one-frame file in a window at the screen's
// corner; ImageMagick's import takes a screenshot of the window. The picture
// shown is the frame at its full height: the stored rows on every other row
// (interlaced, the rows between left in one colour, as the buffer was
// cleared) or on two
// rows each (doubled).
TEST_F(Vidzoc, HeightModesPlayAtFullHeightInThePlayer) {
  if (!Shell("command -v xvfb-run && command -v xdotool && command -v import"))
    GTEST_SKIP() << "xvfb-run, xdotool and ImageMagick's import are needed";
  ASSERT_TRUE(Shell("convert logo: -resize 160x120! +dither -colors 200 " + Quote(dir_.File("one.gif"))))
      << ShellErrors();
  const auto reference = MagickFrames(dir_.File("one.gif"), 160, 120);
  ASSERT_EQ(reference.size(), 1u);
  const auto want = As6Bit(reference[0]);
  // The player in the background, its window found by its title, a second
  // to settle, the screenshot, and the player ended.
  std::ofstream(dir_.File("shot.sh"))
      << "SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \"$1\" \"$2\" /L /X0 /Y0 & p=$!\n"
         "w=\n"
         "for i in $(seq 200); do\n"
         "  w=$(xdotool search --name VidzoPlay 2>/dev/null | head -1); [ -n \"$w\" ] && break; sleep 0.1\n"
         "done\n"
         "sleep 1\n"
         "[ -n \"$w\" ] && import -window \"$w\" \"$3\"; r=$?\n"
         "kill $p; wait $p; exit $r\n";
  for (int mode : {1, 2}) {
    const std::string out = dir_.File("z" + std::to_string(mode) + ".vdz");
    const std::string shot = dir_.File("shot" + std::to_string(mode) + ".png");
    ASSERT_EQ(
        Run(Quote(dir_.File("one.gif")) + " " + Quote(out) + " /Z" + std::to_string(mode) + " /O").exit_code,
        0);
    ASSERT_TRUE(Shell("XDG_RUNTIME_DIR=" + Quote(dir_.path()) +
                      " timeout 120 xvfb-run -a -s '-screen 0 640x480x24' sh " + Quote(dir_.File("shot.sh")) +
                      " " + Quote(std::string(VIDZOER_BIN_DIR) + "/vidzoplw") + " " + Quote(out) + " " +
                      Quote(shot) + " >/dev/null"))
        << ShellErrors();
    ASSERT_TRUE(Shell("identify -format '%w %h' " + Quote(shot) + " >" + Quote(dir_.File("size.txt"))))
        << ShellErrors();
    const auto size = vidzoer_test::ReadBytes(dir_.File("size.txt"));
    EXPECT_EQ(std::string(size.begin(), size.end()), "160 120") << "mode " << mode;
    ASSERT_TRUE(Shell("convert " + Quote(shot) + " -depth 8 rgb:" + Quote(dir_.File("shown.rgb"))))
        << ShellErrors();
    const auto shown = vidzoer_test::ReadBytes(dir_.File("shown.rgb"));
    ASSERT_EQ(shown.size(), want.size()) << "mode " << mode;
    const size_t row = 160 * 3;
    size_t gaps_unlike_the_picture = 0;
    for (size_t y = 0; y < 120; ++y) {
      const uint8_t* got = &shown[y * row];
      if (y % 2 == 0) {
        ASSERT_TRUE(std::equal(got, got + row, &want[y * row])) << "mode " << mode << " row " << y;
      } else if (mode == 2) {
        ASSERT_TRUE(std::equal(got, got + row, got - row)) << "doubled row " << y;
      } else {
        // Written by no frame: all in the colour the buffer was cleared to.
        for (size_t x = 0; x < row; x += 3)
          ASSERT_TRUE(std::equal(got + x, got + x + 3, &shown[row]))
              << "interlaced gap " << y << " x " << x / 3;
        if (!std::equal(got, got + row, &want[y * row])) ++gaps_unlike_the_picture;
      }
    }
    // One colour in a row is not the logo's own: a good share of the gaps
    // differ from the picture's rows there.
    if (mode == 1) {
      EXPECT_GT(gaps_unlike_the_picture, 30u);
    }
  }
}

TEST_F(Vidzoc, TheRingFrameLoopsWithoutAJump) {
  const std::string gif = MakeGif(5, true);
  const RunResult r = Run(Quote(gif) + " " + Quote(dir_.File("ring.vdz")) + " /G /N-40 /O");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Decoded d = Decode(dir_.File("ring.vdz"), true);
  ASSERT_EQ(d.rgb.size(), 6u);
  EXPECT_TRUE(d.rgb.back() == d.rgb.front());
  EXPECT_EQ(d.flags & 1u, 1u);
}

TEST_F(Vidzoc, FrameSpecificSettingsChangeTheRateAtAFrame) {
  const std::string gif = MakeGif(10, true);
  std::ofstream(dir_.File("memo.txt")) << "; from frame 6 on, a fifth of the size\r\n6 /N-20/K-20\r\n";
  const RunResult r = Run(Quote(gif) + " " + Quote(dir_.File("at.vdz")) + " /N0/K0/A0/L-1 /O/@*" +
                          dir_.File("memo.txt"));  // as the front end joins them
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto reference = MagickFrames(gif, 160, 120);
  const Decoded d = Decode(dir_.File("at.vdz"));
  ASSERT_EQ(d.rgb.size(), 10u);
  for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(d.rgb[i] == As6Bit(reference[i])) << "lossless frame " << i;
  double before = 0, after = 0;
  for (size_t i = 1; i < 5; ++i) before += d.sizes[i] / 4.0;
  for (size_t i = 5; i < 10; ++i) after += d.sizes[i] / 5.0;
  EXPECT_LT(after, before * 0.5);
  // A malformed settings file stops the run before anything is written.
  std::ofstream(dir_.File("bad.txt")) << "6 /N-20\nsix /N0\n";
  const RunResult bad = Run(Quote(gif) + " " + Quote(dir_.File("bad.vdz")) + " /@*" + dir_.File("bad.txt"));
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(dir_.File("bad.vdz")));
}

TEST_F(Vidzoc, RangesCropAndSkippingEveryOtherFrame) {
  const std::string gif = MakeGif(8, true);
  const auto reference = MagickFrames(gif, 160, 120);
  const RunResult r =
      Run(Quote(gif) + " " + Quote(dir_.File("part.vdz")) + " /S2 /E7 /V /X10 /Y20 /W64 /H40 /O");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Decoded d = Decode(dir_.File("part.vdz"));
  ASSERT_EQ(d.rgb.size(), 3u);  // frames 2, 4 and 6 of 2 to 7
  ASSERT_EQ(d.width, 64u);
  ASSERT_EQ(d.height, 40u);
  for (size_t f = 0; f < 3; ++f) {
    const auto want = As6Bit(reference[1 + 2 * f]);
    for (size_t y = 0; y < 40; ++y)
      ASSERT_TRUE(
          std::equal(&d.rgb[f][y * 64 * 3], &d.rgb[f][y * 64 * 3] + 64 * 3, &want[((y + 20) * 160 + 10) * 3]))
          << "frame " << f << " row " << y;
  }
  const RunResult info = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("part.vdz")));
  EXPECT_NE(info.out.find("FrameRate: -16000"), std::string::npos) << info.out;  // 80 ms doubled
}

TEST_F(Vidzoc, AnOutputEqualToTheInputIsRefused) {
  const std::string gif = MakeGif(2, true);
  ASSERT_EQ(Run(Quote(gif) + " " + Quote(dir_.File("a.vdz")) + " /O").exit_code, 0);
  const auto before = vidzoer_test::ReadBytes(dir_.File("a.vdz"));
  const RunResult r = Run(Quote(dir_.File("a.vdz")) + " " + Quote(dir_.File("./a.vdz")) + " /O /N-50");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("must be"), std::string::npos) << r.err;
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("a.vdz")), before);
  // Without /O an existing output is kept (no terminal to say yes).
  const RunResult kept = Run(Quote(gif) + " " + Quote(dir_.File("a.vdz")) + " /N-50");
  EXPECT_EQ(kept.exit_code, 1);
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("a.vdz")), before);
}

// The compressor writes .vdz data only: an output named as a flic, AVI or
// picture file would hold data its name does not say, so it is refused and
// nothing is written; any other name is written as given.
TEST_F(Vidzoc, AnOutputNamedAsAnotherFormatIsRefused) {
  const std::string gif = MakeGif(2, true);
  for (const char* name : {"a.flc", "a.AVI", "a.bmp", "a.gif", "a.Tif"}) {
    const RunResult r = Run(Quote(gif) + " " + Quote(dir_.File(name)) + " /O");
    EXPECT_EQ(r.exit_code, 1) << name;
    EXPECT_NE(r.err.find("writes .vdz files only"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File(name))) << name;
  }
  ASSERT_EQ(Run(Quote(gif) + " " + Quote(dir_.File("a.anim")) + " /O").exit_code, 0);
  const RunResult info = vidzoer_test::RunProgram(dir_, "vdzinfo", Quote(dir_.File("a.anim")));
  EXPECT_EQ(info.exit_code, 0) << info.err;
}

TEST_F(Vidzoc, CancellingLeavesNoOutput) {
  // Enough lossy work to be interrupted in the middle.
  std::string cmd = "convert -size 320x240";
  for (int i = 0; i < 60; ++i) cmd += " plasma:fractal";
  ASSERT_TRUE(Shell(cmd + " -seed 3 +dither -colors 256 " + Quote(dir_.File("big.gif")))) << ShellErrors();
  const std::string bin = std::string(VIDZOER_BIN_DIR) + "/vidzoc";
  const std::string run = Quote(bin) + " " + Quote(dir_.File("big.gif")) + " " + Quote(dir_.File("out.vdz")) +
                          " /N20000 /K-50 /O </dev/null >/dev/null 2>" + Quote(dir_.File("err.txt"));
  const int status = std::system(("cd " + Quote(dir_.path().string()) + " && (" + run +
                                  " & pid=$!; sleep 1; kill -INT $pid; wait $pid; echo $? > rc.txt)")
                                     .c_str());
  ASSERT_EQ(status, 0);
  const auto rc = vidzoer_test::ReadBytes(dir_.File("rc.txt"));
  EXPECT_EQ(std::string(rc.begin(), rc.end()), "1\n");
  EXPECT_FALSE(fs::exists(dir_.File("out.vdz")));
  for (const auto& e : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(e.path().filename().string().find(".vidzoc"), std::string::npos) << e.path();
}

TEST_F(Vidzoc, UsageNamesEverySwitch) {
  const RunResult none = vidzoer_test::RunProgram(dir_, "vidzoc", "");
  EXPECT_EQ(none.exit_code, 2);
  const RunResult help = Run("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(none.out + "", help.out.substr(0, none.out.size()));
  for (const char* s :
       {"/N",  "/K", "/A", "/J", "/@", "/S", "/E", "/X", "/Y", "/W", "/H", "/F", "/V", "/G", "/Z1",
        "/Z2", "/Q", "/I", "/P", "/U", "/D", "/T", "/&", "/L", "/R", "/B", "/C", "/M", "/O"})
    EXPECT_NE(help.out.find(s), std::string::npos) << s;
  struct Bad {
    const char* args;
    const char* message;
  };
  for (const Bad& b : {Bad{"in.gif", "expected an input and an output"}, Bad{"a b /N-900", "/N takes"},
                       Bad{"a b /Z3", "/Z takes"}, Bad{"a b /L10", "/L takes"},
                       Bad{"a b /Q", "unknown switch"}, Bad{"a b c", "extra name"}}) {
    const RunResult r = Run(b.args);
    EXPECT_EQ(r.exit_code, 2) << b.args;
    EXPECT_NE(r.err.find(b.message), std::string::npos) << b.args << ": " << r.err;
  }
}

}  // namespace
