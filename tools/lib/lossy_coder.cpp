// The rate–distortion block choice and the code-length model it prices
// blocks with.
#include "tools/lib/lossy_coder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include "qelutil/qelutil.h"
#include "tools/lib/frame_values.h"

namespace vidzotools {
namespace {

constexpr uint32_t kValues = 65536;
constexpr float kEscapeBits = 24;  // a value the tree lacks: an escape and the value
constexpr float kRunExtendBits = 0.5f;
constexpr int kMostColours = 8;  // distinct colours of a block tried as solid and pair colours
// Full blocks near the picture's: the cheap values of the full tree tried for
// each pixel pair, and the multipliers the blocks are made for.
constexpr int kCheapValues = 16;
constexpr double kNearFullMultipliers[] = {1000, 3000, 10000, 30000, 100000};
// The search for a frame's multiplier ends when the bracket is this narrow
// (in natural logarithms).
constexpr double kSearchPrecision = 0.004;

struct HuffCloser {
  void operator()(Huff* h) const { HuffClose(h); }
};

enum CandidateType : uint8_t { kKeep, kOne, kTwo, kAll, kNearAll };

struct Candidate {
  CandidateType type;
  uint8_t low = 0, high = 0;  // kOne: low; kTwo: the pair
  uint16_t mask = 0;          // kTwo: the pixels (4y + x) that take `high`
  uint32_t pixels = 0;        // kNearAll: the block's pixels among the kept ones
  float error = 0;
  float bits = 0;  // without the type value
  // The run the block belongs to: blocks of one type (solid: one colour).
  uint32_t RunKey() const {
    switch (type) {
      case kKeep:
        return kUnchangedBlock;
      case kOne:
        return kSolidBlock | (static_cast<uint32_t>(low) << 8);
      case kTwo:
        return kTwoColourBlock;
      case kAll:
      case kNearAll:
        break;
    }
    return kFullBlock;
  }
};

// The run keys a block's candidates may have: unchanged, two-colour, full,
// and solid in each colour tried.
constexpr int kMostKeys = 3 + kMostColours + 1;

// A block painted in the colour of the solid run before it.
constexpr uint16_t kCarriedColour = 0xFFFF;

// A run a block may end in the frame's dynamic programming.
struct EvalState {
  uint32_t key;
  uint16_t choice;  // the candidate, or kCarriedColour
  int32_t back;     // the state of the block before, -1 at the first
  double cost;
  float bits, error;
};

struct Evaluation {
  double error = 0;
  double bits = 0;
  std::vector<uint16_t> chosen;  // per block: the index into its candidates, or kCarriedColour
  std::vector<uint8_t> colour;   // per block: the carried colour
};

}  // namespace

struct FrameCandidates::Data {
  std::vector<Candidate> candidates;
  std::vector<uint32_t> starts;  // per block its first candidate, and the end
  // The pixels of full blocks near the picture's, with cheaper values.
  std::vector<std::array<uint8_t, 16>> near_pixels;
  // What they were gathered from and priced with.
  const uint8_t* picture = nullptr;
  const PaletteTable* table = nullptr;
  bool keep = false;  // each block's first candidate leaves it unchanged
  uint64_t model = 0;
};

namespace {

class FrameChooser {
 public:
  // Gathers the candidates into `d`, or takes them from it when it holds
  // those of this picture and palette: priced again under another model,
  // with the errors of leaving blocks unchanged measured against `previous`.
  FrameChooser(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
               const PaletteTable& table, const CodeModel& model, FrameCandidates::Data& d)
      : width_(width),
        height_(height),
        picture_(picture),
        previous_(previous),
        palette_(table.palette()),
        table_(table),
        model_(model),
        candidates_(d.candidates),
        starts_(d.starts),
        near_pixels_(d.near_pixels) {
    const uint32_t blocks = (width / 4) * (height / 4);
    if (d.picture != picture || d.table != &table || d.keep != (previous != nullptr) ||
        starts_.size() != blocks + 1) {
      candidates_.clear();
      starts_.clear();
      near_pixels_.clear();
      Gather();
    } else {
      if (d.model != model.id) Price();
      if (previous != nullptr) MeasureKeep();
    }
    d.picture = picture;
    d.table = &table;
    d.keep = previous != nullptr;
    d.model = model.id;
  }

  // The choice of least error plus `lambda` times bits over the whole
  // frame, found by dynamic programming over the blocks in coding order: a
  // block's type value is paid when it starts a run and a run grows for
  // little, so the best choice of a block depends on the run before it. The
  // states of a block are the runs it may end (one per type, one per solid
  // colour), each with the least cost of the frame up to it; a solid run's
  // colour may carry on over blocks that lack it.
  Evaluation Evaluate(double lambda) const {
    const size_t blocks = starts_.size() - 1;
    using State = EvalState;
    std::vector<State>& states = states_;
    std::vector<uint32_t>& first = state_starts_;
    states.clear();
    first.assign(blocks + 1, 0);
    const auto& type_bits = model_.bits[kTypeTree];
    size_t prev_begin = 0, prev_end = 0;
    for (size_t b = 0; b < blocks; ++b) {
      first[b] = static_cast<uint32_t>(states.size());
      // The cheapest state of the block before.
      int32_t best_prev = -1;
      double best_prev_cost = 0;
      for (size_t s = prev_begin; s < prev_end; ++s)
        if (best_prev < 0 || states[s].cost < best_prev_cost) {
          best_prev = static_cast<int32_t>(s);
          best_prev_cost = states[s].cost;
        }
      // The state of the block before that ends a run of `key`, if any.
      auto same = [&](uint32_t key) -> int32_t {
        for (size_t s = prev_begin; s < prev_end; ++s)
          if (states[s].key == key) return static_cast<int32_t>(s);
        return -1;
      };
      // Per run key the block's cheapest candidate: the runs before price
      // the candidates of one key alike.
      struct Pick {
        uint32_t key;
        uint16_t choice;
        float error, bits;
        double cost;
      };
      std::array<Pick, kMostKeys> picks;
      int keys = 0;
      for (uint32_t i = starts_[b]; i < starts_[b + 1]; ++i) {
        const Candidate& c = candidates_[i];
        const Pick p{c.RunKey(), static_cast<uint16_t>(i - starts_[b]), c.error, c.bits,
                     c.error + lambda * c.bits};
        int k = 0;
        while (k < keys && picks[k].key != p.key) ++k;
        if (k == keys) {
          if (keys < kMostKeys) picks[keys++] = p;
        } else if (p.cost < picks[k].cost) {
          picks[k] = p;
        }
      }
      for (int k = 0; k < keys; ++k) {
        const Pick& p = picks[k];
        const float start_bits = p.bits + type_bits[p.key];
        State st{p.key,      p.choice,
                 best_prev,  (best_prev >= 0 ? best_prev_cost : 0) + p.cost + lambda * type_bits[p.key],
                 start_bits, p.error};
        const int32_t run = same(p.key);
        if (run >= 0) {
          const double cost = states[run].cost + p.cost + lambda * kRunExtendBits;
          if (cost < st.cost) st = {p.key, p.choice, run, cost, p.bits + kRunExtendBits, p.error};
        }
        states.push_back(st);
      }
      // Solid runs carried on in their colour over the block (not those that
      // would be dropped below whatever their error).
      double least = 0;
      for (size_t s = first[b]; s < states.size(); ++s)
        if (s == first[b] || states[s].cost < least) least = states[s].cost;
      const size_t own_states = states.size();
      for (size_t s = prev_begin; s < prev_end; ++s) {
        const uint32_t key = states[s].key;
        if ((key & 3) != kSolidBlock) continue;
        const double floor = states[s].cost + lambda * kRunExtendBits;
        if (own_states > first[b] && floor > least &&
            floor >= least + lambda * (type_bits[key] - kRunExtendBits))
          continue;
        int k = 0;
        while (k < keys && picks[k].key != key) ++k;
        if (k < keys) continue;  // the block's own candidate of the colour did better or as well
        const uint8_t colour = static_cast<uint8_t>(key >> 8);
        const float error = SolidError(b, colour);
        states.push_back({key, kCarriedColour, static_cast<int32_t>(s),
                          states[s].cost + error + lambda * kRunExtendBits, kRunExtendBits, error});
      }
      // States that cost more than starting their run anew after the
      // cheapest one (bar the run's growing) cannot lead to a better choice.
      double best = 0;
      for (size_t s = first[b]; s < states.size(); ++s)
        if (s == first[b] || states[s].cost < best) best = states[s].cost;
      size_t kept = first[b];
      for (size_t s = first[b]; s < states.size(); ++s) {
        const double margin = lambda * (type_bits[states[s].key] - kRunExtendBits);
        if (states[s].cost <= best || states[s].cost < best + margin) states[kept++] = states[s];
      }
      states.resize(kept);
      prev_begin = first[b];
      prev_end = states.size();
    }
    Evaluation e;
    e.chosen.resize(blocks);
    e.colour.resize(blocks);
    int32_t s = -1;
    for (size_t k = prev_begin; k < prev_end; ++k)
      if (s < 0 || states[k].cost < states[s].cost) s = static_cast<int32_t>(k);
    for (size_t b = blocks; b-- > 0 && s >= 0;) {
      const State& st = states[s];
      e.chosen[b] = st.choice;
      e.colour[b] = static_cast<uint8_t>(st.key >> 8);
      e.error += st.error;
      e.bits += st.bits;
      s = st.back;
    }
    return e;
  }

  // The picture the choice shows.
  std::vector<uint8_t> Paint(const Evaluation& e) const {
    std::vector<uint8_t> out(static_cast<size_t>(width_) * height_);
    const uint32_t per_row = width_ / 4;
    for (size_t b = 0; b + 1 < starts_.size(); ++b) {
      Candidate carried{kOne};
      carried.low = e.colour[b];
      const Candidate& c = e.chosen[b] == kCarriedColour ? carried : candidates_[starts_[b] + e.chosen[b]];
      const size_t offset = (b / per_row) * 4 * width_ + (b % per_row) * 4;
      for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
          const size_t p = offset + y * width_ + x;
          switch (c.type) {
            case kKeep:
              out[p] = previous_[p];
              break;
            case kOne:
              out[p] = c.low;
              break;
            case kTwo:
              out[p] = (c.mask >> (4 * y + x)) & 1 ? c.high : c.low;
              break;
            case kAll:
              out[p] = picture_[p];
              break;
            case kNearAll:
              out[p] = near_pixels_[c.pixels][4 * y + x];
              break;
          }
        }
      }
    }
    return out;
  }

 private:
  uint32_t Error(uint8_t shown, uint8_t wanted) const { return table_.Error(shown, wanted); }

  // The palette entry nearest to a colour given as sums over `n` pixels
  // (rounded to 8-bit components).
  uint8_t Nearest(const double sum[3], double n) const {
    auto round = [&](double s) { return static_cast<uint8_t>(std::clamp(s / n + 0.5, 0.0, 255.0)); };
    return table_.Nearest(round(sum[0]), round(sum[1]), round(sum[2]));
  }

  // A two-colour block of the pair: each pixel takes the nearer colour.
  // `index` gives each pixel's place among the block's `colours`.
  bool PairCandidate(uint8_t a, uint8_t b, const std::array<uint8_t, 16>& index,
                     const std::array<uint8_t, 16>& colours, const std::array<int, 16>& counts, int distinct,
                     Candidate& c) const {
    c = Candidate{kTwo};
    c.low = std::min(a, b);
    c.high = std::max(a, b);
    std::array<bool, 16> takes_high{};
    for (int k = 0; k < distinct; ++k) {
      const uint32_t to_low = Error(c.low, colours[k]), to_high = Error(c.high, colours[k]);
      takes_high[k] = to_high < to_low;
      c.error += static_cast<float>(counts[k] * std::min(to_low, to_high));
    }
    for (int p = 0; p < 16; ++p)
      if (takes_high[index[p]]) c.mask = static_cast<uint16_t>(c.mask | (1u << p));
    if (c.mask == 0 || c.mask == 0xFFFF) return false;  // one colour: a solid block
    c.bits = PairBits(c.low, c.high, c.mask);
    return true;
  }

  // Of the two-colour candidates from `first` on (one type, so priced alike
  // apart from their own bits), keeps those on the lower convex hull of bits
  // against error: only they can be the cheapest at some multiplier.
  void KeepLowerHull(size_t first) {
    auto begin = candidates_.begin() + static_cast<std::ptrdiff_t>(first);
    std::sort(begin, candidates_.end(), [](const Candidate& a, const Candidate& b) {
      return a.bits != b.bits ? a.bits < b.bits : a.error < b.error;
    });
    size_t kept = first;
    for (size_t i = first; i < candidates_.size(); ++i) {
      const Candidate& c = candidates_[i];
      // Fewer bits come first: a later candidate must have less error.
      if (kept > first && c.error >= candidates_[kept - 1].error) continue;
      while (kept >= first + 2) {
        const Candidate& a = candidates_[kept - 2];
        const Candidate& b = candidates_[kept - 1];
        // b lies on or above the line from a to c.
        const double cross =
            (static_cast<double>(b.bits) - a.bits) * (static_cast<double>(c.error) - a.error) -
            (static_cast<double>(b.error) - a.error) * (static_cast<double>(c.bits) - a.bits);
        if (cross > 0) break;
        --kept;
      }
      candidates_[kept++] = c;
    }
    candidates_.resize(kept);
  }

  float SolidError(size_t block, uint8_t colour) const {
    const uint32_t per_row = width_ / 4;
    const size_t offset = (block / per_row) * 4 * width_ + (block % per_row) * 4;
    float error = 0;
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 4; ++x)
        error += static_cast<float>(Error(colour, picture_[offset + y * width_ + x]));
    return error;
  }

  // The bits of every candidate under the model, the two-colour candidates
  // of each block cut again to those that can win, and the full blocks near
  // the picture's made anew for the values the model makes cheap.
  void Price() {
    std::vector<Candidate> old;
    old.swap(candidates_);
    std::vector<uint32_t> old_starts;
    old_starts.swap(starts_);
    candidates_.reserve(old.size());
    starts_.reserve(old_starts.size());
    near_pixels_.clear();
    FindCheapValues();
    const uint32_t per_row = width_ / 4;
    std::vector<Candidate> pairs;
    for (size_t b = 0; b + 1 < old_starts.size(); ++b) {
      starts_.push_back(static_cast<uint32_t>(candidates_.size()));
      pairs.clear();
      const size_t offset = (b / per_row) * 4 * width_ + (b % per_row) * 4;
      bool full = false;
      for (uint32_t i = old_starts[b]; i < old_starts[b + 1]; ++i) {
        Candidate c = old[i];
        if (c.type == kNearAll) continue;
        if (c.type == kTwo) {
          c.bits = PairBits(c.low, c.high, c.mask);
          pairs.push_back(c);
          continue;
        }
        if (c.type == kAll) {
          c.bits = FullBits(offset);
          full = true;
        }
        candidates_.push_back(c);
      }
      const size_t first = candidates_.size();
      candidates_.insert(candidates_.end(), pairs.begin(), pairs.end());
      KeepLowerHull(first);
      if (full) {
        uint8_t px[16];
        for (uint32_t y = 0; y < 4; ++y)
          for (uint32_t x = 0; x < 4; ++x) px[4 * y + x] = picture_[offset + y * width_ + x];
        const size_t near = candidates_.size();
        AddNearFull(px);
        KeepLowerHull(near);
      }
    }
    starts_.push_back(static_cast<uint32_t>(candidates_.size()));
  }

  // The error of leaving each block unchanged over the previous picture.
  void MeasureKeep() {
    const uint32_t per_row = width_ / 4;
    for (size_t b = 0; b + 1 < starts_.size(); ++b) {
      const size_t offset = (b / per_row) * 4 * width_ + (b % per_row) * 4;
      candidates_[starts_[b]].error = KeepError(offset);
    }
  }

  float KeepError(size_t offset) const {
    float error = 0;
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 4; ++x) {
        const size_t p = offset + y * width_ + x;
        error += static_cast<float>(Error(previous_[p], picture_[p]));
      }
    return error;
  }

  float PairBits(uint8_t low, uint8_t high, uint16_t mask) const {
    return model_.bits[kMonoColourTree][low | (static_cast<uint32_t>(high) << 8)] +
           model_.bits[kMonoMapTree][mask];
  }

  float FullBits(size_t offset) const { return FullBits(picture_ + offset, width_); }

  float FullBits(const uint8_t* block, size_t stride) const {
    Recent recent;
    float bits = 0;
    for (uint32_t y = 0; y < 4; ++y) {
      const uint8_t* r = block + y * stride;
      bits += ValueBits(r[2] | (static_cast<uint32_t>(r[3]) << 8), recent);
      bits += ValueBits(r[0] | (static_cast<uint32_t>(r[1]) << 8), recent);
    }
    return bits;
  }

  // The last three values of the full tree within a block (the block's
  // first values are priced as if nothing came before).
  struct Recent {
    std::array<uint32_t, 3> v{kValues, kValues, kValues};
    void Push(uint32_t value) {
      if (value == v[0]) return;
      v[2] = v[1];
      v[1] = v[0];
      v[0] = value;
    }
  };

  // The bits of a full tree value after `recent`, which takes it.
  float ValueBits(uint32_t value, Recent& recent) const {
    const float bits = RepeatBits(value, recent);
    recent.Push(value);
    return bits;
  }

  float RepeatBits(uint32_t value, const Recent& recent) const {
    float bits = model_.bits[kFullTree][value];
    for (int i = 0; i < 3; ++i)
      if (recent.v[i] == value) return std::min(bits, model_.repeat_bits[kFullTree][i]);
    return bits;
  }

  // The values of the full tree with the shortest codes.
  void FindCheapValues() {
    std::vector<uint32_t> values(kValues);
    for (uint32_t v = 0; v < kValues; ++v) values[v] = v;
    const auto& bits = model_.bits[kFullTree];
    std::partial_sort(values.begin(), values.begin() + kCheapValues, values.end(),
                      [&](uint32_t a, uint32_t b) { return bits[a] != bits[b] ? bits[a] < bits[b] : a < b; });
    cheap_.assign(values.begin(), values.begin() + kCheapValues);
  }

  // Full blocks whose pixel pairs give way to cheaper values of the full
  // tree where that pays at a few multipliers: each pair, in the order the
  // decoder fetches them, takes the value of least error plus multiplier
  // times bits among its own, the cheap ones, those of colours near its
  // two, and the values fetched just before it (which cost an escape).
  void AddNearFull(const uint8_t px[16]) {
    struct Option {
      uint32_t value;
      float error, bits;
    };
    // Per pair its own value first, then the others that cost fewer bits
    // (only they can be chosen, repeats aside).
    constexpr int kMostOptions = kCheapValues + PaletteTable::kNeighbours * PaletteTable::kNeighbours;
    std::array<std::array<Option, kMostOptions>, 8> options;
    std::array<int, 8> count{};
    const auto& bits = model_.bits[kFullTree];
    for (int k = 0; k < 8; ++k) {
      const int row = k / 2, left = k % 2 == 0 ? 2 : 0;
      const uint8_t a = px[4 * row + left], b = px[4 * row + left + 1];
      const uint32_t own = a | (static_cast<uint32_t>(b) << 8);
      const float own_bits = bits[own];
      options[k][count[k]++] = {own, 0, own_bits};
      auto add = [&](uint32_t v) {
        const float v_bits = bits[v];
        if (v_bits >= own_bits) return;
        const float error =
            static_cast<float>(Error(static_cast<uint8_t>(v), a) + Error(static_cast<uint8_t>(v >> 8), b));
        options[k][count[k]++] = {v, error, v_bits};
      };
      for (uint32_t v : cheap_) add(v);
      for (uint8_t x : table_.Neighbours(a))
        for (uint8_t y : table_.Neighbours(b))
          if (x != a || y != b) add(x | (static_cast<uint32_t>(y) << 8));
    }
    for (double lambda : kNearFullMultipliers) {
      Candidate c{kNearAll};
      std::array<uint8_t, 16> out;
      Recent recent;
      bool changed = false;
      for (int k = 0; k < 8; ++k) {
        const int row = k / 2, left = k % 2 == 0 ? 2 : 0;
        const uint8_t a = px[4 * row + left], b = px[4 * row + left + 1];
        uint32_t best = 0;
        float best_error = 0, best_bits = 0;
        double best_cost = -1;
        auto consider = [&](uint32_t v, float error, float bits) {
          const double cost = error + lambda * bits;
          if (best_cost < 0 || cost < best_cost) {
            best = v;
            best_error = error;
            best_bits = bits;
            best_cost = cost;
          }
        };
        // A value among the last three also comes with its escape's bits
        // below.
        for (int i = 0; i < count[k]; ++i)
          consider(options[k][i].value, options[k][i].error, options[k][i].bits);
        for (uint32_t v : recent.v)
          if (v < kValues)
            consider(v,
                     static_cast<float>(Error(static_cast<uint8_t>(v), a) +
                                        Error(static_cast<uint8_t>(v >> 8), b)),
                     RepeatBits(v, recent));
        recent.Push(best);
        c.error += best_error;
        c.bits += best_bits;
        changed = changed || best_error > 0;
        out[4 * row + left] = static_cast<uint8_t>(best);
        out[4 * row + left + 1] = static_cast<uint8_t>(best >> 8);
      }
      if (!changed) continue;
      // The same choice as at the multiplier before.
      const Candidate& last = candidates_.back();
      if (last.type == kNearAll && last.bits == c.bits && last.error == c.error) continue;
      c.pixels = static_cast<uint32_t>(near_pixels_.size());
      near_pixels_.push_back(out);
      candidates_.push_back(c);
    }
  }

  void Gather() {
    FindCheapValues();
    const uint32_t per_row = width_ / 4;
    const uint32_t blocks = per_row * (height_ / 4);
    starts_.reserve(blocks + 1);
    for (uint32_t b = 0; b < blocks; ++b) {
      starts_.push_back(static_cast<uint32_t>(candidates_.size()));
      const size_t offset = static_cast<size_t>(b / per_row) * 4 * width_ + (b % per_row) * 4;
      AddCandidates(offset);
    }
    starts_.push_back(static_cast<uint32_t>(candidates_.size()));
  }

  void AddCandidates(size_t offset) {
    uint8_t px[16];
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 4; ++x) px[4 * y + x] = picture_[offset + y * width_ + x];
    // The block's colours, most frequent first.
    std::array<uint8_t, 16> colours{};
    std::array<int, 16> counts{};
    std::array<uint8_t, 16> index{};
    int distinct = 0;
    for (int p = 0; p < 16; ++p) {
      int k = 0;
      while (k < distinct && colours[k] != px[p]) ++k;
      if (k == distinct) colours[distinct++] = px[p];
      ++counts[k];
      index[p] = static_cast<uint8_t>(k);
    }
    std::array<int, 16> order{};
    for (int k = 0; k < distinct; ++k) order[k] = k;
    std::sort(order.begin(), order.begin() + distinct, [&](int a, int b) { return counts[a] > counts[b]; });
    const int tried = std::min(distinct, kMostColours);

    if (previous_ != nullptr) {
      Candidate c{kKeep};
      c.error = KeepError(offset);
      candidates_.push_back(c);
    }
    for (int i = 0; i < tried; ++i) {
      Candidate c{kOne};
      c.low = colours[order[i]];
      for (int k = 0; k < distinct; ++k) c.error += static_cast<float>(counts[k] * Error(c.low, colours[k]));
      candidates_.push_back(c);
    }
    const size_t first_pair = candidates_.size();
    int best_pair = -1;
    for (int i = 0; i < tried; ++i) {
      for (int j = i + 1; j < tried; ++j) {
        Candidate c;
        if (!PairCandidate(colours[order[i]], colours[order[j]], index, colours, counts, distinct, c))
          continue;
        if (best_pair < 0 || c.error < candidates_[best_pair].error)
          best_pair = static_cast<int>(candidates_.size());
        candidates_.push_back(c);
      }
    }
    const Candidate pair = best_pair >= 0 ? candidates_[best_pair] : Candidate{kTwo};
    KeepLowerHull(first_pair);
    // Colours of the palette that the block lacks: nearest to the block's
    // mean, and nearest to the means of the best pair's two halves.
    double sum[3] = {0, 0, 0};
    for (uint8_t p : px)
      for (int k = 0; k < 3; ++k) sum[k] += palette_[3 * p + k];
    const uint8_t mean = Nearest(sum, 16);
    if (std::find(colours.begin(), colours.begin() + tried, mean) == colours.begin() + tried) {
      Candidate c{kOne};
      c.low = mean;
      for (int k = 0; k < distinct; ++k) c.error += static_cast<float>(counts[k] * Error(mean, colours[k]));
      candidates_.push_back(c);
    }
    if (best_pair >= 0 && distinct > 2) {
      double halves[2][3] = {{0, 0, 0}, {0, 0, 0}};
      int n[2] = {0, 0};
      for (int p = 0; p < 16; ++p) {
        const int half = (pair.mask >> p) & 1;
        ++n[half];
        for (int k = 0; k < 3; ++k) halves[half][k] += palette_[3 * px[p] + k];
      }
      const uint8_t a = Nearest(halves[0], n[0]), b = Nearest(halves[1], n[1]);
      Candidate c;
      if (a != b && !(std::min(a, b) == pair.low && std::max(a, b) == pair.high) &&
          PairCandidate(a, b, index, colours, counts, distinct, c))
        candidates_.push_back(c);
    }
    if (distinct > 2) {
      Candidate c{kAll};
      c.bits = FullBits(offset);
      candidates_.push_back(c);
      const size_t first_near = candidates_.size();
      AddNearFull(px);
      KeepLowerHull(first_near);
    }
  }

  uint32_t width_, height_;
  const uint8_t* picture_;
  const uint8_t* previous_;
  const std::array<uint8_t, 768>& palette_;
  const PaletteTable& table_;
  const CodeModel& model_;
  std::vector<Candidate>& candidates_;
  std::vector<uint32_t>& starts_;
  std::vector<std::array<uint8_t, 16>>& near_pixels_;
  std::vector<uint32_t> cheap_;
  // Working room of the choice.
  mutable std::vector<uint32_t> state_starts_;
  mutable std::vector<EvalState> states_;
};

double ReferenceError(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
                      const std::array<uint8_t, 768>& palette) {
  const size_t pixels = static_cast<size_t>(width) * height;
  double total = 0;
  if (previous != nullptr) {
    for (size_t p = 0; p < pixels; ++p)
      total += ColourError(&palette[3 * previous[p]], &palette[3 * picture[p]]);
    return total;
  }
  double mean[3] = {0, 0, 0};
  for (size_t p = 0; p < pixels; ++p)
    for (int k = 0; k < 3; ++k) mean[k] += palette[3 * picture[p] + k];
  for (double& m : mean) m /= static_cast<double>(pixels);
  for (size_t p = 0; p < pixels; ++p) {
    const uint8_t* c = &palette[3 * picture[p]];
    const double dr = c[0] - mean[0], dg = c[1] - mean[1], db = c[2] - mean[2];
    total += 299 * dr * dr + 587 * dg * dg + 114 * db * db;
  }
  return total;
}

}  // namespace

PaletteTable::PaletteTable(const std::array<uint8_t, 768>& palette) : palette_(palette), error_(kValues) {
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) error_[a * 256 + b] = ColourError(&palette[3 * a], &palette[3 * b]);
  std::array<uint8_t, 256> order;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) order[b] = static_cast<uint8_t>(b);
    // The entry itself first, then the nearest (the first of equals).
    std::partial_sort(order.begin(), order.begin() + kNeighbours, order.end(), [&](uint8_t x, uint8_t y) {
      if ((x == a) != (y == a)) return x == a;
      const uint32_t ex = Error(static_cast<uint8_t>(a), x), ey = Error(static_cast<uint8_t>(a), y);
      return ex != ey ? ex < ey : x < y;
    });
    std::copy(order.begin(), order.begin() + kNeighbours, neighbours_[a].begin());
  }
}

uint8_t PaletteTable::Nearest(uint8_t r, uint8_t g, uint8_t b) const {
  const uint32_t key = static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
  auto it = nearest_.find(key);
  if (it != nearest_.end()) return it->second;
  const uint8_t wanted[3] = {r, g, b};
  uint32_t best = 0;
  uint8_t pick = 0;
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = ColourError(&palette_[3 * i], wanted);
    if (i == 0 || e < best) {
      best = e;
      pick = static_cast<uint8_t>(i);
    }
  }
  nearest_.emplace(key, pick);
  return pick;
}

FrameCandidates::FrameCandidates() = default;
FrameCandidates::~FrameCandidates() = default;
FrameCandidates::FrameCandidates(FrameCandidates&&) noexcept = default;
FrameCandidates& FrameCandidates::operator=(FrameCandidates&&) noexcept = default;

bool FrameCandidates::empty() const {
  return !data || data->starts.empty();
}

size_t FrameCandidates::Bytes() const {
  if (!data) return 0;
  return data->candidates.capacity() * sizeof(Candidate) + data->starts.capacity() * sizeof(uint32_t) +
         data->near_pixels.capacity() * 16;
}

void FrameCandidates::Clear() {
  data.reset();
}

CodeModel CodeModel::FromFrames(uint32_t width, uint32_t height, std::span<const FrameToCode> frames) {
  static std::atomic<uint64_t> models{0};
  CodeModel model;
  model.id = ++models;
  for (auto& b : model.bits) b.assign(kValues, 16.0f);
  std::unique_ptr<Huff, HuffCloser> trees[4];
  for (auto& t : trees) {
    t.reset(HuffOpen(0));
    if (!t) return model;
    HuffInitStats(t.get());
  }
  for (const FrameToCode& f : frames) {
    for (auto& t : trees) HuffInitLasts(t.get());
    ForEachFrameValue(f.picture, f.previous, width, height,
                      [&](int tree, uint32_t value) { HuffAddStat(trees[tree].get(), value); });
  }
  for (int t = 0; t < 4; ++t) {
    model.repeat_bits[t].fill(kEscapeBits);
    if (StartEncodeWithinDepth(trees[t].get(), nullptr) < 0) continue;
    auto known = [&](uint32_t v) {
      const uint8_t length = trees[t]->lengths[v];
      return trees[t]->codes != nullptr && length != 0 && length != 255;
    };
    for (uint32_t v = 0; v < kValues; ++v) model.bits[t][v] = known(v) ? trees[t]->lengths[v] : kEscapeBits;
    for (int i = 0; i < 3; ++i) {
      const uint32_t symbol = trees[t]->escape[i];
      bool usable = symbol < kValues && known(symbol);
      for (int j = 0; j < i; ++j) usable = usable && trees[t]->escape[j] != symbol;
      if (usable) model.repeat_bits[t][i] = trees[t]->lengths[symbol];
    }
    // An escape's symbol is a value no block gave: taking it would cost a
    // new leaf, not the escape's code.
    for (int i = 0; i < 3; ++i)
      if (trees[t]->escape[i] < kValues) model.bits[t][trees[t]->escape[i]] = kEscapeBits;
  }
  return model;
}

FrameChoice ChooseFrame(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
                        const std::array<uint8_t, 768>& palette, const CodeModel& model,
                        const FrameTarget& target) {
  return ChooseFrame(width, height, picture, previous, PaletteTable(palette), model, target);
}

FrameChoice ChooseFrame(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
                        const PaletteTable& table, const CodeModel& model, const FrameTarget& target,
                        FrameCandidates* kept) {
  FrameCandidates own;
  FrameCandidates& candidates = kept != nullptr ? *kept : own;
  if (!candidates.data) candidates.data = std::make_unique<FrameCandidates::Data>();
  FrameChooser chooser(width, height, picture, previous, table, model, *candidates.data);
  FrameChoice out;
  out.reference_error = ReferenceError(width, height, picture, previous, table.palette());
  // Below the smallest colour error over the bits of a frame's costliest
  // block, so that this multiplier keeps every block exact.
  constexpr double kExact = 1e-4;
  constexpr double kMost = 1e10;
  auto fits = [&](const Evaluation& e) {
    if (target.kind == FrameTarget::kBytes) return e.bits <= target.value * 8;
    const double share = target.value / 100.0;
    return e.error <= share * share * out.reference_error;
  };
  // Bits fall and the error grows with the multiplier: for a size the
  // smallest multiplier that fits it, for an error the largest that keeps it.
  // The search narrows, in logarithms, a bracket between a multiplier that
  // fits (`good`, whose choice is `best`) and one that does not (`bad`).
  const bool size = target.kind == FrameTarget::kBytes;
  const double least = std::log(kExact), most = std::log(kMost);
  Evaluation best;
  double good = least, bad = most;
  double multiplier = kExact;
  if (target.kind == FrameTarget::kLossless) {
    best = chooser.Evaluate(kExact);
  } else if (target.hint > 0) {
    // Gallop from the multiplier of an earlier choice of the frame to a
    // bracket, in steps that double.
    const double start = std::clamp(std::log(target.hint), least, most);
    const double bad_end = size ? least : most, good_end = size ? most : least;
    Evaluation e = chooser.Evaluate(std::exp(start));
    bool have_bad = true;
    if (fits(e)) {
      good = start;
      best = std::move(e);
      bad = bad_end;
      have_bad = false;
      for (double step = 0.25; good != bad_end; step *= 2) {
        const double x = size ? std::max(bad_end, good - step) : std::min(bad_end, good + step);
        e = chooser.Evaluate(std::exp(x));
        if (!fits(e)) {
          bad = x;
          have_bad = true;
          break;
        }
        good = x;
        best = std::move(e);
      }
    } else {
      bad = start;
      bool found = false;
      for (double step = 0.25; bad != good_end; step *= 2) {
        const double x = size ? std::min(good_end, bad + step) : std::max(good_end, bad - step);
        e = chooser.Evaluate(std::exp(x));
        if (fits(e)) {
          good = x;
          best = std::move(e);
          found = true;
          break;
        }
        bad = x;
      }
      if (!found) {
        // Nothing fits: the smallest the frame gets (a size), or exact.
        good = bad = good_end;
        best = chooser.Evaluate(std::exp(good_end));
      }
    }
    if (!have_bad) bad = good;
  } else {
    best = chooser.Evaluate(kExact);
    if (size && !fits(best)) {
      bad = least;
      good = most;
      best = chooser.Evaluate(kMost);  // the smallest the frame gets, even when over
      if (!fits(best)) bad = good;
    } else if (size) {
      bad = good;
    }
  }
  // Close enough to the target to stop.
  auto near = [&](const Evaluation& e) {
    if (target.tolerance <= 0) return false;
    if (size) return e.bits >= (1 - target.tolerance) * target.value * 8;
    const double share = target.value / 100.0;
    return e.error >= (1 - target.tolerance) * share * share * out.reference_error;
  };
  while (std::abs(good - bad) > kSearchPrecision && !near(best)) {
    const double mid = (good + bad) / 2;
    Evaluation e = chooser.Evaluate(std::exp(mid));
    if (fits(e)) {
      good = mid;
      best = std::move(e);
    } else {
      bad = mid;
    }
  }
  multiplier = std::exp(good);

  out.picture = chooser.Paint(best);
  out.estimated_bytes = best.bits / 8;
  out.error = best.error;
  out.multiplier = multiplier;
  return out;
}

double ErrorPercent(const FrameChoice& choice) {
  if (choice.reference_error <= 0) return 0;
  return 100.0 * std::sqrt(choice.error / choice.reference_error);
}

double MeanSquaredError(const uint8_t* picture, const uint8_t* shown, size_t pixels,
                        const std::array<uint8_t, 768>& palette) {
  if (pixels == 0) return 0;
  double total = 0;
  for (size_t p = 0; p < pixels; ++p) total += ColourError(&palette[3 * picture[p]], &palette[3 * shown[p]]);
  return total / 1000.0 / static_cast<double>(pixels);
}

}  // namespace vidzotools
