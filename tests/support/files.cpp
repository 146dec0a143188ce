#include "support/files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/run_program.h"

namespace vidzoer_test {

std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool RunShell(const std::string& command, const std::string& err_file) {
  return std::system((command + " </dev/null 2>" + Quote(err_file)).c_str()) == 0;
}

}  // namespace vidzoer_test
