#include "platform/debuglog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace {

// Sets an environment variable for the test's lifetime (unset when value is
// null) and restores it afterwards.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    Set(value);
  }
  ~EnvVar() { Set(old_ ? old_->c_str() : nullptr); }
  void Set(const char* value) {
    if (value)
      ::setenv(name_, value, 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class DebugLogTest : public ::testing::Test {
 protected:
  DebugLogTest()
      : config_("XDG_CONFIG_HOME", tmp_.path().string().c_str()),
        debug_("VIDZOER_DEBUG", nullptr),
        log_("VIDZOER_DEBUG_LOG", tmp_.File("debug.log").c_str()) {
    platform::ResetDebugForTests();
  }
  ~DebugLogTest() override { platform::ResetDebugForTests(); }

  void WriteSettings(const std::string& text) {
    std::filesystem::create_directories(tmp_.path() / "vidzoer");
    std::ofstream(tmp_.path() / "vidzoer" / "vidzoer.ini") << text;
  }
  std::string Logged() {
    std::ifstream in(tmp_.File("debug.log"));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  vidzoer_test::TempDir tmp_;
  EnvVar config_, debug_, log_;
};

TEST_F(DebugLogTest, OffWithoutSettings) {
  EXPECT_EQ(platform::DebugSettingsFile(), tmp_.File("vidzoer/vidzoer.ini"));
  EXPECT_FALSE(platform::DebugEnabled());
  platform::DebugLog("not %s", "written");
  EXPECT_EQ(Logged(), "");
}

TEST_F(DebugLogTest, SettingsFileTurnsItOnAndLinesGoToTheLog) {
  WriteSettings("[Vidzoer]\nDebug=1\n");
  EXPECT_TRUE(platform::DebugEnabled());
  platform::DebugLog("frame %d of %s", 3, "a.vdz");
  platform::DebugLog("%s", "");
  EXPECT_EQ(Logged(), "frame 3 of a.vdz\n\n");
}

TEST_F(DebugLogTest, OnlyTheValueOneCounts) {
  WriteSettings("[Vidzoer]\nDebug=2\n");
  EXPECT_FALSE(platform::DebugEnabled());
}

TEST_F(DebugLogTest, EnvironmentOverridesTheFile) {
  WriteSettings("[Vidzoer]\nDebug=1\n");
  debug_.Set("0");
  EXPECT_FALSE(platform::DebugEnabled());
  platform::ResetDebugForTests();
  WriteSettings("[Vidzoer]\nDebug=0\n");
  debug_.Set("1");
  EXPECT_TRUE(platform::DebugEnabled());
}

TEST_F(DebugLogTest, ReadOncePerProcess) {
  EXPECT_FALSE(platform::DebugEnabled());
  debug_.Set("1");
  EXPECT_FALSE(platform::DebugEnabled());
  platform::ResetDebugForTests();
  EXPECT_TRUE(platform::DebugEnabled());
}

TEST_F(DebugLogTest, LongLinesAreWrittenWhole) {
  debug_.Set("1");
  std::string text(10000, 'x');
  platform::DebugLog("%s|", text.c_str());
  EXPECT_EQ(Logged(), text + "|\n");
}

TEST_F(DebugLogTest, UnwritableLogFallsBackToStandardError) {
  debug_.Set("1");
  log_.Set(tmp_.File("no/such/folder/log").c_str());
  ::testing::internal::CaptureStderr();
  platform::DebugLog("to stderr %d", 7);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot open the debug log"), std::string::npos);
  EXPECT_NE(err.find("to stderr 7\n"), std::string::npos);
}

}  // namespace
