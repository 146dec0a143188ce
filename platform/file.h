// Files on POSIX descriptors. A file handle is an int; -1 is the invalid
// handle. Names go through ResolvePath (paths.h), so "\" separators and names
// written in another case still find their file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

inline constexpr int kInvalidFile = -1;

// Opens an existing file for reading, or for reading and writing.
int FileOpen(const char* name, bool write);
// Creates the file, or truncates it to length 0, for reading and writing.
int FileCreate(const char* name);
void FileClose(int fd);
// Whole transfers: retried on interruption; the byte count, short at end of
// file or on error (never negative).
size_t FileRead(int fd, void* dest, size_t count);
size_t FileWrite(int fd, const void* src, size_t count);
// The new offset from the start, or -1.
int64_t FileSeek(int fd, int64_t offset, int whence);
int64_t FileSize(int fd);
// Last-write time as a 64-bit count of 100 ns units since 1601-01-01 (the
// toolkit's file-time form); false on failure.
bool FileGetTime(int fd, uint64_t* time);
// Sets the access and modification times (the creation time does not exist
// here) to the given file time.
bool FileSetTime(int fd, uint64_t time);
bool FileErase(const char* name);
bool FileExists(const char* name);

}  // namespace platform
