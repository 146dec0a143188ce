// From argv to the toolkit's command line. File names on this system hold
// "/", which the command lines also use for switches, so each program says
// which switches it knows: an argument made entirely of those switches (such
// as "/L3/T5" or "/S") goes into the command line as it is, every other
// argument is a name and goes in double quotes (the switch functions skip
// quoted text, and the name splitters take quoted names whole).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

enum class SwitchKind {
  kFlag,    // "/X" alone
  kNumber,  // "/X" and decimal digits, optionally after "-"
  kString,  // "/X" and a text up to the next "/", or a double-quoted text
};

// One switch a program knows. A letter that takes a number or nothing (as
// the player's "/L") is listed once with each kind. Letters compare ignoring
// case; any character other than "/" and "\"" may serve as a letter.
struct SwitchDef {
  char letter;
  SwitchKind kind;
};

// True when arg consists entirely of known switches.
bool IsSwitchArgument(std::string_view arg, std::span<const SwitchDef> switches);

// The command line for the arguments (without the program name), joined by
// one blank. A single string switch whose text holds blanks ("/Tmy title") is
// passed with that text quoted. Nothing is returned when an argument cannot
// be carried: a name holding a double quote; error then says which.
std::optional<std::string> BuildCommandLine(std::span<const char* const> args,
                                            std::span<const SwitchDef> switches,
                                            std::string* error = nullptr);

// The same for main's arguments; argv[0] (the program) is skipped.
std::optional<std::string> BuildCommandLine(int argc, const char* const* argv,
                                            std::span<const SwitchDef> switches,
                                            std::string* error = nullptr);

}  // namespace platform
