// The environment, other programs, multimedia commands, tones, waiting, the
// clock and date, queries about the system, and printing to a print file.
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <vector>

#include "display/display.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/sound_device.h"
#include "playback/video.h"
#include "qelutil/full_path.h"
#include "script/engine.h"
#include "script/families.h"
#include "script/screen.h"
#include "sound/sound.h"

namespace vidzoscript {
namespace {

// EXECUTE's results: started, and the program was not found.
constexpr int32_t kStarted = 33;
constexpr int32_t kNotStarted = 2;
constexpr const char* kNoMultimediaDevice = "Error: There is no multimedia command device on this system.";
constexpr const char* kDefaultPrinter = "lpt1";

// --- Environment and programs ------------------------------------------------------

void EnvGet(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = UpperCase(e.Text(true));
  std::string value = e.host().GetEnv(name);
  if (value.size() > kMaxText) value.resize(kMaxText);
  e.SetVariable(var, value);
}

void EnvSet(Engine& e) {
  const std::string name = UpperCase(e.Text(true));
  const std::string value = e.Text();
  e.host().SetEnv(name, value);
}

void Execute(Engine& e) {
  const std::string var = e.VariableName();
  const std::string line = e.Text(true);
  const std::vector<std::string> args = platform::SplitCommandLine(line);
  HideCursor(e);
  const bool started = !args.empty() && e.host().Launch(args, {});
  ScreenOf(e).ResetText();
  e.SetVariable(var, started ? kStarted : kNotStarted);
}

void MciSendString(Engine& e) {
  const std::string var = e.VariableName();
  (void)e.Text();
  e.SetVariable(var, kNoMultimediaDevice);
}

// --- Waiting and tones --------------------------------------------------------------

// Waits until the millisecond timer reaches the target, giving the window
// and the sound output their turns.
void WaitUntil(Engine& e, uint32_t target) {
  for (;;) {
    e.host().Pump();
    const auto left = static_cast<int32_t>(target - platform::TimeMs());
    if (left <= 0 || !e.host().KeepWaiting()) return;
    e.host().Idle(static_cast<uint32_t>(left));
  }
}

void Delay(Engine& e) {
  const int32_t ms = e.Number();
  WaitUntil(e, platform::TimeMs() + static_cast<uint32_t>(std::max(ms, 0)));
}

void DelayUntil(Engine& e) {
  WaitUntil(e, static_cast<uint32_t>(e.Number()));
}

// A square wave of the frequency for the milliseconds through a wave
// output device, in short blocks so that the window keeps its turns; when
// no device opens, the time passes silently.
void PlayTone(Engine& e, uint32_t frequency, uint32_t ms) {
  constexpr uint32_t kRate = 22050;
  constexpr uint32_t kBlock = kRate / 20;  // 50 ms
  const uint32_t start = platform::TimeMs();
  platform::PcmFormat format;
  format.rate = kRate;
  int error = 0;
  std::unique_ptr<platform::WaveOutDevice> device = platform::OpenWaveOut(format, &error);
  if (device == nullptr) {
    WaitUntil(e, start + ms);
    return;
  }
  frequency = std::min(frequency, kRate / 2);
  std::array<std::vector<uint8_t>, 3> data;
  std::array<platform::WaveBlock, 3> blocks;
  const uint64_t total = static_cast<uint64_t>(ms) * kRate / 1000;
  uint64_t made = 0;
  size_t next = 0;
  bool stopped = false;
  while (!stopped) {
    e.host().Pump();
    device->Poll();
    if (made < total && blocks[next].done) {
      const auto n = static_cast<uint32_t>(std::min<uint64_t>(kBlock, total - made));
      data[next].resize(n);
      for (uint32_t i = 0; i < n; ++i) {
        // The phase in half periods decides the level.
        const uint64_t half = (made + i) * frequency * 2 / kRate;
        data[next][i] = (half & 1) != 0 ? 0x60 : 0xA0;
      }
      blocks[next].data = data[next].data();
      blocks[next].length = n;
      blocks[next].done = false;
      if (!device->Write(&blocks[next])) break;
      made += n;
      next = (next + 1) % blocks.size();
      continue;
    }
    const bool all_done =
        std::all_of(blocks.begin(), blocks.end(), [](const auto& b) { return b.done.load(); });
    if (made >= total && all_done) break;
    if (!e.host().KeepWaiting()) stopped = true;
    e.host().Idle(5);
  }
  // The device lets go of the blocks before they go.
  device->Reset();
  device.reset();
}

void Sound(Engine& e) {
  const int32_t frequency = e.Number(), ms = e.Number();
  if (frequency <= 0 || ms <= 0) return;
  PlayTone(e, static_cast<uint32_t>(frequency), static_cast<uint32_t>(ms));
}

// --- Clock and system queries -----------------------------------------------------

void SystemTimer(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, static_cast<int32_t>(platform::TimeMs()));
}

void SystemDateTime(Engine& e) {
  const std::string var = e.VariableName();
  std::string format = e.Text();
  std::replace(format.begin(), format.end(), '^', '%');
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[kMaxText + 1];
  const size_t n = format.empty() ? 0 : std::strftime(text, sizeof text, format.c_str(), &local);
  e.SetVariable(var, std::string(text, n));
}

void SystemCommandLine(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, e.script_arguments());
}

void SystemCurrentScript(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, qelutil::FullPath(e.script_name()));
}

void SystemCurrentExe(Engine& e) {
  const std::string var = e.VariableName();
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  e.SetVariable(var, n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string());
}

void SystemPlatform(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, "Win32");
}

// The kernel's release numbers ("6.1.0-13-amd64": 6 and 1).
void KernelVersion(int32_t& major, int32_t& minor) {
  major = minor = 0;
  utsname names{};
  if (::uname(&names) != 0) return;
  const std::string release = names.release;
  major = ToNumber(release);
  const size_t dot = release.find('.');
  if (dot != std::string::npos) minor = ToNumber(release.substr(dot + 1));
}

void SystemOsMajor(Engine& e) {
  const std::string var = e.VariableName();
  int32_t major, minor;
  KernelVersion(major, minor);
  e.SetVariable(var, major);
}

void SystemOsMinor(Engine& e) {
  const std::string var = e.VariableName();
  int32_t major, minor;
  KernelVersion(major, minor);
  e.SetVariable(var, minor);
}

void SystemMemory(Engine& e) {
  const std::string var = e.VariableName();
  const long pages = ::sysconf(_SC_AVPHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  const uint64_t bytes =
      pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
  e.SetVariable(var, static_cast<int32_t>(std::min<uint64_t>(bytes, 2147483647u)));
}

void SystemColors(Engine& e) {
  const std::string var = e.VariableName();
  const uint32_t colours = VidzoDisplayScreenColours();
  // Without a screen to ask, the display is taken to be a true-colour one.
  e.SetVariable(var, static_cast<int32_t>(colours == 0 ? 1u << 24 : std::min(colours, 1u << 24)));
}

// The display resolution that SYSTEMDISPLAYRESOLUTION changed, given back at
// the end of the run.
struct ResolutionState : FamilyState {
  bool changed = false;
  void EndRun(Engine&) override {
    if (changed) VidzoDisplaySetResolution(0);
    changed = false;
  }
};

void SystemDisplayResolution(Engine& e) {
  const int32_t mode = e.Number();
  if (mode < 0 || mode > 4) return;
  if (VidzoDisplaySetResolution(static_cast<uint32_t>(mode)) != 0)
    e.State<ResolutionState>().changed = mode != 0;
}

void SystemUseDirectSound(Engine& e) {
  e.TrimParameters();
  VidzoSelectDirectSound(nullptr);
}

void SystemUseMmx(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t flag = e.Number();
  e.SetVariable(var, static_cast<int32_t>(VidzoSetMMX(flag != 0 ? 1 : 0)));
}

// --- Printing ---------------------------------------------------------------------

// The print file: a file slot while one is open. When VIDZOER_PRINTER names
// a command, the closed print file is piped into it.
class PrintState : public FamilyState {
 public:
  void EndRun(Engine& e) override { End(e); }
  QELFile* File(Engine& e) const { return slot_ >= 0 && e.File(slot_) == file_ ? file_ : nullptr; }
  void Begin(Engine& e, const std::string& name) {
    if (File(e) != nullptr) return;
    slot_ = e.OpenFile(name, true);
    file_ = slot_ >= 0 ? e.File(slot_) : nullptr;
  }
  void End(Engine& e) {
    QELFile* f = File(e);
    slot_ = -1;
    file_ = nullptr;
    if (f == nullptr) return;
    const char* stored = QELFileGetName(f, nullptr);
    const std::string name = stored != nullptr ? stored : "";
    for (size_t slot = 0; slot < kFileSlots; ++slot)
      if (e.File(static_cast<int>(slot)) == f) e.CloseFile(static_cast<int>(slot));
    const std::vector<std::string> printer = platform::SplitCommandLine(e.host().GetEnv("VIDZOER_PRINTER"));
    if (!printer.empty() && !name.empty()) e.host().Launch(printer, name);
  }

 private:
  int slot_ = -1;
  QELFile* file_ = nullptr;
};

void PrintBegin(Engine& e) {
  std::string name;
  const TokenKind kind = e.NextToken(name, false);
  if (kind == TokenKind::kNone || name.empty()) name = kDefaultPrinter;
  e.State<PrintState>().Begin(e, name);
}

void PrintPageAdv(Engine& e) {
  e.TrimParameters();
  if (QELFile* f = e.State<PrintState>().File(e)) QELFilePut8(f, 12);
}

void PrintEnd(Engine& e) {
  e.TrimParameters();
  e.State<PrintState>().End(e);
}

}  // namespace

bool WriteToPrintFile(Engine& engine, const std::string& line) {
  QELFile* f = engine.State<PrintState>().File(engine);
  if (f == nullptr) return false;
  const std::string text = line + "\r\n";
  QELFilePut(f, text.data(), static_cast<uint32_t>(text.size()));
  return true;
}

void RegisterSystemCommands(CommandTable& table) {
  table.Set("DELAY", Delay);
  table.Set("DELAYUNTIL", DelayUntil);
  table.Set("ENVGET", EnvGet);
  table.Set("ENVSET", EnvSet);
  table.Set("EXECUTE", Execute);
  table.Set("MCISENDSTRING", MciSendString);
  table.Set("PRINTBEGIN", PrintBegin);
  table.Set("PRINTEND", PrintEnd);
  table.Set("PRINTPAGEADV", PrintPageAdv);
  table.Set("SOUND", Sound);
  table.Set("SYSTEMCOLORS", SystemColors);
  table.Set("SYSTEMCOMMANDLINE", SystemCommandLine);
  table.Set("SYSTEMCURRENTEXE", SystemCurrentExe);
  table.Set("SYSTEMCURRENTSCRIPT", SystemCurrentScript);
  table.Set("SYSTEMDATETIME", SystemDateTime);
  table.Set("SYSTEMDISPLAYRESOLUTION", SystemDisplayResolution);
  table.Set("SYSTEMMEMORY", SystemMemory);
  table.Set("SYSTEMOSMAJOR", SystemOsMajor);
  table.Set("SYSTEMOSMINOR", SystemOsMinor);
  table.Set("SYSTEMPLATFORM", SystemPlatform);
  table.Set("SYSTEMTIMER", SystemTimer);
  table.Set("SYSTEMUSEDIRECTSOUND", SystemUseDirectSound);
  table.Set("SYSTEMUSEMMX", SystemUseMmx);
}

}  // namespace vidzoscript
