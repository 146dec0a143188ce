// Starting other programs without a shell. A command line is split into
// arguments as a shell splits words: blanks separate them and double or
// single quotes group words (the quotes themselves are dropped; an unclosed
// quote runs to the end of the line); nothing else in the text
// has a meaning, so characters such as ";", "|", "$" or "*" reach the
// program as they were written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments of a command line; empty when it holds no word.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Starts the program args[0] (searched in PATH when it holds no "/"; "\" is
// taken as "/") with the arguments, standard input from stdin_file when one
// is named, and does not wait for it. False when it could not be started.
// Programs started earlier that have ended are reaped on each call.
bool LaunchProgram(const std::vector<std::string>& args, const std::string& stdin_file = {});

// Reaps the started programs that have ended; with wait set, waits for all.
void ReapPrograms(bool wait);

}  // namespace platform
