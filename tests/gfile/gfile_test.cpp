// The frame source: every kind of input, the frame range, the crop with
// padding, lists and numbered sequences, accumulation, the remap table and
// the command-line switches.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "gfile/gfile_files.h"
#include "platform/avifile/avifile.h"
#include "qelutil/gfile_internal.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

using namespace gfile_test;

namespace {

struct Closer {
  void operator()(GFile* g) const { GFileClose(g); }
};
using GFilePtr = std::unique_ptr<GFile, Closer>;

// Opens with the usual defaults: no crop, whole range, no palette work.
GFilePtr Open(const std::string& name, int32_t first = 0, int32_t last = 0, int32_t flags = 0) {
  return GFilePtr(GFileOpen(name.c_str(), flags, 0, 0, 0, 0, first, last, 0, 0, 0, 256, 0, 0, nullptr,
                            nullptr, Messages::Record));
}

// A flic whose frame i (0-based) is filled with the value i + 1.
void NumberedFlic(const std::string& name, int frames, int width = 16, int height = 8) {
  std::vector<Pixels> f;
  std::vector<Palette> p;
  for (int i = 0; i < frames; ++i) {
    f.emplace_back(static_cast<size_t>(width) * height, static_cast<uint8_t>(i + 1));
    p.push_back(GreyPalette());
  }
  WriteFlic(name, width, height, f, p);
}

class GFileTest : public ::testing::Test {
 protected:
  void SetUp() override { Messages::Clear(); }
  vidzoer_test::TempDir dir_;
};

TEST_F(GFileTest, SequenceWithStarOpensTheNumberedFiles) {
  for (int n = 7; n <= 12; ++n)
    WriteImage8(dir_.File("pic" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".bmp"), 8, 4,
                Pixels(32, static_cast<uint8_t>(n)), GreyPalette());
  GFilePtr g = Open(dir_.File("pic??.bmp*8-11"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->kind, GFILE_LIST);
  EXPECT_EQ(g->frames, 4);
  for (int n = 8; n <= 11; ++n) {
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(Row(g.get(), 0)[0], n);
  }
  EXPECT_EQ(g->done, 1);
  EXPECT_TRUE(Messages::Has("Opening the files in the list...", 0));
}

TEST_F(GFileTest, ListSkipsCommentsAndTakesEntryRanges) {
  NumberedFlic(dir_.File("a.flc"), 12);
  WriteImage8(dir_.File("one.bmp"), 16, 8, Pixels(128, 99), GreyPalette());
  WriteText(dir_.File("l.lst"), "# a comment naming missing.bmp\n\n  a.flc /S5 /E9  \none.bmp\n");
  GFilePtr g = Open(dir_.File("l.lst"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->frames, 6);
  const int want[] = {5, 6, 7, 8, 9, 99};
  for (int w : want) {
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(Row(g.get(), 3)[5], w);
  }
  // The list's own range: its frames 3 to 5 are frames 7 to 9 of the flic.
  GFilePtr r = Open(dir_.File("l.lst"), 3, 5);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->frames, 3);
  for (int w : {7, 8, 9}) {
    ASSERT_EQ(GFileGet(r.get()), 1);
    EXPECT_EQ(Row(r.get(), 0)[0], w);
  }
}

TEST_F(GFileTest, ListEntriesOfDifferentSizesArePadded) {
  NumberedFlic(dir_.File("small.flc"), 2, 8, 4);
  NumberedFlic(dir_.File("big.flc"), 1, 20, 10);
  WriteText(dir_.File("mix.lst"), "small.flc\nbig.flc\nsmall.flc\n");
  GFilePtr g(GFileOpen(dir_.File("mix.lst").c_str(), 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 256, 0, 0, nullptr,
                       nullptr, nullptr));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->source_width, 20);
  EXPECT_EQ(g->source_height, 10);
  EXPECT_EQ(g->frames, 5);
  EXPECT_EQ(g->width, 20);
  const int region_w[] = {6, 6, 18, 6, 6}, region_h[] = {3, 3, 9, 3, 3}, value[] = {1, 2, 1, 1, 2};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(g->region_width, region_w[i]) << i;
    EXPECT_EQ(g->region_height, region_h[i]) << i;
    EXPECT_EQ(g->pad_right, 20 - region_w[i]);
    for (int y = 0; y < g->height; ++y)
      for (int x = 0; x < g->width; ++x)
        ASSERT_EQ(Row(g.get(), y)[x], x < region_w[i] && y < region_h[i] ? value[i] : 0)
            << i << " " << x << "," << y;
  }
}

TEST_F(GFileTest, CropBeyondTheSourceIsPadded) {
  Pixels p(320 * 2);
  for (int x = 0; x < 320; ++x) p[x] = p[320 + x] = static_cast<uint8_t>(x & 255);
  WriteImage8(dir_.File("wide.bmp"), 320, 2, p, GreyPalette());
  GFilePtr g(GFileOpen(dir_.File("wide.bmp").c_str(), 0, 300, 0, 64, 2, 0, 0, 0, 0, 0, 256, 0, 0, nullptr,
                       nullptr, nullptr));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->region_width, 20);
  EXPECT_EQ(g->pad_right, 44);
  ASSERT_EQ(GFileGet(g.get()), 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 64; ++x) EXPECT_EQ(Row(g.get(), y)[x], x < 20 ? (300 + x) & 255 : 0);
  // A crop wholly outside the source gives a blank frame.
  GFilePtr out(GFileOpen(dir_.File("wide.bmp").c_str(), 0, 400, 0, 8, 2, 0, 0, 0, 0, 0, 256, 0, 0, nullptr,
                         nullptr, nullptr));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->region_width, 0);
  ASSERT_EQ(GFileGet(out.get()), 1);
  EXPECT_EQ(Row(out.get(), 1)[7], 0);
}

TEST_F(GFileTest, FrameRanges) {
  NumberedFlic(dir_.File("r.flc"), 10);
  struct Case {
    int first, last, frames, first_value;
  } cases[] = {{5, 3, 1, 5}, {0, 0, 10, 1}, {3, 0, 8, 3}, {9, 40, 2, 9}, {40, 50, 1, 10}};
  for (const Case& c : cases) {
    GFilePtr g = Open(dir_.File("r.flc"), c.first, c.last);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->frames, c.frames) << c.first << "-" << c.last;
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(Row(g.get(), 0)[0], c.first_value) << c.first << "-" << c.last;
  }
  GFilePtr g = Open(dir_.File("r.flc"), 4, 0);
  Messages::Clear();
  ASSERT_EQ(GFileGet(g.get()), 1);
  EXPECT_TRUE(Messages::Has("Skipping frame 1...", 1));
  EXPECT_TRUE(Messages::Has("Skipping frame 3...", 0));
  EXPECT_TRUE(Messages::Has("Processing frame 4 of 10...", 0));
}

TEST_F(GFileTest, ResetRewindsToTheFirstFrameOfTheRange) {
  NumberedFlic(dir_.File("r.flc"), 6);
  GFilePtr g = Open(dir_.File("r.flc"), 2, 5);
  for (int round = 0; round < 2; ++round) {
    for (int want = 2; want <= 5; ++want) {
      ASSERT_EQ(GFileGet(g.get()), 1);
      EXPECT_EQ(Row(g.get(), 0)[0], want);
    }
    EXPECT_EQ(g->done, 1);
    GFileReset(g.get());
    EXPECT_EQ(g->done, 0);
    EXPECT_EQ(g->frame_number, 0);
  }
}

TEST_F(GFileTest, AccumulationStartsAtTenTrueColourFrames) {
  for (int n = 1; n <= 10; ++n)
    WriteImage24(dir_.File("t" + std::to_string(n / 10) + std::to_string(n % 10) + ".bmp"), 4, 4,
                 RandomBytes(48, n));
  struct Case {
    std::string name;
    int32_t mode, flags;
    bool accumulates;
  } cases[] = {{"t??.bmp*1-10", 0, 0, true},
               {"t??.bmp*1-9", 0, 0, false},
               {"t??.bmp*1-9", 1, 0, true},
               {"t??.bmp*1-10", 2, 0, false},
               {"t??.bmp*1-10", 0, GFILE_TRUE_COLOUR, false}};
  for (const Case& c : cases) {
    GFilePtr g(GFileOpen(dir_.File(c.name).c_str(), c.flags, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 0, c.mode,
                         nullptr, nullptr, nullptr));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->state->accumulate, c.accumulates) << c.name << " mode " << c.mode;
    EXPECT_EQ(g->source_bits, 24);
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(g->palette_computed, c.flags == 0 ? 1 : 0);
  }
}

TEST_F(GFileTest, TwoSecondsOfSoundGiveTwentyOneBlankFrames) {
  vidzoer_test::WriteWaveFile(dir_.File("s.wav"), 11025, 16, 2, Pixels(11025 * 4 * 2, 0x80));
  GFilePtr g = Open(dir_.File("s.wav"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->kind, GFILE_WAVE);
  EXPECT_EQ(g->frames, 21);
  EXPECT_EQ(g->width, 4);
  EXPECT_EQ(g->height, 4);
  EXPECT_EQ(g->frame_rate, 100);
  EXPECT_EQ(g->rate_units, 1000);
  EXPECT_EQ(g->rate_count, 100);
  int n = 0;
  while (g->done == 0 && GFileGet(g.get()) == 1) ++n;
  EXPECT_EQ(n, 21);
  // A wave that is not PCM is not a frame source.
  Pixels bytes = vidzoer_test::ReadBytes(dir_.File("s.wav"));
  bytes[20] = 3;  // floating-point samples
  vidzoer_test::WriteBytes(dir_.File("float.wav"), bytes);
  EXPECT_EQ(Open(dir_.File("float.wav")), nullptr);
}

TEST_F(GFileTest, IdenticalPaletteMapsEveryIndexToItself) {
  // Many entries share colours: the remap must still keep every index.
  Palette p(768);
  for (int i = 0; i < 256; ++i) p[i * 3] = p[i * 3 + 1] = p[i * 3 + 2] = static_cast<uint8_t>((i / 16) * 16);
  Pixels px(256);
  for (int i = 0; i < 256; ++i) px[i] = static_cast<uint8_t>(i);
  WriteImage8(dir_.File("all.bmp"), 16, 16, px, p);
  // Entries 0 to 254: not the whole palette, so the remap table is used.
  GFilePtr g(GFileOpen(dir_.File("all.bmp").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, nullptr,
                       nullptr, nullptr));
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(GFileGet(g.get()), 1);
  for (int i = 0; i < 255; ++i) EXPECT_EQ(Row(g.get(), i / 16)[i % 16], i);
  EXPECT_EQ(Row(g.get(), 15)[15], 240);  // entry 255 lies outside: its first equal is 240
}

TEST_F(GFileTest, SystemColourModeOneForcesTheSystemColours) {
  Pixels px(64);
  for (int i = 0; i < 64; ++i) px[i] = static_cast<uint8_t>(i * 4);
  WriteImage8(dir_.File("g.bmp"), 8, 8, px, GreyPalette());
  GFilePtr g(GFileOpen(dir_.File("g.bmp").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 1, 0, nullptr, nullptr,
                       nullptr));
  ASSERT_EQ(GFileGet(g.get()), 1);
  EXPECT_EQ(g->palette[255 * 3 + 1], 255);
  EXPECT_EQ(g->palette[1 * 3], 128);  // system colour 1
  EXPECT_EQ(g->palette[1 * 3 + 1], 0);
  for (int i = 0; i < 64; ++i) {
    const uint8_t* got = g->palette + Row(g.get(), i / 8)[i % 8] * 3;
    EXPECT_NEAR(got[1], i * 4, 16) << i;
  }
}

TEST_F(GFileTest, StillImagesOfEveryKind) {
  const Palette pal = RandomPalette(7);
  const Pixels px = RandomBytes(12 * 6, 8);
  struct Case {
    const char* ext;
    int32_t kind;
  } cases[] = {{"bmp", GFILE_BMP}, {"gif", GFILE_GIF}, {"tif", GFILE_TIFF},
               {"pcx", GFILE_PCX}, {"tga", GFILE_TGA}, {"png", GFILE_PNG}};
  for (const Case& c : cases) {
    const std::string name = dir_.File(std::string("still.") + c.ext);
    WriteImage8(name, 12, 6, px, pal);
    GFilePtr g = Open(name);
    ASSERT_NE(g, nullptr) << c.ext;
    EXPECT_EQ(g->kind, c.kind) << c.ext;
    EXPECT_EQ(g->frames, 1);
    ASSERT_EQ(GFileGet(g.get()), 1);
    Pixels want;
    for (uint8_t i : px) want.insert(want.end(), {pal[i * 3], pal[i * 3 + 1], pal[i * 3 + 2]});
    EXPECT_EQ(DeliveredRgb(g.get()), want) << c.ext;
  }
  // A name without extension finds the file through the default extensions.
  WriteImage24(dir_.File("photo.jpg"), 8, 8, Pixels(192, 128));
  GFilePtr j = Open(dir_.File("photo"));
  ASSERT_NE(j, nullptr);
  EXPECT_EQ(j->kind, GFILE_JPEG);
  EXPECT_EQ(std::string(j->name), dir_.File("photo.jpg"));
}

TEST_F(GFileTest, TrueColourFramesAreRgbWords) {
  Pixels rgb = RandomBytes(5 * 3 * 3, 3);
  WriteImage24(dir_.File("tc.png"), 5, 3, rgb);
  GFilePtr g = Open(dir_.File("tc.png"), 0, 0, GFILE_TRUE_COLOUR);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->pitch, 8 * 4);
  ASSERT_EQ(GFileGet(g.get()), 1);
  for (int i = 0; i < 15; ++i) {
    uint32_t word;
    std::memcpy(&word, Row(g.get(), i / 5) + (i % 5) * 4, 4);
    EXPECT_EQ(word, (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2]) << i;
  }
}

TEST_F(GFileTest, RawFramesWithPaletteRecords) {
  std::vector<Pixels> frames = {RandomBytes(32, 1), RandomBytes(32, 2), RandomBytes(32, 3)};
  std::vector<Palette> palettes = {RandomPalette(4), {}, RandomPalette(5)};
  WriteRaw(dir_.File("f.raw"), 8, 4, 4000, frames, palettes);
  GFilePtr g = Open(dir_.File("f"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->kind, GFILE_RAW);
  EXPECT_EQ(g->frames, 3);
  EXPECT_EQ(g->frame_rate, -4000);
  EXPECT_EQ(g->rate_units, 100000);
  const int pal_of[] = {0, 0, 2};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(std::memcmp(g->palette, palettes[pal_of[i]].data(), 768), 0) << i;
    for (int y = 0; y < 4; ++y) EXPECT_EQ(std::memcmp(Row(g.get(), y), frames[i].data() + y * 8, 8), 0);
  }
  // Frames past the end of a file cut short come out blank, never read beyond.
  Pixels cut = vidzoer_test::ReadBytes(dir_.File("f.raw"));
  cut.resize(cut.size() - 20);
  vidzoer_test::WriteBytes(dir_.File("cut.raw"), cut);
  GFilePtr c = Open(dir_.File("cut.raw"), 3, 3);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(GFileGet(c.get()), 1);
  EXPECT_EQ(std::memcmp(Row(c.get(), 0), frames[2].data(), 8), 0);
  EXPECT_EQ(Row(c.get(), 3)[7], 0);
}

TEST_F(GFileTest, AviFramesAndTheirShareOfSound) {
  avifile::WriterOptions o;
  o.width = 6;
  o.height = 4;
  o.bits = 24;
  o.rate = 25;
  o.scale = 1;
  o.audio = true;
  o.channels = 1;
  o.sample_rate = 8000;
  o.sample_bits = 8;
  std::string error;
  auto w = avifile::Writer::Create(dir_.File("v.avi").c_str(), o, &error);
  ASSERT_NE(w, nullptr) << error;
  std::vector<Pixels> frames;
  for (int i = 0; i < 4; ++i) {
    frames.push_back(RandomBytes(24 * 4, 10 + i));  // rows of 18 bytes padded to 20... kept as 24
    Pixels dib(20 * 4);
    for (int y = 0; y < 4; ++y) std::memcpy(dib.data() + y * 20, frames[i].data() + y * 18, 18);
    frames[i] = dib;
    ASSERT_TRUE(w->WriteFrame(dib.data(), nullptr));
    ASSERT_TRUE(w->WriteAudio(Pixels(320, 0x80).data(), 320));
  }
  ASSERT_GT(w->Close(), 0u);
  GFilePtr g = Open(dir_.File("v.avi"), 0, 0, GFILE_TRUE_COLOUR);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->kind, GFILE_AVI);
  EXPECT_EQ(g->frames, 4);
  EXPECT_EQ(g->frame_rate, -4000);
  EXPECT_EQ(g->rate_units, 25);
  EXPECT_EQ(g->rate_count, 1);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(GFileGet(g.get()), 1);
    EXPECT_EQ(g->frame_bytes, 20 * 4 + 320) << i;  // the stored frame and its sound
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        const uint8_t* dib = frames[i].data() + (3 - y) * 20 + x * 3;  // bottom-up
        const uint8_t* got = Row(g.get(), y) + x * 4;
        ASSERT_EQ(std::memcmp(got, dib, 3), 0) << i << " " << x << "," << y;
      }
  }
}

TEST_F(GFileTest, FailuresAreReported) {
  WriteText(dir_.File("junk.dat"), "nothing a reader knows");
  EXPECT_EQ(Open(dir_.File("junk.dat")), nullptr);
  EXPECT_TRUE(Messages::Has("Error opening: " + dir_.File("junk.dat"), 2));
  Messages::Clear();
  WriteText(dir_.File("empty.lst"), "# only a comment\n\n");
  EXPECT_EQ(Open(dir_.File("empty.lst")), nullptr);
  EXPECT_TRUE(Messages::Has("No files in the list file.", 2));
  Messages::Clear();
  WriteText(dir_.File("missing.lst"), "nowhere.bmp\n");
  EXPECT_EQ(Open(dir_.File("missing.lst")), nullptr);
  EXPECT_TRUE(Messages::Has("Error opening: " + dir_.File("nowhere.bmp"), 2));
  // A list that names itself is refused, not followed for ever.
  WriteText(dir_.File("self.lst"), "self.lst\n");
  EXPECT_EQ(Open(dir_.File("self.lst")), nullptr);
  // A sequence with a missing file fails at that file.
  WriteImage8(dir_.File("q1.bmp"), 4, 4, Pixels(16, 1), GreyPalette());
  EXPECT_EQ(Open(dir_.File("q?.bmp*1-2")), nullptr);
  EXPECT_NE(Open(dir_.File("q?.bmp*1")), nullptr);
}

TEST_F(GFileTest, CancellingStopsGet) {
  NumberedFlic(dir_.File("c.flc"), 3);
  GFilePtr g = Open(dir_.File("c.flc"));
  Messages::cancel_after = 1;
  EXPECT_EQ(GFileGet(g.get()), 1);
  EXPECT_EQ(GFileGet(g.get()), 0);
}

TEST_F(GFileTest, PaletteFileDefinesThePalette) {
  // The palette file's 8-bit palette is used as it is; the input is mapped.
  Palette pal(768, 0);
  for (int i = 0; i < 256; ++i) pal[i * 3] = static_cast<uint8_t>(255 - i);
  WriteImage8(dir_.File("pal.bmp"), 2, 2, Pixels(4, 0), pal);
  Pixels rgb = {200, 0, 0, 10, 0, 0, 255, 0, 0, 0, 0, 0};
  WriteImage24(dir_.File("in.bmp"), 2, 2, rgb);
  GFilePtr g(GFileOpen(dir_.File("in.bmp").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 2, 0,
                       dir_.File("pal.bmp").c_str(), nullptr, nullptr));
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(GFileGet(g.get()), 1);
  EXPECT_EQ(std::memcmp(g->palette, pal.data(), 768), 0);
  // The first entry of equal 6-bit colour wins: 200 is 50, entries 52-55.
  EXPECT_EQ(Row(g.get(), 0)[0], 52);
  EXPECT_EQ(Row(g.get(), 0)[1], 244);
  EXPECT_EQ(Row(g.get(), 1)[0], 0);
  EXPECT_EQ(Row(g.get(), 1)[1], 252);
}

struct SwitchCase {
  const char* line;
  int32_t x, y, w, h, s, e, p, u, i, q, d, t;
  const char* palette;
  const char* rest;
};

TEST(GFileCommandLineTest, SwitchesAndDefaults) {
  const SwitchCase cases[] = {
      {"in out", 0, 0, 0, 0, 0, 0, 0, 65536, 0, 256, 0, 0, "", "inout"},
      {"in out /Q200", 0, 0, 0, 0, 0, 0, 0, 65536, 28, 200, 0, 0, "", "inout"},
      {"/I5 in /Q100 out", 0, 0, 0, 0, 0, 0, 0, 65536, 5, 100, 0, 0, "", "inout"},
      {"a /Q0 /I250", 0, 0, 0, 0, 0, 0, 0, 65536, 0, 256, 0, 0, "", "a"},
      {"a /Q300 /U0", 0, 0, 0, 0, 0, 0, 0, 65536, 0, 256, 0, 0, "", "a"},
      {"a /Q16 /I250 /U70000", 0, 0, 0, 0, 0, 0, 0, 65536, 240, 16, 0, 0, "", "a"},
      {"a /I2147483647 /I-5", 0, 0, 0, 0, 0, 0, 0, 65536, 0, 256, 0, 0, "", "a/I-5"},
      {"a /X3 /Y4 /W5 /H6 /S7 /E8 /P2 /U9 /D1 /T2 /&\"my pal.bmp\" /A", 3, 4, 5, 6, 7, 8, 2, 9, 0, 256, 1, 2,
       "my pal.bmp", "a/A"},
  };
  for (const SwitchCase& c : cases) {
    std::string line = c.line;
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    int32_t x, y, w, h, s, e, u, i, q;
    uint8_t p, d, t;
    char pal[256];
    GFileCommandLine(buf.data(), &x, &y, &w, &h, &s, &e, &p, &u, &i, &q, &d, &t, pal);
    EXPECT_EQ(x, c.x) << c.line;
    EXPECT_EQ(y, c.y) << c.line;
    EXPECT_EQ(w, c.w) << c.line;
    EXPECT_EQ(h, c.h) << c.line;
    EXPECT_EQ(s, c.s) << c.line;
    EXPECT_EQ(e, c.e) << c.line;
    EXPECT_EQ(p, c.p) << c.line;
    EXPECT_EQ(u, c.u) << c.line;
    EXPECT_EQ(i, c.i) << c.line;
    EXPECT_EQ(q, c.q) << c.line;
    EXPECT_EQ(d, c.d) << c.line;
    EXPECT_EQ(t, c.t) << c.line;
    EXPECT_STREQ(pal, c.palette) << c.line;
    std::string rest;
    for (const char* r = buf.data(); *r != 0; ++r)
      if (*r != ' ') rest += *r;
    EXPECT_EQ(rest, c.rest) << c.line;
  }
  // The optional results may be left out.
  char line[] = "x /Q8 /I2";
  int32_t x, y, w, h, s, e;
  GFileCommandLine(line, &x, &y, &w, &h, &s, &e, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  EXPECT_STREQ(Trim(line), "x");
}

}  // namespace
