// The rectangle loops of VidzoBlit in its eight modes, the key-colour copies
// and the fill. Rows go through the row kernels; the 1x copies and the
// smoothed blocks are plain loops in every form.
#include "display/blit_internal.h"

namespace vidzo::blit {

using std::size_t;
using std::uint16_t;
using std::uint8_t;

inline void Put16(uint8_t* p, uint16_t v) {
  std::memcpy(p, &v, 2);
}

namespace {

// Output pixel of the smoothed block: Px is uint8_t (indices) or uint16_t.
template <class Px>
void Smooth(const Px* table, uint8_t* out, size_t pitch, const BlitRect& r) {
  const size_t sp = r.source_pitch;
  const uint8_t* row = r.source + size_t{r.source_y} * sp + r.source_x;
  for (uint32_t y = 0; y < r.height; ++y, row += sp, out += 2 * pitch) {
    const uint8_t* above = y == 0 ? row : row - sp;
    uint8_t* upper = out;
    uint8_t* lower = out + pitch;
    for (uint32_t x = 0; x < r.width; ++x) {
      const unsigned c = row[x], l = x == 0 ? c : row[x - 1], a = above[x];
      const Px block[4] = {table[l * 256 + a], table[c * 256 + a], table[c * 256 + l],
                           sizeof(Px) == 1 ? static_cast<Px>(c) : table[c * 257]};
      std::memcpy(upper + 2 * sizeof(Px) * x, block, 2 * sizeof(Px));
      std::memcpy(lower + 2 * sizeof(Px) * x, block + 2, 2 * sizeof(Px));
    }
  }
}

}  // namespace

void BlitWith(const RowKernels& k, const VidzoBlitter* b, const BlitRect& r) {
  if (b == nullptr || r.dest == nullptr || r.source == nullptr || r.width == 0 || r.height == 0) return;
  const size_t dp = r.dest_pitch, sp = r.source_pitch, w = r.width;
  const size_t x = r.dest_x, y = r.dest_y;
  const uint8_t* s = r.source + size_t{r.source_y} * sp + r.source_x;
  const bool wide = b->Mode >= 6;
  if (wide && b->Colour16 == nullptr) return;
  const uint16_t* colours = b->Colour16;
  switch (b->Mode) {
    case 0: {
      uint8_t* d = r.dest + y * dp + x;
      for (uint32_t i = 0; i < r.height; ++i, d += dp, s += sp) std::memcpy(d, s, w);
      break;
    }
    case 1:
    case 2: {
      uint8_t* d = r.dest + 2 * (y * dp + x);
      for (uint32_t i = 0; i < r.height; ++i, d += 2 * dp, s += sp)
        k.double8(d, b->Mode == 1 ? d + dp : nullptr, s, w);
      break;
    }
    case 3:
      if (b->SmoothTable != nullptr)
        Smooth(static_cast<const uint8_t*>(b->SmoothTable), r.dest + 2 * (y * dp + x), dp, r);
      break;
    case 6: {
      uint8_t* d = r.dest + y * dp + 2 * x;
      for (uint32_t i = 0; i < r.height; ++i, d += dp, s += sp)
        for (size_t j = 0; j < w; ++j) Put16(d + 2 * j, colours[s[j]]);
      break;
    }
    case 7:
    case 8: {
      uint8_t* d = r.dest + 2 * (y * dp + 2 * x);
      for (uint32_t i = 0; i < r.height; ++i, d += 2 * dp, s += sp)
        k.double16(d, b->Mode == 7 ? d + dp : nullptr, s, w, colours);
      break;
    }
    case 9:
      if (b->SmoothTable != nullptr)
        Smooth(static_cast<const uint16_t*>(b->SmoothTable), r.dest + 2 * (y * dp + 2 * x), dp, r);
      break;
    default:
      break;
  }
}

void KeyBlitWith(const RowKernels& k, const VidzoBlitter* b, KeyOp op, const BlitRect& r, std::uint32_t key,
                 const uint8_t* extra) {
  if (b == nullptr || b->Mode != 0 || r.dest == nullptr || r.source == nullptr || r.width == 0 ||
      r.height == 0)
    return;
  if ((op == KeyOp::kMask || op == KeyOp::kMerge) && extra == nullptr) return;
  const size_t dp = r.dest_pitch, sp = r.source_pitch;
  const size_t from = size_t{r.source_y} * sp + r.source_x;
  uint8_t* d = r.dest + size_t{r.dest_y} * dp + r.dest_x;
  const uint8_t* s = r.source + from;
  const uint8_t* e = extra ? extra + from : nullptr;
  for (uint32_t i = 0; i < r.height; ++i, d += dp, s += sp) {
    KeyRow(k, op, d, s, e, r.width, static_cast<uint8_t>(key));
    if (e != nullptr) e += sp;
  }
}

}  // namespace vidzo::blit

namespace {

vidzo::blit::BlitRect Rect(void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                           const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                           uint32_t width, uint32_t height) {
  return {static_cast<uint8_t*>(dest),
          dest_pitch,
          dest_x,
          dest_y,
          static_cast<const uint8_t*>(source),
          source_pitch,
          source_x,
          source_y,
          width,
          height};
}

}  // namespace

extern "C" {

using vidzo::blit::BlitRect;
using vidzo::blit::KeyOp;
using vidzo::blit::Put16;

void VidzoBlit(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
               const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
               uint32_t width, uint32_t height) {
  const BlitRect r =
      Rect(dest, dest_pitch, dest_x, dest_y, source, source_pitch, source_x, source_y, width, height);
  vidzo::blit::BlitWith(vidzo::blit::ActiveKernels(), blitter, r);
}

void VidzoBlitTrans(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                    const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                    uint32_t width, uint32_t height, uint32_t key) {
  const BlitRect r =
      Rect(dest, dest_pitch, dest_x, dest_y, source, source_pitch, source_x, source_y, width, height);
  vidzo::blit::KeyBlitWith(vidzo::blit::ActiveKernels(), blitter, KeyOp::kTrans, r, key, nullptr);
}

void VidzoBlitMask(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                   const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                   uint32_t width, uint32_t height, uint32_t key, const void* mask) {
  const BlitRect r =
      Rect(dest, dest_pitch, dest_x, dest_y, source, source_pitch, source_x, source_y, width, height);
  vidzo::blit::KeyBlitWith(vidzo::blit::ActiveKernels(), blitter, KeyOp::kMask, r, key,
                           static_cast<const uint8_t*>(mask));
}

void VidzoBlitMerge(VidzoBlitter* blitter, void* dest, uint32_t dest_pitch, uint32_t dest_x, uint32_t dest_y,
                    const void* source, uint32_t source_pitch, uint32_t source_x, uint32_t source_y,
                    uint32_t width, uint32_t height, uint32_t key, const void* source2) {
  const BlitRect r =
      Rect(dest, dest_pitch, dest_x, dest_y, source, source_pitch, source_x, source_y, width, height);
  vidzo::blit::KeyBlitWith(vidzo::blit::ActiveKernels(), blitter, KeyOp::kMerge, r, key,
                           static_cast<const uint8_t*>(source2));
}

void VidzoBlitClear(VidzoBlitter* blitter, void* dest, uint32_t pitch, uint32_t x, uint32_t y, uint32_t width,
                    uint32_t height, int32_t colour) {
  if (blitter == nullptr || dest == nullptr || width == 0 || height == 0) return;
  const bool wide = blitter->Mode >= 6;
  const uint32_t raw = static_cast<uint32_t>(colour);
  uint32_t value = colour < 0 ? 0u - raw : raw;
  if (colour >= 0 && wide) {
    if (blitter->Colour16 == nullptr) return;
    value = blitter->Colour16[raw & 0xFFu];
  }
  auto* d = static_cast<uint8_t*>(dest) + size_t{y} * pitch + size_t{x} * (wide ? 2 : 1);
  const auto pixel = static_cast<uint16_t>(value);
  for (uint32_t i = 0; i < height; ++i, d += pitch) {
    if (wide) {
      for (uint32_t j = 0; j < width; ++j) Put16(d + 2 * j, pixel);
    } else {
      std::memset(d, static_cast<int>(value & 0xFFu), width);
    }
  }
}

}  // extern "C"
