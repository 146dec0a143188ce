// The "/X" switches of the toolkit's command lines. Text in double quotes is
// never searched: it holds names, which may contain "/".
#include <cstring>

#include "qelutil/qelutil.h"
#include "qelutil/text_chars.h"

using qelutil::CopyPart;
using qelutil::IsBlank;
using qelutil::IsDigit;
using qelutil::UpperAscii;

namespace {

// The next "/" at or after p that is not inside a pair of double quotes; an
// unmatched quote quotes nothing.
char* NextSlash(char* p) {
  while (*p != '\0') {
    if (*p == '"') {
      if (char* close = std::strchr(p + 1, '"')) {
        p = close + 1;
        continue;
      }
    }
    if (*p == '/') return p;
    ++p;
  }
  return nullptr;
}

// The next "/" outside quotes directly followed by the letter, or null.
char* FindSwitch(char* p, char letter) {
  char want = UpperAscii(letter);
  for (char* s = NextSlash(p); s != nullptr; s = NextSlash(s + 1))
    if (s[1] != '\0' && UpperAscii(s[1]) == want) return s;
  return nullptr;
}

// Removes the text from start up to (not including) end.
void Cut(char* start, char* end) {
  std::memmove(start, end, std::strlen(end) + 1);
}

}  // namespace

extern "C" {

int32_t GetSwitch(char* line, char letter) {
  if (line == nullptr) return 0;
  for (char* s = FindSwitch(line, letter); s != nullptr; s = FindSwitch(s + 1, letter)) {
    if (static_cast<unsigned char>(s[2]) < '0') {
      Cut(s, s + 2);
      return 1;
    }
  }
  return 0;
}

int32_t GetSwitchNum(char* line, char letter, int32_t dflt) {
  if (line == nullptr) return dflt;
  for (char* s = FindSwitch(line, letter); s != nullptr; s = FindSwitch(s + 1, letter)) {
    char* digits = s + 2;
    if (*digits == '-') ++digits;
    if (!IsDigit(*digits)) continue;
    auto value = static_cast<int32_t>(atou32(s + 2));
    while (IsDigit(*digits)) ++digits;
    Cut(s, digits);
    return value;
  }
  return dflt;
}

int32_t GetSwitchStr(char* line, char letter, char* dest, const char* dflt) {
  if (dest == nullptr) return 0;
  if (line != nullptr) {
    for (char* s = FindSwitch(line, letter); s != nullptr; s = FindSwitch(s + 1, letter)) {
      char* text = s + 2;
      if (*text == '\0' || IsBlank(*text)) continue;
      char* end;
      if (*text == '"') {
        // Quoted: the text up to the closing quote, which is consumed too; an
        // unmatched quote runs to the end of the line.
        char* close = std::strchr(text + 1, '"');
        size_t length = close != nullptr ? static_cast<size_t>(close - text - 1) : std::strlen(text + 1);
        CopyPart(dest, text + 1, length);
        end = close != nullptr ? close + 1 : text + 1 + length;
      } else {
        end = text;
        while (*end != '\0' && *end != '/' && !IsBlank(*end)) ++end;
        CopyPart(dest, text, static_cast<size_t>(end - text));
      }
      Cut(s, end);
      return 1;
    }
  }
  const char* fallback = dflt != nullptr ? dflt : "";
  std::memmove(dest, fallback, std::strlen(fallback) + 1);
  return 0;
}

}  // extern "C"
