// Coding the video of all frames with four shared 16-bit prefix-code
// encoders: a statistics pass over every frame, the trees, then a coding pass
// that writes each frame's video data from a byte boundary of its own.
#include <memory>
#include <vector>

#include "qelutil/qelutil.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/frame_values.h"
#include "tools/lib/scratch_file.h"

namespace vidzotools {
namespace {

constexpr uint32_t kValues = 65536;

struct HuffCloser {
  void operator()(Huff* h) const { HuffClose(h); }
};
using HuffPtr = std::unique_ptr<Huff, HuffCloser>;

// The statistics HuffStartEncode consumes, kept to run it again.
struct SavedStats {
  std::vector<uint32_t> counts;
  uint32_t escape[3];
  uint8_t has_stats;

  explicit SavedStats(const Huff* h)
      : counts(h->codes, h->codes + kValues),
        escape{h->escape[0], h->escape[1], h->escape[2]},
        has_stats(h->has_stats) {}
  void Restore(Huff* h) const {
    std::copy(counts.begin(), counts.end(), h->codes);
    for (int i = 0; i < 3; ++i) h->escape[i] = escape[i];
    h->has_stats = has_stats;
  }
  // Halves every count, keeping the nonzero ones nonzero, so that the tree
  // becomes shallower.
  void Flatten() {
    for (uint32_t& c : counts) c = (c + 1) / 2;
    for (uint32_t& e : escape) e /= 2;
  }
};

}  // namespace

int32_t StartEncodeWithinDepth(Huff* h, QELFile* output) {
  SavedStats stats(h);
  for (int attempt = 0; attempt < 40; ++attempt) {
    HuffSetOutput(h, nullptr);
    const int32_t trial = HuffStartEncode(h);
    stats.Restore(h);
    if (trial >= 0) {
      HuffSetOutput(h, output);
      return HuffStartEncode(h);
    }
    stats.Flatten();
    stats.Restore(h);
  }
  return -1;
}

namespace {

// True when some 16-bit value is the leaf of no tree, so that the decoder can
// tell inner nodes from leaves (escape leaves count as the value 0).
bool LeavesLeaveAValueFree(const std::vector<HuffPtr>& trees) {
  std::vector<bool> used(kValues, false);
  used[0] = true;
  for (const HuffPtr& h : trees)
    for (uint32_t v = 0; v < kValues; ++v)
      if (h->codes[v] != 0) used[v] = true;
  for (uint32_t v = 0; v < kValues; ++v)
    if (!used[v]) return true;
  return false;
}

bool CheckFrames(uint32_t width, uint32_t height, std::span<const FrameToCode> frames, std::string& error) {
  if (width == 0 || height == 0 || width % 4 != 0 || height % 4 != 0) {
    error = "width and height must be positive multiples of 4";
    return false;
  }
  if (frames.empty()) {
    error = "there are no frames to code";
    return false;
  }
  for (const FrameToCode& f : frames) {
    if (f.picture == nullptr) {
      error = "a frame has no picture";
      return false;
    }
  }
  return true;
}

}  // namespace

bool EncodeVideo(uint32_t width, uint32_t height, std::span<const FrameToCode> frames, EncodedVideo& out,
                 std::string& error, const EncodeProgress& progress) {
  out = EncodedVideo{};
  if (!CheckFrames(width, height, frames, error)) return false;

  std::vector<HuffPtr> trees;
  for (int t = 0; t < 4; ++t) {
    trees.emplace_back(HuffOpen(0));
    if (!trees.back()) {
      error = "out of memory";
      return false;
    }
    HuffInitStats(trees.back().get());
  }

  // Statistics: exactly the values the coding pass will code, in its order,
  // with the lasts restarting at every frame.
  for (size_t i = 0; i < frames.size(); ++i) {
    for (const HuffPtr& h : trees) HuffInitLasts(h.get());
    ForEachFrameValue(frames[i].picture, frames[i].previous, width, height,
                      [&](int tree, uint32_t value) { HuffAddStat(trees[tree].get(), value); });
    if (progress) progress(i + 1, frames.size(), 1);
  }
  if (!LeavesLeaveAValueFree(trees)) {
    error = "the pictures use every 16-bit value in the coding trees; they are too detailed to code";
    return false;
  }

  ScratchFile scratch;
  if (scratch.name().empty()) {
    error = "cannot create a temporary file";
    return false;
  }
  QELFile* file = QELFileCreate(65536, scratch.name().c_str());
  if (file == nullptr) {
    error = "cannot create the temporary file " + scratch.name();
    return false;
  }
  uint32_t sizes[4];
  for (int t = 0; t < 4; ++t) {
    const int32_t size = StartEncodeWithinDepth(trees[t].get(), file);
    if (size < 0) {
      QELFileClose(file);
      error = "the coding trees cannot be built for these pictures";
      return false;
    }
    sizes[t] = static_cast<uint32_t>(size);
  }
  QELFileByteAlign(file);
  std::vector<uint64_t> ends{QELFileGetPos(file)};

  for (size_t i = 0; i < frames.size(); ++i) {
    for (const HuffPtr& h : trees) HuffInitLasts(h.get());
    ForEachFrameValue(frames[i].picture, frames[i].previous, width, height,
                      [&](int tree, uint32_t value) { HuffEncode(trees[tree].get(), value); });
    QELFileByteAlign(file);
    ends.push_back(QELFileGetPos(file));
    if (progress) progress(i + 1, frames.size(), 2);
  }
  QELFileFlush(file);
  const bool write_failed = file->write_error != 0;
  QELFileClose(file);

  std::vector<uint8_t> bytes;
  bool consistent = !write_failed && ReadFileBytes(scratch.name(), bytes) && ends.back() == bytes.size();
  for (size_t i = 1; consistent && i < ends.size(); ++i) consistent = ends[i - 1] <= ends[i];
  if (!consistent) {
    error = "cannot write the temporary file " + scratch.name() + " (disk full, or over 4 GiB of video)";
    return false;
  }

  out.trees.packed.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(ends[0]));
  out.trees.mono_map_size = sizes[kMonoMapTree];
  out.trees.mono_colour_size = sizes[kMonoColourTree];
  out.trees.full_size = sizes[kFullTree];
  out.trees.type_size = sizes[kTypeTree];
  for (size_t i = 0; i < frames.size(); ++i)
    out.frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(ends[i]),
                            bytes.begin() + static_cast<std::ptrdiff_t>(ends[i + 1]));
  return true;
}

}  // namespace vidzotools
