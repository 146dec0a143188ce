// Drives the blitter with arguments taken from the input: blits, key-colour
// copies and fills into buffers sized exactly as the blitter's callers must
// size them, palettes in every layout, flag changes, and buffer-to-buffer
// copies with arbitrary coordinates, sizes and buffer records (which the
// copies must clip to the buffers).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "display/blit.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= Byte() << (8 * i);
    return v;
  }
  // n bytes of picture data, from the rest of the input (cycled) or zeros.
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n && size_ > 0; ++i) v[i] = data_[(pos_ + i) % size_];
    return v;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

const uint32_t kFlagChoices[] = {0,
                                 VIDZO_BLIT_2X,
                                 VIDZO_BLIT_INTERLACED,
                                 VIDZO_BLIT_SMOOTH,
                                 VIDZO_BLIT_555,
                                 VIDZO_BLIT_565 | VIDZO_BLIT_2X,
                                 VIDZO_BLIT_555 | VIDZO_BLIT_INTERLACED,
                                 VIDZO_BLIT_565 | VIDZO_BLIT_SMOOTH};

void Blits(Input& in, uint32_t op) {
  VidzoBlitter* b = VidzoBlitOpen(kFlagChoices[in.Byte() % 8]);
  if (b == nullptr) return;
  const uint32_t layout = in.Byte() & 15;
  VidzoBlitSetPalette(b, in.Bytes(2048).data(), layout);
  if (in.Byte() & 1) VidzoBlitSetFlags(b, in.U32());
  const uint32_t w = in.Byte() % 40, h = in.Byte() % 40;
  const uint32_t sx = in.Byte() % 9, sy = in.Byte() % 9, dx = in.Byte() % 9, dy = in.Byte() % 9;
  const uint32_t sp = sx + w + in.Byte() % 5;
  const std::vector<uint8_t> source = in.Bytes(size_t{sp} * (sy + h));
  const std::vector<uint8_t> extra = in.Bytes(size_t{sp} * (sy + h));
  // What the mode writes: bytes per source pixel on an output row, output
  // rows per source row.
  const bool wide = b->Mode >= 6, doubled = b->Mode % 6 != 0;
  const size_t row_bytes = size_t{dx + w} * (wide ? 2 : 1) * (doubled ? 2 : 1);
  const size_t dp = row_bytes + in.Byte() % 5;
  const size_t rows = size_t{dy + h} * (doubled ? 2 : 1);
  // The last output row only needs its own bytes.
  std::vector<uint8_t> dest(rows == 0 ? 0 : (rows - 1) * dp + row_bytes);
  uint8_t* d = dest.empty() ? nullptr : dest.data();
  const uint32_t key = in.U32();
  switch (op) {
    case 0:
      if (d) VidzoBlit(b, d, static_cast<uint32_t>(dp), dx, dy, source.data(), sp, sx, sy, w, h);
      break;
    case 1:
      if (d) VidzoBlitTrans(b, d, static_cast<uint32_t>(dp), dx, dy, source.data(), sp, sx, sy, w, h, key);
      break;
    case 2:
      if (d)
        VidzoBlitMask(b, d, static_cast<uint32_t>(dp), dx, dy, source.data(), sp, sx, sy, w, h, key,
                      extra.data());
      break;
    case 3:
      if (d)
        VidzoBlitMerge(b, d, static_cast<uint32_t>(dp), dx, dy, source.data(), sp, sx, sy, w, h, key,
                       extra.data());
      break;
    default: {
      // The fill: width pixels of the output's size on each row.
      const size_t fill_row = size_t{dx + w} * (wide ? 2 : 1);
      std::vector<uint8_t> area(h == 0 ? 0 : (dy + h - 1) * fill_row + fill_row);
      if (!area.empty())
        VidzoBlitClear(b, area.data(), static_cast<uint32_t>(fill_row), dx, dy, w, h,
                       static_cast<int32_t>(key));
      break;
    }
  }
  char text[32];
  VidzoBlitString(b, text);
  VidzoBlitClose(b);
}

struct Buffer {
  std::vector<uint8_t> pixels;
  VidzoDisplayBuffer record;
  explicit Buffer(Input& in) {
    record.Orientation = in.Byte() & 3;
    record.Height = in.Byte() % 24;
    record.Pitch = in.Byte() % 48;
    pixels = in.Bytes(size_t{record.Height} * record.Pitch);
    record.Pixels = pixels.empty() ? nullptr : pixels.data();
  }
};

void BufferCopies(Input& in, uint32_t op) {
  Buffer dest(in), source(in), extra(in);
  if (in.Byte() & 1) {  // a mask or second source that matches
    extra.record.Orientation = source.record.Orientation;
    extra.record.Pitch = source.record.Pitch;
    extra.pixels = in.Bytes(size_t{extra.record.Height} * extra.record.Pitch);
    extra.record.Pixels = extra.pixels.empty() ? nullptr : extra.pixels.data();
  }
  // Small or arbitrary coordinates and sizes.
  const bool small = in.Byte() & 1;
  auto value = [&] { return small ? in.Byte() % 40 : in.U32(); };
  const uint32_t dx = value(), dy = value(), sx = value(), sy = value(), w = value(), h = value();
  const uint32_t key = in.Byte();
  switch (op) {
    case 0:
      VidzoBufferToBuffer(&dest.record, dx, dy, &source.record, sx, sy, w, h);
      break;
    case 1:
      VidzoBufferToBufferTrans(&dest.record, dx, dy, &source.record, sx, sy, w, h, key);
      break;
    case 2:
      VidzoBufferToBufferMask(&dest.record, dx, dy, &source.record, sx, sy, w, h, key, &extra.record);
      break;
    default:
      VidzoBufferToBufferMerge(&dest.record, dx, dy, &source.record, sx, sy, w, h, key, &extra.record);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const uint32_t op = in.Byte();
  if (op & 0x80) {
    BufferCopies(in, op & 3);
  } else {
    Blits(in, op % 5);
  }
  return 0;
}
