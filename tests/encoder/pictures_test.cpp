// PPM pictures in and out, and the palette indices given to their colours.
#include <gtest/gtest.h>

#include <string>

#include "tools/lib/frame_indexer.h"
#include "tools/lib/ppm.h"

namespace {

using namespace vidzotools;

bool Parse(const std::string& text, RgbPicture& picture, std::string& error) {
  return ParsePpm(reinterpret_cast<const uint8_t*>(text.data()), text.size(), picture, error);
}

TEST(Ppm, FormatsAndParsesBack) {
  RgbPicture in{3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
  const std::vector<uint8_t> bytes = FormatPpm(in);
  RgbPicture out;
  std::string error;
  ASSERT_TRUE(ParsePpm(bytes.data(), bytes.size(), out, error)) << error;
  EXPECT_EQ(out.width, 3u);
  EXPECT_EQ(out.height, 2u);
  EXPECT_EQ(out.rgb, in.rgb);
}

TEST(Ppm, HeaderCommentsAndTrailingBytes) {
  RgbPicture p;
  std::string error;
  ASSERT_TRUE(Parse("P6 # made by hand\n1\t# width\n1\n255\rABCextra", p, error)) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{'A', 'B', 'C'}));
  // The single blank after maxval belongs to the header, the next byte is a pixel.
  ASSERT_TRUE(Parse("P6 1 1 255\n\n\n\n", p, error)) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{'\n', '\n', '\n'}));
}

TEST(Ppm, MalformedPicturesAreRefused) {
  RgbPicture p;
  std::string error;
  for (const char* text :
       {"", "P", "P3 1 1 255\nABC", "P6", "P6 1", "P6 1 1", "P6 1 1 255", "P6 1 1 255\nAB",
        "P6 1 1 65535\nABCDEF", "P6 0 1 255\n", "P6 1 0 255\n", "P6 -1 1 255\nABC", "P6 99999 1 255\n",
        "P6 1 1 255x", "P6 99999999999 1 255\n", "P6 # only a comment"}) {
    EXPECT_FALSE(Parse(text, p, error)) << text;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(p.rgb.empty());
  }
}

std::vector<uint8_t> Rgb(std::initializer_list<uint32_t> colours) {
  std::vector<uint8_t> rgb;
  for (uint32_t c : colours) {
    rgb.push_back(static_cast<uint8_t>(c >> 16));
    rgb.push_back(static_cast<uint8_t>(c >> 8));
    rgb.push_back(static_cast<uint8_t>(c));
  }
  return rgb;
}

TEST(FrameIndexer, SlotsFollowThePixels) {
  FrameIndexer indexer;
  AnimationFrame a, b, c;
  std::string error;
  const auto first = Rgb({0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000});
  ASSERT_TRUE(indexer.Next(first.data(), 4, a, error));
  EXPECT_EQ(a.pixels, (std::vector<uint8_t>{0, 1, 2, 0}));
  EXPECT_EQ(a.palette[0], 255);
  EXPECT_EQ(a.palette[3 * 1 + 1], 255);
  EXPECT_EQ(a.palette[3 * 2 + 2], 255);
  // Red keeps slot 0: at pixel 0 blue has as many pixels from slot 0, but the
  // slot holds red already. White recolours slot 1 under pixel 1, and red
  // keeps slot 2 under pixel 2 as well, as an extra slot. Blue, left over,
  // finds its last slot taken and goes to a never-used one.
  const auto second = Rgb({0x0000FF, 0xFFFFFF, 0xFF0000, 0xFF0000});
  ASSERT_TRUE(indexer.Next(second.data(), 4, b, error));
  EXPECT_EQ(b.pixels, (std::vector<uint8_t>{3, 1, 2, 0}));
  EXPECT_EQ(b.palette[3 * 1], 255);
  EXPECT_EQ(b.palette[3 * 1 + 1], 255);
  EXPECT_EQ(b.palette[3 * 1 + 2], 255);
  EXPECT_EQ(b.palette[3 * 2], 255);
  EXPECT_EQ(b.palette[3 * 2 + 2], 0);
  // A picture of another size is indexed by colour: green's slot holds white
  // now, so green takes a never-used slot, and white's slot keeps its colour.
  const auto third = Rgb({0x00FF00});
  ASSERT_TRUE(indexer.Next(third.data(), 1, c, error));
  EXPECT_EQ(c.pixels, (std::vector<uint8_t>{4}));
  EXPECT_EQ(c.palette[3 * 1], 255) << "an unused slot keeps its colour";
}

TEST(FrameIndexer, SlotsAreReusedOnceAllAreTaken) {
  FrameIndexer indexer;
  AnimationFrame f;
  std::string error;
  std::vector<uint8_t> rgb;
  for (uint32_t i = 0; i < 256; ++i) {
    rgb.push_back(static_cast<uint8_t>(4 * (i % 64)));
    rgb.push_back(static_cast<uint8_t>(4 * (i / 64)));
    rgb.push_back(0);
  }
  ASSERT_TRUE(indexer.Next(rgb.data(), 256, f, error)) << error;
  // A new colour beside colour 5: it takes a slot whose colour has gone.
  std::vector<uint8_t> next{rgb[15], rgb[16], rgb[17], 0, 0, 252};
  ASSERT_TRUE(indexer.Next(next.data(), 2, f, error)) << error;
  EXPECT_EQ(f.pixels[0], 5);
  EXPECT_NE(f.pixels[1], 5);
  EXPECT_EQ(f.palette[3 * f.pixels[1] + 2], 255);
}

TEST(FrameIndexer, MoreThan256ColoursAfterRounding) {
  FrameIndexer indexer;
  AnimationFrame f;
  std::string error;
  std::vector<uint8_t> rgb;
  // 512 8-bit colours, but pairs of them agree in their top 6 bits: 256.
  for (uint32_t i = 0; i < 512; ++i) {
    rgb.push_back(static_cast<uint8_t>(2 * (i % 128)));
    rgb.push_back(static_cast<uint8_t>(4 * (i / 128)));
    rgb.push_back(9);
  }
  ASSERT_TRUE(indexer.Next(rgb.data(), 512, f, error)) << error;
  rgb.insert(rgb.end(), {1, 255, 255});
  EXPECT_FALSE(indexer.Next(rgb.data(), 513, f, error));
  EXPECT_EQ(error, "more than 256 colours");
}

}  // namespace
