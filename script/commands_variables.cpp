// Variables and arithmetic: setting, freeing, saving and listing variables,
// integer arithmetic on signed 32-bit numbers, random numbers.
#include <climits>

#include "script/engine.h"
#include "script/families.h"

namespace vidzoscript {
namespace {

constexpr const char* kComputeError = "  Error in compute command:\r\n    ";
constexpr const char* kUnknownOperator = "  Unknown operator in command:\r\n    ";
constexpr const char* kStackFull = "  Variable stack full in command:\r\n    ";

int32_t Wrap(uint32_t value) {
  return static_cast<int32_t>(value);
}

void VarSet(Engine& e) {
  const std::string name = e.VariableName();
  std::string value;
  const TokenKind kind = e.NextToken(value, true);
  if (kind == TokenKind::kComparison && value == "=")
    value = e.Text();
  else if (kind == TokenKind::kNone)
    e.ErrorWithCommand(kNeedParameter);
  e.SetVariable(name, value);
}

void VarFree(Engine& e) {
  while (e.MoreNames()) e.SetVariable(e.VariableName(), std::string());
}

void VarPush(Engine& e) {
  VariableStack::Frame frame;
  while (e.MoreNames()) {
    const std::string name = VariableStore::NormalName(e.VariableName());
    frame.emplace_back(name, e.GetVariable(name));
  }
  if (!e.variable_stack().Push(std::move(frame))) e.ErrorWithCommand(kStackFull);
}

void VarPop(Engine& e) {
  e.TrimParameters();
  VariableStack::Frame frame;
  if (!e.variable_stack().Pop(frame)) return;
  for (const auto& [name, value] : frame) e.SetVariable(name, value);
}

void VarList(Engine& e) {
  e.TrimParameters();
  std::vector<std::string> lines;
  for (const auto& [name, value] : e.variables().Items()) lines.push_back(name + "=" + value);
  e.WriteList(lines);
}

}  // namespace

int32_t Compute(int32_t a, char op, int32_t b, bool* known) {
  *known = true;
  const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
    case '+':
      return Wrap(ua + ub);
    case '-':
      return Wrap(ua - ub);
    case '*':
      return Wrap(ua * ub);
    case '/':
      if (b == 0) return 0;
      if (a == INT32_MIN && b == -1) return INT32_MIN;  // the quotient wraps
      return a / b;
    case '%':
      if (b == 0 || b == -1) return 0;
      return a % b;
    case '&':
      return Wrap(ua & ub);
    case '|':
      return Wrap(ua | ub);
    case '^':
      return Wrap(ua ^ ub);
    default:
      *known = false;
      return 0;
  }
}

uint32_t IntegerSquareRoot(uint32_t n) {
  if (n < 2) return n;
  uint32_t b = 65535;
  uint32_t c;
  for (;;) {
    c = (b + n / b) / 2;
    if (c >= b) break;
    b = c;
  }
  return c + ((b + n / b) & 1u);
}

int32_t RandomBelowOrAt(uint32_t draw, int32_t n) {
  const int64_t r = static_cast<int64_t>(draw) * (static_cast<int64_t>(n) + 1) / 32767;
  return r > n ? n : static_cast<int32_t>(r);
}

namespace {

void ComputeCommand(Engine& e) {
  const std::string name = e.VariableName();
  std::string token;
  const TokenKind kind = e.NextToken(token, true);
  int32_t a;
  if (kind == TokenKind::kComparison && token == "=")
    a = e.Number();
  else if (kind == TokenKind::kNumber)
    a = ToNumber(token);
  else
    e.ErrorWithCommand(kComputeError);
  std::string op;
  if (e.NextToken(op, true) == TokenKind::kNone) e.ErrorWithCommand(kNeedParameter);
  int32_t b;
  if (op.size() > 1 && op[0] == '-') {
    // "10 -3": the tokenizer read "-3" as a number.
    const std::string rest = op.substr(1);
    if (!IsNumeric(rest)) e.ErrorWithCommand(kNeedNumber);
    b = ToNumber(rest);
    op = "-";
  } else {
    b = e.Number();
  }
  bool known = op.size() == 1;
  const int32_t result = known ? Compute(a, op[0], b, &known) : 0;
  if (!known) e.ErrorWithCommand(kUnknownOperator);
  e.SetVariable(name, result);
}

void ComputeAbs(Engine& e) {
  const std::string name = e.VariableName();
  const int32_t n = e.Number();
  e.SetVariable(name, n < 0 ? Wrap(0u - static_cast<uint32_t>(n)) : n);
}

void ComputeSqrt(Engine& e) {
  const std::string name = e.VariableName();
  const auto n = static_cast<uint32_t>(e.Number());
  e.SetVariable(name, Wrap(IntegerSquareRoot(n)));
}

void Random(Engine& e) {
  const std::string name = e.VariableName();
  const int32_t n = e.Number();
  e.SetVariable(name, RandomBelowOrAt(e.random().Draw(), n));
}

void Randomize(Engine& e) {
  e.random().Seed(static_cast<uint32_t>(e.Number()));
}

}  // namespace

void RegisterVariableCommands(CommandTable& table) {
  table.Set("COMPUTE", ComputeCommand);
  table.Set("COMPUTEABS", ComputeAbs);
  table.Set("COMPUTESQRT", ComputeSqrt);
  table.Set("RANDOM", Random);
  table.Set("RANDOMIZE", Randomize);
  table.Set("VARFREE", VarFree);
  table.Set("VARLIST", VarList);
  table.Set("VARPOP", VarPop);
  table.Set("VARPUSH", VarPush);
  table.Set("VARSET", VarSet);
}

}  // namespace vidzoscript
