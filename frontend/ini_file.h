// The front end's settings file: "[Section]" headers and "Key=Value" lines.
// Sections and keys are found without regard to ASCII case; the order of the
// sections and of the keys in each is kept, so a file read and written again
// keeps its layout (comment and other lines stay where they were, in their
// section).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidzoerw {

class IniFile {
 public:
  // Reads the text of a file; lines may end in "\n" or "\r\n".
  void Parse(std::string_view text);
  // Reads a file; false (and an empty file) when it cannot be read.
  bool Load(const std::string& path);
  // The file's text, lines ending in "\r\n".
  std::string Text() const;
  // Writes the file (through a temporary name renamed over it); false on
  // failure, which leaves any earlier file as it was.
  bool Save(const std::string& path) const;

  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  std::string String(std::string_view section, std::string_view key, std::string_view dflt = {}) const;
  // A profile integer (leading blanks, sign, digits); dflt when absent or
  // without digits.
  int Int(std::string_view section, std::string_view key, int dflt) const;
  // Sets a value: a key already there keeps its place, a new one is added at
  // the end of its section, a new section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int value);
  // Removes a section's keys and other lines (the header stays).
  void EraseSection(std::string_view section);
  bool HasSection(std::string_view section) const;

 private:
  struct Line {
    std::string key;    // empty for a line that is not "Key=Value"
    std::string value;  // the value, or the whole line when key is empty
  };
  struct Section {
    std::string name;  // empty for the lines before the first header
    std::vector<Line> lines;
  };
  Section* Find(std::string_view section);
  const Section* Find(std::string_view section) const;
  std::vector<Section> sections_;
};

}  // namespace vidzoerw
