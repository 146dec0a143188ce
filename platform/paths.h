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

// The toolkit's installed data folder, <prefix>/share/vidzoer (help pages in
// help/, example scripts in examples/), found from the running program's own
// place, <prefix>/bin, so that an installed copy finds its own data wherever
// it was installed. VIDZOER_DATA_DIR, when set and not empty, names the
// folder instead.
std::string DataDir();

// The data folder of the program at program_path (<prefix>/bin/NAME gives
// <prefix>/share/vidzoer), without "." and ".." steps.
std::string DataDirFor(std::string_view program_path);

// DataDir()/relative when that file or folder exists, "" otherwise.
std::string FindDataFile(std::string_view relative);

}  // namespace platform
