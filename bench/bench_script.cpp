// Script commands per second: a tight counting loop (COMPUTE, IF and GOTO on
// a counter) run by the script engine, against the same loop written for
// bash in the same run (the baseline). Each pass of the loop is three
// commands in both; the ratio is bash's time over the engine's time (wall
// clock), and the engine's commands per second are its items rate.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/ratio.h"
#include "script/engine.h"

namespace {

constexpr int kPasses = 200000;

std::string Folder() {
  static const std::string folder = [] {
    const auto path = std::filesystem::temp_directory_path() / "bench_script";
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

void BM_CountingLoopBash(benchmark::State& state) {
  const std::string script = Folder() + "/count.sh";
  std::ofstream(script) << "i=0\nwhile true; do\n  i=$((i + 1))\n  if [ $i -lt " << kPasses
                        << " ]; then continue; fi\n  break\ndone\n";
  const std::string command = "bash " + script;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("bash did not run the loop");
      return;
    }
  }
  // No items rate here: bash's time is spent in a child process, which the
  // CPU time that rates are taken from does not see.
}

class QuietHost : public vidzoscript::ScriptHost {
 public:
  void Message(const std::string& text, const std::string&, platform::MessageKind) override { error = text; }
  std::string error;
};

void BM_CountingLoopScript(benchmark::State& state) {
  const std::string script = Folder() + "/count.ss";
  std::ofstream(script) << "VARSET I 0\n:LOOP\nCOMPUTE I = I + 1\nIF I < " << kPasses << " GOTO LOOP\n";
  QuietHost host;
  for (auto _ : state) {
    vidzoscript::Engine engine(host);
    bool failed = false;
    if (!engine.RunTop(script, &failed) || failed || engine.GetVariable("I") != std::to_string(kPasses)) {
      state.SkipWithError(("the script did not run the loop: " + host.error).c_str());
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPasses * 3);
}

}  // namespace

BENCHMARK(BM_CountingLoopBash)->Name("CountingLoop/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountingLoopScript)->Name("CountingLoop/vidzoscw")->Unit(benchmark::kMillisecond);

VIDZOER_BENCH_MAIN()
