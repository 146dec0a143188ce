// What the sound tools share around their work: the command line rebuilt
// from argv, the message function that shows progress and keeps the last
// error, the front end's report channel ("/#"), the run's last line, and
// writing an output under a temporary name beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/report_channel.h"
#include "qelutil/qelutil.h"

namespace vidzotools {

class ToolRun {
 public:
  // `program` names the tool in messages.
  explicit ToolRun(const char* program);
  ~ToolRun();
  ToolRun(const ToolRun&) = delete;
  ToolRun& operator=(const ToolRun&) = delete;

  // The command line of argv as the switch functions read it (names quoted),
  // or false with a message on standard error.
  bool CommandLine(int argc, char** argv, std::span<const platform::SwitchDef> switches, std::vector<char>& line);
  // Opens the status window (titled with the program's name) and, with a
  // "/#" id, the front end's channel.
  void Start(int32_t front_end);
  // The same with the window's title and subtitle.
  void Start(int32_t front_end, const std::string& title, const std::string& subtitle);
  // The message function of the utility library (text, kind); a progress
  // text answers 1 (stop) once the user cancelled.
  static uint8_t Message(const char* text, int32_t kind);
  // Shows a progress text in the status window.
  static void Progress(const std::string& text);
  // Whether the user cancelled (the status window is checked first).
  static bool Cancelled();
  const std::string& LastError() const;
  // Writes the run's last line (standard output when `code` is 0, else
  // standard error), makes it the status text and closes the status window,
  // which reports it to the front end, and returns `code`.
  int Finish(const std::string& text, int code);
  // Closes the status window with `text` as its last status text (which the
  // front end receives), without printing it.
  void Close(const std::string& text);

 private:
  std::unique_ptr<platform::ReportChannel> front_;
};

// Answers "--help" (the usage text and where the help page is) or
// "--version" when one of the arguments asks for it, and says so.
bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage);

// A name beside `target` for writing it: ".<program>-<pid>-<name>".
std::string TemporaryBeside(const std::string& target, const char* program);
// The name without its folder.
std::string BaseName(const std::string& name);
// Elapsed time since `start_ms` of platform clock, as GetElapsedTime says it.
std::string ElapsedSince(uint64_t start_ms);
uint64_t NowMs();

}  // namespace vidzotools
