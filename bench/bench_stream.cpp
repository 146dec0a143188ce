// Streaming a large .vdz file frame by frame through the read-ahead ring,
// against plain sequential read calls of the same frame records. The counter
// "peak_over_largest" is the handle's memory peak (MemoryPeak) as a multiple
// of the file's largest frame.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "playback/vidzo.h"
#include "tools/lib/vdz_writer.h"

namespace {

constexpr uint32_t kFrames = 2400;  // 96 s at 25 frames per second

struct BenchFile {
  std::string name;
  std::vector<uint32_t> sizes;
  uint32_t first_frame = 0;
  uint64_t total = 0;

  BenchFile() {
    char folder[] = "/tmp/vidzo-bench-XXXXXX";
    name = std::string(::mkdtemp(folder)) + "/stream.vdz";
    vidzotools::VdzContent c;
    c.width = 320;
    c.height = 200;
    c.frame_rate = 40;
    std::mt19937 rng(3);
    for (uint32_t i = 0; i < kFrames; ++i) {
      vidzotools::VdzFrame f;
      // Mostly small changes, every 50th frame a large one.
      f.video.resize(i % 50 == 0 ? 48000 + rng() % 16000 : 1000 + rng() % 14000);
      for (auto& b : f.video) b = static_cast<uint8_t>(rng());
      sizes.push_back(static_cast<uint32_t>(f.video.size()));
      total += f.video.size();
      c.frames.push_back(std::move(f));
    }
    std::string error;
    if (!vidzotools::WriteVdzFile(name, c, error)) std::fprintf(stderr, "bench_stream: %s\n", error.c_str());
    first_frame = 104 + 5 * kFrames + 1;
  }
  ~BenchFile() {
    std::remove(name.c_str());
    std::remove(name.substr(0, name.rfind('/')).c_str());
  }
};

const BenchFile& File() {
  static BenchFile file;
  return file;
}

void StreamBaseline(benchmark::State& state) {
  const BenchFile& f = File();
  std::vector<uint8_t> buffer(64 * 1024);
  for (auto _ : state) {
    int fd = ::open(f.name.c_str(), O_RDONLY);
    ::lseek(fd, f.first_frame, SEEK_SET);
    for (uint32_t size : f.sizes) {
      if (::read(fd, buffer.data(), size) != static_cast<ssize_t>(size)) state.SkipWithError("short read");
      benchmark::DoNotOptimize(buffer.data());
    }
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.total));
}

void StreamRing(benchmark::State& state) {
  const BenchFile& f = File();
  uint32_t peak = 0, largest = 1;
  for (auto _ : state) {
    VidzoHandle* h = VidzoOpen(f.name.c_str(), 0, 0xFFFFFFFFu);
    if (h == nullptr || h->RingBase == nullptr) {
      state.SkipWithError("not streamed");
      break;
    }
    for (uint32_t i = 1; i < kFrames; ++i) {
      h->CurrentFrame = i;
      VidzoLoadFrame(h);
      VidzoPrepareFrame(h);
      if (i % 2 == 0) VidzoReadAhead(h);  // the time a player waits for the frame's due time
      benchmark::DoNotOptimize(h->VideoData);
    }
    peak = h->MemoryPeak;
    largest = h->LargestFrame;
    VidzoClose(h);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.total));
  state.counters["peak_over_largest"] = static_cast<double>(peak) / largest;
  state.counters["peak_bytes"] = peak;
  state.counters["largest_frame"] = largest;
}

}  // namespace

BENCHMARK(StreamBaseline)->Name("Stream/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(StreamRing)->Name("Stream/ring")->Unit(benchmark::kMillisecond);

VIDZOER_BENCH_MAIN()
