// QELFlic: opening a FLI or FLC file and decoding its frames one after
// another into a caller's buffer.
#include <cstring>
#include <string>
#include <vector>

#include "qelutil/flic_chunks.h"
#include "qelutil/flic_format.h"
#include "qelutil/qelutil.h"

namespace {

using namespace flic;

QELFile* OpenWithDefaults(const char* name) {
  if (HasExtension(name) != nullptr) return QELFileOpen(kFileBuffer, name, QELFILE_READ);
  for (const char* ext : {".flc", ".fli"}) {
    std::string full = std::string(name) + ext;
    if (QELFile* f = QELFileOpen(kFileBuffer, full.c_str(), QELFILE_READ)) return f;
  }
  return nullptr;
}

int32_t FrameTime(const uint8_t* h, bool fli) {
  uint32_t speed = Get32(h + kOffSpeed);
  if (fli) {
    uint64_t t = static_cast<uint64_t>(speed) * 100000 / 70;
    return -static_cast<int32_t>(t > 0x7FFFFFFF ? 0x7FFFFFFF : t);
  }
  if (speed == 0 || speed > 30000) speed = 200;
  auto precise = static_cast<int32_t>(Get32(h + kOffFrameTime));
  if (precise < 0 && precise / -100 == static_cast<int32_t>(speed)) return precise;
  return -100 * static_cast<int32_t>(speed);
}

void ClearOutside(const QELFlic* f, uint8_t* buffer) {
  auto bw = static_cast<uint32_t>(f->buffer_width);
  auto w = static_cast<uint32_t>(f->width);
  for (int32_t y = 0; y < f->height; ++y) std::memset(buffer + static_cast<size_t>(y) * bw + w, 0, bw - w);
  size_t below = static_cast<size_t>(f->height) * bw;
  std::memset(buffer + below, 0, static_cast<size_t>(f->buffer_height) * bw - below);
}

void Rewind(QELFlic* f) {
  QELFileSetPos(f->file, f->first_frame);
  f->frames_decoded = 0;
  std::memset(f->palette, 0, sizeof(f->palette));
}

// Reads the next frame record (chunks of other types, such as prefix chunks,
// are passed over) and applies it. A frame that cannot be read whole is
// skipped; the reader then stands after its stated end.
bool DecodeFrame(QELFlic* f, uint8_t* buffer) {
  for (int guard = 0; guard < 64; ++guard) {
    uint32_t start = QELFileGetPos(f->file);
    uint8_t header[kFrameHeaderSize];
    if (QELFileGet(f->file, header, kFrameHeaderSize) != kFrameHeaderSize) {
      f->frame_size = 0;
      return false;
    }
    uint32_t size = Get32(header);
    uint16_t type = Get16(header + 4);
    uint32_t next = size >= kFrameHeaderSize ? start + size : start + kFrameHeaderSize;
    if (next < start) next = 0xFFFFFFFFu;
    f->frame_size = size;
    uint32_t data_size = size >= kFrameHeaderSize ? size - kFrameHeaderSize : 0;
    uint32_t left = QELFileSize(f->file) - QELFileGetPos(f->file);
    if (data_size > left) {  // cut short: nothing of it is applied
      QELFileSetPos(f->file, next);
      return false;
    }
    if (type != kFrameType) {
      QELFileSetPos(f->file, next);
      continue;
    }
    std::vector<uint8_t> data(data_size);
    if (QELFileGet(f->file, data.data(), data_size) != data_size) return false;
    Target t{buffer, static_cast<uint32_t>(f->buffer_width), static_cast<uint32_t>(f->width),
             static_cast<uint32_t>(f->height), f->palette};
    return ApplyChunks(data.data(), data_size, Get16(header + 6), t);
  }
  return false;
}

}  // namespace

extern "C" {

QELFlic* QELFlicOpen(const char* name) {
  if (name == nullptr) return nullptr;
  QELFile* file = OpenWithDefaults(name);
  if (file == nullptr) return nullptr;
  uint8_t h[kHeaderSize];
  if (QELFileGet(file, h, kHeaderSize) != kHeaderSize) {
    QELFileClose(file);
    return nullptr;
  }
  uint16_t magic = Get16(h + kOffMagic);
  uint16_t frames = Get16(h + kOffFrames), width = Get16(h + kOffWidth), height = Get16(h + kOffHeight);
  uint16_t depth = Get16(h + kOffDepth);
  if ((magic != kMagicFli && magic != kMagicFlc) || frames == 0 || width == 0 || height == 0 ||
      (depth != 8 && depth != 0)) {
    QELFileClose(file);
    return nullptr;
  }
  auto* f = static_cast<QELFlic*>(qelmalloc(sizeof(QELFlic)));
  if (f == nullptr) {
    QELFileClose(file);
    return nullptr;
  }
  std::memset(f, 0, sizeof(QELFlic));
  bool fli = magic == kMagicFli;
  f->file_size = Get32(h + kOffSize);
  f->width = width;
  f->height = height;
  f->buffer_width = (width + 3) & ~3;
  f->buffer_height = (height + 3) & ~3;
  f->frames = frames;
  f->frame_time = FrameTime(h, fli);
  f->file = file;
  // A FLC file written without the first-frame offset has its first frame
  // right after the header, as a FLI file.
  uint32_t first = fli ? kHeaderSize : Get32(h + kOffFirstFrame);
  f->first_frame = first < kHeaderSize ? kHeaderSize : first;
  Rewind(f);
  return f;
}

int32_t QELFlicGetNext(QELFlic* f, uint8_t* buffer) {
  if (f == nullptr || f->file == nullptr || buffer == nullptr) return 0;
  if (f->frames_decoded >= static_cast<uint32_t>(f->frames)) Rewind(f);
  if (f->frames_decoded == 0)
    std::memset(buffer, 0, static_cast<size_t>(f->buffer_width) * static_cast<size_t>(f->buffer_height));
  bool palette_changed = DecodeFrame(f, buffer);
  if (f->frames_decoded == 0) ClearOutside(f, buffer);
  ++f->frames_decoded;
  return palette_changed ? 2 : 1;
}

int32_t QELFlicGoto(QELFlic* f, uint32_t frame_number, uint8_t* buffer) {
  if (f == nullptr || f->file == nullptr || buffer == nullptr) return 0;
  if (frame_number > static_cast<uint32_t>(f->frames)) frame_number = static_cast<uint32_t>(f->frames);
  if (frame_number < f->frames_decoded) Rewind(f);
  int32_t result = 1;
  while (f->frames_decoded < frame_number)
    if (QELFlicGetNext(f, buffer) == 2) result = 2;
  return result;
}

const uint8_t* QELFlicGetPalette(QELFlic* f) {
  return f != nullptr ? f->palette : nullptr;
}

const char* QELFlicGetName(QELFlic* f, char* dest) {
  return f != nullptr ? QELFileGetName(f->file, dest) : nullptr;
}

void QELFlicClose(QELFlic* f) {
  if (f == nullptr) return;
  QELFileClose(f->file);
  qelfree(f);
}

}  // extern "C"
