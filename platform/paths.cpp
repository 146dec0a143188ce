#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

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

}  // namespace platform
