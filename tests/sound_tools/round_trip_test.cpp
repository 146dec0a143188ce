// Sound through vdzenc --sound and back out of vdzinfo --tracks, as a user
// runs them: lossless and raw tracks give back the wave's PCM byte for byte,
// lossy levels keep every sample within the level's error limit and shrink
// the file, and each frame carries exactly the sound of its own time span.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "sound_tools/sound_maker.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/vdz_writer.h"
#include "tools/lib/wave_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace sound_test;
using vidzoer_test::TempDir;

// The error limits of lossy levels 0 to 9 for 8-bit and 16-bit samples.
constexpr std::array<int32_t, 10> kLimit8 = {0, 1, 2, 4, 6, 8, 12, 16, 24, 32};
constexpr std::array<int32_t, 10> kLimit16 = {0, 4, 8, 16, 64, 128, 256, 512, 1024, 2048};

struct Encoded {
  std::string vdz;
  uint64_t file_size = 0;
  RunResult enc;
  RunResult info;
  std::vector<std::vector<uint8_t>> tracks;  // trackT.pcm for each sound given
};

// Frames enough to cover the longest sound at 40 ms per frame.
int FramesFor(const std::vector<Pcm>& sounds) {
  uint64_t frames = 1;
  for (const Pcm& p : sounds) frames = std::max<uint64_t>(frames, (p.Frames() * 25 + p.rate - 1) / p.rate);
  return static_cast<int>(frames);
}

// Writes the sounds as waves and `frames` pictures, runs vdzenc at 40 ms per
// frame with `options` (which may set another rate) and one --sound per wave,
// then vdzinfo --tracks.
Encoded EncodeAndDecode(const TempDir& dir, const std::vector<Pcm>& sounds, const std::string& options,
                        int frames = 0, const std::string& name = "out") {
  Encoded e;
  if (frames == 0) frames = FramesFor(sounds);
  if (!fs::exists(dir.path() / ("pictures" + std::to_string(frames))))
    WritePictures(dir.path() / ("pictures" + std::to_string(frames)), frames);
  std::string args = "--frame-rate 40 " + options;
  for (size_t t = 0; t < sounds.size(); ++t) {
    const std::string wave = dir.File(name + "_" + std::to_string(t) + ".wav");
    WriteWave(wave, sounds[t]);
    args += " --sound " + Quote(wave);
  }
  e.vdz = dir.File(name + ".vdz");
  e.enc = RunTool(dir, "vdzenc",
                  args + " " + Quote(dir.File("pictures" + std::to_string(frames))) + " " + Quote(e.vdz));
  if (e.enc.exit_code != 0) return e;
  e.file_size = fs::file_size(e.vdz);
  const std::string out = dir.File(name + "_tracks");
  e.info = RunTool(dir, "vdzinfo", Quote(e.vdz) + " --tracks " + Quote(out));
  e.tracks.resize(sounds.size());
  for (size_t t = 0; t < sounds.size(); ++t)
    if (!vidzotools::ReadFileBytes(out + "/track" + std::to_string(t) + ".pcm", e.tracks[t]))
      ADD_FAILURE() << "vdzinfo wrote no track" << t << ".pcm: " << e.info.err;
  return e;
}

std::string Describe(const Pcm& p) {
  return std::to_string(p.bits) + "-bit " + (p.channels == 2 ? "stereo" : "mono") + " at " +
         std::to_string(p.rate) + " Hz";
}

void ExpectSameBytes(const std::vector<Pcm>& sounds, const Encoded& e, const std::string& what) {
  ASSERT_EQ(e.enc.exit_code, 0) << what << ": " << e.enc.err;
  ASSERT_EQ(e.info.exit_code, 0) << what << ": " << e.info.err;
  for (size_t t = 0; t < sounds.size(); ++t) {
    // EXPECT_TRUE over the whole comparison keeps a failure short.
    EXPECT_EQ(e.tracks[t].size(), sounds[t].bytes.size()) << what << ", " << Describe(sounds[t]);
    EXPECT_TRUE(e.tracks[t] == sounds[t].bytes) << what << ", " << Describe(sounds[t]);
  }
}

// The signals of the lossless round trips: 0.3 s of each at 8000 Hz.
std::vector<std::pair<std::string, Signal>> TestSignals() {
  const uint32_t n = 2400;
  return {{"random noise", RandomNoise(8000, n, 7)},
          {"sine sweep", SineSweep(8000, n)},
          {"silence", Silence(8000, n)},
          {"full-scale squares", FullScaleSquare(8000, n)},
          {"DC offsets", DcOffsets(8000, n)}};
}

// The sentence espeak-ng speaks, as 16-bit samples at its own rate, the right
// channel the left one delayed and inverted; false when espeak-ng is missing.
bool Speech(const TempDir& dir, Signal& s) {
  if (std::system("command -v espeak-ng >/dev/null 2>&1") != 0) return false;
  const std::string wave = dir.File("speech.wav");
  const std::string cmd = "espeak-ng -w " + Quote(wave) + " \"Seven sound tracks, one picture.\" 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return false;
  vidzotools::WaveSound spoken;
  std::string error, warning;
  if (!vidzotools::ReadWaveFile(wave, spoken, error, warning) || spoken.bits != 16 || spoken.channels != 1) {
    ADD_FAILURE() << "espeak-ng gave an unexpected wave: " << error;
    return false;
  }
  s.rate = spoken.rate;
  const size_t n = spoken.pcm.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    s.left.push_back(static_cast<int16_t>(spoken.pcm[2 * i] | (spoken.pcm[2 * i + 1] << 8)));
    s.right.push_back(i < 37 ? int16_t{0} : static_cast<int16_t>(-std::max<int>(s.left[i - 37], -32767)));
  }
  return n > 0;
}

TEST(SoundRoundTrip, LosslessAndRawGiveBackThePcmOfEveryFormat) {
  for (const auto& [name, signal] : TestSignals()) {
    TempDir dir;
    const std::vector<Pcm> formats = AllFormats(signal);
    ExpectSameBytes(formats, EncodeAndDecode(dir, formats, "--lossy 0", 0, "packed"), name + ", level 0");
    ExpectSameBytes(formats, EncodeAndDecode(dir, formats, "--raw-sound", 0, "raw"), name + ", raw");
  }
}

TEST(SoundRoundTrip, SpokenSentenceLosslessAndRaw) {
  TempDir dir;
  Signal speech;
  if (!Speech(dir, speech))
    GTEST_SKIP() << "espeak-ng is not installed (scripts/install-deps.sh installs it)";
  const std::vector<Pcm> formats = AllFormats(speech);
  ExpectSameBytes(formats, EncodeAndDecode(dir, formats, "", 0, "packed"), "speech, default level");
  ExpectSameBytes(formats, EncodeAndDecode(dir, formats, "--raw-sound", 0, "raw"), "speech, raw");
}

// Every level from 1 to 9 keeps each sample within its limit and makes a
// smaller file than level 0; prints the sound's size per level against raw.
void CheckLossyLevels(const std::string& name, const Signal& signal) {
  TempDir dir;
  const std::vector<Pcm> formats = AllFormats(signal);
  const int frames = FramesFor(formats);
  const Encoded none = EncodeAndDecode(dir, {}, "", frames, "none");
  const Encoded raw = EncodeAndDecode(dir, formats, "--raw-sound", frames, "raw");
  const Encoded lossless = EncodeAndDecode(dir, formats, "--lossy 0", frames, "level0");
  ASSERT_EQ(none.enc.exit_code, 0) << none.enc.err;
  ExpectSameBytes(formats, lossless, name + ", level 0");
  const double raw_sound = static_cast<double>(raw.file_size - none.file_size);
  std::printf("%s, all four formats: sound bytes against raw: level 0 %.3f", name.c_str(),
              (lossless.file_size - none.file_size) / raw_sound);
  for (uint32_t level = 1; level <= 9; ++level) {
    const Encoded e = EncodeAndDecode(dir, formats, "--lossy " + std::to_string(level), frames,
                                      "level" + std::to_string(level));
    ASSERT_EQ(e.enc.exit_code, 0) << e.enc.err;
    ASSERT_EQ(e.info.exit_code, 0) << e.info.err;
    std::printf(", %u %.3f", level, (e.file_size - none.file_size) / raw_sound);
    EXPECT_LT(e.file_size, lossless.file_size) << name << ", level " << level;
    for (size_t t = 0; t < formats.size(); ++t) {
      const Pcm& in = formats[t];
      const Pcm out{in.rate, in.bits, in.channels, e.tracks[t]};
      ASSERT_EQ(out.bytes.size(), in.bytes.size()) << name << ", level " << level << ", " << Describe(in);
      const int32_t limit = in.bits == 8 ? kLimit8[level] : kLimit16[level];
      int32_t worst = 0;
      for (uint64_t i = 0; i < in.Frames(); ++i)
        for (uint32_t c = 0; c < in.channels; ++c)
          worst = std::max(worst, std::abs(out.Sample(i, c) - in.Sample(i, c)));
      EXPECT_LE(worst, limit) << name << ", level " << level << ", " << Describe(in);
    }
  }
  std::printf("\n");
}

TEST(SoundRoundTrip, LossyLevelsStayWithinTheirLimitsAndShrinkTheFile) {
  CheckLossyLevels("sine sweep", SineSweep(11025, 6000));
  TempDir dir;
  Signal speech;
  if (!Speech(dir, speech))
    GTEST_SKIP() << "espeak-ng is not installed (scripts/install-deps.sh installs it)";
  CheckLossyLevels("speech", speech);
}

TEST(SoundRoundTrip, SevenTracksOfDifferentRatesAndFormats) {
  TempDir dir;
  const std::vector<Pcm> sounds = {
      ToFormat(SineSweep(8000, 1000), 8, 1),      ToFormat(RandomNoise(11025, 1500, 3), 16, 2),
      ToFormat(DcOffsets(22050, 3000), 16, 1),    ToFormat(FullScaleSquare(44100, 5000), 8, 2),
      ToFormat(Silence(5000, 700), 16, 2),        ToFormat(SineSweep(16000, 2000), 16, 2),
      ToFormat(RandomNoise(12345, 1600, 9), 8, 1)};
  const Encoded e = EncodeAndDecode(dir, sounds, "--lossy 0");
  ExpectSameBytes(sounds, e, "seven tracks");
  for (const char* line : {"Sound track 0: format 0xC0001F40, 8000 Hz, 8-bit, mono, compressed",
                           "Sound track 1: format 0xF0002B11, 11025 Hz, 16-bit, stereo, compressed",
                           "Sound track 3: format 0xD000AC44, 44100 Hz, 8-bit, stereo, compressed",
                           "Sound track 6: format 0xC0003039, 12345 Hz, 8-bit, mono, compressed"})
    EXPECT_NE(e.info.out.find(line), std::string::npos) << line << "\n" << e.info.out;
  const Encoded raw = EncodeAndDecode(dir, {sounds[1]}, "--raw-sound --sound-lead 0", 0, "raw");
  ExpectSameBytes({sounds[1]}, raw, "raw track");
  EXPECT_NE(
      raw.info.out.find("Sound track 0: format 0x70002B11, 11025 Hz, 16-bit, stereo, raw, largest chunk 1764 "
                        "bytes"),
      std::string::npos)
      << raw.info.out;
}

// The decoded size of each frame record's chunk per track (-1: no chunk),
// the ring frame last when the file has one; and the chunks' bytes.
struct FrameChunks {
  std::vector<std::array<int64_t, 7>> sizes;
  std::vector<std::array<std::vector<uint8_t>, 7>> bytes;
};

FrameChunks ReadChunks(const std::string& vdz) {
  FrameChunks out;
  std::string error;
  std::unique_ptr<VidzoHandle, decltype(&VidzoClose)> h(vidzotools::OpenVdzChecked(vdz, error), &VidzoClose);
  EXPECT_TRUE(h) << error;
  if (!h) return out;
  const bool ok = vidzotools::StepVdzFrames(
      h.get(), vdz, true,
      [&](uint32_t, std::string&) {
        std::array<int64_t, 7> sizes;
        std::array<std::vector<uint8_t>, 7> bytes;
        for (int t = 0; t < 7; ++t) {
          const uint8_t* c = h->AudioChunk[t];
          sizes[t] = -1;
          if (c == nullptr) continue;
          const uint32_t length = c[0] | (c[1] << 8) | (c[2] << 16) | (uint32_t{c[3]} << 24);
          if (h->AudioFormat[t] & VDZ_AUDIO_COMPRESSED) {
            sizes[t] = c[4] | (c[5] << 8) | (c[6] << 16) | (uint32_t{c[7]} << 24);
          } else {
            sizes[t] = length - 4;
          }
          bytes[t].assign(c, c + length);
        }
        out.sizes.push_back(sizes);
        out.bytes.push_back(bytes);
        return true;
      },
      error);
  EXPECT_TRUE(ok) << error;
  return out;
}

// Frame i > 0 carries sample frames floor((i x period + lead) x rate /
// 100000) up to the next frame's start, frame 0 from the first, the last
// frame the rest; frames past the end none. Period and lead in 10 us units.
void ExpectSpans(const FrameChunks& chunks, size_t frames, int track, const Pcm& sound, uint64_t period,
                 uint64_t lead) {
  ASSERT_GE(chunks.sizes.size(), frames);
  const auto start_of = [&](uint64_t i) {
    return i == 0 ? 0 : std::min<uint64_t>((i * period + lead) * sound.rate / 100000, sound.Frames());
  };
  uint64_t total = 0;
  for (size_t i = 0; i < frames; ++i) {
    const uint64_t start = start_of(i);
    const uint64_t end = i + 1 == frames ? sound.Frames() : start_of(i + 1);
    const int64_t expected = end == start ? -1 : static_cast<int64_t>((end - start) * sound.FrameBytes());
    EXPECT_EQ(chunks.sizes[i][track], expected) << "frame " << i << " of " << frames << ", track " << track;
    if (chunks.sizes[i][track] > 0) total += chunks.sizes[i][track];
  }
  EXPECT_EQ(total, sound.bytes.size());
}

TEST(SoundRoundTrip, EmptyWaveMakesATrackWithoutChunks) {
  TempDir dir;
  const std::vector<Pcm> sounds = {Pcm{8000, 8, 1, {}}, ToFormat(SineSweep(8000, 400), 8, 1)};
  const Encoded e = EncodeAndDecode(dir, sounds, "", 2);
  ExpectSameBytes(sounds, e, "empty wave");
  EXPECT_NE(e.info.out.find(
                "Sound track 0: format 0xC0001F40, 8000 Hz, 8-bit, mono, compressed, largest chunk 0 bytes"),
            std::string::npos)
      << e.info.out;
  const FrameChunks chunks = ReadChunks(e.vdz);
  ASSERT_EQ(chunks.sizes.size(), 2u);
  EXPECT_EQ(chunks.sizes[0][0], -1);
  EXPECT_EQ(chunks.sizes[1][0], -1);
}

TEST(SoundRoundTrip, SoundShorterThanTheVideoLeavesLaterFramesWithoutChunks) {
  TempDir dir;
  const std::vector<Pcm> sounds = {ToFormat(SineSweep(8000, 1000), 16, 1),
                                   ToFormat(RandomNoise(11025, 3000, 1), 8, 2)};
  const Encoded e = EncodeAndDecode(dir, sounds, "--sound-lead 0", 12);
  ExpectSameBytes(sounds, e, "shorter sound");
  const FrameChunks chunks = ReadChunks(e.vdz);
  ExpectSpans(chunks, 12, 0, sounds[0], 4000, 0);
  ExpectSpans(chunks, 12, 1, sounds[1], 4000, 0);
  EXPECT_EQ(chunks.sizes[4][0], -1);  // 8000 Hz x 0.125 s ends within frame 3
  EXPECT_EQ(e.enc.err.find("warning"), std::string::npos) << e.enc.err;
}

TEST(SoundRoundTrip, SoundLongerThanTheVideoEndsInTheLastFrame) {
  TempDir dir;
  const std::vector<Pcm> sounds = {ToFormat(SineSweep(11025, 11025), 16, 2)};
  for (const char* mode : {"--lossy 0", "--raw-sound"}) {
    const Encoded e = EncodeAndDecode(dir, sounds, std::string(mode) + " --sound-lead 0", 5, mode + 2);
    ExpectSameBytes(sounds, e, std::string("longer sound, ") + mode);
    ExpectSpans(ReadChunks(e.vdz), 5, 0, sounds[0], 4000, 0);
    EXPECT_NE(e.enc.err.find("warning: "), std::string::npos) << e.enc.err;
    EXPECT_NE(e.info.out.find("largest chunk " + std::to_string(11025 * 4 - 4 * 1764) + " bytes"),
              std::string::npos)
        << e.info.out;
  }
}

TEST(SoundRoundTrip, UnevenFramePeriodsSplitOnWholeSampleFrames) {
  TempDir dir;
  // 3333 units (about 30 frames a second) at 11025 Hz: 367.4925 sample
  // frames per frame.
  const std::vector<Pcm> sounds = {ToFormat(SineSweep(11025, 4000), 16, 2),
                                   ToFormat(SineSweep(22050, 9001), 8, 1)};
  const Encoded e = EncodeAndDecode(dir, sounds, "--frame-rate -3333", 11);
  ExpectSameBytes(sounds, e, "uneven periods");
  const FrameChunks chunks = ReadChunks(e.vdz);
  ExpectSpans(chunks, 11, 0, sounds[0], 3333, 25000);
  ExpectSpans(chunks, 11, 1, sounds[1], 3333, 25000);
}

// vdzenc's default lead of 250 ms moves every span but the first ahead: frame
// 0 carries its own 40 ms and the lead, the sound ends that much earlier in
// the frames, and nothing is lost or repeated. Any other lead does the same.
TEST(SoundRoundTrip, SoundLeadMovesTheSpansAheadAndKeepsEveryByte) {
  TempDir dir;
  const std::vector<Pcm> sounds = {ToFormat(SineSweep(8000, 8000), 16, 2),
                                   ToFormat(RandomNoise(11025, 6000, 3), 8, 1)};
  for (const auto& [option, lead] : {std::pair<std::string, uint64_t>{"", 25000},
                                     {"--sound-lead 90", 9000},
                                     {"--sound-lead 10000", 1000000}}) {
    const Encoded e =
        EncodeAndDecode(dir, sounds, option + " --raw-sound", 30, "lead" + std::to_string(lead));
    ExpectSameBytes(sounds, e, "lead " + std::to_string(lead));
    const FrameChunks chunks = ReadChunks(e.vdz);
    ExpectSpans(chunks, 30, 0, sounds[0], 4000, lead);
    ExpectSpans(chunks, 30, 1, sounds[1], 4000, lead);
  }
  // 1 s at 8000 Hz with a 250 ms lead ends in frame 18 (18 x 40 + 250 ms is
  // 970 ms; frame 19 would start at 1010 ms).
  const Encoded e = EncodeAndDecode(dir, {sounds[0]}, "--raw-sound", 30, "ends");
  const FrameChunks chunks = ReadChunks(e.vdz);
  EXPECT_EQ(chunks.sizes[0][0], int64_t{(8000 * 290 / 1000) * 4});
  EXPECT_GT(chunks.sizes[18][0], 0);
  EXPECT_EQ(chunks.sizes[19][0], -1);
}

TEST(SoundRoundTrip, RingFrameCarriesFrameZerosSoundAndPicturesStillDecode) {
  TempDir dir;
  const std::vector<Pcm> sounds = {ToFormat(DcOffsets(8000, 2000), 8, 2),
                                   ToFormat(SineSweep(8000, 2000), 16, 1)};
  const Encoded e = EncodeAndDecode(dir, sounds, "--ring --lossy 2", 7);
  ASSERT_EQ(e.info.exit_code, 0) << e.info.err;
  for (size_t t = 0; t < sounds.size(); ++t) EXPECT_EQ(e.tracks[t].size(), sounds[t].bytes.size());
  const FrameChunks chunks = ReadChunks(e.vdz);
  ASSERT_EQ(chunks.sizes.size(), 8u);
  for (int t = 0; t < 2; ++t) {
    ASSERT_FALSE(chunks.bytes[0][t].empty());
    EXPECT_EQ(chunks.bytes[7][t], chunks.bytes[0][t]) << "track " << t;
  }

  const RunResult frames = RunTool(dir, "vdzinfo", Quote(e.vdz) + " --frames " + Quote(dir.File("decoded")));
  ASSERT_EQ(frames.exit_code, 0) << frames.err;
  const std::vector<std::string> names = FilesIn(dir.path() / "pictures7");
  ASSERT_EQ(names.size(), 7u);
  for (size_t i = 0; i < names.size(); ++i) {
    vidzotools::RgbPicture in, out;
    std::string error;
    ASSERT_TRUE(vidzotools::ReadPpmFile((dir.path() / "pictures7" / names[i]).string(), in, error)) << error;
    char name[32];
    std::snprintf(name, sizeof name, "%05zu.ppm", i);
    ASSERT_TRUE(vidzotools::ReadPpmFile(dir.File(std::string("decoded/") + name), out, error)) << error;
    for (uint8_t& v : in.rgb) v = vidzotools::ExpandComponent(v >> 2);
    EXPECT_TRUE(in.rgb == out.rgb) << "frame " << i;
  }
}

}  // namespace
