// Readable durations and frame-rate conversion.
#include <cstdint>
#include <cstring>
#include <string>

#include "qelutil/qelutil.h"

namespace {

// "<n><unit>" with "s" unless n is 1; the separator follows when given ("s "
// or " " after a leading unit).
void AddCount(std::string& out, uint32_t n, const char* unit, bool leading) {
  out += std::to_string(n);
  out += unit;
  if (leading)
    out += n == 1 ? " " : "s ";
  else if (n != 1)
    out += 's';
}

}  // namespace

extern "C" {

char* GetElapsedTime(char* dest, uint32_t milliseconds) {
  if (dest == nullptr) return nullptr;
  uint32_t t = milliseconds;
  std::string text;
  if (t < 1000) {
    AddCount(text, t, " millisecond", false);
  } else if (t < 60000) {
    AddCount(text, t / 1000, " second", false);
  } else if (t < 3600000) {
    AddCount(text, t / 60000, " minute", true);
    AddCount(text, (t % 60000) / 1000, " second", false);
  } else {
    AddCount(text, t / 3600000, " hour", true);
    AddCount(text, (t % 3600000) / 60000, " minute", false);
  }
  std::memcpy(dest, text.c_str(), text.size() + 1);
  return dest;
}

int32_t MakeFrameRate(int32_t rate) {
  if (rate == 0) return 0;
  int64_t r = rate;
  int64_t period;
  if (r < -1500)
    period = -r;  // already in 1/100000 s
  else if (r < 0)
    period = -r * 100;  // milliseconds per frame
  else
    period = 100000 / r;  // frames per second
  if (period < 5) period = 5;
  return period > INT32_MAX ? INT32_MAX : static_cast<int32_t>(period);
}

}  // extern "C"
