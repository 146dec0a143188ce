// Full path names for the path utilities (C++ side of the library).
#pragma once

#include <string>
#include <string_view>

namespace qelutil {

// The longest full path the path utilities hand back (callers' buffers hold
// 256 bytes).
inline constexpr size_t kMaxPath = 255;

// The absolute form of name: "\" taken as "/", a relative name placed under
// the current folder, "." and ".." resolved by their text (the file system is
// not asked), doubled separators merged; a trailing separator is kept. Empty
// when name is empty or the current folder is unknown.
std::string FullPath(std::string_view name);

// True when the name (looked up as the file system knows it) is a folder that
// can be entered.
bool NamesFolder(const std::string& name);

}  // namespace qelutil
