// String functions: length, case, trimming, searching, pieces, padding and
// splitting. Results are working texts of at most kMaxText characters;
// longer ones are cut there.
#include <algorithm>
#include <vector>

#include "script/engine.h"
#include "script/families.h"

namespace vidzoscript {
namespace {

void Store(Engine& e, const std::string& var, std::string value) {
  if (value.size() > kMaxText) value.resize(kMaxText);
  e.SetVariable(var, value);
}

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Runs a text through one of the in-place helpers of the utility layer.
std::string InPlace(const std::string& text, char* (*helper)(char*)) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(text.size() + 2, '\0');  // room for an appended separator
  helper(buffer.data());
  return buffer.data();
}

void StrLength(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(e.Text().size()));
}

void StrUCase(Engine& e) {
  const std::string var = e.VariableName();
  Store(e, var, UpperCase(e.Text()));
}

void StrLCase(Engine& e) {
  const std::string var = e.VariableName();
  Store(e, var, LowerCase(e.Text()));
}

void StrTrim(Engine& e) {
  const std::string var = e.VariableName();
  Store(e, var, InPlace(e.Text(), &Trim));
}

void StrAddBackslash(Engine& e) {
  const std::string var = e.VariableName();
  Store(e, var, InPlace(e.Text(), &AddBackslash));
}

void StrIsNumeric(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, IsNumeric(e.Text()) ? 1 : 0);
}

void StrIsLabel(Engine& e) {
  const std::string var = e.VariableName();
  std::string label = UpperCase(e.Text());
  if (label.size() > kMaxLabelName) label.resize(kMaxLabelName);
  e.SetVariable(var, !label.empty() && e.HasLabel(label) ? 1 : 0);
}

void StrFind(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t ignore_case = e.Number();
  std::string needle = e.Text(), haystack = e.Text();
  if (ignore_case != 0) {
    needle = UpperCase(needle);
    haystack = UpperCase(haystack);
  }
  const size_t at = haystack.find(needle);
  e.SetVariable(var, at == std::string::npos ? 0 : static_cast<int32_t>(at + 1));
}

void StrPiece(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t start = e.Number(), count = e.Number();
  const std::string text = e.Text();
  const size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
  if (from >= text.size() || count <= 0) {
    Store(e, var, {});
    return;
  }
  Store(e, var, text.substr(from, static_cast<size_t>(count)));
}

void Pad(Engine& e, char pad, bool left) {
  const std::string var = e.VariableName();
  const int32_t width = e.Number();
  const std::string text = e.Text();
  const size_t want = width < 0 ? 0 : std::min<size_t>(static_cast<size_t>(width), kMaxText);
  if (text.size() >= want) {
    Store(e, var, text);
    return;
  }
  const std::string padding(want - text.size(), pad);
  Store(e, var, left ? padding + text : text + padding);
}

void StrLPad(Engine& e) {
  Pad(e, ' ', true);
}

void StrLPadZero(Engine& e) {
  Pad(e, '0', true);
}

void StrRPad(Engine& e) {
  Pad(e, ' ', false);
}

void StrRepeat(Engine& e) {
  const std::string var = e.VariableName();
  const std::string character = e.Text(true);
  const int32_t count = e.Number();
  const char c = IsNumeric(character) ? static_cast<char>(ToNumber(character)) : character[0];
  const size_t n = count < 0 ? 0 : std::min<size_t>(static_cast<size_t>(count), kMaxText);
  // A character code 0 ends the working text at once: the result is empty.
  Store(e, var, c == '\0' ? std::string() : std::string(n, c));
}

void StrFirst(Engine& e) {
  const std::string first = e.VariableName();
  const std::string source = e.VariableName();
  const std::string separators = e.Text();
  const std::string value = e.GetVariable(source);
  const size_t at = separators.empty() ? std::string::npos : value.find_first_of(separators);
  if (at == std::string::npos) {
    Store(e, first, value);
    e.SetVariable(source, std::string());
    return;
  }
  const std::string before = value.substr(0, at), after = value.substr(at + 1);
  Store(e, first, before);
  Store(e, source, after);
}

}  // namespace

void RegisterStringCommands(CommandTable& table) {
  table.Set("STRADDBACKSLASH", StrAddBackslash);
  table.Set("STRFIND", StrFind);
  table.Set("STRFIRST", StrFirst);
  table.Set("STRISLABEL", StrIsLabel);
  table.Set("STRISNUMERIC", StrIsNumeric);
  table.Set("STRLCASE", StrLCase);
  table.Set("STRLENGTH", StrLength);
  table.Set("STRLPAD", StrLPad);
  table.Set("STRLPADZERO", StrLPadZero);
  table.Set("STRPIECE", StrPiece);
  table.Set("STRREPEAT", StrRepeat);
  table.Set("STRRPAD", StrRPad);
  table.Set("STRTRIM", StrTrim);
  table.Set("STRUCASE", StrUCase);
}

}  // namespace vidzoscript
