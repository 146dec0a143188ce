#include "player/player.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/messagebox.h"
#include "playback/video.h"
#include "qelutil/qelutil.h"

namespace vidzoplay {
namespace {

constexpr size_t kSelfPlayField = 208;
constexpr uint32_t kSoundOnlyWidth = 160;
// The longest sleep while waiting: keys and window messages are taken at
// least this often.
constexpr uint32_t kIdleMs = 10;
// How long the sound output's estimate of what has played may run ahead of
// the device (one service of the device buffer).
constexpr uint32_t kPlayOutSlackMs = 20;

bool IsBlank(char c) {
  return c >= 1 && c <= 32;
}

// The byte offset of a ":offset" name; false when the rest is not a decimal
// number that fits a file offset.
bool ParseOffset(const std::string& name, int64_t& offset) {
  if (name.size() < 2 || name.size() > 19) return false;
  offset = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    offset = offset * 10 + (name[i] - '0');
  }
  return true;
}

enum class WaitEnd { kNextFrame, kCloseFile };

class Player {
 public:
  Player(PlayerSettings& settings, PlayerHost& host) : s_(settings), host_(host) {}

  RunResult Run(const std::string& command_line, const char* self_play);

 private:
  bool Prepare(const std::string& command_line, const char* self_play);
  void PlayFiles();
  // Opens the file of name_; null when it cannot be opened.
  VidzoHandle* OpenFile();
  bool ShowDisplay(const VidzoHandle& h);
  void PlayFrames(VidzoHandle* h);
  void UpdatePalette(VidzoHandle* h);
  void ShowFrame(VidzoHandle* h);
  void DrawProgress(const VidzoHandle& h);
  WaitEnd Wait(VidzoHandle* h);
  // What a key does while waiting: kNextFrame when it does not end the file.
  WaitEnd TakeKeyAction(uint8_t key, bool& step);
  void PlayOut(VidzoHandle* h);
  void CloseFile(VidzoHandle* h);
  void NextName();
  void EndRun();
  void Fail(const std::string& text) {
    platform::ShowMessage(text.c_str(), kAppName, platform::kMessageError);
    result_.ExitCode = 1;
  }
  void ShowHelp() {
    platform::ShowMessage(HelpText().c_str(), HelpCaption().c_str(), platform::kMessageInfo);
    result_.ExitCode = 1;
  }

  PlayerSettings& s_;
  PlayerHost& host_;
  RunResult result_;
  std::string command_line_;  // what remained after the switches
  std::string name_list_;
  std::string name_;
  bool several_ = false;
  bool paused_ = false;
  bool resolution_set_ = false;
  int program_fd_ = -1;  // the program file, while a ":offset" name plays
  bool opened_ = false;  // OpenFile got as far as the library's open
  const DisplayView* display_ = nullptr;
};

RunResult Player::Run(const std::string& command_line, const char* self_play) {
  if (Prepare(command_line, self_play)) {
    PlayFiles();
    EndRun();
  }
  return result_;
}

bool Player::Prepare(const std::string& command_line, const char* self_play) {
  std::string line;
  switch (ParseCommandLine(
      command_line, self_play, s_, [this] { return host_.SelectDirectSound(); }, line)) {
    case LineResult::kHelp:
      ShowHelp();
      return false;
    case LineResult::kTooLong:
      Fail(kTooLongText);
      return false;
    case LineResult::kNames:
      break;
  }
  if (s_.NoMMX) VidzoSetMMX(0);
  command_line_ = line;
  name_list_ = line;
  NextName();
  if (name_.empty()) {  // separators only
    ShowHelp();
    return false;
  }
  several_ = !name_list_.empty();
  result_.Summary.Stats.FramesPlayed = 0;
  return true;
}

void Player::NextName() {
  name_.clear();
  while (name_.empty() && !name_list_.empty()) name_ = TakeFirstName(name_list_);
}

void Player::PlayFiles() {
  while (!name_.empty()) {
    VidzoSetSimulatedRate(s_.SimulatedRate);
    VidzoSetFrameRate(s_.FrameRate);
    VidzoHandle* h = OpenFile();
    if (h == nullptr) {
      // A picture beyond the toolkit's limits says so; every other failure
      // gives the usual text.
      const bool too_large = opened_ && VidzoOpenFailure() == VIDZO_OPEN_TOO_LARGE;
      Fail(" Error opening file: " + name_ + "." +
           (too_large ? std::string(" ") + VidzoOpenMessage() + "." : ""));
      name_.clear();
      break;
    }
    ++result_.FilesOpened;
    if (s_.Resolution != 0 && host_.SetResolution(s_.Resolution)) resolution_set_ = true;
    if (ShowDisplay(*h)) {
      if (s_.UseDirectSound) host_.UseWindowForSound();
      if (!s_.SoundOnly) {
        VidzoSetDestination(h, 0, 0, static_cast<int32_t>(display_->Pitch), display_->Height,
                            display_->Pixels, display_->Orientation);
      }
      PlayFrames(h);
    } else {
      Fail(" Error opening graphics buffer.");
      name_list_.clear();
      command_line_.clear();
    }
    CloseFile(h);
  }
}

VidzoHandle* Player::OpenFile() {
  opened_ = false;
  if (name_[0] == ':') {
    int64_t offset = 0;
    if (!ParseOffset(name_, offset)) return nullptr;
    program_fd_ = platform::FileOpen(host_.ProgramFile().c_str(), false);
    if (program_fd_ < 0) return nullptr;
    VidzoHandle* h = nullptr;
    if (platform::FileSeek(program_fd_, offset, SEEK_SET) == offset) {
      opened_ = true;
      h = VidzoOpenFd(program_fd_, s_.OpenFlags | OPEN_FILE_HANDLE, s_.ExtraBuffer);
    }
    if (h == nullptr) {
      platform::FileClose(program_fd_);
      program_fd_ = -1;
    }
    return h;
  }
  if (HasExtension(name_.c_str()) == nullptr) name_ += ".Vdz";
  opened_ = true;
  return VidzoOpen(name_.c_str(), s_.OpenFlags, s_.ExtraBuffer);
}

bool Player::ShowDisplay(const VidzoHandle& h) {
  DisplayRequest request;
  request.Type = DisplayTypeRequest(s_.DisplayFlags);
  request.Width = s_.SoundOnly ? kSoundOnlyWidth : h.Width;
  request.Height = s_.SoundOnly ? 1 : h.Height;
  request.StretchWidth = s_.StretchWidth;
  request.StretchHeight = s_.StretchHeight;
  request.Left = s_.WindowLeft;
  request.Top = s_.WindowTop;
  request.DisplayFlags = s_.DisplayFlags;
  if (display_ != nullptr && display_->FullScreen && display_->Width >= request.Width &&
      display_->Height >= request.Height) {
    if ((s_.DisplayFlags & kDisplayNoClear) == 0) host_.Clear(0);
    host_.MoveDisplay(request);
    return true;
  }
  if (display_ != nullptr) host_.CloseDisplay();
  display_ = host_.OpenDisplay(request);
  return display_ != nullptr;
}

void Player::PlayFrames(VidzoHandle* h) {
  const uint32_t last = h->FrameCount - 1;
  bool done = h->FrameCount == 0;
  while (!done) {
    UpdatePalette(h);
    if (s_.DifferencesOnly && !s_.SoundOnly) {
      host_.Clear(0);
      host_.Blit(0, 0, display_->Width, display_->Height);
    }
    VidzoDecodeFrame(h);
    if (s_.SoundOnly) {
      DrawProgress(*h);
    } else {
      ShowFrame(h);
    }
    if (s_.FrameInCaption) host_.SetCaption("VidzoPlay - Frame: " + std::to_string(h->CurrentFrame + 1));
    // A file that failed a read while playing is not looped: after a short
    // read the library no longer returns to its first frame, so its frame
    // numbers only count up. (A file found cut short at open plays and loops
    // its whole frames.)
    const bool read_failed = (h->ReadError & VDZ_READ_SHORT) != 0;
    const bool at_last = h->CurrentFrame == last || (read_failed && h->CurrentFrame > last);
    if (!at_last) {
      VidzoAdvanceFrame(h);
    } else if (several_ || read_failed) {
      done = true;
    } else if (--s_.LoopCount == 0) {
      done = true;
    } else {
      VidzoAdvanceFrame(h);
    }
    host_.FrameShown(*h);
    if (Wait(h) == WaitEnd::kCloseFile) return;
  }
  PlayOut(h);
}

// After the last frame the sound still queued plays out before the file is
// closed; a quit or skip key ends it at once. The estimate of what has
// played may run ahead of the device by a service, so the wait lasts that
// much longer. A device that stops playing cannot hold the player: it waits
// at most a second beyond the sound left.
void Player::PlayOut(VidzoHandle* h) {
  uint32_t left = VidzoSoundLeftMs(h);
  if (left == 0) return;
  const uint32_t start = platform::TimeMs(), limit = left + kPlayOutSlackMs + 1000;
  uint32_t played_out_at = 0;
  bool played_out = false, step = false;
  for (;;) {
    uint8_t key = 0;
    if (host_.TakeKey(key) && TakeKeyAction(key, step) == WaitEnd::kCloseFile) return;
    const uint32_t now = platform::TimeMs();
    if (now - start > limit) return;
    left = VidzoSoundLeftMs(h);
    if (left == 0 && !played_out) {
      played_out = true;
      played_out_at = now;
    }
    if (played_out && now - played_out_at >= kPlayOutSlackMs) return;
    host_.Idle(std::min(left != 0 ? left : kPlayOutSlackMs, kIdleMs));
  }
}

void Player::UpdatePalette(VidzoHandle* h) {
  if (h->PaletteChanged == 0 || s_.SoundOnly) return;
  if (s_.Remap == 1) {
    uint8_t system[768];
    host_.ReadSystemPalette(system);
    host_.SetPalette(system);
  } else {
    host_.SetPalette(h->Palette);
  }
  if (display_->UsableColours < 256 && s_.Remap != 2) {
    VidzoRemapPalette(h, display_->ColourTable, display_->PaletteSize, display_->PaletteLayout);
  }
}

void Player::ShowFrame(VidzoHandle* h) {
  host_.BeginFrame();
  while (VidzoNextDirtyRect(h, display_->RectMode) != 0) {
    if (host_.Blit(h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight) != 0) break;
  }
  host_.EndFrame();
}

void Player::DrawProgress(const VidzoHandle& h) {
  const uint64_t count = h.FrameCount != 0 ? h.FrameCount : 1;
  const uint32_t lit = static_cast<uint32_t>(
      std::min<uint64_t>(uint64_t{h.CurrentFrame} * kSoundOnlyWidth / count + 1, kSoundOnlyWidth));
  if (display_->Pixels == nullptr || display_->Width < kSoundOnlyWidth) return;
  uint8_t* row = display_->Pixels;
  std::memset(row, 9, lit);
  std::memset(row + lit, 0, kSoundOnlyWidth - lit);
  host_.Blit(0, 0, kSoundOnlyWidth, 1);
}

WaitEnd Player::TakeKeyAction(uint8_t key, bool& step) {
  if (key == kKeyEnter) {
    if (paused_) step = true;
  } else if (key == kKeyEsc || key == kKeyClose) {
    if ((s_.DisabledControls & kDisableQuit) == 0) {
      name_list_.clear();
      command_line_.clear();
      return WaitEnd::kCloseFile;
    }
  } else if (key == kKeyBlank) {
    if ((s_.DisabledControls & kDisablePause) == 0) paused_ = !paused_;
  } else if (key == kKeyFullStop) {
    if ((s_.DisabledControls & kDisableSkip) == 0) return WaitEnd::kCloseFile;
  }
  return WaitEnd::kNextFrame;
}

WaitEnd Player::Wait(VidzoHandle* h) {
  bool step = false;
  for (;;) {
    uint8_t key = 0;
    const bool took = host_.TakeKey(key);
    if (took && TakeKeyAction(key, step) == WaitEnd::kCloseFile) return WaitEnd::kCloseFile;
    const bool not_due = VidzoFrameNotDue(h) != 0;
    const bool hold = not_due || (!s_.PlayWithoutFocus && !host_.HasFocus()) || (paused_ && !step);
    if (!hold) return WaitEnd::kNextFrame;
    // Nothing to do until the frame is due, the sound wants serving or a key
    // comes: sleep instead of spinning.
    if (!took) host_.Idle(not_due ? std::min(VidzoFrameWaitMs(h), kIdleMs) : kIdleMs);
  }
}

void Player::CloseFile(VidzoHandle* h) {
  VidzoReadStatistics(h, &result_.Summary.Stats);
  result_.Summary.PeakSecondBytes = h->PeakSecondBytes;
  result_.Summary.PeakSecondFrame = h->PeakSecondFrame;
  VidzoClose(h);
  if (program_fd_ >= 0) {
    platform::FileClose(program_fd_);
    program_fd_ = -1;
  }
  if (several_ && name_list_.empty() && --s_.LoopCount != 0) name_list_ = command_line_;
  NextName();
}

void Player::EndRun() {
  if (display_ != nullptr) {
    result_.Summary.DisplayName = host_.DescribeDisplay();
    result_.Summary.ScreenColours = display_->ScreenColours;
    host_.CloseDisplay();
    display_ = nullptr;
  }
  if (resolution_set_) host_.SetResolution(0);
  if (s_.ShowSummary) {
    const std::string text = SummaryText(result_.Summary);
    if (!text.empty()) platform::ShowMessage(text.c_str(), kSummaryCaption, platform::kMessageInfo);
  } else if (s_.InfoBoxAtEnd) {
    platform::ShowMessage(InfoText().c_str(), InfoCaption().c_str(), platform::kMessageInfo);
  }
}

}  // namespace

LineResult ParseCommandLine(const std::string& command_line, const char* self_play, PlayerSettings& settings,
                            const SelectDirectSound& select_direct_sound, std::string& names) {
  names = command_line;
  if (self_play != nullptr && self_play[0] != '\0') {
    std::string embedded(self_play, strnlen(self_play, kSelfPlayField));
    if (!ParseSettings(embedded, settings, select_direct_sound)) return LineResult::kHelp;
    names = embedded + " " + command_line;
  }
  if (names.size() > kMaxCommandLine) return LineResult::kTooLong;
  if (!ParseSettings(names, settings, select_direct_sound)) return LineResult::kHelp;
  const size_t first = names.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return LineResult::kHelp;  // no names
  names.erase(0, first);
  return LineResult::kNames;
}

std::string TakeFirstName(std::string& list) {
  std::vector<char> line(list.begin(), list.end());
  line.push_back('\0');
  size_t first = 0;
  while (first < list.size() && IsBlank(list[first])) ++first;
  const bool quoted =
      first < list.size() && list[first] == '"' && list.find('"', first + 1) != std::string::npos;
  std::vector<char> dest(line.size());
  GetAndRemoveFirstQuoted(dest.data(), line.data());
  std::string name(dest.data());
  if (!quoted && !name.empty() && name.back() == ',') {
    name.pop_back();
    while (!name.empty() && IsBlank(name.back())) name.pop_back();
  }
  list = line.data();
  return name;
}

int32_t PlaceWindowEdge(int32_t given, int32_t screen, int32_t client, int32_t frame) {
  if (given != -1) return given;
  return (screen - client) / 2 - frame;
}

RunResult RunPlayer(const std::string& command_line, PlayerSettings& settings, PlayerHost& host,
                    const char* self_play) {
  Player player(settings, host);
  return player.Run(command_line, self_play);
}

}  // namespace vidzoplay
