// Shared main for the benchmark programs. Benchmarks are registered under
// names "Group/variant"; the variant "baseline" of a group is the reference
// measured in the same run (a memcpy of the same bytes, a plain loop, ...).
// After the normal report every other variant is printed as its speed
// relative to that baseline: baseline time / variant time, so 0.25 means a
// quarter of the baseline's throughput.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vidzoer_bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred && r.iterations > 0)
        times_.emplace_back(r.benchmark_name(), r.GetAdjustedRealTime());
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::map<std::string, double> baseline;
    for (const auto& [name, t] : times_) {
      auto slash = name.find('/');
      if (slash != std::string::npos && Variant(name, slash) == "baseline")
        baseline[name.substr(0, slash)] = t;
    }
    std::printf("\nRatios against the baseline of the same run (baseline time / time):\n");
    for (const auto& [name, t] : times_) {
      auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      auto group = name.substr(0, slash);
      auto it = baseline.find(group);
      if (it == baseline.end() || Variant(name, slash) == "baseline") continue;
      std::printf("  %-48s %10.4g\n", name.c_str(), t > 0 ? it->second / t : 0.0);
    }
  }

 private:
  // The part after the group: "Group/variant", or "Group/variant/real_time"
  // and the like with the suffixes Google Benchmark adds.
  static std::string Variant(const std::string& name, size_t slash) {
    auto end = name.find('/', slash + 1);
    return name.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
  }

  std::vector<std::pair<std::string, double>> times_;
};

inline int RunWithRatios(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

}  // namespace vidzoer_bench

#define VIDZOER_BENCH_MAIN() \
  int main(int argc, char** argv) { return vidzoer_bench::RunWithRatios(argc, argv); }
