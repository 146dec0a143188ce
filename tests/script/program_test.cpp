// vidzoscw run as a user runs it, headless, in a folder of its own: the
// debug trace byte for byte, the values scripts write with DEBUGTEXT, the
// error reports on standard error and the exit codes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/report_channel.h"
#include "player/fake_front_end.h"
#include "script_host.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using script_test::ReadText;
using script_test::WriteText;
using vidzoer_test::Quote;
using vidzoer_test::RunResult;

class ScriptProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    vidzoer_test::UseHeadlessEnvironment(dir_);
  }
  void Script(const std::string& name, const std::string& text) { WriteText(dir_.File(name), text); }
  // Runs vidzoscw in the test's folder.
  RunResult Run(const std::string& args) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    RunResult r = vidzoer_test::RunProgram(dir_, "vidzoscw", args);
    std::filesystem::current_path(cwd);
    return r;
  }
  std::string Trace() { return ReadText(dir_.File("t.txt")); }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_.File(name)); }
  // The texts that DEBUGTEXT wrote, in order.
  std::vector<std::string> Written() {
    const std::string trace = Trace();
    std::vector<std::string> lines;
    for (size_t at = 0; at <= trace.size();) {
      const size_t end = trace.find("\r\n", at);
      lines.push_back(trace.substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 2;
    }
    std::vector<std::string> written;
    for (size_t i = 0; i + 1 < lines.size(); ++i)
      if (lines[i].find(":      DEBUGTEXT ") != std::string::npos) written.push_back(lines[i + 1]);
    return written;
  }

  vidzoer_test::TempDir dir_;
};

const char kNotice[] = "VidzoScript - V3.1g: VidzoScript is part of";

TEST_F(ScriptProgram, TheLaterOfTwoLabelsWins) {
  Script("main.ss", "DEBUGFILE \"t.txt\"\nGOTO L\n:L\nDEBUGTEXT \"first\"\nEND\n:L\nDEBUGTEXT \"second\"\n");
  const RunResult r = Run("main.ss");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Trace(), "\r\n  2:      GOTO L\r\n\r\n  7:      DEBUGTEXT \"second\"\r\nsecond\r\n\r\n");
  EXPECT_NE(r.err.find(kNotice), std::string::npos) << r.err;
}

TEST_F(ScriptProgram, ACallersLabelIsNotSeenFromTheCalledScript) {
  Script("main.ss", "VARSET A 1\nCALL \"sub\"\n:OUTER\nVARSET B 1\n");
  Script("sub.ss", "GOTO OUTER\n");
  const RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(
      r.err.find("Error:  Label not found:\r\n    OUTER\r\n  In script file: sub.ss  At line number: 1.\r\n"),
      std::string::npos)
      << r.err;
}

TEST_F(ScriptProgram, GosubsNestSixtyFourEntriesDeep) {
  // The script takes one entry of the call stack, so 63 GOSUBs fit and the
  // 64th is refused.
  Script("deep.ss", "DEBUGFILE \"t.txt\"\nVARSET N 0\n:DEEP\nCOMPUTE N = N + 1\nGOSUB DEEP\n");
  const RunResult r = Run("deep");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Error:  Too many GOSUBs.  In script file: deep.ss  At line number: 5.\r\n"),
            std::string::npos)
      << r.err;
  const std::string trace = Trace();
  // Two blanks for the script and two for each of the 63 GOSUBs.
  EXPECT_NE(trace.find("\r\n" + std::string(128, ' ') + "4:      COMPUTE N = N + 1  ***N=\"64\"\r\n" +
                       std::string(128, ' ') + "5:      GOSUB DEEP\r\n  Too many GOSUBs.\r\n"),
            std::string::npos);
  EXPECT_EQ(trace.find("***N=\"65\""), std::string::npos);
}

TEST_F(ScriptProgram, ReturnAtTheTopOfACalledScriptGoesBackToItsCaller) {
  Script("main.ss", "DEBUGFILE \"t.txt\"\nCALL \"sub\"\nDEBUGTEXT \"back\"\n");
  Script("sub.ss", "DEBUGTEXT \"in sub\"\nRETURN\nDEBUGTEXT \"never\"\n");
  const RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The called script's trace starts on the CALL's line, which ends when the
  // call returns; RETURN and the end of the script each take two blanks off
  // the indentation.
  EXPECT_EQ(Trace(),
            "\r\n  2:      CALL \"sub\"    1:      DEBUGTEXT \"in sub\"\r\nin sub\r\n\r\n    2:      RETURN "
            "\r\n\r\n\r\n3:      DEBUGTEXT \"back\"\r\nback\r\n\r\n");
}

TEST_F(ScriptProgram, IfRunsTheRestOfTheLineOnlyWhenItHolds) {
  const std::string text =
      "DEBUGFILE \"t.txt\"\nVARSET A %s\nIF A = 5 GOTO X ; VARSET B 1\nDEBUGTEXT \"not jumped\"\n:X\n"
      "DEBUGTEXT \"B=%%B%%\"\n";
  char script[256];
  std::snprintf(script, sizeof script, text.c_str(), "5");
  Script("main.ss", script);
  RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Trace(),
            "\r\n  2:      VARSET A 5  ***A=\"5\"\r\n  3:      IF A = 5 GOTO X ; VARSET B 1  ***True \r\n   "
            "-> 3:    "
            "  GOTO X ; VARSET B 1\r\n\r\n   -> 3:      VARSET B 1  ***B=\"1\"\r\n  6:      DEBUGTEXT "
            "\"B=%B%\"\r\nB=1\r\n\r\n");
  std::snprintf(script, sizeof script, text.c_str(), "4");
  Script("main.ss", script);
  r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(
      Trace(),
      "\r\n  2:      VARSET A 4  ***A=\"4\"\r\n  3:      IF A = 5 GOTO X ; VARSET B 1  ***False\r\n  4:      "
      "DEBUGTEXT \"not jumped\"\r\nnot jumped\r\n\r\n  6:      DEBUGTEXT \"B=%B%\"\r\nB=\r\n\r\n");
}

TEST_F(ScriptProgram, ConditionsInterpretAndCallAndGosub) {
  Script("main.ss",
         "DEBUGFILE \"t.txt\"\n"
         "IFSET 3 < 10 R1 \"yes\" \"no\"\n"
         "IFSET \"abc\" @= \"ABC\" R2 1 0\n"
         "IFSET \"abc\" = \"ABC\" R3 1 0\n"
         "IFSET 10 > 9 R4 1 0\n"
         "IFSET \"a10\" > \"a9\" R5 1 0\n"
         "IFSET 2147483647 > -1 R6 1 0\n"
         "IFSET \"b\" <> \"B\" R7 1 0\n"
         "IFSET 1 \"==\" 1 R8 1 0\n"
         "IF 1 == 1 DEBUGTEXT \"never\"\n"
         "DEBUGTEXT \"%R1% %R2% %R3% %R4% %R5% %R6% %R7% %R8%\"\n"
         "VARSET C \"VARSET D 7\"\n"
         "INTERPRET C\n"
         "INTERPRET \"COMPUTE E = 2 * 21 ; VARSET F 1 # a comment\"\n"
         "DEBUGTEXT \"%D% %E% %F%\"\n"
         "CALLANDGOSUB \"lib\" \"SUB2\"\n"
         "DEBUGTEXT \"R=%R%\"\n");
  Script("lib.ss",
         "DEBUGTEXT \"lib top\"\n:SUB1\nVARSET R \"sub1\"\nRETURN\n:SUB2\nVARSET R \"sub2\"\nRETURN\n"
         "DEBUGTEXT \"never\"\n");
  const RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // "==" is no comparison; written out it is read as "=" and a right-hand
  // value "=", which 1 does not equal.
  EXPECT_EQ(Written(), (std::vector<std::string>{"yes 0 1 1 0 1 0 0", "7 42 1", "R=sub2"}));
}

TEST_F(ScriptProgram, VariablesAndArithmetic) {
  Script(
      "main.ss",
      "DEBUGFILE \"t.txt\"\n"
      "VARSET x 1\n"
      "IF X = 1 DEBUGTEXT \"case ok\"\n"
      "IF A = 0 DEBUGTEXT \"unset is zero\"\n"
      "IF A = \"\" DEBUGTEXT \"unset is empty\"\n"
      "COMPUTE C1 = 7 / 0\n"
      "COMPUTE C2 7 % 3\n"
      "COMPUTE C3 = 10 -3\n"
      "COMPUTEABS C4 -5\n"
      "DEBUGTEXT \"%C1% %C2% %C3% %C4%\"\n"
      "COMPUTESQRT S1 16\nCOMPUTESQRT S2 17\nCOMPUTESQRT S3 20\nCOMPUTESQRT S4 -1\nCOMPUTESQRT S5 -131071\n"
      "DEBUGTEXT \"%S1% %S2% %S3% %S4% %S5%\"\n"
      "RANDOMIZE 1\nRANDOM R1 32767\nRANDOM R2 32767\nRANDOM R3 32767\nRANDOM R4 99\n"
      "DEBUGTEXT \"%R1% %R2% %R3% %R4%\"\n"
      "VARSET P 1\nVARSET Q = \"two\"\nVARPUSH P Q\nVARSET P 9\nVARFREE Q\n"
      "DEBUGTEXT \"[%P%] [%Q%]\"\n"
      "VARPOP\n"
      "DEBUGTEXT \"[%P%] [%Q%]\"\n"
      "VARPOP ; VARSET Q 3\n"
      "DEBUGTEXT \"[%P%] [%Q%]\"\n"
      "VARSET NAME \"World\"\n"
      "DEBUGTEXT \"Hello %name%, %NAME%!\"\n");
  const RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The generator's draws from seed 1 are 41, 18467, 6334, 26500.
  EXPECT_EQ(Written(), (std::vector<std::string>{"case ok", "unset is empty", "0 1 7 5", "4 4 5 65536 65535",
                                                 "41 18467 6334 80", "[9] []", "[1] [two]", "[1] [3]",
                                                 "Hello World, World!"}));
}

TEST_F(ScriptProgram, AFullVariableStoreRefusesSilently) {
  // BIG takes 2 + 3 + 100 bytes, I 2 + 1 + 3, each V### 2 + 4 + 100.
  const int fit = (32768 - 105 - 6) / 106;
  const int last = 100 + fit - 1;
  const std::string big(100, 'x');
  Script("main.ss", "VARSET BIG \"" + big +
                        "\"\nVARSET I 100\n:LOOP\nINTERPRET 'VARSET V%I% \"%BIG%\"'\nCOMPUTE I = I + 1\n"
                        "IF I < 500 GOTO LOOP\nDEBUGFILE \"t.txt\"\nDEBUGTEXT \"[%V" +
                        std::to_string(last) + "%]\"\nDEBUGTEXT \"[%V" + std::to_string(last + 1) +
                        "%]\"\nVARSET V100 \"\"\nVARSET V999 1\nDEBUGTEXT \"[%V999%]\"\n");
  const RunResult r = Run("main");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Written(), (std::vector<std::string>{"[" + big + "]", "[]", "[1]"}));
}

TEST_F(ScriptProgram, ErrorsAsTheUserMeetsThem) {
  struct Case {
    const char* script;
    const char* report;
  } cases[] = {
      {"DEBUGFILE \"t.txt\"\nVARSET A 1\n\n# a comment\nFROB A 1\n",
       "Error:  Bad script command:\r\n    FROB A 1\r\n  In script file: main.ss  At line number: 5.\r\n"},
      {"COMPUTE X = 1 + 2 3\n",
       "Error:  Bad script command:\r\n    COMPUTE X = 1 + 2 3\r\n  In script file: main.ss  At line number: "
       "1.\r\n"},
      {"VARSET A 1\nDEBUGFILE t.txt\n",
       "Error:  Bad script command:\r\n    DEBUGFILE t.txt\r\n  In script file: main.ss  At line number: "
       "2.\r\n"},
      {"COMPUTE X = 1 < 2\n",
       "Error:  Unknown operator in command:\r\n    COMPUTE X = 1 < 2\r\n  In script file:"},
      {"COMPUTE X = 1 ! 2\n",
       "Error:  Needed a number in command:\r\n    COMPUTE X = 1 ! 2\r\n  In script file:"},
      {"COMPUTE X + 1 2\n", "Error:  Error in compute command:\r\n    COMPUTE X + 1 2\r\n  In script file:"},
      {"\n\nMCISENDSTRING G \"open cdaudio\" 200\n",
       "Error:  Bad script command:\r\n    MCISENDSTRING G \"open cdaudio\" 200\r\n  In script file: "
       "main.ss  At line number: 3.\r\n"},
      {"SCREENCLEAR 1\n",
       "Error:  A window hasn't been created yet (use ScreenGraphics first).\r\n  In script file: main.ss"},
      {"GOTO NOWHERE\n", "Error:  Label not found:\r\n    NOWHERE\r\n  In script file: main.ss"},
      {"VARSET\n", "Error:  Needed a variable in command:\r\n    VARSET \r\n  In script file:"},
      {"IF 1\n", "Error:  Needed a parameter in command:\r\n    IF 1\r\n  In script file:"},
      {"GOTO \"\"\n",
       "Error:  Needed a non-empty parameter in command:\r\n    GOTO \"\"\r\n  In script file:"},
      {"CALL \"missing\"\n",
       "Error:  Error opening script in command:\r\n    CALL \"missing\"\r\n  In script file: main.ss  At "
       "line "
       "number: 1.\r\n"},
      {"IF 1 = 1 FROB\n",
       "Error:  Bad script command:\r\n    FROB\r\n  In script file: main.ss  At line number: 1."},
  };
  for (const Case& c : cases) {
    Script("main.ss", c.script);
    const RunResult r = Run("main.ss");
    EXPECT_EQ(r.exit_code, 1) << c.script;
    EXPECT_NE(r.err.find(c.report), std::string::npos) << c.script << "\n" << r.err;
    EXPECT_FALSE(Exists("t.txt")) << c.script;  // nothing ran before a load error; no unquoted name made
    EXPECT_NE(r.err.find(kNotice), std::string::npos);
  }
}

TEST_F(ScriptProgram, LinesOf765And766Characters) {
  for (int length : {765, 766}) {
    const std::string line = "VARSET A \"" + std::string(static_cast<size_t>(length) - 11, 'x') + "\"";
    ASSERT_EQ(line.size(), static_cast<size_t>(length));
    Script("main.ss", line + "\r\nFROB\r\n");
    const RunResult r = Run("main");
    EXPECT_EQ(r.exit_code, 1);
    // The 766-character line is read as that line and an empty one.
    const std::string at = "At line number: " + std::to_string(length == 765 ? 2 : 3) + ".";
    EXPECT_NE(r.err.find("Bad script command:\r\n    FROB \r\n  In script file: main.ss  " + at),
              std::string::npos)
        << length << r.err;
  }
}

TEST_F(ScriptProgram, NoScriptAndNoAutoexecGivesOnlyTheSyntaxMessage) {
  const char syntax[] =
      "VidzoScript V 3.1g - Vidzoer script player:  Syntax:  VidzoScr  <Vidzoer Script[.ss]>\n";
  RunResult r = Run("");
  EXPECT_NE(r.exit_code, 0);
  EXPECT_EQ(r.err, syntax);
  // A "/" left after the front end's switch is taken out: the same.
  r = Run("/# /#");
  EXPECT_NE(r.exit_code, 0);
  EXPECT_EQ(r.err, syntax);
  Script("autoexec.ss", "DEBUGFILE \"t.txt\"\nDEBUGTEXT \"autoexec ran\"\n");
  r = Run("");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Written(), std::vector<std::string>{"autoexec ran"});
}

TEST_F(ScriptProgram, AMissingScriptIsNamed) {
  const RunResult r = Run("nothere");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Error:  Error opening:\r\n    nothere\r\n\n"), std::string::npos) << r.err;
}

TEST_F(ScriptProgram, NamesWithBackslashesAndAnotherCase) {
  std::filesystem::create_directories(dir_.path() / "Lib");
  Script("Lib/Sub.ss", "VARSET FROM \"sub\"\n");
  Script("main.ss", "CALL \"lib\\sub\"\nDEBUGFILE \"t.txt\"\nDEBUGTEXT \"%FROM%\"\n");
  const RunResult r = Run("MAIN");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Written(), std::vector<std::string>{"sub"});
}

TEST_F(ScriptProgram, ReportsToTheFrontEnd) {
  Script("main.ss", "VARSET A 1\n");
  const uint32_t id = 400000 + static_cast<uint32_t>(getpid() % 100000);
  {
    player_test::FakeFrontEnd front(id, "Vidzoer for Windows - work", 0);
    ASSERT_TRUE(front.listening());
    const RunResult r = Run("/#" + std::to_string(id) + " main");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find(kNotice), std::string::npos);  // started by the front end: no notice
    const auto records = front.Records(3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, platform::kReportCaption);
    EXPECT_EQ(records[1].kind, platform::kReportMessage);
    EXPECT_EQ(records[1].identifier, platform::kReportHello);
    EXPECT_EQ(records[2].kind, platform::kReportCopyData);
    EXPECT_EQ(records[2].identifier, platform::kReportDataText);
    const std::string text = "VidzoScript - V3.1g  Vidzoer script player";
    std::string expected = text;
    expected.resize(text.size() + 16, '\0');
    EXPECT_EQ(std::string(records[2].data.begin(), records[2].data.end()), expected);
  }
  {
    // A front end that asks not to be reported to.
    player_test::FakeFrontEnd front(id, "Vidzoer for Windows", platform::kReportForgetMe);
    const RunResult r = Run("main /#" + std::to_string(id));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(front.Records(2).size(), 2u);
  }
  {
    // Another program's window: the notice is shown and the report sent.
    player_test::FakeFrontEnd front(id, "Some other window", 0);
    const RunResult r = Run("/#" + std::to_string(id) + " main");
    EXPECT_NE(r.err.find(kNotice), std::string::npos);
    const auto records = front.Records(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].kind, platform::kReportCopyData);
  }
}

}  // namespace
