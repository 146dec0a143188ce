// The overwrite question and the same-file test of the tools.
#include <sys/stat.h>

#include <string>

#include "platform/file.h"
#include "platform/paths.h"
#include "qelutil/full_path.h"
#include "qelutil/qelutil.h"

namespace {

// Whether two names reach the same file. Names are compared as the file
// system resolves them (a name in another case finds the existing file, and
// creating the output would then truncate the input), and two existing files
// are the same when they are one file on disk (links, "./" and "../" detours).
bool SameFile(const char* a, const char* b) {
  std::string full_a = qelutil::FullPath(a);
  std::string full_b = qelutil::FullPath(b);
  if (full_a.empty() || full_b.empty()) return false;
  std::string real_a = platform::ResolvePath(full_a);
  std::string real_b = platform::ResolvePath(full_b);
  if (real_a == real_b) return true;
  struct stat sa, sb;
  return ::stat(real_a.c_str(), &sa) == 0 && ::stat(real_b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

extern "C" {

int32_t overwrite(const char* name) {
  if (name == nullptr || !platform::FileExists(name)) return 1;
  std::string question = std::string("File ") + name + " exists, overwrite?";
  return StatusAsk(question.c_str(), 1);
}

int32_t CheckForDup(const char* input, const char* output) {
  if (input == nullptr || output == nullptr || !SameFile(input, output)) return 1;
  StatusMessage("Output filename must be different than the input filename.", 1);
  return 0;
}

}  // extern "C"
