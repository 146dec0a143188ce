// The status window's state and its quiet and terminal faces, in process:
// the texts it shows, Cancel and its question, Ctrl-C on the terminal face,
// and the closing report to a stand-in front end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "../player/fake_front_end.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/report_channel.h"
#include "qelutil/qelutil.h"
#include "qelutil/status_state.h"
#include "support/temp_dir.h"

namespace {

int g_cancel_calls = 0;
void CountCancel() {
  ++g_cancel_calls;
}

// Standard error goes to a file while the object lives.
class CaptureStderr {
 public:
  explicit CaptureStderr(const std::string& file) : file_(file) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~CaptureStderr() { Stop(); }
  std::string Stop() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    std::string text;
    if (std::FILE* f = std::fopen(file_.c_str(), "rb")) {
      char buf[4096];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  }

 private:
  std::string file_;
  int saved_ = -1;
};

class StatusWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    qelutil::ResetStatusForTests();
    const qelutil::StatusFaceKind quiet = qelutil::StatusFaceKind::kQuiet;
    qelutil::ForceStatusFaceForTests(&quiet);
    setenv("XDG_RUNTIME_DIR", tmp_.path().c_str(), 1);
    g_cancel_calls = 0;
    platform::SetMessagePresenter([this](const char* text, const char*, platform::MessageKind kind, bool) {
      asked_.push_back(text);
      (void)kind;
      return answer_;
    });
  }
  void TearDown() override {
    StatusClose(0);
    platform::SetMessagePresenter(nullptr);
    qelutil::ForceStatusFaceForTests(nullptr);
    qelutil::ResetStatusForTests();
  }
  vidzoer_test::TempDir tmp_;
  std::vector<std::string> asked_;
  bool answer_ = false;
};

TEST_F(StatusWindow, OpenSetAndTheQuietFacesLines) {
  platform::SetFakeClock(1000);
  StatusInit(nullptr, nullptr, 0);
  EXPECT_EQ(StatusSet("before"), 0);  // no window yet: kept, not shown
  CaptureStderr capture(tmp_.File("err.txt"));
  ASSERT_TRUE(StatusOpen("VidzoC", "in.avi", CountCancel));
  EXPECT_EQ(qelutil::Status().status_text, "Loading...");
  EXPECT_EQ(StatusSet("Reading the palette"), 0);
  StatusSet("Reading the palette");  // the same text is not repeated
  StatusSet("Compressing frame 1 of 4...");
  StatusSet("Compressing frame 2 of 4...");  // progress: one line a second at most
  platform::AdvanceFakeClock(999);
  StatusSet("Compressing frame 3 of 4...");
  platform::AdvanceFakeClock(1);
  StatusSet("Compressing frame 3 of 4 (again)...");
  StatusSet("Compressing frame 4 of 4...");  // the end is always shown
  EXPECT_EQ(StatusGetHWND(), nullptr);       // no owner, nothing visible
  StatusClose(1);
  EXPECT_EQ(StatusSet("after"), 0);
  platform::UseRealClock();
  EXPECT_EQ(capture.Stop(),
            "Reading the palette\nCompressing frame 1 of 4...\nCompressing frame 3 of 4 (again)...\n"
            "Compressing frame 4 of 4...\n");
}

TEST_F(StatusWindow, CancelAsksOnceAndCallsTheCallbackOnYes) {
  StatusInit(nullptr, nullptr, 0);
  ASSERT_TRUE(StatusOpen("VorurEd", "a.wav", CountCancel));
  answer_ = false;
  EXPECT_EQ(StatusDoCancel(), 0);
  EXPECT_EQ(g_cancel_calls, 0);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0], "Do you want to cancel?");
  EXPECT_EQ(qelutil::Status().status_text, "Do you want to cancel? No.");
  answer_ = true;
  EXPECT_EQ(StatusDoCancel(), 1);
  EXPECT_EQ(g_cancel_calls, 1);
  // Cancelled is one way: no further question, no second call.
  EXPECT_EQ(StatusDoCancel(), 1);
  EXPECT_EQ(asked_.size(), 2u);
  EXPECT_EQ(g_cancel_calls, 1);
  EXPECT_EQ(qelutil::Status().cancel_requests, 3u);
}

TEST_F(StatusWindow, CloseReportsTitleSubtitleAndStatusToTheOwner) {
  const uint32_t id = 500000 + static_cast<uint32_t>(getpid() % 100000);
  player_test::FakeFrontEnd front(id, "Vidzoer for Windows", 0);
  ASSERT_TRUE(front.listening());
  void* owner = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
  StatusInit(nullptr, owner, 0);
  ASSERT_TRUE(StatusOpen("VidzoFR", "movie.vdz", nullptr));
  StatusSet("Frame rate changed.");
  EXPECT_EQ(StatusGetHWND(), owner);  // the owner is the parent while nothing is visible
  StatusClose(1);
  const auto records = front.Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].kind, platform::kReportCopyData);
  EXPECT_EQ(records[0].identifier, platform::kReportDataText);
  const std::string text(records[0].data.begin(), records[0].data.end());
  EXPECT_EQ(text, std::string("VidzoFR - movie.vdz\r\n  Frame rate changed.") + '\0');
  // Closed: a second close sends nothing.
  StatusClose(0);
  EXPECT_EQ(front.Records().size(), 1u);
}

TEST_F(StatusWindow, CopyDataNeedsAFrontEndThatIsThere) {
  const char text[] = "x";
  EXPECT_EQ(CopyData(nullptr, nullptr, platform::kReportDataText, sizeof text, text), 0);
  void* gone = reinterpret_cast<void*>(static_cast<uintptr_t>(900001));
  EXPECT_EQ(CopyData(gone, nullptr, platform::kReportDataText, sizeof text, text), 0);
  const uint32_t id = 600000 + static_cast<uint32_t>(getpid() % 100000);
  player_test::FakeFrontEnd front(id, "Vidzoer for Windows", 0);
  void* there = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
  EXPECT_EQ(CopyData(there, nullptr, 77, sizeof text, text), 1);
  const auto records = front.Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].identifier, 77u);
  EXPECT_EQ(records[0].data, std::vector<uint8_t>({'x', 0}));
}

TEST(StatusTextProgress, PercentagesAndFrameCounts) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"Processing sound data (45%)...", 0.45},
      {"Converting frame 3 of 12...", 0.25},
      {"Compressing Frame 12 of 12", 1.0},
      {"frame 20 of 10", 1.0},
      {"Copying (150%)", 1.0},
      {"frame 3 of 0", -1},
      {"frame of 3", -1},
      {"Loading...", -1},
      {"100 % off", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(qelutil::StatusTextProgress(c.text), c.expected) << c.text;
}

// The terminal face writes to a pipe here: the progress line, its bar, and
// Ctrl-C delivered to this process. Standard input is not a terminal in
// the test, so the question takes its default (No).
class TerminalFace : public StatusWindow {
 protected:
  void SetUp() override {
    StatusWindow::SetUp();
    ASSERT_EQ(::pipe(pipe_), 0);
    ::fcntl(pipe_[0], F_SETFL, O_NONBLOCK);
    StatusInit(nullptr, nullptr, 0);
    ASSERT_TRUE(StatusOpen("VizodOv", "a.bmp", CountCancel));
    qelutil::Status().face = qelutil::MakeTerminalFace(pipe_[1], -1);
  }
  void TearDown() override {
    StatusClose(0);
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    StatusWindow::TearDown();
  }
  std::string Drain() {
    std::string out;
    char buf[1024];
    for (ssize_t n; (n = ::read(pipe_[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
  }
  int pipe_[2] = {-1, -1};
};

TEST_F(TerminalFace, TheLineIsRewrittenInPlaceWithABar) {
  StatusSet("Converting frame 1 of 4...");
  EXPECT_EQ(Drain(), "\rConverting frame 1 of 4... [#####...............] 25%\x1b[K");
  StatusSet("Writing the palette");
  EXPECT_EQ(Drain(), "\rWriting the palette\x1b[K");
  StatusSet(std::string(200, 'x').c_str());  // cut to the 80 columns of a pipe
  EXPECT_EQ(Drain(), "\r" + std::string(79, 'x') + "\x1b[K");
  StatusClose(0);
  EXPECT_EQ(Drain(), "\r\x1b[K");  // the progress line is taken away
}

TEST_F(TerminalFace, OneCtrlCAsksTwoCancelAtOnce) {
  StatusSet("Converting frame 1 of 4...");
  Drain();
  EXPECT_EQ(StatusCheck(), 0);  // nothing waits
  std::raise(SIGINT);
  EXPECT_EQ(StatusCheck(), 1);
  const std::string asked = Drain();
  EXPECT_NE(asked.find("Do you want to cancel? [y/N] "), std::string::npos) << asked;
  EXPECT_EQ(g_cancel_calls, 0);  // no answer: the default No
  EXPECT_EQ(qelutil::Status().status_text, "Do you want to cancel? No.");
  std::raise(SIGINT);
  std::raise(SIGINT);
  EXPECT_EQ(StatusSet("Converting frame 2 of 4..."), 1);
  EXPECT_EQ(g_cancel_calls, 1);
  EXPECT_TRUE(qelutil::Status().cancelled);
  EXPECT_EQ(qelutil::Status().cancel_requests, 2u);
}

}  // namespace
