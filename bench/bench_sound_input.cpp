// The sound source's conversions against a memcpy of the same source bytes:
// 44.1 kHz 16-bit stereo to 22.05 kHz 8-bit mono (averaging) and 11.025 kHz
// to 44.1 kHz (interpolating), ten seconds of noise each. And vorured
// against sox converting a one-minute wave file the same way, whole
// processes timed from start to exit.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "qelutil/qelutil.h"

namespace {

namespace fs = std::filesystem;
const std::string kBin = VIDZOER_BIN_DIR;

// A folder of its own for the run's files, removed at exit.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string tmpl = (fs::temp_directory_path() / "bench_sound_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Folder(), ec);
    });
    return tmpl;
  }();
  return folder;
}

// A wave file of `seconds` of noise; its name.
std::string Wave(uint32_t rate, uint16_t bits, uint16_t channels, uint32_t seconds) {
  const std::string name = Folder() + "/in" + std::to_string(rate) + "_" + std::to_string(bits) + "_" +
                           std::to_string(channels) + "_" + std::to_string(seconds) + ".wav";
  if (fs::exists(name)) return name;
  const uint32_t align = channels * bits / 8u;
  const uint32_t bytes = rate * align * seconds;
  std::vector<uint8_t> w(44 + bytes);
  auto put32 = [&w](size_t at, uint32_t v) { std::memcpy(&w[at], &v, 4); };
  auto put16 = [&w](size_t at, uint16_t v) { std::memcpy(&w[at], &v, 2); };
  std::memcpy(&w[0], "RIFF", 4);
  put32(4, 36 + bytes);
  std::memcpy(&w[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, channels);
  put32(24, rate);
  put32(28, rate * align);
  put16(32, static_cast<uint16_t>(align));
  put16(34, bits);
  std::memcpy(&w[36], "data", 4);
  put32(40, bytes);
  std::mt19937 random(rate);
  for (uint32_t i = 0; i < bytes; ++i) w[44 + i] = static_cast<uint8_t>(random() >> 9);
  FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr || std::fwrite(w.data(), 1, w.size(), f) != w.size()) std::abort();
  std::fclose(f);
  return name;
}

void Memcpy(benchmark::State& state, uint32_t bytes) {
  std::vector<uint8_t> src(bytes, 1), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}

void Convert(benchmark::State& state, const std::string& name, int32_t rate, int32_t bits, int32_t channels) {
  std::vector<uint8_t> out(1 << 16);
  for (auto _ : state) {
    SFile* s = SFileOpen(name.c_str(), rate, bits, channels, 0, 0, 0, 0, 0, nullptr);
    if (s == nullptr) {
      state.SkipWithError("cannot open the sound");
      return;
    }
    uint64_t total = 0;
    while (uint32_t got = SFileGet(s, out.data(), static_cast<uint32_t>(out.size()))) total += got;
    benchmark::DoNotOptimize(total);
    SFileClose(s);
  }
}

void Down_baseline(benchmark::State& state) {
  Memcpy(state, 44100 * 4 * 10);
}
void Down_sfile(benchmark::State& state) {
  Convert(state, Wave(44100, 16, 2, 10), 22050, 8, 1);
}
void Up_baseline(benchmark::State& state) {
  Memcpy(state, 11025 * 2 * 10);
}
void Up_sfile(benchmark::State& state) {
  Convert(state, Wave(11025, 16, 1, 10), 44100, 0, 0);
}

void Run(benchmark::State& state, const std::string& command) {
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError(("failed: " + command).c_str());
      return;
    }
}

void Minute_baseline(benchmark::State& state) {
  const std::string in = Wave(44100, 16, 2, 60);
  Run(state, "sox '" + in + "' -r 22050 -b 8 -c 1 '" + Folder() + "/sox.wav' > /dev/null 2>&1");
}
void Minute_vorured(benchmark::State& state) {
  const std::string in = Wave(44100, 16, 2, 60);
  Run(state, "'" + kBin + "/vorured' '" + in + "' '" + Folder() + "/vorured.wav' /R22050 /B8 /C1 /O > /dev/null 2>&1");
}

}  // namespace

BENCHMARK(Down_baseline)->Name("SFileDown/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Down_sfile)->Name("SFileDown/sfile_44k16s_to_22k8m")->Unit(benchmark::kMillisecond);
BENCHMARK(Up_baseline)->Name("SFileUp/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Up_sfile)->Name("SFileUp/sfile_11k_to_44k")->Unit(benchmark::kMillisecond);
BENCHMARK(Minute_baseline)->Name("OneMinute/baseline")->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Minute_vorured)->Name("OneMinute/vorured")->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  return vidzoer_bench::RunWithRatios(argc, argv);
}
