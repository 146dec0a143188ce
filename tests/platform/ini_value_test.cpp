#include "platform/ini_value.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace {

using platform::FindIniValue;

TEST(IniValue, SectionsKeysAndComments) {
  const char* text =
      "; settings\n"
      "Debug=9\n"
      "[Other]\n"
      "Debug=2\n"
      "  [ vidzoer ]  \r\n"
      "# Debug=3\n"
      "  debug =  1  \r\n"
      "Debug=4\n"
      "Empty=\n"
      "[Vidzoer\n"
      "Late=5\n";
  EXPECT_EQ(FindIniValue(text, "Vidzoer", "Debug").value(), "1");
  EXPECT_EQ(FindIniValue(text, "Other", "DEBUG").value(), "2");
  EXPECT_EQ(FindIniValue(text, "Vidzoer", "Empty").value(), "");
  EXPECT_FALSE(FindIniValue(text, "Vidzoer", "Late").has_value());
  EXPECT_FALSE(FindIniValue(text, "Vidzoer", "Missing").has_value());
  EXPECT_FALSE(FindIniValue("", "Vidzoer", "Debug").has_value());
  EXPECT_FALSE(FindIniValue("[Vidzoer]\nDebug", "Vidzoer", "Debug").has_value());
}

TEST(IniValue, FromAFile) {
  vidzoer_test::TempDir tmp;
  std::string name = tmp.File("v.ini");
  std::ofstream(name) << "[Vidzoer]\nDebug=1";
  EXPECT_EQ(platform::ReadIniValue(name, "Vidzoer", "Debug").value(), "1");
  EXPECT_FALSE(platform::ReadIniValue(tmp.File("none.ini"), "Vidzoer", "Debug").has_value());
  EXPECT_FALSE(platform::ReadIniValue(tmp.path().string(), "Vidzoer", "Debug").has_value());
}

TEST(IniValue, ProfileIntegers) {
  EXPECT_EQ(platform::ParseProfileInt(" 12abc", 0), 12);
  EXPECT_EQ(platform::ParseProfileInt("-3", 0), -3);
  EXPECT_EQ(platform::ParseProfileInt("+1", 0), 1);
  EXPECT_EQ(platform::ParseProfileInt("yes", 7), 7);
  EXPECT_EQ(platform::ParseProfileInt("", 7), 7);
  EXPECT_EQ(platform::ParseProfileInt("-", 7), 7);
}

}  // namespace
