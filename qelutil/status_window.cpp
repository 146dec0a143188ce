// The status window of the tools: one per process, opened with a title, a
// subtitle and a cancel callback, shown through one of its faces (a window,
// a progress line on the terminal, or plain lines on standard error), and
// closed with the report of how the job ended to the front end.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/messagebox.h"
#include "platform/report_channel.h"
#include "qelutil/qelutil.h"
#include "qelutil/status_state.h"

namespace qelutil {
namespace {

const StatusFaceKind* g_forced_face = nullptr;
StatusFaceKind g_forced_copy = StatusFaceKind::kQuiet;

bool DisplayAvailable() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && x[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// The front end's number kept in the owner pointer.
uint32_t FrontEndOf(void* owner) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
}

// Reads a decimal number at text[i]; false when no digit is there.
bool NumberAt(const std::string& text, size_t& i, double& value) {
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 1e15)
    value = value * 10 + (text[i++] - '0');
  return true;
}

}  // namespace

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

void ForceStatusFaceForTests(const StatusFaceKind* kind) {
  if (kind == nullptr) {
    g_forced_face = nullptr;
    return;
  }
  g_forced_copy = *kind;
  g_forced_face = &g_forced_copy;
}

StatusFaceKind ChooseStatusFace() {
  if (g_forced_face != nullptr) return *g_forced_face;
  if (Status().quiet) return StatusFaceKind::kQuiet;
  if (::isatty(STDERR_FILENO)) return StatusFaceKind::kTerminal;
  if (DisplayAvailable()) return StatusFaceKind::kWindow;
  return StatusFaceKind::kQuiet;
}

void StatusCancelNow() {
  StatusState& s = Status();
  ++s.cancel_requests;
  if (s.cancelled) return;
  s.cancelled = true;
  if (s.on_cancel != nullptr) s.on_cancel();
}

double StatusTextProgress(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // "frame n of m"
  for (size_t at = lower.find("frame "); at != std::string::npos; at = lower.find("frame ", at + 1)) {
    size_t i = at + 6;
    double n = 0, m = 0;
    if (!NumberAt(lower, i, n) || lower.compare(i, 4, " of ") != 0) continue;
    i += 4;
    if (!NumberAt(lower, i, m) || m <= 0) continue;
    return n >= m ? 1.0 : n / m;
  }
  // "n%"
  for (size_t at = lower.find('%'); at != std::string::npos; at = lower.find('%', at + 1)) {
    size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(lower[start - 1]))) --start;
    double n = 0;
    if (start == at || !NumberAt(lower, start, n)) continue;
    return n >= 100 ? 1.0 : n / 100;
  }
  return -1;
}

}  // namespace qelutil

using qelutil::Status;
using qelutil::StatusCaption;
using qelutil::StatusFaceKind;

extern "C" {

void StatusInit(void* instance, void* owner, int32_t quiet) {
  qelutil::StatusState& s = Status();
  s.instance = instance;
  s.owner = owner;
  s.quiet = quiet != 0;
}

int32_t StatusOpen(const char* title, const char* subtitle, StatusCancelFn on_cancel) {
  qelutil::StatusState& s = Status();
  if (s.face != nullptr) s.face->Close(false);
  s.face.reset();
  s.title = title != nullptr ? title : "";
  s.subtitle = subtitle != nullptr ? subtitle : "";
  s.status_text = "Loading...";
  s.on_cancel = on_cancel;
  s.cancelled = false;
  s.cancel_requests = 0;
  switch (qelutil::ChooseStatusFace()) {
    case StatusFaceKind::kWindow:
      s.face = qelutil::MakeWindowFace(s.title);
      break;
    case StatusFaceKind::kTerminal:
      s.face = qelutil::MakeTerminalFace(STDERR_FILENO);
      break;
    case StatusFaceKind::kQuiet:
      break;
  }
  // A window that cannot be made leaves the plain lines.
  if (s.face == nullptr) s.face = qelutil::MakeQuietFace();
  return s.face != nullptr ? 1 : 0;
}

int32_t StatusCheck(void) {
  qelutil::StatusState& s = Status();
  if (s.face == nullptr) return 0;
  return s.face->Pump() ? 1 : 0;
}

int32_t StatusSet(const char* text) {
  qelutil::StatusState& s = Status();
  s.status_text = text != nullptr ? text : "";
  if (s.face == nullptr) return 0;
  s.face->Show(s.status_text);
  return StatusCheck();
}

void StatusMessageTitle(const char* text, const char* caption, int32_t error) {
  const std::string t = text != nullptr ? text : "";
  const std::string c = caption != nullptr ? caption : "";
  qelutil::StatusState& s = Status();
  if (s.face != nullptr) {
    s.face->Message(t, c, error != 0);
    s.face->Pump();
    return;
  }
  platform::ShowMessage(t.c_str(), c.c_str(), error != 0 ? platform::kMessageError : platform::kMessageInfo);
}

void StatusMessage(const char* text, int32_t error) {
  StatusMessageTitle(text, StatusCaption().c_str(), error);
}

int32_t StatusAsk(const char* question, int32_t default_no) {
  std::string q = question != nullptr ? question : "";
  qelutil::StatusState& s = Status();
  const bool yes = s.face != nullptr
                       ? s.face->Ask(q, StatusCaption(), default_no != 0)
                       : platform::AskYesNo(q.c_str(), StatusCaption().c_str(), default_no != 0);
  s.status_text = q + (yes ? " Yes." : " No.");
  if (s.face != nullptr) s.face->Show(s.status_text);
  return yes ? 1 : 0;
}

int32_t StatusDoCancel(void) {
  qelutil::StatusState& s = Status();
  ++s.cancel_requests;
  if (!s.cancelled && StatusAsk("Do you want to cancel?", 1) != 0) {
    s.cancelled = true;
    if (s.on_cancel != nullptr) s.on_cancel();
  }
  return s.cancelled ? 1 : 0;
}

void* StatusGetHWND(void) {
  qelutil::StatusState& s = Status();
  if (s.face != nullptr && s.face->Visible()) {
    void* handle = s.face->Handle();
    if (handle != nullptr) return handle;
  }
  return s.owner;
}

void StatusClose(int32_t wait) {
  qelutil::StatusState& s = Status();
  if (s.face == nullptr) return;
  if (s.owner != nullptr) {
    const std::string report = s.title + " - " + s.subtitle + "\r\n  " + s.status_text;
    CopyData(s.owner, nullptr, platform::kReportDataText, static_cast<uint32_t>(report.size() + 1),
             report.c_str());
  }
  const bool waits = !s.quiet && wait != 0 && s.face->Visible();
  if (waits) s.cancelled = true;  // Done ends the window; nothing is asked any more
  s.face->Close(waits);
  s.face.reset();
}

int32_t CopyData(void* target, void* sender, uint32_t identifier, uint32_t count, const void* data) {
  (void)sender;
  const uint32_t id = qelutil::FrontEndOf(target);
  if (id == 0 || (data == nullptr && count != 0)) return 0;
  auto channel = platform::ReportChannel::Connect(id);
  if (channel == nullptr) return 0;
  return channel->CopyData(identifier, data, count) ? 1 : 0;
}

}  // extern "C"
