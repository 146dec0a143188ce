// vdzenc refuses bad sound and bad sound options with a message and a
// nonzero exit, leaving no output file and nothing in the temporary folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "sound_tools/sound_maker.h"
#include "tools/lib/file_bytes.h"

namespace {

namespace fs = std::filesystem;
using namespace sound_test;
using vidzoer_test::TempDir;

class SoundErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePictures(dir_.path() / "pictures", 3);
    WriteWave(Good(), ToFormat(SineSweep(8000, 500), 16, 1));
  }
  std::string Good() const { return dir_.File("good.wav"); }

  // Runs vdzenc with `args` before the picture folder and the output, and
  // expects it to fail with `message` on standard error and to leave nothing.
  void ExpectRefused(const std::string& args, const std::string& message) {
    const std::string out = dir_.File("out.vdz");
    const RunResult r = RunTool(dir_, "vdzenc", args + " " + Quote(dir_.File("pictures")) + " " + Quote(out));
    EXPECT_NE(r.exit_code, 0) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
    EXPECT_FALSE(fs::exists(out)) << args;
    for (const std::string& name : FilesIn(dir_.path()))
      EXPECT_EQ(name.find("out.vdz"), std::string::npos) << args << " left " << name;
    EXPECT_TRUE(FilesIn(dir_.path() / "tmp").empty()) << args;
  }

  TempDir dir_;
};

TEST_F(SoundErrors, BadWaveFiles) {
  const std::string text = dir_.File("text.wav");
  ASSERT_TRUE(vidzotools::WriteFileBytes(text, {'h', 'e', 'l', 'l', 'o'}));
  ExpectRefused("--sound " + Quote(text), "text.wav: not a RIFF wave file");
  ExpectRefused("--sound " + Quote(dir_.File("missing.wav")), "cannot read");

  std::vector<uint8_t> wide = WaveBytes(ToFormat(Silence(8000, 30), 16, 2));
  wide[34] = 24;  // bits per sample
  ASSERT_TRUE(vidzotools::WriteFileBytes(dir_.File("wide.wav"), wide));
  ExpectRefused("--sound " + Quote(dir_.File("wide.wav")), "unsupported sample size of 24 bits");

  std::vector<uint8_t> no_data = WaveBytes(ToFormat(Silence(8000, 30), 8, 1));
  no_data.resize(36);
  ASSERT_TRUE(vidzotools::WriteFileBytes(dir_.File("nodata.wav"), no_data));
  // The bad wave is refused even after good ones.
  ExpectRefused("--sound " + Quote(Good()) + " --sound " + Quote(dir_.File("nodata.wav")),
                "no \"data\" chunk");
}

TEST_F(SoundErrors, BadOptions) {
  std::string eight;
  for (int i = 0; i < 8; ++i) eight += " --sound " + Quote(Good());
  ExpectRefused(eight, "at most 7 sound tracks");
  ExpectRefused("--lossy 10 --sound " + Quote(Good()), "--lossy needs a level from 0 to 9, got \"10\"");
  ExpectRefused("--lossy -1 --sound " + Quote(Good()), "--lossy needs a level from 0 to 9");
  ExpectRefused("--lossy=x --sound " + Quote(Good()), "--lossy needs a level from 0 to 9, got \"x\"");
  ExpectRefused("--sound-lead 10001 --sound " + Quote(Good()),
                "--sound-lead needs milliseconds from 0 to 10000, got \"10001\"");
  ExpectRefused("--sound-lead -5 --sound " + Quote(Good()),
                "--sound-lead needs milliseconds from 0 to 10000");
  ExpectRefused("--frame-rate 0 --sound " + Quote(Good()), "sound needs a timed file");
  ExpectRefused("--raw-sound --lossy 3 --sound " + Quote(Good()), "give one of them");
}

TEST_F(SoundErrors, SevenTracksAreAllowedAndUntimedFilesWithoutSoundStillWork) {
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += " --sound=" + Quote(Good());
  const std::string out = dir_.File("seven.vdz");
  RunResult r = RunTool(dir_, "vdzenc", seven + " " + Quote(dir_.File("pictures")) + " " + Quote(out));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = RunTool(dir_, "vdzinfo", Quote(out));
  EXPECT_NE(r.out.find("Sound track 6: "), std::string::npos) << r.out;
  EXPECT_TRUE(FilesIn(dir_.path() / "tmp").empty());

  r = RunTool(dir_, "vdzenc",
              "--frame-rate 0 " + Quote(dir_.File("pictures")) + " " + Quote(dir_.File("untimed.vdz")));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  r = RunTool(dir_, "vdzinfo", Quote(dir_.File("untimed.vdz")) + " --tracks " + Quote(dir_.File("none")));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Sound tracks: none"), std::string::npos) << r.out;
  EXPECT_TRUE(FilesIn(dir_.path() / "none").empty());
}

TEST_F(SoundErrors, TracksOfAFileCutShortAreDecodedAsFarAsTheFramesAreWhole) {
  const std::string out = dir_.File("whole.vdz");
  // 300 ms of sound; each frame carries the sound of its own 100 ms.
  WriteWave(dir_.File("long.wav"), ToFormat(SineSweep(8000, 2400), 16, 1));
  RunResult r = RunTool(dir_, "vdzenc",
                        "--sound-lead 0 --sound " + Quote(dir_.File("long.wav")) + " " +
                            Quote(dir_.File("pictures")) + " " + Quote(out));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = RunTool(dir_, "vdzinfo", Quote(out) + " --tracks " + Quote(dir_.File("whole")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<uint8_t> bytes, whole, cut;
  ASSERT_TRUE(vidzotools::ReadFileBytes(out, bytes));
  ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File("whole/track0.pcm"), whole));
  // Cut one byte into frame 1.
  auto le32 = [&bytes](size_t at) {
    return static_cast<size_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  };
  bytes.resize(104 + 5 * 3 + le32(52) + le32(104) + 1);
  ASSERT_TRUE(vidzotools::WriteFileBytes(dir_.File("cut.vdz"), bytes));
  r = RunTool(dir_, "vdzinfo", Quote(dir_.File("cut.vdz")) + " --tracks " + Quote(dir_.File("cut")));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("1 of 3 frames are whole"), std::string::npos) << r.out;
  // The sound of frame 0: the start of the whole file's sound.
  ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File("cut/track0.pcm"), cut));
  ASSERT_EQ(whole.size(), 4800u);
  ASSERT_EQ(cut.size(), 1600u);
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));
}

TEST_F(SoundErrors, ChunksLargerThanTheHeaderSaysAreCutWithAWarning) {
  const std::string out = dir_.File("raw.vdz");
  const Pcm sound = ToFormat(SineSweep(8000, 500), 16, 1);
  RunResult r = RunTool(dir_, "vdzenc",
                        "--frame-rate 40 --sound-lead 0 --raw-sound --sound " + Quote(Good()) + " " +
                            Quote(dir_.File("pictures")) + " " + Quote(out));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // Frame 0 carries 320 sample frames, frame 1 the 180 left, frame 2 none.
  // The header is made to promise chunks of 100 bytes only.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vidzotools::ReadFileBytes(out, bytes));
  ASSERT_EQ(bytes[24] | (bytes[25] << 8), 640);
  bytes[24] = 100;
  bytes[25] = 0;
  ASSERT_TRUE(vidzotools::WriteFileBytes(dir_.File("small.vdz"), bytes));
  r = RunTool(dir_, "vdzinfo", Quote(dir_.File("small.vdz")) + " --tracks " + Quote(dir_.File("small")));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(
      r.err.find("frame 1, track 0: the chunk of 360 bytes is cut to the track's largest chunk, 100 bytes"),
      std::string::npos)
      << r.err;
  std::vector<uint8_t> track;
  ASSERT_TRUE(vidzotools::ReadFileBytes(dir_.File("small/track0.pcm"), track));
  std::vector<uint8_t> expected;
  for (size_t start : {0, 640})
    expected.insert(expected.end(), &sound.bytes[start], &sound.bytes[start + 100]);
  EXPECT_EQ(track, expected);
}

}  // namespace
