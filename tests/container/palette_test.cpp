// The palette chunk: decoding its items, the bounds of a malformed chunk, and
// the encoder's shortest chunks read back by the decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "playback/vidzo.h"
#include "tools/lib/vdz_writer.h"

namespace {

using vidzotools::EncodePaletteChunk;
using vidzotools::ExpandComponent;

struct PaletteHandle {
  PaletteHandle() { std::memset(static_cast<void*>(&h), 0, sizeof h); }
  VidzoHandle h;
  void Decode(std::vector<uint8_t> chunk) {
    // An exact-size copy, so that a read past the chunk is caught.
    auto* copy = new uint8_t[chunk.size() ? chunk.size() : 1];
    if (!chunk.empty()) std::memcpy(copy, chunk.data(), chunk.size());
    DecodePalette(copy, static_cast<uint32_t>(chunk.size()), &h);
    delete[] copy;
  }
};

std::vector<uint8_t> Random6BitPalette(std::mt19937& rng) {
  std::vector<uint8_t> p(768);
  for (auto& c : p) c = ExpandComponent(static_cast<uint8_t>(rng() % 64));
  return p;
}

TEST(PaletteChunk, ItemsKeepCopyAndNewColour) {
  PaletteHandle p;
  for (int i = 0; i < 768; ++i) p.h.Palette[i] = static_cast<uint8_t>(i * 7);
  uint8_t before[768];
  std::memcpy(before, p.h.Palette, 768);
  p.Decode({1, 0xFF, 0xFF, 0});
  EXPECT_EQ(std::memcmp(p.h.Palette, before, 768), 0);

  // Entry 0 from entry 16, entry 1 new (63, 0, 32), the rest kept.
  p.Decode({2, 0x40, 0x10, 63, 0, 32, 0xFF, 0xFE});
  EXPECT_EQ(std::memcmp(p.h.Palette, before + 48, 3), 0);
  EXPECT_EQ(p.h.Palette[3], 255);
  EXPECT_EQ(p.h.Palette[4], 0);
  EXPECT_EQ(p.h.Palette[5], 130);
  EXPECT_EQ(std::memcmp(p.h.Palette + 6, before + 6, 768 - 6), 0);

  // Copies read the palette as it was before the chunk: a rotation by one.
  std::memcpy(p.h.Palette, before, 768);
  p.Decode({2, 0x40 | 63, 1, 0x40 | 63, 65, 0x40 | 63, 129, 0x40 | 62, 193, 0x40, 0, 0});
  for (int i = 0; i < 255; ++i) ASSERT_EQ(std::memcmp(p.h.Palette + 3 * i, before + 3 * (i + 1), 3), 0);
  EXPECT_EQ(std::memcmp(p.h.Palette + 765, before, 3), 0);
}

TEST(PaletteChunk, MalformedChunksStayInBounds) {
  PaletteHandle p;
  std::memset(p.h.Palette, 9, 768);
  std::memset(p.h.PaletteSpare, 0x77, 4);
  // Components above 63 are taken as 6 bits.
  p.Decode({1, 63, 64 + 16, 0xFF});
  EXPECT_EQ(p.h.Palette[0], 255);
  EXPECT_EQ(p.h.Palette[1], 65);
  EXPECT_EQ(p.h.Palette[2], 255);
  EXPECT_EQ(p.h.Palette[3], 9);  // the chunk ends: the rest is kept
  // The chunk ends inside a colour: that entry is not defined.
  p.Decode({1, 5, 6});
  EXPECT_EQ(p.h.Palette[0], 255);

  // Items running past entry 255 stop there; the spare bytes are untouched.
  std::vector<uint8_t> many{0};
  for (int i = 0; i < 300; ++i) many.insert(many.end(), {1, 2, 3});
  p.Decode(many);
  EXPECT_EQ(p.h.Palette[765], 4);
  EXPECT_EQ(p.h.PaletteSpare[0], 0x77);
  p.Decode({1, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0});
  p.Decode({1, 0x80 | 100, 0x40 | 63, 250});  // copies from entries 250 to 313
  EXPECT_EQ(p.h.Palette[3 * 101], 4);         // from 250: copied
  EXPECT_EQ(p.h.PaletteSpare[3], 0x77);

  // A copy item cut after its first byte, an empty chunk, a lone length byte.
  std::memset(p.h.Palette, 9, 768);
  p.Decode({0, 0x41});
  p.Decode({});
  p.Decode({0});
  for (int i = 0; i < 768; ++i) ASSERT_EQ(p.h.Palette[i], 9);
}

// Decodes and checks the chunk's length byte; returns the item bytes used.
size_t ItemBytes(const std::vector<uint8_t>& chunk) {
  size_t pos = 1;
  int i = 0;
  while (i < 256) {
    uint8_t b = chunk[pos];
    if (b & 0x80) {
      i += (b & 0x7F) + 1;
      pos += 1;
    } else if (b & 0x40) {
      i += (b & 0x3F) + 1;
      pos += 2;
    } else {
      i += 1;
      pos += 3;
    }
  }
  EXPECT_EQ(i, 256);  // never past the last entry
  return pos - 1;
}

TEST(PaletteChunk, EncoderRoundTripsRandomChanges) {
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    auto prev = Random6BitPalette(rng);
    auto next = prev;
    int changes = static_cast<int>(rng() % 12);
    for (int c = 0; c < changes; ++c) {
      int at = static_cast<int>(rng() % 256);
      int len = 1 + static_cast<int>(rng() % 80);
      int kind = static_cast<int>(rng() % 3);
      int from = static_cast<int>(rng() % 256);
      for (int k = 0; k < len && at + k < 256; ++k) {
        if (kind == 0) {
          for (int j = 0; j < 3; ++j)
            next[3 * (at + k) + j] = ExpandComponent(static_cast<uint8_t>(rng() % 64));
        } else if (from + k < 256) {
          std::memcpy(&next[3 * (at + k)], &prev[3 * (from + k)], 3);
        }
      }
    }
    auto chunk = EncodePaletteChunk(prev.data(), next.data());
    ASSERT_EQ(chunk.size() % 4, 0u);
    ASSERT_EQ(chunk[0] * 4u, chunk.size());
    ItemBytes(chunk);
    PaletteHandle p;
    std::memcpy(p.h.Palette, prev.data(), 768);
    p.Decode(chunk);
    ASSERT_EQ(std::memcmp(p.h.Palette, next.data(), 768), 0) << "round " << round;
  }
}

// The fewest item bytes that define entries i..255, by plain recursion over
// every item the decoder accepts.
struct Shortest {
  const uint8_t* prev;
  const uint8_t* next;
  std::map<int, size_t> memo;
  bool Same(int i, int s) { return std::memcmp(next + 3 * i, prev + 3 * s, 3) == 0; }
  size_t From(int i) {
    if (i == 256) return 0;
    if (auto it = memo.find(i); it != memo.end()) return it->second;
    size_t best = 3 + From(i + 1);  // a new colour always works
    for (int len = 1; len <= 128 && i + len <= 256 && Same(i + len - 1, i + len - 1); ++len)
      best = std::min(best, 1 + From(i + len));
    for (int s = 0; s < 256; ++s)
      for (int len = 1; len <= 64 && i + len <= 256 && s + len <= 256 && Same(i + len - 1, s + len - 1);
           ++len)
        best = std::min(best, 2 + From(i + len));
    return memo[i] = best;
  }
};

TEST(PaletteChunk, EncoderChunksAreTheShortest) {
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    // Few distinct colours, so that keeps and copies compete.
    std::vector<uint8_t> prev(768), next(768);
    uint8_t colours[4][3];
    for (auto& c : colours)
      for (auto& v : c) v = ExpandComponent(static_cast<uint8_t>(rng() % 64));
    for (int i = 0; i < 256; ++i) {
      std::memcpy(&prev[3 * i], colours[rng() % 4], 3);
      if (rng() % 3 == 0) {
        for (int j = 0; j < 3; ++j) next[3 * i + j] = ExpandComponent(static_cast<uint8_t>(rng() % 64));
      } else {
        std::memcpy(&next[3 * i], colours[rng() % (round % 4 + 1)], 3);
      }
    }
    if (round % 5 == 0) next = prev;
    auto chunk = EncodePaletteChunk(prev.data(), next.data());
    Shortest brute{prev.data(), next.data(), {}};
    EXPECT_EQ(ItemBytes(chunk), brute.From(0)) << "round " << round;
  }
  // No change at all: two keep items.
  std::vector<uint8_t> same(768, 4);
  EXPECT_EQ(EncodePaletteChunk(same.data(), same.data()), (std::vector<uint8_t>{1, 0xFF, 0xFF, 0}));
}

TEST(VdzWriter, RefusesContentThatCannotBeAFile) {
  auto good = [] {
    vidzotools::VdzContent c;
    c.width = 8;
    c.height = 8;
    c.frames.resize(2);
    return c;
  };
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(vidzotools::BuildVdz(good(), out, error)) << error;
  EXPECT_EQ(out.size(), 104u + 10 + 1);

  auto c = good();
  c.width = 10;
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  EXPECT_NE(error.find("multiples of 4"), std::string::npos);
  c = good();
  c.frames.clear();
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  c = good();
  c.header_flags = 1;
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  c = good();
  c.frames[1].palette = {2, 0xFF, 0xFF, 0};
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  EXPECT_NE(error.find("frame 1"), std::string::npos);
  c = good();
  c.frames[0].audio.push_back({2, {1, 2}, 4});
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  c.audio_format[2] = VDZ_AUDIO_PRESENT | 44100;
  EXPECT_TRUE(vidzotools::BuildVdz(c, out, error)) << error;
  c.frames[0].audio.push_back({2, {1}, 4});
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  c = good();
  c.audio_format[5] = VDZ_AUDIO_PRESENT;
  EXPECT_FALSE(vidzotools::BuildVdz(c, out, error));
  EXPECT_FALSE(vidzotools::WriteVdzFile("/nonexistent-folder/x.vdz", good(), error));
}

TEST(VdzWriter, AudioMaxSizeIsTheLargestDecodedChunk) {
  vidzotools::VdzContent c;
  c.width = c.height = 4;
  c.audio_format[0] = VDZ_AUDIO_PRESENT | VDZ_AUDIO_COMPRESSED | 22050;
  c.audio_format[6] = VDZ_AUDIO_PRESENT | VDZ_AUDIO_16BIT | VDZ_AUDIO_STEREO | 44100;
  c.frames.resize(3);
  c.frames[0].audio = {{0, {1, 2, 3}, 880}, {6, {4}, 100}};
  c.frames[1].audio = {{0, {1}, 1764}};
  c.frames[2].audio = {{6, {}, 96}};
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(vidzotools::BuildVdz(c, out, error)) << error;
  auto word = [&](size_t at) { return out[at] | out[at + 1] << 8 | out[at + 2] << 16 | out[at + 3] << 24; };
  EXPECT_EQ(word(24), 1764);
  EXPECT_EQ(word(24 + 24), 100);
  EXPECT_EQ(out[104 + 12], 0x01 << 1 | 0x40 << 1);  // frame 0's type byte
  EXPECT_EQ(word(104), 4 + 3 + 4 + 1);
  EXPECT_EQ(static_cast<uint32_t>(word(72 + 24)), c.audio_format[6]);
}

}  // namespace
