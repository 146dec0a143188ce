#include "script/window/script_main.h"

#include <cstdlib>
#include <vector>

#include "display/key_queue.h"
#include "display/player_window.h"
#include "platform/cmdline.h"
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

}  // namespace

int ScriptMain(int argc, const char* const* argv) {
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
