// The command families. Each family is a file of its own that registers its
// handlers by name; a family that is not built yet registers nothing, and
// its commands end the run with the "not available" error naming them.
#pragma once

#include "script/command_table.h"

namespace vidzoscript {

// CALL, CALLANDGOSUB, GOTO, GOSUB, RETURN, IF, IFSET, INTERPRET, END, EXIT,
// DEBUGFILE, DEBUGTEXT.
void RegisterControlCommands(CommandTable& table);
// VARSET, VARFREE, VARPUSH, VARPOP, VARLIST, COMPUTE, COMPUTEABS,
// COMPUTESQRT, RANDOM, RANDOMIZE.
void RegisterVariableCommands(CommandTable& table);

// Every family's handlers.
void RegisterFamilies(CommandTable& table);

}  // namespace vidzoscript
