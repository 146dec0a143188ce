#include "video_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "qelutil/qelutil.h"
#include "support/bit_stream.h"

namespace video_test {

namespace {

using HuffPtr = std::unique_ptr<Huff, decltype(&HuffClose)>;

struct Fetch {
  unsigned tree;
  uint32_t value;
};

// The fetches the decoder makes for a frame of `total` blocks, in order.
std::vector<Fetch> FetchesOf(const FrameScript& frame, uint64_t total) {
  std::vector<Fetch> out;
  uint64_t done = 0;
  for (const Run& run : frame.runs) {
    if (done >= total) break;
    out.push_back({vidzo::kTypeTree, run.TypeValue()});
    const uint64_t n = std::min<uint64_t>(RunLengthOf(run.index), total - done);
    done += n;
    for (uint64_t i = 0; i < n; ++i) {
      if (run.type == 0) {
        out.push_back({vidzo::kMonoColourTree, run.blocks[i][0]});
        out.push_back({vidzo::kMonoMapTree, run.blocks[i][1]});
      } else if (run.type == 1) {
        for (int k = 0; k < 8; ++k) out.push_back({vidzo::kFullTree, run.blocks[i][k]});
      }
    }
  }
  return out;
}

}  // namespace

uint32_t RunLengthOf(unsigned index) {
  return index < 59 ? index + 1 : 128u << (index - 59);
}

Encoded EncodeFrames(const std::vector<FrameScript>& frames, uint64_t total) {
  std::array<HuffPtr, 4> enc{HuffPtr(HuffOpen(0), &HuffClose), HuffPtr(HuffOpen(0), &HuffClose),
                             HuffPtr(HuffOpen(0), &HuffClose), HuffPtr(HuffOpen(0), &HuffClose)};
  std::vector<std::vector<Fetch>> fetches;
  for (const FrameScript& f : frames) fetches.push_back(FetchesOf(f, total));
  for (auto& h : enc) HuffInitStats(h.get());
  for (const auto& frame : fetches) {
    for (auto& h : enc) HuffInitLasts(h.get());
    for (const Fetch& f : frame) HuffAddStat(enc[f.tree].get(), f.value);
  }
  Encoded out;
  vidzoer_test::QelBitFile trees;
  for (unsigned t = 0; t < 4; ++t) {
    HuffSetOutput(enc[t].get(), trees.get());
    const int32_t size = HuffStartEncode(enc[t].get());
    EXPECT_GT(size, 0) << "tree " << t;
    out.sizes[t] = static_cast<uint32_t>(size);
  }
  out.trees = trees.Finish();
  for (size_t i = 0; i < frames.size(); ++i) {
    vidzoer_test::QelBitFile codes;
    for (auto& h : enc) {
      HuffSetOutput(h.get(), codes.get());
      HuffInitLasts(h.get());
    }
    for (const Fetch& f : fetches[i]) HuffEncode(enc[f.tree].get(), f.value);
    out.frames.push_back(codes.Finish());
    out.frames.back().insert(out.frames.back().end(), frames[i].tail.begin(), frames[i].tail.end());
  }
  return out;
}

Trees::Trees(const Encoded& e) : buffer(std::make_unique<vidzo::TreesAreaBuffer>(e.sizes)) {
  EXPECT_NE(buffer->Get(), nullptr);
  if (buffer->Get() != nullptr) {
    EXPECT_TRUE(vidzo::UnpackTrees(e.trees.data(), e.trees.size(), *buffer->Get(), e.sizes));
  }
}

void ApplyFrame(const FrameScript& frame, Picture& picture, std::vector<bool>* painted) {
  const uint32_t per_row = picture.width / 4;
  const uint64_t total = picture.Blocks();
  if (painted) painted->assign(total, false);
  uint64_t b = 0;
  for (const Run& run : frame.runs) {
    const uint64_t n = std::min<uint64_t>(RunLengthOf(run.index), total - b);
    for (uint64_t i = 0; i < n; ++i, ++b) {
      if (run.type == 2) continue;
      if (painted) (*painted)[b] = true;
      const uint32_t bx = static_cast<uint32_t>(b % per_row) * 4, by = static_cast<uint32_t>(b / per_row) * 4;
      for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
          uint8_t v = run.colour;
          if (run.type == 0) {
            const uint16_t c = run.blocks[i][0], m = run.blocks[i][1];
            v = static_cast<uint8_t>((m >> (4 * y + x)) & 1 ? c >> 8 : c & 0xFF);
          } else if (run.type == 1) {
            // Pixels 2 and 3 from the first value of the row, 0 and 1 from the second.
            const uint16_t value = run.blocks[i][2 * y + (x < 2 ? 1 : 0)];
            v = static_cast<uint8_t>(x % 2 ? value >> 8 : value & 0xFF);
          }
          picture.at(bx + x, by + y) = v;
        }
      }
    }
    if (b >= total) break;
  }
}

FrameScript RandomFrame(std::mt19937& rng, uint64_t total) {
  FrameScript frame;
  auto pick = [&rng](uint32_t lo, uint32_t hi) {
    return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
  };
  // A small palette of colour pairs keeps the trees small and the escapes busy.
  std::vector<uint16_t> pairs;
  for (int i = 0; i < 12; ++i) pairs.push_back(static_cast<uint16_t>(pick(0, 0xFFFF)));
  uint64_t done = 0;
  while (done < total) {
    Run run;
    run.type = pick(0, 3);
    run.index = pick(0, 19) == 0 ? pick(59, 63) : pick(0, 19) == 0 ? pick(13, 58) : pick(0, 12);
    run.colour = static_cast<uint8_t>(pick(0, 255));
    const uint64_t n = std::min<uint64_t>(RunLengthOf(run.index), total - done);
    for (uint64_t i = 0; run.type < 2 && i < n; ++i) {
      std::array<uint16_t, 8> values{};
      for (auto& v : values)
        v = pick(0, 3) == 0 ? pairs[pick(0, 11)] : static_cast<uint16_t>(pick(0, 0xFFFF));
      run.blocks.push_back(values);
    }
    done += n;
    frame.runs.push_back(run);
  }
  return frame;
}

std::array<uint16_t, 256> Colour16Of(const uint8_t* palette, uint32_t mode) {
  std::array<uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const unsigned r = palette[3 * i], g = palette[3 * i + 1], b = palette[3 * i + 2];
    table[i] = static_cast<uint16_t>(mode == VIDZO_COLOUR_565 ? (r / 8) * 2048 + (g / 4) * 32 + b / 8
                                                              : (r / 8) * 1024 + (g / 8) * 32 + b / 8);
  }
  return table;
}

Destination::Destination(const Picture& picture, const Form& form, const uint8_t* palette)
    : h_(std::make_unique<VidzoHandle>()), form_(form) {
  std::memset(static_cast<void*>(h_.get()), 0, sizeof(VidzoHandle));
  const uint32_t b = form.mode ? 2 : 1;
  h_->Width = picture.width;
  h_->Height = picture.height;
  if (form.doubled || form.interlaced) {
    h_->Height *= 2;
    h_->OpenFlags |= form.doubled ? OPEN_Y_DOUBLE : OPEN_Y_INTERLACE;
  }
  if (palette) std::memcpy(h_->Palette, palette, 768);
  pitch_ = static_cast<int32_t>((form.left + picture.width) * b + 16);
  const uint32_t span = form.doubled || form.interlaced ? 2 * picture.height : picture.height;
  rows_ = form.top + span + 3;
  bytes_.assign(size_t{rows_} * static_cast<uint32_t>(pitch_), kGuard);
  const uint32_t flags = (form.bottom_up ? VIDZO_DEST_BOTTOM_UP : 0) | (form.mode << 24);
  EXPECT_EQ(VidzoSetDestination(h_.get(), form.left, form.top, pitch_, rows_, bytes_.data(), flags), 1);
  VidzoUpdateColour16(h_.get());
}

Destination::~Destination() {
  VidzoSetDestination(h_.get(), 0, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(h_->MemoryInUse, 0u);
}

void Destination::Decode(const std::vector<uint8_t>& video, vidzo::TreesArea* trees) {
  VidzoDecodeVideo(video.data(), static_cast<uint32_t>(video.size()), trees, h_->OutputDesc);
}

std::vector<uint8_t> Destination::Expected(const Picture& picture, const uint16_t* colours) const {
  std::vector<uint8_t> out(bytes_.size(), kGuard);
  const uint32_t b = form_.mode ? 2 : 1;
  for (uint32_t y = 0; y < picture.height; ++y) {
    for (int copy = 0; copy < (form_.doubled ? 2 : 1); ++copy) {
      const uint32_t output_row = form_.doubled ? 2 * y + copy : y;
      const uint32_t row = form_.top + output_row * (form_.interlaced ? 2 : 1);
      const uint32_t physical = form_.bottom_up ? rows_ - 1 - row : row;
      for (uint32_t x = 0; x < picture.width; ++x) {
        const uint8_t index = picture.pixels[size_t{y} * picture.width + x];
        const size_t at = size_t{physical} * static_cast<uint32_t>(pitch_) + (form_.left + x) * b;
        if (b == 1) {
          out[at] = index;
        } else {
          out[at] = static_cast<uint8_t>(colours[index] & 0xFF);
          out[at + 1] = static_cast<uint8_t>(colours[index] >> 8);
        }
      }
    }
  }
  return out;
}

}  // namespace video_test
