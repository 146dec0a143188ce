#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "qelutil/qelutil.h"
#include "qelutil/status_state.h"
#include "support/temp_dir.h"

namespace {

struct Shown {
  std::string text, caption;
  platform::MessageKind kind;
  bool default_no;
};

// Records every box and answers questions with answer_.
class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qelutil::ResetStatusForTests();
    platform::SetMessagePresenter(
        [this](const char* text, const char* caption, platform::MessageKind kind, bool default_no) {
          shown_.push_back({text, caption, kind, default_no});
          return answer_;
        });
  }
  void TearDown() override {
    platform::SetMessagePresenter(nullptr);
    qelutil::ResetStatusForTests();
  }
  std::vector<Shown> shown_;
  bool answer_ = false;
  vidzoer_test::TempDir tmp_;
};

TEST_F(StatusTest, AskRecordsTheAnswerInTheStatusText) {
  answer_ = true;
  EXPECT_TRUE(StatusAsk("Go on?", 1));
  EXPECT_EQ(qelutil::Status().status_text, "Go on? Yes.");
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].kind, platform::kMessageQuestion);
  EXPECT_TRUE(shown_[0].default_no);
  answer_ = false;
  EXPECT_FALSE(StatusAsk("Again?", 0));
  EXPECT_EQ(qelutil::Status().status_text, "Again? No.");
  EXPECT_FALSE(shown_[1].default_no);
}

TEST_F(StatusTest, MessagesAreCaptionedWithTheTitleOrTheProgram) {
  StatusInit(nullptr, nullptr, 0);
  StatusMessage("done", 0);
  StatusMessageTitle("bad", "Memory Error", 1);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[0].caption, program_invocation_short_name);
  EXPECT_EQ(shown_[0].kind, platform::kMessageInfo);
  EXPECT_EQ(shown_[1].caption, "Memory Error");
  EXPECT_EQ(shown_[1].kind, platform::kMessageError);
  qelutil::Status().title = "VidzoC";
  StatusMessage("x", 1);
  EXPECT_EQ(shown_[2].caption, "VidzoC");
}

TEST_F(StatusTest, SetKeepsTheTextAndHasNoWindowToPump) {
  EXPECT_EQ(StatusSet("Frame 3"), 0);
  EXPECT_EQ(qelutil::Status().status_text, "Frame 3");
  EXPECT_TRUE(shown_.empty());
}

TEST_F(StatusTest, OverwriteAsksOnlyForExistingFiles) {
  std::string name = tmp_.File("out.flc");
  EXPECT_TRUE(overwrite(name.c_str()));
  EXPECT_TRUE(shown_.empty());
  std::ofstream(name) << "x";
  answer_ = false;
  EXPECT_FALSE(overwrite(name.c_str()));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "File " + name + " exists, overwrite?");
  EXPECT_TRUE(shown_[0].default_no);
  answer_ = true;
  EXPECT_TRUE(overwrite(name.c_str()));
  // A name in another case reaches the same file, so the question comes too.
  std::string upper = tmp_.File("OUT.FLC");
  answer_ = false;
  EXPECT_FALSE(overwrite(upper.c_str()));
}

TEST_F(StatusTest, CheckForDupFindsTheSameFileUnderOtherNames) {
  std::string in = tmp_.File("in.bmp");
  std::ofstream(in) << "x";
  std::string dir = tmp_.path().string();
  EXPECT_TRUE(CheckForDup(in.c_str(), tmp_.File("out.bmp").c_str()));
  EXPECT_TRUE(shown_.empty());

  const std::string same[] = {in, dir + "/./in.bmp", dir + "\\IN.BMP", dir + "/x/../in.bmp"};
  for (const std::string& out : same) {
    shown_.clear();
    EXPECT_FALSE(CheckForDup(in.c_str(), out.c_str())) << out;
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "Output filename must be different than the input filename.");
    EXPECT_EQ(shown_[0].kind, platform::kMessageError);
  }
  std::string link = tmp_.File("link.bmp");
  ASSERT_EQ(::symlink(in.c_str(), link.c_str()), 0);
  EXPECT_FALSE(CheckForDup(in.c_str(), link.c_str()));
  // Two files that differ only in case are two files.
  std::string other = tmp_.File("IN.bmp");
  std::ofstream(other) << "y";
  EXPECT_TRUE(CheckForDup(in.c_str(), other.c_str()));
}

}  // namespace
