// QELFile: opening and closing, position, size, direction switches, lines,
// names and file times. The byte, word and bit transfers are in
// qelfile_bits.cpp.
#include <cstdio>
#include <cstring>

#include "platform/file.h"
#include "qelutil/qelfile_internal.h"
#include "qelutil/qelutil.h"

namespace qelfile {

void EnsureBuffer(QELFile* f) {
  if (f->buffer != nullptr || f->buffer_size == 0) return;
  f->buffer = static_cast<uint8_t*>(qelmalloc(f->buffer_size));
  if (f->buffer == nullptr) {
    f->buffer_size = 0;
    f->buffer_fill = 0;
    f->buffer_index = 0;
  }
}

void SeekTo(QELFile* f, uint32_t pos) {
  if (pos == f->os_offset) return;
  int64_t r = platform::FileSeek(f->handle, pos, SEEK_SET);
  if (r >= 0) f->os_offset = static_cast<uint32_t>(r);
}

bool WriteOutBuffer(QELFile* f) {
  if (f->buffer == nullptr || f->buffer_index == 0) return false;
  size_t n = platform::FileWrite(f->handle, f->buffer, f->buffer_index);
  if (n < f->buffer_index) f->write_error = 1;
  f->os_offset += static_cast<uint32_t>(n);
  f->buffer_index = 0;
  NoteWritten(f);
  return true;
}

void SwitchToReading(QELFile* f) {
  uint32_t pos = LogicalPos(f);
  QELFileFlush(f);
  f->buffer_index = f->buffer_fill;
  f->writing = 0;
  f->bit_count = 0;
  SeekTo(f, pos);
}

void SwitchToWriting(QELFile* f) {
  uint32_t pos = LogicalPos(f);
  f->buffer_fill = f->buffer_size;
  f->buffer_index = 0;
  f->bit_count = 0;
  f->bit_byte = 0;
  f->writing = 1;
  SeekTo(f, pos);
}

namespace {

QELFile* NewRecord(int32_t buffer_size, const char* name) {
  auto* f = static_cast<QELFile*>(qelmalloc(sizeof(QELFile)));
  if (f == nullptr) return nullptr;
  std::memset(f, 0, sizeof(QELFile));
  f->handle = -1;
  f->buffer_size =
      buffer_size < 0 ? 0u - static_cast<uint32_t>(buffer_size) : static_cast<uint32_t>(buffer_size);
  // The file is opened by its full name; the record keeps the first 127
  // characters.
  std::strncpy(f->name, name, sizeof(f->name) - 1);
  f->size = kSizeUnknown;
  return f;
}

void KnowSize(QELFile* f) {
  if (f->size != kSizeUnknown) return;
  int64_t s = platform::FileSize(f->handle);
  if (s < 0) s = 0;
  f->size = s >= static_cast<int64_t>(kSizeUnknown) ? kSizeUnknown - 1 : static_cast<uint32_t>(s);
}

}  // namespace
}  // namespace qelfile

using qelfile::IsOpen;
using qelfile::LogicalPos;

extern "C" {

QELFile* QELFileOpen(int32_t buffer_size, const char* name, int32_t mode) {
  if (name == nullptr || (mode != QELFILE_READ && mode != QELFILE_UPDATE)) return nullptr;
  QELFile* f = qelfile::NewRecord(buffer_size, name);
  if (f == nullptr) return nullptr;
  f->handle = platform::FileOpen(name, mode == QELFILE_UPDATE);
  if (f->handle == -1) {
    qelfree(f);
    return nullptr;
  }
  f->buffer_fill = f->buffer_size;
  f->buffer_index = f->buffer_size;
  return f;
}

QELFile* QELFileCreate(int32_t buffer_size, const char* name) {
  if (name == nullptr) return nullptr;
  QELFile* f = qelfile::NewRecord(buffer_size, name);
  if (f == nullptr) return nullptr;
  f->handle = platform::FileCreate(name);
  if (f->handle == -1) {
    qelfree(f);
    return nullptr;
  }
  f->buffer_fill = f->buffer_size;
  f->writing = 1;
  return f;
}

void QELFileClose(QELFile* f) {
  if (f == nullptr) return;
  if (f->handle != -1) {
    QELFileFlush(f);
    platform::FileClose(f->handle);
    f->handle = -1;
  }
  qelfree(f->buffer);
  qelfree(f);
}

uint32_t QELFileBitPos(QELFile* f) {
  return IsOpen(f) ? f->bit_count : 0;
}

uint32_t QELFileGetPos(QELFile* f) {
  return IsOpen(f) ? LogicalPos(f) : 0;
}

uint32_t QELFileSize(QELFile* f) {
  if (!IsOpen(f)) return 0;
  qelfile::KnowSize(f);
  uint32_t pos = LogicalPos(f);
  return pos > f->size ? pos : f->size;
}

int32_t QELFileAtEnd(QELFile* f) {
  if (!IsOpen(f)) return 1;
  qelfile::KnowSize(f);
  return LogicalPos(f) >= f->size ? 1 : 0;
}

int32_t QELFileIsInBuffer(QELFile* f, uint32_t offset) {
  if (!IsOpen(f) || f->writing != 0 || f->buffer_index >= f->buffer_fill) return 0;
  return offset < f->os_offset && f->os_offset - offset <= f->buffer_fill ? 1 : 0;
}

uint32_t QELFileSetPos(QELFile* f, uint32_t pos) {
  if (!IsOpen(f)) return 0;
  uint32_t previous = LogicalPos(f);
  if (pos == previous) return previous;
  if (f->writing == 1) {
    QELFileFlush(f);
  } else if (QELFileIsInBuffer(f, pos)) {
    f->buffer_index = pos - f->os_offset + f->buffer_fill;
    f->bit_count = 0;
    return previous;
  } else {
    f->buffer_index = f->buffer_fill;
  }
  qelfile::SeekTo(f, pos);
  f->bit_count = 0;
  return previous;
}

void QELFileByteAlign(QELFile* f) {
  if (!IsOpen(f)) return;
  if (f->writing == 1 && f->bit_count != 0) QELFilePutBits(f, 0, 8 - f->bit_count);
  f->bit_count = 0;
}

uint32_t QELFileFlush(QELFile* f) {
  if (!IsOpen(f)) return 0;
  QELFileByteAlign(f);
  if (f->writing == 1 && qelfile::WriteOutBuffer(f)) return f->os_offset;
  return 0;
}

const char* QELFileGetName(QELFile* f, char* dest) {
  if (!IsOpen(f)) return nullptr;
  if (dest != nullptr) std::strcpy(dest, f->name);
  return f->name;
}

char* QELFileGetLine(QELFile* f, char* dest, uint32_t capacity) {
  if (dest == nullptr || capacity == 0) return IsOpen(f) ? dest : nullptr;
  if (!IsOpen(f)) {
    dest[0] = 0;
    return nullptr;
  }
  uint32_t n = 0;
  while (n < capacity - 1 && !QELFileAtEnd(f)) {
    auto c = static_cast<char>(QELFileGet8(f));
    dest[n++] = c;
    if (c == '\n') break;
  }
  while (n > 0 && (dest[n - 1] == '\n' || dest[n - 1] == '\r')) --n;
  dest[n] = 0;
  return dest;
}

uint32_t QELFileGetTime(QELFile* f) {
  if (!IsOpen(f)) return 0;
  uint64_t t = 0;
  if (!platform::FileGetTime(f->handle, &t)) return 0;
  return static_cast<uint32_t>(t >> 32);
}

int32_t QELFileSetTime(QELFile* f, uint32_t time) {
  if (!IsOpen(f)) return 0;
  QELFileFlush(f);
  return platform::FileSetTime(f->handle, static_cast<uint64_t>(time) << 32) ? 1 : 0;
}

int32_t QELFileErase(const char* name) {
  return platform::FileErase(name) ? 1 : 0;
}

}  // extern "C"
