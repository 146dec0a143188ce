// The output descriptor's life (attach, reuse, replace, detach, refusal) with
// its tracked memory, its fields, and the 16-bit colour table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "video_model.h"

namespace {

struct Handle {
  Handle(uint32_t width, uint32_t height, uint32_t open_flags = 0) : h(std::make_unique<VidzoHandle>()) {
    std::memset(static_cast<void*>(h.get()), 0, sizeof(VidzoHandle));
    h->Width = width;
    h->Height = height;
    h->OpenFlags = open_flags;
  }
  ~Handle() { VidzoSetDestination(h.get(), 0, 0, 0, 0, nullptr, 0); }
  std::unique_ptr<VidzoHandle> h;
};

TEST(Destination, AttachReuseReplaceDetachKeepMemoryCounted) {
  Handle hd(320, 200);
  VidzoHandle* h = hd.h.get();
  std::vector<uint8_t> buffer(640 * 480 * 2);
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 640, 480, buffer.data(), 0), 1);
  VidzoOutputDesc* first = h->OutputDesc;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(h->MemoryInUse, h->OutputDescSize);
  EXPECT_GE(h->OutputDescSize, sizeof(VidzoOutputDesc) + ChangeMapSize(320, 200));
  EXPECT_EQ(h->Colour16Table, nullptr);

  // Same needs: the descriptor is reused in place.
  ASSERT_EQ(VidzoSetDestination(h, 8, 4, 640, 480, buffer.data(), VIDZO_DEST_BOTTOM_UP), 1);
  EXPECT_EQ(h->OutputDesc, first);
  EXPECT_EQ(h->DestX, 8u);
  EXPECT_EQ(h->DestY, 4u);

  // 16-bit output needs room for the colour table: a new, larger one.
  const uint32_t small = h->OutputDescSize;
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 1280, 480, buffer.data(), VIDZO_DEST_565), 1);
  EXPECT_EQ(h->OutputDescSize, small + 512);
  EXPECT_EQ(h->MemoryInUse, h->OutputDescSize);
  EXPECT_GE(h->MemoryPeak, small + h->OutputDescSize);
  ASSERT_NE(h->Colour16Table, nullptr);
  EXPECT_EQ(h->OutputDesc->Colour16, h->Colour16Table);
  EXPECT_EQ(h->PaletteDirty, 1u) << "a fresh table must be built";

  // Back to 8-bit: the larger descriptor serves, without a table.
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 640, 480, buffer.data(), 0), 1);
  EXPECT_EQ(h->Colour16Table, nullptr);
  EXPECT_EQ(h->OutputDesc->Colour16, nullptr);

  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 640, 480, nullptr, 0), 0);
  EXPECT_EQ(h->OutputDesc, nullptr);
  EXPECT_EQ(h->OutputDescSize, 0u);
  EXPECT_EQ(h->MemoryInUse, 0u);
  EXPECT_EQ(VidzoSetDestination(nullptr, 0, 0, 640, 480, buffer.data(), 0), 0);
}

TEST(Destination, TheColourTableMovesWithAReplacement) {
  Handle small(64, 32);
  VidzoHandle* h = small.h.get();
  std::vector<uint8_t> buffer(1024 * 1024);
  std::mt19937 rng(3);
  for (auto& c : h->Palette) c = static_cast<uint8_t>(rng());
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 256, 64, buffer.data(), VIDZO_DEST_555), 1);
  VidzoUpdateColour16(h);
  EXPECT_EQ(h->PaletteDirty, 0u);
  const auto want = video_test::Colour16Of(h->Palette, VIDZO_COLOUR_555);
  ASSERT_EQ(std::memcmp(h->Colour16Table, want.data(), 512), 0);
  // A taller picture needs a larger map, so a new descriptor; the table
  // comes along and needs no rebuild.
  h->Height = 512;
  ASSERT_EQ(VidzoSetDestination(h, 0, 0, 256, 1024, buffer.data(), VIDZO_DEST_555), 1);
  EXPECT_EQ(h->PaletteDirty, 0u);
  EXPECT_EQ(std::memcmp(h->Colour16Table, want.data(), 512), 0);
  EXPECT_EQ(h->MemoryInUse, h->OutputDescSize);
}

TEST(Destination, RequestsTheDecoderCannotHonourDetach) {
  Handle hd(64, 32);
  VidzoHandle* h = hd.h.get();
  std::vector<uint8_t> buffer(128 * 64 * 2);
  auto attach = [&] { ASSERT_EQ(VidzoSetDestination(h, 0, 0, 128, 64, buffer.data(), 0), 1); };
  auto refused = [&](uint32_t left, uint32_t top, int32_t pitch, uint32_t height, uint32_t flags) {
    attach();
    EXPECT_EQ(VidzoSetDestination(h, left, top, pitch, height, buffer.data(), flags), 0);
    EXPECT_EQ(h->OutputDesc, nullptr);
    EXPECT_EQ(h->MemoryInUse, 0u);
  };
  refused(0, 0, 128, 64, 0x40000000u);            // no such colour mode
  refused(0, 0, 0, 64, 0);                        // no pitch
  refused(0, 0, -128, 64, 0);                     // negative pitch
  refused(65, 0, 128, 64, 0);                     // too far right
  refused(0, 0, 127, 64, VIDZO_DEST_555);         // 16-bit rows do not fit
  refused(0, 33, 128, 64, 0);                     // too far down
  refused(0, 33, 128, 64, VIDZO_DEST_BOTTOM_UP);  // too far up
  refused(0, 64, 128, 64, 0);
  // Exactly fitting placements are accepted.
  EXPECT_EQ(VidzoSetDestination(h, 64, 32, 128, 64, buffer.data(), VIDZO_DEST_BOTTOM_UP), 1);
  EXPECT_EQ(VidzoSetDestination(h, 64, 32, 256, 64, buffer.data(), VIDZO_DEST_555), 1);
}

TEST(Destination, DescriptorFields) {
  // Doubled: 320 x 100 stored, R = 8; 16-bit; bottom-up at (2, 3).
  Handle hd(320, 200, OPEN_Y_DOUBLE);
  VidzoHandle* h = hd.h.get();
  const int32_t pitch = 700;
  std::vector<uint8_t> buffer(size_t{pitch} * 210);
  ASSERT_EQ(VidzoSetDestination(h, 2, 3, pitch, 210, buffer.data(), VIDZO_DEST_565 | VIDZO_DEST_BOTTOM_UP),
            1);
  const VidzoOutputDesc* d = h->OutputDesc;
  EXPECT_EQ(d->Kind, 1);
  EXPECT_EQ(d->Doubled, 1);
  EXPECT_EQ(d->ColourMode, 0xC0);
  EXPECT_EQ(d->FirstPixel, buffer.data() + (210 - 3 - 1) * pitch + 2 * 2);
  EXPECT_EQ(d->BlocksPerRow, 80u);
  EXPECT_EQ(d->BlockRows, 25u);
  EXPECT_EQ(d->Pitch, -pitch);
  EXPECT_EQ(d->BlockStep, -(7 * pitch + 8));
  EXPECT_EQ(d->SpanStep, -7 * pitch);
  EXPECT_EQ(d->RowStep, -8 * pitch - 640);
  EXPECT_EQ(d->MapBytes, ChangeMapSize(320, 100));

  // Interlaced: stored height halved, pitch doubled, R = 4; top-down 8-bit.
  Handle hi(320, 200, OPEN_Y_INTERLACE);
  ASSERT_EQ(VidzoSetDestination(hi.h.get(), 0, 1, 320, 201, buffer.data(), 0), 1);
  d = hi.h->OutputDesc;
  EXPECT_EQ(d->Doubled, 0);
  EXPECT_EQ(d->FirstPixel, buffer.data() + 320);
  EXPECT_EQ(d->BlockRows, 25u);
  EXPECT_EQ(d->Pitch, 640);
  EXPECT_EQ(d->BlockStep, 3 * 640 - 4);
  EXPECT_EQ(d->SpanStep, 3 * 640);
  EXPECT_EQ(d->RowStep, 4 * 640 - 320);
}

TEST(Colour16, TableFormsAndSizes) {
  // The decoding round trips hold the whole table to the formula; here the
  // extremes and a colour with a partly kept blue.
  uint8_t palette[768] = {255, 255, 255, 255, 0, 130};
  uint16_t table[256];
  BuildColour16Table(table, palette, VIDZO_COLOUR_555);
  EXPECT_EQ(table[0], 0x7FFF);
  EXPECT_EQ(table[1], (31 << 10) | 16);
  EXPECT_EQ(table[2], 0);
  BuildColour16Table(table, palette, VIDZO_COLOUR_565);
  EXPECT_EQ(table[0], 0xFFFF);
  EXPECT_EQ(table[1], (31 << 11) | 16);

  EXPECT_EQ(ChangeMapSize(320, 200), 250u + 32u);
  EXPECT_EQ(ChangeMapSize(0, 0), 32u);
  EXPECT_EQ(ChangeMapSize(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

}  // namespace
