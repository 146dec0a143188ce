// The entries of a sound list: the lines of a list file (".lst") with their
// "/S" and "/E" switches, "#" comments and numbered sequences, or a numbered
// sequence given as the name itself.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "qelutil/sfile_internal.h"

namespace qelutil {
namespace {

constexpr uint32_t kLineCapacity = 128;
// The most names one sequence stands for, and the most missing numbers
// passed over before its first file.
constexpr int64_t kLongestSequence = 100000;
constexpr int kLongestGap = 100;

// Whether a file of that name exists, with an extension SFileOpen tries
// when it has none.
bool SoundFileExists(const std::string& name) {
  if (HasExtension(name.c_str()) != nullptr) return platform::FileExists(name.c_str());
  for (const char* ext : {".wav", ".vdz", ".avi"})
    if (platform::FileExists((name + ext).c_str())) return true;
  return false;
}

bool IsListName(const std::string& name) {
  const char* dot = HasExtension(name.c_str());
  return dot != nullptr && strcasecmp(dot, ".lst") == 0;
}

// The number at `p` (digits after an optional minus sign); `p` moves past it.
bool ReadNumber(const char*& p, int64_t& value) {
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  if (*p < '0' || *p > '9') return false;
  int64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < 1000000000000LL) v = v * 10 + (*p - '0');
    ++p;
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace

bool IsSoundList(const std::string& name) {
  return IsListName(name) || name.find('?') != std::string::npos;
}

std::unique_ptr<SoundList> SoundList::Open(const std::string& name) {
  if (!IsSoundList(name)) return nullptr;
  std::unique_ptr<SoundList> list(new SoundList);
  if (IsListName(name)) {
    list->file_ = QELFileOpen(4096, name.c_str(), QELFILE_READ);
    if (list->file_ == nullptr) return nullptr;
  } else {
    list->open_name_ = name;
  }
  return list;
}

SoundList::~SoundList() {
  if (file_ != nullptr) QELFileClose(file_);
}

void SoundList::Rewind() {
  if (file_ != nullptr) QELFileSetPos(file_, 0);
  name_given_ = false;
  next_ = 0;
  last_ = -1;
}

bool SoundList::NextLine(std::string& line) {
  if (file_ == nullptr) {
    if (name_given_) return false;
    name_given_ = true;
    line = open_name_;
    return true;
  }
  if (QELFileAtEnd(file_)) return false;
  char buffer[kLineCapacity];
  QELFileGetLine(file_, buffer, sizeof buffer);
  line = buffer;
  return true;
}

bool SoundList::Next(SoundListEntry& entry) {
  for (;;) {
    if (next_ <= last_) {
      char number[32];
      std::snprintf(number, sizeof number, "%0*lld", width_, static_cast<long long>(next_++));
      std::string name = prefix_ + number + suffix_;
      // A sequence ends at its first gap once a file of it was found; before
      // that, a run of missing numbers ends it too, so that a wide range of
      // names that do not exist costs little.
      if (!SoundFileExists(name)) {
        if (found_ || ++missing_ >= kLongestGap) {
          next_ = 0;
          last_ = -1;
        }
        continue;
      }
      found_ = true;
      entry = {std::move(name), 0, 0};
      return true;
    }
    std::string line;
    if (!NextLine(line)) {
      Rewind();
      return false;
    }
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    // The switches of a list file's line; a name given to open is a name
    // as it stands (its folders may hold "/s" followed by digits).
    const int32_t start = file_ != nullptr ? GetSwitchNum(text.data(), 'S', 0) : 0;
    const int32_t end = file_ != nullptr ? GetSwitchNum(text.data(), 'E', 0) : 0;
    RemoveQuotes(Trim(text.data()));
    const std::string name = text.data();
    if (name.empty() || name[0] == '#') continue;
    const size_t run = name.find('?');
    if (run == std::string::npos) {
      entry = {name, start, end};
      return true;
    }
    // A numbered sequence: the run of "?" becomes the number; a star after
    // the rest of the name gives the first and last numbers.
    size_t run_end = run;
    while (run_end < name.size() && name[run_end] == '?') ++run_end;
    prefix_ = name.substr(0, run);
    width_ = static_cast<int>(std::min<size_t>(run_end - run, 20));
    const size_t star = name.find('*', run_end);
    suffix_ = name.substr(run_end, star == std::string::npos ? std::string::npos : star - run_end);
    int64_t first = start;
    int64_t last = end;
    if (star != std::string::npos) {
      const char* p = name.c_str() + star + 1;
      if (!ReadNumber(p, first)) first = 0;
      last = first;
      if (*p == '-') {
        ++p;
        if (!ReadNumber(p, last)) last = first;
      }
    }
    if (last < first) last = first;
    next_ = first;
    last_ = std::min(last, first + kLongestSequence - 1);
    found_ = false;
    missing_ = 0;
  }
}

}  // namespace qelutil
