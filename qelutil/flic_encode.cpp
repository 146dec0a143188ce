// The flic writer's chunk encoders: byte-run frames, byte deltas (320 x 200
// flics), word deltas (other sizes) and colour packets. Each encoder gives up
// as soon as its data would reach the limit it is given (the raw frame's
// size), so that the writer can try the next kind.
#include <cstring>

#include "qelutil/flic_chunks.h"
#include "qelutil/flic_format.h"

namespace flic {
namespace {

// Appends bytes while keeping count of the limit.
class Out {
 public:
  Out(std::vector<uint8_t>& v, uint32_t limit) : v_(v), limit_(limit) { v_.clear(); }
  bool Full() const { return v_.size() >= limit_; }
  void Byte(uint32_t b) { v_.push_back(static_cast<uint8_t>(b)); }
  void Word(uint32_t w) {
    Byte(w);
    Byte(w >> 8);
  }
  void Bytes(const uint8_t* p, uint32_t n) { v_.insert(v_.end(), p, p + n); }
  size_t Size() const { return v_.size(); }
  uint8_t& At(size_t i) { return v_[i]; }

 private:
  std::vector<uint8_t>& v_;
  uint32_t limit_;
};

}  // namespace

bool EncodeByteRun(const uint8_t* frame, uint32_t width, uint32_t height, uint32_t limit,
                   std::vector<uint8_t>& out_bytes) {
  Out out(out_bytes, limit);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* line = frame + static_cast<size_t>(y) * width;
    out.Byte(0);
    uint32_t x = 0;
    while (x < width) {
      uint32_t run = 1;
      while (x + run < width && run < 127 && line[x + run] == line[x]) ++run;
      if (run >= 2) {
        out.Byte(run);
        out.Byte(line[x]);
        x += run;
      }
      uint32_t start = x, n = 0;
      while (x < width && n < 127 && !(x + 1 < width && line[x] == line[x + 1])) {
        ++x;
        ++n;
      }
      if (n > 0) {
        out.Byte(0x100 - n);
        out.Bytes(line + start, n);
      }
      if (out.Full()) return false;
    }
  }
  return !out.Full();
}

namespace {

// Byte delta helpers over one line of the frame (cur) and the previous (old).
struct Line {
  const uint8_t* cur;
  const uint8_t* old;
  uint32_t width;
  bool Unchanged(uint32_t x) const { return cur[x] == old[x]; }
  // Four bytes from x, all inside the line, all unchanged.
  bool FourUnchanged(uint32_t x) const {
    return x + 4 <= width && Unchanged(x) && Unchanged(x + 1) && Unchanged(x + 2) && Unchanged(x + 3);
  }
  bool FourEqual(uint32_t x) const {
    return x + 4 <= width && cur[x] == cur[x + 1] && cur[x] == cur[x + 2] && cur[x] == cur[x + 3];
  }
};

// Codes one line up to its last changed byte; false when more than 255
// packets would be needed.
bool ByteDeltaLine(const Line& l, uint32_t last, Out& out) {
  size_t count_at = out.Size();
  out.Byte(0);
  uint32_t packets = 0, x = 0;
  while (x <= last) {
    uint32_t skip = 0;
    while (skip < 255 && x + skip <= last && l.Unchanged(x + skip)) ++skip;
    x += skip;
    out.Byte(skip);
    if (l.FourUnchanged(x)) {
      // The skip was cut at 255 bytes and more unchanged bytes follow: an
      // empty literal packet carries the rest of the skip.
      out.Byte(0);
    } else if (l.FourEqual(x)) {
      uint32_t n = 1;
      while (n < 127 && x + n <= last && l.cur[x + n] == l.cur[x] && !l.FourUnchanged(x + n)) ++n;
      out.Byte(0x100 - n);
      out.Byte(l.cur[x]);
      x += n;
    } else {
      uint32_t n = 1;
      while (n < 127 && x + n < l.width && !l.FourUnchanged(x + n) &&
             !(x + n + 3 <= last && l.FourEqual(x + n)))
        ++n;
      out.Byte(n);
      out.Bytes(l.cur + x, n);
      x += n;
    }
    if (++packets > 255 || out.Full()) return false;
  }
  out.At(count_at) = static_cast<uint8_t>(packets);
  return true;
}

// The last changed byte of a line, or -1.
int32_t LastChanged(const uint8_t* cur, const uint8_t* old, uint32_t width) {
  for (uint32_t x = width; x-- > 0;)
    if (cur[x] != old[x]) return static_cast<int32_t>(x);
  return -1;
}

}  // namespace

bool EncodeByteDelta(const uint8_t* frame, const uint8_t* previous, uint32_t width, uint32_t height,
                     uint32_t limit, std::vector<uint8_t>& out_bytes) {
  Out out(out_bytes, limit);
  auto row = [&](const uint8_t* base, uint32_t y) { return base + static_cast<size_t>(y) * width; };
  uint32_t top = 0;
  while (top < height && std::memcmp(row(frame, top), row(previous, top), width) == 0) ++top;
  uint32_t bottom = height;
  while (bottom > top && std::memcmp(row(frame, bottom - 1), row(previous, bottom - 1), width) == 0) --bottom;
  out.Word(top);
  out.Word(bottom - top);
  for (uint32_t y = top; y < bottom; ++y) {
    Line l{row(frame, y), row(previous, y), width};
    int32_t last = LastChanged(l.cur, l.old, width);
    if (last < 0) {
      out.Byte(0);
    } else if (!ByteDeltaLine(l, static_cast<uint32_t>(last), out)) {
      return false;
    }
    if (out.Full()) return false;
  }
  return !out.Full();
}

namespace {

// Word delta helpers: words are byte pairs at even offsets; w indexes words.
struct WordLine {
  const uint8_t* cur;
  const uint8_t* old;
  uint32_t words;
  bool Unchanged(uint32_t w) const { return cur[2 * w] == old[2 * w] && cur[2 * w + 1] == old[2 * w + 1]; }
  bool TwoUnchanged(uint32_t w) const { return w + 2 <= words && Unchanged(w) && Unchanged(w + 1); }
  bool Equal(uint32_t a, uint32_t b) const {
    return cur[2 * a] == cur[2 * b] && cur[2 * a + 1] == cur[2 * b + 1];
  }
  bool TwoEqual(uint32_t w) const { return w + 2 <= words && Equal(w, w + 1); }
};

int32_t LastChangedWord(const WordLine& l) {
  for (uint32_t w = l.words; w-- > 0;)
    if (!l.Unchanged(w)) return static_cast<int32_t>(w);
  return -1;
}

bool WordDeltaLine(const WordLine& l, uint32_t last, Out& out) {
  size_t count_at = out.Size();
  out.Word(0);
  uint32_t packets = 0, w = 0;
  while (w <= last) {
    uint32_t skip = 0;
    while (skip < 127 && w + skip <= last && l.Unchanged(w + skip)) ++skip;
    w += skip;
    out.Byte(skip * 2);
    if (l.Unchanged(w)) {
      // The skip was cut at 254 bytes and more unchanged words follow.
      out.Byte(0);
    } else if (w == last || l.Equal(w, w + 1)) {
      uint32_t n = 1;
      while (n < 127 && w + n <= last && l.Equal(w + n, w) && !l.TwoUnchanged(w + n)) ++n;
      out.Byte(0x100 - n);
      out.Bytes(l.cur + 2 * w, 2);
      w += n;
    } else {
      uint32_t n = 1;
      while (n < 127 && w + n <= last && !l.TwoUnchanged(w + n) &&
             !(2 * (last + 1 - (w + n)) > 4 && l.TwoEqual(w + n)))
        ++n;
      out.Byte(n);
      out.Bytes(l.cur + 2 * w, 2 * n);
      w += n;
    }
    if (++packets > 0x3FFF || out.Full()) return false;
  }
  out.At(count_at) = static_cast<uint8_t>(packets);
  out.At(count_at + 1) = static_cast<uint8_t>(packets >> 8);
  return true;
}

}  // namespace

bool EncodeWordDelta(const uint8_t* frame, const uint8_t* previous, uint32_t width, uint32_t height,
                     uint32_t limit, std::vector<uint8_t>& out_bytes) {
  Out out(out_bytes, limit);
  out.Word(0);
  uint32_t coded = 0, skipped = 0;
  for (uint32_t y = 0; y < height; ++y) {
    WordLine l{frame + static_cast<size_t>(y) * width, previous + static_cast<size_t>(y) * width, width / 2};
    int32_t last = LastChangedWord(l);
    if (last < 0) {
      ++skipped;
      continue;
    }
    // A skip word holds at most 16384 lines.
    while (skipped > 0) {
      uint32_t k = skipped > 16384 ? 16384 : skipped;
      out.Word(0x10000 - k);
      skipped -= k;
    }
    if (!WordDeltaLine(l, static_cast<uint32_t>(last), out)) return false;
    if (++coded > 0xFFFF || out.Full()) return false;
  }
  out.At(0) = static_cast<uint8_t>(coded);
  out.At(1) = static_cast<uint8_t>(coded >> 8);
  return !out.Full();
}

void EncodePalette(const uint8_t* from, const uint8_t* to, std::vector<uint8_t>& out) {
  out.clear();
  out.resize(2);
  uint32_t packets = 0, end = 0, i = 0;
  while (i < 256) {
    if (std::memcmp(from + i * 3, to + i * 3, 3) == 0) {
      ++i;
      continue;
    }
    uint32_t start = i;
    while (i < 256 && std::memcmp(from + i * 3, to + i * 3, 3) != 0) ++i;
    out.push_back(static_cast<uint8_t>(start - end));
    out.push_back(static_cast<uint8_t>(i - start));  // 256 is written as 0
    out.insert(out.end(), to + start * 3, to + i * 3);
    end = i;
    ++packets;
  }
  if (packets == 0) {
    out.clear();
    return;
  }
  Put16(out.data(), packets);
}

}  // namespace flic
