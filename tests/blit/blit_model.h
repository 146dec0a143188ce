// A per-pixel model of the blitter, written from what each mode draws rather
// than from how the loops draw it, and the random pictures the tests feed to
// both.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "display/blit.h"

namespace blit_test {

using Palette = std::vector<std::uint8_t>;  // 768 bytes, R G B

// A display buffer record with only the fields the copies read.
inline VidzoDisplayBuffer Record(std::uint32_t orientation, std::uint32_t height, std::uint32_t pitch,
                                 std::uint8_t* pixels) {
  VidzoDisplayBuffer r{};
  r.Orientation = orientation;
  r.Height = height;
  r.Pitch = pitch;
  r.Pixels = pixels;
  return r;
}

// A palette whose components come from a few levels, so that many colours
// share their red (ties in the nearest search) or are equal.
inline Palette RandomPalette(std::mt19937& rng, bool few_levels) {
  static const std::uint8_t kLevels[] = {0, 7, 64, 128, 129, 255};
  Palette p(768);
  for (auto& c : p) c = few_levels ? kLevels[rng() % sizeof kLevels] : static_cast<std::uint8_t>(rng());
  return p;
}

// Bytes drawn from a few values (so key colours occur often) or from all.
inline std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t n, unsigned values = 256) {
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng() % values);
  return v;
}

inline std::uint16_t Pack(unsigned r, unsigned g, unsigned b, bool six_green) {
  return static_cast<std::uint16_t>(six_green ? (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)
                                              : (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

inline std::uint16_t ModelColour16(const Palette& p, unsigned i, bool six_green) {
  return Pack(p[3 * i], p[3 * i + 1], p[3 * i + 2], six_green);
}

// The nearest palette index to the mean of a and b: smallest squared
// distance; among equals the one with the lowest red, then the lowest index.
inline unsigned ModelNearestMean(const Palette& p, unsigned a, unsigned b) {
  if (a == b) return a;
  const int m[3] = {(p[3 * a] + p[3 * b]) / 2, (p[3 * a + 1] + p[3 * b + 1]) / 2,
                    (p[3 * a + 2] + p[3 * b + 2]) / 2};
  unsigned best = 0;
  long best_d = -1;
  for (unsigned c = 0; c < 256; ++c) {
    long d = 0;
    for (int k = 0; k < 3; ++k) d += long{m[k] - p[3 * c + k]} * (m[k] - p[3 * c + k]);
    const bool better = best_d < 0 || d < best_d || (d == best_d && p[3 * c] < p[3 * best]);
    if (better) best = c, best_d = d;
  }
  return best;
}

inline std::uint16_t ModelMean16(const Palette& p, unsigned a, unsigned b, bool six_green) {
  unsigned c[3];
  for (int k = 0; k < 3; ++k) c[k] = p[3 * a + k] / 2 + p[3 * b + k] / 2;
  return Pack(c[0], c[1], c[2], six_green);
}

// The averaging tables the model uses (built by the functions above).
struct ModelTables {
  std::vector<std::uint8_t> smooth8;    // 65536
  std::vector<std::uint16_t> smooth16;  // 65536
  std::vector<std::uint16_t> colour16;  // 256
};

inline ModelTables MakeModelTables(const Palette& p, bool want8, bool six_green) {
  ModelTables t;
  t.colour16.resize(256);
  for (unsigned i = 0; i < 256; ++i) t.colour16[i] = ModelColour16(p, i, six_green);
  t.smooth16.resize(65536);
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b) t.smooth16[a * 256 + b] = ModelMean16(p, a, b, six_green);
  if (want8) {
    t.smooth8.resize(65536);
    for (unsigned a = 0; a < 256; ++a)
      for (unsigned b = a; b < 256; ++b)
        t.smooth8[a * 256 + b] = t.smooth8[b * 256 + a] =
            static_cast<std::uint8_t>(ModelNearestMean(p, a, b));
  }
  return t;
}

// Draws what VidzoBlit draws in `mode`, pixel by pixel, into dest.
inline void ModelBlit(unsigned mode, const ModelTables& t, std::uint8_t* dest, std::size_t dest_pitch,
                      unsigned dx, unsigned dy, const std::uint8_t* src, std::size_t src_pitch, unsigned sx,
                      unsigned sy, unsigned w, unsigned h) {
  const bool wide = mode >= 6;
  const unsigned bpp = wide ? 2 : 1;
  auto put = [&](unsigned out_x, unsigned out_y, unsigned value) {
    std::uint8_t* p = dest + out_y * dest_pitch + out_x * bpp;
    p[0] = static_cast<std::uint8_t>(value);
    if (wide) p[1] = static_cast<std::uint8_t>(value >> 8);
  };
  auto pixel = [&](unsigned x, unsigned y) { return src[(sy + y) * src_pitch + sx + x]; };
  auto avg = [&](unsigned a, unsigned b) -> unsigned {
    return wide ? t.smooth16[a * 256 + b] : t.smooth8[a * 256 + b];
  };
  for (unsigned y = 0; y < h; ++y) {
    for (unsigned x = 0; x < w; ++x) {
      const unsigned c = pixel(x, y);
      const unsigned out = wide ? t.colour16[c] : c;
      const unsigned ox = 2 * (dx + x), oy = 2 * (dy + y);
      switch (mode % 6) {
        case 0:
          put(dx + x, dy + y, out);
          break;
        case 1:
          put(ox, oy, out), put(ox + 1, oy, out), put(ox, oy + 1, out), put(ox + 1, oy + 1, out);
          break;
        case 2:
          put(ox, oy, out), put(ox + 1, oy, out);
          break;
        case 3: {
          const unsigned left = x == 0 ? c : pixel(x - 1, y);
          const unsigned above = y == 0 ? c : pixel(x, y - 1);
          put(ox, oy, avg(left, above));
          put(ox + 1, oy, avg(c, above));
          put(ox, oy + 1, avg(c, left));
          put(ox + 1, oy + 1, wide ? avg(c, c) : c);
          break;
        }
      }
    }
  }
}

// A destination with guard bytes on both sides of the area a blit may use.
struct GuardedBuffer {
  static constexpr std::size_t kGuard = 64;
  std::vector<std::uint8_t> bytes;
  GuardedBuffer(std::mt19937& rng, std::size_t size) : bytes(RandomBytes(rng, size + 2 * kGuard)) {}
  std::uint8_t* data() { return bytes.data() + kGuard; }
};

}  // namespace blit_test
