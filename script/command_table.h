// The script language's command table. Every name is in the table from the
// start; a command whose family has not registered a handler ends the run
// with kNotBuiltMessage naming it. Each command family registers its
// handlers by name in a file of its own (families.cpp lists them).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vidzoscript {

class Engine;

inline constexpr size_t kCommandCount = 188;

// The names in ascending byte order.
extern const std::array<const char*, kCommandCount> kCommandNames;

// Binary search for a whole, upper-case name; its index or -1.
int FindCommand(const char* word);

using Handler = void (*)(Engine&);

// The handler of every command not built in this version.
void NotBuiltHandler(Engine& engine);
inline constexpr const char* kNotBuiltMessage = "  Command not available in this version:\r\n    ";

class CommandTable {
 public:
  CommandTable();
  // Sets the handler of the named command; false when there is no such
  // command (a family naming a command wrongly is caught by the tests).
  bool Set(const char* name, Handler handler);
  Handler operator[](size_t index) const { return handlers_[index]; }
  // True when a family has registered the command's handler.
  bool Built(size_t index) const;
  // The names given to Set that are not in the table.
  const std::vector<std::string>& Unknown() const { return unknown_; }

 private:
  std::array<Handler, kCommandCount> handlers_;
  std::vector<std::string> unknown_;
};

}  // namespace vidzoscript
