// The player program as a function: vidzoplw's main calls it, and tests call
// it in-process with a hook that runs after every frame.
#pragma once

#include <functional>
#include <string>

#include "playback/vidzo.h"

namespace vidzoplay {

struct PlayerMainOptions {
  // Runs after each frame has been shown and before the wait.
  std::function<void(const VidzoHandle&)> frame_hook;
  // The file ":offset" names read from.
  std::string program_file = "/proc/self/exe";
};

// Runs the player on main's arguments; returns the exit code (0 after a run
// that did what was asked, 1 after an error).
int PlayerMain(int argc, const char* const* argv, const PlayerMainOptions& options = {});

// The text field of the self-play area in the program image (208 bytes).
const char* SelfPlayField();

}  // namespace vidzoplay
