// Inside the blitter: the row kernels (a plain set that is the reference and
// vector sets beside it, all writing identical output), the rectangle loops
// that drive them, and the table builders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "display/blit.h"

namespace vidzo::blit {

// One row's worth of work over n source pixels.
struct RowKernels {
  const char* name;
  // Each source byte twice into row0 and, unless row1 is null, into row1.
  void (*double8)(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n);
  // table[source byte] as two 16-bit pixels into row0 and, unless null, row1.
  void (*double16)(std::uint8_t* row0, std::uint8_t* row1, const std::uint8_t* src, std::size_t n,
                   const std::uint16_t* table);
  // dest[i] = src[i] unless src[i] is the key.
  void (*trans)(std::uint8_t* dest, const std::uint8_t* src, std::size_t n, std::uint8_t key);
  // dest[i] = src[i] where mask[i] is not the key.
  void (*mask)(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* mask, std::size_t n,
               std::uint8_t key);
  // dest[i] = src[i], or src2[i] where src[i] is the key.
  void (*merge)(std::uint8_t* dest, const std::uint8_t* src, const std::uint8_t* src2, std::size_t n,
                std::uint8_t key);
};

// The plain loops.
const RowKernels& PlainKernels();
// The SSE2 and AVX2 loops; null when the build or the processor lacks them.
const RowKernels* Sse2Kernels();
const RowKernels* Avx2Kernels();
// The best vector set of this processor (the plain one when there is none).
const RowKernels& VectorKernels();
// The set the operations use now: the vector set when the MMX decision says
// so, else the plain one.
const RowKernels& ActiveKernels();

enum class KeyOp { kCopy, kTrans, kMask, kMerge };

inline void KeyRow(const RowKernels& k, KeyOp op, std::uint8_t* dest, const std::uint8_t* src,
                   const std::uint8_t* extra, std::size_t n, std::uint8_t key) {
  switch (op) {
    case KeyOp::kCopy:
      std::memcpy(dest, src, n);
      break;
    case KeyOp::kTrans:
      k.trans(dest, src, n, key);
      break;
    case KeyOp::kMask:
      k.mask(dest, src, extra, n, key);
      break;
    case KeyOp::kMerge:
      k.merge(dest, src, extra, n, key);
      break;
  }
}

// A blit's rectangle as the operations receive it.
struct BlitRect {
  std::uint8_t* dest;
  std::uint32_t dest_pitch, dest_x, dest_y;
  const std::uint8_t* source;
  std::uint32_t source_pitch, source_x, source_y;
  std::uint32_t width, height;
};

// VidzoBlit with the given kernels.
void BlitWith(const RowKernels& k, const VidzoBlitter* blitter, const BlitRect& r);
// The key-colour copies with the given kernels (mode 0 only; extra is the
// mask or second source for kMask and kMerge).
void KeyBlitWith(const RowKernels& k, const VidzoBlitter* blitter, KeyOp op, const BlitRect& r,
                 std::uint32_t key, const std::uint8_t* extra);
// The buffer-to-buffer copies with the given kernels.
void BufferCopyWith(const RowKernels& k, KeyOp op, VidzoDisplayBuffer* dest, std::uint32_t dest_x,
                    std::uint32_t dest_y, const VidzoDisplayBuffer* source, std::uint32_t source_x,
                    std::uint32_t source_y, std::uint32_t width, std::uint32_t height, std::uint32_t key,
                    const VidzoDisplayBuffer* extra);

// The mode of a set of flags: 6 for 16-bit output, else 0; plus 3 for
// smoothing, else 2 for interlaced, else 1 for 2x.
std::uint32_t ModeFromFlags(std::uint32_t flags);

// Brings Colour16 and SmoothTable up to date for the record's mode, palette
// and format; a table is built only when one of those changed.
void RefreshTables(VidzoBlitter* blitter);

// Entry a * 256 + b: the palette index nearest to the mean of colours a and b
// (entry a * 257 = a).
void BuildSmooth8(std::uint8_t* table, const std::uint8_t* palette);
// Entry a * 256 + b: the 16-bit pixel (format VIDZO_BLIT_555 or _565) of the
// mean of colours a and b, each component halved before adding.
void BuildSmooth16(std::uint16_t* table, const std::uint8_t* palette, std::uint32_t format);

// Reads 256 palette entries in a layout (VIDZO_LAYOUT_...) into 768 bytes
// of red, green, blue.
void ReadPalette(const void* palette, std::uint32_t layout, std::uint8_t* rgb);

// Gives the sound output a turn (the refill hook), around long table builds.
void GiveSoundATurn();

}  // namespace vidzo::blit
