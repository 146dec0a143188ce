// The sample maker end to end, as `make demo` and the player benchmark use
// it: its pictures and sound encode with vdzenc and come back from vdzinfo
// with the frame count, size, sound length and palette changes expected.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/wave_reader.h"

namespace {

namespace fs = std::filesystem;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

size_t CountPictures(const std::string& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".ppm";
  return n;
}

// The number after "<key>: " at the start of a line of vdzinfo's
// description, or -1.
long long Field(const std::string& text, const std::string& key) {
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, key.size() + 2, key + ": ") == 0)
      return std::atoll(text.c_str() + at + key.size() + 2);
    if (text.find('\n', at) == std::string::npos) break;
  }
  return -1;
}

// Rows of vdzinfo's frame table whose palette column says "yes".
int FramesWithPalette(const std::string& text) {
  int n = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream row(line);
    std::string frame, size, offset, palette;
    if (row >> frame >> size >> offset >> palette && palette == "yes" &&
        frame.find_first_not_of("0123456789") == std::string::npos)
      ++n;
  }
  return n;
}

vidzotools::WaveSound ReadWave(const std::string& name) {
  vidzotools::WaveSound sound;
  std::string error, warning;
  EXPECT_TRUE(vidzotools::ReadWaveFile(name, sound, error, warning)) << error;
  EXPECT_EQ(warning, "");
  return sound;
}

std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(vidzotools::ReadFileBytes(name, bytes)) << name;
  return bytes;
}

// Every decoded frame equals the picture it was made from.
void ExpectSamePictures(const std::string& made, const std::string& decoded, size_t frames) {
  for (size_t i = 0; i < frames; ++i) {
    char source[32], result[32];
    std::snprintf(source, sizeof source, "frame%06zu.ppm", i);
    std::snprintf(result, sizeof result, "%05zu.ppm", i);
    ASSERT_EQ(ReadBytes((fs::path(made) / source).string()), ReadBytes((fs::path(decoded) / result).string()))
        << "frame " << i;
  }
}

// The bytes of sound that each frame of `vdz` carries in track 0, decoded
// (-1 where a frame has no chunk).
std::vector<int64_t> SoundPerFrame(const std::string& vdz) {
  std::vector<int64_t> sizes;
  std::string error;
  std::unique_ptr<VidzoHandle, decltype(&VidzoClose)> h(vidzotools::OpenVdzChecked(vdz, error), &VidzoClose);
  EXPECT_TRUE(h) << error;
  if (!h) return sizes;
  const bool ok = vidzotools::StepVdzFrames(
      h.get(), vdz, false,
      [&](uint32_t, std::string&) {
        const uint8_t* c = h->AudioChunk[0];
        if (c == nullptr) {
          sizes.push_back(-1);
        } else if (h->AudioFormat[0] & VDZ_AUDIO_COMPRESSED) {
          sizes.push_back(c[4] | (c[5] << 8) | (c[6] << 16) | (int64_t{c[7]} << 24));
        } else {
          sizes.push_back((c[0] | (c[1] << 8) | (c[2] << 16) | (int64_t{c[3]} << 24)) - 4);
        }
        return true;
      },
      error);
  EXPECT_TRUE(ok) << error;
  return sizes;
}

class SampleTest : public ::testing::Test {
 protected:
  RunResult Run(const std::string& program, const std::string& args) {
    return RunProgram(dir_, program, args);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }

  TempDir dir_;
};

TEST_F(SampleTest, ItsPicturesAndSoundEncodeAndDecodeToWhatWasMade) {
  const std::string frames = File("frames"), vdz = File("sample.vdz");
  RunResult r = Run("vdzsample", "--width 64 --height 48 --frame-rate 50 --seconds 10 " + Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("vdzenc --frame-rate 50 --sound"), std::string::npos) << r.out;
  ASSERT_EQ(CountPictures(frames), 200u);
  const vidzotools::WaveSound sound = ReadWave(frames + "/sound.wav");
  EXPECT_EQ(sound.rate, 22050u);
  EXPECT_EQ(sound.bits, 16u);
  EXPECT_EQ(sound.channels, 2u);
  EXPECT_EQ(sound.Frames(), 10u * 22050u);

  r = Run("vdzenc",
          "--frame-rate 50 --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " + Quote(vdz));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  r = Run("vdzinfo",
          Quote(vdz) + " --frames " + Quote(File("decoded")) + " --tracks " + Quote(File("tracks")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Field(r.out, "Width"), 64);
  EXPECT_EQ(Field(r.out, "Height"), 48);
  EXPECT_EQ(Field(r.out, "FrameCount"), 200);
  EXPECT_EQ(Field(r.out, "FrameRate"), 50);
  EXPECT_NE(r.out.find("Sound track 0: format"), std::string::npos);
  EXPECT_NE(r.out.find("22050 Hz, 16-bit, stereo"), std::string::npos);
  // The fades and the crossfades between colour schemes bring new colours.
  EXPECT_GE(FramesWithPalette(r.out), 40) << r.out;

  // The sound comes back whole and the pictures exactly.
  EXPECT_EQ(ReadBytes(File("tracks/track0.pcm")), sound.pcm);
  ExpectSamePictures(frames, File("decoded"), 200);
}

TEST_F(SampleTest, TheDefaultIsTwelveSecondsOf320x240At20FramesPerSecond) {
  const std::string frames = File("frames");
  RunResult r = Run("vdzsample", Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(CountPictures(frames), 240u);
  vidzotools::RgbPicture picture;
  std::string error;
  ASSERT_TRUE(vidzotools::ReadPpmFile(frames + "/frame000239.ppm", picture, error)) << error;
  EXPECT_EQ(picture.width, 320u);
  EXPECT_EQ(picture.height, 240u);
  EXPECT_EQ(ReadWave(frames + "/sound.wav").Frames(), 12u * 22050u);
}

TEST_F(SampleTest, TheBenchmarkFileIs640x480At30FramesPerSecondWithSound) {
  const std::string frames = File("frames"), vdz = File("sample.vdz");
  RunResult r =
      Run("vdzsample",
          "--width 640 --height 480 --frame-rate -3333 --seconds 1 --sound-rate 11025 " + Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_EQ(CountPictures(frames), 30u);
  // 30 periods of 33.33 ms at 11025 Hz.
  EXPECT_EQ(ReadWave(frames + "/sound.wav").Frames(), 30u * 3333u * 11025u / 100000u);
  r = Run("vdzenc", "--frame-rate -3333 --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " +
                        Quote(vdz));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = Run("vdzinfo", Quote(vdz));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Field(r.out, "Width"), 640);
  EXPECT_EQ(Field(r.out, "Height"), 480);
  EXPECT_EQ(Field(r.out, "FrameCount"), 30);
  EXPECT_NE(r.out.find("FrameRate: -3333 (30.003 frames per second)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("11025 Hz, 16-bit, stereo"), std::string::npos) << r.out;
}

// Coded straight from its palette indices, the cycling plasma keeps its
// indices: every frame after the black first one carries a palette change,
// and the pictures still come back exactly. The sound has the lead vdzenc
// gives by default.
TEST_F(SampleTest, StraightCodingCarriesTheCyclingAsPaletteChanges) {
  const std::string frames = File("frames"), vdz = File("direct.vdz"), encoded = File("encoded.vdz");
  RunResult r =
      Run("vdzsample", "--width 96 --height 64 --seconds 3 --vdz " + Quote(vdz) + " " + Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = Run("vdzinfo",
          Quote(vdz) + " --frames " + Quote(File("decoded")) + " --tracks " + Quote(File("tracks")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Field(r.out, "FrameCount"), 60);
  EXPECT_EQ(FramesWithPalette(r.out), 59) << r.out;
  ExpectSamePictures(frames, File("decoded"), 60);
  EXPECT_EQ(ReadBytes(File("tracks/track0.pcm")), ReadWave(frames + "/sound.wav").pcm);

  // 250 ms of lead: frame 0 carries (50 + 250) ms at 22050 Hz, 4 bytes a
  // sample frame; frame 1 from there to (100 + 250) ms.
  const std::vector<int64_t> sound = SoundPerFrame(vdz);
  ASSERT_EQ(sound.size(), 60u);
  EXPECT_EQ(sound[0], 6615 * 4);
  EXPECT_EQ(sound[1], (7717 - 6615) * 4);

  // The same pictures through vdzenc, which sees only colours: it keeps the
  // indices of slots whose colours cycle, also where two of them show one
  // colour for a while, but the slots that show one colour in the black first
  // frame share an index there and are told apart only as their colours part.
  // Its sound is cut the same way.
  r = Run("vdzenc", "--frame-rate 50 --sound " + Quote(frames + "/sound.wav") + " " + Quote(frames) + " " +
                        Quote(encoded));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = Run("vdzinfo", Quote(encoded));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(FramesWithPalette(r.out), 59) << r.out;
  EXPECT_LT(fs::file_size(vdz), fs::file_size(encoded));
  EXPECT_EQ(SoundPerFrame(encoded), sound);
}

// RMS of one channel of 16-bit stereo sound over seconds [from, to).
double Loudness(const vidzotools::WaveSound& s, int channel, double from, double to) {
  double sum = 0;
  const uint64_t a = static_cast<uint64_t>(from * s.rate), b = static_cast<uint64_t>(to * s.rate);
  for (uint64_t i = a; i < b; ++i) {
    const uint8_t* p = s.pcm.data() + 4 * i + 2 * channel;
    const double v = static_cast<int16_t>(p[0] | (p[1] << 8));
    sum += v * v;
  }
  return std::sqrt(sum / static_cast<double>(b - a));
}

// The ball crosses to the right in its first three seconds and back to the
// left in the next three; its tone goes with it.
TEST_F(SampleTest, TheBallsToneFollowsItAcross) {
  const std::string frames = File("frames");
  RunResult r = Run("vdzsample", "--width 64 --height 48 --seconds 7 " + Quote(frames));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const vidzotools::WaveSound s = ReadWave(frames + "/sound.wav");
  ASSERT_EQ(s.Frames(), 7u * 22050u);
  EXPECT_GT(Loudness(s, 1, 2.8, 2.95), 2 * Loudness(s, 0, 2.8, 2.95));
  EXPECT_GT(Loudness(s, 0, 5.8, 5.95), 2 * Loudness(s, 1, 5.8, 5.95));
  EXPECT_GT(Loudness(s, 0, 5.8, 5.95), 1000);
}

TEST_F(SampleTest, BadCommandLinesAreRefusedAndWriteNothing) {
  const std::string frames = Quote(File("frames"));
  const char* bad[] = {"--width 30",        "--width 8",   "--height 0",   "--height 4100", "--frame-rate 0",
                       "--frame-rate fast", "--seconds 0", "--seconds -2", "--seconds abc", "--seconds 3601",
                       "--sound-rate 100",  "--colours 3", "--width"};
  for (const char* args : bad) {
    RunResult r = Run("vdzsample", std::string(args) + " " + frames);
    EXPECT_EQ(r.exit_code, 1) << args;
    EXPECT_EQ(r.err.rfind("vdzsample: ", 0), 0u) << args << ": " << r.err;
    EXPECT_FALSE(fs::exists(File("frames"))) << args;
  }
  RunResult r = Run("vdzsample", "");
  EXPECT_EQ(r.exit_code, 1);
  r = Run("vdzsample", frames + " " + Quote(File("other")));
  EXPECT_EQ(r.exit_code, 1);
  r = Run("vdzsample", "--frame-rate 1 --seconds 3600 " + frames);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("more than 100000 frames"), std::string::npos) << r.err;
}

TEST_F(SampleTest, AFolderThatHoldsPicturesIsLeftAlone) {
  fs::create_directories(File("frames"));
  const std::vector<uint8_t> mine = {'P', '6', '\n', '4', ' ', '4', '\n'};
  ASSERT_TRUE(vidzotools::WriteFileBytes(File("frames/holiday.PPM"), mine));
  RunResult r = Run("vdzsample", "--seconds 1 " + Quote(File("frames")));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("already holds pictures"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("frames/frame000000.ppm")));
  EXPECT_EQ(ReadBytes(File("frames/holiday.PPM")), mine);
  EXPECT_FALSE(fs::exists(File("frames/sound.wav")));
}

}  // namespace
