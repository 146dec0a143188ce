// Small helpers for the QELFile tests: whole-file reads and writes.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qelfile_test {

inline std::vector<uint8_t> ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline void WriteAll(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& name, const std::string& text) {
  WriteAll(name, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace qelfile_test
