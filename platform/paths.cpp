#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "vidzoer/version.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder dir whose name equals want ignoring ASCII case, or "".
std::string FindIgnoringCase(const std::string& dir, const std::string& want) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return {};
  std::vector<std::string> hits;
  while (const dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, want.c_str()) == 0) hits.emplace_back(e->d_name);
  }
  ::closedir(d);
  if (hits.empty()) return {};
  std::sort(hits.begin(), hits.end());
  return hits.front();
}

}  // namespace

std::string ToSystemSeparators(std::string_view name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

std::string ResolvePath(std::string_view name) {
  std::string path = ToSystemSeparators(name);
  if (path.empty() || Exists(path)) return path;

  // Walk the components; keep each that exists, match the others.
  std::string built;
  size_t pos = 0;
  if (path[0] == '/') {
    built.push_back('/');
    pos = 1;
  }
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(pos, slash - pos);
    bool last = slash >= path.size();
    if (!part.empty()) {
      std::string candidate = built;
      candidate.append(part);
      if (!Exists(candidate) && part != "." && part != "..") {
        std::string dir = built.empty() ? std::string(".") : built;
        std::string match = FindIgnoringCase(dir, part);
        if (match.empty()) return path;  // unmatched: keep the name as written
        candidate = built;
        candidate.append(match);
      }
      built = candidate;
      if (!last) built += '/';
    } else if (!last) {
      // A doubled separator: keep it as the system reads it.
      if (!built.empty() && built.back() != '/') built += '/';
    }
    if (last) break;
    pos = slash + 1;
  }
  return built.empty() ? path : built;
}

std::string DataDirFor(std::string_view program_path) {
  const std::filesystem::path program(program_path);
  return (program.parent_path() / VIDZOER_DATA_FROM_BINDIR).lexically_normal().string();
}

std::string DataDir() {
  const char* chosen = std::getenv("VIDZOER_DATA_DIR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  return DataDirFor(std::string_view(buffer.data(), static_cast<size_t>(n)));
}

std::string FindDataFile(std::string_view relative) {
  const std::string dir = DataDir();
  if (dir.empty()) return {};
  std::string path = dir;
  if (path.back() != '/') path += '/';
  path += relative;
  return Exists(path) ? path : std::string();
}

}  // namespace platform
