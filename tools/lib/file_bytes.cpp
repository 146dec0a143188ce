#include "tools/lib/file_bytes.h"

#include "platform/file.h"

namespace vidzotools {

bool ReadFileBytes(const std::string& name, std::vector<uint8_t>& bytes) {
  int fd = platform::FileOpen(name.c_str(), false);
  if (fd < 0) return false;
  const int64_t size = platform::FileSize(fd);
  bool ok = size >= 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = platform::FileRead(fd, bytes.data(), bytes.size()) == bytes.size();
  }
  platform::FileClose(fd);
  return ok;
}

bool WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  int fd = platform::FileCreate(name.c_str());
  if (fd < 0) return false;
  const bool ok = platform::FileWrite(fd, bytes.data(), bytes.size()) == bytes.size();
  platform::FileClose(fd);
  return ok;
}

}  // namespace vidzotools
