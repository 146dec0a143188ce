// VidzoSetDestination: attaches, reuses, replaces or detaches the output
// descriptor of a handle and fills it for the buffer and placement given.
#include <cstdint>
#include <cstring>

#include "playback/container.h"
#include "playback/video.h"

namespace {

constexpr uint32_t kColourTableBytes = 512;

void Detach(VidzoHandle* h) {
  if (h->OutputDesc != nullptr) h->MemoryInUse -= h->OutputDescSize;
  VidzoFreeMemory(h->OutputDesc);
  h->OutputDesc = nullptr;
  h->OutputDescSize = 0;
  h->Colour16Table = nullptr;
}

struct Geometry {
  uint32_t bytes_per_pixel = 1;
  uint32_t rows_per_block = 4;  // output rows
  uint32_t row_spacing = 1;     // buffer rows from one output row to the next
  uint32_t height = 0;          // stored picture height
};

Geometry GeometryOf(const VidzoHandle* h, uint32_t mode) {
  Geometry g;
  g.bytes_per_pixel = mode != 0 ? 2 : 1;
  g.height = h->Height;
  const uint32_t scaling = h->OpenFlags & OPEN_Y_NONE;
  if (scaling == OPEN_Y_INTERLACE) {
    g.height /= 2;
    g.row_spacing = 2;
  } else if (scaling == OPEN_Y_DOUBLE) {
    g.height /= 2;
    g.rows_per_block = 8;
  }
  return g;
}

// True when every pixel the decoder can write lies inside the buffer.
bool Fits(const VidzoHandle* h, const Geometry& g, uint32_t left, uint32_t top, int32_t pitch,
          uint32_t height) {
  // Pitches this large could not be stepped through with 32-bit steps.
  if (pitch <= 0 || pitch > INT32_MAX / 16 || top >= height) return false;
  const uint64_t row_bytes = (uint64_t{left} + (h->Width / 4) * 4ull) * g.bytes_per_pixel;
  if (row_bytes > static_cast<uint64_t>(pitch)) return false;
  const uint64_t output_rows = uint64_t{g.height / 4} * g.rows_per_block;
  if (output_rows == 0) return true;
  const uint64_t last_row = uint64_t{top} + (output_rows - 1) * g.row_spacing;
  return last_row < height;
}

}  // namespace

extern "C" int VidzoSetDestination(VidzoHandle* h, uint32_t left, uint32_t top, int32_t pitch,
                                   uint32_t height, void* buffer, uint32_t flags) {
  if (h == nullptr) return 0;
  const uint32_t mode = (flags & VIDZO_DEST_COLOUR_MASK) >> 24;
  const Geometry g = GeometryOf(h, mode);
  // A missing buffer detaches; so does a request the decoder could not
  // honour without writing outside the buffer.
  if (buffer == nullptr || mode == 0x40 || !Fits(h, g, left, top, pitch, height)) {
    Detach(h);
    return 0;
  }

  const uint32_t map_bytes = ChangeMapSize(h->Width, g.height);
  const uint64_t needed64 = sizeof(VidzoOutputDesc) + ((uint64_t{map_bytes} + 3) & ~uint64_t{3}) +
                            (mode != 0 ? kColourTableBytes : 0);
  if (needed64 > 0x7FFFFFFFu) {
    Detach(h);
    return 0;
  }
  const auto needed = static_cast<uint32_t>(needed64);

  VidzoOutputDesc* desc = h->OutputDesc;
  VidzoOutputDesc* old = nullptr;
  if (desc == nullptr || desc->Kind != 1 || h->OutputDescSize < needed) {
    old = desc;
    desc = static_cast<VidzoOutputDesc*>(VidzoAllocMemory(h, needed));
    if (desc == nullptr) {
      Detach(h);
      return 0;
    }
    std::memset(static_cast<void*>(desc), 0, needed);
  }
  const uint32_t desc_size = old != nullptr || h->OutputDesc == nullptr ? needed : h->OutputDescSize;

  uint16_t* table = nullptr;
  if (mode != 0) {
    table = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(desc) + needed - kColourTableBytes);
    if (h->Colour16Table != nullptr) {
      if (h->Colour16Table != table) std::memmove(table, h->Colour16Table, kColourTableBytes);
    } else {
      h->PaletteDirty = 1;  // a fresh table holds no colours yet
    }
  }
  if (old != nullptr) {
    h->MemoryInUse -= h->OutputDescSize;
    VidzoFreeMemory(old);
  }
  h->OutputDesc = desc;
  h->OutputDescSize = desc_size;
  h->Colour16Table = table;
  h->DestX = left;
  h->DestY = top;

  const bool bottom_up = (flags & VIDZO_DEST_BOTTOM_UP) != 0;
  const int32_t used_pitch = pitch * static_cast<int32_t>(g.row_spacing);
  const int32_t signed_pitch = bottom_up ? -used_pitch : used_pitch;
  const uint32_t row = bottom_up ? height - top - 1 : top;
  const auto b = static_cast<int32_t>(g.bytes_per_pixel);
  const auto r = static_cast<int32_t>(g.rows_per_block);
  desc->Kind = 1;
  desc->Doubled = g.rows_per_block == 8 ? 1 : 0;
  desc->ColourMode = static_cast<uint8_t>(mode);
  desc->FirstPixel = static_cast<uint8_t*>(buffer) + uint64_t{row} * static_cast<uint32_t>(pitch) +
                     uint64_t{left} * g.bytes_per_pixel;
  desc->BlocksPerRow = h->Width / 4;
  desc->BlockRows = g.height / 4;
  desc->BlockStep = (r - 1) * signed_pitch - 4 * b;
  desc->SpanStep = (r - 1) * signed_pitch;
  desc->Pitch = signed_pitch;
  desc->RowStep = r * signed_pitch - static_cast<int32_t>(desc->BlocksPerRow * 4) * b;
  desc->PixelWidth = desc->BlocksPerRow * 4;
  desc->PixelHeight = desc->BlockRows * 4;
  desc->MapBytes = map_bytes;
  desc->Colour16 = table;
  return 1;
}
