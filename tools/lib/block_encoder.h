// The lossless block encoder: pictures of 8-bit palette indices (width and
// height multiples of 4) become the video data of .vdz frames.
//
// Each 4x4 block is unchanged (equal to the previous picture), solid (one
// colour), two-colour (two colours) or full (three or more). Consecutive
// blocks of one type (solid: of one colour) form runs, split into the lengths
// of the run-length table. All frames share the four prefix-code trees, which
// are built from the statistics of every frame; the lasts restart at each
// frame, as the decoder's do.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tools/lib/vdz_writer.h"

struct Huff;     // qelutil/qelutil.h
struct QELFile;  // qelutil/qelutil.h

namespace vidzotools {

enum BlockType : uint8_t { kTwoColourBlock = 0, kFullBlock = 1, kUnchangedBlock = 2, kSolidBlock = 3 };

// Entries of the run-length table: 1 to 59 for indexes 0 to 58, then 128,
// 256, 512, 1024 and 2048.
inline constexpr int kRunIndexes = 64;
uint32_t RunLength(uint32_t index);
// The index whose run length is `length`, or -1 when the table lacks it.
int RunIndex(uint32_t length);
// Run indexes whose lengths add up to exactly `blocks` (at least 1), longest
// first, in as few pieces as the table allows.
std::vector<uint8_t> SplitRun(uint32_t blocks);

// The type of one block; `colour` is the solid colour. `previous` may be null
// (nothing to leave unchanged). `stride` is the bytes per picture row.
struct BlockChoice {
  BlockType type = kFullBlock;
  uint8_t colour = 0;
};
BlockChoice ChooseBlock(const uint8_t* block, const uint8_t* previous, uint32_t stride);

// One run of the frame: `blocks` consecutive blocks of one type (and colour).
struct BlockRun {
  BlockType type;
  uint8_t colour;
  uint32_t blocks;
};
// The runs that cover the picture, in raster order of the blocks.
std::vector<BlockRun> FrameRuns(const uint8_t* picture, const uint8_t* previous, uint32_t width,
                                uint32_t height);

// One frame to code: its picture, and the picture it is painted over (null
// when unknown, as for the first frame).
struct FrameToCode {
  const uint8_t* picture = nullptr;
  const uint8_t* previous = nullptr;
};

struct EncodedVideo {
  VdzTrees trees;
  std::vector<std::vector<uint8_t>> frames;  // video data per frame, in order
};

// Progress: frames done in the pass, frames in all, and the pass (1 for the
// statistics, 2 for the coding).
using EncodeProgress = std::function<void(size_t done, size_t total, int pass)>;

// Codes the frames of a width x height animation. False with a message when
// the size is not a multiple of 4, a picture is missing, a temporary file
// cannot be written, or the content cannot be coded (every 16-bit value in
// use by the trees).
bool EncodeVideo(uint32_t width, uint32_t height, std::span<const FrameToCode> frames, EncodedVideo& out,
                 std::string& error, const EncodeProgress& progress = {});

// Builds the tree of the 16-bit encoder `h` from its statistics and writes it
// to `output`. When the tree would need a code longer than 30 bits, the
// counts are halved (nonzero ones stay nonzero) until it does not; trial
// builds write nothing. The bytes the unpacked tree needs, or -1 when no tree
// can be built (no 16-bit value is left for the escapes).
int32_t StartEncodeWithinDepth(Huff* h, QELFile* output);

// A whole animation: one picture and one palette per frame.
struct AnimationFrame {
  std::vector<uint8_t> pixels;         // width x height indices, rows top first
  std::array<uint8_t, 768> palette{};  // 8-bit red, green, blue; stored as their top 6 bits
  bool key = false;                    // coded without leaving any block unchanged
};

struct AnimationOptions {
  int32_t frame_rate = 100;  // the header's FrameRate field
  bool ring = false;         // add the ring frame (frame 0 painted over the last)
  EncodeProgress progress;
};

// The content of a .vdz file: palette chunks where the palette changes
// (frame 0 and the ring frame against the palette they follow), and the coded
// video.
bool EncodeAnimation(uint32_t width, uint32_t height, std::span<const AnimationFrame> frames,
                     const AnimationOptions& options, VdzContent& content, std::string& error);

}  // namespace vidzotools
