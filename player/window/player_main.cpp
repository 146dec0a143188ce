#include "player/window/player_main.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/cmdline.h"
#include "platform/messagebox.h"
#include "platform/program_info.h"
#include "platform/report_channel.h"
#include "player/window/window_host.h"
#include "qelutil/qelutil.h"
#include "sound/sound.h"

namespace {

// The self-play area: a packaging tool finds the field between the markers
// in the program file and writes a command line into it.
struct SelfPlayArea {
  char head[8];
  char field[208];
  char tail[8];
};

__attribute__((used)) SelfPlayArea g_self_play = {
    {'S', 'E', 'L', 'F', 'P', 'L', 'A', 'Y'}, {}, {'V', 'I', 'D', 'Z', 'O', 'E', 'R', '!'}};

// Every letter the player takes, with a number or alone ("/#" is the front
// end's).
constexpr std::array<char, 27> kLetters = {'P', 'L', 'F', 'T', 'S', 'X', 'Y', 'B', 'M',
                                           'E', 'G', 'U', 'N', 'C', 'O', 'K', 'A', 'Z',
                                           'Q', 'I', 'J', 'R', 'W', 'H', '@', 'D', 'V'};

std::vector<platform::SwitchDef> KnownSwitches() {
  std::vector<platform::SwitchDef> known;
  for (char letter : kLetters) {
    known.push_back({letter, platform::SwitchKind::kFlag});
    known.push_back({letter, platform::SwitchKind::kNumber});
  }
  known.push_back({'#', platform::SwitchKind::kFlag});
  known.push_back({'#', platform::SwitchKind::kNumber});
  return known;
}

// "--help" and "--version" alone on the command line answer on standard
// output, for shells and package tools; every other command line is the
// player's own.
bool AnswerAboutProgram(int argc, const char* const* argv, int& exit_code) {
  if (argc != 2) return false;
  const std::string arg = argv[1];
  if (arg == "--version") {
    platform::PrintVersion("vidzoplw");
  } else if (arg == "--help") {
    std::string text = vidzoplay::HelpCaption() + "\n" + vidzoplay::HelpText() + "\n";
    std::string plain;
    for (char c : text)
      if (c != '\r') plain += c;
    std::fputs(plain.c_str(), stdout);
    std::fputs(platform::HelpPageNote("vidzoplw").c_str(), stdout);
  } else {
    return false;
  }
  exit_code = 0;
  return true;
}

}  // namespace

namespace vidzoplay {

const char* SelfPlayField() {
  // Read through a volatile view: the field is written into the program file
  // after linking, so its delivered zeros must not be taken as known.
  static char copy[sizeof g_self_play.field];
  const volatile char* field = g_self_play.field;
  for (size_t i = 0; i < sizeof copy; ++i) copy[i] = field[i];
  return copy;
}

int PlayerMain(int argc, const char* const* argv, const PlayerMainOptions& options) {
  int answered = 0;
  if (AnswerAboutProgram(argc, argv, answered)) return answered;
  VidzoSoundInstall();
  const std::vector<platform::SwitchDef> known = KnownSwitches();
  std::string error;
  const std::optional<std::string> built = platform::BuildCommandLine(argc, argv, known, &error);
  if (!built) {
    const std::string text = " " + error;
    platform::ShowMessage(text.c_str(), kAppName, platform::kMessageError);
    return 1;
  }
  if (built->size() > kMaxCommandLine) {
    platform::ShowMessage(kTooLongText, kAppName, platform::kMessageError);
    return 1;
  }
  std::vector<char> line(built->begin(), built->end());
  line.push_back('\0');
  const auto front_end_id = static_cast<uint32_t>(GetSwitchNum(line.data(), '#', 0));
  GetSwitch(line.data(), '#');

  PlayerSettings settings;
  const platform::FrontEndLink front = platform::GreetFrontEnd(front_end_id);
  if (front.started_us) settings.InfoBoxAtEnd = false;
  int exit_code = 0;
  {
    WindowHost host(options.frame_hook, options.program_file);
    exit_code = RunPlayer(line.data(), settings, host, SelfPlayField()).ExitCode;
    host.CloseWindow();
  }
  platform::ReportToFrontEnd(front, BannerText());
  return exit_code;
}

}  // namespace vidzoplay
