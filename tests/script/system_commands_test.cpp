// The string, file, folder and system commands of vidzoscw, run as a user
// runs the program in a folder of its own: the debug trace byte for byte,
// the files the scripts leave, and what started programs receive.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/launcher.h"
#include "platform/mounts.h"
#include "script/file_ops.h"
#include "script_host.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using script_test::ReadText;
using script_test::WriteText;
using vidzoer_test::Quote;
using vidzoer_test::RunResult;

class ScriptCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    vidzoer_test::UseHeadlessEnvironment(dir_);
    unsetenv("VIDZOER_PRINTER");
  }
  std::string File(const std::string& name) { return dir_.File(name); }
  // Runs main.ss, holding the text, in the test's folder; prefix goes before
  // the program on the shell's command line.
  RunResult Run(const std::string& text, const std::string& prefix = {}) {
    WriteText(File("main.ss"), "DEBUGFILE \"t.txt\"\n" + text);
    const std::string out = File("stdout.txt"), err = File("stderr.txt");
    const std::string cmd = "cd " + Quote(dir_.path().string()) + " && " + prefix + " " +
                            Quote(std::string(VIDZOER_BIN_DIR) + "/vidzoscw") + " main.ss >" + Quote(out) +
                            " 2>" + Quote(err);
    const int status = std::system(cmd.c_str());
    RunResult r;
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
  }
  // The trace after the DEBUGFILE line.
  std::string Trace() { return ReadText(File("t.txt")); }
  // The value of an assignment in the trace ("***NAME=\"...\""), or "?".
  std::string Value(const std::string& name) {
    const std::string trace = Trace(), key = "  ***" + name + "=\"";
    const size_t at = trace.rfind(key);
    if (at == std::string::npos) return "?";
    const size_t from = at + key.size();
    return trace.substr(from, trace.find('"', from) - from);
  }
  // Waits up to five seconds for a file that a started program writes.
  bool WaitFor(const std::string& name) {
    for (int i = 0; i < 500; ++i) {
      if (fs::exists(File(name))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Executable(const std::string& name, const std::string& text) {
    WriteText(File(name), text);
    fs::permissions(File(name), fs::perms::owner_all);
  }

  vidzoer_test::TempDir dir_;
};

// One trace line: "  N:      COMMAND" and its assignments.
std::string Line(int n, const std::string& command, const std::string& assigned = {}) {
  return "  " + std::to_string(n) + ":      " + command + assigned + "\r\n";
}

TEST_F(ScriptCommands, StringCommandsEdgeCases) {
  const RunResult r =
      Run("STRPIECE A 0 2 \"abc\"\nSTRPIECE B 1 2 \"abc\"\nSTRPIECE C 3 9 \"abc\"\nSTRPIECE D 4 1 \"abc\"\n"
          "STRFIND E 0 \"b\" \"abc\"\nSTRFIND F 0 \"B\" \"abc\"\nSTRFIND G 1 \"B\" \"abc\"\n"
          "STRLPAD H 5 \"ab\"\nSTRLPADZERO I 5 \"ab\"\nSTRLPAD J 1 \"ab\"\nSTRRPAD K 4 \"ab\"\n"
          "STRREPEAT L 65 3\nSTRREPEAT M \"x\" 0\nSTRREPEAT N \"xyz\" 2\n"
          "VARSET S \"a,b;c\"\nSTRFIRST O S \",;\"\nSTRFIRST P S \",;\"\nSTRFIRST Q S \",;\"\n"
          "STRLENGTH R \"hello\"\nSTRUCASE T \"aBc1\"\nSTRLCASE U \"aBc1\"\nSTRTRIM V \"  a b  \"\n"
          "STRADDBACKSLASH W \"dir\"\nSTRADDBACKSLASH X \"dir/\"\nSTRADDBACKSLASH Y \"\"\n"
          "STRISNUMERIC Z \"-12\"\nSTRISNUMERIC Z2 \"1a\"\nSTRISLABEL Z3 \"here\"\nSTRISLABEL Z4 "
          "\"there\"\n:HERE\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Trace(), "\r\n" + Line(2, "STRPIECE A 0 2 \"abc\"", "  ***A=\"ab\"") +
                         Line(3, "STRPIECE B 1 2 \"abc\"", "  ***B=\"ab\"") +
                         Line(4, "STRPIECE C 3 9 \"abc\"", "  ***C=\"c\"") +
                         Line(5, "STRPIECE D 4 1 \"abc\"", "  ***D=\"\"") +
                         Line(6, "STRFIND E 0 \"b\" \"abc\"", "  ***E=\"2\"") +
                         Line(7, "STRFIND F 0 \"B\" \"abc\"", "  ***F=\"0\"") +
                         Line(8, "STRFIND G 1 \"B\" \"abc\"", "  ***G=\"2\"") +
                         Line(9, "STRLPAD H 5 \"ab\"", "  ***H=\"   ab\"") +
                         Line(10, "STRLPADZERO I 5 \"ab\"", "  ***I=\"000ab\"") +
                         Line(11, "STRLPAD J 1 \"ab\"", "  ***J=\"ab\"") +
                         Line(12, "STRRPAD K 4 \"ab\"", "  ***K=\"ab  \"") +
                         Line(13, "STRREPEAT L 65 3", "  ***L=\"AAA\"") +
                         Line(14, "STRREPEAT M \"x\" 0", "  ***M=\"\"") +
                         Line(15, "STRREPEAT N \"xyz\" 2", "  ***N=\"xx\"") +
                         Line(16, "VARSET S \"a,b;c\"", "  ***S=\"a,b;c\"") +
                         Line(17, "STRFIRST O S \",;\"", "  ***O=\"a\"  ***S=\"b;c\"") +
                         Line(18, "STRFIRST P S \",;\"", "  ***P=\"b\"  ***S=\"c\"") +
                         Line(19, "STRFIRST Q S \",;\"", "  ***Q=\"c\"  ***S=\"\"") +
                         Line(20, "STRLENGTH R \"hello\"", "  ***R=\"5\"") +
                         Line(21, "STRUCASE T \"aBc1\"", "  ***T=\"ABC1\"") +
                         Line(22, "STRLCASE U \"aBc1\"", "  ***U=\"abc1\"") +
                         Line(23, "STRTRIM V \"  a b  \"", "  ***V=\"a b\"") +
                         Line(24, "STRADDBACKSLASH W \"dir\"", "  ***W=\"dir/\"") +
                         Line(25, "STRADDBACKSLASH X \"dir/\"", "  ***X=\"dir/\"") +
                         Line(26, "STRADDBACKSLASH Y \"\"", "  ***Y=\"\"") +
                         Line(27, "STRISNUMERIC Z \"-12\"", "  ***Z=\"1\"") +
                         Line(28, "STRISNUMERIC Z2 \"1a\"", "  ***Z2=\"0\"") +
                         Line(29, "STRISLABEL Z3 \"here\"", "  ***Z3=\"1\"") +
                         Line(30, "STRISLABEL Z4 \"there\"", "  ***Z4=\"0\""));
}

TEST_F(ScriptCommands, LongResultsAreCutAtTheWorkingLimit) {
  const RunResult r =
      Run("STRREPEAT A \"y\" 100000\nSTRLENGTH LA A\nSTRLPAD B 5000 \"ab\"\nSTRLENGTH LB B\n"
          "STRRPAD C 768 \"ab\"\nSTRLENGTH LC C\nSTRPIECE D 700 100 A\nSTRLENGTH LD D\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("LA"), "767");
  EXPECT_EQ(Value("LB"), "767");
  EXPECT_EQ(Value("B"), std::string(765, ' ') + "ab");
  EXPECT_EQ(Value("LC"), "767");
  EXPECT_EQ(Value("LD"), "68");
}

TEST_F(ScriptCommands, FileReadSplitsLinesAtLineEndsAnd254Characters) {
  const std::string long_line(300, 'L');
  WriteText(File("in.txt"), "crlf\r\nlf\n\r\n" + long_line + "\r\nlast");
  const RunResult r =
      Run("FILEOPEN F \"in.txt\"\n:LOOP\nFILEEOF E F\nIF E = 1 GOTO DONE\nFILEREAD L F\nDEBUGTEXT \"[%L%]\"\n"
          "GOTO LOOP\n:DONE\nFILECLOSE F\nDEBUGTEXT \"F=[%F%]\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> written;
  const std::string trace = Trace();
  for (size_t at = trace.find("DEBUGTEXT"); at != std::string::npos; at = trace.find("DEBUGTEXT", at + 1)) {
    const size_t start = trace.find("\r\n", at) + 2;
    written.push_back(trace.substr(start, trace.find("\r\n", start) - start));
  }
  const std::vector<std::string> expected = {
      "[crlf]", "[lf]", "[]", "[" + long_line.substr(0, 254) + "]", "[" + long_line.substr(254) + "]",
      "[last]", "F=[]"};
  EXPECT_EQ(written, expected);
  EXPECT_NE(trace.find("FILECLOSE F  ***F=\"\""), std::string::npos);
}

TEST_F(ScriptCommands, WritingAppendingAndListingFiles) {
  const RunResult r =
      Run("SCREENGRAPHICS OK 64 48\nFILEAPPEND A \"new.txt\"\nFILEWRITE A \"one\"\nFILECLOSE A\n"
          "FILEAPPEND A \"new.txt\"\nFILEWRITE A \"two\"\nFILESIZE S1 A\nFILELIST\nFILECLOSE A\n"
          "FILECREATE C \"made.txt\"\nFILEWRITE C \"x\"\nFILECLOSE C\nFILESIZE S2 \"made.txt\"\n"
          "FILESIZE S3 \"missing.txt\"\nFILEEXISTS X1 \"made.txt\"\nFILEEXISTS X2 \"missing.txt\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadText(File("new.txt")), "one\r\ntwo\r\n");
  EXPECT_EQ(Value("S1"), "10");
  EXPECT_EQ(Value("S2"), "3");
  EXPECT_EQ(Value("S3"), "0");
  EXPECT_EQ(Value("X1"), "1");
  EXPECT_EQ(Value("X2"), "0");
  EXPECT_NE(
      Trace().find(Line(9, "FILELIST ") + "Number: 5000  File: t.txt\r\nNumber: 5001  File: new.txt\r\n"),
      std::string::npos)
      << Trace();
}

TEST_F(ScriptCommands, BadFileHandlesEndTheRun) {
  const struct {
    const char* script;
    const char* command;
  } cases[] = {
      {"FILEREAD L 5063\n", "FILEREAD L 5063"},
      {"FILEREAD L 4999\n", "FILEREAD L 4999"},
      {"FILEWRITE 5064 \"x\"\n", "FILEWRITE 5064 \"x\""},
      {"FILEEOF E \"abc\"\n", "FILEEOF E \"abc\""},
      {"FILECREATE F \"a.txt\"\nFILECLOSE F\nVARSET F 5001\nFILECLOSE F\n", "FILECLOSE F"},
      {"FILECLOSE NOTSET\n", "FILECLOSE NOTSET"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.script);
    EXPECT_EQ(r.exit_code, 1) << c.script;
    EXPECT_NE(
        r.err.find(std::string("Error:  Bad file parameter:\r\n    ") + c.command + "\r\n  In script file: "),
        std::string::npos)
        << r.err;
    EXPECT_NE(Trace().find(std::string("\r\n  Bad file parameter:\r\n    ") + c.command + "\r\n"),
              std::string::npos);
  }
}

TEST_F(ScriptCommands, FailuresOfTheSystemGiveZeroOrEmpty) {
  WriteText(File("keep.txt"), "keep");
  WriteText(File("other.txt"), "other");
  const RunResult r =
      Run("FILEOPEN A \"missing.txt\"\nFILEOPEN B \"sub\"\nFILEDELETE C \"missing.txt\"\n"
          "FILERENAME D \"keep.txt\" \"other.txt\"\nFILECOPY E \"keep.txt\" \"KEEP.TXT\"\n"
          "FILECOPY G \"missing.txt\" \"x.txt\"\nDIRREMOVE H \"nofolder\"\nDIRCHANGE I \"nofolder\"\n"
          "FILEGETATTRIB J \"missing.txt\"\nEXECUTE K \"no-such-program-here\"\nMCISENDSTRING L \"play "
          "cdaudio\"\n"
          "FILEFIND M \"nofolder/*.*\"\nFILEFINDNEXT N\nDIRMAKE O \"nofolder/deeper\"\n"
          "FILECREATE Q \"nofolder/x.txt\"\nFILEAPPEND R \"sub\"\n",
          "mkdir sub &&");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  for (const char* zero : {"A", "B", "C", "D", "E", "G", "H", "I", "J", "O", "Q", "R"})
    EXPECT_EQ(Value(zero), "0") << zero;
  EXPECT_EQ(Value("K"), "2");
  EXPECT_EQ(Value("L"), "Error: There is no multimedia command device on this system.");
  EXPECT_EQ(Value("M"), "");
  EXPECT_EQ(Value("N"), "");
  EXPECT_EQ(ReadText(File("keep.txt")), "keep");
  EXPECT_EQ(ReadText(File("other.txt")), "other");
}

TEST_F(ScriptCommands, CopyingMatchesIntoAFolderKeepsNamesContentsAndTimes) {
  fs::create_directory(File("into"));
  WriteText(File("a.txt"), "alpha");
  WriteText(File("b.TXT"), std::string(10000, 'b'));
  WriteText(File("c.dat"), "not copied");
  const auto old_time = fs::last_write_time(File("b.TXT")) - std::chrono::hours(30);
  fs::last_write_time(File("b.TXT"), old_time);
  const RunResult r = Run("FILECOPY R \"*.txt\" \"into\"\nFILECOPY S \"a.txt\" \"a.txt\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("R"), "1");
  EXPECT_EQ(Value("S"), "0");
  EXPECT_EQ(ReadText(File("into/a.txt")), "alpha");
  EXPECT_EQ(ReadText(File("into/b.TXT")), std::string(10000, 'b'));
  EXPECT_FALSE(fs::exists(File("into/c.dat")));
  EXPECT_EQ(
      std::chrono::duration_cast<std::chrono::seconds>(fs::last_write_time(File("into/b.TXT")) - old_time)
          .count(),
      0);
  EXPECT_EQ(ReadText(File("a.txt")), "alpha");
}

TEST_F(ScriptCommands, ACopyThatRunsOutOfSpaceLeavesNoTarget) {
  // The program may write files of at most 8 KiB; the 64 KiB copy falls
  // short and its target is removed, the small one is made.
  WriteText(File("big.bin"), std::string(65536, 'x'));
  WriteText(File("small.bin"), std::string(100, 's'));
  const RunResult r = Run("FILECOPY A \"big.bin\" \"big.copy\"\nFILECOPY B \"small.bin\" \"small.copy\"\n",
                          "trap '' XFSZ; prlimit --fsize=8192");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("A"), "0");
  EXPECT_EQ(Value("B"), "1");
  EXPECT_FALSE(fs::exists(File("big.copy")));
  EXPECT_EQ(ReadText(File("small.copy")), std::string(100, 's'));
}

TEST_F(ScriptCommands, RenamingAndDeletingWithPatterns) {
  for (const char* name : {"one.doc", "two.doc", "three.log", "ab.dat"}) WriteText(File(name), name);
  const RunResult r =
      Run("FILERENAME A \"*.doc\" \"*.bak\"\nFILERENAME B \"ab.dat\" \"x?.*\"\nFILERENAME C \"three.log\" "
          "\"t??x.l*\"\n"
          "FILEDELETE D \"*.bak\"\nFILEDELETE E \"*.bak\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("B"), "1");
  EXPECT_EQ(Value("C"), "1");
  EXPECT_EQ(Value("D"), "1");
  EXPECT_EQ(Value("E"), "1");  // nothing matched, nothing failed
  EXPECT_EQ(ReadText(File("xb.dat")), "ab.dat");
  EXPECT_EQ(ReadText(File("thrx.log")), "three.log");
  EXPECT_FALSE(fs::exists(File("one.bak")));
  EXPECT_FALSE(fs::exists(File("one.doc")));
}

TEST_F(ScriptCommands, FindWalksAFolderLargerThanOneDirectoryRead) {
  fs::create_directory(File("many"));
  std::set<std::string> made;
  for (int i = 0; i < 3000; ++i) {
    const std::string name =
        "file_with_a_rather_long_name_" + std::to_string(i) + (i % 3 == 0 ? ".dat" : ".txt");
    WriteText(File("many/" + name), "");
    if (i % 3 != 0) made.insert("many/" + name);
  }
  const RunResult r = Run(
      "FILECREATE O \"found.txt\"\nFILEFIND N \"many/*.TXT\"\n:LOOP\nIF N = \"\" GOTO DONE\nFILEWRITE O N\n"
      "FILEFINDNEXT N\nGOTO LOOP\n:DONE\nFILECLOSE O\nDEBUGFILE \"\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::set<std::string> found;
  const std::string list = ReadText(File("found.txt"));
  for (size_t at = 0; at < list.size();) {
    const size_t end = list.find("\r\n", at);
    found.insert(list.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(found.size(), 2000u);
  EXPECT_EQ(found, made);
}

TEST_F(ScriptCommands, FindWithoutAFilePartAndAfterItsEnd) {
  fs::create_directory(File("sub"));
  WriteText(File("sub/only.txt"), "");
  const RunResult r =
      Run("FILEFIND A \"sub/\"\nFILEFINDNEXT B\nFILEFINDNEXT C\nFILEFIND D \"SUB\\O*\"\nFILEFIND E \"\"\n"
          "FILEFIND F \"sub/*.none\"\nFILEFINDNEXT G\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("A"), "sub/only.txt");
  EXPECT_EQ(Value("B"), "");
  EXPECT_EQ(Value("C"), "");
  EXPECT_EQ(Value("D"), "SUB\\only.txt");
  // Every name of the current folder: the script, its trace, the outputs.
  const std::set<std::string> here = {"main.ss", "t.txt", "sub", "stdout.txt", "stderr.txt"};
  EXPECT_EQ(here.count(Value("E")), 1u) << Value("E");
  EXPECT_EQ(Value("F"), "");
  EXPECT_EQ(Value("G"), "");
}

TEST_F(ScriptCommands, FoldersAttributesAndPieces) {
  WriteText(File(".hidden"), "h");
  WriteText(File("plain.txt"), "p");
  const std::string real = fs::canonical(dir_.path()).string();
  const RunResult r = Run(
      "DIRMAKE A \"sub\"\nDIREXISTS B \"sub\"\nDIREXISTS C \"plain.txt\"\nDIRCHANGE D \"SUB\"\nDIRCURRENT E\n"
      "DIRCHANGE F \"..\"\nDIRREMOVE G \"sub\"\nFILESETATTRIB \"plain.txt\" 1\nFILEGETATTRIB H "
      "\"plain.txt\"\n"
      "FILESETATTRIB \"plain.txt\" 0\nFILEGETATTRIB I \"plain.txt\"\nFILEGETATTRIB J \".hidden\"\n"
      "DIRMAKE K \"d\"\nFILESETATTRIB \"d\" 1\nFILEGETATTRIB L \"d\"\nFILEPIECES M 0 0 1 1 "
      "\"d/name.ext\"\nFILEPIECES N 0 0 0 1 \"a.b.c\"\n"
      "FILEFULLPATH O \"x/../y.txt\"\nFILECDROM P \".\"\nFILEREMOTE Q \".\"\nDRIVESIZE R \".\"\n"
      "DRIVESIZE R2 \"C:\\Windows\"\n"
      "FILETEMP S \"d/abcdef\"\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("B"), "1");
  EXPECT_EQ(Value("C"), "0");
  EXPECT_EQ(Value("D"), "1");
  EXPECT_EQ(Value("E"), real + "/sub");
  EXPECT_EQ(Value("F"), "1");
  EXPECT_EQ(Value("G"), "1");
  EXPECT_EQ(Value("H"), "33");
  EXPECT_EQ(Value("I"), "32");
  EXPECT_EQ(Value("J"), "34");
  EXPECT_EQ(Value("L"), "16");
  EXPECT_EQ(Value("M"), "name.ext");
  EXPECT_EQ(Value("N"), ".c");
  EXPECT_EQ(Value("O"), real + "/y.txt");
  EXPECT_EQ(Value("P"), "0");
  EXPECT_EQ(Value("Q"), "0");
  EXPECT_NE(Value("R"), "0");
  // A name that does not exist asks the file system of its nearest folder.
  EXPECT_EQ(Value("R2"), Value("R"));
  const std::string temp = Value("S");
  ASSERT_EQ(temp.rfind("d/abc", 0), 0u) << temp;
  EXPECT_TRUE(fs::exists(File(temp)));
  EXPECT_FALSE(fs::exists(File("sub")));
}

TEST_F(ScriptCommands, EnvironmentAndDateAndSystemQueries) {
  setenv("VIDZOER_TEST_VALUE", "from outside", 1);
  char expected[128];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(expected, sizeof expected, "%Y-%m-%d %A %B %%", &local);
  const RunResult r =
      Run("ENVGET A \"vidzoer_test_value\"\nENVSET \"Script_Var\" \"set here\"\nENVGET B \"SCRIPT_VAR\"\n"
          "ENVGET C \"NOT_SET_AT_ALL_HERE\"\nSYSTEMDATETIME D '^Y-^m-^d ^A ^B ^^'\nSYSTEMPLATFORM E\n"
          "SYSTEMCOMMANDLINE F\nSYSTEMCURRENTSCRIPT G\nSYSTEMCURRENTEXE H\nSYSTEMOSMAJOR I\nSYSTEMMEMORY J\n"
          "SYSTEMCOLORS K\nSYSTEMTIMER T1\nDELAY 60\nSYSTEMTIMER T2\nCOMPUTE W = T2 - T1\nSOUND 440 50\n"
          "SYSTEMUSEMMX M 0\n");
  unsetenv("VIDZOER_TEST_VALUE");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("A"), "from outside");
  EXPECT_EQ(Value("B"), "set here");
  EXPECT_EQ(Value("C"), "");
  EXPECT_EQ(Value("D"), expected);
  EXPECT_EQ(Value("E"), "Win32");
  EXPECT_EQ(Value("F"), "");
  EXPECT_EQ(Value("G"), fs::canonical(dir_.path()).string() + "/main.ss");
  EXPECT_EQ(Value("H"), fs::canonical(std::string(VIDZOER_BIN_DIR) + "/vidzoscw").string());
  EXPECT_GT(std::atoi(Value("I").c_str()), 0);
  EXPECT_GT(std::atoi(Value("J").c_str()), 0);
  EXPECT_EQ(Value("K"), "16777216");
  EXPECT_GE(std::atoi(Value("W").c_str()), 60);
  EXPECT_EQ(Value("M"), "0");
}

TEST_F(ScriptCommands, ExecuteHandsQuotedArgumentsOverLiterally) {
  Executable(
      "rec.sh",
      "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.part\nmv args.part args.txt\n");
  const RunResult r = Run(
      "EXECUTE R '\"./rec.sh\" \"a b\" \"$(touch pwned)\" \"; touch pwned2\" x|y `touch pwned3` \"\" end'\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value("R"), "33");
  ASSERT_TRUE(WaitFor("args.txt"));
  EXPECT_EQ(ReadText(File("args.txt")), "a b\n$(touch pwned)\n; touch pwned2\nx|y\n`touch\npwned3`\n\nend\n");
  for (const char* name : {"pwned", "pwned2", "pwned3"}) EXPECT_FALSE(fs::exists(File(name))) << name;
}

TEST_F(ScriptCommands, PrintingGoesToThePrintFileAndItsCommand) {
  Executable("printer.sh", "#!/bin/sh\ncat > printed.part\nmv printed.part printed.txt\n");
  const std::string script =
      "SCREENGRAPHICS OK 64 48\nPRINTBEGIN \"out.prn\"\nTEXT \"first\"\nPRINTPAGEADV\nTEXTBEGIN\n  line %V%  "
      "\n"
      "TEXTEND\nPRINTEND\nTEXT \"on screen\"\nPRINTBEGIN\nTEXT \"default\"\n";
  RunResult r = Run("VARSET V 7\n" + script);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadText(File("out.prn")), "first\r\n\x0cline 7\r\n");
  EXPECT_EQ(ReadText(File("lpt1")), "default\r\n");

  setenv("VIDZOER_PRINTER", "./printer.sh", 1);
  r = Run("SCREENGRAPHICS OK 64 48\nPRINTBEGIN \"out2.prn\"\nTEXT \"piped\"\nPRINTEND\n");
  unsetenv("VIDZOER_PRINTER");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(WaitFor("printed.txt"));
  EXPECT_EQ(ReadText(File("printed.txt")), "piped\r\n");
  EXPECT_EQ(ReadText(File("out2.prn")), "piped\r\n");
}

TEST_F(ScriptCommands, TheFilesExampleListsTheScriptsOfItsFolder) {
  // The project's examples folder, two folders above this file's.
  const std::string examples =
      (fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples/").string();
  WriteText(File("files.ss"), ReadText(examples + "files.ss"));
  WriteText(File("other.ss"), std::string(1234, '#'));
  const std::string cmd = "cd " + Quote(dir_.path().string()) + " && " +
                          Quote(std::string(VIDZOER_BIN_DIR) + "/vidzoscw") + " files.ss >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string log = ReadText(File("files.log"));
  EXPECT_NE(log.find("\r\n  other.ss                     1234 bytes\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\n2 scripts.\r\n"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(File("scripts.txt")));
}

TEST(ScriptFileOps, WildcardsAndTargetNames) {
  const struct {
    const char *pattern, *name;
    bool match;
  } matches[] = {
      {"*.*", "abc", true},   {"*.*", "a.b", true},     {"*.TXT", "x.txt", true}, {"?.txt", "ab.txt", false},
      {"a*c", "abbbc", true}, {"a*c", "abcd", false},   {"*", "", true},          {"x.*", "x", true},
      {"x.*", "xy", false},   {"*a*a", "banana", true}, {"[a]", "a", false},      {"*.t?t", "a.txt", true}};
  for (const auto& m : matches)
    EXPECT_EQ(vidzoscript::WildcardMatch(m.pattern, m.name), m.match) << m.pattern << " " << m.name;
  const struct {
    const char *pattern, *source, *target;
  } targets[] = {{"*.bak", "one.txt", "one.bak"}, {"x?.*", "ab.dat", "xb.dat"},
                 {"*.*", "noext", "noext"},       {"new.txt", "old.dat", "new.txt"},
                 {"a*", "xyz.q", "ayz"},          {"??", "abcdef.g", "ab"},
                 {"*.?", "a.bcd", "a.b"},         {"t??x.l*", "three.log", "thrx.log"}};
  for (const auto& t : targets)
    EXPECT_EQ(vidzoscript::FormTargetName(t.pattern, t.source), t.target) << t.pattern << " " << t.source;
}

TEST(Launcher, SplitsWordsAsAShellWithDoubleQuotes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(platform::SplitCommandLine(""), V{});
  EXPECT_EQ(platform::SplitCommandLine("  a  b\tc "), (V{"a", "b", "c"}));
  EXPECT_EQ(platform::SplitCommandLine("\"a b\" c\"d e\"f"), (V{"a b", "cd ef"}));
  EXPECT_EQ(platform::SplitCommandLine("x \"\" y"), (V{"x", "", "y"}));
  EXPECT_EQ(platform::SplitCommandLine("'a b' $HOME;|& \"it's\" '\"q\"'"),
            (V{"a b", "$HOME;|&", "it's", "\"q\""}));
  EXPECT_EQ(platform::SplitCommandLine("\"open"), (V{"open"}));
  EXPECT_FALSE(platform::LaunchProgram({}));
  EXPECT_FALSE(platform::LaunchProgram({"/no/such/program"}));
}

TEST(DriveKinds, FromTheMountTable) {
  const std::string table =
      "22 1 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
      "30 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
      "40 30 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
      "41 30 0:50 / /net/share rw - nfs4 server:/export rw\n"
      "42 30 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
      "43 30 0:51 / /mnt/remote rw - fuse.sshfs user@host: rw\n"
      "44 30 8:2 /home /home rw master:3 extra - ext4 /dev/sda2 rw\n";
  auto removable = [](uint32_t major, uint32_t minor) { return major == 8 && minor >= 16 && minor < 32; };
  using platform::DriveKind;
  EXPECT_EQ(platform::DriveKindFromTable(table, 11, 0, removable), DriveKind::kCdrom);
  EXPECT_EQ(platform::DriveKindFromTable(table, 0, 50, removable), DriveKind::kRemote);
  EXPECT_EQ(platform::DriveKindFromTable(table, 0, 51, removable), DriveKind::kRemote);
  EXPECT_EQ(platform::DriveKindFromTable(table, 8, 17, removable), DriveKind::kRemovable);
  EXPECT_EQ(platform::DriveKindFromTable(table, 8, 2, removable), DriveKind::kFixed);
  EXPECT_EQ(platform::DriveKindFromTable(table, 9, 9, removable), DriveKind::kUnknown);
  EXPECT_EQ(platform::DriveKindFromTable("garbage\n- -\n1 2 3\n", 1, 2, removable), DriveKind::kUnknown);
}

}  // namespace
