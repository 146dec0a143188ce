// A fresh file in the system's temporary folder for bits the encoders write
// through a QELFile, removed when the object goes away.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vidzotools {

class ScratchFile {
 public:
  ScratchFile() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    std::string pattern = dir + "/vdzencXXXXXX";
    if (pattern.size() >= 128) pattern = "/tmp/vdzencXXXXXX";  // QELFile keeps 127 characters
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return;
    close(fd);
    name_ = name.data();
  }
  ~ScratchFile() {
    if (!name_.empty()) unlink(name_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  // Empty when no file could be made.
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

}  // namespace vidzotools
