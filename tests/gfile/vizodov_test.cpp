// The graphics converter run as a user runs it: pictures, flics, AVI and
// .vdz files in, flics, AVI and still images out, and its command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "gfile/gfile_files.h"
#include "platform/avifile/avifile.h"
#include "platform/imagelib/imagelib.h"
#include "platform/report_channel.h"
#include "player/fake_front_end.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

using namespace gfile_test;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;

namespace {

class VizodovTest : public ::testing::Test {
 protected:
  vidzoer_test::RunResult Run(const std::string& args) {
    return RunProgram(dir_, "vizodov", args + " </dev/null");
  }
  vidzoer_test::TempDir dir_;
};

// A picture's pixels as R, G, B from the top row.
Pixels LoadRgb(const std::string& name, int* width, int* height) {
  imagelib::ImageInfo info;
  const std::string ext = name.substr(name.rfind('.') + 1);
  const bool png = ext == "png";
  if ((png ? imagelib::pnginfo(name.c_str(), &info) : imagelib::bmpinfo(name.c_str(), &info)) != 0) return {};
  imagelib::Image image;
  if (imagelib::allocimage(&image, info.width, info.height, 24) != 0) return {};
  if ((png ? imagelib::loadpng(name.c_str(), &image) : imagelib::loadbmp(name.c_str(), &image)) != 0)
    return {};
  Pixels rgb;
  for (int y = 0; y < info.height; ++y)
    for (int x = 0; x < info.width; ++x) {
      const uint8_t* p = image.Row(y) + x * 3;
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  imagelib::freeimage(&image);
  *width = info.width;
  *height = info.height;
  return rgb;
}

// The frames of a flic as R, G, B.
std::vector<Pixels> FlicFrames(const std::string& name, int* width, int* height) {
  std::vector<Pixels> out;
  QELFlic* f = QELFlicOpen(name.c_str());
  if (f == nullptr) return out;
  *width = f->width;
  *height = f->height;
  Pixels buffer(static_cast<size_t>(f->buffer_width) * f->buffer_height);
  for (int i = 0; i < f->frames; ++i) {
    QELFlicGetNext(f, buffer.data());
    Pixels rgb;
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x) {
        const uint8_t* c = f->palette + buffer[static_cast<size_t>(y) * f->buffer_width + x] * 3;
        rgb.insert(rgb.end(), {c[0], c[1], c[2]});
      }
    out.push_back(rgb);
  }
  QELFlicClose(f);
  return out;
}

double MeanAbsoluteError(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(a.size());
}

TEST_F(VizodovTest, TrueColourPngSequenceToAFlicWithAComputedPalette) {
  std::vector<Pixels> frames;
  for (int i = 1; i <= 5; ++i) {
    Pixels rgb(64 * 48 * 3);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        uint8_t* p = rgb.data() + (y * 64 + x) * 3;
        p[0] = static_cast<uint8_t>(x * 4);
        p[1] = static_cast<uint8_t>(y * 5 + i * 10);
        p[2] = static_cast<uint8_t>((x + y) * 2);
      }
    frames.push_back(rgb);
    WriteImage24(dir_.File("seq0" + std::to_string(i) + ".png"), 64, 48, rgb);
  }
  auto r = Run(Quote(dir_.File("seq??.png*1-5")) + " " + Quote(dir_.File("out.flc")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("5 frames written to out.flc, "), std::string::npos) << r.out;
  int w = 0, h = 0;
  const std::vector<Pixels> got = FlicFrames(dir_.File("out.flc"), &w, &h);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  // About 15000 colours share one palette of 236 computed entries (ImageMagick
  // gives 3.8 with 236 colours for each frame alone); a palette gone wrong
  // is far off.
  for (int i = 0; i < 5; ++i) EXPECT_LT(MeanAbsoluteError(got[i], frames[i]), 6.0) << "frame " << i;
  // Entries 0-9 hold the system colours (/D0).
  QELFlic* f = QELFlicOpen(dir_.File("out.flc").c_str());
  ASSERT_NE(f, nullptr);
  Pixels buffer(static_cast<size_t>(f->buffer_width) * f->buffer_height);
  QELFlicGetNext(f, buffer.data());
  EXPECT_EQ(f->palette[1 * 3], 128);
  EXPECT_EQ(f->palette[9 * 3 + 2], 240);
  QELFlicClose(f);
}

TEST_F(VizodovTest, AviWithSoundToAFlic) {
  avifile::WriterOptions o;
  o.width = 20;
  o.height = 10;
  o.bits = 8;
  o.rate = 10;
  o.audio = true;
  o.sample_rate = 11025;
  o.sample_bits = 16;
  std::string error;
  auto writer = avifile::Writer::Create(dir_.File("in.avi").c_str(), o, &error);
  ASSERT_NE(writer, nullptr) << error;
  std::vector<Pixels> want;
  for (int i = 0; i < 6; ++i) {
    const Palette pal = RandomPalette(i / 3 + 1);  // the palette changes at frame 3
    Pixels px = RandomBytes(20 * 10, 40 + i);
    Pixels bgrx(1024, 0);
    for (int c = 0; c < 256; ++c)
      for (int k = 0; k < 3; ++k) bgrx[c * 4 + k] = pal[c * 3 + 2 - k];
    Pixels dib(20 * 10);
    for (int y = 0; y < 10; ++y) std::memcpy(dib.data() + (9 - y) * 20, px.data() + y * 20, 20);
    ASSERT_TRUE(writer->WriteFrame(dib.data(), bgrx.data()));
    ASSERT_TRUE(writer->WriteAudio(vidzoer_test::NoiseBytes(2205, i).data(), 2204));
    Pixels rgb;
    for (uint8_t v : px) rgb.insert(rgb.end(), {pal[v * 3], pal[v * 3 + 1], pal[v * 3 + 2]});
    want.push_back(rgb);
  }
  ASSERT_GT(writer->Close(), 0u);
  auto r = Run(Quote(dir_.File("in.avi")) + " " + Quote(dir_.File("out.flc")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int w = 0, h = 0;
  const std::vector<Pixels> got = FlicFrames(dir_.File("out.flc"), &w, &h);
  ASSERT_EQ(got.size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], want[i]) << "frame " << i;
  QELFlic* f = QELFlicOpen(dir_.File("out.flc").c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->frame_time, -10000);  // 10 frames per second kept
  QELFlicClose(f);
}

TEST_F(VizodovTest, VdzToPngsEqualToTheDecoder) {
  const std::string sample = dir_.File("sample");
  auto s = RunProgram(
      dir_, "vdzsample",
      "--width 48 --height 32 --seconds 1 --vdz " + Quote(dir_.File("s.vdz")) + " " + Quote(sample));
  ASSERT_EQ(s.exit_code, 0) << s.err;
  auto info = RunProgram(dir_, "vdzinfo", Quote(dir_.File("s.vdz")) + " --frames " + Quote(dir_.File("ppm")));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  std::filesystem::create_directories(dir_.File("png"));
  auto r = Run(Quote(dir_.File("s.vdz")) + " " + Quote(dir_.File("png/f.png")) + " /O");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int checked = 0;
  for (int i = 0;; ++i) {
    char ppm[32];
    std::snprintf(ppm, sizeof ppm, "ppm/%05d.ppm", i);
    if (!std::filesystem::exists(dir_.File(ppm))) break;
    const Pixels bytes = vidzoer_test::ReadBytes(dir_.File(ppm));
    const Pixels want(bytes.end() - 48 * 32 * 3, bytes.end());
    char png[32];
    std::snprintf(png, sizeof png, "png/f%02d.png", i);
    int w = 0, h = 0;
    EXPECT_EQ(LoadRgb(dir_.File(png), &w, &h), want) << png;
    ++checked;
  }
  EXPECT_GE(checked, 10);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("png/f" + std::to_string(checked) + ".png")));
}

TEST_F(VizodovTest, AnimatedGifComposedAsImageMagickCoalescesIt) {
  if (!vidzoer_test::HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  // A full first picture, then smaller ones: transparent pixels, and each
  // disposal method (none, background, previous).
  const std::string gif = dir_.File("anim.gif");
  const std::string make =
      "convert -delay 20 -dispose none -size 40x30 gradient:red-blue"
      " -dispose none -page 40x30+5+5 \\( -size 16x12 xc:none -fill lime -draw 'circle 8,6 8,1' \\)"
      " -dispose background -page +20+10 \\( -size 10x10 xc:magenta \\)"
      " -dispose previous -page +2+15 \\( -size 12x8 xc:none -fill cyan -draw 'rectangle 0,0 5,7' \\)"
      " -dispose none -page +25+3 \\( -size 8x8 xc:orange \\) -page +0+0 \\( -size 6x6 xc:white \\)"
      " -loop 0 " +
      Quote(gif);
  ASSERT_TRUE(vidzoer_test::RunShell(make, dir_.File("err")));
  ASSERT_TRUE(vidzoer_test::RunShell("convert " + Quote(gif) +
                                         " -coalesce -background black -alpha remove -alpha off " +
                                         Quote(dir_.File("co_%d.ppm")),
                                     dir_.File("err")));
  auto r = Run(Quote(gif) + " " + Quote(dir_.File("out.bmp")) + " /A");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("6 frames written to out0.bmp to out5.bmp"), std::string::npos) << r.out;
  std::vector<Pixels> ours;
  for (int i = 0; i < 6; ++i) {
    const Pixels ppm = vidzoer_test::ReadBytes(dir_.File("co_" + std::to_string(i) + ".ppm"));
    ASSERT_GE(ppm.size(), 40u * 30 * 3);
    const Pixels want(ppm.end() - 40 * 30 * 3, ppm.end());
    int w = 0, h = 0;
    ours.push_back(LoadRgb(dir_.File("out" + std::to_string(i) + ".bmp"), &w, &h));
    EXPECT_EQ(ours.back(), want) << "frame " << i;
  }
  auto at = [&ours](int frame, int x, int y) {
    const uint8_t* p = ours[static_cast<size_t>(frame)].data() + (y * 40 + x) * 3;
    return (p[0] << 16) | (p[1] << 8) | p[2];
  };
  EXPECT_EQ(at(2, 25, 15), 0xFF00FF);       // magenta drawn
  EXPECT_EQ(at(3, 25, 15), 0x000000);       // and cleared by its disposal
  EXPECT_EQ(at(3, 3, 16), 0x00FFFF);        // cyan drawn
  EXPECT_NE(at(4, 3, 16), 0x00FFFF);        // and taken back by its disposal
  EXPECT_EQ(at(3, 10, 16), at(0, 10, 16));  // its transparent half shows the picture below
  // The frame time is the first picture's delay.
  QELMessageFunc none = nullptr;
  GFile* g = GFileOpen(gif.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 0, 0, nullptr, nullptr, none);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->frame_rate, 200);
  EXPECT_EQ(g->frames, 6);
  GFileClose(g);
}

TEST_F(VizodovTest, ListOfAFlicAndASequenceOfAnotherSize) {
  std::vector<Pixels> frames;
  std::vector<Palette> palettes;
  for (int i = 0; i < 3; ++i) {
    frames.push_back(Pixels(16 * 8, static_cast<uint8_t>(10 + i)));
    palettes.push_back(GreyPalette());
  }
  WriteFlic(dir_.File("a.flc"), 16, 8, frames, palettes);
  for (int i = 1; i <= 2; ++i)
    WriteImage8(dir_.File("b" + std::to_string(i) + ".bmp"), 8, 12, Pixels(96, 200), GreyPalette());
  WriteText(dir_.File("mix.lst"), "# the flic, then the pictures\na.flc /S2\nb?.bmp*1-2\n");
  auto r = Run(Quote(dir_.File("mix.lst")) + " " + Quote(dir_.File("out.bmp")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("4 frames written to out0.bmp to out3.bmp"), std::string::npos) << r.out;
  const int value[] = {11, 12, 200, 200};
  for (int i = 0; i < 4; ++i) {
    int w = 0, h = 0;
    const Pixels rgb = LoadRgb(dir_.File("out" + std::to_string(i) + ".bmp"), &w, &h);
    ASSERT_EQ(w, 16);
    ASSERT_EQ(h, 12);
    const bool flic = i < 2;
    EXPECT_EQ(rgb[0], value[i]);
    EXPECT_EQ(rgb[(11 * 16 + 15) * 3], 0) << "padding of frame " << i;
    EXPECT_EQ(rgb[(7 * 16 + 15) * 3], flic ? value[i] : 0);
    EXPECT_EQ(rgb[(11 * 16 + 7) * 3], flic ? 0 : 200);
  }
}

TEST_F(VizodovTest, SwitchesCropRangeTrueColourAndFrameRate) {
  std::vector<Pixels> frames;
  std::vector<Palette> palettes;
  for (int i = 0; i < 8; ++i) {
    frames.push_back(RandomBytes(32 * 16, i));
    palettes.push_back(RandomPalette(99));
  }
  WriteFlic(dir_.File("in.flc"), 32, 16, frames, palettes);
  auto r = Run(Quote(dir_.File("in.flc")) + " " + Quote(dir_.File("out.avi")) +
               " /A /S3 /E5 /X4 /Y2 /W10 /H6 /F25");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string error;
  auto avi = avifile::Reader::Open(dir_.File("out.avi").c_str(), &error);
  ASSERT_NE(avi, nullptr) << error;
  EXPECT_EQ(avi->Video().length, 3u);
  EXPECT_EQ(avi->Video().bits, 24);
  EXPECT_EQ(avi->Video().width, 10);
  EXPECT_EQ(avi->Video().height, 6);
  EXPECT_EQ(uint64_t{avi->Video().rate} * 4000, uint64_t{avi->Video().scale} * 100000);  // 25 per second
  avifile::Frame f;
  ASSERT_TRUE(avi->ReadFrame(1, &f));
  // Frame 4 of the flic, pixel (4 + 3, 2 + 1): rows of the AVI are bottom-up.
  const uint8_t index = frames[3][(2 + 1) * 32 + 4 + 3];
  const uint8_t* bgr = f.pixels.data() + (6 - 1 - 1) * f.pitch + 3 * 3;
  EXPECT_EQ(bgr[2], palettes[3][index * 3]);
  EXPECT_EQ(bgr[1], palettes[3][index * 3 + 1]);
  EXPECT_EQ(bgr[0], palettes[3][index * 3 + 2]);
}

TEST_F(VizodovTest, HalftoningTrueColourInput) {
  const int width = 128, height = 64;
  const Pixels source = Gradient(width, height);
  WriteImage24(dir_.File("g.png"), width, height, source);
  struct Case {
    const char* output;
    const char* halftone;
  };
  const Case cases[] = {{"near.bmp", ""},     {"near0.bmp", " /T0"}, {"near2.bmp", " /T2"},
                        {"half.bmp", " /T1"}, {"half1.bmp", " /T1"}, {"half.flc", " /T1"}};
  for (const Case& c : cases) {
    auto r = Run(Quote(dir_.File("g.png")) + " " + Quote(dir_.File(c.output)) + " /Q8 /D2" + c.halftone);
    ASSERT_EQ(r.exit_code, 0) << c.output << ": " << r.err;
  }
  // No /T, /T0 and /T2 take the nearest colour; /T1 gives the same pixels
  // on every run, in a picture as in a flic. (Names are chosen so that no
  // "/" in them reads as a switch.)
  const auto nearest = vidzoer_test::ReadBytes(dir_.File("near.bmp"));
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("near0.bmp")), nearest);
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("near2.bmp")), nearest);
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("half1.bmp")), vidzoer_test::ReadBytes(dir_.File("half.bmp")));
  EXPECT_NE(vidzoer_test::ReadBytes(dir_.File("half.bmp")), nearest);
  int w = 0, h = 0;
  const Pixels halftoned = LoadRgb(dir_.File("half.bmp"), &w, &h);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  const std::vector<Pixels> flic = FlicFrames(dir_.File("half.flc"), &w, &h);
  ASSERT_EQ(flic.size(), 1u);
  EXPECT_EQ(flic[0], halftoned);
  // Eight colours at most, which from a distance look like the gradient
  // (away from its edges, which lie beyond the computed colours).
  std::set<uint32_t> colours;
  for (size_t i = 0; i < halftoned.size(); i += 3)
    colours.insert(uint32_t{halftoned[i]} << 16 | uint32_t{halftoned[i + 1]} << 8 | halftoned[i + 2]);
  EXPECT_LE(colours.size(), 8u);
  const double half_error = BlockError(source, halftoned, width, height, 8, 2);
  const double near_error = BlockError(source, LoadRgb(dir_.File("near.bmp"), &w, &h), width, height, 8, 2);
  EXPECT_LT(half_error, 5.0) << "nearest " << near_error;
  EXPECT_GT(near_error, 3 * half_error) << "halftoned " << half_error;
}

TEST_F(VizodovTest, CommandLineAndFailures) {
  auto none = RunProgram(dir_, "vizodov", "");
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_NE(none.out.find("usage: vizodov INPUT OUTPUT"), std::string::npos);
  auto help = Run("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("/Q"), std::string::npos);
  EXPECT_EQ(Run("--version").exit_code, 0);
  WriteImage8(dir_.File("in.bmp"), 4, 4, Pixels(16, 3), GreyPalette());
  // The output may not be the input, under any name.
  auto same = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("./in.bmp")));
  EXPECT_EQ(same.exit_code, 1);
  EXPECT_NE(same.err.find("Output filename must be different than the input filename."), std::string::npos);
  // An existing output is kept unless /O: with no terminal the answer is No.
  WriteText(dir_.File("keep.flc"), "precious");
  auto keep = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("keep.flc")));
  EXPECT_EQ(keep.exit_code, 1);
  EXPECT_EQ(vidzoer_test::ReadBytes(dir_.File("keep.flc")).size(), 8u);
  EXPECT_EQ(Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("keep.flc")) + " /O").exit_code, 0);
  EXPECT_GT(vidzoer_test::ReadBytes(dir_.File("keep.flc")).size(), 8u);
  auto missing = Run(Quote(dir_.File("nowhere.bmp")) + " " + Quote(dir_.File("o.flc")));
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("Error opening: " + dir_.File("nowhere.bmp")), std::string::npos) << missing.err;
  EXPECT_EQ(Run(Quote(dir_.File("in.bmp"))).exit_code, 2);
  EXPECT_EQ(Run(Quote(dir_.File("in.bmp")) + " a.flc /Z3").exit_code, 2);
  EXPECT_EQ(Run(Quote(dir_.File("in.bmp")) + " a.flc /T3").exit_code, 2);
  // A .vdz output is the compressor's work: the usage error names it.
  auto vdz = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("o.VDZ")));
  EXPECT_EQ(vdz.exit_code, 2);
  EXPECT_NE(vdz.err.find(".vdz files are made by the compressor: vidzoc"), std::string::npos) << vdz.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("o.VDZ")));
  // True colour into a kind that holds only 8 bits.
  auto pcx = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("o.pcx")) + " /A");
  EXPECT_EQ(pcx.exit_code, 1);
  EXPECT_NE(pcx.err.find("Unsupported output file type or color depth."), std::string::npos);
}

TEST_F(VizodovTest, WritesUnderATemporaryNameAndReportsToTheFrontEnd) {
  WriteImage8(dir_.File("in.bmp"), 8, 4, Pixels(32, 5), GreyPalette());
  const uint32_t id = 300000 + static_cast<uint32_t>(getpid() % 100000);
  {
    player_test::FakeFrontEnd front(id, "Vidzoer for Windows", 0);
    ASSERT_TRUE(front.listening());
    auto r = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("out")) + " /#" + std::to_string(id));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto records = front.Records(3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].identifier, platform::kReportHello);
    EXPECT_EQ(records[2].kind, platform::kReportCopyData);
    EXPECT_EQ(records[2].identifier, platform::kReportDataText);
    const std::string text(records[2].data.begin(), records[2].data.end());
    // The status window's closing report: its title and subtitle, then the
    // last line.
    EXPECT_EQ(text.rfind("VizodOv - in.bmp to out\r\n  1 frame written to out.flc, ", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\0');
  }
  // The flic took its name when complete; nothing else is left behind.
  EXPECT_TRUE(std::filesystem::exists(dir_.File("out.flc")));
  for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(e.path().filename().string().find(".vizodov-"), std::string::npos) << e.path();
  // An output that cannot be made fails and leaves nothing.
  auto r = Run(Quote(dir_.File("in.bmp")) + " " + Quote(dir_.File("no/such/folder/x.avi")));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Error creating the output AVI file."), std::string::npos) << r.err;
}

}  // namespace

// File names hold "/", which also begins a switch: folders named like
// switches ("h2", "t9", "o") are parts of names, never switches.
TEST_F(VizodovTest, FolderNamesThatLookLikeSwitchesAreNames) {
  const std::string folder = dir_.File("h2/t9/o");
  std::filesystem::create_directories(folder);
  WriteImage8(folder + "/in.bmp", 8, 8, Pixels(64, 5), GreyPalette());
  auto r = Run(Quote(folder + "/in.bmp") + " " + Quote(folder + "/out.bmp"));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int width = 0, height = 0;
  const Pixels rgb = LoadRgb(folder + "/out.bmp", &width, &height);
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 8);
  EXPECT_EQ(rgb.size(), 8u * 8u * 3u);
}
