// Character classes shared by the string, switch and path utilities.
#pragma once

#include <cstddef>
#include <cstring>

namespace qelutil {

// A blank is a control character or the space (bytes 1 to 32). Bytes from 128
// up are letters of names written in UTF-8 or a code page, not blanks.
inline bool IsBlank(char c) {
  auto b = static_cast<unsigned char>(c);
  return b >= 1 && b <= 32;
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

inline char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Copies count bytes of src (which may overlap dest) and terminates them.
inline void CopyPart(char* dest, const char* src, size_t count) {
  std::memmove(dest, src, count);
  dest[count] = '\0';
}

}  // namespace qelutil
