#include "platform/cmdline.h"

#include <vector>

namespace platform {
namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool Knows(std::span<const SwitchDef> switches, char letter, SwitchKind kind) {
  for (const SwitchDef& d : switches)
    if (d.kind == kind && Upper(d.letter) == Upper(letter)) return true;
  return false;
}

// Length of the switch of the given kind at the start of s (which begins
// with "/" and the letter), or 0 when s does not hold one there.
size_t MatchSwitch(std::string_view s, SwitchKind kind) {
  size_t i = 2;
  switch (kind) {
    case SwitchKind::kFlag:
      return (s.size() == 2 || s[2] == '/') ? 2 : 0;
    case SwitchKind::kNumber:
      if (i < s.size() && s[i] == '-') ++i;
      if (i >= s.size() || !IsDigit(s[i])) return 0;
      while (i < s.size() && IsDigit(s[i])) ++i;
      return (i == s.size() || s[i] == '/') ? i : 0;
    case SwitchKind::kString:
      if (i < s.size() && s[i] == '"') {
        size_t close = s.find('"', i + 1);
        if (close == std::string_view::npos) return 0;
        i = close + 1;
      } else {
        while (i < s.size() && s[i] != '/' && s[i] != '"' && !IsBlank(s[i])) ++i;
        if (i == 2) return 0;  // an empty text is not a value
      }
      return (i == s.size() || s[i] == '/') ? i : 0;
  }
  return 0;
}

// Whether s is a sequence of known switches. A letter may be known with
// several kinds, so every way of reading it counts: the positions where a
// switch can start are marked from left to right.
bool AllSwitches(std::string_view s, std::span<const SwitchDef> switches) {
  std::vector<bool> starts(s.size() + 1, false);
  starts[0] = true;
  for (size_t pos = 0; pos < s.size(); ++pos) {
    if (!starts[pos]) continue;
    std::string_view rest = s.substr(pos);
    if (rest.size() < 2 || rest[0] != '/' || rest[1] == '/' || rest[1] == '"') continue;
    for (SwitchKind kind : {SwitchKind::kFlag, SwitchKind::kNumber, SwitchKind::kString}) {
      if (!Knows(switches, rest[1], kind)) continue;
      if (size_t len = MatchSwitch(rest, kind); len != 0) starts[pos + len] = true;
    }
  }
  return starts[s.size()];
}

// "/X" and a text with blanks but without "/" or quotes: one string switch
// whose text the shell passed as one argument.
bool IsStringSwitchWithBlanks(std::string_view arg, std::span<const SwitchDef> switches) {
  if (arg.size() < 3 || arg[0] != '/' || !Knows(switches, arg[1], SwitchKind::kString)) return false;
  std::string_view text = arg.substr(2);
  if (IsBlank(text.front()) || text.find_first_of("/\"") != std::string_view::npos) return false;
  for (char c : text)
    if (IsBlank(c)) return true;
  return false;
}

}  // namespace

bool IsSwitchArgument(std::string_view arg, std::span<const SwitchDef> switches) {
  return !arg.empty() && AllSwitches(arg, switches);
}

std::optional<std::string> BuildCommandLine(std::span<const char* const> args,
                                            std::span<const SwitchDef> switches, std::string* error) {
  std::string line;
  for (const char* a : args) {
    std::string_view arg = a != nullptr ? a : "";
    if (!line.empty()) line += ' ';
    if (IsSwitchArgument(arg, switches)) {
      line += arg;
    } else if (IsStringSwitchWithBlanks(arg, switches)) {
      line.append(arg.substr(0, 2)).append("\"").append(arg.substr(2)).append("\"");
    } else if (arg.find('"') != std::string_view::npos) {
      if (error != nullptr) *error = "A name cannot hold a double quote: " + std::string(arg);
      return std::nullopt;
    } else {
      line.append("\"").append(arg).append("\"");
    }
  }
  return line;
}

std::optional<std::string> BuildCommandLine(int argc, const char* const* argv,
                                            std::span<const SwitchDef> switches, std::string* error) {
  if (argc <= 1 || argv == nullptr) return std::string();
  return BuildCommandLine(std::span<const char* const>(argv + 1, static_cast<size_t>(argc - 1)), switches,
                          error);
}

}  // namespace platform
