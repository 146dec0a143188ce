// Whole files as bytes, and outside programs the comparison tests run
// (ImageMagick, ffmpeg), for the tests of the readers and writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidzoer_test {

std::vector<uint8_t> ReadBytes(const std::string& name);
void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);
// Whether a program is on PATH.
bool HaveProgram(const std::string& name);
// Runs a shell command line with its standard error in err_file; true when
// it exits with 0.
bool RunShell(const std::string& command, const std::string& err_file);

}  // namespace vidzoer_test
