// Loading, repositioning and preparing the current frame record.
//
// The chunk walk is bounded by the record: a palette or audio chunk that
// claims more than is left of the record takes the rest of it (an audio
// chunk that does not fit is dropped), and the video data is then empty.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/file.h"
#include "playback/container.h"

namespace {

bool Preloaded(const VidzoHandle* h) {
  return h->RingBase == nullptr;
}

// Size of record `frame`, 0 beyond the table.
uint32_t RecordSize(const VidzoHandle* h, uint32_t frame) {
  return frame < vidzo::StoredFrames(h) ? h->FrameSizes[frame] : 0;
}

// Offset of record `frame` from the first record.
uint32_t RecordOffset(const VidzoHandle* h, uint32_t frame) {
  uint32_t n = std::min(frame, vidzo::StoredFrames(h));
  uint64_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += h->FrameSizes[i];
  return static_cast<uint32_t>(sum);  // open checked that the total fits
}

// Reads `n` bytes into the ring at its base, straight from the file, so that
// later reads start on a block boundary.
void RealignRing(VidzoHandle* h, uint32_t n) {
  uint32_t start = platform::TimeMs();
  uint32_t got = static_cast<uint32_t>(platform::FileRead(static_cast<int>(h->FileHandle), h->RingBase, n));
  h->RingRead = h->RingBase;
  h->RingWrite = h->RingBase + got;
  h->RingEnd = h->RingBase + h->RingSize;
  h->RingBytes = got;
  h->RingPeak = std::max(h->RingPeak, got);
  h->BytesRead += got;
  vidzo::SimulatedWait(h, got, start);
  h->ReadMs += platform::TimeMs() - start;
}

}  // namespace

namespace vidzo {

// Empties the ring and reads the partial block before the first full one.
void StartRingAt(VidzoHandle* h, uint32_t offset) {
  h->RingRead = h->RingWrite = h->RingBase;
  h->RingEnd = h->RingBase + h->RingSize;
  h->RingBytes = 0;
  h->NextReadOffset = offset;
  if (offset % kBlock != 0) RealignRing(h, kBlock - offset % kBlock);
}

}  // namespace vidzo

extern "C" {

void VidzoLoadFrame(VidzoHandle* h) {
  if (h == nullptr || Preloaded(h) || h->FrameBuffer == nullptr) return;
  h->FrameData = h->FrameBuffer;
  uint32_t size = std::min(RecordSize(h, h->CurrentFrame), h->FrameBufferSize);
  h->CurrentFrameSize = size;
  uint32_t got = VidzoRead(h, h->FrameBuffer, size);
  if (got < size) std::memset(h->FrameBuffer + got, 0, size - got);  // used as read
}

void VidzoSeekFrame(VidzoHandle* h) {
  if (h == nullptr || h->FrameBuffer == nullptr) return;
  if (h->CurrentFrame == 0) {
    std::memset(h->Palette, 0, sizeof h->Palette + sizeof h->PaletteSpare);
    VidzoProcessState* p = VidzoProcess();
    if (h->TimingTrack >= 0 && p->Sound.restart != nullptr) p->Sound.restart(h);
  }
  uint32_t relative = RecordOffset(h, h->CurrentFrame);
  if (Preloaded(h)) {
    h->FrameData = h->FrameBuffer + relative;
    return;
  }
  uint32_t target = h->FirstFrameOffset + relative;
  if (target >= h->NextReadOffset && target - h->NextReadOffset <= h->RingBytes) {
    // Within the bytes held: drop the ones before the target.
    uint32_t drop = target - h->NextReadOffset;
    while (drop != 0) {
      uint32_t piece = std::min(drop, static_cast<uint32_t>(h->RingEnd - h->RingRead));
      vidzo::ConsumeRing(h, piece);
      drop -= piece;
    }
  } else if (platform::FileSeek(static_cast<int>(h->FileHandle), target, SEEK_SET) < 0) {
    vidzo::StartRingAt(h, target);
    h->ReadError |= VDZ_READ_SHORT;
    h->CurrentFrameSize = 0;
    h->FrameData = h->FrameBuffer;
    return;
  } else {
    vidzo::StartRingAt(h, target);
  }
  VidzoLoadFrame(h);
}

void VidzoPrepareFrame(VidzoHandle* h) {
  if (h == nullptr || h->FrameBuffer == nullptr || h->FrameSizes == nullptr) return;
  h->FrameDue = 0;
  if (h->CurrentFrame >= h->FrameCount) {
    if (h->HeaderFlags & VDZ_RING_FRAME) {
      if (h->CurrentFrame == h->FrameCount) {
        VidzoLoadFrame(h);  // the ring frame, in sequence
      } else {
        h->CurrentFrame = 1;
        VidzoSeekFrame(h);
      }
    } else {
      h->CurrentFrame = 0;
      VidzoSeekFrame(h);
    }
  }

  // The record's bounds inside the frame buffer.
  uint8_t* buffer_end = h->FrameBuffer + h->FrameBufferSize;
  uint8_t* record = h->FrameData;
  uint32_t size;
  if (Preloaded(h)) {
    if (record < h->FrameBuffer || record > buffer_end) record = buffer_end;
    size = std::min<uint32_t>(RecordSize(h, h->CurrentFrame), static_cast<uint32_t>(buffer_end - record));
    h->FrameData = record;
    h->CurrentFrameSize = size;
  } else {
    record = h->FrameData = h->FrameBuffer;
    size = std::min(h->CurrentFrameSize, h->FrameBufferSize);
  }
  h->CurrentChunk = record;

  uint8_t type = h->CurrentFrame < vidzo::StoredFrames(h) ? h->FrameTypes[h->CurrentFrame] : 0;
  uint32_t pos = 0;
  const uint8_t* palette = nullptr;
  uint32_t palette_size = 0;
  if ((type & 1) && size != 0) {
    palette = record;
    palette_size = std::min<uint32_t>(record[0] * 4u, size);
    pos = palette_size;
  }
  for (int t = 0; t < VDZ_TRACKS; ++t) {
    h->AudioChunk[t] = nullptr;
    if (!(type & (2u << t))) continue;
    uint32_t left = size - pos;
    if (left < 4) {
      pos = size;
      continue;
    }
    uint32_t length = vidzo::LoadLe32(record + pos);
    if (length < 4 || length > left) {
      pos = size;  // does not fit: the rest of the record is lost
      continue;
    }
    h->AudioChunk[t] = record + pos;
    pos += length;
  }
  h->VideoData = record + pos;
  h->VideoOffset = pos;

  if (palette != nullptr) {
    DecodePalette(palette, palette_size, h);
    if (h->LastPaletteFrame != static_cast<int32_t>(h->CurrentFrame)) {
      h->PaletteChanged = 1;
      h->PaletteDirty = 1;
      return;
    }
  }
  h->PaletteChanged = 0;
}

void VidzoStepFrame(VidzoHandle* h) {
  if (h == nullptr) return;
  const uint32_t stored = h->FrameCount + (h->HeaderFlags & VDZ_RING_FRAME);
  if (h->RingBase == nullptr && h->CurrentFrame < stored) h->FrameData += h->FrameSizes[h->CurrentFrame];
  h->CurrentFrame += 1;
  if (h->CurrentFrame < h->FrameCount) VidzoLoadFrame(h);
  VidzoPrepareFrame(h);
}

}  // extern "C"
