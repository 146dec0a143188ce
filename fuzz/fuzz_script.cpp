// Arbitrary script text, loaded and run by the script engine. The input is
// the script "main.ss" in a scratch folder; every file a script names
// (CALL, DEBUGFILE, ANIMATIONOPEN, ...) is taken by its last name component
// inside that folder, so nothing outside it is read or written. Message
// boxes are dropped; the drawing commands draw on SDL's dummy display; the
// run ends after a fixed number of commands and every wait (keys, frames,
// fades) after a fixed number of turns, so that endless loops end too.
// No program is started (EXECUTE, the printer command), the environment is
// a table of the host's own, and DIRCHANGE only checks its folder, so a
// script changes nothing of the process it runs in.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "display/player_window.h"
#include "script/engine.h"
#include "script/window/window_host.h"

namespace {

constexpr int kMaxSteps = 20000;
constexpr int kMaxWaits = 200;
constexpr size_t kMaxInput = 1 << 16;
constexpr uint32_t kMaxWindowSide = 4096;

class FuzzHost : public vidzoscript::WindowScriptHost {
 public:
  explicit FuzzHost(std::string folder) : folder_(std::move(folder)) {}
  void Message(const std::string&, const std::string&, platform::MessageKind) override {}
  void Sleep() override {}
  void Idle(uint32_t) override { ++waits_; }
  bool KeepWaiting() override { return waits_ < kMaxWaits; }
  // A key now and then: Enter, then ESCAPE.
  int32_t TakeKey(bool& close) override {
    close = false;
    const int32_t key = vidzoscript::WindowScriptHost::TakeKey(close);
    if (key >= 0) return key;
    return (++keys_ % 3) == 0 ? (keys_ % 2 ? 13 : 27) : -1;
  }
  bool MousePresent() override { return true; }
  std::string FileName(const std::string& name, bool) override {
    const size_t cut = name.find_last_of("/\\");
    const std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
    if (base.empty() || base == "." || base == ".." || base.size() > 64) return {};
    return folder_ + "/" + base;
  }
  bool Step() override { return ++steps_ <= kMaxSteps; }
  bool Launch(const std::vector<std::string>&, const std::string&) override { return false; }
  std::string GetEnv(const std::string& name) override {
    const auto found = environment_.find(name);
    return found == environment_.end() ? std::string() : found->second;
  }
  void SetEnv(const std::string& name, const std::string& value) override {
    if (environment_.size() < 64 || environment_.count(name) != 0) environment_[name] = value;
  }
  bool ChangeDirectory(const std::string& path) override { return !path.empty(); }
  // No window beyond kMaxWindowSide on a side opens here, as on a machine
  // short of memory: SDL alone takes over 512 MiB for the largest one.
  VidzoDisplayBuffer* OpenWindow(const vidzoscript::WindowRequest& request) override {
    if (request.width <= kMaxWindowSide && request.height <= kMaxWindowSide)
      return vidzoscript::WindowScriptHost::OpenWindow(request);
    ResetDisplay();
    return nullptr;
  }

 private:
  std::string folder_;
  std::map<std::string, std::string> environment_;
  int steps_ = 0;
  int waits_ = 0;
  int keys_ = 0;
};

const std::string& Scratch() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_script.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) __builtin_trap();
    // The scratch folder goes when the process ends (a run or a replay); its
    // name is kept apart from the string, which may be gone by then.
    static char to_remove[4096];
    if (pattern.size() >= sizeof to_remove) __builtin_trap();
    pattern.copy(to_remove, pattern.size());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(to_remove, ec);
    });
    return pattern;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  static const bool video = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return VidzoVideoStart() != 0;
  }();
  (void)video;
  const std::string& folder = Scratch();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    std::filesystem::remove_all(entry, ec);
  std::ofstream(folder + "/main.ss", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FuzzHost host(folder);
  {
    vidzoscript::Engine engine(host);
    engine.random().Seed(1);
    bool failed = false;
    if (!engine.RunTop("main.ss", &failed)) __builtin_trap();  // the script is there
    if (engine.variables().Used() > vidzoscript::VariableStore::kCapacity) __builtin_trap();
    engine.CloseAll();
  }
  return 0;
}
