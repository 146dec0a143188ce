// Tree building for a 16-bit alphabet, against sorting the same counts.
//
// HuffTree/baseline   copy and std::sort the 65536 random counts
// HuffTree/build      the ordered list and the merging for all 65536 symbols,
//                     plus the code assignment
// HuffTree/start_encode  HuffStartEncode of a 16-bit encoder (65533 symbols
//                     present, three values left for the escapes): escapes,
//                     byte trees, tree, codes, and the tree written to a file
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "qelutil/huff_tree.h"
#include "qelutil/qelutil.h"

namespace {

constexpr uint32_t kSymbols = 65536;

std::vector<uint32_t> RandomCounts(uint32_t present) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<uint32_t> count(1, 100000);
  std::vector<uint32_t> counts(kSymbols);
  for (uint32_t s = 0; s < present; ++s) counts[s] = count(rng);
  std::shuffle(counts.begin(), counts.end(), rng);
  return counts;
}

void Baseline(benchmark::State& state) {
  const std::vector<uint32_t> counts = RandomCounts(kSymbols);
  std::vector<uint32_t> work(kSymbols);
  for (auto _ : state) {
    std::copy(counts.begin(), counts.end(), work.begin());
    std::sort(work.begin(), work.end(), std::greater<>());
    benchmark::DoNotOptimize(work.data());
  }
}

void Build(benchmark::State& state) {
  const std::vector<uint32_t> counts = RandomCounts(kSymbols);
  std::vector<uint32_t> codes(kSymbols);
  std::vector<uint8_t> lengths(kSymbols);
  for (auto _ : state) {
    huff::WorkScope work(kSymbols);
    if (!work.ok()) {
      state.SkipWithError("out of memory");
      break;
    }
    const uint32_t root = huff::BuildTree(counts.data(), kSymbols, kSymbols);
    if (!huff::AssignCodes(root, codes.data(), lengths.data())) {
      state.SkipWithError("tree too deep");
      break;
    }
    benchmark::DoNotOptimize(codes.data());
  }
}

void StartEncode(benchmark::State& state) {
  const std::vector<uint32_t> counts = RandomCounts(kSymbols - 3);
  const std::string name = "/tmp/bench_huff_" + std::to_string(::getpid()) + ".bin";
  QELFile* f = QELFileCreate(65536, name.c_str());
  Huff* h = HuffOpen(0);
  if (f == nullptr || h == nullptr) {
    state.SkipWithError("cannot open the encoder or its file");
  } else {
    HuffSetOutput(h, f);
    for (auto _ : state) {
      HuffInitStats(h);
      std::memcpy(h->codes, counts.data(), kSymbols * sizeof(uint32_t));
      h->has_stats = 1;
      QELFileSetPos(f, 0);
      if (HuffStartEncode(h) < 0) {
        state.SkipWithError("tree refused");
        break;
      }
    }
  }
  HuffClose(h);
  if (f != nullptr) QELFileClose(f);
  QELFileErase(name.c_str());
}

BENCHMARK(Baseline)->Name("HuffTree/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Build)->Name("HuffTree/build")->Unit(benchmark::kMillisecond);
BENCHMARK(StartEncode)->Name("HuffTree/start_encode")->Unit(benchmark::kMillisecond);

}  // namespace

VIDZOER_BENCH_MAIN()
