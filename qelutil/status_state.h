// The process-wide state of the status reporting functions (Status...).
#pragma once

#include <string>

namespace qelutil {

struct StatusState {
  void* instance = nullptr;
  void* owner = nullptr;  // the front end's window, or none
  bool quiet = false;
  std::string title;        // the status window's title; empty before it opens
  std::string status_text;  // the line a status window shows
};

StatusState& Status();

// The caption of message boxes: the title, or the program's name while no
// title is set.
std::string StatusCaption();

// Back to the state of a fresh process.
void ResetStatusForTests();

}  // namespace qelutil
