#include "frontend/ini_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/ini_value.h"

namespace vidzoerw {
namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

void IniFile::Parse(std::string_view text) {
  sections_.clear();
  sections_.push_back({});
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string_view line = Trimmed(raw);
    if (line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos) {
      const std::string_view name = Trimmed(line.substr(1, line.find(']') - 1));
      sections_.push_back({std::string(name), {}});
      continue;
    }
    const size_t eq = line.find('=');
    const bool comment = !line.empty() && (line.front() == ';' || line.front() == '#');
    if (!comment && eq != std::string_view::npos && eq > 0 && !Trimmed(line.substr(0, eq)).empty()) {
      sections_.back().lines.push_back(
          {std::string(Trimmed(line.substr(0, eq))), std::string(Trimmed(line.substr(eq + 1)))});
    } else {
      sections_.back().lines.push_back({std::string(), std::string(raw)});
    }
  }
}

bool IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Parse({});
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  Parse(text.str());
  return true;
}

std::string IniFile::Text() const {
  std::string out;
  for (const Section& s : sections_) {
    if (!s.name.empty() || &s != &sections_.front()) out += "[" + s.name + "]\r\n";
    for (const Line& l : s.lines) out += l.key.empty() ? l.value + "\r\n" : l.key + "=" + l.value + "\r\n";
  }
  return out;
}

bool IniFile::Save(const std::string& path) const {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

IniFile::Section* IniFile::Find(std::string_view section) {
  for (Section& s : sections_)
    if (&s != &sections_.front() && SameText(s.name, section)) return &s;
  return nullptr;
}

const IniFile::Section* IniFile::Find(std::string_view section) const {
  return const_cast<IniFile*>(this)->Find(section);
}

bool IniFile::HasSection(std::string_view section) const {
  return Find(section) != nullptr;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const Section* s = Find(section);
  if (s == nullptr) return std::nullopt;
  for (const Line& l : s->lines)
    if (!l.key.empty() && SameText(l.key, key)) return l.value;
  return std::nullopt;
}

std::string IniFile::String(std::string_view section, std::string_view key, std::string_view dflt) const {
  return Value(section, key).value_or(std::string(dflt));
}

int IniFile::Int(std::string_view section, std::string_view key, int dflt) const {
  const std::optional<std::string> v = Value(section, key);
  return v ? platform::ParseProfileInt(*v, dflt) : dflt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (sections_.empty()) sections_.push_back({});
  Section* s = Find(section);
  if (s == nullptr) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  for (Line& l : s->lines)
    if (!l.key.empty() && SameText(l.key, key)) {
      l.value = std::string(value);
      return;
    }
  // A new key goes after the section's last key, before trailing blank lines.
  size_t at = s->lines.size();
  while (at > 0 && s->lines[at - 1].key.empty() && Trimmed(s->lines[at - 1].value).empty()) --at;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at),
                  Line{std::string(key), std::string(value)});
}

void IniFile::SetInt(std::string_view section, std::string_view key, int value) {
  Set(section, key, std::to_string(value));
}

void IniFile::EraseSection(std::string_view section) {
  if (Section* s = Find(section)) s->lines.clear();
}

}  // namespace vidzoerw
