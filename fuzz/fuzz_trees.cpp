// Arbitrary bytes as four tree-size fields, a packed trees block and a bit
// stream: unpacks the trees, fetches values from each of them with both reader
// forms, and reads and uses a byte tree.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "playback/trees.h"

namespace {

template <typename Reader>
void FetchMany(const std::uint8_t* data, std::size_t size, vidzo::TreesArea& area, unsigned count) {
  Reader reader(data, size);
  std::uint32_t sum = 0;
  for (unsigned i = 0; i < count; ++i) sum += vidzo::FetchValue(reader, area, (i * 7 + sum) & 3);
  if (sum == 0xFFFFFFFFu) __builtin_trap();  // keeps the fetches
}

template <typename Reader>
void ByteTrees(const std::uint8_t* data, std::size_t size) {
  Reader reader(data, size);
  vidzo::ByteTree tree;
  vidzo::ReadByteTree(reader, tree);
  unsigned sum = 0;
  for (int i = 0; i < 64; ++i) sum += vidzo::DecodeByte(reader, tree);
  if (sum > 64 * 255) __builtin_trap();
}

// An exactly sized copy, so that any read past the end is caught.
std::unique_ptr<std::uint8_t[]> Copy(const std::uint8_t* data, std::size_t size) {
  auto copy = std::make_unique<std::uint8_t[]>(size);
  if (size) std::memcpy(copy.get(), data, size);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 17) return 0;
  std::uint32_t sizes[4];
  std::memcpy(sizes, data, sizeof sizes);
  const unsigned split = data[16];
  data += 17;
  size -= 17;
  const std::size_t packed_size = size * split / 255;
  auto packed = Copy(data, packed_size);
  auto stream = Copy(data + packed_size, size - packed_size);

  vidzo::TreesAreaBuffer buffer(sizes);
  if (!buffer.Get()) return 0;
  vidzo::UnpackTrees(packed.get(), packed_size, *buffer.Get(), sizes);
  FetchMany<vidzo::BitReader32>(stream.get(), size - packed_size, *buffer.Get(), 400);
  vidzo::ResetLasts(*buffer.Get());
  FetchMany<vidzo::BitReader64>(stream.get(), size - packed_size, *buffer.Get(), 400);
  ByteTrees<vidzo::BitReader32>(packed.get(), packed_size);
  ByteTrees<vidzo::BitReader64>(stream.get(), size - packed_size);
  return 0;
}
