// Random value streams for the encoder-to-decoder round trips: a chosen set
// of distinct values drawn flat or skewed, with a chance of repeating one of
// the three values just emitted (which is what the escape symbols code).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "qelutil/qelutil.h"
#include "support/bit_stream.h"

namespace prefixcodes_test {

struct StreamShape {
  uint32_t range = 256;    // values lie in [0, range)
  uint32_t distinct = 10;  // how many different values are drawn from
  double skew = 1.0;       // 1 = flat; larger favours the first values strongly
  double repeat = 0.0;     // chance of repeating one of the last three values
  uint32_t length = 1000;
};

inline std::vector<uint32_t> MakeStream(std::mt19937& rng, const StreamShape& shape) {
  std::vector<uint32_t> pool(shape.range);
  for (uint32_t i = 0; i < shape.range; ++i) pool[i] = i;
  std::shuffle(pool.begin(), pool.end(), rng);
  pool.resize(std::min(shape.distinct, shape.range));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<uint32_t> out;
  out.reserve(shape.length);
  while (out.size() < shape.length) {
    if (out.size() >= 3 && unit(rng) < shape.repeat) {
      out.push_back(out[out.size() - 1 - std::uniform_int_distribution<size_t>(0, 2)(rng)]);
      continue;
    }
    const double u = std::pow(unit(rng), shape.skew);
    out.push_back(pool[std::min(pool.size() - 1, static_cast<size_t>(u * static_cast<double>(pool.size())))]);
  }
  return out;
}

inline StreamShape RandomShape(std::mt19937& rng, uint32_t range) {
  static const uint32_t kDistinct[] = {1, 2, 3, 8, 60, 255, 256, 1000, 5000, 30000};
  static const double kSkew[] = {1.0, 2.0, 6.0};
  static const double kRepeat[] = {0.0, 0.05, 0.4, 0.9};
  StreamShape s;
  s.range = range;
  do {
    s.distinct = kDistinct[std::uniform_int_distribution<int>(0, 9)(rng)];
  } while (s.distinct > range);
  s.skew = kSkew[std::uniform_int_distribution<int>(0, 2)(rng)];
  s.repeat = kRepeat[std::uniform_int_distribution<int>(0, 3)(rng)];
  s.length = std::uniform_int_distribution<uint32_t>(1, 4000)(rng);
  return s;
}

using HuffPtr = std::unique_ptr<Huff, decltype(&HuffClose)>;

inline uint64_t BitPos(QELFile* f) {
  return uint64_t{QELFileGetPos(f)} * 8 + QELFileBitPos(f);
}

}  // namespace prefixcodes_test
