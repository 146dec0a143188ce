#include "frontend/list_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace vidzoerw {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Trimmed(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  return std::string(s.substr(a, b - a));
}

// The value of a run of digits, held at the largest 32-bit signed value.
int64_t Digits(std::string_view s) {
  int64_t v = 0;
  for (char c : s) {
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
  }
  return v;
}

}  // namespace

int64_t TakeFrameSwitch(std::string& line, char letter) {
  const char want = Upper(letter);
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    // Quoted text holds names; an unmatched quote quotes nothing.
    if (line[i] == '"') {
      const size_t close = line.find('"', i + 1);
      if (close != std::string::npos) i = close;
      continue;
    }
    if (line[i] != '/' || Upper(line[i + 1]) != want) continue;
    size_t end = i + 2;
    while (end < line.size() && IsDigit(line[end])) ++end;
    if (end == i + 2) continue;
    const int64_t value = Digits(std::string_view(line).substr(i + 2, end - i - 2));
    line.erase(i, end - i);
    return value;
  }
  return -1;
}

ListEntry SplitListEntry(std::string_view line) {
  ListEntry e;
  std::string rest(line);
  e.start = TakeFrameSwitch(rest, 'S');
  e.end = TakeFrameSwitch(rest, 'E');
  e.name = Trimmed(rest);
  return e;
}

std::string JoinListEntry(const ListEntry& entry) {
  std::string line = entry.name;
  if (entry.start >= 0) line += " /s" + std::to_string(entry.start);
  if (entry.end >= 0) line += " /e" + std::to_string(entry.end);
  return line;
}

int64_t FrameFieldValue(std::string_view text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return -1;
  for (char c : t)
    if (!IsDigit(c)) return -1;
  return Digits(t);
}

bool SetListEntryFrame(std::string& line, char letter, std::string_view text) {
  ListEntry e = SplitListEntry(line);
  int64_t& field = Upper(letter) == 'S' ? e.start : e.end;
  const int64_t value = FrameFieldValue(text);
  const bool changed = value != field;
  field = value;
  line = JoinListEntry(e);
  return changed;
}

std::vector<std::string> ParseListText(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!Trimmed(line).empty()) lines.emplace_back(line);
    at = end + 1;
  }
  return lines;
}

std::string ListText(const std::vector<std::string>& entries) {
  std::string text;
  for (const auto& e : entries) text += e + "\n";
  return text;
}

bool LoadListFile(const std::string& path, std::vector<std::string>& entries) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  entries = ParseListText(text);
  return true;
}

bool SaveListFile(const std::string& path, const std::vector<std::string>& entries) {
  const std::string temp = path + ".tmp~";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = ListText(entries);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace vidzoerw
