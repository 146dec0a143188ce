// The rectangle walk over the change map: hand-made maps with known answers,
// and random maps whose rectangles must cover exactly the changed groups.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "video_model.h"

namespace {

using video_test::Destination;
using video_test::Form;
using video_test::Picture;

struct Rect {
  uint32_t x, y, w, h;
  bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.x << "," << r.y << " " << r.w << "x" << r.h << ")";
}

// Sets the map of a width x height picture and walks it from the start.
std::vector<Rect> Walk(uint32_t width, uint32_t height, const std::vector<uint8_t>& bytes) {
  Picture picture(width, height);
  Destination dest(picture, Form{});
  VidzoOutputDesc* d = dest.desc();
  uint8_t* map = VidzoChangeMap(d);
  std::fill(map, map + d->MapBytes, 0);
  std::copy(bytes.begin(), bytes.end(), map);
  d->Finished = d->Started = d->Continuing = 0;
  std::vector<Rect> out;
  VidzoChangedRect r;
  for (int guard = 0; guard < 100000 && NextChangedRect(d, &r); ++guard)
    out.push_back({r.X, r.Y, r.Width, r.Height});
  EXPECT_EQ(NextChangedRect(d, &r), 0) << "the walk stays finished";
  return out;
}

TEST(ChangedRects, GroupsEndingAtTheEdgeLeaveNoContinuation) {
  // 320 pixels: five groups a row, each ending on a 64-pixel boundary.
  EXPECT_EQ(Walk(320, 8, {1, 1, 0, 0, 1, 0, 0, 0, 0, 1}),
            (std::vector<Rect>{{0, 0, 128, 4}, {256, 0, 64, 4}, {256, 4, 64, 4}}));
  EXPECT_EQ(Walk(320, 8, {1, 1, 1, 1, 1, 1}), (std::vector<Rect>{{0, 0, 320, 4}, {0, 4, 64, 4}}));
}

TEST(ChangedRects, GroupsCrossingTheRightEdgeContinue) {
  // 96 pixels: group 1 is x 64..95 of row 0 and x 0..31 of row 1.
  EXPECT_EQ(Walk(96, 12, {0, 1}), (std::vector<Rect>{{64, 0, 32, 4}, {0, 4, 32, 4}}));
  // The continuation takes in the next group and those after it.
  EXPECT_EQ(Walk(96, 12, {0, 1, 1, 1}), (std::vector<Rect>{{64, 0, 32, 4}, {0, 4, 96, 4}, {0, 8, 64, 4}}));
  // A zero group followed by a changed one is bridged after a continuation.
  EXPECT_EQ(Walk(96, 12, {0, 1, 0, 1}), (std::vector<Rect>{{64, 0, 32, 4}, {0, 4, 96, 4}, {0, 8, 64, 4}}));
  // Two zero groups are not.
  EXPECT_EQ(Walk(96, 16, {0, 1, 0, 0, 1}),
            (std::vector<Rect>{{64, 0, 32, 4}, {0, 4, 32, 4}, {64, 8, 32, 4}, {0, 12, 32, 4}}));
}

TEST(ChangedRects, GroupsWiderThanTheRowFillWholeRows) {
  // 20 pixels: a group covers 3.2 rows.
  EXPECT_EQ(Walk(20, 24, {1}),
            (std::vector<Rect>{{0, 0, 20, 4}, {0, 4, 20, 4}, {0, 8, 20, 4}, {0, 12, 4, 4}}));
  // 32 pixels: a group is exactly two rows; the second starts clean.
  EXPECT_EQ(Walk(32, 16, {1, 0}), (std::vector<Rect>{{0, 0, 32, 4}, {0, 4, 32, 4}}));
  // Nothing is reported below the picture.
  EXPECT_EQ(Walk(20, 8, {1}), (std::vector<Rect>{{0, 0, 20, 4}, {0, 4, 20, 4}}));
}

TEST(ChangedRects, EmptyMapsAndEmptyPictures) {
  EXPECT_TRUE(Walk(320, 200, {}).empty());
  EXPECT_TRUE(Walk(0, 16, {1}).empty());
  EXPECT_TRUE(Walk(16, 0, {1}).empty());
  VidzoChangedRect r;
  EXPECT_EQ(NextChangedRect(nullptr, &r), 0);
}

TEST(ChangedRects, StaleBytesBeyondThePictureAreIgnored) {
  // 64 x 4: one group; a nonzero byte beyond it must not add anything.
  EXPECT_EQ(Walk(64, 4, {1, 1, 1}), (std::vector<Rect>{{0, 0, 64, 4}}));
  EXPECT_EQ(Walk(96, 4, {0, 0, 1, 1}), (std::vector<Rect>{}));
}

TEST(ChangedRects, RandomMapsAreCoveredExactly) {
  std::mt19937 rng(8);
  for (int round = 0; round < 300; ++round) {
    const uint32_t width = 4 * std::uniform_int_distribution<uint32_t>(1, 100)(rng);
    const uint32_t height = 4 * std::uniform_int_distribution<uint32_t>(1, 30)(rng);
    const uint32_t per_row = width / 4;
    const uint64_t blocks = uint64_t{per_row} * (height / 4);
    const size_t groups = (blocks + 15) / 16;
    std::vector<uint8_t> map(groups);
    const uint32_t density = std::uniform_int_distribution<uint32_t>(1, 9)(rng);
    for (auto& b : map) b = std::uniform_int_distribution<uint32_t>(0, 9)(rng) < density ? 1 : 0;
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));

    std::vector<int> covered(blocks, 0);
    uint32_t last_y = 0;
    for (const Rect& r : Walk(width, height, map)) {
      ASSERT_EQ(r.h, 4u);
      ASSERT_EQ(r.x % 4, 0u);
      ASSERT_EQ(r.w % 4, 0u);
      ASSERT_GT(r.w, 0u);
      ASSERT_LE(r.x + r.w, width);
      ASSERT_LT(r.y, height);
      ASSERT_GE(r.y, last_y) << "top to bottom";
      last_y = r.y;
      for (uint32_t x = r.x; x < r.x + r.w; x += 4) ++covered[(r.y / 4) * per_row + x / 4];
    }
    for (uint64_t b = 0; b < blocks; ++b) {
      const size_t g = b / 16;
      ASSERT_LE(covered[b], 1) << "block " << b << " reported twice";
      if (map[g]) {
        ASSERT_EQ(covered[b], 1) << "changed block " << b << " not reported";
      } else if (covered[b]) {
        // Only a zero group between two changed ones is ever bridged.
        ASSERT_TRUE(g > 0 && g + 1 < groups && map[g - 1] && map[g + 1]) << "unchanged block " << b;
      }
    }
  }
}

}  // namespace
