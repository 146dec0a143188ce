// The script player program as a function: vidzoscw's main calls it. The
// window layer's host: window messages and the sound output's turn through
// SDL, and message boxes through SDL when a display exists.
#pragma once

namespace vidzoscript {

// Runs the script player on main's arguments; returns the exit code.
int ScriptMain(int argc, const char* const* argv);

}  // namespace vidzoscript
