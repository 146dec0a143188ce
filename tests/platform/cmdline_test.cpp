#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::BuildCommandLine;
using platform::IsSwitchArgument;
using platform::SwitchDef;
using platform::SwitchKind;

const SwitchDef kTool[] = {
    {'S', SwitchKind::kNumber}, {'F', SwitchKind::kFlag},   {'o', SwitchKind::kString},
    {'&', SwitchKind::kString}, {'N', SwitchKind::kNumber}, {'N', SwitchKind::kString},
};

TEST(SwitchArgument, OnlyWholeSequencesOfKnownSwitches) {
  EXPECT_TRUE(IsSwitchArgument("/S10", kTool));
  EXPECT_TRUE(IsSwitchArgument("/s-3/f", kTool));
  EXPECT_TRUE(IsSwitchArgument("/F/F/F", kTool));
  EXPECT_TRUE(IsSwitchArgument("/Oout.flc/S1", kTool));
  EXPECT_TRUE(IsSwitchArgument("/O\"/tmp/x y.flc\"/F", kTool));
  EXPECT_TRUE(IsSwitchArgument("/&pal.bmp", kTool));
  EXPECT_TRUE(IsSwitchArgument("/N12/Nabc", kTool));

  EXPECT_FALSE(IsSwitchArgument("", kTool));
  EXPECT_FALSE(IsSwitchArgument("/", kTool));
  EXPECT_FALSE(IsSwitchArgument("//", kTool));
  EXPECT_FALSE(IsSwitchArgument("/S", kTool));
  EXPECT_FALSE(IsSwitchArgument("/S-", kTool));
  EXPECT_FALSE(IsSwitchArgument("/S1x", kTool));
  EXPECT_FALSE(IsSwitchArgument("/F1", kTool));
  EXPECT_FALSE(IsSwitchArgument("/O", kTool));
  EXPECT_FALSE(IsSwitchArgument("/O\"open", kTool));
  EXPECT_FALSE(IsSwitchArgument("/F/", kTool));
  EXPECT_FALSE(IsSwitchArgument("S1", kTool));
  EXPECT_FALSE(IsSwitchArgument("/home/u/a.vdz", kTool));
  EXPECT_FALSE(IsSwitchArgument("/fonts/a.bmp", kTool));  // "/fonts" is no flag
  EXPECT_FALSE(IsSwitchArgument("/F", {}));
}

TEST(SwitchArgument, ManyWaysOfReadingStayQuick) {
  // "/N1" reads as a number and as a text; a long run must not explode.
  std::string arg;
  for (int i = 0; i < 5000; ++i) arg += "/N1";
  EXPECT_TRUE(IsSwitchArgument(arg, kTool));
  EXPECT_FALSE(IsSwitchArgument(arg + "/", kTool));
}

TEST(BuildCommandLine, SwitchesAsTheyAreNamesQuoted) {
  std::vector<const char*> args = {"in.bmp", "/S10", "/home/u/out dir/o.flc", "/F"};
  EXPECT_EQ(BuildCommandLine(args, kTool).value(), "\"in.bmp\" /S10 \"/home/u/out dir/o.flc\" /F");
}

TEST(BuildCommandLine, StringSwitchWithBlanksGetsQuotes) {
  std::vector<const char*> args = {"/&my pal.bmp", "/Onew name"};
  EXPECT_EQ(BuildCommandLine(args, kTool).value(), "/&\"my pal.bmp\" /O\"new name\"");
  // A text with a "/" cannot be told from a name and stays a name.
  std::vector<const char*> path = {"/O/tmp/a b"};
  EXPECT_EQ(BuildCommandLine(path, kTool).value(), "\"/O/tmp/a b\"");
}

TEST(BuildCommandLine, ANameWithAQuoteIsRefused) {
  std::vector<const char*> args = {"/F", "say \"hi\".txt"};
  std::string error;
  EXPECT_FALSE(BuildCommandLine(args, kTool, &error).has_value());
  EXPECT_NE(error.find("say \"hi\".txt"), std::string::npos);
}

TEST(BuildCommandLine, MainArgumentsSkipTheProgram) {
  const char* argv[] = {"vidzoc", "/s2", "a.vdz"};
  EXPECT_EQ(BuildCommandLine(3, argv, kTool).value(), "/s2 \"a.vdz\"");
  EXPECT_EQ(BuildCommandLine(1, argv, kTool).value(), "");
  EXPECT_EQ(BuildCommandLine(0, nullptr, kTool).value(), "");
}

}  // namespace
