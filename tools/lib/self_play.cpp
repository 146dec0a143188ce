#include "tools/lib/self_play.h"

#include <algorithm>
#include <cstring>

namespace vidzotools {

size_t FindSelfPlayField(std::span<const uint8_t> image) {
  static constexpr char kHead[] = "SELFPLAY";
  static constexpr char kTail[] = "VIDZOER!";
  const uint8_t* begin = image.data();
  const uint8_t* end = begin + image.size();
  for (const uint8_t* at = std::search(begin, end, kHead, kHead + 8); at != end;
       at = std::search(at + 1, end, kHead, kHead + 8)) {
    if (static_cast<size_t>(end - at) < 8 + kSelfPlayField + 8) break;
    if (std::memcmp(at + 8 + kSelfPlayField, kTail, 8) == 0) return static_cast<size_t>(at - begin) + 8;
  }
  return kNoSelfPlayField;
}

}  // namespace vidzotools
