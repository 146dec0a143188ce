// Loading a script into compiled records and running them: labels, the call
// stack, command lines with ";" and "#", and the control states.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "script/engine.h"

namespace vidzoscript {

// One loaded script: its compiled records back to back, each the line
// number (16 bits, wrapping), the command index (kTextRecord for a line kept
// as text for TEXTBEGIN) and the zero-terminated parameters.
struct Engine::Script {
  std::vector<uint8_t> code;
  uint32_t position = 0;
  uint32_t end = 0;
};

namespace {

constexpr uint8_t kTextRecord = 255;

void Append(std::vector<uint8_t>& code, uint16_t line, uint8_t command, const char* text) {
  code.push_back(static_cast<uint8_t>(line & 0xFF));
  code.push_back(static_cast<uint8_t>(line >> 8));
  code.push_back(command);
  code.insert(code.end(), text, text + std::strlen(text) + 1);
}

// The first word of a line (as GetAndRemoveFirst splits it), upper-cased,
// and the rest.
void SplitCommand(const std::string& line, std::string& word, std::string& rest) {
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  std::vector<char> first(text.size());
  GetAndRemoveFirst(first.data(), text.data());
  word = UpperCase(first.data());
  rest = text.data();
}

std::string LineNumber(uint16_t line) {
  char text[16];
  std::snprintf(text, sizeof text, "%i:      ", static_cast<int>(line));
  return text;
}

}  // namespace

bool Engine::RunScript(const std::string& name, const std::string* start_label) {
  std::string full = name;
  if (HasExtension(full.c_str()) == nullptr) full += ".ss";
  const int slot = OpenFile(full, false);
  if (slot < 0) return false;
  Indent();

  // The caller's state, given back when the script is left.
  struct Saved {
    std::string name, parameters, command;
    size_t label_start, labels, depth;
    Script* running;
    uint16_t line;
  } saved{script_name_,   parameter_text_, command_text_, label_start_,
          labels_.size(), call_depth_,     running_,      line_};
  script_name_ = full;
  label_start_ = labels_.size();
  auto script = std::make_unique<Script>();
  Load(File(slot), *script);
  CloseFile(slot);
  if (call_depth_ >= kCallStackSize) Error(kTooManyGosubs);
  call_stack_[call_depth_++] = script->end;
  running_ = script.get();

  Execute(*script, start_label);

  script_name_ = saved.name;
  parameter_text_ = saved.parameters;
  command_text_ = saved.command;
  label_start_ = saved.label_start;
  labels_.resize(saved.labels);
  call_depth_ = saved.depth;
  running_ = saved.running;
  line_ = saved.line;
  Unindent();
  return true;
}

void Engine::Load(QELFile* file, Script& script) {
  std::vector<uint8_t>& code = script.code;
  // Room for the records of a script of ordinary size; a larger one grows.
  code.reserve(std::min<uint32_t>(QELFileSize(file), 1u << 20));
  char buffer[kLineBuffer];
  bool in_text = false;  // between a TEXTBEGIN line and its TEXTEND line
  line_ = 1;
  while (!QELFileAtEnd(file)) {
    host_.Pump();
    QELFileGetLine(file, buffer, sizeof buffer);
    if (in_text) {
      std::string word, rest;
      std::string trimmed(buffer);
      SplitCommand(trimmed, word, rest);
      if (word == "TEXTEND") in_text = false;
      Append(code, line_, kTextRecord, buffer);
      ++line_;
      continue;
    }
    TrimL(buffer);
    if (buffer[0] == '\0' || buffer[0] == '#') {
      // a blank or comment line
    } else if (buffer[0] == ':') {
      if (char* hash = std::strchr(buffer, '#')) *hash = '\0';
      Trim(buffer);
      if (labels_.size() >= kMaxLabels) Error(kTooManyLabels);
      std::string label = UpperCase(buffer + 1);
      if (label.size() > kMaxLabelName) label.resize(kMaxLabelName);
      labels_.push_back({label, static_cast<uint32_t>(code.size())});
    } else {
      std::string word, rest;
      SplitCommand(buffer, word, rest);
      const int command = FindCommand(word.c_str());
      if (command < 0) Error(kBadCommand, word + " " + rest, "\r\n");
      Append(code, line_, static_cast<uint8_t>(command), rest.c_str());
      if (kCommandNames[static_cast<size_t>(command)] == std::string_view("TEXTBEGIN")) in_text = true;
    }
    ++line_;
  }
  script.end = static_cast<uint32_t>(code.size());
  script.position = 0;
}

void Engine::Execute(Script& script, const std::string* start_label) {
  if (start_label != nullptr) JumpToLabel(*start_label);
  while (script.position < script.end && control_ != kControlEndRun) {
    const uint8_t* record = script.code.data() + script.position;
    const auto* text = reinterpret_cast<const char*>(record + 3);
    const size_t length = std::strlen(text);
    script.position += static_cast<uint32_t>(3 + length + 1);
    if (record[2] == kTextRecord) continue;  // a text line that no TEXTBEGIN took
    line_ = static_cast<uint16_t>(record[0] | (record[1] << 8));
    parameter_text_.assign(text, length);
    command_text_ = std::string(kCommandNames[record[2]]) + " " + parameter_text_;
    Dispatch(record[2], false);
    bool next_record = false;
    while (!next_record) {
      if (!AfterCommand(next_record)) return;
    }
  }
}

void Engine::Dispatch(size_t command, bool from_line) {
  if (!host_.Step()) {
    control_ = kControlEndRun;
    parameter_text_.clear();
    return;
  }
  if (Tracing()) Trace(debug_indent_ + (from_line ? " -> " : "") + LineNumber(line_) + command_text_);
  commands_[command](*this);
  if (Tracing()) Trace("\r\n");
}

bool Engine::AfterCommand(bool& next_record) {
  host_.Pump();
  while (autopause_ && host_.WindowExists() && !host_.WindowHasFocus()) {
    host_.Sleep();
    host_.Pump();
  }
  switch (control_) {
    case kControlRunCommand:
      control_ = kControlGoOn;
      next_record = !RunCommandLine(command_text_);
      return true;
    case kControlLeaveScript:
      control_ = kControlGoOn;
      return false;
    case kControlEndRun:
      return false;
    case kControlGoOn:
      break;
  }
  if (!parameter_text_.empty() && parameter_text_[0] == ';') {
    std::vector<char> rest(parameter_text_.begin() + 1, parameter_text_.end());
    rest.push_back('\0');
    next_record = !RunCommandLine(Trim(rest.data()));
    return true;
  }
  if (parameter_text_.empty() || parameter_text_[0] == '#') {
    next_record = true;
    return true;
  }
  Error(kBadCommand, command_text_, "\r\n");
}

bool Engine::RunCommandLine(const std::string& text) {
  if (text.empty() || text[0] == '#') return false;
  std::string word, rest;
  SplitCommand(text, word, rest);
  const int command = FindCommand(word.c_str());
  if (command < 0) Error(kBadCommand, text, "\r\n");
  command_text_ = word + " " + rest;
  parameter_text_ = rest.empty() ? " " : rest;
  Dispatch(static_cast<size_t>(command), true);
  return true;
}

size_t Engine::FindLabel(const std::string& label) const {
  std::string key = UpperCase(label);
  if (key.size() > kMaxLabelName) key.resize(kMaxLabelName);
  for (size_t i = labels_.size(); i > label_start_; --i)
    if (labels_[i - 1].name == key) return i - 1;
  return labels_.size();
}

bool Engine::HasLabel(const std::string& label) const {
  return running_ != nullptr && FindLabel(label) < labels_.size();
}

void Engine::JumpToLabel(const std::string& label) {
  const size_t found = running_ != nullptr ? FindLabel(label) : labels_.size();
  if (found == labels_.size()) Error(kLabelNotFound, UpperCase(label), "\r\n");
  running_->position = labels_[found].position;
}

void Engine::PushReturn() {
  if (call_depth_ >= kCallStackSize) Error(kTooManyGosubs);
  call_stack_[call_depth_++] = running_->position;
}

bool Engine::PopReturn() {
  if (call_depth_ == 0) return false;
  running_->position = call_stack_[--call_depth_];
  return true;
}

bool Engine::NextTextLine(std::string& line) {
  if (running_ == nullptr || running_->position >= running_->end) return false;
  const uint8_t* record = running_->code.data() + running_->position;
  if (record[2] != kTextRecord) return false;
  const auto* text = reinterpret_cast<const char*>(record + 3);
  line.assign(text);
  line_ = static_cast<uint16_t>(record[0] | (record[1] << 8));
  running_->position += static_cast<uint32_t>(3 + line.size() + 1);
  return true;
}

bool Engine::RunTop(const std::string& name, bool* failed) {
  *failed = false;
  bool opened = true;
  try {
    opened = RunScript(name, nullptr);
  } catch (const ScriptAbort&) {
    *failed = true;
  }
  // An error leaves the nesting where it was: start afresh.
  control_ = kControlGoOn;
  labels_.clear();
  label_start_ = 0;
  call_depth_ = 0;
  running_ = nullptr;
  debug_indent_.clear();
  script_name_.clear();
  return opened;
}

}  // namespace vidzoscript
