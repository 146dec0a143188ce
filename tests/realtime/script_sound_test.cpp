// The sound of animations that scripts play reaches the device intact, as a
// user meets it: vidzoscw run headless with SDL's dummy video driver and its
// disk audio driver, which takes the sound at its real pace and writes what
// it plays to a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "realtime_files.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"
#include "tools/lib/sound_tracks.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using vidzoer_test::Quote;
using vidzoer_test::RunProgram;
using vidzoer_test::RunResult;
using vidzoer_test::TempDir;

constexpr uint32_t kRate = 22050;
constexpr uint32_t kPeriodMs = 40;
constexpr uint32_t kFrames = 40;
// 16-bit stereo: the sound of one frame's span.
constexpr size_t kFrameBytes = size_t{kRate} * kPeriodMs / 1000 * 4;

// An animation of kFrames frames of 40 ms with 16-bit stereo noise as its
// sound, made by vdzenc with `switches`; `track` gets its decoded sound.
std::string MakeAnimation(const TempDir& dir, const std::string& switches, Bytes& track) {
  realtime_test::WritePictures(dir.File("frames"), kFrames);
  vidzoer_test::WriteWaveFile(dir.File("a.wav"), kRate, 16, 2, vidzoer_test::NoiseBytes(kFrames * kFrameBytes, 11));
  const std::string vdz = dir.File("a.vdz");
  RunResult made = RunProgram(dir, "vdzenc",
                              "--frame-rate " + std::to_string(kPeriodMs) + " " + switches + " --sound " +
                                  Quote(dir.File("a.wav")) + " " + Quote(dir.File("frames")) + " " + Quote(vdz));
  EXPECT_EQ(made.exit_code, 0) << made.err;
  made = RunProgram(dir, "vdzinfo", Quote(vdz) + " --tracks " + Quote(dir.File("tracks")));
  EXPECT_EQ(made.exit_code, 0) << made.err;
  track = vidzoer_test::TrimSilence(vidzoer_test::ReadBytes(dir.File("tracks/track0.pcm")), 0);
  return vdz;
}

// Runs the script with the sound written to files; what the sound devices
// played, one after the other (switching the sound off and on again, as
// ANIMATIONGOTO does, may open the device anew).
Bytes RunCaptured(const TempDir& dir, const std::string& script) {
  std::ofstream(dir.File("main.ss"), std::ios::binary) << script;
  const std::string capture = dir.File("capture");
  for (int i = 0; i < 8; ++i) fs::remove(capture + "." + std::to_string(i));
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("VIDZOER_SOUND_CAPTURE", capture.c_str(), 1);
  const RunResult run = RunProgram(dir, "vidzoscw", Quote(dir.File("main.ss")));
  unsetenv("VIDZOER_SOUND_CAPTURE");
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_VIDEODRIVER");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  Bytes played;
  for (int i = 0; fs::exists(capture + "." + std::to_string(i)); ++i) {
    const Bytes part = vidzoer_test::ReadBytes(capture + "." + std::to_string(i));
    played.insert(played.end(), part.begin(), part.end());
  }
  return played;
}

std::string Report(const Bytes& want, const Bytes& heard) {
  const auto differ = std::mismatch(want.begin(), want.end(), heard.begin(), heard.end());
  return "the first " + std::to_string(differ.first - want.begin()) + " of " + std::to_string(want.size()) +
         " bytes played as decoded; " + std::to_string(heard.size()) + " bytes heard";
}

// Whether `b` holds a run of at least `n` silent (zero) bytes.
bool HasSilentRun(const Bytes& b, size_t n) {
  size_t run = 0;
  for (const uint8_t v : b) {
    run = v == 0 ? run + 1 : 0;
    if (run >= n) return true;
  }
  return false;
}

struct LeadCase {
  const char* switches;
  const char* name;
};
const LeadCase kLeads[] = {{"--sound-lead 0", "no sound lead"}, {"", "the default sound lead"}};

// ANIMATIONPLAY of a file with sound: the device plays the decoded track
// whole and in order, with no silence inserted.
TEST(ScriptSound, AnimationPlayPlaysTheWholeTrack) {
  for (const LeadCase& lead : kLeads) {
    SCOPED_TRACE(lead.name);
    TempDir dir;
    Bytes want;
    const std::string vdz = MakeAnimation(dir, lead.switches, want);
    ASSERT_GT(want.size(), kFrames * kFrameBytes / 2);
    const Bytes heard = vidzoer_test::TrimSilence(
        RunCaptured(dir, "SCREENGRAPHICS OK 64 48\nANIMATIONTRACKS 1\nANIMATIONPLAY R 0 0 1 0 \"" + vdz +
                             "\"\nIF R = 0 EXIT\nINPUTCHARORDELAY K 300\n"),
        0);
    EXPECT_TRUE(heard == want) << Report(want, heard);
  }
}

// Half the animation shown frame by frame at its pace (ANIMATIONDELAY), then ANIMATIONGOTO
// back to frame 1 and ANIMATIONPLAY of the open animation: the device plays
// the start of the track up to at most where the pictures had got (and its
// lead), then silence, then the whole track from its start; nothing of the
// abandoned part comes after the seek.
TEST(ScriptSound, AnimationGotoRestartsTheSound) {
  constexpr uint32_t kShown = kFrames / 2;
  for (const LeadCase& lead : kLeads) {
    SCOPED_TRACE(lead.name);
    TempDir dir;
    Bytes want;
    const std::string vdz = MakeAnimation(dir, lead.switches, want);
    ASSERT_GT(want.size(), kFrames * kFrameBytes / 2);
    std::string script = "SCREENGRAPHICS OK 64 48\nANIMATIONTRACKS 1\nANIMATIONOPEN A 0 \"" + vdz + "\"\nIF A = 0 EXIT\n";
    for (uint32_t i = 0; i < kShown; ++i)
      script += "ANIMATIONADVANCE A\nANIMATIONDELAY A\n";
    script += "ANIMATIONGOTO A 1\nANIMATIONPLAY R 0 0 1 0 A\nINPUTCHARORDELAY K 300\nANIMATIONCLOSE A\n";
    const Bytes heard = vidzoer_test::TrimSilence(RunCaptured(dir, script), 0);
    ASSERT_GT(heard.size(), want.size()) << "the first play was not heard";
    // The replay: the whole track at the end.
    const Bytes replay(heard.end() - static_cast<std::ptrdiff_t>(want.size()), heard.end());
    EXPECT_TRUE(replay == want) << Report(want, replay);
    // Before it: the start of the track, once, with no gap in it.
    const Bytes first =
        vidzoer_test::TrimSilence(Bytes(heard.begin(), heard.end() - static_cast<std::ptrdiff_t>(want.size())), 0);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), want.begin())) << Report(want, first);
    EXPECT_FALSE(HasSilentRun(first, 64)) << "a gap in the sound before the seek";
    // At most the sound of the frames shown, the one prepared after them
    // and the encoder's lead.
    const size_t lead_bytes = lead.switches[0] == '\0' ? size_t{kRate} * vidzotools::kDefaultSoundLeadMs / 1000 * 4 : 0;
    const size_t bound = (kShown + 1) * kFrameBytes + lead_bytes;
    EXPECT_LE(first.size(), bound) << "sound of the abandoned part was played";
    EXPECT_GE(first.size(), kShown / 2 * kFrameBytes) << "the first play was cut short";
  }
}

}  // namespace
