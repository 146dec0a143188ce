// State helpers shared by the QELFile sources: the derived position, the lazy
// buffer, and the switches between reading and writing.
#pragma once

#include <cstdint>

#include "qelutil/qelutil.h"

namespace qelfile {

inline constexpr uint32_t kSizeUnknown = 0xFFFFFFFFu;

inline bool IsOpen(const QELFile* f) {
  return f != nullptr && f->handle != -1;
}

// The logical position: a partially filled write byte is not counted, and a
// byte fetched for bit reading that still holds unread bits is not yet passed.
inline uint32_t LogicalPos(const QELFile* f) {
  if (f->writing == 1 && f->buffer_index <= f->buffer_fill) return f->os_offset + f->buffer_index;
  return f->os_offset - f->buffer_fill + f->buffer_index - (f->bit_count != 0 ? 1u : 0u);
}

// Allocates the buffer on first use; when that fails the file goes on
// unbuffered.
void EnsureBuffer(QELFile* f);

// Moves the system's file pointer to pos and keeps os_offset in step with it.
void SeekTo(QELFile* f, uint32_t pos);

// After bytes reached the file: a known size grows to cover them.
inline void NoteWritten(QELFile* f) {
  if (f->size != kSizeUnknown && f->os_offset > f->size) f->size = f->os_offset;
}

// Writes the waiting buffer (without aligning); true when it held bytes.
bool WriteOutBuffer(QELFile* f);

// Direction switches at the same logical position. Reading after writing
// flushes first (a pending bit byte is padded with zeros and written);
// writing after reading drops the read-ahead and any unread bits.
void SwitchToReading(QELFile* f);
void SwitchToWriting(QELFile* f);

}  // namespace qelfile
