// VidzoClose and the release of a handle's buffers.
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "platform/debuglog.h"
#include "platform/file.h"
#include "playback/container.h"
#include "playback/trees.h"

namespace vidzo {

void ReleaseBuffers(VidzoHandle* h) {
  VidzoFreeMemory(h->OutputDesc);
  if (h->Trees != nullptr) h->Trees->~TreesArea();  // placed at the start of its block
  VidzoFreeMemory(h->Trees);
  VidzoFreeMemory(h->FrameTypes);  // the start of the tables' allocation
  VidzoFreeMemory(h->FrameBuffer);
  VidzoFreeMemory(h->RingBase);
  h->OutputDesc = nullptr;
  h->Colour16Table = nullptr;  // inside the output descriptor
  h->Trees = nullptr;
  h->FrameTypes = nullptr;
  h->FrameSizes = nullptr;
  h->FrameBuffer = h->FrameData = h->CurrentChunk = h->VideoData = nullptr;
  h->RingBase = h->RingEnd = h->RingRead = h->RingWrite = nullptr;
}

}  // namespace vidzo

extern "C" void VidzoClose(VidzoHandle* h) {
  if (h == nullptr) return;
  platform::DebugLog("VidzoClose: %" PRIuPTR, reinterpret_cast<uintptr_t>(h));
  VidzoProcessState* p = VidzoProcess();
  if (h->TimingTrack >= 0) {
    if (p->Sound.close_tracks != nullptr) p->Sound.close_tracks(h);
    h->TimingTrack = -1;
  }
  if (p->OpenTracks == 0 && p->AudioTreeScratch != nullptr) {
    std::free(p->AudioTreeScratch);
    p->AudioTreeScratch = nullptr;
  }
  if (h->FileHandle != platform::kInvalidFile && !(h->OpenFlags & OPEN_FILE_HANDLE))
    platform::FileClose(static_cast<int>(h->FileHandle));
  vidzo::ReleaseBuffers(h);
  bool caller_record = (h->OpenFlags & OPEN_CALLER_RECORD) != 0;
  std::memset(static_cast<void*>(h), 0, sizeof(VidzoHandle));
  if (!caller_record) VidzoFreeMemory(h);
}
