// The terminal face of the status window: one progress line on standard
// error, rewritten in place (with a bar when the text says how far the job
// is), questions asked on the terminal, and Ctrl-C as the Cancel button: the
// first asks "Do you want to cancel?" at the tool's next check, a second one
// cancels at once, and a third one (a tool that no longer checks) ends the
// program as Ctrl-C always does.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/messagebox.h"
#include "qelutil/status_state.h"

namespace qelutil {
namespace {

volatile sig_atomic_t g_interrupts = 0;  // Ctrl-C presses since the face opened
volatile sig_atomic_t g_handled = 0;     // of which the face has handled

void OnInterrupt(int) {
  g_interrupts = g_interrupts + 1;
  if (g_interrupts - g_handled >= 3) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

constexpr int kBarWidth = 20;
constexpr int kFindInput = -2;

class TerminalFace : public StatusFace {
 public:
  TerminalFace(int fd, int input) : fd_(fd), input_(input) {
    g_interrupts = 0;
    g_handled = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~TerminalFace() override { Restore(); }
  TerminalFace(const TerminalFace&) = delete;
  TerminalFace& operator=(const TerminalFace&) = delete;

  void Show(const std::string& text) override {
    text_ = text;
    Draw();
  }

  bool Pump() override {
    const int now = g_interrupts;
    if (now == g_handled) return false;
    if (now - g_handled >= 2) {
      g_handled = now;
      StatusCancelNow();
      return true;
    }
    asking_cancel_ = true;
    StatusDoCancel();
    asking_cancel_ = false;
    // A Ctrl-C during the question answered it; the ones before are handled.
    g_handled = g_interrupts;
    return true;
  }

  bool Ask(const std::string& question, const std::string& caption, bool default_no) override {
    (void)caption;
    Erase();
    const std::string prompt = question + (default_no ? " [y/N] " : " [Y/n] ");
    Write(prompt);
    int in = input_;
    if (in == kFindInput)
      in = ::isatty(STDIN_FILENO) ? STDIN_FILENO : ::open("/dev/tty", O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      Write(std::string(default_no ? "No" : "Yes") + "\n");
      return !default_no;
    }
    const int interrupts = g_interrupts;
    bool answer = !default_no;
    std::string line;
    for (;;) {
      if (g_interrupts != interrupts) {
        // Ctrl-C while asked whether to cancel is a yes; any other question
        // takes its default and leaves the Ctrl-C to be handled.
        Write("\n");
        answer = asking_cancel_ ? true : !default_no;
        break;
      }
      pollfd p{in, POLLIN, 0};
      const int ready = ::poll(&p, 1, 100);
      if (ready <= 0) continue;
      char c = 0;
      const ssize_t got = ::read(in, &c, 1);
      if (got <= 0) {  // end of input: the default
        Write("\n");
        break;
      }
      if (c == '\n') {
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos) {
          if (line[first] == 'y' || line[first] == 'Y') answer = true;
          if (line[first] == 'n' || line[first] == 'N') answer = false;
        }
        break;
      }
      line += c;
    }
    if (in != STDIN_FILENO && in != input_) ::close(in);
    return answer;
  }

  void Message(const std::string& text, const std::string& caption, bool error) override {
    Erase();
    platform::ShowMessage(text.c_str(), caption.c_str(),
                          error ? platform::kMessageError : platform::kMessageInfo);
  }

  void Close(bool) override {
    Erase();
    Restore();
  }

  bool Visible() const override { return false; }

 private:
  int Columns() const {
    winsize size{};
    if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
    return 80;
  }

  void Draw() {
    const int columns = Columns();
    std::string bar;
    const double done = StatusTextProgress(text_);
    if (done >= 0) {
      const int filled = static_cast<int>(done * kBarWidth + 0.5);
      bar = " [" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " +
            std::to_string(static_cast<int>(done * 100 + 0.5)) + "%";
    }
    std::string text = text_;
    const size_t room = static_cast<size_t>(columns - 1) > bar.size() ? columns - 1 - bar.size() : 0;
    if (text.size() > room) text.resize(room);
    for (char& c : text)
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    Write("\r" + text + bar + "\x1b[K");
    shown_ = true;
  }

  void Erase() {
    if (!shown_) return;
    Write("\r\x1b[K");
    shown_ = false;
  }

  void Write(const std::string& s) {
    const char* p = s.data();
    size_t n = s.size();
    while (n > 0) {
      const ssize_t done = ::write(fd_, p, n);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return;
      p += done;
      n -= static_cast<size_t>(done);
    }
  }

  void Restore() {
    if (!installed_) return;
    sigaction(SIGINT, &previous_, nullptr);
    installed_ = false;
  }

  int fd_;
  int input_;
  std::string text_;
  bool shown_ = false;
  bool asking_cancel_ = false;
  bool installed_ = false;
  struct sigaction previous_ {};
};

}  // namespace

std::unique_ptr<StatusFace> MakeTerminalFace(int fd, int input) {
  return std::make_unique<TerminalFace>(fd, input);
}

}  // namespace qelutil
