// The window face of the status window: an SDL window with the status text,
// the subtitle and the Cancel button. Cancel and closing the window ask
// "Do you want to cancel?" in the window; once cancelled, closing destroys
// it. Restoring it from minimised tells the owner (message 2304).
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/messagebox.h"
#include "platform/report_channel.h"
#include "platform/status_window_sdl.h"
#include "qelutil/status_state.h"

namespace qelutil {
namespace {

class WindowFace : public StatusFace {
 public:
  explicit WindowFace(std::unique_ptr<platform::StatusWindowSdl> window) : window_(std::move(window)) {}

  void Show(const std::string& text) override {
    window_->SetTexts(text, Status().subtitle);
    window_->Show();
  }

  bool Pump() override {
    bool any = false;
    for (;;) {
      const platform::StatusWindowSdl::Event e = window_->Poll();
      if (e == platform::StatusWindowSdl::Event::kNone) break;
      any = true;
      if (e == platform::StatusWindowSdl::Event::kButton) StatusDoCancel();
      if (e == platform::StatusWindowSdl::Event::kClose && StatusDoCancel() != 0) closed_ = true;
      if (e == platform::StatusWindowSdl::Event::kRestored) TellOwnerRestored();
    }
    return any;
  }

  bool Ask(const std::string& question, const std::string& caption, bool default_no) override {
    if (platform::HasMessagePresenter())
      return platform::AskYesNo(question.c_str(), caption.c_str(), default_no);
    return window_->Ask(question, default_no);
  }

  void Message(const std::string& text, const std::string& caption, bool error) override {
    platform::ShowMessage(text.c_str(), caption.c_str(),
                          error ? platform::kMessageError : platform::kMessageInfo);
  }

  void Close(bool wait) override {
    if (!wait || closed_) return;
    // Done: the button says so, and the window stays until it is pressed or
    // the window is closed.
    window_->SetTexts(Status().status_text, Status().subtitle);
    window_->SetButton("&Done");
    for (;;) {
      const platform::StatusWindowSdl::Event e = window_->Poll();
      if (e == platform::StatusWindowSdl::Event::kButton || e == platform::StatusWindowSdl::Event::kClose)
        break;
      if (e == platform::StatusWindowSdl::Event::kRestored) TellOwnerRestored();
      if (e == platform::StatusWindowSdl::Event::kNone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  bool Visible() const override { return window_->Visible() && !closed_; }
  void* Handle() override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window_->Id())); }
  platform::StatusWindowSdl* window() { return window_.get(); }

 private:
  void TellOwnerRestored() {
    const auto id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Status().owner));
    if (id == 0) return;
    if (auto channel = platform::ReportChannel::Connect(id)) channel->Send(platform::kReportRestored, 0, 0);
  }

  std::unique_ptr<platform::StatusWindowSdl> window_;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<StatusFace> MakeWindowFace(const std::string& title) {
  auto window = platform::StatusWindowSdl::Open(title);
  if (window == nullptr) return nullptr;
  return std::make_unique<WindowFace>(std::move(window));
}

platform::StatusWindowSdl* StatusWindowOfFace(StatusFace* face) {
  auto* w = dynamic_cast<WindowFace*>(face);
  return w != nullptr ? w->window() : nullptr;
}

}  // namespace qelutil
