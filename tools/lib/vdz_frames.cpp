#include "tools/lib/vdz_frames.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/file.h"
#include "playback/video.h"

namespace vidzotools {
namespace {

struct HandleCloser {
  void operator()(VidzoHandle* h) const { VidzoClose(h); }
};

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Checks that the open file `fd` is a Vidzoer file whose header, frame
// tables and trees are whole (its frame data may end early: the open then
// keeps the frames held whole).
bool CheckLayout(int fd, const std::string& name, std::string& error) {
  const int64_t size = platform::FileSize(fd);
  uint8_t header[104];
  if (size < 4 || platform::FileRead(fd, header, 4) != 4 || std::memcmp(header, "VDZ2", 4) != 0) {
    error = name + " is not a Vidzoer file";
    return false;
  }
  if (platform::FileRead(fd, header + 4, 100) != 100) {
    error = name + " is cut short in its header";
    return false;
  }
  const uint64_t records = uint64_t{Le32(header + 12)} + (Le32(header + 20) & VDZ_RING_FRAME);
  const uint64_t expected = 104 + 5 * records + Le32(header + 52);
  if (records == 0) {
    error = name + " has no frames";
    return false;
  }
  if (expected > static_cast<uint64_t>(size)) {
    error = name + " is cut short: it has " + std::to_string(size) +
            " bytes, fewer than its header, frame tables and trees need (" + std::to_string(expected) + ")";
    return false;
  }
  return true;
}

}  // namespace

VidzoHandle* OpenVdzChecked(const std::string& name, std::string& error) {
  const int fd = platform::FileOpen(name.c_str(), false);
  if (fd < 0) {
    error = "cannot open " + name;
    return nullptr;
  }
  const bool layout_ok = CheckLayout(fd, name, error);
  platform::FileClose(fd);
  if (!layout_ok) return nullptr;
  VidzoHandle* h = VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu);
  if (h == nullptr) {
    if (VidzoOpenFailure() == VIDZO_OPEN_TOO_LARGE)
      error = name + ": " + VidzoOpenMessage();
    else
      error = name + " is malformed and cannot be opened";
  }
  return h;
}

bool StepVdzFrames(VidzoHandle* h, const std::string& name, bool with_ring,
                   const std::function<bool(uint32_t, std::string&)>& visit, std::string& error) {
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
    if (h->ReadError & VDZ_READ_SHORT) {
      error = name + ": the file is cut short (frame " + std::to_string(i) + ")";
      return false;
    }
    if (!visit(i, error)) return false;
  }
  return true;
}

bool DecodeVdzFrames(const std::string& name, bool with_ring,
                     const std::function<bool(const DecodedFrame&, std::string&)>& visit,
                     std::string& error) {
  std::unique_ptr<VidzoHandle, HandleCloser> handle(OpenVdzChecked(name, error));
  VidzoHandle* h = handle.get();
  if (h == nullptr) return false;
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
  return StepVdzFrames(
      h, name, with_ring,
      [&](uint32_t i, std::string& message) {
        const uint32_t video_size =
            h->CurrentFrameSize >= h->VideoOffset ? h->CurrentFrameSize - h->VideoOffset : 0;
        VidzoDecodeVideo(h->VideoData, video_size, h->Trees, h->OutputDesc);
        DecodedFrame frame{i, h->Width, h->Height, picture.data(), h->Palette};
        return visit(frame, message);
      },
      error);
}

}  // namespace vidzotools
