// The report channel's server side against the programs' client side, and
// against peers that send garbage.
#include "frontend/report_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "frontend/shell.h"
#include "platform/report_channel.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::PumpUntil;

class ReportServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ASSERT_TRUE(server.Listen(kId));
    QObject::connect(&server, &vidzoerw::ReportServer::CopyDataReceived, &shell,
                     &vidzoerw::CommandShell::CopyData);
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  // Runs `work` on a thread (the client side blocks for its answers) while
  // the event loop serves.
  template <typename Work>
  void OnClient(Work work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
      work();
      done = true;
    });
    PumpUntil([&] { return done.load(); }, 10000);
    t.join();
  }

  // Sends raw bytes from a connection of its own, then closes it.
  void SendRaw(const std::vector<uint8_t>& bytes) {
    const std::string path = platform::ReportSocketPath(kId);
    OnClient([&] {
      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un a{};
      a.sun_family = AF_UNIX;
      std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
      if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      usleep(50000);
      close(fd);
    });
  }

  static constexpr uint32_t kId = 777001;
  vidzoer_test::TempDir dir;
  vidzoerw::ReportServer server;
  vidzoerw::CommandShell shell{nullptr};
};

TEST_F(ReportServerTest, AnswersTheHandShakeAndTakesReports) {
  platform::FrontEndLink link;
  OnClient([&] { link = platform::GreetFrontEnd(kId); });
  EXPECT_TRUE(link.started_us);
  EXPECT_TRUE(link.report);  // message 10019 answered 0: report back
  OnClient([&] { platform::ReportToFrontEnd(link, "VidzoPlay - V3.1g\r\n  Total frames played: 20"); });
  ASSERT_TRUE(PumpUntil([&] { return shell.ReportCount() == 1; }));
  EXPECT_TRUE(shell.Output().contains("  VidzoPlay - V3.1g"));
  EXPECT_TRUE(shell.Output().contains("  Total frames played: 20"));

  std::optional<uint32_t> restored;
  bool asked = false;
  QObject::connect(&server, &vidzoerw::ReportServer::RestoreRequested, [&] { asked = true; });
  OnClient([&] {
    auto channel = platform::ReportChannel::Connect(kId);
    if (channel) restored = channel->Send(platform::kReportRestored, 0, 0);
  });
  EXPECT_EQ(restored, std::optional<uint32_t>(0));
  EXPECT_TRUE(asked);
}

TEST_F(ReportServerTest, OtherCopyDataIsIgnored) {
  OnClient([&] {
    auto channel = platform::ReportChannel::Connect(kId);
    ASSERT_TRUE(channel != nullptr);
    channel->CopyData(1234, "not a report", 12);
    channel->CopyData(platform::kReportDataText, "a report", 8);
  });
  ASSERT_TRUE(PumpUntil([&] { return shell.ReportCount() == 1; }));
  EXPECT_FALSE(shell.Output().join("\n").contains("not a report"));
  EXPECT_TRUE(shell.Output().contains("  a report"));
}

TEST_F(ReportServerTest, GarbageLeavesTheServerServing) {
  std::vector<uint8_t> oversized = platform::EncodeReportRecord(platform::kReportCopyData, 4660, "x", 1);
  oversized[8] = 0xff, oversized[9] = 0xff, oversized[10] = 0xff, oversized[11] = 0x7f;
  const std::vector<std::vector<uint8_t>> garbage = {
      {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'},
      oversized,
      platform::EncodeReportRecord(platform::kReportMessage, 10019, "abc", 3),  // a message is 8 bytes
      std::vector<uint8_t>(5, 0x01),                                            // half a header, then gone
  };
  for (const auto& g : garbage) SendRaw(g);
  PumpUntil([&] { return server.Dropped() >= 3; }, 3000);
  EXPECT_EQ(server.Dropped(), 3);
  EXPECT_EQ(shell.ReportCount(), 0);
  platform::FrontEndLink link;
  OnClient([&] { link = platform::GreetFrontEnd(kId); });
  EXPECT_TRUE(link.started_us);
}

TEST(ReportRecords, ReadInPiecesOfAnySize) {
  std::vector<uint8_t> stream;
  for (uint32_t i = 0; i < 5; ++i) {
    const std::string text = "text " + std::to_string(i);
    const auto r = platform::EncodeReportRecord(platform::kReportCopyData, 4660 + i, text.data(),
                                                static_cast<uint32_t>(text.size() + 1));
    stream.insert(stream.end(), r.begin(), r.end());
  }
  for (size_t piece : {1u, 3u, 12u, 100u}) {
    platform::ReportRecordReader reader;
    std::vector<platform::ReportRecord> got;
    for (size_t at = 0; at < stream.size(); at += piece) {
      reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
      platform::ReportRecord r;
      while (reader.Next(r) == platform::ReportRecordReader::Result::kRecord) got.push_back(r);
    }
    ASSERT_EQ(got.size(), 5u) << piece;
    EXPECT_EQ(got[3].identifier, 4663u);
    EXPECT_EQ(platform::ReportText(got[3].data), "text 3");
    EXPECT_EQ(reader.Buffered(), 0u);
  }
  platform::ReportRecordReader bad;
  const uint8_t unknown[12] = {9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  bad.Feed(unknown, sizeof unknown);
  platform::ReportRecord r;
  EXPECT_EQ(bad.Next(r), platform::ReportRecordReader::Result::kMalformed);
  bad.Feed(stream.data(), stream.size());
  EXPECT_EQ(bad.Next(r), platform::ReportRecordReader::Result::kMalformed);  // nothing more is read
}

}  // namespace
