// Sound blocks through the chunk writers and back through the decoder: exact
// at level 0 and for uncompressed chunks, within each level's error limit at
// levels 1 to 9, and smaller as the level rises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "audio_helpers.h"
#include "playback/audio.h"
#include "playback/container.h"
#include "qelutil/qelutil.h"
#include "qelutil/sound_pack.h"
#include "support/bit_stream.h"

namespace {

using audio_test::DecodeLinear;
using audio_test::Format;
using audio_test::kFormats;
using audio_test::kSignals;
using audio_test::MakeSignal;
using audio_test::Signal;
using audio_test::WriteChunk;

constexpr uint32_t kFrames = 5000;

TEST(SoundRoundTrip, LosslessAndRawGiveBackEveryByte) {
  for (const Format& f : kFormats) {
    for (Signal s : kSignals) {
      SCOPED_TRACE(testing::Message() << f.name << ", " << audio_test::SignalName(s));
      const std::vector<uint8_t> pcm = MakeSignal(s, f, kFrames);
      uint32_t advance = 0;
      EXPECT_EQ(DecodeLinear(WriteChunk(pcm, f, 0), f.track(true), 1 << 16, &advance), pcm);
      EXPECT_EQ(advance, pcm.size());
      EXPECT_EQ(DecodeLinear(WriteChunk(pcm, f, -1), f.track(false), 1 << 16), pcm);
    }
  }
}

TEST(SoundRoundTrip, RandomBlocksOfEveryLengthAndOffset) {
  std::mt19937 rng(77);
  for (int round = 0; round < 200; ++round) {
    const Format& f = kFormats[rng() % 4];
    const uint32_t frames = 1 + rng() % 300;
    const uint32_t offset = rng() % 4;
    const int level = static_cast<int>(rng() % 10);
    SCOPED_TRACE(testing::Message() << f.name << " frames " << frames << " offset " << offset << " level "
                                    << level);
    // Random walks of random step sizes: from nearly constant to noise.
    const uint32_t spread = 1u << (rng() % 17);
    std::vector<uint8_t> pcm(frames * f.frame());
    uint32_t value = rng();
    for (size_t i = 0; i < pcm.size(); ++i) {
      value += rng() % spread - spread / 2;
      pcm[i] = static_cast<uint8_t>(value >> (i % 2 ? 8 : 0));
    }
    uint32_t length = 0;
    const std::vector<uint8_t> chunk = WriteChunk(pcm, f, level, offset, &length);
    ASSERT_EQ(chunk.size(), length);
    ASSERT_GE(length, 8u);
    EXPECT_EQ((offset + length) % 4, 0u) << "the chunk ends on a 4-byte file boundary";
    EXPECT_EQ(vidzo::LoadLe32(chunk.data()), length) << "the size field counts the padding";
    EXPECT_EQ(vidzo::LoadLe32(chunk.data() + 4), pcm.size()) << "unpacked size";
    const std::vector<uint8_t> back = DecodeLinear(chunk, f.track(true), pcm.size() + 64);
    ASSERT_EQ(back.size(), pcm.size());
    const int32_t limit = qelutil::SoundLossyLevel(level, f.sixteen).error_limit;
    EXPECT_LE(audio_test::MaxError(back, pcm, f), limit);
    if (level == 0) {
      EXPECT_EQ(back, pcm);
    }
  }
}

TEST(SoundRoundTrip, LossyLevelsKeepTheLimitAndShrinkTheChunks) {
  for (const Format& f : kFormats) {
    std::printf("[ sizes    ] %s, per signal: chunk bytes at level 0, then level n / level 0 for n = 1..9\n",
                f.name);
    for (Signal s : kSignals) {
      SCOPED_TRACE(testing::Message() << f.name << ", " << audio_test::SignalName(s));
      const std::vector<uint8_t> pcm = MakeSignal(s, f, kFrames);
      uint32_t sizes[10];
      for (int level = 0; level < 10; ++level) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        const std::vector<uint8_t> chunk = WriteChunk(pcm, f, level, 0, &sizes[level]);
        const std::vector<uint8_t> back = DecodeLinear(chunk, f.track(true), pcm.size());
        ASSERT_EQ(back.size(), pcm.size());
        const int32_t limit = qelutil::SoundLossyLevel(level, f.sixteen).error_limit;
        EXPECT_LE(audio_test::MaxError(back, pcm, f), limit);
      }
      std::printf("[ sizes    ]   %-18s %7u", audio_test::SignalName(s), sizes[0]);
      for (int level = 1; level < 10; ++level) std::printf(" %.3f", double(sizes[level]) / sizes[0]);
      std::printf("\n");
      // A level never costs more than lossless coding by more than rounding,
      // and for sound that is not flat the highest level saves plainly.
      for (int level = 1; level < 10; ++level) EXPECT_LE(sizes[level], sizes[0] + 8) << "level " << level;
      if (s == Signal::kSweep || s == Signal::kNoise || s == Signal::kSpeechLike) {
        EXPECT_LT(sizes[9] * 10, sizes[0] * 8) << "level 9 saves at least a fifth";
      }
    }
  }
}

// 16-bit samples are signed: a masked delta must not carry a sample across
// the ends of the range, even when the unsigned values lie close together.
TEST(SoundRoundTrip, SixteenBitErrorsAreMeasuredOnSignedSamples) {
  const Format f = kFormats[2];
  std::vector<uint8_t> pcm;
  auto put = [&](int v) {
    pcm.push_back(static_cast<uint8_t>(v));
    pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
  };
  // 0x6F00 then -32512 (0x8100): the delta 0x1200 masked to 0x1000 at level
  // 9 would give 0x7F00, 512 away as unsigned numbers but 65024 as samples.
  for (int i = 0; i < 50; ++i) {
    put(0x6F00);
    put(-32512);
  }
  const std::vector<uint8_t> back = DecodeLinear(WriteChunk(pcm, f, 9), f.track(true), pcm.size());
  EXPECT_LE(audio_test::MaxError(back, pcm, f), 2048);
}

// The 8-bit stereo test adds prediction and masked delta without the wrap:
// a masked delta that would wrap is never taken, though its wrapped result
// would be close.
TEST(SoundRoundTrip, EightBitStereoNeverMasksAcrossTheWrap) {
  const Format stereo = kFormats[1];
  const Format mono = kFormats[0];
  // Left: 251 then 250 (delta 255, masked at level 9 to 224: 251 + 224 wraps
  // to 219, 31 below 250). Right stays at 128.
  std::vector<uint8_t> pcm_stereo = {251, 128, 250, 128};
  std::vector<uint8_t> pcm_mono = {251, 250};
  const std::vector<uint8_t> s = DecodeLinear(WriteChunk(pcm_stereo, stereo, 9), stereo.track(true), 4);
  const std::vector<uint8_t> m = DecodeLinear(WriteChunk(pcm_mono, mono, 9), mono.track(true), 2);
  EXPECT_EQ(s, pcm_stereo) << "the unmasked delta is coded";
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[1], 219) << "mono compares after the wrap and takes the masked delta";
}

TEST(SoundRoundTrip, LevelNineDropsTheLowFiveBitsOfSmallSteps) {
  const Format f = kFormats[0];
  // Steps of +40: masked to +32, the error stays within 32 and the samples
  // move in steps that are multiples of 32.
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 6; ++i) pcm.push_back(static_cast<uint8_t>(10 + 40 * i));
  const std::vector<uint8_t> back = DecodeLinear(WriteChunk(pcm, f, 9), f.track(true), pcm.size());
  ASSERT_EQ(back.size(), pcm.size());
  EXPECT_EQ(back[0], 10);
  for (size_t i = 1; i < back.size(); ++i) {
    EXPECT_EQ((back[i] - back[i - 1]) % 32, 0) << i;
    EXPECT_LE(std::abs(back[i] - pcm[i]), 32) << i;
  }
  EXPECT_NE(back, pcm);
}

TEST(SoundRoundTrip, OneFrameBlocksKeepTheirFirstSample) {
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    std::vector<uint8_t> pcm = {0x12, 0x34, 0x56, 0x78};
    pcm.resize(f.frame());
    EXPECT_EQ(DecodeLinear(WriteChunk(pcm, f, 0), f.track(true), 16), pcm);
  }
}

// The bytes of an uncompressed chunk are played padding and all, so the
// padding is silence in whole frames, or left out when whole frames cannot
// reach the 4-byte boundary.
TEST(SoundRoundTrip, UncompressedChunksArePaddedWithSilence) {
  struct Case {
    Format f;
    std::vector<uint8_t> pcm;
    uint32_t offset;
    std::vector<uint8_t> played;
  };
  const Case cases[] = {
      {kFormats[0], {1, 2, 3, 4, 5}, 0, {1, 2, 3, 4, 5, 0x80, 0x80, 0x80}},
      {kFormats[1], {1, 2, 3, 4, 5, 6}, 0, {1, 2, 3, 4, 5, 6, 0x80, 0x80}},
      {kFormats[1], {1, 2, 3, 4}, 1, {1, 2, 3, 4}},  // 3 bytes short: no whole frame
      {kFormats[2], {1, 2, 3, 4, 5, 6}, 0, {1, 2, 3, 4, 5, 6, 0, 0}},
      {kFormats[3], {1, 2, 3, 4}, 2, {1, 2, 3, 4}},
      {kFormats[3], {1, 2, 3, 4}, 0, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.f.name << " offset " << c.offset);
    uint32_t length = 0;
    const std::vector<uint8_t> chunk = WriteChunk(c.pcm, c.f, -1, c.offset, &length);
    EXPECT_EQ(length, 4 + c.played.size());
    EXPECT_EQ(vidzo::LoadLe32(chunk.data()), length);
    EXPECT_EQ(DecodeLinear(chunk, c.f.track(false), 64), c.played);
  }
}

TEST(SoundRoundTrip, PartialFramesAreLeftOut) {
  const Format f = kFormats[3];
  std::vector<uint8_t> pcm = MakeSignal(Signal::kSweep, f, 100);
  std::vector<uint8_t> longer = pcm;
  longer.push_back(7);
  longer.push_back(9);
  EXPECT_EQ(DecodeLinear(WriteChunk(longer, f, 0), f.track(true), 1024), pcm);
  uint32_t length = 1;
  EXPECT_TRUE(WriteChunk({1, 2, 3}, f, 0, 0, &length).empty());
  EXPECT_EQ(length, 0u) << "no whole frame: nothing written";
}

// Counts that rise like the Fibonacci numbers give the deepest trees. A
// block large enough to need codes over 30 bits still packs and decodes.
TEST(SoundRoundTrip, BlocksWhoseTreesWouldBeTooDeep) {
  std::vector<uint32_t> counts = {1, 1};
  while (counts.size() < 33) counts.push_back(counts[counts.size() - 1] + counts[counts.size() - 2]);
  std::vector<uint8_t> deltas;
  for (size_t v = 0; v < counts.size(); ++v) deltas.insert(deltas.end(), counts[v], static_cast<uint8_t>(v));
  std::shuffle(deltas.begin(), deltas.end(), std::mt19937(5));

  {  // These counts as they stand cannot be coded in 30 bits.
    vidzoer_test::QelBitFile file;
    Huff* h = HuffOpen(1);
    HuffSetOutput(h, file.get());
    for (size_t v = 0; v < counts.size(); ++v)
      for (uint32_t k = 0; k < counts[v]; ++k) HuffAddStat(h, static_cast<uint32_t>(v));
    EXPECT_EQ(HuffStartEncode(h), -1);
    HuffClose(h);
  }

  std::vector<uint8_t> pcm(deltas.size() + 1);
  pcm[0] = 128;
  for (size_t i = 0; i < deltas.size(); ++i) pcm[i + 1] = static_cast<uint8_t>(pcm[i] + deltas[i]);
  const Format f = kFormats[0];
  const std::vector<uint8_t> back = DecodeLinear(WriteChunk(pcm, f, 0), f.track(true), pcm.size());
  EXPECT_TRUE(back == pcm);
}

}  // namespace
