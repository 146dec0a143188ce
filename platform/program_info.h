// What every program says about itself: its version (--version) and where
// its installed help page is (the end of its --help text).
#pragma once

#include <string>

namespace platform {

// "NAME (Vidzoer toolkit) 3.1g" and a line end.
std::string VersionLine(const char* program);

// Writes VersionLine(program) to standard output.
void PrintVersion(const char* program);

// The installed help page of the program, <data>/help/NAME.html, or "" when
// there is none (a program run from the build tree).
std::string HelpPage(const char* program);

// "The full help page: PATH" and a line end, after an empty line, when the
// program has an installed help page; "" otherwise.
std::string HelpPageNote(const char* program);

}  // namespace platform
