// Arbitrary command lines through the switch, word and path-name functions,
// and arbitrary argument lists through the argv rule. The first byte picks the
// letters; the rest is the line (and, split at NUL bytes, the arguments).
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "qelutil/qelutil.h"

namespace {

const platform::SwitchDef kSwitches[] = {
    {'L', platform::SwitchKind::kNumber}, {'L', platform::SwitchKind::kFlag},
    {'T', platform::SwitchKind::kString}, {'#', platform::SwitchKind::kNumber},
    {'s', platform::SwitchKind::kFlag},   {'&', platform::SwitchKind::kString},
    {'N', platform::SwitchKind::kNumber}, {'N', platform::SwitchKind::kString},
};

// Copies of the line in buffers of exactly the line's size, so that the
// sanitizer sees any write past the text.
std::vector<char> Copy(const std::string& s) {
  return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
}

void Switches(const std::string& text, char letter) {
  std::vector<char> line = Copy(text);
  std::vector<char> dest(line.size());
  GetSwitchNum(line.data(), letter, -1);
  GetSwitch(line.data(), letter);
  GetSwitchStr(line.data(), letter, dest.data(), "");
  GetSwitchStr(line.data(), static_cast<char>(letter ^ 0x20), dest.data(), nullptr);
  if (std::strlen(line.data()) > text.size()) __builtin_trap();
}

void Words(const std::string& text, bool quoted) {
  std::vector<char> line = Copy(text);
  std::vector<char> dest(line.size());
  // Every call takes at least one byte off a non-empty line.
  for (size_t guard = 0; line[0] != '\0' && guard <= text.size(); ++guard) {
    size_t before = std::strlen(line.data());
    (quoted ? GetAndRemoveFirstQuoted : GetAndRemoveFirst)(dest.data(), line.data());
    TrimL(line.data());
    if (std::strlen(line.data()) >= before) __builtin_trap();
  }
}

void Texts(const std::string& text) {
  std::vector<char> t = Copy(text);
  RemoveQuotes(t.data());
  t = Copy(text);
  Trim(t.data());
  findchar(text.c_str(), '/');
  HasExtension(text.c_str());
  char number[12];
  u32toa(number, atou32(text.c_str()));
  // Path names get the 256 bytes the header asks for, plus one for AddBackslash.
  if (text.size() < 255) {
    char path[257];
    std::memcpy(path, text.c_str(), text.size() + 1);
    AddBackslash(path);
    std::memcpy(path, text.c_str(), text.size() + 1);
    ExpandFileName(path);
    std::memcpy(path, text.c_str(), text.size() + 1);
    GetFilePieces(path, 1, 1, 1, 1);
  }
}

void Arguments(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  std::vector<const char*> args;
  for (const std::string& p : parts) args.push_back(p.c_str());
  if (auto line = platform::BuildCommandLine(args, kSwitches)) Switches(*line, 'L');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  char letter = static_cast<char>(data[0]);
  std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string text(raw.c_str());  // the line ends at the first NUL
  Switches(text, letter);
  Switches(text, 'L');
  Words(text, false);
  Words(text, true);
  Texts(text);
  Arguments(raw);
  return 0;
}
