#include "support/temp_dir.h"

#include <cstdlib>
#include <string>

namespace vidzoer_test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vidzoer_test_XXXXXX").string();
  char* made = ::mkdtemp(tmpl.data());
  path_ = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (path_ != std::filesystem::temp_directory_path()) std::filesystem::remove_all(path_, ec);
}

}  // namespace vidzoer_test
