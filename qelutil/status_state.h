// The process-wide state of the status reporting functions (Status...) and
// the faces a status window can show itself through.
#pragma once

#include <memory>
#include <string>

#include "qelutil/qelutil.h"

namespace qelutil {

// How an open status window shows itself. The state keeps the texts and the
// flags; a face only shows them and gathers the user's requests.
class StatusFace {
 public:
  virtual ~StatusFace() = default;
  // The status text changed (StatusSet).
  virtual void Show(const std::string& text) = 0;
  // Handles what waits for the window; true when something was waiting. A
  // cancel request found here goes to StatusDoCancel.
  virtual bool Pump() = 0;
  // A Yes/No question; true for Yes.
  virtual bool Ask(const std::string& question, const std::string& caption, bool default_no) = 0;
  // A message box (OK button).
  virtual void Message(const std::string& text, const std::string& caption, bool error) = 0;
  // The window closes; with `wait`, a face the user can see waits until the
  // user says "Done".
  virtual void Close(bool wait) = 0;
  // Whether the user can see the window (StatusGetHWND).
  virtual bool Visible() const = 0;
  // The window's handle while it exists (StatusGetHWND), else null.
  virtual void* Handle() { return nullptr; }
};

enum class StatusFaceKind { kQuiet, kTerminal, kWindow };

struct StatusState {
  void* instance = nullptr;
  void* owner = nullptr;  // the front end (its number as a pointer), or none
  bool quiet = false;
  std::string title;        // the status window's title; empty before it opens
  std::string subtitle;     // the line at the window's foot
  std::string status_text;  // the line a status window shows
  StatusCancelFn on_cancel = nullptr;
  bool cancelled = false;            // one way: never cleared while the window lives
  uint32_t cancel_requests = 0;      // how often Cancel was asked for
  std::unique_ptr<StatusFace> face;  // the open window, or none
};

StatusState& Status();

// The caption of message boxes: the title, or the program's name while no
// title is set.
std::string StatusCaption();

// Back to the state of a fresh process.
void ResetStatusForTests();

// Which face StatusOpen would choose now (the quiet flag, whether standard
// error is a terminal, whether a display is available).
StatusFaceKind ChooseStatusFace();

// The faces. The window face is null when no window can be made.
std::unique_ptr<StatusFace> MakeQuietFace();
// The terminal face draws on `fd` and reads answers from `input`: -2 finds
// the terminal (standard input when it is one, else /dev/tty), -1 is none
// (questions take their default).
std::unique_ptr<StatusFace> MakeTerminalFace(int fd, int input = -2);
std::unique_ptr<StatusFace> MakeWindowFace(const std::string& title);

// The SDL window of a window face (for tests: its geometry), else null.
}  // namespace qelutil
namespace platform {
class StatusWindowSdl;
}  // namespace platform
namespace qelutil {
platform::StatusWindowSdl* StatusWindowOfFace(StatusFace* face);

// Tests choose the face instead of the terminal and display tests.
void ForceStatusFaceForTests(const StatusFaceKind* kind);

// Cancels without asking (a second Ctrl-C): counts the request and, unless
// cancelled already, sets the flag and calls the cancel callback.
void StatusCancelNow();

// What fraction of a job a status text says is done: "45%" or "frame 3 of
// 10" (any case); negative when it says nothing of it.
double StatusTextProgress(const std::string& text);

}  // namespace qelutil
