// qelsiw: the system information tool. Prints what the toolkit sees of the
// machine: the processor and its vector units, memory, the displays and
// their modes, the sound drivers and devices, and the toolkit's version and
// folders; started by the front end, it also reports a summary to it.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/debuglog.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/system_info.h"
#include "tools/lib/tool_run.h"

namespace {

using vidzotools::ToolRun;

constexpr const char* kUsage =
    "usage: qelsiw [/M]\n"
    "Prints what the toolkit sees of this machine: the processor and its\n"
    "vector units, memory, the displays and their modes, the sound drivers\n"
    "and devices, and the toolkit's version and folders.\n"
    "  /M         list every mode of each display (default: the current one\n"
    "             and how many there are)\n"
    "Exit status 0, or 2 for a usage error.\n";

constexpr platform::SwitchDef kSwitches[] = {{'M', platform::SwitchKind::kFlag},
                                             {'#', platform::SwitchKind::kNumber}};

std::string Megabytes(uint64_t bytes) {
  return std::to_string(bytes / (1024 * 1024)) + " MB";
}

std::string ModeText(const platform::DisplayMode& m) {
  std::string text = std::to_string(m.width) + "x" + std::to_string(m.height);
  if (m.bits != 0) text += ", " + std::to_string(m.bits) + "-bit";
  if (m.refresh != 0) text += ", " + std::to_string(m.refresh) + " Hz";
  return text;
}

std::string Joined(const std::vector<std::string>& words, const char* none) {
  if (words.empty()) return none;
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : ", ") + w;
  return text;
}

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string p(path, static_cast<size_t>(n));
  return p.substr(0, p.find_last_of('/'));
}

}  // namespace

int main(int argc, char** argv) {
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "qelsiw", kUsage)) return 0;
  ToolRun run("qelsiw");
  std::vector<char> line;
  if (!run.CommandLine(argc, argv, kSwitches, line)) return 2;
  char* cmd = line.data();
  const bool all_modes = GetSwitch(cmd, 'M') != 0;
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  Trim(cmd);
  if (cmd[0] != '\0') {
    std::fprintf(stderr, "qelsiw: unknown switch or name: %s (see --help)\n", cmd);
    return 2;
  }
  run.Start(front_end, "QelSIW", "System information");
  ToolRun::Progress("Looking at the machine...");
  const platform::SystemInfo info = platform::ReadSystemInfo();

  std::string out;
  auto say = [&out](const std::string& text) { out += text + "\n"; };
  say(platform::VersionLine("qelsiw").substr(0, platform::VersionLine("qelsiw").find('\n')));
  say("Processor: " + (info.processor.empty() ? std::string("unknown") : info.processor) + ", " +
      std::to_string(info.processors) + " online");
  say("Vector units: " + Joined(info.vectors, "none"));
  say("Memory: " + Megabytes(info.memory_total) + " in all, " + Megabytes(info.memory_available) +
      " available");
  if (info.video_driver.empty()) {
    say("Displays: none (" + info.video_error + ")");
  } else {
    say("Video driver: " + info.video_driver);
    say("Displays: " + std::to_string(info.displays.size()));
    for (size_t d = 0; d < info.displays.size(); ++d) {
      const platform::DisplayInfo& display = info.displays[d];
      say("  Display " + std::to_string(d) + (display.name.empty() ? "" : " (" + display.name + ")") + ": " +
          ModeText(display.current) + ", " + std::to_string(display.modes.size()) + " mode" +
          (display.modes.size() == 1 ? "" : "s"));
      if (all_modes)
        for (const platform::DisplayMode& m : display.modes) say("    " + ModeText(m));
    }
  }
  say("Sound drivers: " + Joined(info.audio_drivers, "none"));
  if (info.audio_driver.empty()) {
    say("Sound output: none (" + info.audio_error + ")");
  } else {
    say("Sound output: " + info.audio_driver +
        ", devices: " + Joined(info.audio_devices, "the default only"));
  }
  say("Program folder: " + ProgramFolder());
  const std::string data = platform::DataDir();
  say("Data folder: " + (data.empty() ? std::string("none") : data));
  say("Settings: " + platform::DebugSettingsFile());
  const char* tmp = std::getenv("TMPDIR");
  say("Temporary folder: " + std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp"));
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);

  // The front end gets the whole description, one line a line.
  std::string report;
  for (size_t at = 0; at < out.size();) {
    const size_t end = out.find('\n', at);
    report += (report.empty() ? "" : "\r\n  ") + out.substr(at, end - at);
    at = end + 1;
  }
  run.Close(report);
  return 0;
}
