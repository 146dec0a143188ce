// The command families. Each family is a file of its own that registers its
// handlers by name; a family that is not built yet registers nothing, and
// its commands end the run with the "not available" error naming them. A
// family that keeps state for a run (slots, settings) keeps it in a
// FamilyState of its own, Engine::State<T>(), which the engine tells of
// display resets and of the end of the run.
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
