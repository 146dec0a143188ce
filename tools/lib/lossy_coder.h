// Lossy coding by rate and distortion: for each 4x4 block the coder chooses
// among leaving it unchanged, one colour, the best two colours with their
// mask, and the exact pixels, by weighted colour error against the bits the
// choice costs under the file's code lengths. The result of a frame is the
// picture the decoder will show; the block encoder then codes that picture
// exactly, so that lossy and lossless frames share one block coder.
//
// Errors are squared differences of 8-bit red, green and blue weighed 299,
// 587 and 114 (per 1000). A frame's error percentage is 100 x the square root
// of its error over its reference error: for a key frame the error of
// painting it all in its mean colour, for a regular frame the error of
// leaving the previous picture unchanged. 0 % is exact; 100 % is no better
// than the reference.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "tools/lib/block_encoder.h"

namespace vidzotools {

// Code lengths in bits of the values of the four trees, from the statistics
// of pictures as the block encoder would code them; values the trees lack
// cost an escape.
struct CodeModel {
  std::array<std::vector<float>, 4> bits;
  // Per tree the bits of a value equal to one of the last three values the
  // tree gave (an escape), most recent first; a repeat costs the smaller of
  // this and its own length.
  std::array<std::array<float, 3>, 4> repeat_bits{};
  // Tells models apart: every model built gets its own number.
  uint64_t id = 0;
  // The model of coding `frames` losslessly (the first of each tree
  // statistics pass); a model with 16 bits for every value when it cannot be
  // built.
  static CodeModel FromFrames(uint32_t width, uint32_t height, std::span<const FrameToCode> frames);
};

// What a frame aims at.
struct FrameTarget {
  enum Kind : uint8_t { kLossless, kBytes, kErrorPercent } kind = kLossless;
  double value = 0;  // video bytes, or the error percentage
  // Where the multiplier search starts: the multiplier of an earlier choice
  // of the frame or of a frame like it (0: none).
  double hint = 0;
  // The search may end once a choice that keeps the target comes within
  // this share of it (bytes, or squared error); 0 searches to the end.
  double tolerance = 0;
};

struct FrameChoice {
  std::vector<uint8_t> picture;  // what the decoder shows
  double estimated_bytes = 0;    // video bytes under the model
  double error = 0;              // weighted squared error against the frame
  double reference_error = 0;    // the error the percentage is measured against
  double multiplier = 0;         // the rate–distortion multiplier chosen
};

// Weighted squared error between two 8-bit colours, times 1000.
inline uint32_t ColourError(const uint8_t* a, const uint8_t* b) {
  const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return static_cast<uint32_t>(299 * dr * dr + 587 * dg * dg + 114 * db * db);
}

// The colour errors between the entries of a palette (8-bit components as the
// decoder holds them), and the entries nearest to colours asked for, kept for
// every frame of that palette.
class PaletteTable {
 public:
  explicit PaletteTable(const std::array<uint8_t, 768>& palette);
  const std::array<uint8_t, 768>& palette() const { return palette_; }
  uint32_t Error(uint8_t a, uint8_t b) const { return error_[a * 256u + b]; }
  // The entry nearest to a colour of 8-bit components (the first of equals).
  uint8_t Nearest(uint8_t r, uint8_t g, uint8_t b) const;
  // The entries nearest to entry `a`, `a` itself first.
  static constexpr int kNeighbours = 5;
  const std::array<uint8_t, kNeighbours>& Neighbours(uint8_t a) const { return neighbours_[a]; }

 private:
  std::array<uint8_t, 768> palette_;
  std::vector<uint32_t> error_;
  std::array<std::array<uint8_t, kNeighbours>, 256> neighbours_;
  mutable std::unordered_map<uint32_t, uint8_t> nearest_;
};

// The candidates of a frame's blocks (their colours, masks, errors and bits),
// kept so that the frame can be chosen again (another multiplier, target,
// previous picture or model) without gathering them anew. Under another
// model the kept candidates are priced again; the previous picture only
// changes the error of leaving a block unchanged.
class FrameCandidates {
 public:
  FrameCandidates();
  ~FrameCandidates();
  FrameCandidates(FrameCandidates&&) noexcept;
  FrameCandidates& operator=(FrameCandidates&&) noexcept;
  bool empty() const;
  size_t Bytes() const;  // memory held
  void Clear();

  struct Data;
  std::unique_ptr<Data> data;
};

// Chooses the blocks of `picture` (width x height indices into `palette`,
// 8-bit components as the decoder holds them), painted over `previous` (the
// picture shown before, indices into the same palette; null for a key frame).
// The rate–distortion multiplier of the frame is searched for the target.
FrameChoice ChooseFrame(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
                        const std::array<uint8_t, 768>& palette, const CodeModel& model,
                        const FrameTarget& target);
// The same with the palette's table built once for many frames; with
// `kept`, the frame's candidates are taken from it when it holds them (of
// this picture and palette) and left in it otherwise.
FrameChoice ChooseFrame(uint32_t width, uint32_t height, const uint8_t* picture, const uint8_t* previous,
                        const PaletteTable& table, const CodeModel& model, const FrameTarget& target,
                        FrameCandidates* kept = nullptr);

// The error percentage of a choice (0 when the reference error is 0).
double ErrorPercent(const FrameChoice& choice);

// The weighted squared error of `shown` against `picture`, both indices into
// `palette`, per pixel and over 1000 (for PSNR: 10 log10(255^2 / that)).
double MeanSquaredError(const uint8_t* picture, const uint8_t* shown, size_t pixels,
                        const std::array<uint8_t, 768>& palette);

}  // namespace vidzotools
