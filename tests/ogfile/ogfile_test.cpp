// OGFile end to end: frames written to every output kind and read back
// through the readers of the same library (flic, image library, AVI).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "platform/imagelib/imagelib.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

namespace {

// The messages OGFile sent.
std::vector<std::pair<std::string, int>> g_messages;
uint8_t Record(const char* text, int32_t kind) {
  g_messages.emplace_back(text != nullptr ? text : "(null)", kind);
  return 0;
}

// Input frames: 8-bit with a pitch wider than the width, or 32-bit.
struct Input {
  int width, height, pitch;
  bool true_colour;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::vector<uint8_t>> palettes;  // R, G, B
};

Input MakeInput(int width, int height, int count, bool true_colour, uint32_t seed) {
  std::mt19937 rng(seed);
  Input in{width, height, true_colour ? width * 4 + 8 : width + 5, true_colour, {}, {}};
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> f(static_cast<size_t>(in.pitch) * height, 0xAB);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < (true_colour ? width * 4 : width); ++x)
        f[static_cast<size_t>(y) * in.pitch + x] =
            static_cast<uint8_t>((x / 3 + y + i) % 7 == 0 ? rng() : x + y * 3 + i);
    std::vector<uint8_t> p(768);
    for (int k = 0; k < 256; ++k) {
      p[k * 3] = static_cast<uint8_t>(k);
      p[k * 3 + 1] = static_cast<uint8_t>(255 - k + i * 16);
      p[k * 3 + 2] = static_cast<uint8_t>(k * 7);
    }
    in.frames.push_back(f);
    in.palettes.push_back(p);
  }
  return in;
}

// Frame i as top-down RGB.
std::vector<uint8_t> ExpectedRgb(const Input& in, int i) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < in.height; ++y)
    for (int x = 0; x < in.width; ++x) {
      const uint8_t* row = in.frames[i].data() + static_cast<size_t>(y) * in.pitch;
      if (in.true_colour) {
        rgb.insert(rgb.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
      } else {
        const uint8_t* c = in.palettes[i].data() + row[x] * 3;
        rgb.insert(rgb.end(), c, c + 3);
      }
    }
  return rgb;
}

std::vector<uint8_t> ImageRgb(const imagelib::Image& image) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* c = image.bits == 8 ? image.palette + image.Row(y)[x] * 4 : image.Row(y) + x * 3;
      rgb.insert(rgb.end(), {c[2], c[1], c[0]});
    }
  return rgb;
}

OGFile* Create(const std::string& name, const Input& in, int32_t flags = OGFILE_NO_OVERWRITE_ASK,
               int32_t frame_time = -4000) {
  g_messages.clear();
  return OGFileCreate(nullptr, name.c_str(), in.true_colour ? 1 : 0, static_cast<int32_t>(in.frames.size()),
                      in.width, in.height, in.pitch, frame_time, Record, flags);
}

uint32_t WriteAll(OGFile* og, const Input& in) {
  for (size_t i = 0; i < in.frames.size(); ++i)
    EXPECT_EQ(OGFilePut(og, in.frames[i].data(), in.palettes[i].data()), 1);
  EXPECT_EQ(og->error, 0);
  return OGFileClose(og);
}

struct StillCase {
  const char* ext;
  bool true_colour;
  int kind, bits;
  int (*load)(const char*, imagelib::Image*);
  double mean_tolerance;  // 0: exact
};

class OGFileStills : public ::testing::TestWithParam<StillCase> {};

TEST_P(OGFileStills, NumberedImagesHoldTheFrames) {
  const StillCase c = GetParam();
  vidzoer_test::TempDir dir;
  Input in = MakeInput(30, 17, 12, c.true_colour, 5);
  if (c.mean_tolerance > 0) {  // a lossy kind gets smooth pictures
    for (int i = 0; i < 12; ++i)
      for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width * 4; ++x)
          in.frames[i][static_cast<size_t>(y) * in.pitch + x] = static_cast<uint8_t>(x + y * 4 + i * 2);
  }
  OGFile* og = Create(dir.File(std::string("out.") + c.ext), in);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(og->kind, c.kind);
  EXPECT_EQ(og->bits, c.bits);
  uint32_t total = WriteAll(og, in);
  uint64_t sizes = 0;
  for (int i = 0; i < 12; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "out%02d.%s", i, c.ext);
    const std::string file = dir.File(name);
    ASSERT_TRUE(std::filesystem::exists(file)) << name;
    sizes += std::filesystem::file_size(file);
    imagelib::Image image;
    ASSERT_EQ(imagelib::allocimage(&image, in.width, in.height, 24), 0);
    ASSERT_EQ(c.load(file.c_str(), &image), 0) << name;
    auto got = ImageRgb(image), want = ExpectedRgb(in, i);
    ASSERT_EQ(got.size(), want.size());
    if (c.mean_tolerance == 0) {
      EXPECT_EQ(got, want) << name;
    } else {  // lossy: the mean difference
      double sum = 0;
      for (size_t k = 0; k < got.size(); ++k) sum += std::abs(got[k] - want[k]);
      EXPECT_LE(sum / got.size(), c.mean_tolerance) << name;
    }
    imagelib::freeimage(&image);
  }
  EXPECT_EQ(total, sizes);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OGFileStills,
                         ::testing::Values(StillCase{"bmp", false, OGFILE_BMP, 8, imagelib::loadbmp, 0},
                                           StillCase{"BMP", true, OGFILE_BMP, 24, imagelib::loadbmp, 0},
                                           StillCase{"tga", false, OGFILE_TGA, 24, imagelib::loadtga, 0},
                                           StillCase{"tif", false, OGFILE_TIFF, 8, imagelib::loadtif, 0},
                                           StillCase{"tif", true, OGFILE_TIFF, 24, imagelib::loadtif, 0},
                                           StillCase{"pcx", false, OGFILE_PCX, 8, imagelib::loadpcx, 0},
                                           StillCase{"Gif", false, OGFILE_GIF, 8, imagelib::loadgif, 0},
                                           StillCase{"png", false, OGFILE_PNG, 8, imagelib::loadpng, 0},
                                           StillCase{"png", true, OGFILE_PNG, 24, imagelib::loadpng, 0},
                                           StillCase{"jpg", true, OGFILE_JPEG, 24, imagelib::loadjpg, 2}),
                         [](const auto& info) {
                           return std::string(info.param.ext) + (info.param.true_colour ? "_24" : "_8");
                         });

TEST(OGFileNames, TwelveFramesAreNumberedAndOneFrameKeepsTheName) {
  vidzoer_test::TempDir dir;
  Input in = MakeInput(8, 4, 12, false, 1);
  OGFile* og = Create(dir.File("out.bmp"), in);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(std::string(og->pattern), dir.File("out%02i.bmp"));
  for (int i = 0; i < 12; ++i) OGFilePut(og, in.frames[i].data(), in.palettes[i].data());
  EXPECT_STREQ(og->summary, "out00.bmp to out11.bmp");
  OGFileClose(og);
  EXPECT_TRUE(std::filesystem::exists(dir.File("out00.bmp")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("out11.bmp")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out12.bmp")));

  Input one = MakeInput(8, 4, 1, false, 1);
  og = Create(dir.File("single.bmp"), one);
  ASSERT_NE(og, nullptr);
  OGFilePut(og, one.frames[0].data(), one.palettes[0].data());
  EXPECT_STREQ(og->summary, "single.bmp");
  OGFileClose(og);
  EXPECT_TRUE(std::filesystem::exists(dir.File("single.bmp")));

  // The number format follows the frame count; "%" in a name stays itself.
  struct {
    int frames;
    const char* pattern;
  } formats[] = {{2, "a%01i.bmp"}, {100, "a%03i.bmp"}, {1000, "a%04i.bmp"}, {10000, "a%05i.bmp"}};
  for (const auto& f : formats) {
    og = OGFileCreate(nullptr, dir.File("a.bmp").c_str(), 0, f.frames, 4, 4, 4, 50, nullptr, 2);
    ASSERT_NE(og, nullptr);
    EXPECT_EQ(std::string(og->pattern), dir.File(f.pattern));
    OGFileClose(og);
  }
  // Only the final extension leaves the name.
  std::filesystem::create_directories(dir.File("x.bmp"));
  og = OGFileCreate(nullptr, dir.File("x.bmp/x.bmp").c_str(), 0, 3, 4, 4, 4, 50, nullptr, 2);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(std::string(og->pattern), dir.File("x.bmp/x%01i.bmp"));
  OGFileClose(og);
  og = OGFileCreate(nullptr, dir.File("100%.bmp").c_str(), 0, 3, 4, 4, 4, 50, nullptr, 2);
  ASSERT_NE(og, nullptr);
  OGFilePut(og, one.frames[0].data(), one.palettes[0].data());
  OGFileClose(og);
  EXPECT_TRUE(std::filesystem::exists(dir.File("100%0.bmp")));
}

TEST(OGFileRefusals, UnsupportedKindsAndDepthsAreReported) {
  vidzoer_test::TempDir dir;
  Input eight = MakeInput(8, 4, 1, false, 1), full = MakeInput(8, 4, 1, true, 1);
  struct Case {
    const char* name;
    const Input* in;
    int flags;
    bool reported;
  } cases[] = {{"x.xyz", &eight, 2, true},
               {"x.pcx", &full, 2, true},
               {"x.gif", &full, 2, true},
               {"x.flc", &full, 2, true},
               {"x.xyz", &eight, 3, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(Create(dir.File(c.name), *c.in, c.flags), nullptr) << c.name;
    if (c.reported) {
      ASSERT_EQ(g_messages.size(), 1u) << c.name;
      EXPECT_EQ(g_messages[0],
                (std::pair<std::string, int>{"Unsupported output file type or color depth.", 2}));
    } else {
      EXPECT_TRUE(g_messages.empty());
    }
  }
  EXPECT_EQ(Create(dir.File("no/such/folder/x.flc"), eight), nullptr);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], (std::pair<std::string, int>{"Error creating the output flic.", 2}));
  EXPECT_EQ(Create(dir.File("no/such/folder/x.avi"), eight), nullptr);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], (std::pair<std::string, int>{"Error creating the output AVI file.", 2}));
}

TEST(OGFileOverwrite, ADeclinedQuestionIsKindThreeAndLeavesTheFile) {
  vidzoer_test::TempDir dir;
  Input in = MakeInput(8, 4, 2, false, 1);
  for (const char* name : {"old.flc", "old.avi", "old0.bmp"}) {
    std::FILE* f = std::fopen(dir.File(name).c_str(), "w");
    std::fputs("keep", f);
    std::fclose(f);
  }
  // Standard input is not a terminal here: the question takes its default, No.
  for (const char* name : {"old.flc", "old.avi", "old.bmp"}) {
    EXPECT_EQ(Create(dir.File(name), in, 0), nullptr) << name;
    ASSERT_EQ(g_messages.size(), 1u) << name;
    EXPECT_EQ(g_messages[0], (std::pair<std::string, int>{"(null)", 3}));
  }
  EXPECT_EQ(std::filesystem::file_size(dir.File("old.flc")), 4u);
  EXPECT_EQ(std::filesystem::file_size(dir.File("old.avi")), 4u);
  OGFile* og = Create(dir.File("old.flc"), in, OGFILE_NO_OVERWRITE_ASK);
  ASSERT_NE(og, nullptr);
  EXPECT_GT(WriteAll(og, in), 128u);
}

TEST(OGFileFlic, WidthIsRoundedUpToFourAndFramesReadBack) {
  vidzoer_test::TempDir dir;
  Input in = MakeInput(321, 10, 5, false, 9);
  // Without an extension the output is a flic named with ".flc".
  OGFile* og = Create(dir.File("movie"), in);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(og->kind, OGFILE_FLIC);
  EXPECT_EQ(og->flic->width, 324);
  uint32_t size = WriteAll(og, in);
  EXPECT_EQ(size, std::filesystem::file_size(dir.File("movie.flc")));
  QELFlic* r = QELFlicOpen(dir.File("movie.flc").c_str());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->width, 324);
  EXPECT_EQ(r->frame_time, -4000);
  std::vector<uint8_t> buffer(static_cast<size_t>(r->buffer_width) * r->buffer_height);
  for (int i = 0; i < 5; ++i) {
    QELFlicGetNext(r, buffer.data());
    EXPECT_EQ(0, std::memcmp(QELFlicGetPalette(r), in.palettes[i].data(), 768));
    for (int y = 0; y < in.height; ++y) {
      ASSERT_EQ(0, std::memcmp(buffer.data() + y * 324, in.frames[i].data() + y * in.pitch, 321));
      EXPECT_EQ(buffer[y * 324 + 321] | buffer[y * 324 + 322] | buffer[y * 324 + 323], 0);
    }
  }
  QELFlicClose(r);
}

struct AviCase {
  const char* what;
  bool true_colour;
  int flags;
  uint32_t compression;
};

class OGFileAvi : public ::testing::TestWithParam<AviCase> {};

TEST_P(OGFileAvi, FramesAndPalettesReadBack) {
  const AviCase c = GetParam();
  vidzoer_test::TempDir dir;
  Input in = MakeInput(30, 11, 6, c.true_colour, 4);
  OGFile* og = Create(dir.File("out.avi"), in, OGFILE_NO_OVERWRITE_ASK | c.flags, -6667);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(og->kind, OGFILE_AVI);
  uint32_t size = WriteAll(og, in);
  EXPECT_EQ(size, std::filesystem::file_size(dir.File("out.avi")));
  std::string error;
  auto r = avifile::Reader::Open(dir.File("out.avi").c_str(), &error);
  ASSERT_NE(r, nullptr) << error;
  EXPECT_EQ(r->Video().length, 6u);
  EXPECT_EQ(r->Video().rate, 100000u);
  EXPECT_EQ(r->Video().scale, 6667u);
  EXPECT_EQ(r->Video().compression, c.compression);
  for (int i = 0; i < 6; ++i) {
    avifile::Frame f;
    ASSERT_TRUE(r->ReadFrame(static_cast<uint32_t>(i), &f));
    std::vector<uint8_t> rgb;
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) {
        const uint8_t* row = f.pixels.data() + static_cast<size_t>(f.height - 1 - y) * f.pitch;
        const uint8_t* bgr = f.bits == 8 ? f.palette + row[x] * 4 : row + x * 3;
        rgb.insert(rgb.end(), {bgr[2], bgr[1], bgr[0]});
      }
    EXPECT_EQ(rgb, ExpectedRgb(in, i)) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OGFileAvi,
                         ::testing::Values(AviCase{"raw8", false, 0, 0},
                                           AviCase{"rle8", false, OGFILE_AVI_RLE8, 1},
                                           AviCase{"raw24", true, 0, 0}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(OGFileErrors, AFailedSaveSetsTheErrorFlagAndLaterFramesAreTried) {
  vidzoer_test::TempDir dir;
  std::filesystem::create_directories(dir.File("sub"));
  Input in = MakeInput(8, 4, 3, false, 1);
  OGFile* og = Create(dir.File("sub/out.bmp"), in);
  ASSERT_NE(og, nullptr);
  EXPECT_EQ(OGFilePut(og, in.frames[0].data(), in.palettes[0].data()), 1);
  std::filesystem::remove_all(dir.File("sub"));
  EXPECT_EQ(OGFilePut(og, in.frames[1].data(), in.palettes[1].data()), 0);
  EXPECT_EQ(og->error, 1);
  std::filesystem::create_directories(dir.File("sub"));
  EXPECT_EQ(OGFilePut(og, in.frames[2].data(), in.palettes[2].data()), 1);
  OGFileClose(og);
  EXPECT_TRUE(std::filesystem::exists(dir.File("sub/out2.bmp")));
}

}  // namespace
