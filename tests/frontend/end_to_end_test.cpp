// vidzoerw run as a user runs it (offscreen): a batch file given on its
// command line runs the player twice and vdzinfo once, each line waiting
// for the program's report, with a peer sending garbage to the front end's
// socket between them; the output list is saved by the batch itself
// (savehist) and the settings file is written at close.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using vidzoer_test::Quote;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The environment of the programs run: no display, no sound card, the
// channel's socket and the settings in the test's folder.
class ProgramEnvironment {
 public:
  explicit ProgramEnvironment(const vidzoer_test::TempDir& dir) {
    Set("QT_QPA_PLATFORM", "offscreen");
    Set("SDL_VIDEODRIVER", "dummy");
    Set("SDL_AUDIODRIVER", "dummy");
    Set("XDG_RUNTIME_DIR", dir.path().string());
    Set("XDG_CONFIG_HOME", dir.File("config"));
  }
  ~ProgramEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(FrontEndProgram, BatchRunsThePlayerTwiceAndVdzinfoWaitingForEachReport) {
  vidzoer_test::TempDir dir;
  ASSERT_EQ(vidzoer_test::WriteTestAnimation(dir.File("a.vdz"), 32, 16, 3, false, 20).pixels.size(), 3u);
  std::ofstream(dir.File("run.sbt"))
      << "cd " << dir.path().string() << "\n"
      << "vidzoplw a.vdz\n"
      << "rem between\n"
      << "no-such-program-of-the-toolkit\n"
      // A peer that sends the front end's socket a record of
      // an unknown kind claiming 2 GiB, then garbage.
      << "perl -e \"use IO::Socket::UNIX; "
         "my ($p) = glob($ENV{XDG_RUNTIME_DIR} . q{/vidzoer-*.sock}); "
         "my $s = IO::Socket::UNIX->new(Peer => $p) or exit 3; "
         "print $s pack(q{VVV}, 0xFFFFFFFF, 4660, 0x7FFFFFFF) . (q{garbage} x 50); "
         "close $s; open(my $f, q{>}, q{garbage-sent}) and close $f\"\n"
      << "vidzoplw a.vdz\n"
      << "vdzinfo a.vdz\n"
      << "savehist out\n"
      << "exit\n";
  const ProgramEnvironment environment(dir);
  const auto r = vidzoer_test::RunProgramLimited(dir, "vidzoerw", Quote(dir.File("run.sbt")), 120, 0);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = ReadFile(dir.File("out.txt"));
  ASSERT_FALSE(out.empty()) << r.err;
  // Both runs of the player reported their banner, each before the next
  // line ran.
  EXPECT_EQ(Count(out, "\n  VidzoPlay - V"), 2u) << out;
  const size_t first_report = out.find("\n  VidzoPlay - V");
  EXPECT_LT(out.find("> vidzoplw a.vdz"), first_report);
  EXPECT_LT(first_report, out.find("> rem between"));
  EXPECT_LT(out.rfind("> vidzoplw a.vdz"), out.rfind("\n  VidzoPlay - V"));
  EXPECT_LT(out.rfind("\n  VidzoPlay - V"), out.find("> vdzinfo a.vdz"));
  EXPECT_NE(out.find("  Command not found."), std::string::npos);
  // After the garbage the front end still served the second player run and
  // vdzinfo's report.
  EXPECT_TRUE(std::filesystem::exists(dir.File("garbage-sent")));
  EXPECT_LT(out.find("> perl -e"), out.rfind("\n  VidzoPlay - V")) << out;
  EXPECT_NE(out.find("\n  VdzInfo - a.vdz"), std::string::npos) << out;
  EXPECT_LT(out.find("\n  VdzInfo - a.vdz"), out.find("> savehist out")) << out;
  // Closed by "exit" after the batch: the settings were written.
  const std::string ini = ReadFile(dir.File("config/vidzoer/Vidzoer.INI"));
  EXPECT_NE(ini.find("[VidzoCommand]\r\nDirectory=" + dir.path().string() + "\r\n"), std::string::npos)
      << ini;
  EXPECT_NE(ini.find("CurrentTab=7"), std::string::npos) << ini;
}

}  // namespace
