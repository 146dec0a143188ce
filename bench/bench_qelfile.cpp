// QELFile throughput over a 32 MiB file: bit fields of mixed widths and single
// bytes, read and written, each against a plain loop that moves the same
// bytes with read()/write() and memcpy through a 64 KiB buffer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "qelutil/qelutil.h"

namespace {

constexpr uint32_t kFileBytes = 32u << 20;
constexpr uint32_t kChunk = 65536;

// The test file and a scratch output file in a private temporary folder.
class Files {
 public:
  Files() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vidzoer_bench_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir_ = tmpl;
    input_ = dir_ + "/input.bin";
    output_ = dir_ + "/output.bin";
    std::vector<uint8_t> data(kFileBytes);
    std::mt19937 rng(5);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    int fd = ::open(input_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::abort();
    ::close(fd);
    for (int i = 0; i < 4096; ++i) widths_.push_back(1 + rng() % 32);
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& input() const { return input_; }
  const std::string& output() const { return output_; }
  const std::vector<uint32_t>& widths() const { return widths_; }

 private:
  std::string dir_, input_, output_;
  std::vector<uint32_t> widths_;
};

Files& TheFiles() {
  static Files files;
  return files;
}

// Baselines: the whole file read with a loop of read() calls and copied out
// with memcpy; or the same number of bytes gathered with memcpy into a buffer
// and written with write().
void ReadBaseline(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  std::vector<uint8_t> chunk(kChunk), sink(kChunk);
  for (auto _ : state) {
    int fd = ::open(TheFiles().input().c_str(), O_RDONLY);
    ssize_t n;
    while ((n = ::read(fd, chunk.data(), chunk.size())) > 0) std::memcpy(sink.data(), chunk.data(), n);
    ::close(fd);
    benchmark::DoNotOptimize(sink.data());
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

void WriteBaseline(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  std::vector<uint8_t> source(kChunk, 0x5A), chunk(kChunk);
  for (auto _ : state) {
    int fd = ::open(TheFiles().output().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (uint32_t done = 0; done < kFileBytes; done += kChunk) {
      std::memcpy(chunk.data(), source.data(), kChunk);
      if (::write(fd, chunk.data(), kChunk) != static_cast<ssize_t>(kChunk)) state.SkipWithError("write");
    }
    ::close(fd);
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

void GetBitsMixed(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  const auto& widths = TheFiles().widths();
  for (auto _ : state) {
    QELFile* f = QELFileOpen(kChunk, TheFiles().input().c_str(), QELFILE_READ);
    uint32_t sum = 0;
    for (uint64_t bits = 0, i = 0; bits + 32 <= uint64_t{kFileBytes} * 8; ++i) {
      uint32_t n = widths[i & 4095];
      sum += QELFileGetBits(f, n);
      bits += n;
    }
    QELFileClose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

void PutBitsMixed(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  const auto& widths = TheFiles().widths();
  for (auto _ : state) {
    QELFile* f = QELFileCreate(kChunk, TheFiles().output().c_str());
    for (uint64_t bits = 0, i = 0; bits < uint64_t{kFileBytes} * 8; ++i) {
      uint32_t n = widths[i & 4095];
      QELFilePutBits(f, static_cast<uint32_t>(i * 0x9E3779B9u), n);
      bits += n;
    }
    QELFileClose(f);
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

void Get8Bytes(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  for (auto _ : state) {
    QELFile* f = QELFileOpen(kChunk, TheFiles().input().c_str(), QELFILE_READ);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < kFileBytes; ++i) sum += QELFileGet8(f);
    QELFileClose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

void Put8Bytes(benchmark::State& state) {
  TheFiles();  // made before the timing starts
  for (auto _ : state) {
    QELFile* f = QELFileCreate(kChunk, TheFiles().output().c_str());
    for (uint32_t i = 0; i < kFileBytes; ++i) QELFilePut8(f, i);
    QELFileClose(f);
  }
  state.SetBytesProcessed(int64_t{state.iterations()} * kFileBytes);
}

BENCHMARK(ReadBaseline)->Name("GetBits/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(GetBitsMixed)->Name("GetBits/mixed_1_to_32")->Unit(benchmark::kMillisecond);
BENCHMARK(WriteBaseline)->Name("PutBits/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(PutBitsMixed)->Name("PutBits/mixed_1_to_32")->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBaseline)->Name("Get8/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Get8Bytes)->Name("Get8/bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(WriteBaseline)->Name("Put8/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(Put8Bytes)->Name("Put8/bytes")->Unit(benchmark::kMillisecond);

}  // namespace

VIDZOER_BENCH_MAIN()
