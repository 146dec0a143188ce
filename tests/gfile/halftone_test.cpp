// Halftoning: true-colour frames mapped to a palette by error diffusion
// keep the look of the picture from a distance, use only the allowed
// entries, and give the same pixels on every run; without it every pixel
// takes the nearest colour.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfile/gfile_files.h"
#include "qelutil/qelutil.h"
#include "support/temp_dir.h"

using namespace gfile_test;

namespace {

struct Closer {
  void operator()(GFile* g) const { GFileClose(g); }
};
using GFilePtr = std::unique_ptr<GFile, Closer>;

constexpr int kWidth = 128, kHeight = 64;

struct Mapping {
  int32_t palette_mode, first_entry, entry_count, system_colours;
  const char* palette_file;  // in the test folder, or null
};

GFilePtr Open(const std::string& name, int32_t flags, const Mapping& m, const std::string& palette = "") {
  return GFilePtr(GFileOpen(name.c_str(), flags, 0, 0, 0, 0, 0, 0, m.palette_mode, 0, m.first_entry,
                            m.entry_count, m.system_colours, 0, palette.empty() ? nullptr : palette.c_str(),
                            nullptr, Messages::Record));
}

// All delivered frames' pixel indices.
std::vector<Pixels> Indices(GFile* g) {
  std::vector<Pixels> out;
  while (g->done == 0) {
    if (GFileGet(g) != 1) return {};
    Pixels p;
    for (int y = 0; y < g->height; ++y) p.insert(p.end(), Row(g, y), Row(g, y) + g->width);
    out.push_back(p);
  }
  return out;
}

// An 8-bit picture whose palette holds the given colours from entry 0.
void PaletteFile(const std::string& name, const std::vector<std::vector<uint8_t>>& colours) {
  Palette pal(768, 0);
  for (size_t i = 0; i < colours.size(); ++i) std::memcpy(pal.data() + i * 3, colours[i].data(), 3);
  WriteImage8(name, 2, 2, Pixels(4, 0), pal);
}

class HalftoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Messages::Clear();
    PaletteFile(dir_.File("corners.bmp"), {{0, 0, 0},
                                           {255, 0, 0},
                                           {0, 255, 0},
                                           {0, 0, 255},
                                           {255, 255, 0},
                                           {255, 0, 255},
                                           {0, 255, 255},
                                           {255, 255, 255}});
    PaletteFile(dir_.File("bw.bmp"), {{0, 0, 0}, {255, 255, 255}});
    PaletteFile(dir_.File("greys.bmp"), {{64, 64, 64}, {192, 192, 192}});
  }
  std::string Palette(const Mapping& m) { return m.palette_file != nullptr ? dir_.File(m.palette_file) : ""; }
  vidzoer_test::TempDir dir_;
};

TEST_F(HalftoneTest, GradientsKeepTheirLookWithFewColours) {
  struct Case {
    const char* what;
    Mapping m;
  };
  const Case cases[] = {
      {"8 computed colours", {1, 0, 8, 2, nullptr}},
      {"12 computed colours from entry 100, system colours outside", {0, 100, 12, 0, nullptr}},
      {"16 entries, 10 of them system colours", {0, 0, 16, 0, nullptr}},
      {"20 entries from 236, the last 10 of them system colours", {0, 236, 20, 0, nullptr}},
      {"the 8 corners of the colour cube from a palette file", {0, 0, 8, 2, "corners.bmp"}},
  };
  const Pixels source = Gradient(kWidth, kHeight);
  WriteImage24(dir_.File("g.png"), kWidth, kHeight, source);
  for (const Case& c : cases) {
    GFilePtr near = Open(dir_.File("g.png"), 0, c.m, Palette(c.m));
    GFilePtr half = Open(dir_.File("g.png"), GFILE_HALFTONE, c.m, Palette(c.m));
    ASSERT_NE(near, nullptr) << c.what;
    ASSERT_NE(half, nullptr) << c.what;
    ASSERT_EQ(GFileGet(near.get()), 1) << c.what;
    ASSERT_EQ(GFileGet(half.get()), 1) << c.what;
    // The same palette either way; the halftoned frame uses only the
    // allowed entries.
    EXPECT_EQ(std::memcmp(near->palette, half->palette, 768), 0) << c.what;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const int i = Row(half.get(), y)[x];
        ASSERT_GE(i, c.m.first_entry) << c.what;
        ASSERT_LT(i, c.m.first_entry + c.m.entry_count) << c.what;
      }
    // Computed colours are averages of boxes of colours, so the picture's
    // outermost colours lie beyond any mix of them: the two outer rings of
    // 8 x 8 squares are left out of the comparison.
    const double near_error = BlockError(source, DeliveredRgb(near.get()), kWidth, kHeight, 8, 2);
    const double half_error = BlockError(source, DeliveredRgb(half.get()), kWidth, kHeight, 8, 2);
    EXPECT_LT(half_error, 5.0) << c.what << ": nearest " << near_error;
    EXPECT_GT(near_error, 3 * half_error) << c.what << ": halftoned " << half_error;
  }
}

TEST_F(HalftoneTest, FlatColoursDitherToTheirShare) {
  // Black and white only: a flat grey comes out as white in the share of
  // its brightness; the nearest colour gives one of the two everywhere.
  const Mapping bw{0, 0, 2, 2, "bw.bmp"};
  for (int grey : {32, 64, 128, 191, 224}) {
    WriteImage24(dir_.File("flat.bmp"), 64, 64, Pixels(64 * 64 * 3, static_cast<uint8_t>(grey)));
    GFilePtr g = Open(dir_.File("flat.bmp"), GFILE_HALFTONE, bw, Palette(bw));
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(GFileGet(g.get()), 1);
    int white = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) white += Row(g.get(), y)[x];
    EXPECT_NEAR(white / 4096.0, grey / 255.0, 0.01) << grey;
    GFilePtr n = Open(dir_.File("flat.bmp"), 0, bw, Palette(bw));
    ASSERT_EQ(GFileGet(n.get()), 1);
    EXPECT_EQ(Row(n.get(), 10)[10], grey < 128 ? 0 : 1) << grey;
  }
}

TEST_F(HalftoneTest, ErrorsAreClampedAtTheEdgesOfTheColourRange) {
  // Only 64 and 192 grey: white misses 192 by 63 at every pixel. That miss
  // must not pile up and spill into the black half, which is 64 throughout.
  const Mapping greys{0, 0, 2, 2, "greys.bmp"};
  Pixels rgb(64 * 16 * 3, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      for (int k = 0; k < 3; ++k) rgb[(static_cast<size_t>(y) * 64 + x) * 3 + k] = 255;
  WriteImage24(dir_.File("edge.bmp"), 64, 16, rgb);
  GFilePtr g = Open(dir_.File("edge.bmp"), GFILE_HALFTONE, greys, Palette(greys));
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(GFileGet(g.get()), 1);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(Row(g.get(), y)[x], x < 32 ? 1 : 0) << x << "," << y;
}

TEST_F(HalftoneTest, SameResultOnEveryRun) {
  // Ten frames (gathered as 24-bit pixels), one palette: two sources give
  // the same pixels, and so does a rewind; equal frames get equal pixels.
  const Pixels source = Gradient(kWidth, kHeight);
  for (int i = 0; i < 10; ++i)
    WriteImage24(dir_.File("s0" + std::to_string(i) + ".png"), kWidth, kHeight, source);
  const Mapping m{0, 0, 16, 2, nullptr};
  const std::string name = dir_.File("s??.png*0-9");
  GFilePtr a = Open(name, GFILE_HALFTONE, m);
  GFilePtr b = Open(name, GFILE_HALFTONE, m);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->source_bits, 24);
  const std::vector<Pixels> first = Indices(a.get());
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(Indices(b.get()), first);
  for (const Pixels& f : first) EXPECT_EQ(f, first[0]);
  GFileReset(a.get());
  EXPECT_EQ(Indices(a.get()), first);
  GFilePtr near = Open(name, 0, m);
  EXPECT_NE(Indices(near.get()), first);
}

TEST_F(HalftoneTest, OnlyTrueColourFramesMappedToAPaletteAreHalftoned) {
  // 8-bit frames go through the remap table and true-colour output takes
  // no palette: the flag changes neither.
  struct Case {
    const char* what;
    std::string file;
    int32_t flags;
    Mapping m;
  };
  WriteImage24(dir_.File("t.bmp"), 32, 16, Gradient(32, 16));
  WriteImage8(dir_.File("p.bmp"), 32, 16, RandomBytes(32 * 16, 7), RandomPalette(9));
  const Case cases[] = {
      {"8-bit source remapped to 64 entries", dir_.File("p.bmp"), 0, {0, 16, 64, 0, nullptr}},
      {"8-bit source, computed palette", dir_.File("p.bmp"), 0, {1, 0, 8, 2, nullptr}},
      {"true-colour output", dir_.File("t.bmp"), GFILE_TRUE_COLOUR, {0, 0, 256, 0, nullptr}},
  };
  for (const Case& c : cases) {
    GFilePtr plain = Open(c.file, c.flags, c.m);
    GFilePtr half = Open(c.file, c.flags | GFILE_HALFTONE, c.m);
    ASSERT_NE(plain, nullptr) << c.what;
    ASSERT_NE(half, nullptr) << c.what;
    ASSERT_EQ(GFileGet(plain.get()), 1) << c.what;
    ASSERT_EQ(GFileGet(half.get()), 1) << c.what;
    EXPECT_EQ(DeliveredRgb(plain.get()), DeliveredRgb(half.get())) << c.what;
    EXPECT_EQ(std::memcmp(plain->pixels, half->pixels, static_cast<size_t>(plain->pitch) * plain->height), 0)
        << c.what;
  }
}

}  // namespace
