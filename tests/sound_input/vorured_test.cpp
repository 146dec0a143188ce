// vorured as a user runs it: a .vdz track, an AVI file's sound, headerless
// PCM and a list of waves become wave files that sox reads with the same
// samples; the command-line errors and the overwrite rule.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/avifile/avifile.h"
#include "sound_input/sound_files.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using namespace sound_input_test;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

// The samples of a wave file as sox reads them (headerless, the file's own
// sample format), or an empty vector when sox fails.
std::vector<uint8_t> SoxSamples(const TempDir& dir, const std::string& wave, const std::string& encoding) {
  const std::string raw = dir.File("sox.raw");
  std::filesystem::remove(raw);
  if (!vidzoer_test::RunShell("sox " + Quote(wave) + " -t raw -e " + encoding + " " + Quote(raw),
                              dir.File("sox.err")))
    return {};
  return vidzoer_test::ReadBytes(raw);
}

std::vector<uint8_t> WaveData(const std::string& name) {
  const std::vector<uint8_t> w = vidzoer_test::ReadBytes(name);
  if (w.size() < 44) return {};
  // The data chunk's size; an odd size is followed by a pad byte.
  const size_t n = std::min<size_t>(w[40] | (w[41] << 8) | (w[42] << 16) | (size_t{w[43]} << 24), w.size() - 44);
  return std::vector<uint8_t>(w.begin() + 44, w.begin() + 44 + static_cast<long>(n));
}

// Checks the output's format fields and that sox reads back `pcm`.
void ExpectWave(const TempDir& dir, const std::string& name, uint32_t rate, uint32_t bits, uint32_t channels,
                const std::vector<uint8_t>& pcm) {
  const std::vector<uint8_t> w = vidzoer_test::ReadBytes(name);
  ASSERT_GE(w.size(), 44u) << name;
  EXPECT_EQ(std::memcmp(w.data(), "RIFF", 4), 0);
  EXPECT_EQ(w[22], channels);
  EXPECT_EQ(w[24] | (w[25] << 8) | (w[26] << 16), static_cast<int>(rate));
  EXPECT_EQ(w[34], bits);
  EXPECT_TRUE(WaveData(name) == pcm) << name;
  if (vidzoer_test::HaveProgram("sox")) {
    EXPECT_TRUE(SoxSamples(dir, name, bits == 8 ? "unsigned-integer" : "signed-integer") == pcm) << name;
  }
}

TEST(Vorured, EveryFormatReadsBackInSox) {
  if (!vidzoer_test::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  TempDir dir;
  const Frames src = RandomFrames(4001, 5, false);
  WriteWave(dir.File("in.wav"), 22050, 16, 2, ToBytes(src, 16, 2));
  for (uint32_t bits : {8u, 16u}) {
    for (uint32_t channels : {1u, 2u}) {
      const std::string out = dir.File("out" + std::to_string(bits) + std::to_string(channels) + ".wav");
      const RunResult r = RunProgram(dir, "vorured",
                                     Quote(dir.File("in.wav")) + " " + Quote(out) + " /B" + std::to_string(bits) +
                                         " /C" + std::to_string(channels));
      ASSERT_EQ(r.exit_code, 0) << r.err;
      const Frames f = FromBytes(ToBytes(src, 16, 2), 16, 2);
      Frames mixed = f;
      if (channels == 1)
        for (size_t i = 0; i < mixed.size(); ++i)
          if (mixed.left[i] != mixed.right[i]) mixed.left[i] = (mixed.left[i] + mixed.right[i]) / 2;
      ExpectWave(dir, out, 22050, bits, channels, ToBytes(mixed, bits, channels));
    }
  }
}

TEST(Vorured, VdzTrackToWave) {
  TempDir dir;
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(8000, 6, true), 8, 1);
  std::string error;
  ASSERT_TRUE(WriteVdz(dir.File("movie.vdz"), 20, 50, 1, 8000, 8, 1, pcm, false, error)) << error;
  const RunResult r =
      RunProgram(dir, "vorured", Quote(dir.File("movie.vdz")) + " " + Quote(dir.File("t2")) + " /T2 /S-3 /E-12");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("4000 bytes of sound"), std::string::npos) << r.out;
  ExpectWave(dir, dir.File("t2.wav"), 8000, 8, 1, std::vector<uint8_t>(pcm.begin() + 800, pcm.begin() + 4800));
  const RunResult none = RunProgram(dir, "vorured", Quote(dir.File("movie.vdz")) + " " + Quote(dir.File("t1")) + " /T1");
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_NE(none.err.find("No sound found in the specified Vidzoer track."), std::string::npos) << none.err;
}

TEST(Vorured, AviSoundToWave) {
  TempDir dir;
  avifile::WriterOptions o;
  o.width = 8;
  o.height = 8;
  o.rate = 5;
  o.audio = true;
  o.channels = 1;
  o.sample_rate = 11025;
  o.sample_bits = 16;
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(11025, 7, false), 16, 1);
  {
    std::string error;
    auto w = avifile::Writer::Create(dir.File("clip.avi").c_str(), o, &error);
    ASSERT_NE(w, nullptr) << error;
    std::vector<uint8_t> pixels(64, 0), palette(1024, 0);
    for (int f = 0; f < 5; ++f) {
      ASSERT_TRUE(w->WriteFrame(pixels.data(), palette.data()));
      ASSERT_TRUE(w->WriteAudio(pcm.data() + f * 4410, 4410));
    }
    ASSERT_GT(w->Close(), 0u);
  }
  const RunResult r =
      RunProgram(dir, "vorured", Quote(dir.File("clip")) + " " + Quote(dir.File("clip.wav")) + " /R22050");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<uint8_t> out = WaveData(dir.File("clip.wav"));
  EXPECT_EQ(out.size(), 4 * 11025u);
  ExpectWave(dir, dir.File("clip.wav"), 22050, 16, 1, out);
  // Every second sample is a source sample.
  const Frames in = FromBytes(pcm, 16, 1), up = FromBytes(out, 16, 1);
  for (size_t i = 0; i < 1000; ++i) EXPECT_EQ(up.left[2 * i], in.left[i]);
}

TEST(Vorured, RawPcmAndLists) {
  TempDir dir;
  std::vector<uint8_t> raw(1000, 0);
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(2000, 8, false), 16, 1);
  raw.insert(raw.end(), pcm.begin(), pcm.end());
  vidzoer_test::WriteBytes(dir.File("capture.raw"), raw);
  RunResult r = RunProgram(dir, "vorured",
                           Quote(dir.File("capture.raw")) + " " + Quote(dir.File("capture.wav")) + " /Y3 /D22050 /K1000");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ExpectWave(dir, dir.File("capture.wav"), 22050, 16, 1, pcm);

  const std::vector<uint8_t> a = ToBytes(RandomFrames(300, 1, true), 8, 1);
  const std::vector<uint8_t> b = ToBytes(RandomFrames(500, 2, true), 8, 1);
  WriteWave(dir.File("a.wav"), 8000, 8, 1, a);
  WriteWave(dir.File("b.wav"), 8000, 8, 1, b);
  {
    std::ofstream list(dir.File("parts.lst"));
    list << dir.File("a.wav") << "\n# between\n" << dir.File("b.wav") << "\n";
  }
  r = RunProgram(dir, "vorured", Quote(dir.File("parts.lst")) + " " + Quote(dir.File("all.wav")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<uint8_t> ab(a);
  ab.insert(ab.end(), b.begin(), b.end());
  ExpectWave(dir, dir.File("all.wav"), 8000, 8, 1, ab);
}

TEST(Vorured, RefusalsAndErrors) {
  TempDir dir;
  WriteWave(dir.File("in.wav"), 8000, 8, 1, std::vector<uint8_t>(100, 200));
  vidzoer_test::WriteBytes(dir.File("old.wav"), {1, 2, 3});
  struct Case {
    std::string args;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {Quote(dir.File("in.wav")) + " " + Quote(dir.File("in.wav")), 1, "must be different"},
      {Quote(dir.File("in.wav")) + " " + Quote(dir.File("old.wav")), 1, "was not overwritten"},
      {Quote(dir.File("in.wav")), 2, "expected an input and an output name"},
      {Quote(dir.File("in.wav")) + " " + Quote(dir.File("x.wav")) + " /B12", 2, "/B takes 8 or 16"},
      {Quote(dir.File("in.wav")) + " " + Quote(dir.File("x.wav")) + " /Z", 2, "unknown"},
      {Quote(dir.File("none.wav")) + " " + Quote(dir.File("x.wav")), 1, "Error opening the input file."},
  };
  for (const Case& c : cases) {
    const RunResult r = RunProgram(dir, "vorured", c.args + " < /dev/null");
    EXPECT_EQ(r.exit_code, c.code) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  EXPECT_EQ(vidzoer_test::ReadBytes(dir.File("old.wav")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
  const RunResult r =
      RunProgram(dir, "vorured", Quote(dir.File("in.wav")) + " " + Quote(dir.File("old.wav")) + " /O");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WaveData(dir.File("old.wav")), std::vector<uint8_t>(100, 200));
  // Nothing is left behind beside the outputs.
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

}  // namespace
