// What kind of drive holds a path: the mount that holds it, found in the
// kernel's mount table by the path's device number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class DriveKind { kUnknown, kFixed, kCdrom, kRemote, kRemovable };

// The kind of the mount of the device major:minor, given the text of a
// mountinfo table and a function telling whether a block device is
// removable. The last mount of that device wins.
DriveKind DriveKindFromTable(std::string_view mountinfo, uint32_t major, uint32_t minor,
                             bool (*removable)(uint32_t major, uint32_t minor));

// The kind of the drive that holds the path (or the nearest existing folder
// above it); kUnknown when the path's file system cannot be found.
DriveKind DriveKindOf(const std::string& path);

// Available and total bytes of the file system that holds the path (or the
// nearest existing folder above it); false when it cannot be asked.
bool DriveSpace(const std::string& path, uint64_t* available, uint64_t* total);

}  // namespace platform
