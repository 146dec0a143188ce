#include "script/file_ops.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/file.h"
#include "platform/paths.h"

namespace vidzoscript {
namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Match(const char* p, const char* n) {
  // Iterative matcher with one back-tracking point for the last "*".
  const char *star = nullptr, *resume = nullptr;
  while (*n != '\0') {
    if (*p == '*') {
      star = p++;
      resume = n;
    } else if (*p == '?' || (*p != '\0' && Fold(*p) == Fold(*n))) {
      ++p, ++n;
    } else if (star != nullptr) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

// Name and extension (without its ".") of a file part.
void SplitExtension(const std::string& file, std::string& name, std::string& ext, bool& has_dot) {
  const size_t dot = file.rfind('.');
  has_dot = dot != std::string::npos;
  name = has_dot ? file.substr(0, dot) : file;
  ext = has_dot ? file.substr(dot + 1) : std::string();
}

std::string FillPiece(const std::string& pattern, const std::string& source) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '*') {
      if (i < source.size()) out += source.substr(i);
      break;
    }
    if (pattern[i] == '?') {
      if (i < source.size()) out += source[i];
    } else {
      out += pattern[i];
    }
  }
  return out;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (Match(pattern.c_str(), name.c_str())) return true;
  // "name.*" also matches "name".
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return Match(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
  return false;
}

std::string FormTargetName(const std::string& pattern, const std::string& source) {
  std::string pname, pext, sname, sext;
  bool pdot = false, sdot = false;
  SplitExtension(pattern, pname, pext, pdot);
  SplitExtension(source, sname, sext, sdot);
  std::string name = FillPiece(pname, sname);
  const std::string ext = pdot ? FillPiece(pext, sext) : std::string();
  if (!ext.empty()) name += "." + ext;
  return name;
}

std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  const std::string real = platform::ResolvePath(folder.empty() ? "." : folder);
  DIR* dir = ::opendir(real.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !WildcardMatch(pattern, name)) continue;
    struct stat st;
    const std::string full = real + (real.empty() || real.back() == '/' ? "" : "/") + name;
    if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void SplitFolder(const std::string& name, std::string& folder, std::string& file) {
  const size_t cut = name.find_last_of("/\\");
  folder = cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
  file = cut == std::string::npos ? name : name.substr(cut + 1);
}

bool DeleteOne(const std::string& from) {
  struct stat st;
  const std::string real = platform::ResolvePath(from);
  if (::stat(real.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return std::remove(real.c_str()) == 0;
}

bool RenameOne(const std::string& from, const std::string& to) {
  const std::string source = platform::ResolvePath(from), target = platform::ResolvePath(to);
  struct stat st;
  if (::stat(source.c_str(), &st) != 0) return false;
  if (source == target) return true;
  // A target that exists is kept, unless it is the source under another
  // case of its name.
  if (::lstat(target.c_str(), &st) == 0 && !SameFile(source, target)) return false;
  if (std::rename(source.c_str(), target.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  return CopyOne(source, target) && DeleteOne(source);
}

bool CopyOne(const std::string& from, const std::string& to) {
  const std::string source = platform::ResolvePath(from), target = platform::ResolvePath(to);
  if (SameNameIgnoringCase(from, to) || SameNameIgnoringCase(source, target) || SameFile(source, target))
    return false;
  struct stat st;
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int in = platform::FileOpen(source.c_str(), false);
  if (in == platform::kInvalidFile) return false;
  const int out = platform::FileCreate(target.c_str());
  if (out == platform::kInvalidFile) {
    platform::FileClose(in);
    return false;
  }
  const int64_t size = platform::FileSize(in);
  bool ok = size >= 0;
  char block[4096];
  for (int64_t done = 0; ok && done < size;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(sizeof block, size - done));
    ok = platform::FileRead(in, block, want) == want && platform::FileWrite(out, block, want) == want;
    done += static_cast<int64_t>(want);
  }
  uint64_t time = 0;
  if (ok && platform::FileGetTime(in, &time)) platform::FileSetTime(out, time);
  platform::FileClose(in);
  platform::FileClose(out);
  if (!ok) std::remove(target.c_str());
  return ok;
}

}  // namespace vidzoscript
