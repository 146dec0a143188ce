// Whole files as bytes, for the tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidzotools {

// The whole content of the file `name`; false when it cannot be read.
bool ReadFileBytes(const std::string& name, std::vector<uint8_t>& bytes);
// Creates (or truncates) `name` and writes `bytes`; false when that fails.
bool WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes);

}  // namespace vidzotools
