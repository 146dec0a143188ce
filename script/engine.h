// The script engine of vidzoscw: loading and checking .ss scripts, running
// their commands, the parameter tokenizer, variables, labels, the call stack,
// the debug trace and the error report. It needs no window system: the
// window, the sound output and the message boxes come through ScriptHost,
// which the window layer implements on the real window and tests and the
// fuzz target implement with fakes.
//
// Command handlers read their parameters from parameter_text() with
// NextToken (or the checked readers Text, Number, VariableName), write
// results with SetVariable, and may set the control state. Every error ends
// the run: Error reports it (message box, debug file) and does not return.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "display/display_buffer.h"
#include "platform/messagebox.h"
#include "qelutil/qelutil.h"
#include "script/command_table.h"
#include "script/variables.h"

namespace vidzoscript {

// What SCREENGRAPHICS asks of the display window.
struct WindowRequest {
  uint32_t width = 0, height = 0;
  uint32_t kind = 0;    // 0 automatic, 1 full screen 320 x 240, 2 full screen 320 x 200, 3 standard, 4 DIB section
  uint32_t border = 0;  // 1 thin border, 2 neither border nor caption, else the normal frame
  bool no_caption = false;
  std::string title;
  int32_t x = -1, y = -1;  // -1 centres
};

// Buttons of a question box (INPUTMSGWIN) and its answers.
enum class AskButtons { kOk, kYesNo, kOkCancel, kYesNoCancel };
enum AskAnswer : int32_t { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 4, kAnswerNo = 8 };

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  // Handles pending window messages and gives the sound output its turn.
  virtual void Pump() {}
  virtual bool WindowExists() { return false; }
  virtual bool WindowHasFocus() { return false; }
  // Sleeps about a millisecond (the pause while the window lacks the focus).
  virtual void Sleep();
  // Closes the display window and returns the text settings to their
  // defaults.
  virtual void ResetDisplay() {}
  // A message box; the text also goes to standard error.
  virtual void Message(const std::string& text, const std::string& caption, platform::MessageKind kind);
  // The name under which a file that a script names is opened (create: for
  // writing); empty refuses it.
  virtual std::string FileName(const std::string& name, bool create);
  // Called before every command; false ends the run as END does.
  virtual bool Step() { return true; }
  // Writes one line of a list (VARLIST and the like) onto the screen.
  virtual void ScreenLine(const std::string& line) { (void)line; }

  // --- The display window of the screen commands -------------------------
  // Opens the display window (closing one that is open); null when it
  // cannot be made.
  virtual VidzoDisplayBuffer* OpenWindow(const WindowRequest& request) {
    (void)request;
    return nullptr;
  }
  // The open display, or null.
  virtual VidzoDisplayBuffer* Display() { return nullptr; }
  // Shows a rectangle of the display buffer in the window.
  virtual void Show(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    (void)x, (void)y, (void)width, (void)height;
  }
  // Puts 256 entries of red, green and blue (0 to 63) on the screen.
  virtual void SetPalette(const uint8_t* rgb) { (void)rgb; }
  virtual void SetTitle(const std::string& title) { (void)title; }
  virtual void MoveWindow(int32_t x, int32_t y) { (void)x, (void)y; }
  virtual std::string DescribeDisplay() { return {}; }
  virtual uint64_t WindowId() { return 0; }
  // The next key code of the queue, -1 when none; close is set when the
  // code stands for the user closing the window.
  virtual int32_t TakeKey(bool& close) {
    close = false;
    return -1;
  }
  // Takes one pending button release (left or right); false when none.
  virtual bool TakeClick(bool right) {
    (void)right;
    return false;
  }
  // The pointer over the display in display pixels; false when it is not
  // over the window's client area.
  virtual bool Pointer(int32_t& x, int32_t& y) {
    x = y = -1;
    return false;
  }
  virtual void WarpPointer(int32_t x, int32_t y) { (void)x, (void)y; }
  virtual bool MousePresent() { return false; }
  // Waits up to the milliseconds for sound or input (at least a yield).
  virtual void Idle(uint32_t milliseconds) {
    (void)milliseconds;
    Sleep();
  }
  // Asked in every turn of a waiting loop (keys, frames, fades); false
  // ends the wait as if its end had come.
  virtual bool KeepWaiting() { return true; }
  // A question box; the answer (AskAnswer).
  virtual int32_t Ask(const std::string& text, const std::string& caption, AskButtons buttons) {
    (void)text, (void)caption, (void)buttons;
    return kAnswerCancel;
  }

  // --- The system commands ---------------------------------------------
  // Starts a program (EXECUTE, the printer command) with its arguments and,
  // when one is named, standard input from a file; false when it did not
  // start.
  virtual bool Launch(const std::vector<std::string>& args, const std::string& stdin_file);
  // The process environment (ENVGET, ENVSET).
  virtual std::string GetEnv(const std::string& name);
  virtual void SetEnv(const std::string& name, const std::string& value);
  // Makes the folder the current one (DIRCHANGE); false when it cannot.
  virtual bool ChangeDirectory(const std::string& path);
};

enum class TokenKind { kNone, kString, kNumber, kWord, kComparison, kOperator };

enum ControlState : uint8_t {
  kControlGoOn = 0,         // the rest of the line, then the next record
  kControlRunCommand = 1,   // run command_text() as a command line
  kControlLeaveScript = 2,  // leave the running script
  kControlEndRun = 3,       // leave every script
};

// Sizes of the engine's fixed tables and texts.
inline constexpr size_t kMaxText = 767;  // the longest working text (768-byte buffers)
inline constexpr size_t kLineBuffer = 768;
inline constexpr size_t kMaxLabels = 512;
inline constexpr size_t kMaxLabelName = 31;
inline constexpr size_t kCallStackSize = 64;
inline constexpr size_t kFileSlots = 64;
inline constexpr uint32_t kFileBuffer = 3072;
inline constexpr uint32_t kFileHandleBase = 5000;

// Messages of the engine and of the parameter checks.
inline constexpr const char* kBadCommand = "  Bad script command:\r\n    ";
inline constexpr const char* kTooManyLabels = "  Too many labels.";
inline constexpr const char* kLabelNotFound = "  Label not found:\r\n    ";
inline constexpr const char* kTooManyGosubs = "  Too many GOSUBs.";
inline constexpr const char* kErrorOpeningScript = "  Error opening script in command:\r\n    ";
inline constexpr const char* kErrorOpening = "  Error opening:\r\n    ";
inline constexpr const char* kNeedParameter = "  Needed a parameter in command:\r\n    ";
inline constexpr const char* kNeedNonEmpty = "  Needed a non-empty parameter in command:\r\n    ";
inline constexpr const char* kNeedNumber = "  Needed a number in command:\r\n    ";
inline constexpr const char* kNeedVariable = "  Needed a variable in command:\r\n    ";
inline constexpr const char* kNoWindow = "  A window hasn't been created yet (use ScreenGraphics first).\r\n";

// True for a text that is numeric: after at most one leading blank, an
// optional "-" and then only digits up to the end (empty is not, "-" is).
bool IsNumeric(const std::string& text);
// Decimal, leading digits, wrapping to signed 32 bits.
int32_t ToNumber(const std::string& text);
// A-Z folded to upper case, other bytes unchanged.
std::string UpperCase(std::string text);

// The state a command family keeps for a run (slots, settings), held by the
// engine and made on first use. The engine tells every family's state when
// the display is reset (after an error and at the end of a run) and when
// the run ends.
class FamilyState {
 public:
  virtual ~FamilyState() = default;
  virtual void ResetDisplay(Engine& engine) { (void)engine; }
  virtual void EndRun(Engine& engine) { (void)engine; }
};

class Engine {
 public:
  explicit Engine(ScriptHost& host);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  ScriptHost& host() { return host_; }

  // --- Running ---------------------------------------------------------
  // Loads and runs a script (".ss" added when the name has no extension),
  // starting at a label when one is given. False when it cannot be opened.
  // An error ends the run by throwing ScriptAbort to RunTop.
  bool RunScript(const std::string& name, const std::string* start_label);
  // The top of a run: runs the script and catches the error that ends it.
  // Returns 1 when the script ran (or ran into an error: see failed()),
  // 0 when it could not be opened.
  bool RunTop(const std::string& name, bool* failed);
  // Closes every file slot and resets the display (the end of a run).
  void CloseAll();

  // --- Parameters ------------------------------------------------------
  std::string& parameter_text() { return parameter_text_; }
  std::string& command_text() { return command_text_; }
  TokenKind NextToken(std::string& dest, bool evaluate);
  // An evaluated token that must be there (and, with non_empty, not empty).
  std::string Text(bool non_empty = false);
  // An evaluated token that must be numeric.
  int32_t Number();
  // A word, not evaluated, that must be there.
  std::string VariableName();
  // True while the parameters hold more before the end, a "#" or a ";".
  bool MoreNames();
  // Removes leading blanks from the parameters (commands without any).
  void TrimParameters();
  // Replaces %NAME% references in a quoted string by the variables' values.
  std::string ExpandVariables(std::string text);

  // --- Variables -------------------------------------------------------
  std::string GetVariable(const std::string& name) const { return variables_.Get(name); }
  void SetVariable(const std::string& name, const std::string& value);
  void SetVariable(const std::string& name, int32_t value);
  VariableStore& variables() { return variables_; }
  VariableStack& variable_stack() { return variable_stack_; }
  RandomGenerator& random() { return random_; }

  // --- Control ---------------------------------------------------------
  ControlState control() const { return control_; }
  void SetControl(ControlState state) { control_ = state; }
  // Jumps to a label of the running script (GOTO); reports a missing one.
  void JumpToLabel(const std::string& label);
  // True when the running script has the label.
  bool HasLabel(const std::string& label) const;
  // Pushes the position to come back to (GOSUB); reports a full stack.
  void PushReturn();
  // Pops it (RETURN); false when the stack is empty.
  bool PopReturn();
  bool CallStackFull() const { return call_depth_ >= kCallStackSize; }
  // The next record of the running script when it is a text line (the
  // lines after TEXTBEGIN up to TEXTEND): its text, and the position moves
  // past it. False when the next record is a command or the script ends.
  bool NextTextLine(std::string& line);

  // --- Errors ----------------------------------------------------------
  // Reports the error and ends the run (throws ScriptAbort).
  [[noreturn]] void Error(const std::string& message, const std::string& text = {},
                          const std::string& tail = {});
  // The message, the command text and "\r\n".
  [[noreturn]] void ErrorWithCommand(const std::string& message);
  // The check that a display window exists.
  void NeedWindow();

  // --- Debug trace and lists ---------------------------------------------
  bool Tracing() const { return debug_slot_ >= 0; }
  void Trace(const std::string& text);
  void FlushTrace();
  // Opens (non-empty name) or switches off the debug file.
  void SetDebugFile(const std::string& name);
  std::string& debug_indent() { return debug_indent_; }
  void Indent();
  void Unindent();
  // The list output: the window is required; the lines go to the debug
  // file when it is open (after a line break), else onto the screen.
  void WriteList(const std::vector<std::string>& lines);
  // Where list lines go on the screen (the text commands set it).
  using ScreenWriter = void (*)(Engine&, const std::string&);
  void SetScreenWriter(ScreenWriter writer) { screen_writer_ = writer; }

  // --- Files -----------------------------------------------------------
  // Opens or creates a buffered file in the first free slot; the slot's
  // index or -1.
  int OpenFile(const std::string& name, bool create);
  // Puts an open file into the first free slot: the slot's index, or -1
  // (the file is then closed).
  int AdoptFile(QELFile* file);
  void CloseFile(int slot);
  QELFile* File(int slot) const;

  // The family state of type T (derived from FamilyState) of this engine.
  template <class T>
  T& State() {
    static const char key = 0;
    for (auto& [k, state] : states_)
      if (k == &key) return static_cast<T&>(*state);
    states_.emplace_back(&key, std::make_unique<T>());
    return static_cast<T&>(*states_.back().second);
  }

  // --- State of the run ----------------------------------------------------
  const std::string& script_name() const { return script_name_; }
  std::string& script_arguments() { return script_arguments_; }
  uint16_t line() const { return line_; }
  bool autopause() const { return autopause_; }
  void SetAutopause(bool on) { autopause_ = on; }
  const CommandTable& commands() const { return commands_; }
  CommandTable& commands() { return commands_; }

 private:
  struct Script;
  struct Label {
    std::string name;
    uint32_t position;
  };

  void Load(QELFile* file, Script& script);
  void Execute(Script& script, const std::string* start_label);
  // Runs one command: the trace line, the handler, the line end.
  void Dispatch(size_t command, bool from_line);
  // After a command: the wait, then the control state; false when the
  // script is to be left.
  bool AfterCommand(bool& next_record);
  // Runs a command line; false when it is empty or a comment.
  bool RunCommandLine(const std::string& text);
  size_t FindLabel(const std::string& label) const;

  // The display reset of the host and of every family.
  void ResetDisplay();

  ScriptHost& host_;
  CommandTable commands_;
  std::vector<std::pair<const void*, std::unique_ptr<FamilyState>>> states_;
  std::string parameter_text_, command_text_;
  ControlState control_ = kControlGoOn;
  VariableStore variables_;
  VariableStack variable_stack_;
  RandomGenerator random_;
  std::vector<Label> labels_;
  size_t label_start_ = 0;
  std::array<uint32_t, kCallStackSize> call_stack_{};
  size_t call_depth_ = 0;
  Script* running_ = nullptr;
  uint16_t line_ = 0;
  std::string script_name_, script_arguments_, debug_indent_;
  std::array<QELFile*, kFileSlots> files_{};
  int debug_slot_ = -1;
  bool autopause_ = false;
  ScreenWriter screen_writer_ = nullptr;
};

// Thrown by Engine::Error to end the run; caught by RunTop.
struct ScriptAbort {};

}  // namespace vidzoscript
