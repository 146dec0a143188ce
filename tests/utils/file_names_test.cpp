#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "qelutil/qelutil.h"
#include "support/temp_dir.h"
#include "text_buffer.h"

namespace fs = std::filesystem;

namespace {

using Path = vidzoer_test::TextBuffer<256>;

// Runs each test in a fresh folder that is also the current folder.
class FileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    root_ = fs::canonical(tmp_.path()).string();
    fs::create_directories(root_ + "/Work/dir.x");
    std::ofstream(root_ + "/Work/a.bmp") << "bmp";
    fs::current_path(root_);
  }
  void TearDown() override { fs::current_path(old_); }
  vidzoer_test::TempDir tmp_;
  fs::path old_;
  std::string root_;
};

TEST(AddBackslash, AppendsTheSeparatorOnce) {
  Path p("  /work ");
  EXPECT_EQ(std::string(AddBackslash(p.buf)), "/work/");
  EXPECT_EQ(std::string(AddBackslash(p.buf)), "/work/");
  Path empty("   ");
  EXPECT_EQ(std::string(AddBackslash(empty.buf)), "");
  Path back("c:\\work\\");
  EXPECT_EQ(std::string(AddBackslash(back.buf)), "c:\\work\\");
  Path drive("c:");  // no drive letters here: just a name
  EXPECT_EQ(std::string(AddBackslash(drive.buf)), "c:/");
}

TEST(HasExtension, LastDotOfTheLastComponent) {
  const char* n = "/work/a.b.bmp";
  EXPECT_EQ(HasExtension(n), n + 9);
  EXPECT_EQ(HasExtension("/dir.x/name"), nullptr);
  EXPECT_EQ(HasExtension("dir.x\\name"), nullptr);
  EXPECT_EQ(HasExtension("name"), nullptr);
  const char* hidden = "/home/u/.config";
  EXPECT_EQ(HasExtension(hidden), hidden + 8);
  EXPECT_EQ(HasExtension(nullptr), nullptr);
}

TEST_F(FileNames, ExpandFileNameResolvesDotsByText) {
  Path p("Work/./dir.x/../a.bmp");
  EXPECT_EQ(ExpandFileName(p.buf), root_.size() + sizeof "/Work/a.bmp");
  EXPECT_EQ(p.str(), root_ + "/Work/a.bmp");
  Path back("Work\\missing\\..\\new.flc");
  ExpandFileName(back.buf);
  EXPECT_EQ(back.str(), root_ + "/Work/new.flc");
  Path up("/../../etc//x/");
  ExpandFileName(up.buf);
  EXPECT_EQ(up.str(), "/etc/x/");
  Path empty("");
  EXPECT_EQ(ExpandFileName(empty.buf), 1u);
  EXPECT_EQ(empty.str(), "");
}

TEST_F(FileNames, ExpandFileNameRefusesPathsOverTheBuffer) {
  Path p("/" + std::string(254, 'n'));
  EXPECT_EQ(ExpandFileName(p.buf), 256u);
  Path shorter("/x/.." + std::string(250, '/'));  // 255 characters that shrink
  EXPECT_EQ(ExpandFileName(shorter.buf), 2u);
  EXPECT_EQ(shorter.str(), "/");
  Path relative(std::string(250, 'r'));  // grows past 255 with the folder
  EXPECT_EQ(ExpandFileName(relative.buf), 1u);
  EXPECT_EQ(relative.str(), "");
  EXPECT_TRUE(relative.GuardIntact());
}

TEST_F(FileNames, IsDirectoryNormalisesAndOptionallyChanges) {
  Path p(" Work/ ");
  EXPECT_TRUE(IsDirectory(p.buf, 0));
  EXPECT_EQ(p.str(), root_ + "/Work");
  EXPECT_EQ(fs::current_path().string(), root_);

  Path file("Work/a.bmp");
  EXPECT_FALSE(IsDirectory(file.buf, 1));
  EXPECT_EQ(fs::current_path().string(), root_);

  Path missing("nowhere");
  EXPECT_FALSE(IsDirectory(missing.buf, 0));

  Path root("/");
  EXPECT_TRUE(IsDirectory(root.buf, 0));
  EXPECT_EQ(root.str(), "/");

  Path here("");
  EXPECT_TRUE(IsDirectory(here.buf, 0));
  EXPECT_EQ(here.str(), root_);

  // Written in another case and with "\": the folder the system has.
  Path other("work\\DIR.X");
  EXPECT_TRUE(IsDirectory(other.buf, 1));
  EXPECT_EQ(other.str(), root_ + "/Work/dir.x");
  EXPECT_EQ(fs::current_path().string(), root_ + "/Work/dir.x");
}

std::string Pieces(const std::string& path, int d, int dir, int name, int ext) {
  Path p(path);
  return GetFilePieces(p.buf, d, dir, name, ext);
}

TEST_F(FileNames, GetFilePiecesOfFilesAndFolders) {
  EXPECT_EQ(Pieces("/work/a.bmp", 0, 0, 0, 1), ".bmp");
  EXPECT_EQ(Pieces("/work/a.bmp", 1, 1, 0, 0), "/work/");
  EXPECT_EQ(Pieces("/work/a.bmp", 0, 0, 1, 1), "a.bmp");
  EXPECT_EQ(Pieces(" /work/a.b.bmp ", 1, 1, 1, 0), "/work/a.b");
  EXPECT_EQ(Pieces("/work/noext", 0, 0, 1, 1), "noext");
  EXPECT_EQ(Pieces("Work/a.bmp", 1, 1, 1, 1), root_ + "/Work/a.bmp");
  EXPECT_EQ(Pieces("", 1, 1, 1, 1), "");
  // A folder has no name or extension; its own name is part of the folder.
  EXPECT_EQ(Pieces("Work/dir.x", 1, 1, 1, 1), root_ + "/Work/dir.x/");
  EXPECT_EQ(Pieces("Work/dir.x", 0, 0, 1, 1), "");
  EXPECT_EQ(Pieces("/", 0, 1, 0, 0), "/");
}

TEST_F(FileNames, GetDriveHasNoLetters) {
  Path p("Work/a.bmp");
  EXPECT_EQ(GetDrive(p.buf), '\0');
  EXPECT_EQ(p.str(), root_ + "/Work/a.bmp");
}

TEST(GetTempName, PrefixOverTheNumberDigits) {
  char dest[64];
  EXPECT_STREQ(GetTempName(dest, "/t/", "VDZ", 74565), "/t/VDZCBAAA.AAA");
  EXPECT_STREQ(GetTempName(dest, "", "", 0xFEDCBA98u), "IJKLMNOP.AAA");
  EXPECT_STREQ(GetTempName(dest, "/t/", "ABCDEFGHIJKLMNOP", 0), "/t/ABCDEFGH.JKL");
  EXPECT_STREQ(GetTempName(dest, nullptr, nullptr, 1), "BAAAAAAA.AAA");
}

}  // namespace
