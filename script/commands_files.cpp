// Files, folders and drives: text files in the file slots (handles 5000 to
// 5063), deleting, renaming, copying and finding files, names and their
// pieces, attributes, drive kinds and sizes, and folders. Failures of the
// file system give 0 or an empty text, never an error.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

#include "platform/file.h"
#include "platform/mounts.h"
#include "platform/paths.h"
#include "script/engine.h"
#include "script/families.h"
#include "script/file_ops.h"

namespace vidzoscript {
namespace {

constexpr const char* kBadFile = "  Bad file parameter:\r\n    ";
// FILEREAD's longest line.
constexpr uint32_t kLineCapacity = 255;
constexpr size_t kPathBuffer = 256;

int32_t HandleOf(int slot) {
  return static_cast<int32_t>(kFileHandleBase) + slot;
}

// The slot of a handle text, or -1 when it is no open file handle.
int SlotOf(Engine& e, const std::string& text) {
  if (!IsNumeric(text)) return -1;
  const int64_t slot = static_cast<int64_t>(ToNumber(text)) - kFileHandleBase;
  if (slot < 0 || slot >= static_cast<int64_t>(kFileSlots)) return -1;
  return e.File(static_cast<int>(slot)) != nullptr ? static_cast<int>(slot) : -1;
}

// A handle parameter that must name an open file.
QELFile* FileParameter(Engine& e) {
  std::string value;
  if (e.NextToken(value, true) == TokenKind::kNone) e.ErrorWithCommand(kNeedParameter);
  const int slot = SlotOf(e, value);
  if (slot < 0) e.ErrorWithCommand(kBadFile);
  return e.File(slot);
}

// The name under which the file system is asked for a script's name; empty
// when the host refuses it.
std::string SystemName(Engine& e, const std::string& name, bool create) {
  const std::string mapped = e.host().FileName(name, create);
  return mapped.empty() ? mapped : platform::ResolvePath(mapped);
}

bool Stat(const std::string& name, struct stat& st) {
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

// --- Open files ----------------------------------------------------------------

bool NamesFolder(const std::string& system_name) {
  struct stat st;
  return Stat(system_name, st) && S_ISDIR(st.st_mode);
}

void OpenCommand(Engine& e, bool create) {
  const std::string var = e.VariableName();
  const std::string name = e.Text(true);
  // A folder is no text file.
  const int slot = NamesFolder(SystemName(e, name, false)) ? -1 : e.OpenFile(name, create);
  e.SetVariable(var, slot < 0 ? 0 : HandleOf(slot));
}

void FileOpen(Engine& e) {
  OpenCommand(e, false);
}

void FileCreate(Engine& e) {
  OpenCommand(e, true);
}

void FileAppend(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = e.Text(true);
  const std::string path = e.host().FileName(name, true);
  int slot = -1;
  if (!path.empty()) {
    struct stat st;
    const bool folder = Stat(platform::ResolvePath(path), st) && S_ISDIR(st.st_mode);
    QELFile* f =
        folder ? nullptr : QELFileOpen(static_cast<int32_t>(kFileBuffer), path.c_str(), QELFILE_UPDATE);
    if (f != nullptr)
      QELFileSetPos(f, QELFileSize(f));
    else if (!folder)
      f = QELFileCreate(static_cast<int32_t>(kFileBuffer), path.c_str());
    slot = e.AdoptFile(f);
  }
  e.SetVariable(var, slot < 0 ? 0 : HandleOf(slot));
}

void FileClose(Engine& e) {
  const std::string var = e.VariableName();
  const int slot = SlotOf(e, e.GetVariable(var));
  if (slot < 0) e.ErrorWithCommand(kBadFile);
  e.CloseFile(slot);
  e.SetVariable(var, std::string());
}

void FileRead(Engine& e) {
  const std::string var = e.VariableName();
  QELFile* f = FileParameter(e);
  char line[kLineCapacity];
  QELFileGetLine(f, line, kLineCapacity);
  e.SetVariable(var, std::string(line));
}

void FileWrite(Engine& e) {
  QELFile* f = FileParameter(e);
  const std::string text = e.Text() + "\r\n";
  QELFilePut(f, text.data(), static_cast<uint32_t>(text.size()));
}

void FileEof(Engine& e) {
  const std::string var = e.VariableName();
  QELFile* f = FileParameter(e);
  e.SetVariable(var, QELFileAtEnd(f) != 0 ? 1 : 0);
}

void FileList(Engine& e) {
  e.TrimParameters();
  std::vector<std::string> lines;
  for (size_t slot = 0; slot < kFileSlots; ++slot) {
    QELFile* f = e.File(static_cast<int>(slot));
    if (f == nullptr) continue;
    const char* name = QELFileGetName(f, nullptr);
    lines.push_back("Number: " + std::to_string(HandleOf(static_cast<int>(slot))) +
                    "  File: " + (name != nullptr ? name : ""));
  }
  e.WriteList(lines);
}

void FileExists(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = SystemName(e, e.Text(true), false);
  struct stat st;
  bool exists = Stat(name, st) && !S_ISDIR(st.st_mode);
  if (exists) {
    const int fd = platform::FileOpen(name.c_str(), false);
    exists = fd != platform::kInvalidFile;
    if (exists) platform::FileClose(fd);
  }
  e.SetVariable(var, exists ? 1 : 0);
}

void FileSize(Engine& e) {
  const std::string var = e.VariableName();
  const std::string param = e.Text(true);
  const int slot = SlotOf(e, param);
  uint32_t size = 0;
  if (slot >= 0) {
    size = QELFileSize(e.File(slot));
  } else {
    const std::string name = SystemName(e, param, false);
    struct stat st;
    if (Stat(name, st) && S_ISREG(st.st_mode)) {
      const int fd = platform::FileOpen(name.c_str(), false);
      if (fd != platform::kInvalidFile) {
        size = static_cast<uint32_t>(platform::FileSize(fd));
        platform::FileClose(fd);
      }
    }
  }
  e.SetVariable(var, static_cast<int32_t>(size));
}

// --- Deleting, renaming, copying ----------------------------------------------

enum class Operation { kDelete, kRename, kCopy };

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

// A from or to name as a full name, with "/*.*" after a folder.
std::string FullPattern(Engine& e, const std::string& name, bool create) {
  std::string mapped = e.host().FileName(name, create);
  if (mapped.empty()) return mapped;
  if (NamesFolder(platform::ResolvePath(mapped))) mapped += "/*.*";
  std::vector<char> buffer(std::max(kPathBuffer, mapped.size() + 1));
  std::copy(mapped.begin(), mapped.end(), buffer.begin());
  ExpandFileName(buffer.data());
  return buffer.data();
}

bool Apply(Operation op, const std::string& from, const std::string& to) {
  switch (op) {
    case Operation::kDelete:
      return DeleteOne(from);
    case Operation::kRename:
      return RenameOne(from, to);
    case Operation::kCopy:
      return CopyOne(from, to);
  }
  return false;
}

void FileOperation(Engine& e, Operation op) {
  const std::string var = e.VariableName();
  const std::string from_text = e.Text(true);
  std::string to_text;
  if (op != Operation::kDelete) to_text = e.Text(true);
  const std::string from = FullPattern(e, from_text, false);
  const std::string to = op == Operation::kDelete ? std::string() : FullPattern(e, to_text, true);
  if (from.empty() || (op != Operation::kDelete && to.empty())) {
    e.SetVariable(var, 0);
    return;
  }
  std::string from_folder, from_file, to_folder, to_file;
  SplitFolder(from, from_folder, from_file);
  SplitFolder(to, to_folder, to_file);
  if (to_file.empty()) to_file = "*.*";
  bool ok = true;
  if (!HasWildcard(from_file)) {
    ok = Apply(op, from, to_folder + FormTargetName(to_file, from_file));
  } else {
    for (const std::string& name : MatchingFiles(from_folder, from_file)) {
      if (!Apply(op, from_folder + name, to_folder + FormTargetName(to_file, name))) {
        ok = false;
        break;
      }
    }
  }
  e.SetVariable(var, ok ? 1 : 0);
}

void FileDelete(Engine& e) {
  FileOperation(e, Operation::kDelete);
}

void FileRename(Engine& e) {
  FileOperation(e, Operation::kRename);
}

void FileCopy(Engine& e) {
  FileOperation(e, Operation::kCopy);
}

// --- Finding files --------------------------------------------------------------

// The one directory search of FILEFIND and FILEFINDNEXT.
class FindState : public FamilyState {
 public:
  ~FindState() override { Close(); }
  void EndRun(Engine&) override { Close(); }
  void Close() {
    if (dir_ != nullptr) ::closedir(dir_);
    dir_ = nullptr;
  }
  void Start(const std::string& system_folder, const std::string& shown_folder, const std::string& pattern) {
    Close();
    dir_ = ::opendir(system_folder.empty() ? "." : system_folder.c_str());
    shown_ = shown_folder;
    pattern_ = pattern;
  }
  // The next match with the pattern's folder in front, or empty (the search
  // is then closed).
  std::string Next() {
    while (dir_ != nullptr) {
      const dirent* entry = ::readdir(dir_);
      if (entry == nullptr) break;
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && WildcardMatch(pattern_, name)) return shown_ + name;
    }
    Close();
    return {};
  }

 private:
  DIR* dir_ = nullptr;
  std::string shown_, pattern_;
};

void FileFind(Engine& e) {
  const std::string var = e.VariableName();
  std::string pattern = e.Text();
  if (pattern.empty()) pattern = "*.*";
  if (pattern.back() == '/' || pattern.back() == '\\') pattern += "*.*";
  std::string shown_folder, file;
  SplitFolder(pattern, shown_folder, file);
  FindState& find = e.State<FindState>();
  const std::string mapped = e.host().FileName(pattern, false);
  if (mapped.empty()) {
    find.Close();
    e.SetVariable(var, std::string());
    return;
  }
  std::string system_folder, system_file;
  SplitFolder(mapped, system_folder, system_file);
  find.Start(platform::ResolvePath(system_folder.empty() ? "." : system_folder), shown_folder, file);
  e.SetVariable(var, find.Next());
}

void FileFindNext(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, e.State<FindState>().Next());
}

// --- Names ----------------------------------------------------------------------

// Runs a name through a path helper of the utility layer (256-byte paths).
std::string PathHelper(const std::string& name, const std::function<void(char*)>& helper) {
  std::vector<char> buffer(std::max(kPathBuffer, name.size() + 2), '\0');
  std::copy(name.begin(), name.end(), buffer.begin());
  helper(buffer.data());
  return buffer.data();
}

void FileFullPath(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = e.Text(true);
  e.SetVariable(var, PathHelper(name, [](char* p) { ExpandFileName(p); }));
}

void FilePieces(Engine& e) {
  const std::string var = e.VariableName();
  const int32_t drive = e.Number(), dir = e.Number(), name = e.Number(), ext = e.Number();
  const std::string path = e.Text(true);
  e.SetVariable(var, PathHelper(path, [&](char* p) { GetFilePieces(p, drive, dir, name, ext); }));
}

void FileTemp(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = e.Text(true);
  std::string folder, file;
  SplitFolder(name, folder, file);
  if (!file.empty() && NamesFolder(SystemName(e, name, false))) {
    folder = name + "/";
    file.clear();
  }
  const std::string prefix = file.substr(0, 3);
  static std::minstd_rand draw(static_cast<uint32_t>(::getpid()) ^ static_cast<uint32_t>(::time(nullptr)));
  for (int attempt = 0; attempt < 64; ++attempt) {
    char unique[8];
    std::snprintf(unique, sizeof unique, "%04X", static_cast<unsigned>(draw() & 0xFFFF));
    const std::string candidate = folder + prefix + unique + ".TMP";
    const std::string system = e.host().FileName(candidate, true);
    if (system.empty()) break;
    const int fd =
        ::open(platform::ResolvePath(system).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      e.SetVariable(var, candidate);
      return;
    }
    if (errno != EEXIST) break;
  }
  e.SetVariable(var, std::string());
}

// --- Attributes and drives --------------------------------------------------------

constexpr int32_t kReadOnly = 1, kHidden = 2, kFolder = 16, kArchive = 32;

void FileGetAttrib(Engine& e) {
  const std::string var = e.VariableName();
  const std::string name = e.Text(true);
  const std::string system = SystemName(e, name, false);
  struct stat st;
  int32_t bits = 0;
  if (Stat(system, st)) {
    if ((st.st_mode & S_IWUSR) == 0) bits |= kReadOnly;
    std::string folder, file;
    SplitFolder(system, folder, file);
    if (!file.empty() && file[0] == '.') bits |= kHidden;
    if (S_ISDIR(st.st_mode)) bits |= kFolder;
    if (S_ISREG(st.st_mode)) bits |= kArchive;
  }
  e.SetVariable(var, bits);
}

void FileSetAttrib(Engine& e) {
  const std::string name = e.Text(true);
  const int32_t bits = e.Number();
  const std::string system = SystemName(e, name, false);
  struct stat st;
  // Folders keep their permissions: a read-only mark does not stop files
  // being made in a folder.
  if (!Stat(system, st) || S_ISDIR(st.st_mode)) return;
  const mode_t mode = (bits & kReadOnly) != 0 ? st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)
                                              : st.st_mode | S_IWUSR;
  ::chmod(system.c_str(), mode & 07777);
}

void DriveKindCommand(Engine& e, platform::DriveKind kind) {
  const std::string var = e.VariableName();
  const std::string system = SystemName(e, e.Text(true), false);
  e.SetVariable(var, !system.empty() && platform::DriveKindOf(system) == kind ? 1 : 0);
}

void FileCdrom(Engine& e) {
  DriveKindCommand(e, platform::DriveKind::kCdrom);
}

void FileRemote(Engine& e) {
  DriveKindCommand(e, platform::DriveKind::kRemote);
}

void FileRemovable(Engine& e) {
  DriveKindCommand(e, platform::DriveKind::kRemovable);
}

void DriveSpaceCommand(Engine& e, bool total) {
  const std::string var = e.VariableName();
  const std::string system = SystemName(e, e.Text(true), false);
  uint64_t available = 0, size = 0;
  if (system.empty() || !platform::DriveSpace(system, &available, &size)) available = size = 0;
  // Computed in 32 bits: larger drives wrap.
  e.SetVariable(var, static_cast<int32_t>(static_cast<uint32_t>(total ? size : available)));
}

void DriveAvail(Engine& e) {
  DriveSpaceCommand(e, false);
}

void DriveSize(Engine& e) {
  DriveSpaceCommand(e, true);
}

// --- Folders --------------------------------------------------------------------

void DirCurrent(Engine& e) {
  const std::string var = e.VariableName();
  std::vector<char> buffer(4096);
  e.SetVariable(var, ::getcwd(buffer.data(), buffer.size()) != nullptr ? std::string(buffer.data()) : "");
}

void DirChange(Engine& e) {
  const std::string var = e.VariableName();
  const std::string system = SystemName(e, e.Text(true), false);
  e.SetVariable(var, NamesFolder(system) && e.host().ChangeDirectory(system) ? 1 : 0);
}

void DirExists(Engine& e) {
  const std::string var = e.VariableName();
  e.SetVariable(var, NamesFolder(SystemName(e, e.Text(true), false)) ? 1 : 0);
}

void DirMake(Engine& e) {
  const std::string var = e.VariableName();
  const std::string system = SystemName(e, e.Text(true), true);
  e.SetVariable(var, !system.empty() && ::mkdir(system.c_str(), 0777) == 0 ? 1 : 0);
}

void DirRemove(Engine& e) {
  const std::string var = e.VariableName();
  const std::string system = SystemName(e, e.Text(true), false);
  e.SetVariable(var, !system.empty() && ::rmdir(system.c_str()) == 0 ? 1 : 0);
}

}  // namespace

void RegisterFileCommands(CommandTable& table) {
  table.Set("DIRCHANGE", DirChange);
  table.Set("DIRCURRENT", DirCurrent);
  table.Set("DIREXISTS", DirExists);
  table.Set("DIRMAKE", DirMake);
  table.Set("DIRREMOVE", DirRemove);
  table.Set("DRIVEAVAIL", DriveAvail);
  table.Set("DRIVESIZE", DriveSize);
  table.Set("FILEAPPEND", FileAppend);
  table.Set("FILECDROM", FileCdrom);
  table.Set("FILECLOSE", FileClose);
  table.Set("FILECOPY", FileCopy);
  table.Set("FILECREATE", FileCreate);
  table.Set("FILEDELETE", FileDelete);
  table.Set("FILEEOF", FileEof);
  table.Set("FILEEXISTS", FileExists);
  table.Set("FILEFIND", FileFind);
  table.Set("FILEFINDNEXT", FileFindNext);
  table.Set("FILEFULLPATH", FileFullPath);
  table.Set("FILEGETATTRIB", FileGetAttrib);
  table.Set("FILELIST", FileList);
  table.Set("FILEOPEN", FileOpen);
  table.Set("FILEPIECES", FilePieces);
  table.Set("FILEREAD", FileRead);
  table.Set("FILEREMOTE", FileRemote);
  table.Set("FILEREMOVABLE", FileRemovable);
  table.Set("FILERENAME", FileRename);
  table.Set("FILESETATTRIB", FileSetAttrib);
  table.Set("FILESIZE", FileSize);
  table.Set("FILETEMP", FileTemp);
  table.Set("FILEWRITE", FileWrite);
}

}  // namespace vidzoscript
