// The diagnostic log. It is on when "Debug=1" stands in the [Vidzoer] section
// of $XDG_CONFIG_HOME/vidzoer/vidzoer.ini (default ~/.config/vidzoer/), or
// when the environment variable VIDZOER_DEBUG says so (it overrides the
// file: VIDZOER_DEBUG=1 turns the log on, any other non-empty value off). The
// switch is read once per process. Lines go to standard error, or are appended
// to the file named by VIDZOER_DEBUG_LOG.
#pragma once

#include <string>

namespace platform {

// True when diagnostic lines are written.
bool DebugEnabled();

// Writes one printf-style line (a newline is appended) when the log is on;
// does nothing otherwise. Safe to call from several threads.
void DebugLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The settings file the switch is read from.
std::string DebugSettingsFile();

// Forgets the switch and closes the log file, so that the next call reads the
// settings and the environment again.
void ResetDebugForTests();

}  // namespace platform
