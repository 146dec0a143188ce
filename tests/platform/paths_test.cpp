#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_.path();
    fs::create_directories(root_ / "Anims" / "Intro");
    std::ofstream(root_ / "Anims" / "Intro" / "Title.VDZ") << "x";
  }
  vidzoer_test::TempDir tmp_;
  fs::path root_;
};

TEST_F(PathsTest, BackslashesAreSeparators) {
  EXPECT_EQ(platform::ToSystemSeparators("a\\b\\c.vdz"), "a/b/c.vdz");
  std::string name = root_.string() + "\\Anims\\Intro\\Title.VDZ";
  EXPECT_EQ(platform::ResolvePath(name), (root_ / "Anims/Intro/Title.VDZ").string());
}

TEST_F(PathsTest, CaseBlindFallbackPerComponent) {
  std::string name = root_.string() + "/anims\\INTRO/title.vdz";
  EXPECT_EQ(platform::ResolvePath(name), (root_ / "Anims/Intro/Title.VDZ").string());
  int fd = platform::FileOpen(name.c_str(), false);
  ASSERT_NE(fd, platform::kInvalidFile);
  char c = 0;
  EXPECT_EQ(platform::FileRead(fd, &c, 1), 1u);
  EXPECT_EQ(c, 'x');
  platform::FileClose(fd);
}

TEST_F(PathsTest, UnmatchedNameStaysAsWritten) {
  std::string name = root_.string() + "/anims/New File.vdz";
  EXPECT_EQ(platform::ResolvePath(name), name);
  EXPECT_EQ(platform::FileOpen(name.c_str(), false), platform::kInvalidFile);
}

TEST_F(PathsTest, DirectoriesDoNotOpenAsFiles) {
  EXPECT_EQ(platform::FileOpen(root_.string().c_str(), false), platform::kInvalidFile);
}

}  // namespace
