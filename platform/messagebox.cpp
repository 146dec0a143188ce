#include "platform/messagebox.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex g_mutex;
MessagePresenter g_presenter;

MessagePresenter CurrentPresenter() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_presenter;
}

void WriteToStderr(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
}

bool AskOnTerminal(const char* text, bool default_no) {
  if (!::isatty(STDIN_FILENO)) return !default_no;
  std::fprintf(stderr, "%s %s ", text ? text : "", default_no ? "[y/N]" : "[Y/n]");
  std::fflush(stderr);
  char line[64];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return !default_no;
  char c = line[0];
  if (c == 'y' || c == 'Y') return true;
  if (c == 'n' || c == 'N') return false;
  return !default_no;
}

}  // namespace

void ShowMessage(const char* text, const char* caption, MessageKind kind) {
  WriteToStderr(text, caption);
  if (auto p = CurrentPresenter()) p(text ? text : "", caption ? caption : "", kind, false);
}

bool AskYesNo(const char* text, const char* caption, bool default_no) {
  if (auto p = CurrentPresenter()) {
    WriteToStderr(text, caption);
    return p(text ? text : "", caption ? caption : "", kMessageQuestion, default_no);
  }
  return AskOnTerminal(text, default_no);
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_presenter, std::move(presenter));
}

bool HasMessagePresenter() {
  return static_cast<bool>(CurrentPresenter());
}

}  // namespace platform
