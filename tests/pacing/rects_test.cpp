// The changed rectangles against a brute-force model: the output buffer is
// compared byte by byte before and after each frame, and the rectangles of
// each mode must cover every changed byte, stay inside the picture and copy
// no more area outside the changed runs than the 5/4 budget (plus the
// 8-pixel widening) allows. Crafted change maps check the budget split, the alignment on odd
// placements and the merging of touching rectangles exactly.
#include <algorithm>
#include <cstring>

#include "pacing_fixture.h"
#include "playback/video.h"

namespace pacing_test {
namespace {

using vidzoer_test::DirtyRect;
using vidzoer_test::LoopFrame;
using vidzoer_test::LoopOptions;
using vidzoer_test::PlayLoop;
using vidzotools::AnimationFrame;

bool Inside(const DirtyRect& r, uint32_t x, uint32_t y) {
  return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
}

// The changed runs of the frame just decoded, as the change map gives them
// (walked on a copy of the descriptor, so the handle's own walk is left as
// it is), marked in an output-sized map.
std::vector<bool> RunPixels(const VidzoHandle* h, const Screen& screen, uint32_t scale) {
  std::vector<bool> marked(screen.pixels.size(), false);
  if (h->OutputDesc == nullptr) return marked;
  std::vector<uint64_t> copy((h->OutputDescSize + 7) / 8);
  std::memcpy(copy.data(), h->OutputDesc, h->OutputDescSize);
  auto* desc = reinterpret_cast<VidzoOutputDesc*>(copy.data());
  VidzoChangedRect run;
  while (NextChangedRect(desc, &run)) {
    for (uint32_t y = run.Y * scale; y < (run.Y + run.Height) * scale; ++y)
      for (uint32_t x = run.X; x < run.X + run.Width; ++x)
        marked[size_t{screen.top + y} * screen.pitch + screen.left + x] = true;
  }
  return marked;
}

struct Case {
  uint32_t w, h, left, top, seed;
  uint32_t flags = OPEN_PRELOAD;
};

// Plays the animation twice round in `mode` and checks every frame's
// rectangles against the bytes that changed.
void CheckRects(VidzoHandle* h, Screen& screen, const std::vector<AnimationFrame>& frames, uint32_t mode) {
  const uint32_t scale = (h->OpenFlags & (OPEN_Y_INTERLACE | OPEN_Y_DOUBLE)) ? 2 : 1;
  const uint32_t w = h->Width, rows = h->Height / scale;
  std::vector<uint8_t> before = screen.pixels;
  std::vector<bool> marked;
  uint32_t checked = 0;
  LoopOptions o;
  o.decoded = [&](const LoopFrame&) { marked = RunPixels(h, screen, scale); };
  o.rect_mode = mode;
  o.frames = 2 * static_cast<uint32_t>(frames.size());
  o.shown = [&](const LoopFrame& f) {
    SCOPED_TRACE(testing::Message() << "frame " << f.index << " mode " << mode);
    const std::vector<uint8_t>& after = screen.pixels;
    // The picture decoded as encoded.
    for (uint32_t y = 0; y < rows; ++y)
      ASSERT_EQ(0, std::memcmp(&after[size_t{screen.top + y * scale} * screen.pitch + screen.left],
                               &frames[f.index].pixels[size_t{y} * w], w));
    bool changed = false;
    for (uint32_t y = 0; y < screen.rows; ++y) {
      for (uint32_t x = 0; x < screen.pitch; ++x) {
        const size_t i = size_t{y} * screen.pitch + x;
        if (after[i] == before[i]) continue;
        changed = true;
        if (mode == VIDZO_RECTS_NONE) continue;
        ASSERT_TRUE(
            std::any_of(f.rects.begin(), f.rects.end(), [&](const DirtyRect& r) { return Inside(r, x, y); }))
            << "changed pixel " << x << "," << y << " not covered";
      }
    }
    before = after;
    ++checked;
    if (mode == VIDZO_RECTS_NONE) {
      EXPECT_TRUE(f.rects.empty());
      return;
    }
    const bool any_marked = std::find(marked.begin(), marked.end(), true) != marked.end();
    std::vector<DirtyRect> real = f.rects;
    if (mode == VIDZO_RECTS_EMPTY_END && any_marked) {
      ASSERT_FALSE(real.empty());
      EXPECT_EQ(real.back(), DirtyRect{}) << "the empty rectangle ends the list";
      real.pop_back();
    }
    if (!any_marked) {
      EXPECT_FALSE(changed);
      EXPECT_TRUE(f.rects.empty()) << "no change, no palette: no rectangle";
      return;
    }
    if (mode == VIDZO_RECTS_BOUNDING) {
      EXPECT_EQ(real.size(), 1u);
    }
    EXPECT_LE(real.size(), 64u);
    for (const DirtyRect& r : real) {
      EXPECT_GT(r.width, 0u);
      EXPECT_GT(r.height, 0u);
      EXPECT_GE(r.left, screen.left);
      EXPECT_GE(r.top, screen.top);
      EXPECT_LE(r.left + r.width, screen.left + w);
      EXPECT_LE(r.top + r.height, screen.top + rows * scale);
      // 8-pixel boundaries of the buffer unless that would reach left of the
      // picture.
      if (r.left % 8 != 0) {
        EXPECT_LT(r.left - r.left % 8, screen.left + 1) << r.left;
      }
      if (mode == VIDZO_RECTS_BOUNDING) continue;
      uint64_t inside = 0;
      for (uint32_t y = r.top; y < r.top + r.height; ++y)
        for (uint32_t x = r.left; x < r.left + r.width; ++x) inside += marked[size_t{y} * screen.pitch + x];
      // The budget: the box of the runs is at most 5/4 of their area; the
      // widening adds less than 8 pixels on each side of each merged part.
      EXPECT_LE(uint64_t{r.width} * r.height, inside * 5 / 4 + 28ull * r.height)
          << "rect " << r.left << "," << r.top << " " << r.width << "x" << r.height;
    }
  };
  o.idle = [] { PacingTest::Tick(); };
  const auto result = PlayLoop(h, o);
  EXPECT_FALSE(result.gave_up);
  EXPECT_GT(checked, frames.size() / 2);
}

class RectModel : public PacingTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(RectModel, RectanglesCoverEveryChangedPixelWithinTheBudget) {
  const uint32_t mode = GetParam();
  for (const Case& c :
       {Case{72, 20, 3, 2, 21}, Case{36, 8, 0, 0, 22}, Case{100, 24, 5, 1, 23}, Case{160, 40, 8, 4, 24},
        Case{132, 12, 1, 0, 25}, Case{64, 16, 7, 3, 26, OPEN_PRELOAD | OPEN_Y_DOUBLE},
        Case{40, 16, 2, 0, 27, OPEN_PRELOAD | OPEN_Y_INTERLACE}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.left << "," << c.top);
    const auto frames = RandomAnimation(c.w, c.h, 16, c.seed);
    VidzoHandle* h = Open(Encode(c.w, c.h, frames, 0), c.flags);
    ASSERT_NE(h, nullptr);
    Screen screen;
    Attach(h, screen, c.left, c.top, 9);
    CheckRects(h, screen, frames, mode);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RectModel,
                         testing::Values(VIDZO_RECTS_BUDGET, VIDZO_RECTS_BOUNDING, VIDZO_RECTS_NONE,
                                         VIDZO_RECTS_EMPTY_END));

// Four frames: a picture, a change, the same picture with a new palette, the
// same picture again.
std::vector<AnimationFrame> PaletteOnly() {
  auto frames = RandomAnimation(32, 8, 2, 31);
  frames.push_back(frames[1]);
  for (size_t i = 0; i < 48; ++i) frames[2].palette[i] = vidzotools::ExpandComponent(static_cast<uint8_t>(i));
  frames.push_back(frames[2]);
  frames[1].pixels[5] ^= 1;  // frame 1 changes one pixel
  frames[2].pixels = frames[3].pixels = frames[1].pixels;
  return frames;
}

TEST_F(PacingTest, PaletteOnlyFrameGivesOneEmptyRectangleAndAnUnchangedFrameNone) {
  for (uint32_t mode : {VIDZO_RECTS_BUDGET, VIDZO_RECTS_BOUNDING, VIDZO_RECTS_EMPTY_END}) {
    SCOPED_TRACE(mode);
    VidzoHandle* h = Open(Encode(32, 8, PaletteOnly(), 0), OPEN_PRELOAD);
    ASSERT_NE(h, nullptr);
    Screen screen;
    Attach(h, screen, 1, 1);
    LoopOptions o;
    o.rect_mode = mode;
    o.frames = 4;
    const auto r = PlayLoop(h, o);
    ASSERT_EQ(r.frames.size(), 4u);
    EXPECT_FALSE(r.frames[1].rects.empty());
    EXPECT_EQ(r.frames[2].rects, std::vector<DirtyRect>{DirtyRect{}}) << "palette only";
    EXPECT_TRUE(r.frames[3].rects.empty()) << "nothing changed";
    EXPECT_EQ(h->LastPaletteFrame, 2);
  }
}

// A handle with an attached 8-bit output whose change map the test writes;
// the rectangles are then walked as after a decoded frame.
class CraftedMap : public PacingTest {
 protected:
  VidzoHandle* Make(uint32_t w, uint32_t h, uint32_t left, uint32_t flags = OPEN_PRELOAD) {
    VidzoHandle* handle = Open(Encode(w, h, RandomAnimation(w, h, 1, 40), 0), flags);
    if (handle == nullptr) return nullptr;
    Attach(handle, screen_, left, 0);
    return handle;
  }
  // Marks the groups listed (16 blocks each, raster order) as changed.
  std::vector<DirtyRect> Walk(VidzoHandle* h, const std::vector<uint32_t>& groups, uint32_t mode) {
    VidzoDecodeFrame(h);  // RectState 1, iterator cleared
    uint8_t* map = VidzoChangeMap(h->OutputDesc);
    std::memset(map, 0, h->OutputDesc->MapBytes);
    for (uint32_t g : groups) map[g] = 1;
    h->PaletteChanged = 0;
    std::vector<DirtyRect> rects;
    while (VidzoNextDirtyRect(h, mode) && rects.size() < 100)
      rects.push_back({h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight});
    return rects;
  }
  Screen screen_;
};

TEST_F(CraftedMap, BudgetSplitsWhereTheBoxWouldCopyTooMuch) {
  VidzoHandle* h = Make(128, 16, 0);  // two groups per block row
  ASSERT_NE(h, nullptr);
  // Row 0 left half, row 1 whole: the box of both is 1024 pixels against a
  // budget of 320 + 640.
  EXPECT_EQ(Walk(h, {0, 2, 3}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{0, 0, 64, 4}, {0, 4, 128, 4}}));
  // Row 0 whole and row 1 left half: 1024 against 640 + 320 as well.
  EXPECT_EQ(Walk(h, {0, 1, 2}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{0, 0, 128, 4}, {0, 4, 64, 4}}));
  // Left halves of three rows: one box exactly as large as the runs.
  EXPECT_EQ(Walk(h, {0, 2, 4}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{0, 0, 64, 12}}));
  // A diagonal: 64 + 64 wide, 8 high = 1024 against 640: split.
  EXPECT_EQ(Walk(h, {0, 3}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{0, 0, 64, 4}, {64, 4, 64, 4}}));
  // The bounding mode takes them all; mode 3 adds the empty rectangle.
  EXPECT_EQ(Walk(h, {0, 3, 6}, VIDZO_RECTS_BOUNDING), (std::vector<DirtyRect>{{0, 0, 128, 16}}));
  EXPECT_EQ(Walk(h, {0, 3}, VIDZO_RECTS_EMPTY_END),
            (std::vector<DirtyRect>{{0, 0, 64, 4}, {64, 4, 64, 4}, {0, 0, 0, 0}}));
  EXPECT_TRUE(Walk(h, {}, VIDZO_RECTS_EMPTY_END).empty());
  EXPECT_TRUE(Walk(h, {0, 1}, VIDZO_RECTS_NONE).empty());
}

TEST_F(CraftedMap, MoreThanFourRectanglesComeOutInOrder) {
  VidzoHandle* h = Make(128, 24, 0);
  ASSERT_NE(h, nullptr);
  // A zigzag of six runs: no two fit one budget, so six rectangles, built
  // at most four ahead.
  EXPECT_EQ(
      Walk(h, {0, 3, 4, 7, 8, 11}, VIDZO_RECTS_BUDGET),
      (std::vector<DirtyRect>{
          {0, 0, 64, 4}, {64, 4, 64, 4}, {0, 8, 64, 4}, {64, 12, 64, 4}, {0, 16, 64, 4}, {64, 20, 64, 4}}));
}

TEST_F(CraftedMap, LeftEdgeMovesToEightPixelBoundaryInsideThePicture) {
  // 36 wide: nine blocks a row, so group 1 is the last two blocks of block
  // row 1 (x 28 to 35), and group 0 ends at x 28 of that row.
  struct Want {
    uint32_t left;
    DirtyRect rect;
  };
  for (const Want& want : {Want{0, {24, 4, 12, 4}}, Want{3, {24, 4, 15, 4}}, Want{5, {32, 4, 9, 4}},
                           Want{8, {32, 4, 12, 4}}, Want{28, {56, 4, 8, 4}}}) {
    SCOPED_TRACE(want.left);
    VidzoHandle* h = Make(36, 8, want.left);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Walk(h, {1}, VIDZO_RECTS_BUDGET), std::vector<DirtyRect>{want.rect});
  }
  // Group 0 alone: row 0 whole and the first 28 pixels of row 1. At x 3 the
  // left edge stays (moving it would leave the picture); the width is not
  // raised to 40 since that passes the picture's right edge.
  VidzoHandle* h = Make(36, 8, 3);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Walk(h, {0}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{3, 0, 36, 8}}));
  // Bounding mode: the same rule.
  EXPECT_EQ(Walk(h, {1}, VIDZO_RECTS_BOUNDING), (std::vector<DirtyRect>{{24, 4, 15, 4}}));
}

TEST_F(CraftedMap, WidthRaisedToEightPixelsWhereThePictureAllows) {
  // 100 wide: group 1 covers x 64 to 99 of block row 0 and x 0 to 27 of row
  // 1. The rows come out as two rectangles (the box would be 800 against
  // 180 + 140); the second, 28 wide, is raised to 32.
  VidzoHandle* h = Make(100, 8, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Walk(h, {1}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{64, 0, 36, 4}, {0, 4, 32, 4}}));
}

TEST_F(CraftedMap, DoubledHeightDoublesTheRows) {
  VidzoHandle* h = Make(128, 16, 0, OPEN_PRELOAD | OPEN_Y_DOUBLE);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->Height, 32u);
  EXPECT_EQ(Walk(h, {0, 3}, VIDZO_RECTS_BUDGET), (std::vector<DirtyRect>{{0, 0, 64, 8}, {64, 8, 64, 8}}));
}

TEST_F(CraftedMap, TouchingRectanglesMerge) {
  VidzoHandle* h = Make(128, 16, 0);
  ASSERT_NE(h, nullptr);
  auto pending = [&](std::vector<DirtyRect> list) {
    h->RectListWords = static_cast<uint32_t>(list.size() * 4);
    for (size_t i = 0; i < list.size(); ++i) {
      const DirtyRect& r = list[i];
      h->RectList[i][0] = r.left;
      h->RectList[i][1] = r.top;
      h->RectList[i][2] = r.left + r.width;
      h->RectList[i][3] = r.top + r.height;
    }
  };
  // A listed rectangle right above a new one of the same width: one.
  VidzoDecodeFrame(h);
  pending({{0, 0, 64, 4}});
  uint8_t* map = VidzoChangeMap(h->OutputDesc);
  auto mark = [&](std::vector<uint32_t> groups) {
    std::memset(map, 0, h->OutputDesc->MapBytes);
    for (uint32_t g : groups) map[g] = 1;
  };
  mark({2});
  ASSERT_EQ(VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET), 1u);
  EXPECT_EQ((DirtyRect{h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight}),
            (DirtyRect{0, 0, 64, 8}));
  EXPECT_EQ(VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET), 0u);

  // A chain: the new rectangle joins the one above it, which then joins the
  // one beside it.
  VidzoDecodeFrame(h);
  pending({{0, 0, 64, 4}, {64, 0, 64, 8}});
  mark({2});
  ASSERT_EQ(VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET), 1u);
  EXPECT_EQ((DirtyRect{h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight}),
            (DirtyRect{0, 0, 128, 8}));
  EXPECT_EQ(VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET), 0u);

  // Side by side with different heights: no merge.
  VidzoDecodeFrame(h);
  pending({{64, 0, 64, 8}});
  mark({0});
  std::vector<DirtyRect> got;
  while (VidzoNextDirtyRect(h, VIDZO_RECTS_BUDGET))
    got.push_back({h->LastRectLeft, h->LastRectTop, h->LastRectWidth, h->LastRectHeight});
  EXPECT_EQ(got, (std::vector<DirtyRect>{{64, 0, 64, 8}, {0, 0, 64, 4}}));
}

}  // namespace
}  // namespace pacing_test
