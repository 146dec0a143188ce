// A tiny reader for one value of an INI file: "[Section]" headers and
// "Key=Value" lines. Section and key names compare ignoring ASCII case, blanks
// around names and values are dropped, and lines starting with ";" or "#" are
// comments. The first matching key of the first matching section wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The value from the text of an INI file, or nothing when it is absent.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// The same for a file; nothing when the file cannot be read. Only the first
// 1 MiB of the file is looked at.
std::optional<std::string> ReadIniValue(const std::string& file, std::string_view section,
                                        std::string_view key);

// A profile integer as the toolkit reads it: leading blanks, an optional sign
// and decimal digits; text without digits gives the default.
int ParseProfileInt(std::string_view text, int dflt);

}  // namespace platform
