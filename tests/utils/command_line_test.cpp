// argv as a user gives it, through the command-line rule, then taken apart
// by the switch and name functions as the programs do.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "qelutil/qelutil.h"
#include "text_buffer.h"

namespace {

using platform::SwitchDef;
using platform::SwitchKind;

// The switches of a player-like program: numbers, flags, a letter that is
// both, and the front end's "/#".
const SwitchDef kPlayer[] = {
    {'L', SwitchKind::kNumber}, {'L', SwitchKind::kFlag}, {'T', SwitchKind::kNumber},
    {'S', SwitchKind::kFlag},   {'Q', SwitchKind::kFlag}, {'#', SwitchKind::kNumber},
    {'X', SwitchKind::kNumber}, {'P', SwitchKind::kFlag},
};

std::string Line(std::vector<const char*> argv) {
  argv.insert(argv.begin(), "vidzoplw");
  std::optional<std::string> line =
      platform::BuildCommandLine(static_cast<int>(argv.size()), argv.data(), kPlayer);
  return line.value_or("<error>");
}

using Buffer = vidzoer_test::TextBuffer<512>;

TEST(CommandLine, NamesWithSlashesSurviveTheSwitches) {
  std::string line = Line({"/home/u/a.vdz", "/L3/T5", "/S", "/work/Len/b.vdz"});
  EXPECT_EQ(line, "\"/home/u/a.vdz\" /L3/T5 /S \"/work/Len/b.vdz\"");

  Buffer b(line);
  EXPECT_EQ(GetSwitchNum(b.buf, '#', 0), 0);
  EXPECT_EQ(GetSwitchNum(b.buf, 'L', 1), 3);
  EXPECT_FALSE(GetSwitch(b.buf, 'L'));
  EXPECT_EQ(GetSwitchNum(b.buf, 'T', 0), 5);
  EXPECT_TRUE(GetSwitch(b.buf, 'S'));
  EXPECT_FALSE(GetSwitch(b.buf, 'P'));
  EXPECT_EQ(findchar(b.buf, '/'), std::strchr(b.buf, '"') + 1);  // only inside the names
  Trim(b.buf);

  char name[512];
  GetAndRemoveFirstQuoted(name, b.buf);
  EXPECT_STREQ(name, "/home/u/a.vdz");
  GetAndRemoveFirstQuoted(name, b.buf);
  EXPECT_STREQ(name, "/work/Len/b.vdz");
  EXPECT_STREQ(b.buf, "");
}

TEST(CommandLine, QuotedNamesWithBlanksAndTheFrontEndHandle) {
  std::string line = Line({"/l", "my film.vdz", "/#4242", "-x"});
  EXPECT_EQ(line, "/l \"my film.vdz\" /#4242 \"-x\"");
  Buffer b(line);
  EXPECT_EQ(GetSwitchNum(b.buf, '#', 0), 4242);
  EXPECT_FALSE(GetSwitch(b.buf, '#'));
  EXPECT_EQ(GetSwitchNum(b.buf, 'L', 7), 7);
  EXPECT_TRUE(GetSwitch(b.buf, 'L'));
  char name[512];
  GetAndRemoveFirstQuoted(name, b.buf);
  EXPECT_STREQ(name, "my film.vdz");
  GetAndRemoveFirstQuoted(name, b.buf);
  EXPECT_STREQ(name, "-x");
}

}  // namespace
