// The wave reader on hand-made files: chunks it skips, sizes it cuts, and
// the files it refuses with a reason; and how a sound is split over frames.
#include "tools/lib/wave_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sound_tools/sound_maker.h"
#include "tools/lib/sound_tracks.h"

namespace {

using namespace sound_test;
using vidzotools::ParseWave;
using vidzotools::WaveSound;

void Put32(std::vector<uint8_t>& w, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) w[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Chunk(const char* id, std::vector<uint8_t> body) {
  std::vector<uint8_t> c(id, id + 4);
  c.resize(8);
  Put32(c, 4, static_cast<uint32_t>(body.size()));
  c.insert(c.end(), body.begin(), body.end());
  if (body.size() % 2) c.push_back(0xEE);  // the pad byte
  return c;
}

// A wave of the chunks given after "RIFF", size, "WAVE".
std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) w.insert(w.end(), c.begin(), c.end());
  Put32(w, 4, static_cast<uint32_t>(w.size() - 8));
  return w;
}

std::vector<uint8_t> Fmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits) {
  std::vector<uint8_t> f(16);
  f[0] = static_cast<uint8_t>(tag);
  f[1] = static_cast<uint8_t>(tag >> 8);
  f[2] = static_cast<uint8_t>(channels);
  Put32(f, 4, rate);
  Put32(f, 8, rate * channels * bits / 8);
  f[12] = static_cast<uint8_t>(channels * bits / 8);
  f[14] = static_cast<uint8_t>(bits);
  return f;
}

TEST(WaveReader, ReadsWhatOurWriterWritesInEveryFormat) {
  for (const Pcm& p : AllFormats(SineSweep(22050, 301))) {
    const std::vector<uint8_t> bytes = WaveBytes(p);
    WaveSound s;
    std::string error, warning;
    ASSERT_TRUE(ParseWave(bytes.data(), bytes.size(), s, error, warning)) << error;
    EXPECT_EQ(s.rate, 22050u);
    EXPECT_EQ(s.bits, p.bits);
    EXPECT_EQ(s.channels, p.channels);
    EXPECT_EQ(s.pcm, p.bytes);
    EXPECT_EQ(s.Frames(), 301u);
    EXPECT_EQ(warning, "");
  }
}

TEST(WaveReader, SkipsOtherChunksWithTheirPadBytesInAnyOrder) {
  const std::vector<uint8_t> pcm = {1, 2, 3, 4, 5, 6};
  std::vector<uint8_t> fmt = Fmt(1, 2, 11025, 8);
  fmt.resize(18);  // a longer fmt chunk with an extension size field
  const std::vector<uint8_t> w =
      Riff({Chunk("LIST", {'a', 'b', 'c'}), Chunk("data", pcm), Chunk("fact", {9}), Chunk("fmt ", fmt)});
  WaveSound s;
  std::string error, warning;
  ASSERT_TRUE(ParseWave(w.data(), w.size(), s, error, warning)) << error;
  EXPECT_EQ(s.pcm, pcm);
  EXPECT_EQ(s.channels, 2u);
  EXPECT_EQ(s.rate, 11025u);
}

TEST(WaveReader, CutsDataThatRunsPastTheFileAndPartialFramesWithAWarning) {
  std::vector<uint8_t> w =
      Riff({Chunk("fmt ", Fmt(1, 2, 8000, 16)), Chunk("data", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})});
  Put32(w, w.size() - 14, 0xFFFFFFFFu);  // streamed files leave the size open
  WaveSound s;
  std::string error, warning;
  ASSERT_TRUE(ParseWave(w.data(), w.size(), s, error, warning)) << error;
  EXPECT_EQ(s.pcm, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_NE(warning.find("claims 4294967295 bytes but the file holds 10"), std::string::npos) << warning;
  EXPECT_NE(warning.find("part of a sample frame (2 bytes)"), std::string::npos) << warning;
}

TEST(WaveReader, RefusesWhatItCannotReadWithAReason) {
  const std::vector<uint8_t> data = Chunk("data", {0, 0, 0, 0});
  const struct {
    std::vector<uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {{}, "not a RIFF wave file"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a RIFF wave file"},
      {Riff({Chunk("fmt ", Fmt(3, 1, 8000, 32)), data}), "not PCM sound (format tag 3)"},
      {Riff({Chunk("fmt ", Fmt(1, 1, 8000, 24)), data}), "unsupported sample size of 24 bits"},
      {Riff({Chunk("fmt ", Fmt(1, 1, 8000, 4)), data}), "unsupported sample size of 4 bits"},
      {Riff({Chunk("fmt ", Fmt(1, 3, 8000, 16)), data}), "unsupported channel count 3"},
      {Riff({Chunk("fmt ", Fmt(1, 0, 8000, 16)), data}), "unsupported channel count 0"},
      {Riff({Chunk("fmt ", Fmt(1, 1, 0, 16)), data}), "unsupported sample rate 0 Hz"},
      {Riff({Chunk("fmt ", Fmt(1, 1, 16777216, 16)), data}), "unsupported sample rate 16777216 Hz"},
      {Riff({Chunk("fmt ", {1, 0, 1, 0}), data}), "the \"fmt \" chunk is cut short"},
      {Riff({data}), "no \"fmt \" chunk"},
      {Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8))}), "no \"data\" chunk"},
      {Riff({Chunk("LIST", std::vector<uint8_t>(3)), Chunk("fmt ", Fmt(1, 1, 8000, 8))}),
       "no \"data\" chunk"},
  };
  for (const auto& c : cases) {
    WaveSound s;
    std::string error = "", warning;
    EXPECT_FALSE(ParseWave(c.bytes.data(), c.bytes.size(), s, error, warning)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos)
        << "got \"" << error << "\", wanted \"" << c.reason << "\"";
  }
}

TEST(WaveReader, ChunkSizesPastTheEndStopTheWalkSafely) {
  // An unknown chunk claiming 4 GiB hides everything after it.
  std::vector<uint8_t> w =
      Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("junk", {1, 2}), Chunk("data", {1})});
  Put32(w, 36 + 4, 0xFFFFFFFFu);
  WaveSound s;
  std::string error, warning;
  EXPECT_FALSE(ParseWave(w.data(), w.size(), s, error, warning));
  EXPECT_EQ(error, "no \"data\" chunk");
  // Every cut of a valid file is read or refused, never past its end (the
  // sanitizer build watches the reads).
  const std::vector<uint8_t> whole = WaveBytes(ToFormat(SineSweep(8000, 20), 16, 2));
  for (size_t n = 0; n <= whole.size(); ++n) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
    const bool ok = ParseWave(cut.data(), cut.size(), s, error, warning);
    EXPECT_EQ(ok, n >= 44) << n;
    if (ok) {
      EXPECT_EQ(s.pcm.size(), (n - 44) / 4 * 4);
    }
  }
}

TEST(SoundSpans, FramesStartOnWholeSampleFramesAndTheLastTakesTheRest) {
  // 40 ms at 11025 Hz is 441 sample frames.
  EXPECT_EQ(vidzotools::SoundFrameStarts(1000, 11025, 4000, 4),
            (std::vector<uint64_t>{0, 441, 882, 1000, 1000}));
  EXPECT_EQ(vidzotools::SoundFrameStarts(5000, 11025, 4000, 3), (std::vector<uint64_t>{0, 441, 882, 5000}));
  // 3333 units at 8000 Hz: 266.64 sample frames, rounded down at each start.
  EXPECT_EQ(vidzotools::SoundFrameStarts(800, 8000, 3333, 3), (std::vector<uint64_t>{0, 266, 533, 800}));
  EXPECT_EQ(vidzotools::SoundFrameStarts(0, 8000, 3333, 2), (std::vector<uint64_t>{0, 0, 0}));
  // The longest period and the highest rate over many frames stay exact.
  const auto starts = vidzotools::SoundFrameStarts(uint64_t{1} << 40, 0xFFFFFF, 0x80000000u, 3);
  EXPECT_EQ(starts[1], (uint64_t{0x80000000u} * 0xFFFFFF) / 100000);
  // A lead of 25 ms (2500 units) moves every start but the first ahead by
  // 275.625 sample frames; starts past the end stay at the end.
  EXPECT_EQ(vidzotools::SoundFrameStarts(1000, 11025, 4000, 4, 2500),
            (std::vector<uint64_t>{0, 716, 1000, 1000, 1000}));
  EXPECT_EQ(vidzotools::SoundFrameStarts(5000, 11025, 4000, 3, 2500),
            (std::vector<uint64_t>{0, 716, 1157, 5000}));
  EXPECT_EQ(vidzotools::FramePeriodUnits(40), 4000u);
  EXPECT_EQ(vidzotools::FramePeriodUnits(-3333), 3333u);
  EXPECT_EQ(vidzotools::FramePeriodUnits(INT32_MIN), 0x80000000u);
  EXPECT_EQ(vidzotools::FramePeriodUnits(0), 0u);
}

}  // namespace
