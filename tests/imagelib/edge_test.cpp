// Pictures ImageMagick does not write (top-down bitmaps, RLE4 and RLE8 with
// skips, 5-6-5 bit fields, Targa stored from the top) decoded by hand-made
// expectation, and malformed files of every kind refused with the error the
// library promises, without reading or writing out of bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/imagelib/imagelib.h"

namespace {

using imagelib::Format;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v);
  Put16(b, v >> 16);
}

// A bitmap: file header, 40-byte info header, palette of `colours` grey
// entries (index i is grey i * 10), then `data`.
Bytes Bitmap(int32_t width, int32_t height, int bits, uint32_t compression, int colours, const Bytes& data,
             const std::vector<uint32_t>& masks = {}) {
  Bytes b = {'B', 'M'};
  const uint32_t offset =
      14 + 40 + static_cast<uint32_t>(masks.size() * 4) + static_cast<uint32_t>(colours * 4);
  Put32(b, offset + static_cast<uint32_t>(data.size()));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bits));
  Put32(b, compression);
  Put32(b, static_cast<uint32_t>(data.size()));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(colours));
  Put32(b, 0);
  for (uint32_t m : masks) Put32(b, m);
  for (int i = 0; i < colours; ++i)
    b.insert(b.end(),
             {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 10), 0});
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// The 8-bit indices of a loaded picture, top row first.
std::vector<int> Indices(const Bytes& file, Format format, int* result = nullptr) {
  imagelib::ImageInfo info;
  int r = imagelib::DecodeInfo(format, file.data(), file.size(), &info);
  if (r == 0) {
    imagelib::Image image;
    EXPECT_EQ(imagelib::allocimage(&image, info.width, info.height, 8), 0);
    r = imagelib::Decode(format, file.data(), file.size(), &image);
    std::vector<int> out;
    for (int y = 0; r == 0 && y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) out.push_back(image.Row(y)[x]);
    imagelib::freeimage(&image);
    if (result != nullptr) *result = r;
    return out;
  }
  if (result != nullptr) *result = r;
  return {};
}

TEST(BitmapKinds, TopDownRowsComeFirst) {
  // 3 x 2, 8 bits, rows of 4 bytes, stored top row first.
  Bytes data = {1, 2, 3, 0, 4, 5, 6, 0};
  EXPECT_EQ(Indices(Bitmap(3, -2, 8, 0, 8, data), Format::kBmp), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Indices(Bitmap(3, 2, 8, 0, 8, data), Format::kBmp), (std::vector<int>{4, 5, 6, 1, 2, 3}));
}

TEST(BitmapKinds, Rle8RunsLiteralsSkipsAndEnds) {
  // 6 x 3 from the bottom: a run of 3 and a literal of 3; an end of line;
  // a skip right 2 and up 1, a run of 2; the end of the bitmap.
  Bytes data = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 9, 0, 1};
  EXPECT_EQ(Indices(Bitmap(6, 3, 8, 1, 10, data), Format::kBmp),
            (std::vector<int>{0, 0, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 7, 1, 2, 3}));
}

TEST(BitmapKinds, Rle4NibblesAlternate) {
  // 6 x 1: a run of 3 of nibbles 1 and 2, then a literal of 3 nibbles.
  Bytes data = {3, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  EXPECT_EQ(Indices(Bitmap(6, 1, 4, 2, 16, data), Format::kBmp), (std::vector<int>{1, 2, 1, 3, 4, 5}));
}

TEST(BitmapKinds, BitFieldsOf565) {
  // One pixel of pure green at 6 bits and one of full red at 5 bits.
  Bytes data = {0xE0, 0x07, 0x00, 0xF8};
  Bytes file = Bitmap(2, 1, 16, 3, 0, data, {0xF800, 0x07E0, 0x001F});
  imagelib::Image image;
  ASSERT_EQ(imagelib::allocimage(&image, 2, 1, 24), 0);
  ASSERT_EQ(imagelib::Decode(Format::kBmp, file.data(), file.size(), &image), 0);
  EXPECT_EQ((std::vector<int>(image.pixels, image.pixels + 6)), (std::vector<int>{0, 255, 0, 0, 0, 255}));
  imagelib::freeimage(&image);
}

TEST(TargaKinds, RowsStoredFromTheTop) {
  Bytes t = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x20, 1, 2, 3, 4};
  EXPECT_EQ(Indices(t, Format::kTga), (std::vector<int>{1, 2, 3, 4}));
  t[17] = 0;  // from the bottom
  EXPECT_EQ(Indices(t, Format::kTga), (std::vector<int>{3, 4, 1, 2}));
}

struct Bad {
  const char* what;
  Format format;
  Bytes bytes;
  int result;
};

Bytes Huge(Bytes b, size_t width_at, size_t height_at, bool sixteen) {
  if (sixteen) {
    b[width_at] = b[width_at + 1] = b[height_at] = b[height_at + 1] = 0xFF;
  } else {
    std::memcpy(b.data() + width_at, "\x00\x80\x00\x00", 4);
    std::memcpy(b.data() + height_at, "\x00\x80\x00\x00", 4);
  }
  return b;
}

TEST(Malformed, RefusedWithTheirError) {
  const Bytes bmp8 = Bitmap(3, 2, 8, 0, 8, {1, 2, 3, 0, 4, 5, 6, 0});
  const Bytes tga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0, 1, 2, 3, 4};
  Bytes pcx(128, 0);
  pcx[0] = 10;
  pcx[2] = 1;
  pcx[3] = 8;
  pcx[8] = 3;
  pcx[10] = 1;
  pcx[65] = 1;
  pcx[66] = 4;
  std::vector<Bad> cases = {
      {"bmp: not a bitmap", Format::kBmp, {'X', 'M', 0, 0}, imagelib::kErrFormat},
      {"bmp: empty", Format::kBmp, {}, imagelib::kErrFormat},
      {"bmp: pixels cut short", Format::kBmp, Bytes(bmp8.begin(), bmp8.end() - 3), imagelib::kErrRead},
      {"bmp: no room for the palette", Format::kBmp, Bytes(bmp8.begin(), bmp8.begin() + 60),
       imagelib::kErrRead},
      {"bmp: 32768 x 32768 stated", Format::kBmp, Huge(bmp8, 18, 22, false), imagelib::kErrSize},
      {"bmp: 7 bits", Format::kBmp, Bitmap(3, 2, 7, 0, 0, Bytes(8)), imagelib::kErrDepth},
      {"bmp: RLE8 at 24 bits", Format::kBmp, Bitmap(3, 2, 24, 1, 0, Bytes(8)), imagelib::kErrDepth},
      {"bmp: RLE8 stated far beyond its data", Format::kBmp, Bitmap(20000, 20000, 8, 1, 2, {0, 1}),
       imagelib::kErrSize},
      {"bmp: RLE literal past the data", Format::kBmp, Bitmap(6, 1, 8, 1, 2, {0, 9, 1, 2}),
       imagelib::kErrRead},
      {"tga: bad type", Format::kTga, Bytes{0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0, 1, 2, 3, 4},
       imagelib::kErrFormat},
      {"tga: pixels cut short", Format::kTga, Bytes(tga.begin(), tga.end() - 1), imagelib::kErrRead},
      {"tga: 65535 x 65535 stated", Format::kTga, Huge(tga, 12, 14, true), imagelib::kErrSize},
      {"tga: colour map past the 256 entries", Format::kTga,
       Bytes{0, 1, 1, 200, 0, 100, 0, 24, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0}, imagelib::kErrFormat},
      {"pcx: no palette at the end", Format::kPcx, pcx, imagelib::kErrFormat},
      {"pcx: 2 planes", Format::kPcx,
       [&] {
         Bytes p = pcx;
         p[65] = 2;
         return p;
       }(),
       imagelib::kErrDepth},
      {"png: signature only", Format::kPng, {0x89, 'P', 'N', 'G', 13, 10, 26, 10}, imagelib::kErrFormat},
      {"gif: header only", Format::kGif, {'G', 'I', 'F', '8', '9', 'a'}, imagelib::kErrFormat},
      {"jpeg: start marker only", Format::kJpeg, {0xFF, 0xD8, 0xFF, 0xE0}, imagelib::kErrFormat},
      {"tiff: header only", Format::kTiff, {'I', 'I', 42, 0, 8, 0, 0, 0}, imagelib::kErrFormat},
  };
  for (const auto& c : cases) {
    int result = 0;
    Indices(c.bytes, c.format, &result);
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_STRNE(imagelib::ErrorText(result), "unknown error") << c.what;
  }
}

TEST(Images, LoadsFitTheImageAndCheckItsDepth) {
  const Bytes bmp24 = Bitmap(2, 1, 24, 0, 0, {1, 2, 3, 4, 5, 6, 0, 0});
  imagelib::Image small;
  ASSERT_EQ(imagelib::allocimage(&small, 1, 1, 24), 0);
  EXPECT_EQ(imagelib::Decode(Format::kBmp, bmp24.data(), bmp24.size(), &small), 0);
  EXPECT_EQ((std::vector<int>(small.pixels, small.pixels + 3)), (std::vector<int>{1, 2, 3}));
  imagelib::freeimage(&small);
  imagelib::Image eight;
  ASSERT_EQ(imagelib::allocimage(&eight, 2, 1, 8), 0);
  EXPECT_EQ(imagelib::Decode(Format::kBmp, bmp24.data(), bmp24.size(), &eight), imagelib::kErrDepth);
  imagelib::freeimage(&eight);
  imagelib::Image none;
  EXPECT_EQ(imagelib::Decode(Format::kBmp, bmp24.data(), bmp24.size(), &none), imagelib::kErrImage);
  EXPECT_EQ(imagelib::allocimage(&none, 0, 5, 8), imagelib::kErrSize);
  EXPECT_EQ(imagelib::allocimage(&none, 5, 5, 16), imagelib::kErrImage);
  EXPECT_EQ(imagelib::loadbmp("/no/such/file.bmp", &none), imagelib::kErrImage);
  ASSERT_EQ(imagelib::allocimage(&none, 5, 5, 8), 0);
  EXPECT_EQ(imagelib::loadbmp("/no/such/file.bmp", &none), imagelib::kErrOpen);
  EXPECT_EQ(imagelib::savegif("/no/such/folder/x.gif", &none), imagelib::kErrOpen);
  imagelib::freeimage(&none);
}

}  // namespace
