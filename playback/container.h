// Pieces of the .vdz container code shared by its files (open, reading,
// stepping, closing). Not part of the library's interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "playback/vidzo.h"

namespace vidzo {

inline constexpr uint32_t kBlock = 4096;         // file reads are whole blocks
inline constexpr uint32_t kDirectPiece = 16384;  // largest direct read

inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Frame records in the file: FrameCount, plus the ring frame.
inline uint32_t StoredFrames(const VidzoHandle* h) {
  return h->FrameCount + (h->HeaderFlags & VDZ_RING_FRAME);
}

// The frame statistics of open: total, largest, average and the peak second
// over `fps` consecutive frames.
struct FrameStats {
  uint64_t total = 0;
  uint32_t largest = 0;
  uint32_t average = 0;
  uint32_t peak_bytes = 0;
  uint32_t peak_frame = 1;  // 1-based
};
FrameStats ComputeFrameStats(const uint32_t* sizes, uint32_t n, uint32_t fps);

// Frame period in 10 us units from a header frame rate, and frames per second.
uint32_t PeriodFromRate(int32_t frame_rate);
uint32_t FramesPerSecond(uint32_t period);

// Ring size for `extra_buffer` (0xFFFFFFFF = automatic): a multiple of 4096,
// at least 8192.
uint64_t ChooseRingSize(uint32_t extra_buffer, uint32_t period, uint32_t peak_bytes, uint64_t total);

// Tracked allocation of `bytes` that counts `counted` bytes in MemoryInUse.
void* AllocCounted(VidzoHandle* h, size_t bytes, uint32_t counted);

// Frees every buffer the handle owns (output descriptor, trees, tables, frame
// buffer, ring) and clears their pointers.
void ReleaseBuffers(VidzoHandle* h);

// Waits until a transfer of `bytes` begun at `start_ms` has lasted as long as
// the simulated rate asks (no wait when it is off).
void SimulatedWait(const VidzoHandle* h, uint32_t bytes, uint32_t start_ms);

// Drops n bytes from the front of the ring (n no more than are held before
// RingEnd): RingRead and NextReadOffset move on, wrapping at RingEnd.
void ConsumeRing(VidzoHandle* h, uint32_t n);

// Gives the sound output its chance to refill when a track is open.
void RefillSound();

// For tests: the n-th tracked allocation from now (1 = the next) fails;
// 0 turns failures off.
void FailAllocationForTests(uint32_t n);

}  // namespace vidzo
