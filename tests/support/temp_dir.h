// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
#pragma once

#include <filesystem>
#include <string>

namespace vidzoer_test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path()/name as a string.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace vidzoer_test
