#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/paths.h"

namespace platform {
namespace {

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDelta = 116444736000000000ULL;

}  // namespace

int FileOpen(const char* name, bool write) {
  if (name == nullptr) return kInvalidFile;
  std::string path = ResolvePath(name);
  int fd;
  do {
    fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kInvalidFile;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

int FileCreate(const char* name) {
  if (name == nullptr) return kInvalidFile;
  std::string path = ResolvePath(name);
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kInvalidFile : fd;
}

void FileClose(int fd) {
  if (fd >= 0) ::close(fd);
}

size_t FileRead(int fd, void* dest, size_t count) {
  size_t done = 0;
  auto* p = static_cast<char*>(dest);
  while (done < count) {
    ssize_t n = ::read(fd, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t FileWrite(int fd, const void* src, size_t count) {
  size_t done = 0;
  const auto* p = static_cast<const char*>(src);
  while (done < count) {
    ssize_t n = ::write(fd, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t FileSeek(int fd, int64_t offset, int whence) {
  off_t r = ::lseek(fd, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t FileSize(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool FileGetTime(int fd, uint64_t* time) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  uint64_t units = static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ULL +
                   static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
  *time = units + kEpochDelta;
  return true;
}

bool FileSetTime(int fd, uint64_t time) {
  if (time < kEpochDelta) return false;
  uint64_t units = time - kEpochDelta;
  struct timespec ts[2];
  ts[0].tv_sec = static_cast<time_t>(units / 10000000ULL);
  ts[0].tv_nsec = static_cast<long>((units % 10000000ULL) * 100);
  ts[1] = ts[0];
  return ::futimens(fd, ts) == 0;
}

bool FileErase(const char* name) {
  if (name == nullptr) return false;
  return ::unlink(ResolvePath(name).c_str()) == 0;
}

bool FileExists(const char* name) {
  if (name == nullptr) return false;
  struct stat st;
  return ::stat(ResolvePath(name).c_str(), &st) == 0;
}

}  // namespace platform
