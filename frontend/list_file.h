// List files as the list file editor keeps them: one entry a line, a file
// name optionally followed by " /s<first>" and " /e<last>" (frame numbers
// within that entry). Switches are found in any letter case and written in
// lower case. Nothing here uses Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vidzoerw {

// Finds "/" and `letter` (either case) followed by digits outside double
// quotes, removes the switch and its digits from `line` and returns the
// number; -1 (and `line` unchanged) when there is none. A "/" and the letter
// with no digits after them (as in "scenes/start.flc") is part of a name.
int64_t TakeFrameSwitch(std::string& line, char letter);

// The start and end of an entry (-1 when absent) and its name, trimmed.
struct ListEntry {
  std::string name;
  int64_t start = -1;
  int64_t end = -1;
};
ListEntry SplitListEntry(std::string_view line);
// "name /s<start> /e<end>", each switch only when present (not -1).
std::string JoinListEntry(const ListEntry& entry);

// A frame field's text: its trimmed digits, or -1 for an empty text or one
// that is not a number.
int64_t FrameFieldValue(std::string_view text);

// Sets the start ('S') or end ('E') of `line` from a field's text; true when
// the value changed (an emptied field only when the switch was present).
bool SetListEntryFrame(std::string& line, char letter, std::string_view text);

// The lines of a list file's text ("\n" or "\r\n"; the last line may lack
// its end); empty lines are kept out.
std::vector<std::string> ParseListText(std::string_view text);
// The text of a list: every entry followed by "\n".
std::string ListText(const std::vector<std::string>& entries);

bool LoadListFile(const std::string& path, std::vector<std::string>& entries);
// Writes the list through a temporary name renamed over the file; false on
// failure, which leaves any earlier file as it was.
bool SaveListFile(const std::string& path, const std::vector<std::string>& entries);

}  // namespace vidzoerw
