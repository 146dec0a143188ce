// Decoding the chunks of a flic frame. Every read is checked against the end
// of its chunk and every write against the picture, so a damaged frame can
// leave a wrong picture but never touches memory outside the buffer.
#include <algorithm>
#include <cstring>

#include "qelutil/flic_chunks.h"
#include "qelutil/flic_format.h"

namespace flic {
namespace {

// A bounded reader over one chunk's data.
class Cursor {
 public:
  Cursor(const uint8_t* p, uint32_t size) : p_(p), end_(p + size) {}
  bool Has(uint32_t n) const { return static_cast<size_t>(end_ - p_) >= n; }
  uint32_t Left() const { return static_cast<uint32_t>(end_ - p_); }
  uint8_t U8() { return Has(1) ? *p_++ : 0; }
  uint16_t U16() {
    if (!Has(2)) {
      p_ = end_;
      return 0;
    }
    uint16_t v = Get16(p_);
    p_ += 2;
    return v;
  }
  const uint8_t* Take(uint32_t n) {
    if (!Has(n)) return nullptr;
    const uint8_t* q = p_;
    p_ += n;
    return q;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

bool ApplyColors(Cursor c, uint8_t* palette, bool six_bit) {
  uint32_t packets = c.U16();
  uint32_t index = 0;
  bool changed = false;
  for (uint32_t i = 0; i < packets && c.Has(2); ++i) {
    index += c.U8();
    uint32_t count = c.U8();
    if (count == 0) count = 256;
    for (uint32_t k = 0; k < count && c.Has(3); ++k, ++index) {
      const uint8_t* rgb = c.Take(3);
      if (index >= 256) continue;
      for (int j = 0; j < 3; ++j) {
        uint8_t v = rgb[j];
        if (six_bit) v = static_cast<uint8_t>((v & 63) * 4 + (v & 63) / 16);
        if (palette[index * 3 + j] != v) changed = true;
        palette[index * 3 + j] = v;
      }
    }
  }
  // A colour chunk counts as a palette change even when it repeats the colours
  // the palette already holds.
  return changed || packets > 0;
}

void ApplyByteRun(Cursor c, const Target& t) {
  for (uint32_t y = 0; y < t.height && c.Has(1); ++y) {
    uint8_t* row = t.pixels + static_cast<size_t>(y) * t.pitch;
    c.U8();  // the unused packet count
    uint32_t x = 0;
    while (x < t.width && c.Has(1)) {
      auto count = static_cast<int8_t>(c.U8());
      if (count > 0) {
        uint8_t v = c.U8();
        uint32_t n = std::min<uint32_t>(count, t.width - x);
        std::memset(row + x, v, n);
        x += static_cast<uint32_t>(count);
      } else if (count < 0) {
        uint32_t n = static_cast<uint32_t>(-count);
        uint32_t avail = std::min(n, c.Left());
        const uint8_t* src = c.Take(avail);
        std::memcpy(row + x, src, std::min(avail, t.width - x));
        x += n;
      }
    }
  }
}

void ApplyByteDelta(Cursor c, const Target& t) {
  uint32_t y = c.U16();
  uint32_t lines = c.U16();
  for (uint32_t l = 0; l < lines && c.Has(1); ++l, ++y) {
    uint32_t packets = c.U8();
    uint8_t* row = y < t.height ? t.pixels + static_cast<size_t>(y) * t.pitch : nullptr;
    uint32_t x = 0;
    for (uint32_t i = 0; i < packets && c.Has(2); ++i) {
      x += c.U8();
      auto count = static_cast<int8_t>(c.U8());
      if (count >= 0) {
        uint32_t n = std::min<uint32_t>(count, c.Left());
        const uint8_t* src = c.Take(n);
        if (row != nullptr && x < t.width) std::memcpy(row + x, src, std::min(n, t.width - x));
        x += static_cast<uint32_t>(count);
      } else {
        uint8_t v = c.U8();
        uint32_t n = static_cast<uint32_t>(-count);
        if (row != nullptr && x < t.width) std::memset(row + x, v, std::min(n, t.width - x));
        x += n;
      }
    }
  }
}

void PutWord(uint8_t* row, uint32_t x, uint32_t width, uint8_t lo, uint8_t hi) {
  if (x < width) row[x] = lo;
  if (x + 1 < width) row[x + 1] = hi;
}

void ApplyWordDelta(Cursor c, const Target& t) {
  uint32_t lines = c.U16();
  uint32_t y = 0;
  for (uint32_t l = 0; l < lines && c.Has(2); ++l) {
    // Words before the packet count: line skips and the last byte of an odd
    // line.
    uint32_t packets = 0;
    bool has_count = false;
    while (c.Has(2) && !has_count) {
      uint16_t w = c.U16();
      switch (w & 0xC000) {
        case 0xC000:
          y += 0x10000u - w;
          break;
        case 0x8000:
          if (y < t.height && t.width > 0)
            t.pixels[static_cast<size_t>(y) * t.pitch + t.width - 1] = static_cast<uint8_t>(w);
          break;
        case 0x0000:
          packets = w;
          has_count = true;
          break;
        default:  // 0x4000 is undefined; the line ends here
          has_count = true;
          break;
      }
    }
    if (y >= t.height) break;
    uint8_t* row = t.pixels + static_cast<size_t>(y) * t.pitch;
    uint32_t x = 0;
    for (uint32_t i = 0; i < packets && c.Has(2); ++i) {
      x += c.U8();
      auto count = static_cast<int8_t>(c.U8());
      if (count >= 0) {
        for (int k = 0; k < count && c.Has(2); ++k, x += 2) {
          const uint8_t* w = c.Take(2);
          PutWord(row, x, t.width, w[0], w[1]);
        }
      } else {
        uint8_t lo = c.U8(), hi = c.U8();
        for (int k = 0; k < -count && x < t.width; ++k, x += 2) PutWord(row, x, t.width, lo, hi);
      }
    }
    ++y;
  }
}

void ApplyRaw(Cursor c, const Target& t) {
  for (uint32_t y = 0; y < t.height && c.Left() > 0; ++y) {
    uint32_t n = std::min(t.width, c.Left());
    std::memcpy(t.pixels + static_cast<size_t>(y) * t.pitch, c.Take(n), n);
  }
}

}  // namespace

bool ApplyChunks(const uint8_t* data, uint32_t size, uint32_t chunks, const Target& t) {
  bool palette_changed = false;
  uint32_t pos = 0;
  for (uint32_t i = 0; i < chunks && size - pos >= kChunkHeaderSize; ++i) {
    uint32_t chunk_size = Get32(data + pos);
    uint16_t type = Get16(data + pos + 4);
    if (chunk_size < kChunkHeaderSize || chunk_size > size - pos) break;
    Cursor c(data + pos + kChunkHeaderSize, chunk_size - kChunkHeaderSize);
    switch (type) {
      case kColor256:
        palette_changed |= ApplyColors(c, t.palette, false);
        break;
      case kColor64:
        palette_changed |= ApplyColors(c, t.palette, true);
        break;
      case kByteDelta:
        ApplyByteDelta(c, t);
        break;
      case kWordDelta:
        ApplyWordDelta(c, t);
        break;
      case kBlack:
        for (uint32_t y = 0; y < t.height; ++y)
          std::memset(t.pixels + static_cast<size_t>(y) * t.pitch, 0, t.width);
        break;
      case kByteRun:
        ApplyByteRun(c, t);
        break;
      case kRaw:
        ApplyRaw(c, t);
        break;
      default:
        break;
    }
    pos += chunk_size;
  }
  return palette_changed;
}

}  // namespace flic
