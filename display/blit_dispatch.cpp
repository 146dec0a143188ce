// The one place that picks the row loops: the best vector set of the
// processor, examined once, used while the shared MMX decision allows it.
#include "display/blit_internal.h"
#include "playback/bit_reader.h"

namespace vidzo::blit {

const RowKernels& VectorKernels() {
  static const RowKernels* const best = [] {
    if (const RowKernels* k = Avx2Kernels()) return k;
    if (const RowKernels* k = Sse2Kernels()) return k;
    return &PlainKernels();
  }();
  return *best;
}

const RowKernels& ActiveKernels() {
  return vidzo::WideBitReader() ? VectorKernels() : PlainKernels();
}

}  // namespace vidzo::blit
