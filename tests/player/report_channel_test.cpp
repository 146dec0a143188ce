// The report channel's client against a stand-in front end.
#include "platform/report_channel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "fake_front_end.h"
#include "support/temp_dir.h"

namespace {

class ReportChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr) old_runtime_ = old;
    had_runtime_ = old != nullptr;
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (had_runtime_) {
      setenv("XDG_RUNTIME_DIR", old_runtime_.c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }
  vidzoer_test::TempDir dir_;
  std::string old_runtime_;
  bool had_runtime_ = false;
};

TEST_F(ReportChannelTest, SocketPathFollowsTheRuntimeFolder) {
  EXPECT_EQ(platform::ReportSocketPath(42), dir_.File("vidzoer-42.sock"));
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(platform::ReportSocketPath(42), "/tmp/vidzoer-" + std::to_string(getuid()) + "-42.sock");
}

TEST_F(ReportChannelTest, CaptionMessageAndCopyData) {
  player_test::FakeFrontEnd front(777, "Vidzoer for Windows - C:\\", 8995);
  ASSERT_TRUE(front.listening());
  auto channel = platform::ReportChannel::Connect(777);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->Caption(), "Vidzoer for Windows - C:\\");
  EXPECT_EQ(channel->Send(platform::kReportHello, 0, 0), 8995u);
  EXPECT_EQ(channel->Send(platform::kReportRestored, 5, 6), 0u);
  const char text[] = "report text";
  EXPECT_TRUE(channel->CopyData(platform::kReportDataText, text, sizeof text));
  const auto records = front.Records(4);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].kind, platform::kReportCaption);
  EXPECT_EQ(records[1].identifier, platform::kReportHello);
  EXPECT_EQ(records[2].data, (std::vector<uint8_t>{5, 0, 0, 0, 6, 0, 0, 0}));
  EXPECT_EQ(records[3].kind, platform::kReportCopyData);
  EXPECT_EQ(records[3].identifier, 4660u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(records[3].data.data())), "report text");
}

TEST_F(ReportChannelTest, NoFrontEndOrOneThatHasGone) {
  EXPECT_EQ(platform::ReportChannel::Connect(778), nullptr);
  player_test::FakeFrontEnd front(778, "x", 0);
  auto channel = platform::ReportChannel::Connect(778);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->Caption(), "x");  // the front end is serving this connection
  front.Stop();
  EXPECT_EQ(platform::ReportChannel::Connect(778), nullptr);
  // The connection made before gets no answers now; nothing waits forever.
  channel->SetTimeout(200);
  EXPECT_FALSE(channel->Caption().has_value());
}

}  // namespace
