// RLE8 frames: coding a whole frame, and decoding a frame over the previous
// one (skips and ends leave earlier pixels as they were).
#include <cstring>

#include "platform/avifile/riff.h"

namespace avifile {

void EncodeRle8(const uint8_t* pixels, int32_t width, int32_t height, uint32_t pitch,
                std::vector<uint8_t>& out) {
  out.clear();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * pitch;
    int32_t x = 0;
    while (x < width) {
      int32_t run = 1;
      while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(row[x]);
        x += run;
        continue;
      }
      // Literal bytes up to the next run of two or more.
      int32_t n = 1;
      while (x + n < width && n < 255 && !(x + n + 1 < width && row[x + n] == row[x + n + 1])) ++n;
      if (n < 3) {  // 1 and 2 are escape codes in absolute mode: runs of one
        for (int32_t i = 0; i < n; ++i) {
          out.push_back(1);
          out.push_back(row[x + i]);
        }
      } else {
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), row + x, row + x + n);
        if (n & 1) out.push_back(0);
      }
      x += n;
    }
    out.push_back(0);
    out.push_back(y + 1 < height ? 0 : 1);  // end of line, or of the frame
  }
}

// Decodes over `frame` (bottom-up rows of `pitch` bytes); false when the data
// ends without its end code or a code runs past the data.
bool DecodeRle8(const uint8_t* d, size_t size, uint8_t* frame, int32_t width, int32_t height,
                uint32_t pitch) {
  int64_t x = 0, y = 0;
  size_t pos = 0;
  auto put = [&](uint8_t v) {
    if (x < width && y < height) frame[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)] = v;
    ++x;
  };
  while (pos + 2 <= size) {
    uint8_t a = d[pos], b = d[pos + 1];
    pos += 2;
    if (a > 0) {
      if (y < height && x < width) {
        int64_t n = a < width - x ? a : width - x;
        std::memset(frame + static_cast<size_t>(y) * pitch + static_cast<size_t>(x), b,
                    static_cast<size_t>(n));
      }
      x += a;
    } else if (b == 0) {
      x = 0;
      ++y;
    } else if (b == 1) {
      return true;
    } else if (b == 2) {
      if (pos + 2 > size) return false;
      x += d[pos];
      y += d[pos + 1];
      pos += 2;
    } else {
      if (pos + b > size) return false;
      for (int i = 0; i < b; ++i) put(d[pos + i]);
      pos += (b + 1u) & ~1u;
    }
    if (y >= height) return true;
  }
  return true;  // a frame may end without its end code
}

}  // namespace avifile
