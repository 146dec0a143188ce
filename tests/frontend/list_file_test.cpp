// List files as the list editor reads and writes them: the frame switches
// found in any case and written in lower case, the field rules, and a list
// written here read by the graphics input with the same frames.
#include "frontend/list_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "qelutil/qelutil.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using vidzoerw::SetListEntryFrame;
using vidzoerw::TakeFrameSwitch;

TEST(ListFile, TakeFrameSwitch) {
  struct Case {
    const char* line;
    char letter;
    int64_t value;
    const char* rest;
  } cases[] = {
      {"clip.flc /s10 /e20", 'S', 10, "clip.flc  /e20"},
      {"clip.flc /S10 /E20", 'E', 20, "clip.flc /S10 "},
      {"clip.flc /e7", 'S', -1, "clip.flc /e7"},
      {"clip.flc", 'E', -1, "clip.flc"},
      // "/s" with no digits is part of a name.
      {"scenes/start.flc /s3", 'S', 3, "scenes/start.flc "},
      {"scenes/s.flc", 'S', -1, "scenes/s.flc"},
      {"\"a /s5\" /s6", 'S', 6, "\"a /s5\" "},
      {"x /s99999999999", 'S', 2147483647, "x "},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    EXPECT_EQ(TakeFrameSwitch(line, c.letter), c.value) << c.line;
    EXPECT_EQ(line, c.rest) << c.line;
  }
}

TEST(ListFile, FieldChangesRebuildTheEntry) {
  struct Case {
    const char* line;
    char letter;
    const char* text;
    bool changed;
    const char* result;
  } cases[] = {
      {"clip.flc /s10 /e20", 'S', "", true, "clip.flc /e20"},
      {"clip.flc /S10 /E20", 'S', "10", false, "clip.flc /s10 /e20"},
      {"clip.flc /E20 /S10", 'E', " 25 ", true, "clip.flc /s10 /e25"},
      {"clip.flc", 'S', "", false, "clip.flc"},
      {"clip.flc", 'S', "abc", false, "clip.flc"},
      {"clip.flc /s4", 'S', "4x", true, "clip.flc"},
      {"  clip.flc  ", 'E', "9", true, "clip.flc /e9"},
      {"clip.flc /e9", 'S', "0", true, "clip.flc /s0 /e9"},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    EXPECT_EQ(SetListEntryFrame(line, c.letter, c.text), c.changed) << c.line << " " << c.text;
    EXPECT_EQ(line, c.result) << c.line << " " << c.text;
  }
}

TEST(ListFile, TextRoundTrip) {
  vidzoer_test::TempDir dir;
  const std::vector<std::string> lines = {"a.flc /s1 /e2", "# note", "pic??.bmp*1-3"};
  ASSERT_TRUE(vidzoerw::SaveListFile(dir.File("x.lst"), lines));
  std::vector<std::string> back;
  ASSERT_TRUE(vidzoerw::LoadListFile(dir.File("x.lst"), back));
  EXPECT_EQ(back, lines);
  EXPECT_EQ(vidzoerw::ParseListText("a\r\n\r\n  \nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(vidzoerw::SaveListFile(dir.File("no/such/folder.lst"), lines));
  EXPECT_FALSE(vidzoerw::LoadListFile(dir.File("missing.lst"), back));
}

// A list whose entries were edited as the editor does, read by GFileOpen:
// the frames are those of the entries' ranges, in order.
TEST(ListFile, ReadByGraphicsInputWithTheSameFrames) {
  vidzoer_test::TempDir dir;
  const auto a = vidzoer_test::WriteTestAnimation(dir.File("a.vdz"), 16, 8, 6, false);
  const auto b = vidzoer_test::WriteTestAnimation(
      dir.File("b.vdz"), 16, 8, 5, false, 10,
      [](uint32_t x, uint32_t y, uint32_t f) { return static_cast<uint8_t>(100 + (x + y * 3 + f) % 50); });
  ASSERT_EQ(a.pixels.size(), 6u);
  ASSERT_EQ(b.pixels.size(), 5u);
  std::vector<std::string> entries = {"a.vdz /S9 /E9", "b.vdz"};
  EXPECT_TRUE(SetListEntryFrame(entries[0], 'S', "2"));
  EXPECT_TRUE(SetListEntryFrame(entries[0], 'E', "4"));
  EXPECT_TRUE(SetListEntryFrame(entries[1], 'E', "3"));
  ASSERT_EQ(entries, (std::vector<std::string>{"a.vdz /s2 /e4", "b.vdz /e3"}));
  ASSERT_TRUE(vidzoerw::SaveListFile(dir.File("both.lst"), entries));

  GFile* g = GFileOpen(dir.File("both.lst").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 0, 2, nullptr,
                       nullptr, [](const char*, int32_t) -> uint8_t { return 0; });
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->frames, 6);
  const std::vector<const std::vector<uint8_t>*> want = {&a.pixels[1], &a.pixels[2], &a.pixels[3],
                                                         &b.pixels[0], &b.pixels[1], &b.pixels[2]};
  for (size_t f = 0; f < want.size(); ++f) {
    ASSERT_EQ(GFileGet(g), 1) << f;
    std::vector<uint8_t> got;
    for (int y = 0; y < g->height; ++y)
      got.insert(got.end(), g->pixels + y * g->pitch, g->pixels + y * g->pitch + g->width);
    EXPECT_EQ(got, *want[f]) << "frame " << f;
  }
  GFileClose(g);
}

}  // namespace
