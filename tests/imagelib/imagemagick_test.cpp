// The image library against ImageMagick, both ways: pictures that `convert`
// writes in each kind and bit depth load with the pixels ImageMagick itself
// reads from them, and pictures we save read back in ImageMagick with the
// pixels we saved. JPEG is compared with a tolerance.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imagelib/image_helpers.h"
#include "platform/imagelib/imagelib.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using imagelib::Format;
using imagelib::Image;
using imagelib::ImageInfo;

int Info(Format f, const std::string& name, ImageInfo* info) {
  switch (f) {
    case Format::kBmp:
      return imagelib::bmpinfo(name.c_str(), info);
    case Format::kGif:
      return imagelib::gifinfo(name.c_str(), info);
    case Format::kTiff:
      return imagelib::tiffinfo(name.c_str(), info);
    case Format::kJpeg:
      return imagelib::jpeginfo(name.c_str(), info);
    case Format::kTga:
      return imagelib::tgainfo(name.c_str(), info);
    case Format::kPcx:
      return imagelib::pcxinfo(name.c_str(), info);
    case Format::kPng:
      return imagelib::pnginfo(name.c_str(), info);
  }
  return -1;
}

int Load(Format f, const std::string& name, Image* image) {
  switch (f) {
    case Format::kBmp:
      return imagelib::loadbmp(name.c_str(), image);
    case Format::kGif:
      return imagelib::loadgif(name.c_str(), image);
    case Format::kTiff:
      return imagelib::loadtif(name.c_str(), image);
    case Format::kJpeg:
      return imagelib::loadjpg(name.c_str(), image);
    case Format::kTga:
      return imagelib::loadtga(name.c_str(), image);
    case Format::kPcx:
      return imagelib::loadpcx(name.c_str(), image);
    case Format::kPng:
      return imagelib::loadpng(name.c_str(), image);
  }
  return -1;
}

struct InCase {
  const char* what;
  Format format;
  const char* file;     // name of the file ImageMagick writes
  const char* options;  // convert options before the output name
  int colours;          // colours of the input picture (0: smooth true colour)
  int bits;             // what the info call reports
  int tolerance;
};

class FromImageMagick : public ::testing::TestWithParam<InCase> {};

TEST_P(FromImageMagick, LoadsTheSamePixels) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("convert"))
      << "ImageMagick is a test dependency (scripts/install-deps.sh)";
  const InCase c = GetParam();
  vidzoer_test::TempDir dir;
  const int w = 37, h = 23;
  std::vector<uint8_t> rgb =
      c.colours > 0 ? image_test::MakeIndexed(w, h, c.colours, 7).Rgb() : image_test::MakeSmoothRgb(w, h, 7);
  vidzoer_test::WriteBytes(dir.File("in.rgb"), rgb);
  const std::string out = dir.File(c.file);
  ASSERT_TRUE(vidzoer_test::RunShell("convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                                         " -depth 8 rgb:" + vidzoer_test::Quote(dir.File("in.rgb")) + " " +
                                         c.options + (std::string(c.options).ends_with(":") ? "" : " ") + out,
                                     dir.File("err.txt")))
      << [&] {
           auto err = vidzoer_test::ReadBytes(dir.File("err.txt"));
           return std::string(err.begin(), err.end());
         }();
  std::vector<uint8_t> reference = image_test::ConvertToRgb(out, dir.path().string());
  ASSERT_EQ(reference.size(), rgb.size());

  ImageInfo info;
  ASSERT_EQ(Info(c.format, out, &info), 0);
  EXPECT_EQ(info.width, w);
  EXPECT_EQ(info.height, h);
  EXPECT_EQ(info.bits, c.bits);
  // As the graphics input does it: up to 8 bits into an 8-bit image, else 24.
  Image image;
  ASSERT_EQ(imagelib::allocimage(&image, info.width, info.height, info.bits <= 8 ? 8 : 24), 0);
  ASSERT_EQ(Load(c.format, out, &image), 0);
  EXPECT_EQ(image.pitch % 4, 0u);
  EXPECT_LE(image_test::MaxDifference(image_test::ImageRgb(image), reference), c.tolerance);
  imagelib::freeimage(&image);
  // Any picture also loads into a 24-bit image, one pixel wider than it.
  ASSERT_EQ(imagelib::allocimage(&image, info.width + 1, info.height, 24), 0);
  ASSERT_EQ(Load(c.format, out, &image), 0);
  auto wide = image_test::ImageRgb(image);
  std::vector<uint8_t> cut;
  for (int y = 0; y < h; ++y)
    cut.insert(cut.end(), wide.begin() + y * (w + 1) * 3, wide.begin() + (y * (w + 1) + w) * 3);
  EXPECT_LE(image_test::MaxDifference(cut, reference), c.tolerance);
  imagelib::freeimage(&image);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FromImageMagick,
    ::testing::Values(
        InCase{"bmp1", Format::kBmp, "a.bmp", "-type Palette -colors 2 BMP3:", 2, 1, 0},
        InCase{"bmp4", Format::kBmp, "a.bmp", "-type Palette BMP3:", 16, 4, 0},
        InCase{"bmp8", Format::kBmp, "a.bmp", "-type Palette BMP3:", 200, 8, 0},
        InCase{"bmp8_rle", Format::kBmp, "a.bmp", "-type Palette -compress RLE BMP3:", 200, 8, 0},
        InCase{"bmp16", Format::kBmp, "a.bmp", "-define bmp:subtype=RGB555 BMP:", 0, 16, 0},
        InCase{"bmp24", Format::kBmp, "a.bmp", "-type TrueColor BMP3:", 0, 24, 0},
        InCase{"bmp32", Format::kBmp, "a.bmp", "-alpha set -type TrueColorAlpha BMP:", 0, 32, 0},
        InCase{"tga8", Format::kTga, "a.tga", "-type Palette -compress None", 200, 8, 0},
        InCase{"tga8_rle", Format::kTga, "a.tga", "-type Palette -compress RLE", 200, 8, 0},
        InCase{"tga_grey", Format::kTga, "a.tga", "-type Grayscale -compress None", 0, 8, 0},
        InCase{"tga24", Format::kTga, "a.tga", "-type TrueColor -compress None", 0, 24, 0},
        InCase{"tga24_rle", Format::kTga, "a.tga", "-type TrueColor -compress RLE", 0, 24, 0},
        InCase{"tga32", Format::kTga, "a.tga", "-alpha set -type TrueColorAlpha -compress None", 0, 32, 0},
        InCase{"pcx8", Format::kPcx, "a.pcx", "-type Palette", 200, 8, 0},
        InCase{"pcx24", Format::kPcx, "a.pcx", "-type TrueColor", 0, 24, 0},
        InCase{"png8", Format::kPng, "a.png", "PNG8:", 200, 8, 0},
        InCase{"png2", Format::kPng, "a.png", "-colors 2 -type Palette PNG:", 2, 2, 0},
        InCase{"png_grey", Format::kPng, "a.png", "-type Grayscale PNG:", 0, 8, 0},
        InCase{"png24", Format::kPng, "a.png", "PNG24:", 0, 24, 0},
        InCase{"png32", Format::kPng, "a.png", "PNG32:", 0, 32, 0},
        InCase{"png48", Format::kPng, "a.png", "PNG48:", 0, 24, 1},
        InCase{"gif", Format::kGif, "a.gif", "", 200, 8, 0},
        InCase{"gif_interlaced", Format::kGif, "a.gif", "-interlace GIF", 200, 8, 0},
        InCase{"tiff8", Format::kTiff, "a.tif", "-type Palette", 200, 8, 0},
        InCase{"tiff_grey", Format::kTiff, "a.tif", "-type Grayscale", 0, 8, 0},
        InCase{"tiff24", Format::kTiff, "a.tif", "-type TrueColor", 0, 24, 0},
        InCase{"tiff24_lzw", Format::kTiff, "a.tif", "-type TrueColor -compress LZW", 0, 24, 0},
        InCase{"tiff24_tiled", Format::kTiff, "a.tif", "-type TrueColor -define tiff:tile-geometry=16x16", 0,
               24, 0},
        InCase{"jpeg", Format::kJpeg, "a.jpg", "-quality 90", 0, 24, 3},
        InCase{"jpeg_grey", Format::kJpeg, "a.jpg", "-type Grayscale -quality 90", 0, 8, 3}),
    [](const auto& info) { return std::string(info.param.what); });

struct OutCase {
  const char* what;
  Format format;
  const char* file;
  int bits;
  // Lossy kinds get smooth pictures and a tolerance against what was saved;
  // our loader and ImageMagick's must then still agree within `agree`.
  int tolerance;
  int agree;
};

int Save(Format f, const std::string& name, const Image* image) {
  switch (f) {
    case Format::kBmp:
      return imagelib::savebmp(name.c_str(), image, 0);
    case Format::kGif:
      return imagelib::savegif(name.c_str(), image);
    case Format::kTiff:
      return imagelib::savetif(name.c_str(), image, 1);
    case Format::kJpeg:
      return imagelib::savejpg(name.c_str(), image, 100);
    case Format::kTga:
      return imagelib::savetga(name.c_str(), image, 1);
    case Format::kPcx:
      return imagelib::savepcx(name.c_str(), image);
    case Format::kPng:
      return imagelib::savepng(name.c_str(), image);
  }
  return -1;
}

class ToImageMagick : public ::testing::TestWithParam<OutCase> {};

TEST_P(ToImageMagick, ReadsThePixelsWeSaved) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("convert"))
      << "ImageMagick is a test dependency (scripts/install-deps.sh)";
  const OutCase c = GetParam();
  vidzoer_test::TempDir dir;
  for (int w : {37, 64, 1}) {
    const int h = w == 1 ? 3 : 21;
    const bool lossy = c.tolerance > 0;
    // Three rows cannot hold a smooth ramp: chroma subsampling blurs it.
    if (lossy && w == 1) continue;
    Image image;
    ASSERT_EQ(imagelib::allocimage(&image, w, h, c.bits), 0);
    auto picture = image_test::MakeIndexed(w, h, 256, 3 + w);
    auto smooth = image_test::MakeSmoothRgb(w, h, 3);
    if (lossy) {  // a smooth ramp of colours
      for (int i = 0; i < 256; ++i) {
        picture.palette[i * 3] = static_cast<uint8_t>(i);
        picture.palette[i * 3 + 1] = static_cast<uint8_t>(255 - i);
        picture.palette[i * 3 + 2] = static_cast<uint8_t>(64 + i / 2);
      }
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          picture.indices[static_cast<size_t>(y) * w + x] =
              static_cast<uint8_t>((x * 255 / w + y * 255 / h) / 2);
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        size_t k = static_cast<size_t>(y) * w + x;
        if (c.bits == 8) {
          image.Row(y)[x] = picture.indices[k];
        } else {
          for (int j = 0; j < 3; ++j) image.Row(y)[x * 3 + j] = smooth[k * 3 + 2 - j];
        }
      }
    for (int i = 0; i < 256; ++i)
      for (int j = 0; j < 3; ++j) image.palette[i * 4 + j] = picture.palette[i * 3 + 2 - j];
    const std::string out = dir.File(c.file);
    ASSERT_EQ(Save(c.format, out, &image), 0);
    auto back = image_test::ConvertToRgb(out, dir.path().string());
    EXPECT_LE(image_test::MaxDifference(back, image_test::ImageRgb(image)), c.tolerance) << "width " << w;
    // And our own loader reads it back too.
    ImageInfo info;
    ASSERT_EQ(Info(c.format, out, &info), 0);
    Image again;
    ASSERT_EQ(imagelib::allocimage(&again, info.width, info.height, info.bits <= 8 ? 8 : 24), 0);
    ASSERT_EQ(Load(c.format, out, &again), 0);
    EXPECT_LE(image_test::MaxDifference(image_test::ImageRgb(again), back), c.agree);
    imagelib::freeimage(&again);
    imagelib::freeimage(&image);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ToImageMagick,
                         ::testing::Values(OutCase{"bmp8", Format::kBmp, "o.bmp", 8, 0, 0},
                                           OutCase{"bmp24", Format::kBmp, "o.bmp", 24, 0, 0},
                                           OutCase{"tga8", Format::kTga, "o.tga", 8, 0, 0},
                                           OutCase{"tga24", Format::kTga, "o.tga", 24, 0, 0},
                                           OutCase{"pcx8", Format::kPcx, "o.pcx", 8, 0, 0},
                                           OutCase{"png8", Format::kPng, "o.png", 8, 0, 0},
                                           OutCase{"png24", Format::kPng, "o.png", 24, 0, 0},
                                           OutCase{"gif8", Format::kGif, "o.gif", 8, 0, 0},
                                           OutCase{"tiff8", Format::kTiff, "o.tif", 8, 0, 0},
                                           OutCase{"tiff24", Format::kTiff, "o.tif", 24, 0, 0},
                                           OutCase{"jpeg8", Format::kJpeg, "o.jpg", 8, 12, 2},
                                           OutCase{"jpeg24", Format::kJpeg, "o.jpg", 24, 12, 2}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
