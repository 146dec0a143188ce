// Value fetches from a video tree, in values per second, for codes that the
// lookup table resolves (8 bits) and codes longer than it (15 bits), with both
// reader forms; the baseline copies the same compressed bytes.
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "bench/ratio.h"
#include "playback/trees.h"
#include "tests/trees/tree_writer.h"

namespace {

constexpr std::size_t kValues = 1 << 20;

struct Stream {
  std::vector<std::uint8_t> bytes;
  std::uint32_t sizes[4] = {12, 12, 12, 12};
  std::unique_ptr<vidzo::TreesAreaBuffer> trees;
};

// A stream of kValues random codes of a balanced tree over `leaves` values.
Stream MakeStream(std::uint32_t leaves) {
  using namespace vidzoer_test;
  std::vector<std::uint32_t> values(leaves);
  std::iota(values.begin(), values.end(), 3u);
  CodeTree tree;
  tree.Balanced(values);
  const CodeTree bytes = FullByteTree();
  const std::uint32_t escapes[3] = {0, 1, 2};
  Stream s;
  BitWriter block;
  WriteBigTree(block, tree, escapes, &bytes, &bytes);
  block.Put(0, 3);
  s.sizes[0] = SizeFieldFor(tree);
  s.trees = std::make_unique<vidzo::TreesAreaBuffer>(s.sizes);
  vidzo::UnpackTrees(block.bytes().data(), block.bytes().size(), *s.trees->Get(), s.sizes);

  auto codes = tree.LeafCodes();
  std::mt19937 rng(1);
  BitWriter w;
  for (std::size_t i = 0; i < kValues; ++i) PutCode(w, codes.at(values[rng() % leaves]));
  s.bytes = w.bytes();
  return s;
}

const Stream& ShortCodes() {
  static const Stream s = MakeStream(256);
  return s;
}
const Stream& LongCodes() {
  static const Stream s = MakeStream(32768);
  return s;
}

void Copy(benchmark::State& state, const Stream& s) {
  std::vector<std::uint8_t> out(s.bytes.size());
  for (auto _ : state) {
    std::memcpy(out.data(), s.bytes.data(), s.bytes.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
}

template <typename Reader>
void Fetch(benchmark::State& state, const Stream& s) {
  vidzo::TreesArea& trees = *s.trees->Get();
  for (auto _ : state) {
    Reader reader(s.bytes.data(), s.bytes.size());
    vidzo::ResetLasts(trees);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kValues; ++i) sum += vidzo::FetchValue(reader, trees, vidzo::kMonoMapTree);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
}

void BM_ShortBaseline(benchmark::State& state) {
  Copy(state, ShortCodes());
}
void BM_Short32(benchmark::State& state) {
  Fetch<vidzo::BitReader32>(state, ShortCodes());
}
void BM_Short64(benchmark::State& state) {
  Fetch<vidzo::BitReader64>(state, ShortCodes());
}
void BM_LongBaseline(benchmark::State& state) {
  Copy(state, LongCodes());
}
void BM_Long32(benchmark::State& state) {
  Fetch<vidzo::BitReader32>(state, LongCodes());
}
void BM_Long64(benchmark::State& state) {
  Fetch<vidzo::BitReader64>(state, LongCodes());
}

BENCHMARK(BM_ShortBaseline)->Name("FetchShortCodes/baseline");
BENCHMARK(BM_Short32)->Name("FetchShortCodes/reader32");
BENCHMARK(BM_Short64)->Name("FetchShortCodes/reader64");
BENCHMARK(BM_LongBaseline)->Name("FetchLongCodes/baseline");
BENCHMARK(BM_Long32)->Name("FetchLongCodes/reader32");
BENCHMARK(BM_Long64)->Name("FetchLongCodes/reader64");

}  // namespace

VIDZOER_BENCH_MAIN()
