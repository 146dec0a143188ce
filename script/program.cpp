#include "script/program.h"

#include <cstring>
#include <vector>

#include "platform/report_channel.h"
#include "player/settings.h"
#include "qelutil/qelutil.h"

namespace vidzoscript {
namespace {

void ShowSyntax(ScriptHost& host) {
  host.Message(kSyntaxText + 1, SyntaxCaption(), platform::kMessageInfo);
}

}  // namespace

std::string SyntaxCaption() {
  return std::string("VidzoScript V ") + kVersion + " - " + kNoticeLine;
}

std::string NoticeCaption() {
  return std::string("VidzoScript - V") + kVersion;
}

std::string NoticeText() {
  return "VidzoScript is part of the Vidzoer Video and Animation\r\n"
         "Compressor package: it runs scripts that play Vidzoer\r\n"
         "animations, draw pictures and text, and answer the keyboard\r\n"
         "and the mouse.";
}

std::string ReportText() {
  return NoticeCaption() + "  " + kNoticeLine;
}

int RunProgram(std::string command_line, ScriptHost& host) {
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  const auto front_end_id = static_cast<uint32_t>(GetSwitchNum(line.data(), '#', 0));
  GetSwitch(line.data(), '#');
  const platform::FrontEndLink front = platform::GreetFrontEnd(front_end_id);
  host.Pump();

  int exit_code = 0;
  bool syntax = false;
  if (vidzoplay::HasSlashOutsideQuotes(line.data())) {
    ShowSyntax(host);
    syntax = true;
    exit_code = 1;
  } else {
    Engine engine(host);
    Trim(line.data());
    std::vector<char> arguments(line.begin(), line.end());
    std::vector<char> name(arguments.size());
    GetAndRemoveFirstQuoted(name.data(), arguments.data());
    engine.script_arguments() = arguments.data();
    bool failed = false;
    if (name[0] != '\0') {
      if (!engine.RunTop(name.data(), &failed)) {
        try {
          engine.Error(kErrorOpening, name.data(), "\r\n");
        } catch (const ScriptAbort&) {
          failed = true;
        }
      }
    } else if (!engine.RunTop("autoexec.ss", &failed)) {
      ShowSyntax(host);
      syntax = true;
      failed = true;
    }
    engine.CloseAll();
    exit_code = failed ? 1 : 0;
  }
  if (!syntax && !front.started_us) host.Message(NoticeText(), NoticeCaption(), platform::kMessageInfo);
  platform::ReportToFrontEnd(front, ReportText());
  return exit_code;
}

}  // namespace vidzoscript
