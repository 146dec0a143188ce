// The reader: hands out the file's bytes in order through the read-ahead
// ring. Every file read after the first realigning one is a whole number of
// 4096-byte blocks on a block boundary; large demands skip the ring and are
// read straight into the destination in pieces of up to 16384 bytes.
//
// Ring state: the bytes held run from RingRead to RingEnd and on from
// RingBase to RingWrite once the writer has wrapped, else from RingRead to
// RingWrite. The allocation is RingSize + 4096 bytes, so that one block
// written at a point short of RingBase + RingSize always fits; RingEnd then
// moves to where that block ended.
#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/file.h"
#include "playback/container.h"

namespace vidzo {

void SimulatedWait(const VidzoHandle* h, uint32_t bytes, uint32_t start_ms) {
  if (h->SimulatedRate == 0 || bytes == 0) return;
  uint64_t want = static_cast<uint64_t>(bytes) * 1000u / h->SimulatedRate;
  for (;;) {
    uint32_t elapsed = platform::TimeMs() - start_ms;
    if (elapsed >= want) return;
    if (platform::FakeClockActive()) {
      platform::AdvanceFakeClock(static_cast<uint32_t>(want - elapsed));
    } else {
      std::this_thread::yield();
    }
  }
}

void RefillSound() {
  VidzoProcessState* p = VidzoProcess();
  if (p->OpenTracks != 0 && p->Sound.refill != nullptr) p->Sound.refill();
}

void ConsumeRing(VidzoHandle* h, uint32_t n) {
  h->RingRead += n;
  h->RingBytes -= n;
  h->NextReadOffset += n;
  if (h->RingRead >= h->RingEnd) {
    h->RingRead = h->RingBase;
    h->RingEnd = h->RingBase + h->RingSize;
    if (h->RingBytes == 0) h->RingWrite = h->RingBase;
  }
}

namespace {

uint32_t ReadFile(VidzoHandle* h, void* dest, uint32_t n) {
  if (n == 0) return 0;
  return static_cast<uint32_t>(platform::FileRead(static_cast<int>(h->FileHandle), dest, n));
}

// Hands out up to `n` bytes held in the ring.
uint32_t TakeFromRing(VidzoHandle* h, uint8_t* dest, uint32_t n) {
  uint32_t done = 0;
  while (done < n && h->RingBytes != 0) {
    uint32_t piece =
        std::min<uint32_t>({n - done, static_cast<uint32_t>(h->RingEnd - h->RingRead), h->RingBytes});
    std::memcpy(dest + done, h->RingRead, piece);
    done += piece;
    ConsumeRing(h, piece);
  }
  return done;
}

}  // namespace

}  // namespace vidzo

using vidzo::kBlock;

extern "C" {

uint32_t VidzoRead(VidzoHandle* h, void* dest, uint32_t n) {
  if (h == nullptr || dest == nullptr || n == 0) return 0;
  uint32_t start = platform::TimeMs();
  auto* out = static_cast<uint8_t*>(dest);
  uint32_t delivered = 0;
  uint32_t from_file = 0;

  if (h->RingBase == nullptr) {
    delivered = from_file = vidzo::ReadFile(h, out, n);
    h->NextReadOffset += delivered;
    if (delivered < n) h->ReadError |= VDZ_READ_SHORT;
  } else {
    for (;;) {
      delivered += vidzo::TakeFromRing(h, out + delivered, n - delivered);
      if (delivered == n) break;
      vidzo::RefillSound();
      // The ring is empty here, so the file stands at NextReadOffset.
      while (n - delivered > kBlock) {
        uint32_t piece = std::min(vidzo::kDirectPiece, (n - delivered) & ~(kBlock - 1));
        uint32_t got = vidzo::ReadFile(h, out + delivered, piece);
        delivered += got;
        from_file += got;
        h->NextReadOffset += got;
        vidzo::RefillSound();
        if (got < piece) {
          h->ReadError |= VDZ_READ_SHORT;
          break;
        }
      }
      if (delivered == n) break;
      // The rest (or what a short read left owed) goes through the ring. The
      // refill never exceeds the nominal ring size, so the ring's pointers
      // stay inside its allocation.
      uint32_t left = n - delivered;
      uint64_t want = (static_cast<uint64_t>(left) + kBlock - 1) / kBlock * kBlock;
      want = std::min<uint64_t>(want, h->RingSize);
      uint32_t got = vidzo::ReadFile(h, h->RingBase, static_cast<uint32_t>(want));
      from_file += got;
      h->RingRead = h->RingBase;
      h->RingWrite = h->RingBase + got;
      h->RingEnd = h->RingBase + h->RingSize;
      h->RingBytes = got;
      h->RingPeak = std::max(h->RingPeak, h->RingBytes);
      if (got < want && got < left) {
        // Cut short: hand out what arrived and stop.
        h->ReadError |= VDZ_READ_SHORT;
        delivered += vidzo::TakeFromRing(h, out + delivered, n - delivered);
        break;
      }
    }
  }

  h->BytesRead += from_file;
  vidzo::SimulatedWait(h, from_file, start);
  h->ReadMs += platform::TimeMs() - start;
  return delivered;
}

uint32_t VidzoReadAhead(VidzoHandle* h) {
  if (h == nullptr || h->RingBase == nullptr) return 0;
  if (h->CurrentFrame >= h->FrameCount) return 0;
  if (static_cast<int32_t>(h->RingSize - h->RingBytes) < static_cast<int32_t>(kBlock)) return 0;
  uint32_t start = platform::TimeMs();
  uint32_t got = vidzo::ReadFile(h, h->RingWrite, kBlock);
  h->ReadAheadAtEnd = got == 0 ? 1 : 0;
  h->RingBytes += got;
  h->RingWrite += got;
  if (h->RingWrite >= h->RingEnd) {
    h->RingEnd = h->RingWrite;
    h->RingWrite = h->RingBase;
  }
  h->RingPeak = std::max(h->RingPeak, h->RingBytes);
  h->BytesReadAhead += got;
  vidzo::SimulatedWait(h, got, start);
  h->ReadAheadMs += platform::TimeMs() - start;
  return got;
}

}  // extern "C"
