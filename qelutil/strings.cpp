// Trimming, word splitting and number texts.
#include <cstdio>
#include <cstring>

#include "qelutil/qelutil.h"
#include "qelutil/text_chars.h"

using qelutil::CopyPart;
using qelutil::IsBlank;
using qelutil::IsDigit;

namespace {

// Removes count bytes from the front of text.
void DropFront(char* text, size_t count) {
  if (count > 0) std::memmove(text, text + count, std::strlen(text + count) + 1);
}

// Removes trailing blanks.
void TrimR(char* text) {
  size_t n = std::strlen(text);
  while (n > 0 && IsBlank(text[n - 1])) --n;
  text[n] = '\0';
}

}  // namespace

extern "C" {

char* TrimL(char* text) {
  if (text == nullptr) return nullptr;
  size_t i = 0;
  while (IsBlank(text[i])) ++i;
  DropFront(text, i);
  return text;
}

char* Trim(char* text) {
  if (text == nullptr) return nullptr;
  TrimR(text);
  return TrimL(text);
}

char* TrimAscii(char* text) {
  return Trim(text);
}

void GetAndRemoveFirst(char* dest, char* line) {
  if (dest == nullptr) return;
  dest[0] = '\0';
  if (line == nullptr) return;
  TrimL(line);
  size_t word = 0;  // every non-blank is a word character
  while (line[word] != '\0' && !IsBlank(line[word])) ++word;
  size_t end = word;
  while (IsBlank(line[end])) ++end;
  size_t taken = word;
  if (line[end] == ',') taken = ++end;  // the comma goes with the word
  CopyPart(dest, line, taken);
  TrimR(dest);
  DropFront(line, end);
  TrimL(line);
}

void GetAndRemoveFirstQuoted(char* dest, char* line) {
  if (dest == nullptr) return;
  dest[0] = '\0';
  if (line == nullptr) return;
  TrimL(line);
  const char* close = line[0] == '"' ? std::strchr(line + 1, '"') : nullptr;
  if (close == nullptr) {
    GetAndRemoveFirst(dest, line);
    return;
  }
  size_t length = static_cast<size_t>(close - line) - 1;
  CopyPart(dest, line + 1, length);
  DropFront(line, length + 2);
  Trim(line);
  // One comma after a quoted name separates it from the next; it belongs to
  // neither.
  if (line[0] == ',') {
    DropFront(line, 1);
    TrimL(line);
  }
}

char* RemoveQuotes(char* text) {
  if (Trim(text) == nullptr) return nullptr;
  size_t n = std::strlen(text);
  if (n >= 2 && text[0] == '"' && text[n - 1] == '"') CopyPart(text, text + 1, n - 2);
  return text;
}

char* findchar(const char* text, char c) {
  if (text == nullptr) return nullptr;
  for (const char* p = text; *p != '\0'; ++p)
    if (*p == c) return const_cast<char*>(p);
  return nullptr;
}

char* u32toa(char* dest, uint32_t value) {
  if (dest == nullptr) return nullptr;
  int n = std::snprintf(dest, 12, "%d", static_cast<int>(static_cast<int32_t>(value)));
  return dest + n;
}

uint32_t atou32(const char* text) {
  if (text == nullptr) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint32_t value = 0;  // wraps modulo 2^32 like the toolkit's 32-bit numbers
  for (; IsDigit(*text); ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  return negative ? 0u - value : value;
}

}  // extern "C"
