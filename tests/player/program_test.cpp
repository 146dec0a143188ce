// vidzoplw run as a user runs it, headless (SDL's dummy video and sound
// drivers), on files made by the project's encoder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fake_front_end.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "test_files.h"

namespace {

using player_test::TestFile;
using vidzoer_test::Quote;
using vidzoer_test::RunResult;

class PlayerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    unsetenv("VIDZOER_DEBUG");
    unsetenv("VIDZOER_DEBUG_LOG");
  }
  std::string File(const std::string& name, const TestFile& shape = {}) {
    const std::string path = dir_.File(name);
    player_test::WriteTestVdz(path, shape);
    return path;
  }
  RunResult Play(const std::string& args) { return vidzoer_test::RunProgram(dir_, "vidzoplw", args); }
  // A number the summary reports after `label`.
  static long Figure(const std::string& summary, const std::string& label) {
    const size_t at = summary.find(label + ": ");
    if (at == std::string::npos) return -1;
    const size_t digits = at + label.size() + 2;
    if (digits >= summary.size() || summary[digits] < '0' || summary[digits] > '9') return -1;
    return std::stol(summary.substr(digits));
  }

  vidzoer_test::TempDir dir_;
};

TEST_F(PlayerProgram, SummaryAgreesWithTheFile) {
  // 2 ms frames: 500 frames a second, so one-second windows fit in 520 frames.
  TestFile shape;
  shape.frames = 520;
  shape.frame_rate = 2;
  shape.busy_from = 505;
  shape.busy_to = 512;
  const std::string movie = File("movie.vdz", shape);
  const RunResult r = Play(Quote(movie) + " /S");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<uint32_t> sizes = player_test::FrameSizes(movie);
  ASSERT_EQ(sizes.size(), 520u);
  uint64_t total = 0;
  for (uint32_t s : sizes) total += s;
  // The busiest second: windows of 500 frames starting at frames 1 to 19
  // (the first and the last frame of the file belong to none of them).
  uint64_t best = 0;
  long best_start = 0;
  for (size_t start = 1; start + 500 <= 519; ++start) {
    uint64_t sum = 0;
    for (size_t i = start; i < start + 500; ++i) sum += sizes[i];
    if (sum > best) {
      best = sum;
      best_start = static_cast<long>(start) + 1;
    }
  }
  EXPECT_NE(r.err.find("Vidzoer Summary:   Frame rate: 500.0\r\n"), std::string::npos) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 520);
  EXPECT_EQ(Figure(r.err, "Skipped frames"), 0);
  EXPECT_EQ(Figure(r.err, "Average frame size"), static_cast<long>(total / 520));
  EXPECT_EQ(Figure(r.err, "Highest one second data rate"), static_cast<long>(best));
  EXPECT_EQ(Figure(r.err, "Highest one second data rate start frame"), best_start);
  EXPECT_GT(best_start, 1);
  EXPECT_NE(r.err.find("Display blitter: "), std::string::npos);
  // With /S no information box.
  EXPECT_EQ(r.err.find("VidzoPlay is part of"), std::string::npos);
}

TEST_F(PlayerProgram, InformationBoxWithoutSummary) {
  const std::string movie = File("movie.vdz");
  const RunResult r = Play(Quote(movie));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("VidzoPlay - V3.1g:   VidzoPlay is part of the Vidzoer Video and Animation"),
            std::string::npos)
      << r.err;
}

TEST_F(PlayerProgram, LoopingOneFileAndSeveral) {
  const std::string a = File("a.vdz"), b = File("b.vdz", {16, 16, 3});
  const std::string log = dir_.File("debug.log");
  setenv("VIDZOER_DEBUG", "1", 1);
  setenv("VIDZOER_DEBUG_LOG", log.c_str(), 1);
  auto opens = [&log] {
    std::ifstream in(log);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.find("VidzoOpen - file:") != std::string::npos;
    std::filesystem::remove(log);
    return n;
  };
  RunResult r = Play(Quote(a) + " /L3 /S");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 15);
  EXPECT_EQ(opens(), 1);
  r = Play("/L3/S " + Quote(a) + " " + Quote(b));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 3);  // the last file closed
  EXPECT_EQ(opens(), 6);
}

TEST_F(PlayerProgram, FrameRateOverrides) {
  const std::string movie = File("movie.vdz", {16, 16, 3, 100});
  struct Case {
    const char* sw;
    const char* rate;
  } cases[] = {
      {"/F", "As fast as possible."}, {"/F0", "As fast as possible."}, {"/F15", "15.0"}, {"/F-40", "25.0"}};
  for (const Case& c : cases) {
    const RunResult r = Play(Quote(movie) + " /S " + c.sw);
    EXPECT_EQ(r.exit_code, 0) << c.sw << r.err;
    EXPECT_NE(r.err.find(std::string("Summary:   Frame rate: ") + c.rate + "\r\n"), std::string::npos)
        << c.sw << r.err;
    EXPECT_EQ(Figure(r.err, "Total frames played"), 3) << c.sw;
  }
}

TEST_F(PlayerProgram, SoundTracksAndSoundOnly) {
  TestFile shape{16, 16, 4, 40, true};
  const std::string movie = File("sound.vdz", shape);
  const std::string out = dir_.File("sound.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);
  auto played = [&out] {
    const bool there = std::filesystem::exists(out) && std::filesystem::file_size(out) > 0;
    std::filesystem::remove(out);
    return there;
  };
  for (const char* sw : {"/T0", "/T2", "/T5", "/O", "/O /T0", "/Z"}) {
    const RunResult r = Play(Quote(movie) + " /S " + sw);
    EXPECT_EQ(r.exit_code, 0) << sw << r.err;
    EXPECT_EQ(Figure(r.err, "Total frames played"), 4) << sw << r.err;
    const bool expect_sound = std::string(sw) == "/T5" || std::string(sw) == "/O" || std::string(sw) == "/Z";
    EXPECT_EQ(played(), expect_sound) << sw;
  }
  const RunResult r = Play(Quote(movie) + " /S /O");
  EXPECT_NE(r.err.find("Display blitter: Standard Windows DIBs"), std::string::npos) << r.err;
  unsetenv("SDL_DISKAUDIOFILE");
  unsetenv("SDL_DISKAUDIODELAY");
}

TEST_F(PlayerProgram, NamesAbsoluteRelativeAndWithBlanks) {
  std::filesystem::create_directories(dir_.path() / "my films");
  const std::string spaced = File("my films/first film.vdz", {16, 16, 2});
  File("second.vdz", {16, 16, 3});
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  const RunResult r = Play("/S " + Quote(spaced) + " second 'my films/first film.vdz'");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 2) << r.err;
}

TEST_F(PlayerProgram, DataAppendedToTheProgramAndTheSelfPlayText) {
  std::vector<uint8_t> program = player_test::ReadBytes(std::string(VIDZOER_BIN_DIR) + "/vidzoplw");
  const std::string offset = std::to_string(program.size());
  // The self-play area is in the program image, its field empty.
  const std::string marker = "SELFPLAY";
  const auto at = std::search(program.begin(), program.end(), marker.begin(), marker.end());
  ASSERT_NE(at, program.end());
  ASSERT_LE(at + 8 + 208 + 8, program.end());
  EXPECT_TRUE(std::all_of(at + 8, at + 216, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(std::string(at + 216, at + 224), "VIDZOER!");
  const size_t field = static_cast<size_t>(at - program.begin()) + 8;

  const std::vector<uint8_t> movie = player_test::ReadBytes(File("movie.vdz"));
  auto run = [this, &movie](std::vector<uint8_t> image, const std::string& args) {
    const std::string copy = dir_.File("selfplay");
    image.insert(image.end(), movie.begin(), movie.end());
    player_test::WriteBytes(copy, image);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    const std::string cmd = Quote(copy) + " " + args + " 2>" + Quote(dir_.File("err.txt"));
    const int status = std::system(cmd.c_str());
    const std::vector<uint8_t> err = player_test::ReadBytes(dir_.File("err.txt"));
    return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", std::string(err.begin(), err.end())};
  };
  RunResult r = run(program, ":" + offset + " /S");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 5) << r.err;

  // A packaged player: the field names the appended data and loops it; the
  // user's switches come after the embedded ones.
  const std::string text = "/L2 /S :" + offset;
  std::copy(text.begin(), text.end(), program.begin() + static_cast<long>(field));
  r = run(program, "");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Figure(r.err, "Total frames played"), 10) << r.err;
  r = run(program, "/L3");
  EXPECT_EQ(Figure(r.err, "Total frames played"), 15) << r.err;
}

TEST_F(PlayerProgram, FailuresAUserMeets) {
  const std::string movie = File("movie.vdz");
  // Switches the player does not understand, and no name at all.
  for (const std::string& args :
       {std::string(""), Quote(movie) + " /S5", Quote(movie) + " /W", std::string("/L3/T5 /S")}) {
    const RunResult r = Play(args);
    EXPECT_NE(r.exit_code, 0) << args;
    EXPECT_NE(r.err.find(" SYNTAX: VidzoPly <Vidzo1 Vidzo2...> [/Switches]"), std::string::npos)
        << args << r.err;
  }
  const std::string missing = dir_.File("missing.vdz");
  RunResult r = Play(Quote(missing));
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("VidzoPlay:  Error opening file: " + missing + "."), std::string::npos) << r.err;
  // A full-screen type the picture does not fit.
  const std::string wide = File("wide.vdz", {336, 16, 2});
  r = Play(Quote(wide) + " /V1");
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("VidzoPlay:  Error opening graphics buffer."), std::string::npos) << r.err;
  r = Play(Quote(movie) + " /V1 /S");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Display blitter: Full screen 320x240"), std::string::npos) << r.err;
  // An argument that is not made of switches alone is a name, as file names
  // hold slashes.
  r = Play(Quote(movie) + " /XQ");
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("VidzoPlay:  Error opening file: /XQ.Vdz."), std::string::npos) << r.err;
  // A file cut short in its tables is refused; one cut short in its frame
  // data plays (and loops) the frames it holds whole; one with scrambled
  // frames plays what it can.
  const std::vector<uint8_t> bytes = player_test::ReadBytes(movie);
  const std::string damaged = dir_.File("damaged.vdz");
  std::vector<uint8_t> scrambled = bytes;
  for (size_t i = 104 + 5 * 5 + 8; i < scrambled.size(); ++i)
    scrambled[i] = static_cast<uint8_t>(i * 151 + 7);
  const std::vector<uint32_t> sizes = player_test::FrameSizes(movie);
  ASSERT_EQ(sizes.size(), 5u);
  const size_t frame3 = bytes.size() - sizes[4] - sizes[3];
  const struct {
    std::vector<uint8_t> bytes;
    int exit_code;
    long frames;
  } variants[] = {
      {std::vector<uint8_t>(bytes.begin(), bytes.begin() + 110), 1, -1},
      {std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(frame3 + 1)), 0, 6},
      {scrambled, 0, 10},
  };
  for (size_t v = 0; v < std::size(variants); ++v) {
    player_test::WriteBytes(damaged, variants[v].bytes);
    r = Play(Quote(damaged) + " /L2 /S");
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << v << r.err;
    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << v << r.err;
    EXPECT_EQ(r.exit_code, variants[v].exit_code) << v << r.err;
    if (variants[v].exit_code != 0) {
      EXPECT_NE(r.err.find("Error opening file: " + damaged + "."), std::string::npos) << v << r.err;
    } else {
      EXPECT_EQ(Figure(r.err, "Total frames played"), variants[v].frames) << v << r.err;
    }
  }
  // A picture beyond the toolkit's limits says so.
  std::vector<uint8_t> tall = bytes;
  tall[8] = 0x04;
  tall[9] = 0x00;
  tall[10] = 0x00;
  tall[11] = 0x09;  // 4 x 150994948
  tall[4] = 4;
  tall[5] = tall[6] = tall[7] = 0;
  player_test::WriteBytes(damaged, tall);
  r = Play(Quote(damaged));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(
      r.err.find("VidzoPlay:  Error opening file: " + damaged +
                 ". Picture too large: 4 x 150994948 pixels (at most 16384 on a side and 33554432 in all)."),
      std::string::npos)
      << r.err;
}

TEST_F(PlayerProgram, ReportsToTheFrontEnd) {
  const std::string movie = File("movie.vdz", {16, 16, 2});
  {
    player_test::FakeFrontEnd front(4242, "Vidzoer for Windows - /home", 0);
    ASSERT_TRUE(front.listening());
    const RunResult r = Play(Quote(movie) + " /#4242");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("VidzoPlay is part of"), std::string::npos);  // started from the front end
    const auto records = front.Records(3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, 1u);
    EXPECT_EQ(records[1].identifier, 10019u);
    EXPECT_EQ(records[2].identifier, 4660u);
    const std::string banner(reinterpret_cast<const char*>(records[2].data.data()));
    EXPECT_EQ(banner.rfind("VidzoPlay - V3.1g  ", 0), 0u);
    EXPECT_EQ(records[2].data.size(), banner.size() + 16);
  }
  {
    player_test::FakeFrontEnd front(4243, "Vidzoer for Windows", 8995);
    EXPECT_EQ(Play(Quote(movie) + " /#4243").exit_code, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto records = front.Records(2);
    ASSERT_EQ(records.size(), 2u);  // forgotten: no report
  }
  {
    player_test::FakeFrontEnd front(4244, "Some other window", 8995);
    const RunResult r = Play(Quote(movie) + " /#4244");
    EXPECT_NE(r.err.find("VidzoPlay is part of"), std::string::npos);
    const auto records = front.Records(2);
    ASSERT_EQ(records.size(), 2u);  // the caption query and the report
    EXPECT_EQ(records[1].identifier, 4660u);
  }
  // No front end listening: the run is not disturbed.
  EXPECT_EQ(Play(Quote(movie) + " /#4245").exit_code, 0);
}

}  // namespace
