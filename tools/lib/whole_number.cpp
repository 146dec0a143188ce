#include "tools/lib/whole_number.h"

#include <cerrno>
#include <cstdlib>

namespace vidzotools {

bool ParseWholeNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < low || v > high) return false;
  value = v;
  return true;
}

}  // namespace vidzotools
