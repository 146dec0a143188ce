// Status reporting on the terminal, for tools that run without a status
// window: messages go to standard error (and to a message box where the
// display layer shows them), questions are asked on the terminal when
// standard input is one and otherwise take their default answer.
#include <cerrno>
#include <string>

#include "platform/messagebox.h"
#include "qelutil/qelutil.h"
#include "qelutil/status_state.h"

namespace qelutil {

StatusState& Status() {
  static StatusState state;
  return state;
}

std::string StatusCaption() {
  const StatusState& s = Status();
  if (!s.title.empty()) return s.title;
  return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}

void ResetStatusForTests() {
  Status() = StatusState();
}

}  // namespace qelutil

using qelutil::Status;
using qelutil::StatusCaption;

extern "C" {

void StatusInit(void* instance, void* owner, int32_t quiet) {
  qelutil::StatusState& s = Status();
  s.instance = instance;
  s.owner = owner;
  s.quiet = quiet != 0;
}

int32_t StatusSet(const char* text) {
  // The text is kept for the job's report; with no status window there is
  // nothing to show or pump.
  Status().status_text = text != nullptr ? text : "";
  return 0;
}

void StatusMessageTitle(const char* text, const char* caption, int32_t error) {
  platform::ShowMessage(text != nullptr ? text : "", caption != nullptr ? caption : "",
                        error != 0 ? platform::kMessageError : platform::kMessageInfo);
}

void StatusMessage(const char* text, int32_t error) {
  StatusMessageTitle(text, StatusCaption().c_str(), error);
}

int32_t StatusAsk(const char* question, int32_t default_no) {
  std::string q = question != nullptr ? question : "";
  bool yes = platform::AskYesNo(q.c_str(), StatusCaption().c_str(), default_no != 0);
  Status().status_text = q + (yes ? " Yes." : " No.");
  return yes ? 1 : 0;
}

}  // extern "C"
