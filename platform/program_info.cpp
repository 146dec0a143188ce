#include "platform/program_info.h"

#include <cstdio>

#include "platform/paths.h"
#include "vidzoer/version.h"

namespace platform {

std::string VersionLine(const char* program) {
  return std::string(program) + " (Vidzoer toolkit) " + VIDZOER_VERSION_TEXT + "\n";
}

void PrintVersion(const char* program) {
  std::fputs(VersionLine(program).c_str(), stdout);
}

std::string HelpPage(const char* program) {
  return FindDataFile(std::string("help/") + program + ".html");
}

std::string HelpPageNote(const char* program) {
  const std::string page = HelpPage(program);
  return page.empty() ? std::string() : "\nThe full help page: " + page + "\n";
}

}  // namespace platform
