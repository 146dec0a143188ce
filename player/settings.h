// The player's settings: one record for the whole run, filled from the
// switches of the command line (and of the self-play text), in a fixed order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vidzoplay {

// Display flags given to the player window.
inline constexpr uint32_t kDisplayTypeMask = 0x1F;  // video type code: 0, or 22 to 25
inline constexpr uint32_t kDisplayNoDirectDraw = 0x20;
inline constexpr uint32_t kDisplaySmoothing = 0x40;
inline constexpr uint32_t kDisplayInterlaced = 0x80;
inline constexpr uint32_t kDisplayDoubleBuffer = 0x100;
inline constexpr uint32_t kDisplayNoCaption = 0x200;
inline constexpr uint32_t kDisplayNoClear = 0x1000;
inline constexpr uint32_t kDisplayNoDialogFrame = 0x4000;
inline constexpr uint32_t kDisplayThinBorder = 0x8000;

// Disabled controls (/U).
inline constexpr uint32_t kDisablePause = 1;
inline constexpr uint32_t kDisableSkip = 2;
inline constexpr uint32_t kDisableQuit = 4;

struct PlayerSettings {
  int32_t WindowLeft = -1;  // -1 centres
  int32_t WindowTop = -1;
  uint32_t SimulatedRate = 0;  // bytes per second, 0 = off
  uint32_t ExtraBuffer = 0xFFFFFFFFu;
  uint32_t LoopCount = 1;  // 0xFFFFFFFF: endless
  int32_t FrameRate = -1;  // -1 none, 0 as fast as possible, >0 frames per second, <0 period in 10 us
  uint32_t DisabledControls = 0;
  uint32_t OpenFlags = 0x000FE000u;  // all seven sound tracks
  uint32_t DisplayFlags = 0;
  uint32_t StretchWidth = 0;
  uint32_t StretchHeight = 0;
  uint32_t Resolution = 0;  // 0 leaves the desktop alone, 1 to 4
  uint8_t Remap = 0;        // 1 remap to the system palette, 2 never remap
  bool ShowSummary = false;
  bool SoundOnly = false;
  bool DifferencesOnly = false;
  bool FrameInCaption = false;
  bool UseDirectSound = false;
  bool NoMMX = false;
  bool PlayWithoutFocus = false;
  bool InfoBoxAtEnd = true;
};

// Asked for when /Z is given: selects the device-buffer sound output and
// answers whether that worked.
using SelectDirectSound = std::function<bool()>;

// Takes the player's switches out of `text` (trimmed first) into `settings`.
// False when a slash is left outside double quotes afterwards: an unknown or
// malformed switch (the caller shows the help box).
bool ParseSettings(std::string& text, PlayerSettings& settings, const SelectDirectSound& select_direct_sound);

// True when `text` holds a "/" outside pairs of double quotes (an unmatched
// quote hides nothing, as for the switch functions).
bool HasSlashOutsideQuotes(const std::string& text);

// The display type request of the display flags: type 0 to 5 and the request
// bits 0x80 (no DirectDraw), 0x100 (smoothing) and 0x200 (interlaced).
uint32_t DisplayTypeRequest(uint32_t display_flags);

}  // namespace vidzoplay
