// The wave-output back end: output blocks written in turn to a wave-output
// device, eight of them per track, so that sound handed over a frame at a
// time (a few milliseconds of it) is queued in the device as it comes rather
// than waiting in the track for one of two blocks to come free; the played position is what the device
// reports as having left it (heard), so that a frame's sound is handed over while the sound before it still
// plays. It has no thread of its own: the playback thread services it.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/debuglog.h"
#include "sound/sound_internal.h"

namespace {

using platform::WaveBlock;
using vidzosound::Sound;

constexpr int kBlocks = 8;

// The blocks with their data, one allocation per track; BlockA and BlockB
// are the first two.
struct Blocks {
  WaveBlock block[kBlocks];
  uint8_t* data;
};

Blocks* BlocksOf(VidzoTrack* t) {
  return reinterpret_cast<Blocks*>(t->BlockA);
}

// Opens the device of the track and checks, with a probe block of four bytes
// of silence, that it plays.
bool OpenDevice(VidzoTrack* t) {
  int error = 0;
  std::unique_ptr<platform::WaveOutDevice> device = platform::OpenWaveOut(vidzosound::TrackFormat(t), &error);
  platform::DebugLog("Using standard waveOut");
  if (device == nullptr) {
    platform::DebugLog("WaveOut open failed - error #: %d", error);
    return false;
  }
  Blocks* blocks = BlocksOf(t);
  for (WaveBlock& block : blocks->block) {
    block.length = t->OutChunkSize;
    block.done.store(true);
  }
  WaveBlock* a = t->BlockA;
  a->length = 4;
  std::memset(a->data, vidzosound::SilenceByte(t), 4);
  if (!device->Write(a)) a->done.store(false);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
  for (;;) {
    device->Poll();
    if (a->done.load()) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      a->done.store(true);
      device->Reset();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  t->Device = device.release();
  t->DeviceWritten = t->DevicePlayedBase = 4;  // the probe
  return true;
}

// What the track's current device has played of the track's sound.
uint32_t DevicePlayed(VidzoTrack* t) {
  if (t->Device == nullptr) return 0;
  const uint64_t played = t->Device->PlayedBytes();
  return played > t->DevicePlayedBase ? static_cast<uint32_t>(played - t->DevicePlayedBase) : 0;
}

void CloseDevice(VidzoTrack* t) {
  if (t->Device == nullptr) return;
  t->PlayedBase += DevicePlayed(t);
  t->Device->Reset();
  for (WaveBlock& block : BlocksOf(t)->block) {
    while (!block.done.load()) t->Device->Poll();
  }
  delete t->Device;
  t->Device = nullptr;
}

// Every block done means the device has taken every byte written; it has
// run dry once it has also played them.
void Service() {
  for (VidzoTrack* t = Sound().wave_list; t != nullptr; t = t->Next) {
    if (t->Device == nullptr) continue;  // suspended
    t->Device->Poll();
    WaveBlock* block = nullptr;
    bool all_done = true;
    for (WaveBlock& b : BlocksOf(t)->block) {
      if (!b.done.load()) {
        all_done = false;
      } else if (block == nullptr) {
        block = &b;
      }
    }
    uint32_t held = t->BufBytes.load(std::memory_order_acquire);
    if (all_done && t->Device->PlayedBytes() >= t->DeviceWritten) {
      // Idle. Sound held back until there is enough of it is not a dry
      // output: the device has not been given it to play late.
      const bool ready = vidzosound::ReadyToStart(t, held);
      if (ready || held < vidzosound::FrameBytes(t)) t->Starved.store(1);
      if (!ready) continue;
    }
    // Down to the last sample frame: sound whose length is not a multiple of
    // four bytes plays to its end.
    if (held < vidzosound::FrameBytes(t) || block == nullptr) continue;
    uint32_t n = std::min(held, t->OutChunkSize);
    t->BufRead = vidzosound::CopyOut(t, block->data, n);
    t->BufBytes.fetch_sub(n, std::memory_order_acq_rel);
    block->length = n;
    std::memset(block->data + n, vidzosound::SilenceByte(t), t->OutChunkSize - n);
    if (t->Device->Write(block)) {
      t->DeviceWritten += n;
    } else {
      block->done.store(true);
    }
  }
}

int OpenTrack(VidzoTrack* t, uint32_t flags) {
  t->OutChunkSize = vidzosound::RoundUpPage(t->BytesPerSecond / 4);
  t->OpenFlagsCopy = flags;
  t->HandOver = vidzosound::HandOverBytes(t);
  Blocks* blocks = new (std::nothrow) Blocks;
  uint8_t* data = new (std::nothrow) uint8_t[kBlocks * size_t{t->OutChunkSize}];
  if (blocks == nullptr || data == nullptr) {
    delete blocks;
    delete[] data;
    return 0;
  }
  blocks->data = data;
  for (int i = 0; i < kBlocks; ++i) blocks->block[i].data = data + i * size_t{t->OutChunkSize};
  t->BlockA = &blocks->block[0];
  t->BlockB = &blocks->block[1];
  if (!OpenDevice(t)) {
    delete[] data;
    delete blocks;
    t->BlockA = t->BlockB = nullptr;
    return 0;
  }
  t->Next = Sound().wave_list;
  Sound().wave_list = t;
  return 1;
}

void CloseTrack(VidzoTrack* t) {
  CloseDevice(t);
  if (t->BlockA != nullptr) {
    Blocks* blocks = BlocksOf(t);
    delete[] blocks->data;
    delete blocks;
    t->BlockA = t->BlockB = nullptr;
  }
  for (VidzoTrack** link = &Sound().wave_list; *link != nullptr; link = &(*link)->Next) {
    if (*link == t) {
      *link = t->Next;
      break;
    }
  }
  t->Next = nullptr;
}

uint32_t PlayedBytes(VidzoTrack* t) {
  Service();
  return t->PlayedBase + DevicePlayed(t);
}

// The played bytes start again from 0; what the device dropped was never
// played.
void Flush(VidzoTrack* t) {
  t->PlayedBase = 0;
  t->Priming = 0;
  if (t->Device == nullptr) return;
  t->Device->Reset();
  t->DevicePlayedBase = t->DeviceWritten = t->Device->PlayedBytes();
}

void Suspend(VidzoTrack* t) {
  CloseDevice(t);
}

int Resume(VidzoTrack* t) {
  if (t->Device != nullptr) return 1;
  return OpenDevice(t) ? 1 : 0;
}

void Volume(VidzoTrack* t, uint32_t volume, uint32_t pan) {
  uint32_t left = std::min<uint32_t>(volume, 65535), right = left;
  if (pan < 32768) right = right * pan >> 15;
  if (pan > 32768) left = left * std::min<uint32_t>(65536 - pan, 32768) >> 15;
  if (t->Device != nullptr) t->Device->SetVolume(right << 16 | left);
}

}  // namespace

namespace vidzosound {

const VidzoSoundOps kWaveOutOps = {Service, OpenTrack, CloseTrack, PlayedBytes,
                                   Flush,   Suspend,   Resume,     Volume};

}  // namespace vidzosound
