#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vidzoer_test {
namespace {

std::string ReadWhole(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

static RunResult RunCommand(const TempDir& dir, const std::string& prefix, const std::string& program,
                            const std::string& args) {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt"), tmp = dir.File("tmp");
  std::filesystem::create_directories(tmp);
  const std::string cmd = "TMPDIR=" + Quote(tmp) + " " + prefix +
                          Quote(std::string(VIDZOER_BIN_DIR) + "/" + program) + " " + args + " >" +
                          Quote(out) + " 2>" + Quote(err);
  const int status = std::system(cmd.c_str());
  RunResult r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadWhole(out);
  r.err = ReadWhole(err);
  return r;
}

void UseHeadlessEnvironment(const TempDir& dir) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

RunResult RunProgram(const TempDir& dir, const std::string& program, const std::string& args) {
  return RunCommand(dir, "", program, args);
}

RunResult RunProgramLimited(const TempDir& dir, const std::string& program, const std::string& args,
                            unsigned seconds, unsigned long address_space_kib) {
  std::string prefix;
  if (address_space_kib != 0) prefix = "prlimit --as=" + std::to_string(address_space_kib * 1024) + " ";
  prefix += "timeout -s KILL " + std::to_string(seconds) + " ";
  return RunCommand(dir, prefix, program, args);
}

}  // namespace vidzoer_test
