// vidzofr and vdzcompi run as a user runs them, their results checked with
// vdzinfo and the player, and the closing report of the tools as the front
// end receives it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../player/fake_front_end.h"
#include "../player/test_files.h"
#include "platform/report_channel.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using player_test::TestFile;
using vidzoer_test::Quote;
using vidzoer_test::RunResult;

class SmallTools : public ::testing::Test {
 protected:
  void SetUp() override {
    vidzoer_test::UseHeadlessEnvironment(dir_);
  }
  std::string File(const std::string& name, const TestFile& shape = {}) {
    const std::string path = dir_.File(name);
    player_test::WriteTestVdz(path, shape);
    return path;
  }
  RunResult Run(const std::string& program, const std::string& args) {
    return vidzoer_test::RunProgram(dir_, program, args);
  }
  // The "FrameRate:" line of vdzinfo.
  std::string InfoRate(const std::string& file) {
    const RunResult r = Run("vdzinfo", Quote(file));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const size_t at = r.out.find("FrameRate: ");
    if (at == std::string::npos) return "";
    return r.out.substr(at + 11, r.out.find('\n', at) - at - 11);
  }
  // Names in the folder other than those given (what a run left behind).
  std::vector<std::string> Others(std::initializer_list<std::string> known) {
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = e.path().filename().string();
      if (name == "tmp" || std::find(known.begin(), known.end(), name) != known.end()) continue;
      if (name == "stdout.txt" || name == "stderr.txt" || name.ends_with(".err")) continue;
      left.push_back(name);
    }
    return left;
  }
  static long Figure(const std::string& summary, const std::string& label) {
    const size_t at = summary.find(label + ": ");
    if (at == std::string::npos) return -1;
    return std::stol(summary.substr(at + label.size() + 2));
  }
  vidzoer_test::TempDir dir_;
};

TEST_F(SmallTools, VidzofrChangesTheRateInEveryForm) {
  const std::string movie = File("movie.vdz", {16, 16, 4, 100});
  const std::vector<uint8_t> before = player_test::ReadBytes(movie);
  EXPECT_EQ(InfoRate(movie), "100 (10.000 frames per second)");
  const struct {
    const char* sw;
    const char* shown;
  } cases[] = {
      {"/F15", "-6666 (15.002 frames per second)"},
      {"/F-40", "-4000 (25.000 frames per second)"},
      {"/F", "0 (untimed)"},
      {"/F-2000", "-2000 (50.000 frames per second)"},
      {"/F0", "0 (untimed)"},
      {"/F200000", "-5 (20000.000 frames per second)"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run("vidzofr", Quote(movie) + " " + c.sw);
    ASSERT_EQ(r.exit_code, 0) << c.sw << r.err;
    EXPECT_NE(r.out.find("movie.vdz: frame rate changed from "), std::string::npos) << r.out;
    EXPECT_EQ(InfoRate(movie), c.shown) << c.sw;
  }
  // Only the rate field changed; the rest of the file is as it was.
  const std::vector<uint8_t> after = player_test::ReadBytes(movie);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i)
    if (i < 16 || i >= 20) {
      ASSERT_EQ(after[i], before[i]) << i;
    }
  // The same rate again changes nothing and says so.
  const RunResult same = Run("vidzofr", Quote(dir_.File("movie")) + " /F200000");
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_NE(same.out.find("nothing was changed"), std::string::npos) << same.out;
  EXPECT_TRUE(Others({"movie.vdz"}).empty());
}

TEST_F(SmallTools, VidzofrRateShowsInThePlayersPace) {
  const std::string movie = File("movie.vdz", {16, 16, 6, 0});
  ASSERT_EQ(Run("vidzofr", Quote(movie) + " /F20").exit_code, 0);
  const RunResult r = Run("vidzoplw", Quote(movie) + " /S");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("Frame rate: 20.0"), std::string::npos) << r.err;
  // Six frames at 20 a second take about 300 ms (at least five periods).
  EXPECT_GE(Figure(r.err, "Total playback time"), 250) << r.err;
}

TEST_F(SmallTools, VidzofrWarnsAboutSoundAndRefusesBadInput) {
  const std::string movie = File("sound.vdz", {16, 16, 4, 40, true});
  const RunResult r = Run("vidzofr", Quote(movie) + " /F10");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(
      r.err.find("Warning: sound.vdz has 1 sound track that no longer matches the timing of its frames."),
      std::string::npos)
      << r.err;

  const std::string junk = dir_.File("junk.vdz");
  std::ofstream(junk) << "not a video file at all, but long enough to hold a header of 104 bytes ......";
  const std::vector<uint8_t> junk_bytes = player_test::ReadBytes(junk);
  const struct {
    std::string args;
    int code;
  } failures[] = {
      {Quote(junk) + " /F10", 1},
      {Quote(dir_.File("missing.vdz")) + " /F10", 1},
      {Quote(movie), 2},
      {Quote(movie) + " /F-1", 2},
      {Quote(movie) + " /F10 /Q", 2},
      {"/F10", 2},
  };
  for (const auto& f : failures) {
    const RunResult bad = Run("vidzofr", f.args);
    EXPECT_EQ(bad.exit_code, f.code) << f.args << bad.err;
    EXPECT_FALSE(bad.err.empty()) << f.args;
  }
  EXPECT_EQ(player_test::ReadBytes(junk), junk_bytes);
  EXPECT_TRUE(Others({"sound.vdz", "junk.vdz"}).empty());
}

TEST_F(SmallTools, VidzofrLeavesTheFileWhenTheCopyCannotBeWritten) {
  // Files may grow to 2 KiB only: the copy with the new header fails.
  const std::string movie = File("m.vdz", {64, 64, 20, 100, false, 0, 20});
  const std::vector<uint8_t> before = player_test::ReadBytes(movie);
  ASSERT_GT(before.size(), 4096u);
  const std::string cmd =
      "cd " + Quote(dir_.path().string()) + " && bash -c " +
      Quote("trap '' XFSZ; ulimit -f 2; " + Quote(std::string(VIDZOER_BIN_DIR) + "/vidzofr") + " m.vdz /F5") +
      " 2>" + Quote(dir_.File("fr.err"));
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::vector<uint8_t> err = player_test::ReadBytes(dir_.File("fr.err"));
  EXPECT_NE(std::string(err.begin(), err.end()).find("m.vdz was not changed."), std::string::npos);
  EXPECT_EQ(player_test::ReadBytes(movie), before);
  EXPECT_TRUE(Others({"m.vdz"}).empty());
}

TEST_F(SmallTools, VdzcompiMakesAProgramThatPlaysItsFilesInOrder) {
  const std::string a = File("a.vdz", {16, 16, 3}), b = File("b.vdz", {16, 16, 7});
  const std::string player = std::string(VIDZOER_BIN_DIR) + "/vidzoplw";
  const std::string out = dir_.File("show");
  RunResult r =
      Run("vdzcompi", Quote(player + ".exe") + " " + Quote(out) + " '/L2 /S' " + Quote(a) + " " + Quote(b));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const uint64_t size_player = std::filesystem::file_size(player);
  const std::string text = "/L2 /S :" + std::to_string(size_player) + " :" +
                           std::to_string(size_player + std::filesystem::file_size(a));
  EXPECT_NE(r.out.find("it plays with \"" + text + "\""), std::string::npos) << r.out;
  EXPECT_EQ(std::filesystem::file_size(out),
            size_player + std::filesystem::file_size(a) + std::filesystem::file_size(b));
  EXPECT_NE(std::filesystem::status(out).permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::none);

  // Run it with a debug log: the list plays twice (/L2), so the files open
  // four times, and the summary is of the last file closed (b, 7 frames).
  const std::string log = dir_.File("debug.log");
  const std::string cmd = "VIDZOER_DEBUG=1 VIDZOER_DEBUG_LOG=" + Quote(log) + " " + Quote(out) + " 2>" +
                          Quote(dir_.File("show.err"));
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::vector<uint8_t> err = player_test::ReadBytes(dir_.File("show.err"));
  const std::string err_text(err.begin(), err.end());
  EXPECT_EQ(Figure(err_text, "Total frames played"), 7) << err_text;
  const std::vector<uint8_t> log_bytes = player_test::ReadBytes(log);
  const std::string log_text(log_bytes.begin(), log_bytes.end());
  size_t opens = 0;
  for (size_t at = log_text.find("VidzoOpen - "); at != std::string::npos;
       at = log_text.find("VidzoOpen - ", at + 1))
    ++opens;
  EXPECT_EQ(opens, 4u) << log_text;
  EXPECT_TRUE(Others({"a.vdz", "b.vdz", "show", "debug.log"}).empty());
}

TEST_F(SmallTools, VdzcompiRefusesWhatItCannotPack) {
  const std::string a = File("a.vdz");
  const std::string player = std::string(VIDZOER_BIN_DIR) + "/vidzoplw";
  const std::string out = dir_.File("prog");
  const std::string long_switches(200, ' ');
  const struct {
    std::string args;
    const char* why;
  } cases[] = {
      {Quote(dir_.File("vidzoply.exe")) + " " + Quote(out) + " '' " + Quote(a), "only the player vidzoplw"},
      {Quote(a) + " " + Quote(out) + " '' " + Quote(a), "is not the player vidzoplw"},
      {Quote(player) + " " + Quote(out) + " '/L2" + long_switches + "' " + Quote(a),
       "the self-play field holds 207"},
      {Quote(player) + " " + Quote(out) + " '' " + Quote(dir_.File("missing.vdz")), "missing.vdz"},
      {Quote(player) + " " + Quote(a) + " '' " + Quote(a), "must not be the player or one of the files"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run("vdzcompi", c.args);
    EXPECT_EQ(r.exit_code, 1) << c.args;
    EXPECT_NE(r.err.find(c.why), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(Run("vdzcompi", Quote(player) + " " + Quote(out)).exit_code, 2);
  EXPECT_TRUE(Others({"a.vdz"}).empty());
  // A self-playing program is no player to pack again.
  ASSERT_EQ(Run("vdzcompi", Quote(player) + " " + Quote(out) + " '' " + Quote(a)).exit_code, 0);
  const RunResult again = Run("vdzcompi", Quote(out) + " " + Quote(dir_.File("p2")) + " '' " + Quote(a));
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("is a self-playing program already"), std::string::npos) << again.err;
}

// What qelsiw says of the machine, against what the system's own tools say.
TEST_F(SmallTools, QelsiwDescribesTheMachine) {
  const RunResult r = Run("qelsiw", "/M");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(vidzoer_test::RunShell("nproc > " + Quote(dir_.File("nproc.txt")), dir_.File("nproc.err")));
  const std::vector<uint8_t> nproc = player_test::ReadBytes(dir_.File("nproc.txt"));
  const int cpus = std::stoi(std::string(nproc.begin(), nproc.end()));
  EXPECT_NE(r.out.find(", " + std::to_string(cpus) + " online\n"), std::string::npos) << r.out;
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kib = 0;
  meminfo >> key >> kib;
  ASSERT_EQ(key, "MemTotal:");
  EXPECT_NE(r.out.find("Memory: " + std::to_string(kib / 1024) + " MB in all, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Vector units: "), std::string::npos);
  EXPECT_NE(r.out.find("\nVideo driver: dummy\nDisplays: 1\n  Display 0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nSound output: dummy, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nProgram folder: " + std::string(VIDZOER_BIN_DIR) + "\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.rfind("qelsiw (Vidzoer toolkit) ", 0), 0u) << r.out;
  EXPECT_EQ(Run("qelsiw", "/Q").exit_code, 2);
  EXPECT_EQ(Run("qelsiw", "extra").exit_code, 2);
}

// Every tool's closing text reaches the front end as "title - subtitle",
// "\r\n  " and the last line.
TEST_F(SmallTools, EachToolReportsItsEndingToTheFrontEnd) {
  const std::string movie = File("movie.vdz", {16, 16, 3, 100, true});
  const std::string player = std::string(VIDZOER_BIN_DIR) + "/vidzoplw";
  const uint32_t id = 700000 + static_cast<uint32_t>(getpid() % 100000);
  const struct {
    const char* program;
    std::string args;
    std::string head;    // the report's first line
    const char* status;  // what its second line holds
  } cases[] = {
      {"vidzofr", Quote(movie) + " /F12", "VidzoFR - movie.vdz", "movie.vdz: frame rate changed"},
      {"vdzcompi", Quote(player) + " " + Quote(dir_.File("prog")) + " '/S' " + Quote(movie),
       "VdzCompi - prog", "prog: 1 file packed"},
      {"vorured", Quote(movie) + " " + Quote(dir_.File("snd.wav")), "VorurEd - movie.vdz to snd.wav",
       " bytes of sound ("},
      {"vidzomix",
       Quote(movie) + " " + Quote(dir_.File("snd.wav")) + " " + Quote(dir_.File("mixed.vdz")) + " /M2",
       "VidzoMix - snd.wav into mixed.vdz", " track 2 of mixed.vdz "},
      {"vdzinfo", Quote(movie), "VdzInfo - movie.vdz", "File: "},
      {"vidzofr", Quote(dir_.File("none.vdz")) + " /F12", "VidzoFR - none.vdz", "vidzofr: "},
      {"qelsiw", "", "QelSIW - System information", "qelsiw (Vidzoer toolkit) "},
  };
  for (const auto& c : cases) {
    player_test::FakeFrontEnd front(id, "Vidzoer for Windows", 0);
    ASSERT_TRUE(front.listening());
    const RunResult r = Run(c.program, c.args + " /#" + std::to_string(id));
    (void)r;
    const auto records = front.Records(3);
    ASSERT_EQ(records.size(), 3u) << c.program << r.err;
    EXPECT_EQ(records[1].identifier, platform::kReportHello);
    EXPECT_EQ(records[2].kind, platform::kReportCopyData);
    EXPECT_EQ(records[2].identifier, platform::kReportDataText);
    const std::string text(records[2].data.begin(), records[2].data.end());
    EXPECT_EQ(text.rfind(c.head + "\r\n  ", 0), 0u) << c.program << ": " << text;
    EXPECT_NE(text.find(c.status, c.head.size() + 4), std::string::npos) << c.program << ": " << text;
    EXPECT_EQ(text.back(), '\0');
  }
}

}  // namespace
