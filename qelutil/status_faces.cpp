// The quiet face of the status window: every new status text is one line on
// standard error (progress texts at most one a second, and the last step of
// a job), messages go where message boxes go, and questions take their
// default answer (or the answer of the message presenter a test or a display
// layer installed).
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/messagebox.h"
#include "qelutil/status_state.h"

namespace qelutil {
namespace {

class QuietFace : public StatusFace {
 public:
  void Show(const std::string& text) override {
    if (text == last_) return;
    const double done = StatusTextProgress(text);
    const uint32_t now = platform::TimeMs();
    if (done >= 0 && done < 1 && shown_progress_ && now - last_progress_ms_ < 1000) return;
    if (done >= 0) {
      shown_progress_ = true;
      last_progress_ms_ = now;
    }
    last_ = text;
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
  bool Pump() override { return false; }
  bool Ask(const std::string& question, const std::string& caption, bool default_no) override {
    if (platform::HasMessagePresenter())
      return platform::AskYesNo(question.c_str(), caption.c_str(), default_no);
    std::fprintf(stderr, "%s: %s %s\n", caption.c_str(), question.c_str(), default_no ? "No." : "Yes.");
    std::fflush(stderr);
    return !default_no;
  }
  void Message(const std::string& text, const std::string& caption, bool error) override {
    platform::ShowMessage(text.c_str(), caption.c_str(),
                          error ? platform::kMessageError : platform::kMessageInfo);
  }
  void Close(bool) override {}
  bool Visible() const override { return false; }

 private:
  std::string last_;
  bool shown_progress_ = false;
  uint32_t last_progress_ms_ = 0;
};

}  // namespace

std::unique_ptr<StatusFace> MakeQuietFace() {
  return std::make_unique<QuietFace>();
}

}  // namespace qelutil
