// QELFile transfers: whole bytes, little-endian words and bit fields, read and
// written least significant bit first through one buffer.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/file.h"
#include "qelutil/qelfile_internal.h"
#include "qelutil/qelutil.h"

namespace qelfile {
namespace {

// Bit counts run from 1 to 32; larger ones wrap, 0 stays 0.
uint32_t ReduceBits(uint32_t n) {
  return n == 0 ? 0 : ((n - 1) % 32) + 1;
}

// A read that came short has met the end of the file: a known size that
// claims more is lowered, so that the file reports its end.
void NoteShortRead(QELFile* f) {
  if (f->size != kSizeUnknown && f->os_offset < f->size) f->size = f->os_offset;
}

bool ReadingBufferHolds(const QELFile* f, uint32_t n) {
  return f->buffer != nullptr && f->writing == 0 && f->bit_count == 0 &&
         f->buffer_fill - f->buffer_index >= n && f->buffer_index <= f->buffer_fill;
}

bool WritingBufferHolds(const QELFile* f, uint32_t n) {
  return f->buffer != nullptr && f->writing == 1 && f->bit_count == 0 &&
         f->buffer_fill - f->buffer_index >= n && f->buffer_index <= f->buffer_fill;
}

// The next raw byte for the bit reader; false at the end of the file.
bool FetchByte(QELFile* f, uint8_t* byte) {
  if (f->buffer != nullptr && f->writing == 0 && f->buffer_index < f->buffer_fill) {
    *byte = f->buffer[f->buffer_index++];
    return true;
  }
  return QELFileGetNB(f, byte, 1) == 1;
}

// One raw byte out, whatever the bit position.
void StoreByte(QELFile* f, uint8_t byte) {
  if (f->buffer != nullptr && f->writing == 1 && f->buffer_index < f->buffer_fill) {
    f->buffer[f->buffer_index++] = byte;
    return;
  }
  QELFilePutNB(f, &byte, 1);
}

uint32_t LoadLE(const uint8_t* p, uint32_t bytes) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

void StoreLE(uint8_t* p, uint32_t value, uint32_t bytes) {
  for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The next 1 to 4 bytes of the stream as a little-endian value: straight from
// the buffer when it is byte-aligned and holds them.
inline uint32_t GetWord(QELFile* f, uint32_t bytes) {
  if (ReadingBufferHolds(f, bytes)) {
    uint32_t v = LoadLE(f->buffer + f->buffer_index, bytes);
    f->buffer_index += bytes;
    return v;
  }
  uint8_t b[4] = {0, 0, 0, 0};
  QELFileGet(f, b, bytes);
  return LoadLE(b, bytes);
}

inline void PutWord(QELFile* f, uint32_t value, uint32_t bytes) {
  if (WritingBufferHolds(f, bytes)) {
    StoreLE(f->buffer + f->buffer_index, value, bytes);
    f->buffer_index += bytes;
    return;
  }
  uint8_t b[4];
  StoreLE(b, value, bytes);
  QELFilePut(f, b, bytes);
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, 8);
  } else {
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  }
  return v;
}

void Store64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

// Bit fields taken straight from a reading buffer that holds every byte they
// need; the same bytes are consumed and the same state left as by the
// general route. False when the buffer cannot serve the field.
bool GetBitsFromBuffer(QELFile* f, uint32_t n, uint32_t* value) {
  if (f->buffer == nullptr || f->writing != 0 || f->buffer_index > f->buffer_fill) return false;
  uint32_t used = f->bit_count;
  uint32_t available = (8 - used) % 8;
  uint32_t bytes = n > available ? (n - available + 7) / 8 : 0;
  if (f->buffer_fill - f->buffer_index < bytes) return false;
  uint64_t acc = used != 0 ? (f->bit_byte & 0xFF) >> used : 0;
  const uint8_t* p = f->buffer + f->buffer_index;
  if (f->buffer_fill - f->buffer_index >= 8) {
    acc |= Load64(p) << available;  // at most 32 bits of it are wanted
  } else {
    for (uint32_t i = 0; i < bytes; ++i) acc |= static_cast<uint64_t>(p[i]) << (available + 8 * i);
  }
  f->buffer_index += bytes;
  f->bit_count = (used + n) % 8;
  if (f->bit_count != 0 && bytes != 0) f->bit_byte = p[bytes - 1];
  *value = static_cast<uint32_t>(acc & ((uint64_t{1} << n) - 1));
  return true;
}

// Bit fields stored straight into a writing buffer with room for every byte
// they complete.
bool PutBitsToBuffer(QELFile* f, uint32_t value, uint32_t n) {
  if (f->buffer == nullptr || f->writing != 1 || f->buffer_index > f->buffer_fill) return false;
  uint32_t used = f->bit_count;
  uint32_t bytes = (used + n) / 8;
  if (f->buffer_fill - f->buffer_index < bytes) return false;
  uint64_t acc = (used != 0 ? f->bit_byte & ((1u << used) - 1) : 0) |
                 (static_cast<uint64_t>(value) & ((uint64_t{1} << n) - 1)) << used;
  uint8_t* p = f->buffer + f->buffer_index;
  if (f->buffer_fill - f->buffer_index >= 8) {
    Store64(p, acc);  // bytes past the completed ones are not yet waiting
  } else {
    for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(acc >> (8 * i));
  }
  f->buffer_index += bytes;
  f->bit_count = (used + n) % 8;
  f->bit_byte = static_cast<uint32_t>(acc >> (8 * bytes)) & 0xFF;
  return true;
}

}  // namespace
}  // namespace qelfile

using qelfile::IsOpen;

extern "C" {

uint32_t QELFileGetNB(QELFile* f, void* dest, uint32_t count) {
  if (count == 0 || !IsOpen(f)) return 0;
  if (f->writing == 1) qelfile::SwitchToReading(f);
  qelfile::EnsureBuffer(f);
  auto* out = static_cast<uint8_t*>(dest);
  uint32_t total = 0;
  for (;;) {
    uint32_t take = std::min(f->buffer_fill - f->buffer_index, count);
    if (take != 0) {
      std::memcpy(out, f->buffer + f->buffer_index, take);
      f->buffer_index += take;
      out += take;
      count -= take;
      total += take;
    }
    if (count == 0) return total;
    if (count >= f->buffer_fill) break;
    size_t got = platform::FileRead(f->handle, f->buffer, f->buffer_size);
    f->buffer_fill = static_cast<uint32_t>(got);
    f->buffer_index = 0;
    f->os_offset += static_cast<uint32_t>(got);
    if (got < f->buffer_size) qelfile::NoteShortRead(f);
  }
  size_t got = platform::FileRead(f->handle, out, count);
  f->os_offset += static_cast<uint32_t>(got);
  if (got < count) qelfile::NoteShortRead(f);
  return total + static_cast<uint32_t>(got);
}

uint32_t QELFileGet(QELFile* f, void* dest, uint32_t count) {
  if (count == 0 || !IsOpen(f)) return 0;
  if (f->writing == 1) qelfile::SwitchToReading(f);
  auto* out = static_cast<uint8_t*>(dest);
  uint32_t shift = f->bit_count;
  uint32_t got = QELFileGetNB(f, out, count);
  if (shift == 0) {
    if (got < count) std::memset(out + got, 0, count - got);
    return got;
  }
  uint32_t previous = f->bit_byte & 0xFF;
  for (uint32_t i = 0; i < got; ++i) {
    uint32_t raw = out[i];
    out[i] = static_cast<uint8_t>((previous >> shift) | (raw << (8 - shift)));
    previous = raw;
  }
  if (got == count) {
    f->bit_byte = previous;
    return got;
  }
  // The stream ends here: its last bits come out with zeros above them, and
  // the file is left byte-aligned at its end.
  out[got] = static_cast<uint8_t>(previous >> shift);
  std::memset(out + got + 1, 0, count - got - 1);
  f->bit_count = 0;
  f->bit_byte = 0;
  return got;
}

uint32_t QELFileGet8(QELFile* f) {
  return IsOpen(f) ? qelfile::GetWord(f, 1) : 0;
}

uint32_t QELFileGet16(QELFile* f) {
  return IsOpen(f) ? qelfile::GetWord(f, 2) : 0;
}

uint32_t QELFileGet32(QELFile* f) {
  return IsOpen(f) ? qelfile::GetWord(f, 4) : 0;
}

uint32_t QELFileGetBits(QELFile* f, uint32_t bits) {
  uint32_t n = qelfile::ReduceBits(bits);
  if (n == 0 || !IsOpen(f)) return 0;
  if (f->writing == 1) qelfile::SwitchToReading(f);
  uint32_t fast = 0;
  if (qelfile::GetBitsFromBuffer(f, n, &fast)) return fast;
  switch (n) {
    case 32:
      return QELFileGet32(f);
    case 24:
      return qelfile::GetWord(f, 3);
    case 16:
      return QELFileGet16(f);
    case 8:
      return QELFileGet8(f);
    default:
      break;
  }
  uint32_t value = 0;
  uint32_t shift = 0;
  if (n > 24) {
    value = qelfile::GetWord(f, 3);
    shift = 24;
  } else if (n > 16) {
    value = QELFileGet16(f);
    shift = 16;
  } else if (n > 8) {
    value = QELFileGet8(f);
    shift = 8;
  }
  uint32_t r = n - shift;
  uint32_t used = f->bit_count;
  uint32_t available = (8 - used) % 8;
  uint32_t pending = used != 0 ? (f->bit_byte & 0xFF) >> used : 0;
  if (available < r) {
    uint8_t next = 0;
    if (qelfile::FetchByte(f, &next)) {
      f->bit_byte = next;
      pending |= static_cast<uint32_t>(next) << available;
      f->bit_count = (used + r) % 8;
    } else {
      // Past the end: zeros, and the file stays byte-aligned at its end.
      f->bit_count = 0;
      f->bit_byte = 0;
    }
  } else {
    f->bit_count = (used + r) % 8;
  }
  return value | ((pending & ((1u << r) - 1)) << shift);
}

uint32_t QELFilePutNB(QELFile* f, const void* src, uint32_t count) {
  if (count == 0 || !IsOpen(f)) return 0;
  qelfile::EnsureBuffer(f);
  if (f->writing == 0) qelfile::SwitchToWriting(f);
  const auto* in = static_cast<const uint8_t*>(src);
  uint32_t total = 0;
  for (;;) {
    if (f->buffer_index < f->buffer_fill && (f->buffer_index > 0 || count <= f->buffer_fill)) {
      uint32_t take = std::min(f->buffer_fill - f->buffer_index, count);
      std::memcpy(f->buffer + f->buffer_index, in, take);
      f->buffer_index += take;
      in += take;
      count -= take;
      total += take;
    }
    if (count == 0) return total;
    qelfile::WriteOutBuffer(f);
    f->buffer_index = 0;
    if (f->buffer_fill <= count) break;
  }
  size_t n = platform::FileWrite(f->handle, in, count);
  if (n < count) f->write_error = 1;
  f->os_offset += static_cast<uint32_t>(n);
  qelfile::NoteWritten(f);
  return total + static_cast<uint32_t>(n);
}

uint32_t QELFilePut(QELFile* f, const void* src, uint32_t count) {
  if (count == 0 || !IsOpen(f)) return 0;
  if (f->writing == 0) qelfile::SwitchToWriting(f);
  uint32_t shift = f->bit_count;
  if (shift == 0) return QELFilePutNB(f, src, count);
  const auto* in = static_cast<const uint8_t*>(src);
  uint32_t carry = f->bit_byte & ((1u << shift) - 1);
  uint32_t total = 0;
  uint8_t chunk[256];
  while (count > 0) {
    uint32_t n = std::min<uint32_t>(count, sizeof(chunk));
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t t = (static_cast<uint32_t>(in[i]) << shift) | carry;
      chunk[i] = static_cast<uint8_t>(t);
      carry = (t >> 8) & 0xFF;
    }
    total += QELFilePutNB(f, chunk, n);
    in += n;
    count -= n;
  }
  f->bit_byte = carry;
  return total;
}

uint32_t QELFilePut8(QELFile* f, uint32_t value) {
  if (!IsOpen(f)) return 0;
  qelfile::PutWord(f, value, 1);
  return value;
}

uint32_t QELFilePut16(QELFile* f, uint32_t value) {
  if (!IsOpen(f)) return 0;
  qelfile::PutWord(f, value, 2);
  return value;
}

uint32_t QELFilePut32(QELFile* f, uint32_t value) {
  if (!IsOpen(f)) return 0;
  qelfile::PutWord(f, value, 4);
  return value;
}

uint32_t QELFilePutBits(QELFile* f, uint32_t value, uint32_t bits) {
  uint32_t n = qelfile::ReduceBits(bits);
  if (n == 0 || !IsOpen(f)) return 0;
  if (f->writing == 0) qelfile::SwitchToWriting(f);
  if (qelfile::PutBitsToBuffer(f, value, n)) return value;
  switch (n) {
    case 32:
      return QELFilePut32(f, value);
    case 24:
      qelfile::PutWord(f, value, 3);
      return value;
    case 16:
      return QELFilePut16(f, value);
    case 8:
      return QELFilePut8(f, value);
    default:
      break;
  }
  uint32_t shift = 0;
  if (n > 24) {
    qelfile::PutWord(f, value, 3);
    shift = 24;
  } else if (n > 16) {
    QELFilePut16(f, value);
    shift = 16;
  } else if (n > 8) {
    QELFilePut8(f, value);
    shift = 8;
  }
  uint32_t r = n - shift;
  uint32_t used = f->bit_count;
  uint32_t t = (used != 0 ? f->bit_byte & 0xFF : 0) | (((value >> shift) & ((1u << r) - 1)) << used);
  used += r;
  if (used >= 8) {
    qelfile::StoreByte(f, static_cast<uint8_t>(t));
    f->bit_count = used - 8;
    f->bit_byte = (t >> 8) & 0xFF;
  } else {
    f->bit_count = used;
    f->bit_byte = t & 0xFF;
  }
  return value;
}

}  // extern "C"
