// Arbitrary bytes as a picture size (up to 64 x 64 blocks), an output form,
// four tree-size fields, a packed trees block and video data: decodes into a
// buffer with guard bytes around the picture area with every painter set and
// reader form (all must agree), walks the changed areas, then remaps the
// colours and decodes again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "playback/bit_reader.h"
#include "playback/trees.h"
#include "playback/video.h"
#include "playback/video_internal.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kHeader = 21;

struct Target {
  std::vector<std::uint8_t> bytes;  // guard rows before and after the buffer proper
  std::vector<bool> allowed;        // bytes the picture may cover
  std::size_t offset = 0;           // where the buffer proper starts
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Marks the bytes of every output pixel, as the buffer's geometry places them.
void MarkPicture(Target& t, const VidzoHandle& h, bool doubled, bool interlaced, bool bottom_up,
                 std::uint32_t b, std::uint32_t pitch, std::uint32_t rows) {
  const std::uint32_t width = h.Width / 4 * 4;
  const std::uint32_t height = (doubled || interlaced ? h.Height / 2 : h.Height) / 4 * 4;
  for (std::uint32_t y = 0; y < height * (doubled ? 2 : 1); ++y) {
    const std::uint32_t row = h.DestY + y * (interlaced ? 2 : 1);
    const std::uint32_t physical = bottom_up ? rows - 1 - row : row;
    const std::size_t start = t.offset + std::size_t{physical} * pitch + std::size_t{h.DestX} * b;
    for (std::size_t i = 0; i < std::size_t{width} * b; ++i) t.allowed[start + i] = true;
  }
}

void WalkChanges(VidzoOutputDesc* d) {
  VidzoChangedRect r;
  const std::uint64_t limit = std::uint64_t{d->BlocksPerRow} * d->BlockRows + 8;
  std::uint64_t count = 0;
  while (NextChangedRect(d, &r)) {
    Check(++count <= limit);
    Check(r.Width > 0 && r.X + r.Width <= d->PixelWidth && r.Y < d->PixelHeight && r.Height == 4);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const std::uint32_t per_row = data[0] % 64 + 1, block_rows = data[1] % 64 + 1;
  const std::uint8_t form = data[2];
  const unsigned split = data[3];
  std::uint32_t sizes[4];
  std::memcpy(sizes, data + 4, sizeof sizes);
  const std::uint8_t width_extra = data[20] & 3;  // widths that are not a multiple of 4
  data += kHeader;
  size -= kHeader;
  const std::size_t packed_size = size * split / 255;
  std::vector<std::uint8_t> packed(data, data + packed_size);
  std::vector<std::uint8_t> video(data + packed_size, data + size);

  vidzo::TreesAreaBuffer trees(sizes);
  if (!trees.Get()) return 0;
  vidzo::UnpackTrees(packed.data(), packed.size(), *trees.Get(), sizes);

  const std::uint32_t mode = (form & 3) == 1 ? VIDZO_COLOUR_555 : (form & 3) == 2 ? VIDZO_COLOUR_565 : 0;
  const std::uint32_t scaling = (form >> 2) & 3;  // 1 doubled, 2 interlaced
  const bool doubled = scaling == 1, interlaced = scaling == 2, bottom_up = (form & 0x10) != 0;
  auto h = std::make_unique<VidzoHandle>();
  std::memset(static_cast<void*>(h.get()), 0, sizeof(VidzoHandle));
  h->Width = per_row * 4 + width_extra;
  h->Height = block_rows * 4 * (scaling == 1 || scaling == 2 ? 2 : 1);
  h->OpenFlags = doubled ? OPEN_Y_DOUBLE : interlaced ? OPEN_Y_INTERLACE : 0;
  for (std::size_t i = 0; i < sizeof h->Palette; ++i)
    h->Palette[i] = static_cast<std::uint8_t>(i * 37 + form);
  const std::uint32_t b = mode ? 2 : 1;
  const std::uint32_t left = (form >> 5) & 7, top = (form >> 6) & 3;
  const std::uint32_t pitch = (left + h->Width) * b + 3;
  const std::uint32_t rows = top + block_rows * 8 + 2;

  std::vector<std::uint8_t> results[4];
  for (int variant = 0; variant < 4; ++variant) {
    Target t;
    t.offset = 64;
    t.bytes.assign(t.offset * 2 + std::size_t{pitch} * rows, kGuard);
    t.allowed.assign(t.bytes.size(), false);
    const std::uint32_t flags = (bottom_up ? VIDZO_DEST_BOTTOM_UP : 0) | (mode << 24);
    Check(VidzoSetDestination(h.get(), left, top, static_cast<std::int32_t>(pitch), rows,
                              t.bytes.data() + t.offset, flags) == 1);
    VidzoUpdateColour16(h.get());
    MarkPicture(t, *h, doubled, interlaced, bottom_up, b, pitch, rows);
    vidzo::video::ForcePainters(variant & 1 ? vidzo::video::PainterChoice::kVector
                                            : vidzo::video::PainterChoice::kPlain);
    vidzo::SetWideBitReader((variant & 2) != 0);
    VidzoDecodeVideo(video.data(), static_cast<std::uint32_t>(video.size()), trees.Get(), h->OutputDesc);
    WalkChanges(h->OutputDesc);
    if (variant == 3) {
      h->Trees = trees.Get();
      // Up to 256 entries of up to 8 bytes, made from the palette.
      std::vector<std::uint8_t> colours(256 * 8);
      for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = h->Palette[(i * 5 + form) % sizeof h->Palette];
      VidzoRemapPalette(h.get(), colours.data(), 200u + form, form & 0xF);
      VidzoDecodeVideo(video.data(), static_cast<std::uint32_t>(video.size()), trees.Get(), h->OutputDesc);
      h->Trees = nullptr;
    }
    for (std::size_t i = 0; i < t.bytes.size(); ++i) Check(t.allowed[i] || t.bytes[i] == kGuard);
    results[variant] = std::move(t.bytes);
    VidzoSetDestination(h.get(), 0, 0, 0, 0, nullptr, 0);
    Check(h->MemoryInUse == 0);
  }
  vidzo::video::ForcePainters(vidzo::video::PainterChoice::kFollowMmx);
  VidzoSetMMX(1);
  for (int variant = 1; variant < 3; ++variant) Check(results[variant] == results[0]);
  return 0;
}
