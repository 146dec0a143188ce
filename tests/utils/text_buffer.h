// A text in a fixed buffer with guard bytes behind it, for the functions that
// change texts in place.
#pragma once

#include <cstring>
#include <string>

namespace vidzoer_test {

template <size_t kCapacity>
struct TextBuffer {
  static constexpr size_t kGuard = 32;
  explicit TextBuffer(const std::string& text) {
    std::memset(buf, '#', sizeof buf);
    size_t n = text.size() < kCapacity ? text.size() : kCapacity - 1;
    std::memcpy(buf, text.c_str(), n);
    buf[n] = '\0';
  }
  std::string str() const { return buf; }
  // True when nothing was written behind the capacity.
  bool GuardIntact() const {
    for (size_t i = kCapacity; i < sizeof buf; ++i)
      if (buf[i] != '#') return false;
    return true;
  }
  char buf[kCapacity + kGuard];
};

}  // namespace vidzoer_test
