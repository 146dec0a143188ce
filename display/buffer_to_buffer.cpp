// Copies between display buffers. Rows run in the destination's memory
// order; the source steps forwards when both buffers store their rows the
// same way up and backwards when they differ, so the picture keeps its
// orientation. Everything is clipped to the buffers' rows and pitches.
#include <algorithm>
#include <vector>

#include "display/blit_internal.h"

namespace vidzo::blit {

namespace {

bool Overlap(const VidzoDisplayBuffer& a, const VidzoDisplayBuffer& b) {
  const auto start_a = reinterpret_cast<std::uintptr_t>(a.Pixels);
  const auto start_b = reinterpret_cast<std::uintptr_t>(b.Pixels);
  const std::uint64_t size_a = std::uint64_t{a.Pitch} * a.Height, size_b = std::uint64_t{b.Pitch} * b.Height;
  return start_a < start_b + size_b && start_b < start_a + size_a;
}

}  // namespace

void BufferCopyWith(const RowKernels& k, KeyOp op, VidzoDisplayBuffer* dest, std::uint32_t dest_x,
                    std::uint32_t dest_y, const VidzoDisplayBuffer* source, std::uint32_t source_x,
                    std::uint32_t source_y, std::uint32_t width, std::uint32_t height, std::uint32_t key,
                    const VidzoDisplayBuffer* extra) {
  if (dest == nullptr || source == nullptr || dest->Pixels == nullptr || source->Pixels == nullptr) return;
  const bool keyed_by_buffer = op == KeyOp::kMask || op == KeyOp::kMerge;
  if (keyed_by_buffer && (extra == nullptr || extra->Pixels == nullptr ||
                          extra->Orientation != source->Orientation || extra->Pitch != source->Pitch))
    return;
  if (width == 0 || height == 0 || dest_x >= dest->Pitch || source_x >= source->Pitch) return;
  const std::size_t n = std::min<std::uint64_t>({width, dest->Pitch - dest_x, source->Pitch - source_x});

  const bool dest_up = dest->Orientation != 0, source_up = source->Orientation != 0;
  const std::int64_t first_dest = (dest_up ? dest->Height - dest_y - height : dest_y) & 0xFFFFu;
  std::int64_t first_source, step;
  if (dest_up == source_up) {
    first_source = (source_up ? source->Height - height - source_y : source_y) & 0xFFFFu;
    step = 1;
  } else {
    first_source = (source_up ? source->Height - source_y - 1 : source_y + height - 1) & 0xFFFFu;
    step = -1;
  }
  const std::int64_t source_rows = keyed_by_buffer ? std::min(source->Height, extra->Height) : source->Height;
  // A copy within one buffer reads each source row whole before writing its
  // destination row, so every loop gives the same picture.
  const bool overlapping = Overlap(*dest, *source) || (keyed_by_buffer && Overlap(*dest, *extra));
  std::vector<std::uint8_t> rows(overlapping ? 2 * n : 0);
  for (std::int64_t i = 0; i < height && first_dest + i < dest->Height; ++i) {
    const std::int64_t row = first_source + step * i;
    if (row < 0 || row >= source_rows) continue;
    const std::size_t from = static_cast<std::size_t>(row) * source->Pitch + source_x;
    const std::uint8_t* s = source->Pixels + from;
    const std::uint8_t* e = keyed_by_buffer ? extra->Pixels + from : nullptr;
    if (overlapping) {
      std::memcpy(rows.data(), s, n);
      if (e != nullptr) std::memcpy(rows.data() + n, e, n);
      s = rows.data();
      e = e != nullptr ? rows.data() + n : nullptr;
    }
    KeyRow(k, op, dest->Pixels + static_cast<std::size_t>(first_dest + i) * dest->Pitch + dest_x, s, e, n,
           static_cast<std::uint8_t>(key));
  }
}

}  // namespace vidzo::blit

extern "C" {

using vidzo::blit::ActiveKernels;
using vidzo::blit::BufferCopyWith;
using vidzo::blit::KeyOp;

void VidzoBufferToBuffer(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                         const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                         uint32_t width, uint32_t height) {
  BufferCopyWith(ActiveKernels(), KeyOp::kCopy, dest, dest_x, dest_y, source, source_x, source_y, width,
                 height, 0, nullptr);
}

void VidzoBufferToBufferTrans(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                              const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                              uint32_t width, uint32_t height, uint32_t key) {
  BufferCopyWith(ActiveKernels(), KeyOp::kTrans, dest, dest_x, dest_y, source, source_x, source_y, width,
                 height, key, nullptr);
}

void VidzoBufferToBufferMask(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                             const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                             uint32_t width, uint32_t height, uint32_t key, const VidzoDisplayBuffer* mask) {
  BufferCopyWith(ActiveKernels(), KeyOp::kMask, dest, dest_x, dest_y, source, source_x, source_y, width,
                 height, key, mask);
}

void VidzoBufferToBufferMerge(VidzoDisplayBuffer* dest, uint32_t dest_x, uint32_t dest_y,
                              const VidzoDisplayBuffer* source, uint32_t source_x, uint32_t source_y,
                              uint32_t width, uint32_t height, uint32_t key,
                              const VidzoDisplayBuffer* source2) {
  BufferCopyWith(ActiveKernels(), KeyOp::kMerge, dest, dest_x, dest_y, source, source_x, source_y, width,
                 height, key, source2);
}

}  // extern "C"
