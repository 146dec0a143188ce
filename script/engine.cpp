// The engine's state: file slots, the debug trace, variables as handlers set
// them, the error report, and the host's defaults.
#include "script/engine.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/paths.h"
#include "script/families.h"

namespace vidzoscript {
namespace {

// DebugIndent grows by two blanks per script and GOSUB level; it is kept
// within the deepest nesting the call stack allows, so that GOSUBs left
// pending by scripts that exit cannot make it grow without end.
constexpr size_t kMaxIndent = 2 * (kCallStackSize + 1);

}  // namespace

void ScriptHost::Sleep() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ScriptHost::Message(const std::string& text, const std::string& caption, platform::MessageKind kind) {
  platform::ShowMessage(text.c_str(), caption.c_str(), kind);
}

std::string ScriptHost::FileName(const std::string& name, bool create) {
  (void)create;
  return name;
}

bool ScriptHost::Launch(const std::vector<std::string>& args, const std::string& stdin_file) {
  return platform::LaunchProgram(args, stdin_file);
}

std::string ScriptHost::GetEnv(const std::string& name) {
  const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

void ScriptHost::SetEnv(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return;
  if (value.empty())
    ::unsetenv(name.c_str());
  else
    ::setenv(name.c_str(), value.c_str(), 1);
}

bool ScriptHost::ChangeDirectory(const std::string& path) {
  return !path.empty() && ::chdir(platform::ResolvePath(path).c_str()) == 0;
}

Engine::Engine(ScriptHost& host) : host_(host) {
  RegisterFamilies(commands_);
  screen_writer_ = &WriteScreenLine;
  random_.Seed(platform::TimeMs());
}

Engine::~Engine() {
  for (size_t i = 0; i < files_.size(); ++i) CloseFile(static_cast<int>(i));
}

void Engine::CloseAll() {
  for (auto& entry : states_) entry.second->EndRun(*this);
  for (size_t i = 0; i < files_.size(); ++i) CloseFile(static_cast<int>(i));
  ResetDisplay();
}

void Engine::ResetDisplay() {
  host_.ResetDisplay();
  for (auto& entry : states_) entry.second->ResetDisplay(*this);
}

int Engine::OpenFile(const std::string& name, bool create) {
  size_t slot = 0;
  while (slot < files_.size() && files_[slot] != nullptr) ++slot;
  if (slot == files_.size()) return -1;
  const std::string path = host_.FileName(name, create);
  if (path.empty()) return -1;
  QELFile* file = create ? QELFileCreate(static_cast<int32_t>(kFileBuffer), path.c_str())
                         : QELFileOpen(static_cast<int32_t>(kFileBuffer), path.c_str(), QELFILE_READ);
  if (file == nullptr) return -1;
  files_[slot] = file;
  return static_cast<int>(slot);
}

int Engine::AdoptFile(QELFile* file) {
  if (file == nullptr) return -1;
  size_t slot = 0;
  while (slot < files_.size() && files_[slot] != nullptr) ++slot;
  if (slot == files_.size()) {
    QELFileClose(file);
    return -1;
  }
  files_[slot] = file;
  return static_cast<int>(slot);
}

void Engine::CloseFile(int slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= files_.size() || files_[slot] == nullptr) return;
  QELFileClose(files_[slot]);
  files_[slot] = nullptr;
  if (slot == debug_slot_) debug_slot_ = -1;
}

QELFile* Engine::File(int slot) const {
  if (slot < 0 || static_cast<size_t>(slot) >= files_.size()) return nullptr;
  return files_[slot];
}

void Engine::Trace(const std::string& text) {
  if (QELFile* f = File(debug_slot_)) QELFilePut(f, text.data(), static_cast<uint32_t>(text.size()));
}

void Engine::FlushTrace() {
  if (QELFile* f = File(debug_slot_)) QELFileFlush(f);
}

void Engine::SetDebugFile(const std::string& name) {
  CloseFile(debug_slot_);
  if (!name.empty()) debug_slot_ = OpenFile(name, true);
}

void Engine::Indent() {
  if (debug_indent_.size() + 2 <= kMaxIndent) debug_indent_ += "  ";
}

void Engine::Unindent() {
  debug_indent_.resize(debug_indent_.size() >= 2 ? debug_indent_.size() - 2 : 0);
}

void Engine::SetVariable(const std::string& name, const std::string& value) {
  if (Tracing()) Trace("  ***" + VariableStore::NormalName(name) + "=\"" + value + "\"");
  variables_.Set(name, value);
}

void Engine::SetVariable(const std::string& name, int32_t value) {
  SetVariable(name, std::to_string(value));
}

void Engine::Error(const std::string& message, const std::string& text, const std::string& tail) {
  ResetDisplay();
  std::string report = tail;
  if (!script_name_.empty())
    report += "  In script file: " + script_name_ + "  At line number: " + std::to_string(line_) + ".\r\n";
  if (Tracing()) {
    Trace("\r\n" + message + text + tail + "\r\n");
    FlushTrace();
  }
  const std::string shown =
      (!message.empty() && message[0] == ' ' ? message.substr(1) : message) + text + report;
  host_.Message(shown, "Error", platform::kMessageError);
  throw ScriptAbort{};
}

void Engine::ErrorWithCommand(const std::string& message) {
  Error(message, command_text_, "\r\n");
}

void Engine::NeedWindow() {
  if (!host_.WindowExists()) Error(kNoWindow);
}

void Engine::WriteList(const std::vector<std::string>& lines) {
  NeedWindow();
  if (Tracing()) {
    Trace("\r\n");
    for (const std::string& line : lines) Trace(line + "\r\n");
  } else {
    for (const std::string& line : lines) {
      host_.ScreenLine(line);
      if (screen_writer_ != nullptr) screen_writer_(*this, line);
    }
  }
}

}  // namespace vidzoscript
