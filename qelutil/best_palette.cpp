// The best-palette colour reducer: a histogram of 6-bit colour cells over a
// run of frames, variance-driven box splitting weighted 299/587/114, and a
// placement that keeps each colour in the slot of its most similar old one.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "qelutil/gfile_internal.h"

namespace qelutil {
namespace {

constexpr uint64_t kWeight[3] = {299, 587, 114};

// A cell: its number's components and its count.
struct Cell {
  uint8_t c[3];
  uint32_t count;
};

// Sums over a set of cells: the count, and per component the sums of
// count x value and count x value squared. The weighted error around a
// colour follows from them exactly.
struct Moments {
  uint64_t n = 0;
  uint64_t s1[3] = {};
  uint64_t s2[3] = {};
  void Add(const Cell& cell) {
    n += cell.count;
    for (int k = 0; k < 3; ++k) {
      s1[k] += uint64_t{cell.count} * cell.c[k];
      s2[k] += uint64_t{cell.count} * cell.c[k] * cell.c[k];
    }
  }
  void Add(const Moments& m) {
    n += m.n;
    for (int k = 0; k < 3; ++k) {
      s1[k] += m.s1[k];
      s2[k] += m.s2[k];
    }
  }
  Moments Minus(const Moments& m) const {
    Moments r;
    r.n = n - m.n;
    for (int k = 0; k < 3; ++k) {
      r.s1[k] = s1[k] - m.s1[k];
      r.s2[k] = s2[k] - m.s2[k];
    }
    return r;
  }
  // The weighted mean colour at 8 bits: (sum of count x value x 4) / count.
  void Colour(uint8_t* out) const {
    for (int k = 0; k < 3; ++k) out[k] = static_cast<uint8_t>(s1[k] * 4 / n);
  }
  // Sum of count x weighted distance of each cell from the colour.
  uint64_t Error(const uint8_t* colour) const {
    uint64_t e = 0;
    for (int k = 0; k < 3; ++k) {
      const uint64_t a = colour[k] / 4;
      // a^2 n - 2 a s1 + s2, never negative.
      e += kWeight[k] * (a * a * n + s2[k] - 2 * a * s1[k]);
    }
    return e;
  }
};

struct Box {
  uint32_t start = 0, size = 0;  // stretch of the cell list
  uint8_t colour[3] = {};
  uint64_t error = 0;
  // The best split.
  uint32_t split = 0;
  uint8_t colour1[3] = {}, colour2[3] = {};
  uint64_t error1 = 0, error2 = 0;
};

uint8_t Expand(uint8_t v) {
  return static_cast<uint8_t>(v * 4 + v / 16);
}

// Whether a cell falls into the first half of candidate n.
bool InFirstHalf(const Cell& cell, int n) {
  const int v = n % 64;
  const int limit_r = (n & 64) != 0 ? 63 : v, limit_g = (n & 128) != 0 ? 63 : v,
            limit_b = (n & 256) != 0 ? 63 : v;
  return cell.c[0] <= limit_r && cell.c[1] <= limit_g && cell.c[2] <= limit_b;
}

// The best of the 512 candidate splits of the box, and its cells reordered
// so that the first half comes first. Candidates with the same bits 6-8
// differ only in the limit v, and a cell lies in the first half exactly when
// the largest of its limited components is at most v: one pass per group of
// candidates gives every candidate's sums.
void BestSplit(std::vector<Cell>& cells, Box& box) {
  Cell* c = cells.data() + box.start;
  if (box.size == 1) {
    for (int k = 0; k < 3; ++k) box.colour1[k] = box.colour2[k] = Expand(c[0].c[k]);
    box.error1 = box.error2 = 0;
    box.split = 1;
    return;
  }
  if (box.size == 2) {
    for (int k = 0; k < 3; ++k) {
      box.colour1[k] = Expand(c[0].c[k]);
      box.colour2[k] = Expand(c[1].c[k]);
    }
    box.error1 = box.error2 = 0;
    box.split = 1;
    return;
  }
  Moments total;
  for (uint32_t i = 0; i < box.size; ++i) total.Add(c[i]);
  int best = -1;
  uint64_t best_sum = 0;
  for (int group = 0; group < 7; ++group) {  // group 7 puts every cell first
    Moments bins[64];
    for (uint32_t i = 0; i < box.size; ++i) {
      int key = 0;
      for (int k = 0; k < 3; ++k)
        if ((group & (1 << k)) == 0) key = std::max<int>(key, c[i].c[k]);
      bins[key].Add(c[i]);
    }
    Moments first;
    for (int v = 0; v < 64; ++v) {
      first.Add(bins[v]);
      if (first.n == 0 || first.n == total.n) continue;
      const Moments second = total.Minus(first);
      uint8_t colour1[3], colour2[3];
      first.Colour(colour1);
      second.Colour(colour2);
      const uint64_t e1 = first.Error(colour1), e2 = second.Error(colour2);
      if (best < 0 || e1 + e2 < best_sum) {
        best = group * 64 + v;
        best_sum = e1 + e2;
        std::memcpy(box.colour1, colour1, 3);
        std::memcpy(box.colour2, colour2, 3);
        box.error1 = e1;
        box.error2 = e2;
      }
    }
  }
  if (best < 0) {  // cannot happen for distinct cells; keep the box whole
    std::memcpy(box.colour1, box.colour, 3);
    box.error1 = box.error;
    box.error2 = 0;
    box.split = box.size;
    return;
  }
  // From the front: a cell of the second half changes places with the last
  // cell not yet examined, which is examined next.
  uint32_t front = 0, back = box.size;
  while (front < back) {
    if (InFirstHalf(c[front], best)) {
      ++front;
    } else {
      --back;
      std::swap(c[front], c[back]);
    }
  }
  box.split = front;
}

int64_t Gain(const Box& b) {
  return static_cast<int64_t>(b.error) - static_cast<int64_t>(b.error1) - static_cast<int64_t>(b.error2);
}

// Puts n new colours into the k slots starting at palette entry `slot0`.
void Place(uint8_t* palette, int slot0, int k, const std::vector<Box>& boxes) {
  const int n = static_cast<int>(boxes.size());
  if (k > 256 || n > 256) {
    for (int i = 0; i < n && i < k; ++i) std::memcpy(palette + (slot0 + i) * 3, boxes[i].colour, 3);
    return;
  }
  std::vector<bool> colour_used(static_cast<size_t>(n), false), slot_used(static_cast<size_t>(k), false);
  for (int round = 0; round < n; ++round) {
    int best_i = -1, best_j = -1;
    int64_t best_cost = 0;
    for (int i = 0; i < n; ++i) {
      if (colour_used[static_cast<size_t>(i)]) continue;
      for (int j = 0; j < k; ++j) {
        if (slot_used[static_cast<size_t>(j)]) continue;
        const uint8_t* old = palette + (slot0 + j) * 3;
        int64_t cost = 0;
        for (int q = 0; q < 3; ++q) {
          const int64_t d = static_cast<int64_t>(boxes[static_cast<size_t>(i)].colour[q]) - old[q];
          cost += static_cast<int64_t>(kWeight[q]) * d * d;
        }
        cost = 2 * cost + (i != j ? 1 : 0);
        if (best_i < 0 || cost < best_cost) {
          best_i = i;
          best_j = j;
          best_cost = cost;
          if (cost == 0) break;
        }
      }
      if (best_i >= 0 && best_cost == 0) break;
    }
    if (best_i < 0) break;
    std::memcpy(palette + (slot0 + best_j) * 3, boxes[static_cast<size_t>(best_i)].colour, 3);
    colour_used[static_cast<size_t>(best_i)] = true;
    slot_used[static_cast<size_t>(best_j)] = true;
  }
}

uint32_t CellOf(const uint8_t* rgb) {
  return static_cast<uint32_t>(rgb[0] / 4) * 4096 + static_cast<uint32_t>(rgb[1] / 4) * 64 + rgb[2] / 4;
}

void Reduce(const GFile* g, uint8_t* palette, std::vector<uint32_t>& histogram, int f, int c, int low,
            int high) {
  for (int e = f; e < f + low; ++e) histogram[CellOf(palette + e * 3)] = 0;
  for (int e = f + c - high; e < f + c; ++e) histogram[CellOf(palette + e * 3)] = 0;
  const int k = c - low - high;
  std::vector<Cell> cells;
  for (uint32_t i = 0; i < histogram.size(); ++i)
    if (histogram[i] != 0)
      cells.push_back(Cell{
          {static_cast<uint8_t>(i >> 12), static_cast<uint8_t>((i >> 6) & 63), static_cast<uint8_t>(i & 63)},
          histogram[i]});
  if (cells.empty() || k <= 0) return;
  std::vector<Box> boxes(1);
  Moments all;
  for (const Cell& cell : cells) all.Add(cell);
  boxes[0].size = static_cast<uint32_t>(cells.size());
  all.Colour(boxes[0].colour);
  boxes[0].error = all.Error(boxes[0].colour);
  for (int s = 0; k > 1; ++s) {
    if (g->state->message != nullptr) {
      char text[64];
      std::snprintf(text, sizeof text, "Reducing the number of colors (%i%%)...", 100 * s / k + 1);
      if (g->state->message(text, s == 0 ? 1 : 0) != 0) break;
    }
    BestSplit(cells, boxes[static_cast<size_t>(s)]);
    int t = 0;
    int64_t gain = Gain(boxes[0]);
    for (int b = 1; b <= s; ++b) {
      if (Gain(boxes[static_cast<size_t>(b)]) > gain) {
        gain = Gain(boxes[static_cast<size_t>(b)]);
        t = b;
      }
    }
    if (gain <= 0) break;
    Box& chosen = boxes[static_cast<size_t>(t)];
    Box second;
    second.start = chosen.start + chosen.split;
    second.size = chosen.size - chosen.split;
    std::memcpy(second.colour, chosen.colour2, 3);
    second.error = chosen.error2;
    chosen.size = chosen.split;
    std::memcpy(chosen.colour, chosen.colour1, 3);
    chosen.error = chosen.error1;
    boxes.push_back(second);
    if (s + 2 >= k) break;
    BestSplit(cells, boxes[static_cast<size_t>(t)]);
  }
  Place(palette, f + low, k, boxes);
}

}  // namespace
}  // namespace qelutil

using namespace qelutil;

extern "C" uint32_t GFileBestPalette(GFile* g, uint8_t* palette) {
  if (g == nullptr || g->state == nullptr || palette == nullptr) return 0;
  GFileState* s = g->state;
  const int f = s->first_entry, c = s->entry_count;
  if (!s->frame_held) {
    ReadSourceFrame(g);
    s->frame_held = true;
  }
  if (g->source_bits <= 8 && s->palette_mode == 0 && s->frames_per_palette >= 32000) {
    std::memcpy(palette + f * 3, g->source_palette + f * 3, static_cast<size_t>(c) * 3);
    if (s->system_colours == 1) PutSystemColours(palette);
    s->frame_held = false;
    return g->done != 0 ? 65536 : 1;
  }
  std::vector<uint32_t> histogram(262144, 0);
  uint32_t result = 0;
  for (int32_t i = 0;; ++i) {
    if (s->message != nullptr) {
      char text[200];
      const long n = static_cast<long>(s->skip) + g->frame_number + (s->frame_held ? 0 : 1);
      std::snprintf(text, sizeof text, "%s frame %li of %li...", s->verb.c_str(), n,
                    static_cast<long>(s->skip) + g->frames);
      if (s->message(text, i == 0 ? 1 : 0) != 0) return 0;
    }
    if (!s->frame_held) ReadSourceFrame(g);
    s->frame_held = false;
    const SourceView& v = s->view;
    if (v.palette_changed && s->palette_mode == 2 && i > 0) {
      s->frame_held = true;
      result = static_cast<uint32_t>(i);
      break;
    }
    for (int32_t y = 0; y < g->region_height; ++y) {
      const uint8_t* row = v.origin + y * v.step;
      for (int32_t x = 0; x < g->region_width; ++x) {
        uint32_t cell;
        switch (v.bits) {
          case 8:
            cell = CellOf(g->source_palette + row[x] * 3);
            break;
          case 16: {
            const uint32_t p = row[x * 2] | (row[x * 2 + 1] << 8);
            cell = ((p >> 10) & 31) * 2 * 4096 + ((p >> 5) & 31) * 2 * 64 + (p & 31) * 2;
            break;
          }
          default: {
            const uint8_t* p = row + x * (v.bits / 8);
            cell = static_cast<uint32_t>(p[2] / 4) * 4096 + static_cast<uint32_t>(p[1] / 4) * 64 + p[0] / 4;
            break;
          }
        }
        if (histogram[cell] != UINT32_MAX) ++histogram[cell];
      }
    }
    const uint64_t padding = static_cast<uint64_t>(g->width) * g->height -
                             static_cast<uint64_t>(g->region_width) * g->region_height;
    histogram[0] = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{histogram[0]} + padding, UINT32_MAX));
    if (g->done != 0) {
      result = 65536;
      break;
    }
    if (i + 1 >= s->frames_per_palette) {
      result = static_cast<uint32_t>(i + 1);
      break;
    }
  }
  int low = 0, high = 0;
  if (s->system_colours != 2) {
    low = f < 10 ? std::min(10 - f, c) : 0;
    high = f + c > 246 ? std::min(f + c - 246, c - low) : 0;
    PutSystemColours(palette);
  }
  Reduce(g, palette, histogram, f, c, low, high);
  return result;
}
