#include "script/window/script_main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/program_info.h"
#include "script/program.h"
#include "script/window/window_host.h"

namespace vidzoscript {
namespace {

// "--help" and "--version" alone on the command line answer on standard
// output, for shells and package tools; every other command line is the
// script player's own.
bool AnswerAboutProgram(int argc, const char* const* argv) {
  if (argc != 2) return false;
  const std::string arg = argv[1];
  if (arg == "--version") {
    platform::PrintVersion("vidzoscw");
    return true;
  }
  if (arg != "--help") return false;
  std::printf(
      "%s\n"
      "  Syntax:  vidzoscw  <Vidzoer Script[.ss]>\n"
      "  Runs the script (\".ss\" is added to a name without extension); with no\n"
      "  script named, autoexec.ss in the current folder runs.\n"
      "  Exit code 0 when the script finished, 1 after an error or this syntax.\n"
      "  --help     show this text\n"
      "  --version  show the version\n",
      SyntaxCaption().c_str());
  std::fputs(platform::HelpPageNote("vidzoscw").c_str(), stdout);
  return true;
}

}  // namespace

int ScriptMain(int argc, const char* const* argv) {
  if (AnswerAboutProgram(argc, argv)) return 0;
  const std::vector<platform::SwitchDef> known = {{'#', platform::SwitchKind::kFlag},
                                                  {'#', platform::SwitchKind::kNumber}};
  std::string error;
  const std::optional<std::string> line = platform::BuildCommandLine(argc, argv, known, &error);
  WindowScriptHost host;
  if (!line) {
    host.Message(error, "Error", platform::kMessageError);
    return 1;
  }
  return RunProgram(*line, host);
}

}  // namespace vidzoscript
