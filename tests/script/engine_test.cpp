// The script engine in-process: the command table, the tokenizer, variable
// expansion, the variable store and stack, the arithmetic, and runs of small
// scripts through a test host.
#include "script/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>

#include "script/command_table.h"
#include "script/variables.h"
#include "script_host.h"

namespace {

using script_test::ReadText;
using script_test::TestHost;
using script_test::WriteText;
using vidzoscript::Engine;
using vidzoscript::TokenKind;

TEST(CommandTable, SortedByByteValueAndFoundByTheSearch) {
  const auto& names = vidzoscript::kCommandNames;
  ASSERT_EQ(names.size(), 188u);
  for (size_t i = 1; i < names.size(); ++i) EXPECT_LT(std::strcmp(names[i - 1], names[i]), 0) << names[i];
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(vidzoscript::FindCommand(names[i]), static_cast<int>(i));
  for (const char* miss : {"", "A", "ANIMATION", "ANIMATIONADVANCENOPALETTEX", "STRLPADZ", "goto", "Goto",
                           "VARSETX", "ZZZ", "AAA", "IF ", "\xff"})
    EXPECT_EQ(vidzoscript::FindCommand(miss), -1) << miss;
  // Pairs where one name is the start of the next.
  EXPECT_LT(vidzoscript::FindCommand("ANIMATIONADVANCE"),
            vidzoscript::FindCommand("ANIMATIONADVANCENOPALETTE"));
  EXPECT_LT(vidzoscript::FindCommand("STRLPAD"), vidzoscript::FindCommand("STRLPADZERO"));
}

TEST(CommandTable, FamiliesRegisterOnlyKnownNamesAndEveryCommand) {
  vidzoer_test::TempDir dir;
  TestHost host(dir);
  Engine engine(host);
  EXPECT_TRUE(engine.commands().Unknown().empty());
  for (size_t i = 0; i < vidzoscript::kCommandCount; ++i)
    EXPECT_TRUE(engine.commands().Built(i)) << vidzoscript::kCommandNames[i];
}

// Runs a script text as "main.ss" in a fresh engine; the boxes shown.
struct Outcome {
  bool failed = false;
  std::vector<script_test::Box> boxes;
  std::string trace;
};

class EngineRun : public ::testing::Test {
 protected:
  Outcome RunText(const std::string& text, Engine* engine_in = nullptr) {
    WriteText(dir_.File("main.ss"), text);
    std::filesystem::remove(dir_.File("t.txt"));
    Engine local(host_);
    Engine& engine = engine_in ? *engine_in : local;
    host_.boxes.clear();
    Outcome run;
    EXPECT_TRUE(engine.RunTop("main", &run.failed));
    engine.CloseAll();
    run.boxes = host_.boxes;
    run.trace = ReadText(dir_.File("t.txt"));
    return run;
  }
  vidzoer_test::TempDir dir_;
  TestHost host_{dir_};
};

TEST_F(EngineRun, ACommandWithoutItsFamilyEndsTheRunNamingIt) {
  for (const char* command : {"MCISENDSTRING", "STRLENGTH", "FILEOPEN", "SYSTEMTIMER"}) {
    const std::string name = command;
    Engine engine(host_);
    engine.commands().Set(command, vidzoscript::NotBuiltHandler);
    const Outcome run = RunText("VARSET A 1\n" + name + " 1 2\nVARSET B 2\n", &engine);
    EXPECT_TRUE(run.failed) << name;
    ASSERT_EQ(run.boxes.size(), 1u) << name;
    EXPECT_EQ(run.boxes[0].text, " Command not available in this version:\r\n    " + name +
                                     " 1 2\r\n  In script file: main.ss  At line number: 2.\r\n");
    EXPECT_EQ(run.boxes[0].caption, "Error");
  }
}

// The tokens NextToken gives for a parameter text, each as kind:text.
std::string Tokens(Engine& engine, const std::string& text, bool evaluate, size_t at_most = 20) {
  engine.parameter_text() = text;
  std::string out, token;
  for (size_t i = 0; i < at_most; ++i) {
    const TokenKind kind = engine.NextToken(token, evaluate);
    if (kind == TokenKind::kNone) break;
    static const char* const kNames[] = {"none", "s", "n", "w", "c", "o"};
    out += std::string(kNames[static_cast<int>(kind)]) + ":" + token + "|";
  }
  return out;
}

TEST_F(EngineRun, TokenKinds) {
  Engine engine(host_);
  engine.variables().Set("A", "5");
  engine.variables().Set("B", "hello");
  engine.variables().Set("S", " 12");
  struct Case {
    const char* text;
    bool evaluate;
    const char* tokens;
  } cases[] = {
      {"A, \"q s\" 'r' 7 -3 - x", true, "n:5|s:q s|s:r|n:7|n:-3|o:-|s:|"},
      {"A, B S 5x", true, "n:5|s:hello|n: 12|s:5x|"},
      {"A B -5 5x a9", false, "w:A|w:B|w:-5|w:5x|w:a9|"},
      {"<> <= >= @= @<> = <>= @x", true, "c:<>|c:<=|c:>=|c:@=|c:@<>|c:=|c:<>=|s:|s:|"},
      {"==", true, "c:=|c:=|"},
      {"* / + | ^ % & -", true, "o:*|o:/|o:+|o:||o:^|o:%|o:&|o:-|"},
      {"\"abc", true, "s:abc|"},
      {"'it\"s' \"it's\"", false, "s:it\"s|s:it's|"},
      {"\"%B% world\" '%a%'", true, "s:hello world|s:5|"},
      {"  , ,\t", true, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(engine, c.text, c.evaluate, 9), c.tokens) << c.text;
  // A character that begins no token gives an empty word and stays.
  engine.parameter_text() = "a.vdz";
  std::string token;
  EXPECT_EQ(engine.NextToken(token, true), TokenKind::kNumber);
  EXPECT_EQ(token, "5");
  EXPECT_EQ(engine.NextToken(token, true), TokenKind::kString);
  EXPECT_EQ(token, "");
  EXPECT_EQ(engine.parameter_text(), ".vdz");
}

TEST(Numeric, TheRuleForNumbers) {
  struct Case {
    const char* text;
    bool numeric;
    int32_t value;
  } cases[] = {{"", false, 0},
               {"-", true, 0},
               {"5", true, 5},
               {"-5", true, -5},
               {" 5", true, 5},
               {"  5", false, 5},
               {"5 ", false, 5},
               {"a", false, 0},
               {"--5", false, 0},
               {"+5", false, 5},
               {" -7", true, -7},
               {"12a", false, 12},
               {"2147483647", true, INT32_MAX},
               {"2147483648", true, INT32_MIN},
               {"4294967301", true, 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(vidzoscript::IsNumeric(c.text), c.numeric) << c.text;
    EXPECT_EQ(vidzoscript::ToNumber(c.text), c.value) << c.text;
  }
}

TEST_F(EngineRun, ExpandVariablesInStrings) {
  Engine engine(host_);
  engine.variables().Set("A", "5");
  engine.variables().Set("NAME", "World");
  engine.variables().Set("SELF", "%SELF%");
  engine.variables().Set("TWICE", "%TWICE%%TWICE%");
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%A%", "5"},         {"Hello %name%!", "Hello World!"},
      {"x%A%y z", "x5y z"}, {"50%", "50%"},
      {"%%A%", "%5"},       {"%A% and %NAME% and %A%", "5 and World and 5"},
      {"%UNSET%.", "."},    {"a% b%", "a% b%"},    // the pair must be in one word
      {"%%", "%%"},         {"%SELF%", "%SELF%"},  // stops after a bounded number of rounds
  };
  for (const Case& c : cases) EXPECT_EQ(engine.ExpandVariables(c.text), c.expanded) << c.text;
  const std::string grown = engine.ExpandVariables("%TWICE%");
  EXPECT_EQ(grown.size(), vidzoscript::kMaxText);
}

TEST(VariableStore, CaseDeletionAndTheFullStore) {
  vidzoscript::VariableStore store;
  EXPECT_TRUE(store.Set(" abc ", "1"));
  EXPECT_EQ(store.Get("ABC"), "1");
  EXPECT_EQ(store.Get("aBc"), "1");
  EXPECT_EQ(store.Used(), 2u + 3 + 1);
  EXPECT_TRUE(store.Set("ABC", ""));
  EXPECT_EQ(store.Get("abc"), "");
  EXPECT_EQ(store.Used(), 0u);
  EXPECT_TRUE(store.Set("NEW", ""));  // an empty value creates nothing
  EXPECT_TRUE(store.Items().empty());
  // Fill with 100-byte values: each takes 2 + 5 + 100 bytes.
  const std::string value(100, 'x');
  int made = 0;
  for (int i = 1000; i < 1400; ++i) made += store.Set("V" + std::to_string(i), value);
  EXPECT_EQ(made, static_cast<int>(vidzoscript::VariableStore::kCapacity / 107));
  EXPECT_LE(store.Used(), vidzoscript::VariableStore::kCapacity);
  EXPECT_EQ(store.Get("V" + std::to_string(1000 + made)), "");
  EXPECT_EQ(store.Get("V" + std::to_string(999 + made)), value);
  // A longer value that no longer fits leaves the old one; a shorter one fits.
  const size_t room = vidzoscript::VariableStore::kCapacity - store.Used();
  EXPECT_FALSE(store.Set("V1000", std::string(100 + room + 1, 'y')));
  EXPECT_EQ(store.Get("V1000"), value);
  EXPECT_TRUE(store.Set("V1000", std::string(100 + room, 'y')));
  EXPECT_EQ(store.Used(), vidzoscript::VariableStore::kCapacity);
  EXPECT_TRUE(store.Set("V1001", ""));
  EXPECT_TRUE(store.Set("Z", "1"));
}

TEST(VariableStack, FramesAndItsLimit) {
  vidzoscript::VariableStack stack;
  vidzoscript::VariableStack::Frame frame;
  EXPECT_FALSE(stack.Pop(frame));
  ASSERT_TRUE(stack.Push({{"A", "1"}, {"B", ""}}));
  ASSERT_TRUE(stack.Push({}));
  EXPECT_TRUE(stack.Pop(frame));
  EXPECT_TRUE(frame.empty());
  EXPECT_TRUE(stack.Pop(frame));
  ASSERT_EQ(frame.size(), 2u);
  EXPECT_EQ(frame[0].second, "1");
  const vidzoscript::VariableStack::Frame big = {{"N", std::string(1000, 'v')}};
  size_t pushed = 0;
  while (stack.Push(big) && pushed < 100000) ++pushed;
  EXPECT_EQ(pushed, vidzoscript::VariableStack::kCapacity / (1 + 2 + 1 + 1000));
}

TEST(Arithmetic, ComputeOperators) {
  struct Case {
    int32_t a;
    char op;
    int32_t b;
    int32_t result;
  } cases[] = {{7, '/', 0, 0},
               {7, '%', 3, 1},
               {7, '%', 0, 0},
               {10, '-', 3, 7},
               {-7, '/', 2, -3},
               {-7, '%', 2, -1},
               {6, '*', 7, 42},
               {12, '&', 10, 8},
               {12, '|', 3, 15},
               {12, '^', 10, 6},
               {INT32_MAX, '+', 1, INT32_MIN},
               {INT32_MIN, '/', -1, INT32_MIN},
               {INT32_MIN, '%', -1, 0},
               {65536, '*', 65536, 0}};
  for (const Case& c : cases) {
    bool known = false;
    EXPECT_EQ(vidzoscript::Compute(c.a, c.op, c.b, &known), c.result) << c.a << c.op << c.b;
    EXPECT_TRUE(known);
  }
  for (char op : {'<', '!', '=', ' '}) {
    bool known = true;
    vidzoscript::Compute(1, op, 2, &known);
    EXPECT_FALSE(known) << op;
  }
}

TEST(Arithmetic, SquareRoot) {
  struct Case {
    uint32_t n, root;
  } cases[] = {{0, 0},
               {1, 1},
               {2, 2},
               {4, 2},
               {16, 4},
               {17, 4},
               {20, 5},
               {99, 10},
               {4294836225u, 65535},  // 65535 squared
               {4294836224u, 65535},
               {4294967295u, 65536},
               {2147483647u, 46341}};
  for (const Case& c : cases) EXPECT_EQ(vidzoscript::IntegerSquareRoot(c.n), c.root) << c.n;
}

TEST(Arithmetic, RandomGeneratorAndScaling) {
  // The generator's first draws from seed 1.
  vidzoscript::RandomGenerator random;
  random.Seed(1);
  const uint32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (uint32_t e : expected) EXPECT_EQ(random.Draw(), e);
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(32767, 32767), 32767);  // 32768 is above n
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(0, 10), 0);
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(16383, 1), 0);
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(16384, 1), 1);
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(32767, 1), 1);
  EXPECT_EQ(vidzoscript::RandomBelowOrAt(32767, INT32_MAX), INT32_MAX);
}

TEST_F(EngineRun, VarListNeedsTheWindowAndWritesToTraceOrScreen) {
  Outcome run = RunText("VARSET A 1\nVARLIST\n");
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text,
            " A window hasn't been created yet (use ScreenGraphics first).\r\n  In script file: main.ss  At "
            "line number: 2.\r\n");
  host_.window = true;
  run = RunText("VARSET A 1\nVARSET b \"two words\"\nVARLIST ; VARSET C 3\n");
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(host_.screen, (std::vector<std::string>{"A=1", "B=two words"}));
  host_.screen.clear();
  run = RunText("VARSET A 1\nDEBUGFILE \"t.txt\"\nVARLIST\n");
  EXPECT_TRUE(host_.screen.empty());
  EXPECT_EQ(run.trace, "\r\n  3:      VARLIST \r\nA=1\r\n\r\n");
  host_.window = false;
}

// TEXTBEGIN reads the lines kept as text; here a stand-in handler records
// them as the text command will.
std::vector<std::string> g_text_lines;
void RecordText(Engine& e) {
  std::string line;
  while (e.NextTextLine(line)) {
    g_text_lines.push_back(line);
    std::string word = line;
    word.erase(0, word.find_first_not_of(" \t"));
    if (vidzoscript::UpperCase(word.substr(0, 7)) == "TEXTEND") return;
  }
  e.SetControl(vidzoscript::kControlLeaveScript);
}

TEST_F(EngineRun, LinesAfterTextBeginAreKeptAsText) {
  Engine engine(host_);
  ASSERT_TRUE(engine.commands().Set("TEXTBEGIN", RecordText));
  g_text_lines.clear();
  Outcome run =
      RunText("TEXTBEGIN\n  hello %A%\n:notalabel\nBOGUS words\n\n  textend now\nVARSET B 1\nEND\n", &engine);
  EXPECT_FALSE(run.failed) << (run.boxes.empty() ? "" : run.boxes[0].text);
  EXPECT_EQ(g_text_lines,
            (std::vector<std::string>{"  hello %A%", ":notalabel", "BOGUS words", "", "  textend now"}));
  EXPECT_EQ(engine.GetVariable("B"), "1");
  // Without TEXTEND the lines run to the end of the script, which is left.
  g_text_lines.clear();
  run = RunText("TEXTBEGIN\nBOGUS\nVARSET C 1\n", &engine);
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(g_text_lines, (std::vector<std::string>{"BOGUS", "VARSET C 1"}));
  EXPECT_EQ(engine.GetVariable("C"), "");
}

TEST_F(EngineRun, LineNumbersWrapAtSixteenBits) {
  const Outcome run = RunText(std::string(65536, '\n') + "BOGUS\n");
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text,
            " Bad script command:\r\n    BOGUS \r\n  In script file: main.ss  At line number: 1.\r\n");
}

TEST_F(EngineRun, LabelTableLimitAndLongLabels) {
  std::string text;
  for (int i = 0; i < 513; ++i) text += ":L" + std::to_string(i) + "\n";
  Outcome run = RunText(text);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, " Too many labels.  In script file: main.ss  At line number: 513.\r\n");
  // Names are cut to 31 characters at definition and lookup alike.
  Engine engine(host_);
  run = RunText(
      "GOTO ABCDEFGHIJKLMNOPQRSTUVWXYZ01234ZZZ\nEND\n:abcdefghijklmnopqrstuvwxyz01234567\nVARSET R 1\n",
      &engine);
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(engine.GetVariable("R"), "1");
}

TEST_F(EngineRun, CallsNestOnlyAsDeepAsTheCallStack) {
  Engine engine(host_);
  WriteText(dir_.File("rec.ss"), "COMPUTE N = N + 1\nCALL \"rec\"\n");
  const Outcome run = RunText("VARSET N 0\nCALL \"rec\"\n", &engine);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, " Too many GOSUBs.  In script file: rec.ss  At line number: 2.\r\n");
  // main.ss takes one entry and each rec.ss one: 63 runs of rec.ss.
  EXPECT_EQ(engine.GetVariable("N"), "63");
}

class BudgetHost : public TestHost {
 public:
  using TestHost::TestHost;
  bool Step() override { return ++steps <= 1000; }
  int steps = 0;
};

TEST(EngineBudget, EndlessCommandLinesEndAtTheHostsBudget) {
  vidzoer_test::TempDir dir;
  BudgetHost host(dir);
  WriteText(dir.File("loop.ss"), "VARSET A \"INTERPRET A\"\nINTERPRET A\nVARSET B 1\n");
  Engine engine(host);
  bool failed = true;
  EXPECT_TRUE(engine.RunTop("loop", &failed));
  EXPECT_FALSE(failed);
  EXPECT_EQ(host.steps, 1001);
  EXPECT_EQ(engine.GetVariable("B"), "");
}

TEST_F(EngineRun, AnErrorLeavesTheEngineReadyForTheNextRun) {
  Engine engine(host_);
  WriteText(dir_.File("sub.ss"), "GOSUB X\n:X\nBOGUS2 x\n");
  Outcome run = RunText("CALL \"sub\"\n", &engine);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_NE(run.boxes[0].text.find("In script file: sub.ss  At line number: 3."), std::string::npos);
  run = RunText("DEBUGFILE \"t.txt\"\nVARSET Q 1\n", &engine);
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(run.trace, "\r\n  2:      VARSET Q 1  ***Q=\"1\"\r\n");
}

}  // namespace

namespace {

struct CountingState : vidzoscript::FamilyState {
  int resets = 0, ends = 0, uses = 0;
  void ResetDisplay(Engine&) override { ++resets; }
  void EndRun(Engine&) override { ++ends; }
};
struct OtherState : vidzoscript::FamilyState {
  int uses = 0;
};

TEST_F(EngineRun, FamilyStateIsKeptPerEngineAndToldOfResets) {
  Engine engine(host_);
  ++engine.State<CountingState>().uses;
  ++engine.State<CountingState>().uses;
  ++engine.State<OtherState>().uses;
  EXPECT_EQ(engine.State<CountingState>().uses, 2);
  EXPECT_EQ(engine.State<OtherState>().uses, 1);
  WriteText(dir_.File("main.ss"), "FROB\n");
  bool failed = false;
  engine.RunTop("main", &failed);
  EXPECT_TRUE(failed);
  EXPECT_EQ(engine.State<CountingState>().resets, 1);  // the error resets the display
  EXPECT_EQ(engine.State<CountingState>().ends, 0);
  engine.CloseAll();
  EXPECT_EQ(engine.State<CountingState>().resets, 2);
  EXPECT_EQ(engine.State<CountingState>().ends, 1);
  Engine other(host_);
  EXPECT_EQ(other.State<CountingState>().uses, 0);
}

}  // namespace
