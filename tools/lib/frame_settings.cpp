// The frame-specific settings file of the compressor.
#include "tools/lib/frame_settings.h"

#include <cctype>

namespace vidzotools {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// A signed decimal number at text[pos], at most nine digits.
bool ReadNumber(std::string_view text, size_t& pos, int64_t& value) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
    if (pos - start >= 9) return false;
    value = value * 10 + (text[pos++] - '0');
  }
  if (pos == start) return false;
  if (negative) value = -value;
  return true;
}

bool ParseLine(std::string_view line, SettingsChange& change, std::string& error) {
  size_t pos = 0;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  int64_t frame = 0;
  if (pos < line.size() && line[pos] == '-') {
    error = "a frame number starts at 1";
    return false;
  }
  if (!ReadNumber(line, pos, frame) || frame < 1) {
    error = "a line starts with a frame number from 1";
    return false;
  }
  change.frame = static_cast<uint32_t>(frame);
  bool any = false;
  for (;;) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) break;
    if (line[pos] != '/' || pos + 1 == line.size()) {
      error = "expected a switch such as /N150000 after the frame number";
      return false;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[pos + 1])));
    pos += 2;
    int64_t value = 0;
    if (!ReadNumber(line, pos, value)) {
      error = std::string("/") + letter + " needs a number";
      return false;
    }
    const int32_t v = static_cast<int32_t>(value);
    switch (letter) {
      case 'N':
      case 'K':
        if (!CheckRateValue(v, letter, error)) return false;
        (letter == 'N' ? change.regular : change.key) = v;
        break;
      case 'A':
        if (v < 0 || v > 100) {
          error = "/A takes a percentage from 0 to 100";
          return false;
        }
        change.auto_key = v;
        break;
      case 'J':
        if (v < 0) {
          error = "/J takes a frame count from 0";
          return false;
        }
        change.key_every = v;
        break;
      default:
        error = std::string("unknown switch /") + letter + " (the file changes /N, /K, /A and /J)";
        return false;
    }
    any = true;
  }
  if (!any) {
    error = "no switch follows the frame number";
    return false;
  }
  return true;
}

}  // namespace

bool CheckRateValue(int32_t value, char letter, std::string& error) {
  if (value >= 0 || value >= -800) return true;
  error = std::string("/") + letter +
          " takes 0 (lossless), 1 to 100 (error %), a data rate above 100, -1 to -400 " +
          "(% of the average lossless frame) or -401 to -800 (400 + % of the frame's own lossless size)";
  return false;
}

bool ParseFrameSettings(std::string_view text, std::vector<SettingsChange>& changes, std::string& error) {
  changes.clear();
  size_t number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == ';') continue;
    SettingsChange change;
    if (!ParseLine(line, change, error)) {
      error = "line " + std::to_string(number) + ": " + error;
      return false;
    }
    changes.push_back(change);
  }
  return true;
}

CodingSettings SettingsAt(const CodingSettings& base, const std::vector<SettingsChange>& changes,
                          uint32_t frame) {
  CodingSettings s = base;
  uint32_t at[4] = {0, 0, 0, 0};
  for (const SettingsChange& c : changes) {
    if (c.frame > frame) continue;
    if (c.regular && c.frame >= at[0]) s.regular = *c.regular, at[0] = c.frame;
    if (c.key && c.frame >= at[1]) s.key = *c.key, at[1] = c.frame;
    if (c.auto_key && c.frame >= at[2]) s.auto_key = *c.auto_key, at[2] = c.frame;
    if (c.key_every && c.frame >= at[3]) s.key_every = *c.key_every, at[3] = c.frame;
  }
  return s;
}

}  // namespace vidzotools
