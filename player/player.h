// The player logic: the settings, the list of names, the loop over the files
// and over their frames, the keys, the end of the run. It needs no window
// system: the display and the key source come through PlayerHost, which the
// window layer implements on the real window and tests implement with fakes.
#pragma once

#include <cstdint>
#include <string>

#include "playback/vidzo.h"
#include "player/settings.h"
#include "player/texts.h"

namespace vidzoplay {

// Key codes the player acts on.
inline constexpr uint8_t kKeyEnter = 13;
inline constexpr uint8_t kKeyEsc = 27;
inline constexpr uint8_t kKeyBlank = 32;
inline constexpr uint8_t kKeyFullStop = 46;
inline constexpr uint8_t kKeyClose = 241;

// Limits of the texts the player keeps. The command line (with a self-play
// text in front of it) may be as long as a Linux path allows; longer ones are
// refused with kTooLongText.
inline constexpr size_t kMaxCommandLine = 4095;
inline constexpr const char* kTooLongText = " Command line too long: at most 4095 characters.";

// The display record's fields the player reads.
struct DisplayView {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t Pitch = 0;
  uint8_t* Pixels = nullptr;
  uint32_t Orientation = 0;
  uint32_t RectMode = 0;
  uint32_t UsableColours = 256;
  const void* ColourTable = nullptr;
  uint32_t PaletteSize = 256;
  uint32_t PaletteLayout = 6;
  uint32_t ScreenColours = 0;
  bool FullScreen = false;
  uint32_t WindowWidth = 0;
  uint32_t WindowHeight = 0;
};

// What the player asks of the display.
struct DisplayRequest {
  uint32_t Type = 0;  // type 0 to 5 with request bits (DisplayTypeRequest)
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t StretchWidth = 0;
  uint32_t StretchHeight = 0;
  int32_t Left = -1;  // -1 centres
  int32_t Top = -1;
  uint32_t DisplayFlags = 0;
};

class PlayerHost {
 public:
  virtual ~PlayerHost() = default;

  // The player window and its display buffer. Open creates them (a window
  // already open is reused: the player closes the display first when it
  // wants a new one); null when either cannot be made.
  virtual const DisplayView* OpenDisplay(const DisplayRequest& request) = 0;
  // Moves the open window to the place the request asks for.
  virtual void MoveDisplay(const DisplayRequest& request) = 0;
  virtual void CloseDisplay() = 0;
  virtual uint32_t Blit(uint32_t x, uint32_t y, uint32_t width, uint32_t height) = 0;
  // 256 entries of red, green, blue.
  virtual void SetPalette(const uint8_t* rgb) = 0;
  // The screen's current 256 palette entries (red, green, blue).
  virtual void ReadSystemPalette(uint8_t* rgb) = 0;
  virtual void Clear(uint8_t index) = 0;
  virtual void BeginFrame() = 0;
  virtual void EndFrame() = 0;
  virtual bool HasFocus() = 0;
  virtual std::string DescribeDisplay() = 0;
  virtual bool SetResolution(uint32_t mode) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // The window the device-buffer sound output works with.
  virtual void UseWindowForSound() {}

  // Dispatches pending window messages, then takes the next key code; false
  // when none is waiting.
  virtual bool TakeKey(uint8_t& code) = 0;
  // Called while the player waits with nothing to do: gives the processor
  // away for at most `max_ms` milliseconds, or until a sound device takes
  // sound or a key comes, whichever is first (0: just yields).
  virtual void Idle(uint32_t max_ms) = 0;
  // Called after each frame has been shown.
  virtual void FrameShown(const VidzoHandle& /*handle*/) {}

  // Selects the device-buffer sound output (/Z); true when that worked.
  virtual bool SelectDirectSound() { return false; }
  // The program file that ":offset" names read from.
  virtual std::string ProgramFile() { return "/proc/self/exe"; }
};

// The result of a run.
struct RunResult {
  int ExitCode = 0;  // 0 when everything asked for was done
  PlaybackSummary Summary;
  uint32_t FilesOpened = 0;  // successful opens, reopens of a looped list included
};

// Runs the player on a command line (the "/#" switch already taken out).
// `self_play` is the 208-byte text field of the self-play area (null: none).
RunResult RunPlayer(const std::string& command_line, PlayerSettings& settings, PlayerHost& host,
                    const char* self_play = nullptr);

// The command line (after the self-play text, when there is one) through the
// settings parse. kNames: `names` holds what remained, the list of names.
// kHelp: a switch was not understood or no name was given. kTooLong: the
// line is longer than kMaxCommandLine.
enum class LineResult { kNames, kHelp, kTooLong };
LineResult ParseCommandLine(const std::string& command_line, const char* self_play, PlayerSettings& settings,
                            const SelectDirectSound& select_direct_sound, std::string& names);

// Splits off the first name of `list` (quoted names keep their blanks; an
// unquoted name loses one comma that separates it from the next).
std::string TakeFirstName(std::string& list);

// Where the window goes: a left or top of -1 centres the client area on the
// screen (also when it is larger than the screen), otherwise the given value
// is the outer window's edge. frame_left and frame_top are the widths of the
// window frame left of and above the client area.
int32_t PlaceWindowEdge(int32_t given, int32_t screen, int32_t client, int32_t frame);

}  // namespace vidzoplay
