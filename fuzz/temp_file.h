// A temporary file that holds the fuzz input, for readers that open files
// by name. The name keeps the given extension; the file goes at exit.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz_support {

inline const std::string& InputFile(const char* extension) {
  static std::string name = [extension] {
    std::string tmpl = std::string("/tmp/fuzz_input_XXXXXX") + extension;
    int fd = ::mkstemps(tmpl.data(), static_cast<int>(std::string(extension).size()));
    if (fd < 0) std::abort();
    ::close(fd);
    return tmpl;
  }();
  static bool registered = [] { return std::atexit([] { ::unlink(name.c_str()); }) == 0; }();
  (void)registered;
  return name;
}

inline void WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace fuzz_support
