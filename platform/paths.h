// Names as the toolkit's users write them. Scripts, list files and command
// lines may use "\" as a separator, and may have been written on a file
// system that ignores case; ResolvePath turns such a name into the name the
// file system knows.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "\" becomes "/".
std::string ToSystemSeparators(std::string_view name);

// The name with "/" separators; when it does not exist as written, each path
// component that does not exist is matched against its folder's entries
// ignoring case (the first match in name order wins). A name that cannot be
// matched is returned with separators converted and otherwise as written, so
// that creating a new file uses the name the user gave.
std::string ResolvePath(std::string_view name);

}  // namespace platform
