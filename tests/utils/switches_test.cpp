#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qelutil/qelutil.h"
#include "text_buffer.h"

namespace {

using Line = vidzoer_test::TextBuffer<256>;

TEST(GetSwitchNum, TakesTheNumberAndLeavesTheRest) {
  Line l("in.bmp /S10 out.flc");
  EXPECT_EQ(GetSwitchNum(l.buf, 'S', 99), 10);
  EXPECT_EQ(l.str(), "in.bmp  out.flc");

  Line neg("in.bmp /s-5");
  EXPECT_EQ(GetSwitchNum(neg.buf, 'S', 99), -5);
  EXPECT_EQ(neg.str(), "in.bmp ");

  Line none("/Sx");
  EXPECT_EQ(GetSwitchNum(none.buf, 'S', 7), 7);
  EXPECT_EQ(none.str(), "/Sx");
}

TEST(GetSwitchNum, SkipsNonNumbersAndQuotedText) {
  Line l("/S- /Sx \"/S1\" /S22/T3");
  EXPECT_EQ(GetSwitchNum(l.buf, 'S', 0), 22);
  EXPECT_EQ(l.str(), "/S- /Sx \"/S1\" /T3");
  EXPECT_EQ(GetSwitchNum(l.buf, 'T', 0), 3);
  EXPECT_EQ(GetSwitchNum(l.buf, 'S', -1), -1);
  EXPECT_EQ(GetSwitchNum(nullptr, 'S', 4), 4);
  // Only "/" starts a switch, wherever it stands.
  Line glued("a.vdz/L3");
  EXPECT_EQ(GetSwitchNum(glued.buf, 'L', 1), 3);
  EXPECT_EQ(glued.str(), "a.vdz");
  Line end("/L");
  EXPECT_EQ(GetSwitchNum(end.buf, 'L', 1), 1);
}

TEST(GetSwitch, BareSwitchesOnly) {
  Line l("/F5");
  EXPECT_FALSE(GetSwitch(l.buf, 'F'));
  EXPECT_EQ(l.str(), "/F5");

  Line two("/f /G");
  EXPECT_TRUE(GetSwitch(two.buf, 'F'));
  EXPECT_EQ(two.str(), " /G");
  EXPECT_TRUE(GetSwitch(two.buf, 'G'));
  EXPECT_EQ(two.str(), " ");

  // Followed by punctuation below "0", or by the next switch.
  Line glued("/B/C-x");
  EXPECT_TRUE(GetSwitch(glued.buf, 'C'));
  EXPECT_EQ(glued.str(), "/B-x");
  EXPECT_TRUE(GetSwitch(glued.buf, 'B'));
  EXPECT_EQ(glued.str(), "-x");

  // A later bare occurrence is found past a numbered one.
  Line later("/L3 /L");
  EXPECT_TRUE(GetSwitch(later.buf, 'L'));
  EXPECT_EQ(later.str(), "/L3 ");

  Line quoted("\"/home/u/a.vdz\" /Q");
  EXPECT_FALSE(GetSwitch(quoted.buf, 'H'));
  EXPECT_FALSE(GetSwitch(quoted.buf, 'U'));
  EXPECT_TRUE(GetSwitch(quoted.buf, 'Q'));
  EXPECT_EQ(quoted.str(), "\"/home/u/a.vdz\" ");

  // A letter followed by a letter is another word, not this switch.
  Line word("/Sound");
  EXPECT_FALSE(GetSwitch(word.buf, 'S'));
  Line slash("/");
  EXPECT_FALSE(GetSwitch(slash.buf, 'S'));
  EXPECT_EQ(slash.str(), "/");
}

struct StrCase {
  const char* line;
  char letter;
  const char* dflt;
  bool found;
  const char* text;
  const char* rest;
};

TEST(GetSwitchStr, QuotedAndPlainTexts) {
  const StrCase cases[] = {
      {"/&\"my pal.bmp\" rest", '&', "none", true, "my pal.bmp", " rest"},
      {"a /Ttitle/S b", 'T', "", true, "title", "a /S b"},
      {"a /T b", 'T', "dflt", false, "dflt", "a /T b"},
      {"a /T b", 'X', nullptr, false, "", "a /T b"},
      // A path as a switch text must be quoted; unquoted it ends at the "/".
      {"/O\"/tmp/out.flc\" /O/tmp", 'O', "", true, "/tmp/out.flc", " /O/tmp"},
      {" /O/tmp", 'O', "x", true, "", " /tmp"},
      {"/T\"no end", 'T', "", true, "no end", ""},
  };
  for (const StrCase& c : cases) {
    Line line(c.line);
    Line dest("");
    EXPECT_EQ(GetSwitchStr(line.buf, c.letter, dest.buf, c.dflt) != 0, c.found) << c.line;
    EXPECT_EQ(dest.str(), c.text) << c.line;
    EXPECT_EQ(line.str(), c.rest) << c.line;
  }
}

TEST(Switches, QuotedTextIsNeverTaken) {
  // Every switch function leaves names in quotes alone, including a name
  // whose folders look like switches.
  Line l("\"/S3/F/T x\" /S4");
  char dest[256];
  EXPECT_FALSE(GetSwitch(l.buf, 'F'));
  EXPECT_FALSE(GetSwitchStr(l.buf, 'T', dest, ""));
  EXPECT_EQ(GetSwitchNum(l.buf, 'S', 0), 4);
  EXPECT_EQ(l.str(), "\"/S3/F/T x\" ");
  // An unmatched quote does not hide what follows it.
  Line open("\"a /S5");
  EXPECT_EQ(GetSwitchNum(open.buf, 'S', 0), 5);
}

}  // namespace
