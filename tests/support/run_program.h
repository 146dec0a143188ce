// Running the toolkit's programs as a user does, for end-to-end tests: one
// shell command line, standard output and error captured in files of a
// temporary folder, and the program's own temporary files kept in
// <folder>/tmp so that tests can see what it leaves behind.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace vidzoer_test {

struct RunResult {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// `s` in single quotes for the shell.
std::string Quote(const std::string& s);

// Runs the program `program` of the build's program folder with `args`
// (already quoted as needed).
RunResult RunProgram(const TempDir& dir, const std::string& program, const std::string& args);

}  // namespace vidzoer_test
