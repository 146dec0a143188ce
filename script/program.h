// The script player program without its window layer: the front end's
// hand-shake, the command line, the run of the named script (or
// autoexec.ss), the closing notice and the report to the front end.
#pragma once

#include <string>

#include "script/engine.h"

namespace vidzoscript {

inline constexpr const char* kVersion = "3.1g";
inline constexpr const char* kNoticeLine = "Vidzoer script player";
inline constexpr const char* kSyntaxText = "  Syntax:  VidzoScr  <Vidzoer Script[.ss]>";

// "VidzoScript V 3.1g - <notice line>": the caption of the syntax box.
std::string SyntaxCaption();
// "VidzoScript - V3.1g": the caption of the closing notice.
std::string NoticeCaption();
std::string NoticeText();
// "VidzoScript - V3.1g  <notice line>": the report to the front end.
std::string ReportText();

// Runs the program on its command line (switches and names as
// platform::BuildCommandLine made it). Returns the exit code: 0 after a
// script that finished, 1 after an error or the syntax message.
int RunProgram(std::string command_line, ScriptHost& host);

}  // namespace vidzoscript
