#include "tools/lib/vdz_frames.h"

#include <memory>
#include <vector>

#include "playback/video.h"

namespace vidzotools {
namespace {

struct HandleCloser {
  void operator()(VidzoHandle* h) const { VidzoClose(h); }
};

}  // namespace

bool DecodeVdzFrames(const std::string& name, bool with_ring,
                     const std::function<bool(const DecodedFrame&, std::string&)>& visit,
                     std::string& error) {
  std::unique_ptr<VidzoHandle, HandleCloser> handle(VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu));
  VidzoHandle* h = handle.get();
  if (h == nullptr) {
    error = name + ": cannot be opened as a Vidzoer file";
    return false;
  }
  const uint64_t pixels = static_cast<uint64_t>(h->Width) * h->Height;
  if (h->Width == 0 || h->Height == 0 || pixels > (uint64_t{1} << 30)) {
    error = name + ": the picture size " + std::to_string(h->Width) + " x " + std::to_string(h->Height) +
            " cannot be decoded";
    return false;
  }
  std::vector<uint8_t> picture(static_cast<size_t>(pixels), 0);
  if (!VidzoSetDestination(h, 0, 0, static_cast<int32_t>(h->Width), h->Height, picture.data(), 0)) {
    error = name + ": the decoder refuses the picture size";
    return false;
  }
  const bool ring = with_ring && (h->HeaderFlags & VDZ_RING_FRAME) != 0;
  const uint32_t count = h->FrameCount + (ring ? 1 : 0);
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) {
      // The next record follows the one just shown (in the preloaded data;
      // streaming loads it into the frame buffer).
      h->FrameData += h->CurrentFrameSize;
      h->CurrentFrame = i;
      if (i < h->FrameCount) VidzoLoadFrame(h);
      VidzoPrepareFrame(h);
    }
    if (h->ReadError) {
      error = name + ": the file is cut short (frame " + std::to_string(i) + ")";
      return false;
    }
    const uint32_t video_size =
        h->CurrentFrameSize >= h->VideoOffset ? h->CurrentFrameSize - h->VideoOffset : 0;
    VidzoDecodeVideo(h->VideoData, video_size, h->Trees, h->OutputDesc);
    DecodedFrame frame{i, h->Width, h->Height, picture.data(), h->Palette};
    if (!visit(frame, error)) return false;
  }
  return true;
}

}  // namespace vidzotools
