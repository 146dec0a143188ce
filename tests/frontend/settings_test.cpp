// The settings file: the INI layer keeps sections, key order and other
// lines; the shell's settings written at close are read back at start; a
// settings file of the original layout is read.
#include "frontend/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <fstream>

#include "frontend/ini_file.h"
#include "frontend/shell.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using vidzoerw::IniFile;

// A settings file as the original program wrote it (CRLF lines, sections of
// the pages this version does not read yet).
const char kOriginal[] =
    "[VidzoMain]\r\n"
    "Directory=C:\\VIDZOER\\\r\n"
    "X=12\r\n"
    "Y=34\r\n"
    "CurrentTab=7\r\n"
    "ShowHints=1\r\n"
    "[Vidzo]\r\n"
    "Filename=A.FLC\r\n"
    "NormalRate=240000\r\n"
    "[VidzoCommand]\r\n"
    "Directory=%1\r\n"
    "[VidzoRecentCommands]\r\n"
    "Recall0=vidzoplw a.vdz\r\n"
    "Recall1=\r\n"
    "Recall2=dir\r\n"
    "Recall30=last one\r\n"
    "[VidzoRecentFiles]\r\n"
    "File0=C:\\A.VDZ\r\n"
    "[VidzoRecentDirs]\r\n"
    "Dir0=C:\\\r\n";

TEST(IniFile, KeepsOrderCommentsAndFindsIgnoringCase) {
  IniFile ini;
  ini.Parse("; top comment\n[One]\nb=2\na = 1 \n\n[two]\nx=y=z\n");
  EXPECT_EQ(ini.String("ONE", "A"), "1");
  EXPECT_EQ(ini.String("Two", "x"), "y=z");
  EXPECT_FALSE(ini.Value("one", "c").has_value());
  EXPECT_EQ(ini.Int("one", "b", 7), 2);
  EXPECT_EQ(ini.Int("one", "missing", 7), 7);
  ini.Set("one", "c", "3");
  ini.Set("ONE", "b", "22");
  ini.Set("three", "k", "v");
  EXPECT_EQ(ini.Text(),
            "; top comment\r\n[One]\r\nb=22\r\na=1\r\nc=3\r\n\r\n[two]\r\nx=y=z\r\n[three]\r\nk=v\r\n");
  ini.EraseSection("two");
  EXPECT_FALSE(ini.Value("two", "x").has_value());
  EXPECT_TRUE(ini.HasSection("two"));
  // What is written is read back the same.
  IniFile again;
  again.Parse(ini.Text());
  EXPECT_EQ(again.Text(), ini.Text());
}

TEST(IniFile, SavesThroughATemporaryName) {
  vidzoer_test::TempDir dir;
  IniFile ini;
  ini.Set("A", "k", "v");
  ASSERT_TRUE(ini.Save(dir.File("s.ini")));
  IniFile back;
  ASSERT_TRUE(back.Load(dir.File("s.ini")));
  EXPECT_EQ(back.String("a", "K"), "v");
  EXPECT_FALSE(std::filesystem::exists(dir.File("s.ini.new")));
  EXPECT_FALSE(ini.Save(dir.File("no/such/folder/s.ini")));
  EXPECT_FALSE(back.Load(dir.File("missing.ini")));
}

TEST(Settings, OriginalLayoutIsRead) {
  frontend_test::App();
  vidzoer_test::TempDir dir;
  IniFile ini;
  ini.Parse(QString(kOriginal).arg(QString::fromStdString(dir.path().string())).toStdString());
  vidzoerw::CommandShell shell(nullptr);
  vidzoerw::LoadShellSettings(ini, shell, "/own");
  EXPECT_EQ(shell.CurrentDirectory(), QString::fromStdString(dir.path().string()));
  EXPECT_EQ(shell.ToolsDirectory(), "C:/VIDZOER/");
  EXPECT_EQ(shell.History(), QStringList({"vidzoplw a.vdz", "dir", "last one"}));
  EXPECT_EQ(shell.RecentFiles(), QStringList({"C:\\A.VDZ"}));
  EXPECT_EQ(shell.RecentDirs(), QStringList({"C:\\"}));
}

TEST(Settings, WrittenAtCloseReadAtStart) {
  frontend_test::App();
  vidzoer_test::TempDir dir;
  const QString work = QString::fromStdString(dir.path().string());
  QDir(work).mkpath("cur");
  vidzoerw::CommandShell shell(nullptr);
  shell.SetCurrentDirectory(work + "/cur");
  shell.SetToolsDirectory(work + "/tools");
  shell.SetHistory({"one", "two"});
  shell.SetRecentFiles({"f1", "f2", "f3"});
  shell.SetRecentDirs({"/d"});
  IniFile ini;
  ini.Parse(QString(kOriginal).arg("/nowhere/at/all").toStdString());
  vidzoerw::SaveShellSettings(ini, shell);
  ASSERT_TRUE(ini.Save(dir.File("Vidzoer.INI")));
  IniFile back;
  ASSERT_TRUE(back.Load(dir.File("Vidzoer.INI")));
  EXPECT_EQ(back.String("Vidzo", "NormalRate"), "240000");  // other pages' values stay
  EXPECT_EQ(back.String("VidzoRecentCommands", "Recall1"), "two");
  EXPECT_FALSE(back.Value("VidzoRecentCommands", "Recall30").has_value());
  vidzoerw::CommandShell again(nullptr);
  vidzoerw::LoadShellSettings(back, again, "/own");
  EXPECT_EQ(again.CurrentDirectory(), work + "/cur");
  EXPECT_EQ(again.ToolsDirectory(), work + "/tools/");
  EXPECT_EQ(again.History(), shell.History());
  EXPECT_EQ(again.RecentFiles(), shell.RecentFiles());
  EXPECT_EQ(again.RecentDirs(), shell.RecentDirs());
  // A current directory that cannot be entered falls back to the process's.
  IniFile gone;
  gone.Set("VidzoCommand", "Directory", "/no/such/folder");
  vidzoerw::CommandShell third(nullptr);
  vidzoerw::LoadShellSettings(gone, third, "/own");
  EXPECT_EQ(third.CurrentDirectory(), QDir::currentPath());
  EXPECT_EQ(third.ToolsDirectory(), "/own/");
}

TEST(Settings, StartArguments) {
  frontend_test::App();
  vidzoer_test::TempDir dir;
  std::ofstream(dir.File("good.INI")) << "[VidzoMain]\nCurrentTab=2\n";
  std::ofstream(dir.File("bad.ini")) << "[VidzoMain]\nX=2\n";
  const QString d = QString::fromStdString(dir.path().string());
  auto o = vidzoerw::ParseStartArguments({d + "/a.sbt", d + "/good", d + "/b.SBT"});
  EXPECT_EQ(o.batches, QStringList({d + "/a.sbt", d + "/b.SBT"}));
  EXPECT_EQ(o.settings, d + "/good.INI");
  o = vidzoerw::ParseStartArguments({d + "/bad.ini", d + "/good"});
  EXPECT_EQ(o.settings, vidzoerw::DefaultSettingsFile());
  // The key is what counts: a value that is no number reads 0 and is
  // accepted, 8888 is what the key's absence reads; the key in another
  // section does not count.
  std::ofstream(dir.File("odd.INI")) << "[VidzoMain]\nCurrentTab=abc\n";
  std::ofstream(dir.File("quirk.INI")) << "[VidzoMain]\nCurrentTab=8888\n";
  std::ofstream(dir.File("other.INI")) << "[Vidzo]\nCurrentTab=1\n";
  struct Case {
    const char* name;
    bool used;
  };
  for (const Case& c : {Case{"odd", true}, Case{"quirk", false}, Case{"other", false}, Case{"missing", false}}) {
    o = vidzoerw::ParseStartArguments({d + "/" + c.name});
    EXPECT_EQ(o.settings, c.used ? d + "/" + c.name + ".INI" : vidzoerw::DefaultSettingsFile()) << c.name;
  }
  // A bare name is looked for beside the default settings file.
  const QString saved = qEnvironmentVariable("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QString(d + "/config").toLocal8Bit());
  QDir(d).mkpath("config/vidzoer");
  std::ofstream(dir.File("config/vidzoer/Mine.INI")) << "[VidzoMain]\nCurrentTab=0\n";
  o = vidzoerw::ParseStartArguments({"Mine"});
  EXPECT_EQ(o.settings, d + "/config/vidzoer/Mine.INI");
  if (saved.isEmpty())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", saved.toLocal8Bit());
}

}  // namespace
