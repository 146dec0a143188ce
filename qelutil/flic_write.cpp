// QELOFlic: writing an FLC file frame by frame. Each frame gets a colour
// chunk when its palette changed and the smallest of the image chunks the
// rules allow; closing adds the ring frame and completes the header.
#include <cstring>
#include <string>
#include <vector>

#include "qelutil/flic_chunks.h"
#include "qelutil/flic_format.h"
#include "qelutil/qelutil.h"

namespace {

using namespace flic;

size_t FrameBytes(const QELOFlic* f) {
  return static_cast<size_t>(f->width) * static_cast<size_t>(f->height);
}

bool Write(QELOFlic* f, const void* p, uint32_t n) {
  if (n != 0 && QELFilePut(f->file, p, n) != n) f->failed = 1;
  if (f->file->write_error != 0) f->failed = 1;
  return f->failed == 0;
}

void WriteChunk(QELOFlic* f, uint16_t type, const uint8_t* data, uint32_t size) {
  uint8_t h[kChunkHeaderSize];
  Put32(h, size + kChunkHeaderSize);
  Put16(h + 4, type);
  Write(f, h, kChunkHeaderSize);
  Write(f, data, size);
}

// The image chunk of step 2: its type (0 for none) and data in `out` (or the
// frame itself for a raw chunk).
uint16_t ChooseImage(const QELOFlic* f, const uint8_t* frame, std::vector<uint8_t>& out) {
  auto w = static_cast<uint32_t>(f->width), h = static_cast<uint32_t>(f->height);
  auto raw = static_cast<uint32_t>(FrameBytes(f));
  if (f->frames_written > 0) {
    if (std::memcmp(frame, f->previous, raw) == 0) return 0;
    if (w == 320 && h == 200) {
      if (EncodeByteDelta(frame, f->previous, w, h, raw, out)) return kByteDelta;
    } else if (EncodeWordDelta(frame, f->previous, w, h, raw, out)) {
      return kWordDelta;
    }
  }
  if (EncodeByteRun(frame, w, h, raw, out)) return kByteRun;
  return kRaw;
}

void PatchHeader(QELOFlic* f, uint32_t frames) {
  uint32_t size = QELFileSize(f->file);
  uint8_t h[kHeaderSize];
  QELFileSetPos(f->file, 0);
  if (QELFileGet(f->file, h, kHeaderSize) != kHeaderSize) {
    f->failed = 1;
    return;
  }
  Put32(h + kOffSize, size);
  Put16(h + kOffFrames, frames);
  Put32(h + kOffSecondFrame, f->after_first);
  QELFileSetPos(f->file, 0);
  Write(f, h, kHeaderSize);
}

// The header's frame count has 16 bits.
constexpr uint32_t kMostFrames = 65535;

int32_t PutFrame(QELOFlic* f, const uint8_t* frame, const uint8_t* palette);

}  // namespace

extern "C" {

QELOFlic* QELOFlicCreate(const char* name, int32_t width, int32_t height, int32_t frame_time) {
  if (name == nullptr || width <= 0 || height <= 0 || (width & 1) != 0 || width > 65535 || height > 65535)
    return nullptr;
  auto* f = static_cast<QELOFlic*>(qelmalloc(sizeof(QELOFlic)));
  if (f == nullptr) return nullptr;
  std::memset(f, 0, sizeof(QELOFlic));
  f->width = width;
  f->height = height;
  uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (bytes < 0xFFFFFFFFu) {
    f->previous = static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(bytes)));
    f->first = static_cast<uint8_t*>(qelmalloc(static_cast<uint32_t>(bytes)));
  }
  std::string full = name;
  if (HasExtension(name) == nullptr) full += ".flc";
  if (f->previous != nullptr && f->first != nullptr)
    f->file = QELFileCreate(static_cast<int32_t>(kFileBuffer), full.c_str());
  if (f->file == nullptr) {
    qelfree(f->previous);
    qelfree(f->first);
    qelfree(f);
    return nullptr;
  }
  uint8_t h[kHeaderSize] = {};
  Put16(h + kOffMagic, kMagicFlc);
  Put16(h + kOffWidth, static_cast<uint32_t>(width));
  Put16(h + kOffHeight, static_cast<uint32_t>(height));
  Put16(h + kOffDepth, 8);
  Put16(h + kOffFlags, 3);
  if (frame_time < 0) {
    Put32(h + kOffSpeed, static_cast<uint32_t>(frame_time / -100));
    Put32(h + kOffFrameTime, static_cast<uint32_t>(frame_time));
  } else {
    Put32(h + kOffSpeed, static_cast<uint32_t>(frame_time));
  }
  bool vga = width == 320 && height == 200;
  Put16(h + kOffAspectX, vga ? 6 : 1);
  Put16(h + kOffAspectY, vga ? 5 : 1);
  Put32(h + kOffFirstFrame, kHeaderSize);
  Write(f, h, kHeaderSize);
  return f;
}

int32_t QELOFlicPutNext(QELOFlic* f, const uint8_t* frame, const uint8_t* palette) {
  // A frame beyond what the header can count is refused; the file stays whole.
  if (f == nullptr || frame == nullptr || f->frames_written >= kMostFrames) return 0;
  return PutFrame(f, frame, palette);
}

uint32_t QELOFlicClose(QELOFlic* f) {
  if (f == nullptr) return 0;
  uint32_t frames = f->frames_written;
  if (frames > 0) {
    // The ring frame leads from the last frame back to the first, its
    // palette included, so that a player that loops through it shows the
    // first frame in its own colours.
    uint8_t first_palette[768];
    std::memcpy(first_palette, f->first_palette, sizeof(first_palette));
    PutFrame(f, f->first, first_palette);
  } else {
    f->after_first = kHeaderSize;
  }
  if (f->failed == 0) PatchHeader(f, frames);
  uint32_t size = QELFileSize(f->file);
  QELFileClose(f->file);
  qelfree(f->previous);
  qelfree(f->first);
  qelfree(f);
  return size;
}

}  // extern "C"

namespace {

int32_t PutFrame(QELOFlic* f, const uint8_t* frame, const uint8_t* palette) {
  if (f->failed != 0) return 0;
  std::vector<uint8_t> colors, image;
  if (palette != nullptr) {
    EncodePalette(f->palette, palette, colors);
    std::memcpy(f->palette, palette, sizeof(f->palette));
  }
  uint16_t type = ChooseImage(f, frame, image);
  const uint8_t* image_data = type == kRaw ? frame : image.data();
  auto image_size = static_cast<uint32_t>(type == kRaw ? FrameBytes(f) : image.size());

  uint32_t chunks = (colors.empty() ? 0 : 1) + (type == 0 ? 0 : 1);
  uint32_t size = kFrameHeaderSize;
  if (!colors.empty()) size += kChunkHeaderSize + static_cast<uint32_t>(colors.size());
  if (type != 0) size += kChunkHeaderSize + image_size;
  uint8_t h[kFrameHeaderSize] = {};
  Put32(h, size);
  Put16(h + 4, kFrameType);
  Put16(h + 6, chunks);
  Write(f, h, kFrameHeaderSize);
  if (!colors.empty()) WriteChunk(f, kColor256, colors.data(), static_cast<uint32_t>(colors.size()));
  if (type != 0) WriteChunk(f, type, image_data, image_size);

  std::memcpy(f->previous, frame, FrameBytes(f));
  if (f->frames_written == 0) {
    std::memcpy(f->first, frame, FrameBytes(f));
    std::memcpy(f->first_palette, f->palette, sizeof(f->palette));
    f->after_first = QELFileGetPos(f->file);
  }
  ++f->frames_written;
  return f->failed == 0 ? 1 : 0;
}

}  // namespace
