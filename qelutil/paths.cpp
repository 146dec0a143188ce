// Path and file-name helpers. On this system "/" separates folders ("\" is
// read as "/" too) and there are no drive letters: the drive part of every
// path is empty.
#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "qelutil/full_path.h"
#include "qelutil/qelutil.h"
#include "qelutil/text_chars.h"

namespace qelutil {

std::string FullPath(std::string_view name) {
  if (name.empty()) return {};
  std::string path = platform::ToSystemSeparators(name);
  if (path[0] != '/') {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    if (ec || cwd.empty()) return {};
    path = cwd + "/" + path;
  }
  bool trailing = path.back() == '/';
  std::vector<std::string_view> parts;
  std::string_view rest(path);
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (std::string_view part : parts) full.append("/").append(part);
  if (full.empty() || trailing) full += '/';
  return full;
}

bool NamesFolder(const std::string& name) {
  std::string real = platform::ResolvePath(name);
  struct stat st;
  return ::stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(real.c_str(), X_OK) == 0;
}

}  // namespace qelutil

namespace {

// Replaces path by text, or by the empty text when it is too long.
size_t Store(char* path, const std::string& text) {
  if (text.size() > qelutil::kMaxPath) {
    path[0] = '\0';
    return 0;
  }
  std::memcpy(path, text.c_str(), text.size() + 1);
  return text.size();
}

// The full path without a trailing separator (except for the root).
std::string FolderPath(const char* path) {
  std::string full = qelutil::FullPath(*path != '\0' ? path : ".");
  if (full.size() > 1 && full.back() == '/') full.pop_back();
  return full;
}

}  // namespace

extern "C" {

char* AddBackslash(char* path) {
  if (Trim(path) == nullptr) return nullptr;
  size_t n = std::strlen(path);
  if (n > 0 && path[n - 1] != '/' && path[n - 1] != '\\') {
    path[n] = '/';
    path[n + 1] = '\0';
  }
  return path;
}

char* HasExtension(const char* name) {
  if (name == nullptr) return nullptr;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return nullptr;
  for (const char* p = dot + 1; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') return nullptr;
  return const_cast<char*>(dot);
}

uint32_t ExpandFileName(char* path) {
  if (path == nullptr) return 0;
  return static_cast<uint32_t>(Store(path, qelutil::FullPath(path))) + 1;
}

int32_t IsDirectory(char* path, int32_t change) {
  if (Trim(path) == nullptr) return 0;
  std::string full = FolderPath(path);
  if (full.empty() || Store(path, full) == 0) return 0;
  if (!qelutil::NamesFolder(full)) return 0;
  if (change == 0) return 1;
  std::string real = platform::ResolvePath(full);
  if (::chdir(real.c_str()) != 0) return 0;
  Store(path, real);
  return 1;
}

char* GetFilePieces(char* path, int32_t drive, int32_t dir, int32_t name, int32_t ext) {
  (void)drive;  // the drive part is always empty here
  if (Trim(path) == nullptr || path[0] == '\0') return path;
  std::string full = qelutil::FullPath(path);
  if (full.empty() || full.size() > qelutil::kMaxPath) {
    path[0] = '\0';
    return path;
  }
  bool folder = qelutil::NamesFolder(full);
  if (folder) {
    if (full.back() != '/') full += '/';
    full += "*.*";
  }
  size_t slash = full.rfind('/');
  std::string_view file = std::string_view(full).substr(slash + 1);
  size_t dot = file.rfind('.');
  std::string pieces;
  if (dir != 0) pieces += full.substr(0, slash + 1);
  if (name != 0 && !folder) pieces += file.substr(0, dot);
  if (ext != 0 && !folder && dot != std::string_view::npos) pieces += file.substr(dot);
  Store(path, pieces);
  return path;
}

char GetDrive(char* path) {
  ExpandFileName(path);
  return '\0';
}

char* GetTempName(char* dest, const char* dir, const char* prefix, uint32_t number) {
  if (dest == nullptr) return nullptr;
  char name[13];
  for (int i = 0; i < 12; ++i) {
    uint32_t nibble = i < 8 ? (number >> (4 * i)) & 15u : 0u;
    name[i] = static_cast<char>('A' + nibble);
  }
  size_t prefix_length = prefix != nullptr ? strnlen(prefix, 12) : 0;
  if (prefix_length > 0) std::memcpy(name, prefix, prefix_length);
  name[8] = '.';
  name[12] = '\0';
  size_t dir_length = dir != nullptr ? std::strlen(dir) : 0;
  if (dir_length > 0) std::memmove(dest, dir, dir_length);
  std::memcpy(dest + dir_length, name, sizeof name);
  return dest;
}

}  // extern "C"
