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

RunResult RunProgram(const TempDir& dir, const std::string& program, const std::string& args) {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt"), tmp = dir.File("tmp");
  std::filesystem::create_directories(tmp);
  const std::string cmd = "TMPDIR=" + Quote(tmp) + " " + Quote(std::string(VIDZOER_BIN_DIR) + "/" + program) +
                          " " + args + " >" + Quote(out) + " 2>" + Quote(err);
  const int status = std::system(cmd.c_str());
  RunResult r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadWhole(out);
  r.err = ReadWhole(err);
  return r;
}

}  // namespace vidzoer_test
