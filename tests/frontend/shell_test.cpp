// The command shell without a window: built-ins in a scratch folder, the
// tool table and the command lines programs are started with (recorded by a
// launcher of the test's own), batch files and reports.
#include "frontend/shell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <fstream>

#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using vidzoerw::CommandShell;

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TestHost : public vidzoerw::ShellHost {
 public:
  bool shift = false;
  int closes = 0;
  QStringList errors, shown, help;
  bool cancel_copy = false;
  bool ShiftHeld() override { return shift; }
  bool CommandPageVisible() override { return false; }
  void ShowError(const QString& text) override { errors.append(text); }
  bool ShowFile(const QString& file) override {
    shown.append(file);
    return true;
  }
  void OpenHelp(const QString& topic) override { help.append(topic); }
  bool CopyProgress(const QString&, qint64, qint64) override { return cancel_copy; }
  void CloseMainWindow() override { ++closes; }
};

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    root = QString::fromStdString(dir.path().string());
    QDir(root).mkpath("work");
    QDir(root).mkpath("tools");
    shell = std::make_unique<CommandShell>(&host);
    ASSERT_TRUE(shell->SetCurrentDirectory(root + "/work"));
    shell->SetToolsDirectory(root + "/tools");
    shell->SetReportHandle(4321);
    shell->Prompt();
    shell->SetLauncher([this](const std::vector<std::string>& args) {
      launched.push_back(args);
      return next_pid;
    });
  }
  // The output lines after the first `from`.
  QStringList Lines(qsizetype from = 0) const { return shell->Output().mid(from); }
  std::string W(const std::string& name) const { return (root + "/work/").toStdString() + name; }

  vidzoer_test::TempDir dir;
  QString root;
  TestHost host;
  std::unique_ptr<CommandShell> shell;
  std::vector<std::vector<std::string>> launched;
  pid_t next_pid = 999999;  // no child of ours: the wait sees it ended
};

TEST_F(Shell, ChangesDirectoryWithoutASpaceAndInAnyCase) {
  QDir(root).mkpath("work/sub/deeper");
  const struct {
    const char* command;
    QString expected;
  } cases[] = {
      {"cd sub", root + "/work/sub"},   {"CD deeper", root + "/work/sub/deeper"},
      {"cd..", root + "/work/sub"},     {"Cd.\\deeper", root + "/work/sub/deeper"},
      {"chdir ..\\..", root + "/work"}, {"cd\\", "/"},
  };
  for (const auto& c : cases) {
    shell->RunCommand(QString(), c.command);
    EXPECT_EQ(shell->CurrentDirectory(), c.expected) << c.command;
  }
  EXPECT_TRUE(launched.empty());
  shell->SetCurrentDirectory(root + "/work");
  const qsizetype before = shell->Output().size();
  shell->RunCommand(QString(), "cd nowhere");
  EXPECT_EQ(shell->CurrentDirectory(), root + "/work");
  EXPECT_TRUE(Lines(before).contains("  Directory not found."));
  EXPECT_EQ(shell->RecentDirs().front(), "/");
}

TEST_F(Shell, RunCommandChangesToItsDirectoryFirst) {
  QDir(root).mkpath("other");
  shell->RunCommand(root + "/other", "rem hello");
  EXPECT_EQ(shell->CurrentDirectory(), root + "/other");
  EXPECT_TRUE(shell->Output().contains(root + "/other> rem hello"));
}

TEST_F(Shell, KnownToolsGetTheHandleAndTheToolsDirectory) {
  const QString tools = root + "/tools/";
  const struct {
    const char* command;
    bool typed;
    bool in_tools;
    std::vector<std::string> args;
  } cases[] = {
      {"vidzocw a.flc", false, false, {(tools + "vidzoc").toStdString(), "a.flc", "/#4321"}},
      {"VIDZOC a.flc", true, false, {(tools + "vidzoc").toStdString(), "a.flc", "/#4321/#"}},
      {"vidzoc a.flc", false, true, {"vidzoc", "a.flc", "/#4321"}},
      {"vidzoply.com \"my film.vdz\" /L", true, true, {"vidzoplw", "my film.vdz", "/L", "/#4321/#"}},
      {"c:\\old\\VODAVEW x.vdz", false, true, {"vdzinfo", "x.vdz", "/#4321"}},
      {"veziviw6 in.bmp", false, true, {"vizodov", "in.bmp", "/#4321"}},
      {"towavw a.wav", false, true, {"vorured", "a.wav", "/#4321"}},
      {"qelsi", false, true, {"qelsiw", "/#4321"}},
      {"vidzofrw a.vdz", false, true, {"vidzofr", "a.vdz", "/#4321"}},
      {"vdzcompi a.vdz", false, true, {"vdzcompi", "a.vdz", "/#4321"}},
      {"vidzomiw a.vdz", false, true, {"vidzomix", "a.vdz", "/#4321"}},
      {"vidzoscr a.ss", false, true, {"vidzoscw", "a.ss", "/#4321"}},
  };
  for (const auto& c : cases) {
    launched.clear();
    shell->SetCurrentDirectory(c.in_tools ? root + "/tools" : root + "/work");
    const bool started = c.typed ? shell->RunTyped(c.command) : shell->RunCommand(QString(), c.command);
    EXPECT_TRUE(started) << c.command;
    ASSERT_EQ(launched.size(), 1u) << c.command;
    EXPECT_EQ(launched[0], c.args) << c.command;
  }
}

TEST_F(Shell, UnknownProgramsStartAsTyped) {
  EXPECT_FALSE(shell->RunTyped("myprog 'a b' \"c d\" e\\f"));
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], (std::vector<std::string>{"myprog", "a b", "c d", "e\\f"}));
  // "vidzoc.exe" keeps its extension and is no tool of the table.
  launched.clear();
  EXPECT_FALSE(shell->RunCommand(QString(), "vidzoc.exe a.flc"));
  EXPECT_EQ(launched[0], (std::vector<std::string>{"vidzoc.exe", "a.flc"}));
}

TEST_F(Shell, AProgramThatCannotStartIsNotFound) {
  shell->SetLauncher(vidzoerw::SpawnProgram);
  const qsizetype before = shell->Output().size();
  EXPECT_FALSE(shell->RunCommand(QString(), "no-such-program-here x"));
  EXPECT_TRUE(Lines(before).contains("  Command not found.")) << Lines(before).join("|").toStdString();
  EXPECT_EQ(vidzoerw::SpawnProgram({}), -1);
}

TEST_F(Shell, APlainNameIsABatchFileInTheCurrentThenTheToolsDirectory) {
  Write(root.toStdString() + "/tools/setup.sbt", "rem from tools\n");
  shell->RunCommand(QString(), "setup");
  EXPECT_TRUE(launched.empty());
  EXPECT_TRUE(shell->Output().join("\n").contains("rem from tools"));
  Write(W("setup.sbt"), "rem from here\n");
  shell->RunCommand(QString(), "setup");
  EXPECT_TRUE(shell->Output().join("\n").contains("rem from here"));
  // Not found anywhere: started as a program.
  shell->RunCommand(QString(), "other arg");
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], (std::vector<std::string>{"other", "arg"}));
  // A name with a folder is not looked for in the tools directory.
  launched.clear();
  shell->RunCommand(QString(), "sub/setup");
  EXPECT_EQ(launched.size(), 1u);
}

TEST_F(Shell, ShiftHeldOnlyEchoes) {
  host.shift = true;
  EXPECT_FALSE(shell->RunCommand(QString(), "vidzoc a.flc"));
  shell->RunCommand(QString(), "md made");
  EXPECT_TRUE(launched.empty());
  EXPECT_FALSE(QFileInfo::exists(root + "/work/made"));
  EXPECT_TRUE(shell->Output().contains(root + "/work> Rem vidzoc a.flc"));
}

TEST_F(Shell, HistoryKeepsThirtyWithoutCaseDuplicates) {
  for (int i = 0; i < 40; ++i) shell->RunCommand(QString(), "rem " + QString::number(i));
  shell->RunCommand(QString(), "REM 35");
  const QStringList& h = shell->History();
  ASSERT_EQ(h.size(), 30);
  EXPECT_EQ(h[0], "REM 35");
  EXPECT_EQ(h.filter("35", Qt::CaseInsensitive).size(), 1);
  EXPECT_EQ(h[1], "rem 39");
  EXPECT_EQ(h.last(), "rem 10");
  shell->SetHistory({"a", "A", "b", ""});
  EXPECT_EQ(shell->History(), QStringList({"a", "b"}));
}

TEST_F(Shell, ReportsWithOtherIdentifiersAreIgnored) {
  const QStringList before = shell->Output();
  EXPECT_FALSE(shell->CopyData(4661, "nothing"));
  EXPECT_EQ(shell->Output(), before);
  EXPECT_EQ(shell->ReportCount(), 0);
  EXPECT_TRUE(shell->CopyData(4660, "VidzoPlay - V3.1g\r\n  Frame rate: 10\r\n"));
  const QStringList after = shell->Output();
  ASSERT_GE(after.size(), 3);
  EXPECT_EQ(after[after.size() - 3], "  VidzoPlay - V3.1g");
  EXPECT_EQ(after[after.size() - 2], "  Frame rate: 10");
  EXPECT_EQ(after.last(), shell->PromptText());
}

TEST_F(Shell, DirListsColumnsAndTotals) {
  Write(W("small.txt"), "12345");
  Write(W("big.bin"), std::string(1234567, 'x'));
  QDir(root).mkpath("work/folder");
  shell->SetThousands(".");
  const qsizetype before = shell->Output().size() - 1;  // the prompt line takes the echo
  shell->RunCommand(QString(), "dir");
  const QStringList lines = Lines(before);
  ASSERT_EQ(lines.size(), 6) << lines.join("\n").toStdString();
  EXPECT_EQ(lines[0], root + "/work> Dir " + root + "/work/*.*");
  const QString date = QFileInfo(root + "/work/big.bin").lastModified().toString("yyyy-MM-dd  HH:mm");
  // Four blanks, the name in 12 columns, two blanks, the size in 12 columns,
  // two blanks, the four attribute letters, two blanks, date and time.
  EXPECT_EQ(lines[1], QString("    ") + "big.bin     " + "  " + "   1.234.567" + "  " + "    " + "  " + date);
  EXPECT_EQ(lines[2].left(32), QString("    ") + "folder      " + "  " + "       <DIR>" + "  ");
  EXPECT_EQ(lines[3].left(32), QString("    ") + "small.txt   " + "  " + "           5" + "  ");
  EXPECT_TRUE(lines[4].startsWith("  1.234.572 bytes in 3 file(s).  ")) << lines[4].toStdString();
  EXPECT_TRUE(lines[4].endsWith(" bytes free."));
  // A pattern, and one that matches nothing.
  shell->RunCommand(QString(), "dir *.TXT");
  EXPECT_TRUE(shell->Output().join("\n").contains("\n  5 bytes in 1 file(s).  "));
  shell->RunCommand(QString(), "dir *.none");
  EXPECT_TRUE(shell->Output().contains("  No files found."));
}

TEST_F(Shell, DeleteRenameAndCopyWithWildcards) {
  Write(W("a1.txt"), "one");
  Write(W("a2.txt"), "two!");
  Write(W("b.dat"), "bee");
  QDir(root).mkpath("work/out");
  shell->RunCommand(QString(), "copy a?.txt out");
  EXPECT_EQ(Read(W("out/a1.txt")), "one");
  EXPECT_EQ(Read(W("out/a2.txt")), "two!");
  EXPECT_TRUE(shell->Output().contains("  Copied a1.txt to out/a1.txt"));
  EXPECT_TRUE(shell->Output().contains("  2 file(s) copied."));
  EXPECT_TRUE(shell->Output().contains("  7 bytes copied."));

  shell->RunCommand(QString(), "ren out/*.txt *.bak");
  EXPECT_EQ(Read(W("out/a1.bak")), "one");
  EXPECT_FALSE(QFileInfo::exists(root + "/work/out/a1.txt"));
  EXPECT_TRUE(shell->Output().contains("  2 file(s) renamed."));
  // A rename never replaces a file that is there.
  shell->RunCommand(QString(), "ren b.dat a1.txt");
  EXPECT_EQ(Read(W("a1.txt")), "one");
  EXPECT_EQ(Read(W("b.dat")), "bee");
  EXPECT_TRUE(shell->Output().contains("  Could not rename b.dat"));
  // Several files into one name are refused, a copy onto itself too.
  shell->RunCommand(QString(), "copy a*.txt one.txt");
  EXPECT_FALSE(QFileInfo::exists(root + "/work/one.txt"));
  shell->RunCommand(QString(), "copy b.dat b.dat");
  EXPECT_EQ(Read(W("b.dat")), "bee");
  EXPECT_TRUE(shell->Output().contains("  Could not copy b.dat"));

  shell->RunCommand(QString(), "del out\\*.bak");
  EXPECT_FALSE(QFileInfo::exists(root + "/work/out/a1.bak"));
  EXPECT_TRUE(shell->Output().contains("  2 file(s) deleted."));
  EXPECT_TRUE(shell->Output().contains("  7 bytes freed."));
  EXPECT_TRUE(QFileInfo::exists(root + "/work/out"));  // folders are not deleted
  const struct {
    const char* command;
    const char* message;
  } errors[] = {{"del", "Del - error, no file name given."},
                {"ren a1.txt", "Ren - error, must give input and output names."},
                {"copy", "Copy - error, must give an input name."},
                {"mkdir", "MD - error, no directory name given."},
                {"rmdir", "RD - error, no directory name given."},
                {"attrib", "Attribute command error."},
                {"del *.none", "  No files found."},
                {"type nothing.txt", "  Error displaying the file"}};
  for (const auto& e : errors) {
    shell->RunCommand(QString(), e.command);
    EXPECT_TRUE(shell->Output().contains(e.message)) << e.command;
  }
}

TEST_F(Shell, CancelledCopyLeavesNoPartAndKeepsTheOldTarget) {
  Write(W("src.bin"), std::string(200000, 's'));
  Write(W("dst.bin"), "old");
  host.cancel_copy = true;
  shell->RunCommand(QString(), "copy src.bin dst.bin");
  EXPECT_EQ(Read(W("dst.bin")), "old");
  EXPECT_TRUE(shell->Output().contains("  Copy was cancelled."));
  EXPECT_EQ(QDir(root + "/work").entryList(QDir::Files).size(), 2);
}

TEST_F(Shell, DirectoriesAttributesHistoryAndExit) {
  shell->RunCommand(QString(), "md new");
  EXPECT_TRUE(shell->Output().contains("new was made."));
  shell->RunCommand(QString(), "md new");
  EXPECT_TRUE(shell->Output().contains("  Could not make new"));
  EXPECT_EQ(host.errors, QStringList({"Error, could not make new"}));
  shell->RunCommand(QString(), "rd.\\new");
  EXPECT_TRUE(shell->Output().contains(".\\new was removed."));
  EXPECT_FALSE(QFileInfo::exists(root + "/work/new"));

  Write(W("ro.txt"), "x");
  shell->RunCommand(QString(), "attrib +r ro.txt");
  EXPECT_TRUE(shell->Output().contains("  Attributes from '    ' to ' R  ' on ro.txt"));
  EXPECT_FALSE(QFileInfo(root + "/work/ro.txt").permissions() & QFileDevice::WriteOwner);
  shell->RunCommand(QString(), "attrib +s ro.txt");
  EXPECT_TRUE(shell->Output().contains("  Error changing attributes of ro.txt"));

  shell->RunCommand(QString(), "savehist log");
  EXPECT_TRUE(shell->Output().contains("  History saved to log.txt"));
  EXPECT_NE(Read(W("log.txt")).find("Attributes from"), std::string::npos);

  shell->RunCommand(QString(), "type ro.txt");
  EXPECT_EQ(host.shown, QStringList({root + "/work/ro.txt"}));
  shell->RunCommand(QString(), "help vidzop");
  EXPECT_EQ(host.help, QStringList({"vidzop"}));
  shell->RunCommand(QString(), "c:");
  EXPECT_TRUE(launched.empty());
  shell->RunCommand(QString(), "@exit");
  EXPECT_EQ(host.closes, 1);
  EXPECT_TRUE(shell->Output().contains(root + "/work> Exit"));
  shell->RunCommand(QString(), "cls");
  EXPECT_EQ(shell->Output(), QStringList({root + "/work> "}));
}

TEST_F(Shell, FindListsMatchesBelowTheFolder) {
  QDir(root).mkpath("work/a/b");
  Write(W("a/b/Deep.VDZ"), "x");
  Write(W("top.vdz"), "x");
  Write(W("other.txt"), "x");
  shell->RunCommand(QString(), "ff *.vdz");
  const QString all = shell->Output().join("\n");
  EXPECT_TRUE(all.contains("  " + root + "/work/a/b/Deep.VDZ"));
  EXPECT_TRUE(all.contains("  " + root + "/work/top.vdz"));
  EXPECT_FALSE(all.contains("other.txt"));
  EXPECT_TRUE(all.contains("  2 file(s) found."));
}

TEST_F(Shell, OutputListStaysUnderItsLimit) {
  const QString line(99, 'x');
  for (int i = 0; i < 300; ++i) shell->Say(line + QString::number(i % 10));
  EXPECT_LE(shell->OutputLength(), CommandShell::kOutputLimit);
  EXPECT_GT(shell->OutputLength(), CommandShell::kOutputLimit - 1200);
  EXPECT_EQ(shell->Output().last(), line + "9");
  // A single line longer than the limit keeps its end.
  shell->ClearOutput();
  shell->Say(QString(20000, 'y') + "end");
  EXPECT_LE(shell->OutputLength(), CommandShell::kOutputLimit);
  EXPECT_TRUE(shell->Output().last().endsWith("end"));
}

TEST_F(Shell, BatchFilesSubstituteArgumentsAndWaitForEachReport) {
  Write(W("job.sbt"), "rem first %1\n\n  vidzoplw %2 %9\nvidzoplw again\n@echo done %1\n");
  // Each started tool reports 150 ms later; the next line must not start
  // before.
  std::vector<int> reports_at_launch;
  shell->SetLauncher([&](const std::vector<std::string>& args) {
    launched.push_back(args);
    reports_at_launch.push_back(shell->ReportCount());
    QTimer::singleShot(150, shell.get(), [this] { shell->CopyData(4660, "report"); });
    return pid_t{999999};
  });
  shell->RunTyped("job.sbt one \"two words\"");
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[0],
            (std::vector<std::string>{(root + "/tools/vidzoplw").toStdString(), "two words", "/#4321/#"}));
  EXPECT_EQ(reports_at_launch, (std::vector<int>{0, 1}));
  const QString all = shell->Output().join("\n");
  EXPECT_TRUE(all.contains("rem first one"));
  EXPECT_TRUE(all.contains("> echo done one"));
  EXPECT_LT(all.indexOf("again"), all.lastIndexOf("  report"));
  EXPECT_FALSE(shell->InBatch());
  // Batch lines do not enter the history.
  EXPECT_EQ(shell->History(), QStringList({"job.sbt one \"two words\""}));
}

TEST_F(Shell, ABatchGoesOnWhenAToolEndsWithoutAReport) {
  Write(W("quiet.sbt"), "vidzoplw a\nvidzoplw b\n");
  shell->SetReportGrace(100);
  shell->RunCommand(QString(), "quiet");
  EXPECT_EQ(launched.size(), 2u);
}

TEST_F(Shell, BatchFilesCallingThemselvesStop) {
  Write(W("loop.sbt"), "loop\n");
  shell->RunCommand(QString(), "loop");
  EXPECT_TRUE(shell->Output().join("\n").contains("Error, batch files nested too deeply"));
}

TEST(ShellWords, PatternsMasksAndSplitting) {
  const struct {
    const char* name;
    const char* pattern;
    bool match;
  } patterns[] = {{"a.txt", "*.*", true},        {"noext", "*.*", true},     {"A.TXT", "*.txt", true},
                  {"a.txt", "?.txt", true},      {"ab.txt", "?.txt", false}, {"file", "file.*", true},
                  {"a.txt.bak", "*.txt", false}, {"abc", "a*c", true},       {"abd", "a*c", false}};
  for (const auto& p : patterns)
    EXPECT_EQ(vidzoerw::MatchesPattern(p.name, p.pattern), p.match) << p.name << " " << p.pattern;
  const struct {
    const char* source;
    const char* mask;
    const char* result;
  } masks[] = {{"a.txt", "*.bak", "a.bak"},
               {"a.txt", "b.*", "b.txt"},
               {"abc.txt", "x?z.*", "xbz.txt"},
               {"a.txt", "*", "a"},
               {"name", "*.new", "name.new"}};
  for (const auto& m : masks)
    EXPECT_EQ(vidzoerw::ApplyRenameMask(m.source, m.mask), m.result) << m.source << " " << m.mask;
  const auto w = vidzoerw::FirstWord("  \"my prog\" rest of  it ");
  EXPECT_EQ(w.word, "\"my prog\"");
  EXPECT_EQ(w.rest, "rest of  it");
  EXPECT_EQ(vidzoerw::SplitArguments("a \"b c\"d '' e"), (std::vector<std::string>{"a", "b cd", "", "e"}));
  EXPECT_EQ(vidzoerw::ToolName("VIDZOPLY"), "VidzoPlW");
  EXPECT_EQ(vidzoerw::ToolName("ls"), "");
}

}  // namespace
