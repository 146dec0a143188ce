#include "script/window/script_main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/key_queue.h"
#include "display/player_window.h"
#include "platform/cmdline.h"
#include "platform/program_info.h"
#include "script/program.h"
#include "sound/sound.h"

namespace vidzoscript {
namespace {

bool DisplayGiven() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

class WindowScriptHost : public ScriptHost {
 public:
  ~WindowScriptHost() override {
    if (video_started_) VidzoVideoStop();
  }
  void Pump() override {
    VidzoDispatchEvents();
    VidzoSoundService();
  }
  void Message(const std::string& text, const std::string& caption, platform::MessageKind kind) override {
    // On a display the box is shown through SDL as well.
    if (!video_started_ && DisplayGiven()) video_started_ = VidzoVideoStart() != 0;
    ScriptHost::Message(text, caption, kind);
  }

 private:
  bool video_started_ = false;
};

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
