// Arbitrary bytes as a .vdz file opened with every sound track and played
// through the sound output's frame hand-off and service, on virtual devices
// and a fake clock; the last byte chooses the back end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sound_device.h"
#include "playback/track.h"
#include "playback/vidzo.h"
#include "sound/sound.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/scratch_file.h"

namespace {

// Whether switching the sound back on reopens no wave-output device whose
// probe block would wait on the fake clock: a four-byte block of a track of
// 4000 bytes a second or more plays in no time.
bool ProbesAtOnce(const VidzoHandle* h, bool direct_sound) {
  if (direct_sound) return true;
  for (const VidzoTrack* t : h->Tracks)
    if (t != nullptr && t->BytesPerSecond < 4000) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keep the sample rates, and so the buffers, small enough for a fast run;
  // and at 4000 Hz or more for every track that opens, so that the four-byte
  // probe block of a wave-output device plays at once instead of sleeping
  // up to a second of real time (low rates are run by the other targets).
  for (size_t at = 72; at < 100 && at + 4 <= size; at += 4) {
    if (data[at + 2] != 0) return 0;
    const uint32_t rate = data[at] | (uint32_t{data[at + 1]} << 8);
    if ((data[at + 3] & 0x40) != 0 && rate != 0 && rate < 4000) return 0;
  }
  static const vidzotools::ScratchFile file;
  const std::string& name = file.name();
  if (name.empty() || size == 0) return 0;
  if (!vidzotools::WriteFileBytes(name, std::vector<uint8_t>(data, data + size))) return 0;

  VidzoSoundResetForTests();
  platform::VirtualSoundOptions options;
  options.timer_threads = false;
  platform::UseVirtualSound(true, options);
  platform::UseRealClock();  // the device probes of open and resume wait on real time
  VidzoSoundInstall();
  const bool direct_sound = (data[size - 1] & 1) != 0;
  if (direct_sound) VidzoSelectDirectSound(nullptr);

  VidzoHandle* h = VidzoOpen(name.c_str(), OPEN_PRELOAD | OPEN_TRACKS_MASK, 0xFFFFFFFFu);
  platform::SetFakeClock(1000);
  if (h != nullptr) {
    for (uint32_t i = 0; i < 64 && h->FrameSizes != nullptr; ++i) {
      VidzoFrameSound(h);
      platform::AdvanceFakeClock(1 + data[i % size] % 64);
      VidzoSoundService();
      if (h->TimingTrack >= 0) VidzoPlayedBytes(h->Tracks[h->TimingTrack]);
      if (i == 20 && ProbesAtOnce(h, direct_sound)) {
        VidzoSoundOnOff(h, 0);
        VidzoSoundOnOff(h, 1);
      }
      if (h->CurrentFrame < h->FrameCount + (h->HeaderFlags & 1))
        h->FrameData += h->FrameSizes[h->CurrentFrame];
      h->CurrentFrame += 1;
      if (h->CurrentFrame < h->FrameCount) VidzoLoadFrame(h);
      VidzoPrepareFrame(h);
    }
    VidzoClose(h);
  }
  VidzoSoundResetForTests();
  platform::UseVirtualSound(false);
  platform::UseRealClock();
  return 0;
}
