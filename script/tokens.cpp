// The parameter tokenizer: quoted strings, words (evaluated as variables or
// numbers), comparisons and operators; and %NAME% expansion in strings.
#include <cstring>

#include "script/engine.h"

namespace vidzoscript {
namespace {

bool IsSeparator(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < '!' || c == ',';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsTextBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

// Replacements made in one string before the expansion stops (a value may
// name its own variable).
constexpr int kMaxExpansions = 256;

}  // namespace

bool IsNumeric(const std::string& text) {
  if (text.empty()) return false;
  size_t i = 0;
  if (text[i] == ' ') ++i;
  if (i < text.size() && text[i] == '-') ++i;
  for (; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

int32_t ToNumber(const std::string& text) {
  return static_cast<int32_t>(atou32(text.c_str()));
}

std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

TokenKind Engine::NextToken(std::string& dest, bool evaluate) {
  std::string& p = parameter_text_;
  size_t i = 0;
  while (i < p.size() && IsSeparator(p[i])) ++i;
  if (i == p.size()) {
    dest.clear();
    p.clear();
    return TokenKind::kNone;
  }
  TokenKind kind;
  size_t end;
  const char c = p[i];
  const char next = i + 1 < p.size() ? p[i + 1] : '\0';
  if (c == '"' || c == '\'') {
    const size_t close = p.find(c, i + 1);
    const size_t stop = close == std::string::npos ? p.size() : close;
    dest = ExpandVariables(p.substr(i + 1, stop - i - 1));
    end = close == std::string::npos ? p.size() : close + 1;
    kind = TokenKind::kString;
  } else if ((c == '@' && (next == '=' || next == '<' || next == '>')) || c == '=' || c == '<' || c == '>') {
    end = i;
    if (p[end] == '@') ++end;
    if (end < p.size() && p[end] == '<') ++end;
    if (end < p.size() && p[end] == '>') ++end;
    if (end < p.size() && p[end] == '=') ++end;
    dest = p.substr(i, end - i);
    kind = TokenKind::kComparison;
  } else if (std::strchr("*/+|^%&", c) != nullptr || (c == '-' && !IsDigit(next))) {
    end = i + 1;
    dest.assign(1, c);
    kind = TokenKind::kOperator;
  } else {
    // A word: an optional "-" before a digit, then letters and digits. Any
    // other character gives an empty word and stays where it is.
    end = i;
    if (c == '-') ++end;
    while (end < p.size() && (IsLetter(p[end]) || IsDigit(p[end]))) ++end;
    dest = p.substr(i, end - i);
    if (!evaluate) {
      kind = TokenKind::kWord;
    } else {
      if (!dest.empty() && IsLetter(dest[0])) dest = GetVariable(dest);
      kind = IsNumeric(dest) ? TokenKind::kNumber : TokenKind::kString;
    }
  }
  if (dest.size() > kMaxText) dest.resize(kMaxText);
  while (end < p.size() && IsSeparator(p[end])) ++end;
  p.erase(0, end);
  return kind;
}

std::string Engine::Text(bool non_empty) {
  std::string value;
  if (NextToken(value, true) == TokenKind::kNone) ErrorWithCommand(kNeedParameter);
  if (non_empty && value.empty()) ErrorWithCommand(kNeedNonEmpty);
  return value;
}

int32_t Engine::Number() {
  std::string value;
  if (NextToken(value, true) != TokenKind::kNumber) ErrorWithCommand(kNeedNumber);
  return ToNumber(value);
}

std::string Engine::VariableName() {
  std::string name;
  if (NextToken(name, false) != TokenKind::kWord || name.empty()) ErrorWithCommand(kNeedVariable);
  return name;
}

bool Engine::MoreNames() {
  TrimParameters();
  return !parameter_text_.empty() && parameter_text_[0] != '#' && parameter_text_[0] != ';';
}

void Engine::TrimParameters() {
  size_t i = 0;
  while (i < parameter_text_.size() && IsTextBlank(parameter_text_[i])) ++i;
  parameter_text_.erase(0, i);
}

std::string Engine::ExpandVariables(std::string text) {
  for (int round = 0; round < kMaxExpansions; ++round) {
    // Word by word (blank-separated): the first word of at least three
    // characters holding a percent sign pair names the variable.
    bool replaced = false;
    size_t at = 0;
    while (at < text.size() && !replaced) {
      while (at < text.size() && IsTextBlank(text[at])) ++at;
      size_t stop = at;
      while (stop < text.size() && !IsTextBlank(text[stop])) ++stop;
      const std::string word = text.substr(at, stop - at);
      at = stop;
      if (word.size() < 3) continue;
      const size_t first = word.find('%');
      if (first == std::string::npos) continue;
      size_t open = first;
      while (open < word.size() && word[open] == '%') ++open;
      const size_t close = word.find('%', open);
      if (close == std::string::npos) continue;
      const std::string name = word.substr(open, close - open);
      const std::string pattern = "%" + name + "%";
      const size_t where = text.find(pattern);
      if (where == std::string::npos) continue;
      text.replace(where, pattern.size(), GetVariable(name));
      if (text.size() > kMaxText) text.resize(kMaxText);
      replaced = true;
    }
    if (!replaced) break;
  }
  return text;
}

}  // namespace vidzoscript
