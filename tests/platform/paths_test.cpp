#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// The installed data folder, found from where the program is.
TEST(DataDir, FromTheProgramFolder) {
  const struct {
    const char* program;
    const char* data;
  } cases[] = {
      {"/usr/bin/vidzoplw", "/usr/share/vidzoer"},
      {"/opt/vz/bin/vdzinfo", "/opt/vz/share/vidzoer"},
      {"/tmp/root/usr/./bin/vdzenc", "/tmp/root/usr/share/vidzoer"},
      {"/home/me/vz/bin/../bin/vdzsample", "/home/me/vz/share/vidzoer"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::DataDirFor(c.program), c.data) << c.program;
}

TEST(DataDir, ChosenByTheEnvironment) {
  vidzoer_test::TempDir tmp;
  fs::create_directories(tmp.path() / "help");
  std::ofstream(tmp.path() / "help" / "vdzinfo.html") << "<p>";
  ASSERT_EQ(::setenv("VIDZOER_DATA_DIR", tmp.path().c_str(), 1), 0);
  EXPECT_EQ(platform::DataDir(), tmp.path().string());
  EXPECT_EQ(platform::FindDataFile("help/vdzinfo.html"), (tmp.path() / "help" / "vdzinfo.html").string());
  EXPECT_EQ(platform::FindDataFile("help/vdzenc.html"), "");
  ::unsetenv("VIDZOER_DATA_DIR");
  // Unset, the folder is the one beside the running test program's folder.
  std::vector<char> self(4096);
  const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(platform::DataDir(), platform::DataDirFor(std::string(self.data(), static_cast<size_t>(n))));
}
