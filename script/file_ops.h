// File operations of the FILE... commands that work on names rather than
// open files: wildcard matching, target names formed from patterns, and
// deleting, renaming and copying one file.
#pragma once

#include <string>
#include <vector>

namespace vidzoscript {

// Whether a file name matches a pattern of "*" and "?", ignoring case. A
// pattern ending in ".*" also matches names without an extension, so "*.*"
// matches every name.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// The target name for a source file name (no folder) from a to pattern (no
// folder): the pattern's name and extension are filled in separately from
// the source's, "?" taking the source character at the same place and "*"
// the rest of the source piece.
std::string FormTargetName(const std::string& pattern, const std::string& source);

// The names of the regular files in the folder (as the file system knows
// it) that match the pattern, in name order.
std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& pattern);

// Splits a name at its last "/" or "\": the folder with its separator (or
// empty) and the file part.
void SplitFolder(const std::string& name, std::string& folder, std::string& file);

// The operations; true on success. Names are full names.
bool DeleteOne(const std::string& from);
// Fails when the target exists already (a file is never overwritten by a
// move); moves across file systems by copying.
bool RenameOne(const std::string& from, const std::string& to);
// Fails for a copy onto the source itself; copies in blocks of 4096 bytes up
// to the source's size, gives the target the source's file time, and deletes
// the target after any read or write shortfall.
bool CopyOne(const std::string& from, const std::string& to);

}  // namespace vidzoscript
