// A file whose trees block comes from the prefix-code encoder: open unpacks
// the four trees, and values coded into a frame's video data with the type
// tree are fetched back from VideoData.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "playback/bit_reader.h"
#include "playback/trees.h"
#include "qelutil/qelutil.h"
#include "support/bit_stream.h"
#include "support/temp_dir.h"
#include "vdz_fixture.h"

namespace {

struct HuffDeleter {
  void operator()(Huff* h) const { HuffClose(h); }
};
using HuffPtr = std::unique_ptr<Huff, HuffDeleter>;

TEST(RealTrees, OpenUnpacksTheEncodersTreesAndTheVideoDecodes) {
  std::mt19937 rng(21);
  std::vector<std::vector<uint32_t>> values(4);
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 300; ++i) values[t].push_back((t * 1000 + rng() % (20 + 40 * t)) & 0xFFFF);

  vidzoer_test::QelBitFile block;
  HuffPtr encoders[4];
  vidzotools::VdzTrees trees;
  uint32_t* size_fields[4] = {&trees.mono_map_size, &trees.mono_colour_size, &trees.full_size,
                              &trees.type_size};
  for (int t = 0; t < 4; ++t) {
    encoders[t].reset(HuffOpen(0));
    ASSERT_NE(encoders[t], nullptr);
    HuffSetOutput(encoders[t].get(), block.get());
    HuffInitStats(encoders[t].get());
    for (uint32_t v : values[t]) HuffAddStat(encoders[t].get(), v);
    int32_t size = HuffStartEncode(encoders[t].get());
    ASSERT_GT(size, 0);
    *size_fields[t] = static_cast<uint32_t>(size);
  }
  trees.packed = block.Finish();

  // Frame 1's video data: the type tree's values, coded after fresh lasts.
  vidzoer_test::QelBitFile video;
  HuffSetOutput(encoders[3].get(), video.get());
  HuffInitLasts(encoders[3].get());
  for (uint32_t v : values[3]) HuffEncode(encoders[3].get(), v);

  auto content = vdztest::MakeContent({100}, 3);
  content.trees = trees;
  content.frames[1].video = video.Finish();
  vidzoer_test::TempDir dir;
  vdztest::WriteBytes(dir.File("t.vdz"), vdztest::Build(content));
  VidzoHandle* h = VidzoOpen(dir.File("t.vdz").c_str(), 0, 0xFFFFFFFFu);
  ASSERT_NE(h, nullptr);
  for (int t = 0; t < 4; ++t) EXPECT_GT(h->Trees->control[t].node_count, 0u) << t;
  vdztest::Advance(h);
  vidzo::ResetLasts(*h->Trees);
  vidzo::BitReader32 reader(h->VideoData, h->CurrentFrameSize - h->VideoOffset);
  for (size_t i = 0; i < values[3].size(); ++i)
    ASSERT_EQ(vidzo::FetchValue(reader, *h->Trees, vidzo::kTypeTree), values[3][i]) << i;
  VidzoClose(h);
}

}  // namespace
