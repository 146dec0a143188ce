// Arbitrary player command lines: the self-play text and the user's line
// through the settings parse, then the whole name list taken apart. The
// first byte says where the self-play text ends (0: none); the rest is the
// text field (up to 208 bytes, not always terminated) and the command line.
#include <cstdint>
#include <cstring>
#include <string>

#include "player/player.h"
#include "player/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) return 0;
  const size_t field_size = data[0] <= 208 ? data[0] : 208;
  const size_t body = size - 1;
  const size_t embedded = field_size < body ? field_size : body;
  char field[208] = {};
  std::memcpy(field, data + 1, embedded);
  const std::string line(reinterpret_cast<const char*>(data + 1 + embedded), body - embedded);

  vidzoplay::PlayerSettings settings;
  std::string names;
  const vidzoplay::LineResult result = vidzoplay::ParseCommandLine(
      line, embedded != 0 ? field : nullptr, settings, [] { return true; }, names);
  if (result != vidzoplay::LineResult::kNames) return 0;
  if (names.size() > vidzoplay::kMaxCommandLine) __builtin_trap();
  vidzoplay::DisplayTypeRequest(settings.DisplayFlags);
  // Every round shortens the list, and no name is longer than the list was.
  while (!names.empty()) {
    const size_t before = names.size();
    const std::string name = vidzoplay::TakeFirstName(names);
    if (names.size() >= before || name.size() > before) __builtin_trap();
  }
  return 0;
}
