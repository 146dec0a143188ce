// The status window's terminal face as a user meets it: a long conversion
// run in a terminal of tmux, its progress line watched, and Ctrl-C typed.
// With standard error in a file the same run writes plain lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using vidzoer_test::Quote;

class TerminalRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    if (std::system("command -v convert >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "ImageMagick is not installed";
    socket_ = dir_.File("tmux.sock");
    // Without a display the tool's window face is not chosen.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // A true-colour picture, halftoned in every frame of a long list: a
    // conversion of some seconds.
    ASSERT_TRUE(vidzoer_test::RunShell("convert -size 320x240 gradient:red-blue " + Quote(dir_.File("f.png")),
                                       dir_.File("convert.err")));
    std::ofstream list(dir_.File("long.lst"));
    for (int i = 0; i < 3000; ++i) list << "f.png\n";
  }
  void TearDown() override {
    if (!socket_.empty()) Tmux("kill-server");
  }
  int Tmux(const std::string& args, const std::string& out = "/dev/null") {
    return std::system(
        ("tmux -S " + Quote(socket_) + " " + args + " >" + Quote(out) + " 2>/dev/null").c_str());
  }
  std::string Screen() {
    const std::string file = dir_.File("screen.txt");
    Tmux("capture-pane -p -t conv", file);
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Waits (up to 30 s) until the screen satisfies `ok`; the last screen.
  std::string WaitFor(const std::function<bool(const std::string&)>& ok) {
    std::string screen;
    for (int i = 0; i < 300; ++i) {
      screen = Screen();
      if (ok(screen)) return screen;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "the terminal never showed what was waited for:\n" << screen;
    return screen;
  }
  std::string WaitForText(const std::string& text) {
    return WaitFor([&text](const std::string& s) { return s.find(text) != std::string::npos; });
  }
  // Starts the conversion in a new terminal; the shell says how it ended.
  void Start() {
    const std::string program = std::string(VIDZOER_BIN_DIR) + "/vizodov";
    const std::string script = "cd " + Quote(dir_.path().string()) + " && trap : INT; " + Quote(program) +
                               " long.lst out.flc /T1; echo EXIT=$?; sleep 120";
    ASSERT_EQ(Tmux("new-session -d -s conv -x 100 -y 20 " + Quote("bash -c " + Quote(script))), 0);
  }
  // The frame the progress line shows ("Analyzing colors in frame n of
  // 3000..." while the palette is made, then "Converting frame n of
  // 3000..."), with the line itself; -1 when none.
  static long ShownFrame(const std::string& screen, std::string* line = nullptr) {
    const size_t of = screen.rfind(" of 3000...");
    if (of == std::string::npos) return -1;
    const size_t number = screen.rfind(" frame ", of);
    if (number == std::string::npos) return -1;
    const size_t start = screen.rfind('\n', number);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    if (line != nullptr) *line = screen.substr(from, screen.find('\n', of) - from);
    return std::strtol(screen.c_str() + number + 7, nullptr, 10);
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  bool LeftBehind() {
    for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
      if (e.path().filename().string().find("out.flc") != std::string::npos ||
          e.path().filename().string().find(".vizodov-") != std::string::npos)
        return true;
    return false;
  }
  vidzoer_test::TempDir dir_;
  std::string socket_;
};

TEST_F(TerminalRun, TheProgressLineUpdatesInPlaceAndCtrlCCancels) {
  Start();
  std::string line;
  const std::string first = WaitFor([](const std::string& s) { return ShownFrame(s) > 1; });
  const long first_frame = ShownFrame(first, &line);
  EXPECT_NE(line.find(" of 3000... ["), std::string::npos) << line;
  EXPECT_EQ(line.back(), '%') << line;  // a bar and how far the job is
  const std::string later =
      WaitFor([first_frame](const std::string& s) { return ShownFrame(s) > first_frame + 20; });
  // One line, rewritten: the screen never holds two progress lines.
  EXPECT_EQ(Count(later, " of 3000..."), 1) << later;

  // Ctrl-C asks; No goes on with the conversion.
  Tmux("send-keys -t conv C-c");
  std::string asked = WaitForText("Do you want to cancel? [y/N]");
  const long asked_at = ShownFrame(asked);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(ShownFrame(Screen()), asked_at);  // the job waits for the answer
  Tmux("send-keys -t conv n Enter");
  WaitFor([asked_at](const std::string& s) { return ShownFrame(s) > asked_at + 10; });
  EXPECT_EQ(Screen().find("EXIT="), std::string::npos);

  // Ctrl-C twice cancels at once: no output is left.
  Tmux("send-keys -t conv C-c");
  WaitFor([](const std::string& s) { return Count(s, "Do you want to cancel? [y/N]") == 2; });
  Tmux("send-keys -t conv C-c");
  const std::string end = WaitForText("EXIT=");
  EXPECT_NE(end.find("EXIT=1"), std::string::npos) << end;
  EXPECT_NE(end.find("vizodov: cancelled"), std::string::npos) << end;
  EXPECT_FALSE(LeftBehind());
}

TEST_F(TerminalRun, CtrlCAnsweredYesCancels) {
  Start();
  WaitFor([](const std::string& s) { return ShownFrame(s) > 1; });
  Tmux("send-keys -t conv C-c");
  WaitForText("Do you want to cancel? [y/N]");
  Tmux("send-keys -t conv y Enter");
  const std::string end = WaitForText("EXIT=");
  EXPECT_NE(end.find("EXIT=1"), std::string::npos) << end;
  EXPECT_FALSE(LeftBehind());
}

// Standard error in a file: the quiet face's plain lines, one a second at
// most while the frames go by, and the last frame.
TEST_F(TerminalRun, TheQuietFaceWritesPlainLines) {
  std::ofstream list(dir_.File("short.lst"));
  for (int i = 0; i < 40; ++i) list << "f.png\n";
  list.close();
  const vidzoer_test::RunResult r = vidzoer_test::RunProgram(
      dir_, "vizodov", Quote(dir_.File("short.lst")) + " " + Quote(dir_.File("o.flc")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
  EXPECT_EQ(r.err.find("\x1b["), std::string::npos);
  EXPECT_EQ(r.err.rfind("Opening the files in the list...\n", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("\nConverting frame 1 of 40...\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\nConverting frame 40 of 40...\n"), std::string::npos) << r.err;
}

}  // namespace
