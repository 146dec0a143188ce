#include "platform/debuglog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/ini_value.h"

namespace platform {
namespace {

struct DebugState {
  std::mutex mutex;
  bool known = false;  // the switch has been read
  bool enabled = false;
  std::FILE* sink = nullptr;  // the log file, or null for standard error
  bool sink_known = false;
};

DebugState& State() {
  static DebugState state;
  return state;
}

const char* NonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && v[0] != '\0') ? v : nullptr;
}

bool ReadSwitch() {
  if (const char* env = NonEmptyEnv("VIDZOER_DEBUG")) return ParseProfileInt(env, 0) == 1;
  std::optional<std::string> value = ReadIniValue(DebugSettingsFile(), "Vidzoer", "Debug");
  return value && ParseProfileInt(*value, 0) == 1;
}

// Called with the mutex held.
bool EnabledLocked(DebugState& s) {
  if (!s.known) {
    s.enabled = ReadSwitch();
    s.known = true;
  }
  return s.enabled;
}

std::FILE* SinkLocked(DebugState& s) {
  if (!s.sink_known) {
    s.sink_known = true;
    if (const char* name = NonEmptyEnv("VIDZOER_DEBUG_LOG")) {
      s.sink = std::fopen(name, "ae");
      if (s.sink == nullptr)
        std::fprintf(stderr, "Vidzoer: cannot open the debug log %s; writing to standard error\n", name);
    }
  }
  return s.sink != nullptr ? s.sink : stderr;
}

}  // namespace

std::string DebugSettingsFile() {
  if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    return std::string(xdg) + "/vidzoer/vidzoer.ini";
  const char* home = NonEmptyEnv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/vidzoer/vidzoer.ini";
}

bool DebugEnabled() {
  DebugState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return EnabledLocked(s);
}

void DebugLog(const char* fmt, ...) {
  if (fmt == nullptr) return;
  DebugState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!EnabledLocked(s)) return;

  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string line;
  if (n > 0) {
    line.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(line.data(), line.size(), fmt, args);
    line.resize(static_cast<size_t>(n));
  }
  va_end(args);
  line += '\n';

  std::FILE* out = SinkLocked(s);
  std::fwrite(line.data(), 1, line.size(), out);
  std::fflush(out);
}

void ResetDebugForTests() {
  DebugState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.sink != nullptr) std::fclose(s.sink);
  s.sink = nullptr;
  s.sink_known = false;
  s.known = false;
  s.enabled = false;
}

}  // namespace platform
