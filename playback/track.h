// The record of one open sound track (VidzoHandle::Tracks[t]). Opening the
// track fills its sizes and circular buffer; the sound output (sound/) plays
// it and keeps the device fields; the frame step reads its clock fields.
// Byte counts marked x1024 carry ten fraction bits.
//
// The frame step writes at BufWrite and raises BufBytes; the sound output
// reads at BufRead and lowers BufBytes, possibly on its own timer thread:
// BufBytes and Starved are atomics.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {
class WaveOutDevice;
class RingDevice;
struct WaveBlock;
}  // namespace platform

struct VidzoTrack {
  // Common to both back ends.
  uint8_t* BufStart;
  uint8_t* BufEnd;
  uint8_t* BufRead;   // next byte the sound output takes
  uint8_t* BufWrite;  // next byte the frame step writes
  std::atomic<uint32_t> BufBytes;
  uint32_t BytesPerSecond;
  uint32_t BufSize;
  uint32_t BytesPerFrame;  // x1024
  uint32_t DuePoint;       // x1024, relative to DueBase
  uint32_t DueBase;        // whole bytes
  uint32_t LatePoint;      // x1024, relative to DueBase
  uint32_t BytesQueued;    // every byte ever written, silence included
  uint32_t Overflows;      // chunks cut short by a full buffer
  uint32_t SoundSkips;     // silence pads
  uint32_t LargestChunk;
  VidzoTrack* Next;                 // in the back end's list of playing tracks
  platform::WaveOutDevice* Device;  // wave output
  uint32_t OutChunkSize;
  uint32_t SampleRate;
  uint32_t NoSoundThisFrame;
  uint32_t Is16Bit;
  uint32_t IsStereo;
  std::atomic<uint32_t> Starved;  // the output ran dry
  uint32_t StarvedSeen;           // the frame step has padded for it
  // How many bytes ahead of what has been heard the frame step hands a
  // frame's sound over (the sound clock runs this far ahead of the played
  // bytes), set by the back end when the track opens.
  uint32_t HandOver;
  // While the device is idle and the track holds less than HandOver: set,
  // with the time the track began to hold sound (see ReadyToStart).
  uint32_t Priming;
  uint32_t PrimingSinceMs;

  // Wave output. The played bytes are PlayedBase plus what the device has
  // played beyond DevicePlayedBase; DeviceWritten counts what was written to
  // the current device.
  uint32_t PlayedBase;
  uint64_t DevicePlayedBase;
  uint64_t DeviceWritten;
  platform::WaveBlock* BlockA;
  platform::WaveBlock* BlockB;
  uint32_t OpenFlagsCopy;

  // Device buffer ("DirectSound").
  platform::RingDevice* DsBuffer;
  uint32_t WriteOffset;
  uint32_t Stopped;
  uint32_t BytesToDevice;
  uint32_t DeviceFree;
  uint32_t LastPlayCursor;
  uint32_t SilenceStart;  // 0xFFFFFFFF = no silence tail
  uint32_t SilenceEnd;
  uint32_t LastPlayed;
  uint32_t LastPlayedMs;
  uint32_t LastReported;
};
