#include "gfile/gfile_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/imagelib/imagelib.h"
#include "support/files.h"

namespace gfile_test {

Palette GreyPalette() {
  Palette p(768);
  for (int i = 0; i < 256; ++i) p[i * 3] = p[i * 3 + 1] = p[i * 3 + 2] = static_cast<uint8_t>(i);
  return p;
}

Pixels RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Pixels b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng() >> 24);
  return b;
}

Palette RandomPalette(uint32_t seed) {
  return RandomBytes(768, seed);
}

void WriteFlic(const std::string& name, int width, int height, const std::vector<Pixels>& frames,
               const std::vector<Palette>& palettes, int32_t ms) {
  QELOFlic* f = QELOFlicCreate(name.c_str(), width, height, ms);
  ASSERT_NE(f, nullptr) << name;
  for (size_t i = 0; i < frames.size(); ++i)
    ASSERT_EQ(QELOFlicPutNext(f, frames[i].data(), palettes[i].data()), 1);
  ASSERT_GT(QELOFlicClose(f), 0u);
}

namespace {

int Save(const std::string& name, const imagelib::Image& image) {
  const std::string ext = name.substr(name.rfind('.') + 1);
  if (ext == "bmp") return imagelib::savebmp(name.c_str(), &image, 0);
  if (ext == "png") return imagelib::savepng(name.c_str(), &image);
  if (ext == "gif") return imagelib::savegif(name.c_str(), &image);
  if (ext == "pcx") return imagelib::savepcx(name.c_str(), &image);
  if (ext == "tif") return imagelib::savetif(name.c_str(), &image, 1);
  if (ext == "tga") return imagelib::savetga(name.c_str(), &image, 0);
  if (ext == "jpg") return imagelib::savejpg(name.c_str(), &image, 100);
  return -100;
}

}  // namespace

void WriteImage8(const std::string& name, int width, int height, const Pixels& pixels,
                 const Palette& palette) {
  imagelib::Image image;
  ASSERT_EQ(imagelib::allocimage(&image, width, height, 8), 0);
  for (int y = 0; y < height; ++y)
    std::memcpy(image.Row(y), pixels.data() + y * width, static_cast<size_t>(width));
  for (int i = 0; i < 256; ++i) {
    image.palette[i * 4] = palette[i * 3 + 2];
    image.palette[i * 4 + 1] = palette[i * 3 + 1];
    image.palette[i * 4 + 2] = palette[i * 3];
  }
  image.colors = 256;
  EXPECT_EQ(Save(name, image), 0) << name;
  imagelib::freeimage(&image);
}

void WriteImage24(const std::string& name, int width, int height, const Pixels& rgb) {
  imagelib::Image image;
  ASSERT_EQ(imagelib::allocimage(&image, width, height, 24), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k)
        image.Row(y)[x * 3 + k] = rgb[(static_cast<size_t>(y) * width + x) * 3 + 2 - k];
  EXPECT_EQ(Save(name, image), 0) << name;
  imagelib::freeimage(&image);
}

void WriteRaw(const std::string& name, int width, int height, int32_t time, const std::vector<Pixels>& frames,
              const std::vector<Palette>& palettes) {
  std::vector<uint8_t> b;
  auto put32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  b.insert(b.end(), {'R', 'A', 'W', 'B'});
  put32(static_cast<uint32_t>(frames.size()));
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  put32(static_cast<uint32_t>(time));
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i < palettes.size() && !palettes[i].empty()) {
      put32(0);
      b.insert(b.end(), palettes[i].begin(), palettes[i].end());
    }
    put32(1);
    b.insert(b.end(), frames[i].begin(), frames[i].end());
  }
  vidzoer_test::WriteBytes(name, b);
}

void WriteText(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

int32_t Messages::cancel_after = -1;

std::vector<std::pair<std::string, int32_t>>& Messages::List() {
  static std::vector<std::pair<std::string, int32_t>> list;
  return list;
}

uint8_t Messages::Record(const char* text, int32_t kind) {
  List().emplace_back(text != nullptr ? text : "", kind);
  if (kind == 2 || cancel_after < 0) return 0;
  return cancel_after-- == 0 ? 1 : 0;
}

void Messages::Clear() {
  List().clear();
  cancel_after = -1;
}

bool Messages::Has(const std::string& text, int32_t kind) {
  for (const auto& m : List())
    if (m.first == text && m.second == kind) return true;
  return false;
}

Pixels DeliveredRgb(const GFile* g) {
  Pixels out;
  for (int y = 0; y < g->height; ++y)
    for (int x = 0; x < g->width; ++x) {
      if (g->true_colour != 0) {
        const uint8_t* p = Row(g, y) + x * 4;
        out.insert(out.end(), {p[2], p[1], p[0]});
      } else {
        const uint8_t* p = g->palette + Row(g, y)[x] * 3;
        out.insert(out.end(), {p[0], p[1], p[2]});
      }
    }
  return out;
}

Pixels Gradient(int width, int height) {
  Pixels rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rgb.insert(rgb.end(),
                 {static_cast<uint8_t>(x * 255 / (width - 1)), static_cast<uint8_t>(y * 255 / (height - 1)),
                  static_cast<uint8_t>(255 - (x + y) * 255 / (width + height - 2))});
  return rgb;
}

double BlockError(const Pixels& a, const Pixels& b, int width, int height, int block, int margin) {
  double total = 0;
  int squares = 0;
  for (int by = margin * block; by + block <= height - margin * block; by += block)
    for (int bx = margin * block; bx + block <= width - margin * block; bx += block) {
      for (int k = 0; k < 3; ++k) {
        long sa = 0, sb = 0;
        for (int y = by; y < by + block; ++y)
          for (int x = bx; x < bx + block; ++x) {
            const size_t i = (static_cast<size_t>(y) * width + x) * 3 + k;
            sa += a[i];
            sb += b[i];
          }
        total += std::abs(static_cast<double>(sa - sb)) / (block * block);
      }
      ++squares;
    }
  return squares == 0 ? 0 : total / (squares * 3);
}

}  // namespace gfile_test
