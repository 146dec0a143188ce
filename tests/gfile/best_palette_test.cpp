// The best-palette reducer against a plain model written here step by step
// from the algorithm (every candidate split evaluated cell by cell), and its
// edge cases.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfile/gfile_files.h"
#include "qelutil/qelutil.h"
#include "support/files.h"
#include "support/temp_dir.h"

using namespace gfile_test;

namespace {

// ---------------------------------------------------------------- model

struct ModelBox {
  size_t begin, end;
  int colour[3];
  uint64_t error;
  size_t split;
  int colour1[3], colour2[3];
  uint64_t error1, error2;
};

int Part(uint32_t cell, int k) {
  return k == 0   ? static_cast<int>(cell >> 12)
         : k == 1 ? static_cast<int>((cell >> 6) & 63)
                  : static_cast<int>(cell & 63);
}

uint64_t Distance(uint32_t cell, const int* colour) {
  const uint64_t w[3] = {299, 587, 114};
  uint64_t d = 0;
  for (int k = 0; k < 3; ++k) {
    const int64_t diff = colour[k] / 4 - Part(cell, k);
    d += w[k] * static_cast<uint64_t>(diff * diff);
  }
  return d;
}

struct Model {
  std::vector<uint32_t> histogram;
  std::vector<uint32_t> cells;

  // Weighted mean colour and error of a set of cells.
  void MeanAndError(const std::vector<uint32_t>& set, int* colour, uint64_t* error) const {
    uint64_t n = 0, sum[3] = {0, 0, 0};
    for (uint32_t c : set) {
      n += histogram[c];
      for (int k = 0; k < 3; ++k) sum[k] += uint64_t{histogram[c]} * Part(c, k) * 4;
    }
    for (int k = 0; k < 3; ++k) colour[k] = static_cast<int>(sum[k] / n);
    *error = 0;
    for (uint32_t c : set) *error += uint64_t{histogram[c]} * Distance(c, colour);
  }

  void Split(ModelBox& b) {
    const size_t size = b.end - b.begin;
    if (size <= 2) {
      const uint32_t first = cells[b.begin], second = cells[b.begin + size - 1];
      for (int k = 0; k < 3; ++k) {
        b.colour1[k] = Part(first, k) * 4 + Part(first, k) / 16;
        b.colour2[k] = Part(second, k) * 4 + Part(second, k) / 16;
      }
      b.error1 = b.error2 = 0;
      b.split = 1;
      return;
    }
    bool have = false;
    uint64_t best = 0;
    int best_n = 0;
    for (int n = 0; n < 512; ++n) {
      const int v = n % 64;
      const int limit[3] = {(n & 64) ? 63 : v, (n & 128) ? 63 : v, (n & 256) ? 63 : v};
      std::vector<uint32_t> one, two;
      for (size_t i = b.begin; i < b.end; ++i) {
        const uint32_t c = cells[i];
        (Part(c, 0) <= limit[0] && Part(c, 1) <= limit[1] && Part(c, 2) <= limit[2] ? one : two).push_back(c);
      }
      if (one.empty() || two.empty()) continue;
      int c1[3], c2[3];
      uint64_t e1, e2;
      MeanAndError(one, c1, &e1);
      MeanAndError(two, c2, &e2);
      if (!have || e1 + e2 < best) {
        have = true;
        best = e1 + e2;
        best_n = n;
        std::memcpy(b.colour1, c1, sizeof c1);
        std::memcpy(b.colour2, c2, sizeof c2);
        b.error1 = e1;
        b.error2 = e2;
      }
    }
    ASSERT_TRUE(have);
    const int v = best_n % 64;
    const int limit[3] = {(best_n & 64) ? 63 : v, (best_n & 128) ? 63 : v, (best_n & 256) ? 63 : v};
    size_t front = b.begin, back = b.end;
    while (front < back) {
      const uint32_t c = cells[front];
      if (Part(c, 0) <= limit[0] && Part(c, 1) <= limit[1] && Part(c, 2) <= limit[2]) {
        ++front;
      } else {
        --back;
        std::swap(cells[front], cells[back]);
      }
    }
    b.split = front - b.begin;
  }

  void Reduce(uint8_t* palette, int f, int c, int a, int b) {
    for (int e = f; e < f + a; ++e)
      histogram[(palette[e * 3] / 4) * 4096 + (palette[e * 3 + 1] / 4) * 64 + palette[e * 3 + 2] / 4] = 0;
    for (int e = f + c - b; e < f + c; ++e)
      histogram[(palette[e * 3] / 4) * 4096 + (palette[e * 3 + 1] / 4) * 64 + palette[e * 3 + 2] / 4] = 0;
    const int k = c - a - b;
    for (uint32_t i = 0; i < 262144; ++i)
      if (histogram[i] != 0) cells.push_back(i);
    if (cells.empty() || k == 0) return;
    std::vector<ModelBox> boxes(1);
    boxes[0].begin = 0;
    boxes[0].end = cells.size();
    MeanAndError(cells, boxes[0].colour, &boxes[0].error);
    if (k > 1) {
      for (int s = 0;; ++s) {
        Split(boxes[static_cast<size_t>(s)]);
        int t = 0;
        int64_t gain = INT64_MIN;
        for (int i = 0; i <= s; ++i) {
          const ModelBox& x = boxes[static_cast<size_t>(i)];
          const int64_t g =
              static_cast<int64_t>(x.error) - static_cast<int64_t>(x.error1) - static_cast<int64_t>(x.error2);
          if (g > gain) {
            gain = g;
            t = i;
          }
        }
        if (gain <= 0) break;  // no split makes the error smaller
        ModelBox& chosen = boxes[static_cast<size_t>(t)];
        ModelBox second{};
        second.begin = chosen.begin + chosen.split;
        second.end = chosen.end;
        std::memcpy(second.colour, chosen.colour2, sizeof second.colour);
        second.error = chosen.error2;
        chosen.end = chosen.begin + chosen.split;
        std::memcpy(chosen.colour, chosen.colour1, sizeof chosen.colour);
        chosen.error = chosen.error1;
        boxes.push_back(second);
        if (s + 2 == k) break;
        Split(boxes[static_cast<size_t>(t)]);
      }
    }
    // Placement.
    const int n = static_cast<int>(boxes.size()), slot0 = f + a;
    std::vector<bool> placed(static_cast<size_t>(n)), filled(static_cast<size_t>(k));
    for (int round = 0; round < n; ++round) {
      int bi = -1, bj = -1;
      uint64_t best = 0;
      bool stop = false;
      for (int i = 0; i < n && !stop; ++i) {
        if (placed[static_cast<size_t>(i)]) continue;
        for (int j = 0; j < k; ++j) {
          if (filled[static_cast<size_t>(j)]) continue;
          uint64_t d = 0;
          const uint64_t w[3] = {299, 587, 114};
          for (int q = 0; q < 3; ++q) {
            const int64_t diff = boxes[static_cast<size_t>(i)].colour[q] - palette[(slot0 + j) * 3 + q];
            d += w[q] * static_cast<uint64_t>(diff * diff);
          }
          const uint64_t cost = 2 * d + (i != j ? 1 : 0);
          if (bi < 0 || cost < best) {
            bi = i;
            bj = j;
            best = cost;
          }
          if (cost == 0) {
            stop = true;
            break;
          }
        }
      }
      for (int q = 0; q < 3; ++q)
        palette[(slot0 + bj) * 3 + q] = static_cast<uint8_t>(boxes[static_cast<size_t>(bi)].colour[q]);
      placed[static_cast<size_t>(bi)] = true;
      filled[static_cast<size_t>(bj)] = true;
    }
  }
};

const uint8_t kSystem[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                                {128, 128, 128}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// The model's palette for true-colour frames (R, G, B per pixel).
Palette ModelPalette(const std::vector<Pixels>& frames, Palette previous, int f, int c, int system) {
  Model m;
  m.histogram.assign(262144, 0);
  for (const Pixels& rgb : frames)
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
      ++m.histogram[(rgb[i] / 4) * 4096 + (rgb[i + 1] / 4) * 64 + rgb[i + 2] / 4];
  int a = 0, b = 0;
  if (system != 2) {
    a = f < 10 ? 10 - f : 0;
    b = f + c > 246 ? f + c - 246 : 0;
    for (int i = 0; i < 20; ++i) std::memcpy(previous.data() + (i < 10 ? i : 236 + i) * 3, kSystem[i], 3);
  }
  m.Reduce(previous.data(), f, c, a, b);
  return previous;
}

struct Closer {
  void operator()(GFile* g) const { GFileClose(g); }
};
using GFilePtr = std::unique_ptr<GFile, Closer>;

GFilePtr OpenForPalette(const std::string& name, int f, int c, int system, int mode = 1, int per_palette = 0,
                        QELMessageFunc message = nullptr) {
  return GFilePtr(GFileOpen(name.c_str(), 0, 0, 0, 0, 0, 0, 0, mode, per_palette, f, c, system, 2, nullptr,
                            nullptr, message));
}

// Pictures with structure: gradients and blobs of a few hues with noise.
Pixels Picture(int w, int h, uint32_t seed) {
  Pixels noise = RandomBytes(static_cast<size_t>(w) * h * 3, seed);
  Pixels rgb(noise.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = (static_cast<size_t>(y) * w + x) * 3;
      rgb[i] = static_cast<uint8_t>((x * 255 / w + noise[i] / 16) & 255);
      rgb[i + 1] = static_cast<uint8_t>((y * 255 / h) ^ (seed * 37));
      rgb[i + 2] = static_cast<uint8_t>(((x + y) * 4 + noise[i + 2] / 32) & 255);
    }
  return rgb;
}

class BestPaletteTest : public ::testing::Test {
 protected:
  vidzoer_test::TempDir dir_;
};

TEST_F(BestPaletteTest, BitIdenticalToTheModel) {
  struct Case {
    uint32_t seed;
    int w, h, frames;
    int f, c, system;
    bool random_pixels;
  } cases[] = {
      {1, 48, 32, 1, 0, 256, 0, true},  {2, 40, 30, 2, 0, 256, 0, false}, {3, 32, 32, 3, 16, 200, 0, false},
      {4, 32, 16, 1, 0, 256, 2, false}, {5, 20, 20, 2, 5, 20, 0, true},   {6, 24, 24, 1, 240, 16, 1, false},
      {7, 64, 8, 1, 100, 3, 2, true},   {8, 16, 16, 1, 0, 1, 2, false},   {9, 30, 20, 4, 3, 250, 0, false},
  };
  for (const Case& c : cases) {
    std::vector<Pixels> frames;
    for (int i = 0; i < c.frames; ++i) {
      const std::string name = dir_.File("m" + std::to_string(c.seed) + "_" + std::to_string(i) + ".bmp");
      frames.push_back(c.random_pixels ? RandomBytes(static_cast<size_t>(c.w) * c.h * 3, c.seed * 10 + i)
                                       : Picture(c.w, c.h, c.seed * 10 + i));
      WriteImage24(name, c.w, c.h, frames.back());
    }
    const std::string seq =
        dir_.File("m" + std::to_string(c.seed) + "_?.bmp*0-" + std::to_string(c.frames - 1));
    GFilePtr g = OpenForPalette(seq, c.f, c.c, c.system);
    ASSERT_NE(g, nullptr);
    const Palette previous = RandomPalette(c.seed + 100);
    Palette ours = previous;
    EXPECT_EQ(GFileBestPalette(g.get(), ours.data()), 65536u);
    EXPECT_EQ(ours, ModelPalette(frames, previous, c.f, c.c, c.system)) << "case " << c.seed;
  }
}

TEST_F(BestPaletteTest, BitIdenticalOnARealPicture) {
  if (!vidzoer_test::HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string ppm = dir_.File("rose.ppm");
  ASSERT_TRUE(vidzoer_test::RunShell("convert rose: -resize 96x64! " + ppm, dir_.File("err")));
  ASSERT_TRUE(vidzoer_test::RunShell("convert " + ppm + " " + dir_.File("rose.bmp"), dir_.File("err")));
  const Pixels file = vidzoer_test::ReadBytes(ppm);
  const Pixels rgb(file.end() - 96 * 64 * 3, file.end());
  GFilePtr g = OpenForPalette(dir_.File("rose.bmp"), 0, 256, 0);
  ASSERT_NE(g, nullptr);
  Palette ours = GreyPalette();
  EXPECT_EQ(GFileBestPalette(g.get(), ours.data()), 65536u);
  EXPECT_EQ(ours, ModelPalette({rgb}, GreyPalette(), 0, 256, 0));
}

TEST_F(BestPaletteTest, SingleColourTakesTheMostSimilarSlot) {
  WriteImage24(dir_.File("one.bmp"), 8, 8, [] {
    Pixels p;
    for (int i = 0; i < 64; ++i) p.insert(p.end(), {101, 150, 203});
    return p;
  }());
  GFilePtr g = OpenForPalette(dir_.File("one.bmp"), 0, 256, 2);
  Palette previous = GreyPalette();
  Palette ours = previous;
  EXPECT_EQ(GFileBestPalette(g.get(), ours.data()), 65536u);
  int changed = 0;
  for (int i = 0; i < 256; ++i) {
    if (std::memcmp(ours.data() + i * 3, previous.data() + i * 3, 3) == 0) continue;
    ++changed;
    EXPECT_EQ(i, 140);  // the grey nearest by the 299/587/114 weights
    EXPECT_EQ(ours[i * 3], 100);
    EXPECT_EQ(ours[i * 3 + 1], 148);
    EXPECT_EQ(ours[i * 3 + 2], 200);
  }
  EXPECT_EQ(changed, 1);
}

TEST_F(BestPaletteTest, SystemColoursAndReserves) {
  const Pixels pic = Picture(64, 64, 42);
  WriteImage24(dir_.File("p.bmp"), 64, 64, pic);
  struct Case {
    int f, c, system;
    int first_computed, last_computed;
  } cases[] = {{0, 256, 0, 10, 245}, {16, 200, 0, 16, 215}, {0, 256, 2, 0, 255}};
  for (const Case& c : cases) {
    GFilePtr g = OpenForPalette(dir_.File("p.bmp"), c.f, c.c, c.system);
    Palette marker(768, 7);
    Palette ours = marker;
    EXPECT_EQ(GFileBestPalette(g.get(), ours.data()), 65536u);
    for (int i = 0; i < 256; ++i) {
      const bool system = c.system != 2 && (i < 10 || i >= 246);
      const uint8_t* e = ours.data() + i * 3;
      if (system) {
        EXPECT_EQ(std::memcmp(e, kSystem[i < 10 ? i : i - 236], 3), 0) << i;
      } else if (i < c.first_computed || i > c.last_computed) {
        EXPECT_EQ(std::memcmp(e, marker.data(), 3), 0) << "entry " << i << " left alone";
      }
    }
    int computed = 0;
    for (int i = c.first_computed; i <= c.last_computed; ++i)
      computed += std::memcmp(ours.data() + i * 3, marker.data(), 3) != 0;
    EXPECT_EQ(computed, c.last_computed - c.first_computed + 1) << c.f << "/" << c.c;
  }
}

TEST_F(BestPaletteTest, PaletteModeTwoStartsAtAPaletteChange) {
  std::vector<Pixels> frames;
  std::vector<Palette> palettes;
  const Palette a = RandomPalette(1), b = RandomPalette(2);
  for (int i = 0; i < 40; ++i) {
    frames.push_back(RandomBytes(16 * 8, static_cast<uint32_t>(i)));
    palettes.push_back(i < 29 ? a : b);  // frame 30 (1-based) brings the new palette
  }
  WriteFlic(dir_.File("p.flc"), 16, 8, frames, palettes);
  GFilePtr g = OpenForPalette(dir_.File("p.flc"), 0, 256, 2, 2);
  Palette pal(768, 0);
  EXPECT_EQ(GFileBestPalette(g.get(), pal.data()), 29u);
  EXPECT_EQ(GFileBestPalette(g.get(), pal.data()), 65536u);
  // Delivered: a palette for frames 1-29, a new one from frame 30.
  GFilePtr d = OpenForPalette(dir_.File("p.flc"), 0, 256, 2, 2);
  for (int i = 1; i <= 40; ++i) {
    d->palette_computed = 0;
    ASSERT_EQ(GFileGet(d.get()), 1);
    EXPECT_EQ(d->palette_computed, i == 1 || i == 30 ? 1 : 0) << i;
  }
  // Frames per palette: a new palette every 16 frames.
  GFilePtr u = OpenForPalette(dir_.File("p.flc"), 0, 256, 2, 1, 16);
  EXPECT_EQ(GFileBestPalette(u.get(), pal.data()), 16u);
  EXPECT_EQ(GFileBestPalette(u.get(), pal.data()), 16u);
  EXPECT_EQ(GFileBestPalette(u.get(), pal.data()), 65536u);
}

TEST_F(BestPaletteTest, AnUnchangedPaletteFedBackKeepsEverySlot) {
  WriteImage24(dir_.File("p.bmp"), 40, 40, Picture(40, 40, 9));
  GFilePtr g = OpenForPalette(dir_.File("p.bmp"), 0, 256, 0);
  Palette first = RandomPalette(3);
  EXPECT_EQ(GFileBestPalette(g.get(), first.data()), 65536u);
  GFileReset(g.get());
  Palette again = first;
  EXPECT_EQ(GFileBestPalette(g.get(), again.data()), 65536u);
  EXPECT_EQ(again, first);
}

TEST_F(BestPaletteTest, CancellingReturnsZero) {
  WriteImage24(dir_.File("p.bmp"), 16, 16, Picture(16, 16, 1));
  Messages::Clear();
  Messages::cancel_after = 0;
  GFilePtr g = OpenForPalette(dir_.File("p.bmp"), 0, 256, 0, 1, 0, Messages::Record);
  Palette pal(768, 0);
  EXPECT_EQ(GFileBestPalette(g.get(), pal.data()), 0u);
  // Cancelled during the reduction: the colours made so far are kept.
  Messages::Clear();
  Messages::cancel_after = 3;
  GFilePtr r = OpenForPalette(dir_.File("p.bmp"), 0, 256, 2, 1, 0, Messages::Record);
  Palette part(768, 0);
  EXPECT_EQ(GFileBestPalette(r.get(), part.data()), 65536u);
  EXPECT_TRUE(Messages::Has("Reducing the number of colors (1%)...", 1));
  int nonblack = 0;
  for (int i = 0; i < 256; ++i) nonblack += part[i * 3] + part[i * 3 + 1] + part[i * 3 + 2] != 0;
  EXPECT_GE(nonblack, 1);
  EXPECT_LE(nonblack, 3);
}

}  // namespace
