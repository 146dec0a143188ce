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

// Makes the programs run afterwards headless, as on a machine without a
// screen or sound card: SDL's dummy video and audio drivers, no X or Wayland
// display, and `dir` as their runtime folder.
void UseHeadlessEnvironment(const TempDir& dir);

// RunProgram for hostile inputs: the program is ended after `seconds` (a
// guard against hangs; the exit code is then 137) and, when
// `address_space_kib` is not 0, may map at most that much memory (ulimit -v),
// so that a large allocation fails instead of succeeding.
RunResult RunProgramLimited(const TempDir& dir, const std::string& program, const std::string& args,
                            unsigned seconds, unsigned long address_space_kib);

// Whether this build runs under AddressSanitizer, whose programs map far more
// address space than they use (no address-space limit can apply to them).
constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

}  // namespace vidzoer_test
