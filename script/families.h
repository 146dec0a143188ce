// The command families. Each family is a file of its own that registers its
// handlers by name; a family that is not built yet registers nothing, and
// its commands end the run with the "not available" error naming them. A
// family that keeps state for a run (slots, settings) keeps it in a
// FamilyState of its own, Engine::State<T>(), which the engine tells of
// display resets and of the end of the run.
#pragma once

#include <string>

#include "script/command_table.h"

namespace vidzoscript {

// CALL, CALLANDGOSUB, GOTO, GOSUB, RETURN, IF, IFSET, INTERPRET, END, EXIT,
// DEBUGFILE, DEBUGTEXT.
void RegisterControlCommands(CommandTable& table);
// VARSET, VARFREE, VARPUSH, VARPOP, VARLIST, COMPUTE, COMPUTEABS,
// COMPUTESQRT, RANDOM, RANDOMIZE.
void RegisterVariableCommands(CommandTable& table);

// SCREEN..., TEXT..., INPUT... and MOUSE... commands.
void RegisterScreenCommands(CommandTable& table);
void RegisterTextCommands(CommandTable& table);
void RegisterInputCommands(CommandTable& table);
void RegisterMouseCommands(CommandTable& table);
// BITMAP... and ANIMATION... commands.
void RegisterBitmapCommands(CommandTable& table);
void RegisterAnimationCommands(CommandTable& table);

// STR... commands.
void RegisterStringCommands(CommandTable& table);
// FILE... commands, DIR... and DRIVE... commands.
void RegisterFileCommands(CommandTable& table);
// ENV..., EXECUTE, MCISENDSTRING, SOUND, DELAY..., SYSTEM... and PRINT...
void RegisterSystemCommands(CommandTable& table);
// Writes a line of TEXT output and "\r\n" to the print file when one is
// open (PRINTBEGIN); false when none is.
bool WriteToPrintFile(Engine& engine, const std::string& line);

// Writes a list line as text on the screen, when a display is open.
void WriteScreenLine(Engine& engine, const std::string& line);

// Every family's handlers.
void RegisterFamilies(CommandTable& table);

}  // namespace vidzoscript
