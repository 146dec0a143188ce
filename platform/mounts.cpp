#include "platform/mounts.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/paths.h"

namespace platform {
namespace {

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    const size_t end = line.find(' ', at);
    if (at < line.size()) fields.push_back(line.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos) break;
    at = end;
  }
  return fields;
}

bool IsNetworkType(std::string_view type) {
  for (std::string_view t :
       {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ncpfs", "ceph", "glusterfs"})
    if (type == t) return true;
  // Network file systems in user space: fuse.sshfs, fuse.rclone, ...
  for (std::string_view t :
       {"fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.davfs", "fuse.curlftpfs", "fuse.gcsfuse"})
    if (type == t) return true;
  return false;
}

bool SysfsRemovable(uint32_t major, uint32_t minor) {
  char base[64];
  std::snprintf(base, sizeof base, "/sys/dev/block/%u:%u", major, minor);
  // A partition's flag is on its disk, one folder up.
  for (const char* tail : {"/removable", "/../removable"}) {
    std::ifstream in(std::string(base) + tail);
    int flag = 0;
    if (in >> flag) return flag == 1;
  }
  return false;
}

}  // namespace

DriveKind DriveKindFromTable(std::string_view mountinfo, uint32_t major, uint32_t minor,
                             bool (*removable)(uint32_t major, uint32_t minor)) {
  const std::string device = std::to_string(major) + ":" + std::to_string(minor);
  DriveKind kind = DriveKind::kUnknown;
  size_t at = 0;
  while (at < mountinfo.size()) {
    size_t end = mountinfo.find('\n', at);
    if (end == std::string_view::npos) end = mountinfo.size();
    const std::vector<std::string_view> f = Fields(mountinfo.substr(at, end - at));
    at = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source options
    if (f.size() < 7 || f[2] != device) continue;
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 1 >= f.size()) continue;
    const std::string_view type = f[dash + 1];
    if (type == "iso9660" || type == "udf")
      kind = DriveKind::kCdrom;
    else if (IsNetworkType(type))
      kind = DriveKind::kRemote;
    else if (major != 0 && removable != nullptr && removable(major, minor))
      kind = DriveKind::kRemovable;
    else
      kind = DriveKind::kFixed;
  }
  return kind;
}

namespace {

// The path, or the nearest folder above it that exists ("." for a relative
// name none of whose folders exists); empty when not even that exists.
std::string NearestExisting(const std::string& path, struct stat& st) {
  std::string p = ResolvePath(path.empty() ? "." : path);
  while (::stat(p.c_str(), &st) != 0) {
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos)
      p = p == "." ? std::string() : ".";
    else
      p = slash == 0 ? (p == "/" ? std::string() : "/") : p.substr(0, slash);
    if (p.empty()) return p;
  }
  return p;
}

}  // namespace

DriveKind DriveKindOf(const std::string& path) {
  struct stat st;
  if (NearestExisting(path, st).empty()) return DriveKind::kUnknown;
  std::ifstream in("/proc/self/mountinfo", std::ios::binary);
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return DriveKindFromTable(table, major(st.st_dev), minor(st.st_dev), &SysfsRemovable);
}

bool DriveSpace(const std::string& path, uint64_t* available, uint64_t* total) {
  struct stat st;
  const std::string existing = NearestExisting(path, st);
  struct statvfs sv;
  if (existing.empty() || ::statvfs(existing.c_str(), &sv) != 0) return false;
  *available = static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize;
  *total = static_cast<uint64_t>(sv.f_blocks) * sv.f_frsize;
  return true;
}

}  // namespace platform
