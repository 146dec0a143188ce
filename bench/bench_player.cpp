// The player's cost: CPU seconds per second of playback of a 640x480, 30
// frames-per-second file with sound, played by vidzoplw headless (SDL's dummy
// video and audio drivers) in a child process, against the same file's
// frames decoded as fast as possible by the playback library alone (open,
// decode every frame into a buffer, close) in this process. The player is
// timed in CPU seconds (its own and its children's, from getrusage), the
// decode in real time, which for this single-threaded loop is its CPU time
// on an otherwise idle machine (its Time and CPU columns agree then), so the
// ratio baseline / player is the share of the player's CPU time that decoding
// the pictures accounts for. On a busy machine the decode's real time grows
// and the ratio with it; the counters are CPU times throughout: the CPU
// seconds per second of playback of each, the wall-clock time of a play, and
// the share of its CPU time the player spends beyond decoding (sound,
// display, pacing, start-up).
// The file is made by vdzsample and vdzenc before any timing starts: twenty
// seconds, so that start-up weighs little. The player's counters also give
// the frame rate it obtained and its sound skips. When the environment names
// another player program in VIDZOER_BENCH_OTHER_PLAYER (an earlier build, say),
// that one is measured in the same run as Player/other.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "bench/ratio.h"
#include "tools/lib/vdz_frames.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kFrameRate = -3333;  // 30.003 frames per second
constexpr uint32_t kFrames = 600;
constexpr double kPlaySeconds = kFrames * 3333 / 100000.0;

const std::string kBin = VIDZOER_BIN_DIR;

// The sample file, made once in a temporary folder that goes away at exit.
struct Sample {
  std::string dir;
  std::string vdz;
  std::string error;

  Sample() {
    char pattern[] = "/tmp/bench_player_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      error = "cannot make a temporary folder";
      return;
    }
    dir = pattern;
    vdz = dir + "/sample.vdz";
    for (const char* program : {"vdzsample", "vdzenc", "vidzoplw"}) {
      if (access((kBin + "/" + program).c_str(), X_OK) != 0) {
        error = kBin + "/" + program + " is not built";
        return;
      }
    }
    const std::string frames = dir + "/frames", rate = std::to_string(kFrameRate);
    const auto q = [](const std::string& text) { return "'" + text + "'"; };
    const std::string make = q(kBin + "/vdzsample") + " --width 640 --height 480 --frame-rate " + rate +
                             " --seconds " + std::to_string(kPlaySeconds) + " " + q(frames) +
                             " >/dev/null && " + q(kBin + "/vdzenc") + " --frame-rate " + rate + " --sound " +
                             q(frames + "/sound.wav") + " " + q(frames) + " " + q(vdz) + " 2>/dev/null";
    if (std::system(make.c_str()) != 0) error = "cannot make the sample file: " + make;
    std::error_code ec;
    fs::remove_all(frames, ec);
  }
  ~Sample() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

const Sample& TheSample() {
  static Sample sample;
  return sample;
}

double CpuSeconds(const rusage& r) {
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU seconds of the last decode of the whole file, for the player's share.
double g_decode_cpu = 0;

void BM_PlayerBaseline(benchmark::State& state) {
  const Sample& sample = TheSample();
  if (!sample.error.empty()) {
    state.SkipWithError(sample.error.c_str());
    return;
  }
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    uint64_t sum = 0;
    std::string error;
    const bool ok = vidzotools::DecodeVdzFrames(
        sample.vdz, false,
        [&sum](const vidzotools::DecodedFrame& f, std::string&) {
          sum += f.pixels[f.index % (f.width * f.height)];
          return true;
        },
        error);
    const double cpu = ProcessCpuSeconds() - start;
    if (!ok) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(sum);
    g_decode_cpu = cpu;
  }
  state.counters["cpu_per_playback_s"] = g_decode_cpu / kPlaySeconds;
}

struct Play {
  int exit_code = -1;
  double cpu = 0;
  double wall = 0;
  std::string summary;
};

// Runs vidzoplw /S on the sample with SDL's dummy drivers, its summary
// (standard error) kept in a file.
Play RunPlayer(const Sample& sample, const std::string& program) {
  Play play;
  const std::string summary = sample.dir + "/summary.txt";
  rusage before{}, after{};
  getrusage(RUSAGE_CHILDREN, &before);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen(summary.c_str(), "w", stderr)) _exit(127);
    execl(program.c_str(), "vidzoplw", "/S", sample.vdz.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return play;
  play.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  getrusage(RUSAGE_CHILDREN, &after);
  play.cpu = CpuSeconds(after) - CpuSeconds(before);
  play.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(summary);
  play.summary.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return play;
}

// The number after `label` in the summary, or -1.
double SummaryValue(const std::string& summary, const std::string& label) {
  std::smatch m;
  if (!std::regex_search(summary, m, std::regex(label + ": ([0-9]+(\\.[0-9]+)?)"))) return -1;
  return std::stod(m[1]);
}

void MeasurePlayer(benchmark::State& state, const std::string& program) {
  const Sample& sample = TheSample();
  if (!sample.error.empty()) {
    state.SkipWithError(sample.error.c_str());
    return;
  }
  Play play;
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    play = RunPlayer(sample, program);
    if (play.exit_code != 0) {
      state.SkipWithError(("vidzoplw failed: " + play.summary).c_str());
      return;
    }
    cpu += play.cpu;
    wall += play.wall;
    state.SetIterationTime(play.cpu);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_per_playback_s"] = cpu / n / kPlaySeconds;
  state.counters["wall_s"] = wall / n;
  state.counters["beyond_decoding"] = cpu > 0 ? 1 - g_decode_cpu / (cpu / n) : 0;
  state.counters["fps_obtained"] = SummaryValue(play.summary, "Frame rate obtained");
  state.counters["skipped"] = SummaryValue(play.summary, "Skipped frames");
  state.counters["sound_skips"] = SummaryValue(play.summary, "Sound skips");
}

void BM_PlayerVidzoplw(benchmark::State& state) {
  MeasurePlayer(state, kBin + "/vidzoplw");
}

void BM_PlayerOther(benchmark::State& state) {
  MeasurePlayer(state, std::getenv("VIDZOER_BENCH_OTHER_PLAYER"));
}



// The decode first: the player's share beyond decoding uses its figure.
BENCHMARK(BM_PlayerBaseline)->Name("Player/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerVidzoplw)
    ->Name("Player/vidzoplw")
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
// Another build of the player, after this one (the decode's figure is known
// by then).
[[maybe_unused]] const bool g_other = [] {
  if (std::getenv("VIDZOER_BENCH_OTHER_PLAYER") != nullptr)
    benchmark::RegisterBenchmark("Player/other", BM_PlayerOther)
        ->UseManualTime()
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace

VIDZOER_BENCH_MAIN()
