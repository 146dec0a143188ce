// The audio chunk decoder on chunks built bit by bit: start values and their
// order, wrap-around of 8-bit and 16-bit samples, the present bit, D = 0,
// the circular buffer, and chunks that lie about their sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "audio_helpers.h"
#include "playback/audio.h"
#include "trees/tree_writer.h"

namespace {

using audio_test::DecodeLinear;
using audio_test::Format;
using audio_test::GuardedBuffer;
using audio_test::kFormats;
using vidzoer_test::BitWriter;
using vidzoer_test::CodeTree;

constexpr uint32_t kDeepValues = 30;
uint8_t DeepValue(uint32_t i) {
  return static_cast<uint8_t>(i * 7 + 3);
}

// A compressed chunk by hand: flags, `trees` byte trees that give every byte
// an 8-bit code, the start bytes as read, then the deltas of each frame.
struct HandChunk {
  bool stereo = false;
  bool sixteen = false;
  bool present = true;
  std::vector<uint8_t> start;
  std::vector<uint8_t> deltas;  // in coding order
  uint32_t decoded = 0;
  bool deep = false;  // a spine tree over kDeepValues values: codes of 1 to 29 bits

  std::vector<uint8_t> Bytes() const {
    CodeTree tree = vidzoer_test::FullByteTree();
    if (deep) {
      std::vector<uint32_t> values(kDeepValues);
      for (uint32_t v = 0; v < kDeepValues; ++v) values[v] = DeepValue(v);
      tree = CodeTree();
      tree.set_root(tree.Spine(values));
    }
    const auto codes = tree.LeafCodes();
    BitWriter w;
    w.PutBit(present);
    w.PutBit(stereo);
    w.PutBit(sixteen);
    for (unsigned i = 0; i < (stereo ? 2u : 1u) * (sixteen ? 2u : 1u); ++i) {
      w.PutBit(1);
      vidzoer_test::WriteByteTree(w, tree);
    }
    for (uint8_t b : start) w.Put(b, 8);
    for (uint8_t d : deltas) vidzoer_test::PutCode(w, codes.at(d));
    std::vector<uint8_t> chunk(8);
    chunk.insert(chunk.end(), w.bytes().begin(), w.bytes().end());
    const uint32_t length = static_cast<uint32_t>(chunk.size());
    std::memcpy(chunk.data(), &length, 4);
    std::memcpy(chunk.data() + 4, &decoded, 4);
    return chunk;
  }
};

uint32_t Compressed(bool stereo, bool sixteen) {
  return VDZ_AUDIO_COMPRESSED | VDZ_AUDIO_PRESENT | 11025u | (stereo ? VDZ_AUDIO_STEREO : 0u) |
         (sixteen ? VDZ_AUDIO_16BIT : 0u);
}

TEST(AudioDecode, EightBitMonoDeltasWrap) {
  HandChunk c;
  c.start = {128};
  c.deltas = {1, 255};
  c.decoded = 3;
  EXPECT_EQ(DecodeLinear(c.Bytes(), Compressed(false, false), 16), (std::vector<uint8_t>{128, 129, 128}));
  c.start = {250};
  c.deltas = {10, 246};
  EXPECT_EQ(DecodeLinear(c.Bytes(), Compressed(false, false), 16), (std::vector<uint8_t>{250, 4, 250}));
}

TEST(AudioDecode, SixteenBitStartIsHighThenLowAndTheLowDeltaCarries) {
  HandChunk c;
  c.sixteen = true;
  c.start = {0x01, 0xFF};  // high, then low: 0x01FF
  // 0x01FF + 0xFF00 = 0x00FF; + 0xFFFF = 0x00FE; + 0xFF01 = 0xFFFF.
  c.deltas = {0x00, 0xFF, 0xFF, 0xFF, 0x01, 0xFF};
  c.decoded = 8;
  EXPECT_EQ(DecodeLinear(c.Bytes(), Compressed(false, true), 16),
            (std::vector<uint8_t>{0xFF, 0x01, 0xFF, 0x00, 0xFE, 0x00, 0xFF, 0xFF}));

  HandChunk carry;
  carry.sixteen = true;
  carry.start = {0x00, 0xFF};  // 0x00FF
  carry.deltas = {0x01, 0xFF};
  carry.decoded = 4;
  EXPECT_EQ(DecodeLinear(carry.Bytes(), Compressed(false, true), 16),
            (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0x00}));
}

TEST(AudioDecode, StereoStartValuesComeRightChannelFirst) {
  HandChunk c8;
  c8.stereo = true;
  c8.start = {0x10, 0x20};  // right, left
  c8.deltas = {1, 2};       // left, right
  c8.decoded = 4;
  EXPECT_EQ(DecodeLinear(c8.Bytes(), Compressed(true, false), 16),
            (std::vector<uint8_t>{0x20, 0x10, 0x21, 0x12}));

  HandChunk c16;
  c16.stereo = c16.sixteen = true;
  c16.start = {0x12, 0x34, 0x56, 0x78};  // right high, right low, left high, left low
  c16.deltas = {0x01, 0x00, 0x00, 0x01, 0x00, 0x02, 0xFF, 0xFF};  // LL LH RL RH
  c16.decoded = 12;
  EXPECT_EQ(DecodeLinear(c16.Bytes(), Compressed(true, true), 16),
            (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0x79, 0x56, 0x34, 0x13, 0x79, 0x58, 0x33, 0x13}));
}

TEST(AudioDecode, TheChunkFormatBitsWinOverTheTrack) {
  HandChunk c;
  c.stereo = true;
  c.start = {1, 2};
  c.deltas = {3, 4};
  c.decoded = 4;
  uint32_t advance = 0;
  EXPECT_EQ(DecodeLinear(c.Bytes(), Compressed(false, true), 16, &advance),
            (std::vector<uint8_t>{2, 1, 5, 5}));
  EXPECT_EQ(advance, 4u);
}

TEST(AudioDecode, NothingPresentOrNothingToDecodeWritesNothing) {
  HandChunk c;
  c.start = {9};
  c.deltas = {1, 1};
  c.decoded = 3;
  c.present = false;
  GuardedBuffer out(16, 0x33);
  std::vector<uint8_t> chunk = c.Bytes();
  EXPECT_EQ(VidzoPutAudioChunk(chunk.data(), uint32_t(chunk.size()), Compressed(false, false), nullptr,
                               out.begin(), out.end(), out.begin()),
            3u)
      << "the caller still advances by D";
  EXPECT_EQ(out.contents(), std::vector<uint8_t>(16, 0x33));

  // D = 0: the four trees are read into the scratch, nothing is written.
  HandChunk zero;
  zero.stereo = zero.sixteen = true;
  zero.decoded = 0;
  chunk = zero.Bytes();
  std::vector<uint32_t> scratch(VDZ_AUDIO_SCRATCH_BYTES / 4, 0xDEADBEEFu);
  EXPECT_EQ(VidzoPutAudioChunk(chunk.data(), uint32_t(chunk.size()), Compressed(true, true), scratch.data(),
                               out.begin(), out.end(), out.begin()),
            0u);
  EXPECT_EQ(out.contents(), std::vector<uint8_t>(16, 0x33));
  for (int part = 0; part < 4; ++part) EXPECT_NE(scratch[part * 512], 0xDEADBEEFu) << "tree " << part;
  EXPECT_TRUE(out.GuardsIntact());
}

TEST(AudioDecode, CodesLongerThanAByteAndCodesOfOneBit) {
  HandChunk c;
  c.deep = true;
  c.stereo = c.sixteen = true;
  c.start = {0x80, 0x00, 0x7F, 0xFF};
  std::mt19937 rng(4);
  for (int i = 0; i < 400; ++i) c.deltas.push_back(DeepValue(rng() % kDeepValues));
  c.decoded = 4 * 101;
  std::vector<uint8_t> expected = {0xFF, 0x7F, 0x00, 0x80};
  unsigned left = 0x7FFF, right = 0x8000;
  for (size_t i = 0; i < c.deltas.size(); i += 4) {
    left += c.deltas[i] + 256u * c.deltas[i + 1];
    right += c.deltas[i + 2] + 256u * c.deltas[i + 3];
    for (unsigned v : {left, left >> 8, right, right >> 8}) expected.push_back(static_cast<uint8_t>(v));
  }
  EXPECT_EQ(DecodeLinear(c.Bytes(), Compressed(true, true), 1024), expected);
}

TEST(AudioDecode, UncompressedChunksAreCopied) {
  std::vector<uint8_t> chunk = {9, 0, 0, 0, 1, 2, 3, 4, 5};
  uint32_t advance = 0;
  EXPECT_EQ(DecodeLinear(chunk, VDZ_AUDIO_PRESENT | 8000u, 16, &advance),
            (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(advance, 5u);
}

}  // namespace
