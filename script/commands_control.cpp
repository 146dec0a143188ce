// Control commands: calling scripts, jumps and subroutines, conditions,
// running text as a command line, ending, and the debug trace.
#include "script/engine.h"
#include "script/families.h"

namespace vidzoscript {
namespace {

int CompareFolded(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Numbers compare as signed numbers; texts with case after "@", else
// without.
bool Holds(const std::string& left, const std::string& op, const std::string& right) {
  int order;
  if (IsNumeric(left) && IsNumeric(right)) {
    const int64_t a = ToNumber(left), b = ToNumber(right);
    order = a < b ? -1 : (a > b ? 1 : 0);
  } else if (!op.empty() && op[0] == '@') {
    const int c = left.compare(right);
    order = c < 0 ? -1 : (c > 0 ? 1 : 0);
  } else {
    order = CompareFolded(left, right);
  }
  const std::string bare = !op.empty() && op[0] == '@' ? op.substr(1) : op;
  if (bare == "=") return order == 0;
  if (bare == "<") return order < 0;
  if (bare == ">") return order > 0;
  if (bare == "<=") return order <= 0;
  if (bare == ">=") return order >= 0;
  if (bare == "<>") return order != 0;
  return false;
}

// The left value, the comparison and the right value of IF and IFSET, with
// the result noted in the trace.
bool Condition(Engine& e) {
  const std::string left = e.Text();
  const std::string op = e.Text(true);
  const std::string right = e.Text();
  const bool holds = Holds(left, op, right);
  if (e.Tracing()) e.Trace(holds ? "  ***True " : "  ***False");
  return holds;
}

void If(Engine& e) {
  if (Condition(e)) {
    e.command_text() = e.parameter_text();
    e.SetControl(kControlRunCommand);
  } else {
    e.parameter_text().clear();
  }
}

void IfSet(Engine& e) {
  const bool holds = Condition(e);
  const std::string name = e.VariableName();
  const std::string if_true = e.Text();
  const std::string if_false = e.Text();
  e.SetVariable(name, holds ? if_true : if_false);
}

// A label parameter: a quoted string, or a word that names the label unless
// a variable of that name is set (then its value names it).
std::string LabelName(Engine& e) {
  std::string label;
  const TokenKind kind = e.NextToken(label, false);
  if (kind == TokenKind::kNone) e.ErrorWithCommand(kNeedParameter);
  if (kind == TokenKind::kWord) {
    std::string value = e.GetVariable(label);
    if (!value.empty()) label = std::move(value);
  }
  if (label.empty()) e.ErrorWithCommand(kNeedNonEmpty);
  return label;
}

void Goto(Engine& e) {
  e.JumpToLabel(LabelName(e));
  if (e.Tracing()) e.Trace("\r\n");
}

void Gosub(Engine& e) {
  const std::string label = LabelName(e);
  if (e.CallStackFull()) e.Error(kTooManyGosubs);
  e.Indent();
  e.PushReturn();
  e.JumpToLabel(label);
  if (e.Tracing()) e.Trace("\r\n");
}

void Return(Engine& e) {
  e.TrimParameters();
  if (e.PopReturn())
    e.Unindent();
  else
    e.SetControl(kControlLeaveScript);
  if (e.Tracing()) e.Trace("\r\n");
}

// CALL and CALLANDGOSUB: a full call stack refuses the call.
void CallScript(Engine& e, const std::string& name, const std::string* label) {
  if (e.CallStackFull()) e.Error(kTooManyGosubs);
  if (!e.RunScript(name, label)) e.ErrorWithCommand(kErrorOpeningScript);
}

void Call(Engine& e) {
  CallScript(e, e.Text(true), nullptr);
}

void CallAndGosub(Engine& e) {
  const std::string name = e.Text(true);
  const std::string label = LabelName(e);
  CallScript(e, name, &label);
}

void End(Engine& e) {
  e.TrimParameters();
  e.SetControl(kControlEndRun);
}

void Exit(Engine& e) {
  e.TrimParameters();
  e.SetControl(kControlLeaveScript);
}

void Interpret(Engine& e) {
  e.command_text() = e.Text(true);
  e.SetControl(kControlRunCommand);
}

void DebugFile(Engine& e) {
  e.SetDebugFile({});
  std::string name;
  if (e.NextToken(name, true) == TokenKind::kNone) e.ErrorWithCommand(kNeedParameter);
  e.SetDebugFile(name);
}

void DebugText(Engine& e) {
  const std::string text = e.Text();
  if (!e.Tracing()) return;
  e.Trace("\r\n" + text + "\r\n");
  e.FlushTrace();
}

}  // namespace

void RegisterControlCommands(CommandTable& table) {
  table.Set("CALL", Call);
  table.Set("CALLANDGOSUB", CallAndGosub);
  table.Set("DEBUGFILE", DebugFile);
  table.Set("DEBUGTEXT", DebugText);
  table.Set("END", End);
  table.Set("EXIT", Exit);
  table.Set("GOSUB", Gosub);
  table.Set("GOTO", Goto);
  table.Set("IF", If);
  table.Set("IFSET", IfSet);
  table.Set("INTERPRET", Interpret);
  table.Set("RETURN", Return);
}

}  // namespace vidzoscript
