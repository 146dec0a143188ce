// RLE8 frames that build on the frame before (skips, line ends, short
// literals, an early end of the frame), in a file of our own making: our
// reader must show what ffmpeg's decoder shows, in order and when frames are
// asked for out of order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

constexpr int kWidth = 12, kHeight = 6;

void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Tag(std::vector<uint8_t>& v, const char* t) {
  v.insert(v.end(), t, t + 4);
}
void Patch(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// An AVI file of RLE8 frames; only the first is a key frame.
std::vector<uint8_t> RleFile(const std::vector<std::vector<uint8_t>>& frames, bool with_index) {
  std::vector<uint8_t> f;
  Tag(f, "RIFF");
  Put32(f, 0);
  Tag(f, "AVI ");
  Tag(f, "LIST");
  size_t hdrl = f.size();
  Put32(f, 0);
  Tag(f, "hdrl");
  Tag(f, "avih");
  Put32(f, 56);
  Put32(f, 100000);
  for (int i = 0; i < 3; ++i) Put32(f, 0);
  Put32(f, static_cast<uint32_t>(frames.size()));
  Put32(f, 0);
  Put32(f, 1);
  Put32(f, 0);
  Put32(f, kWidth);
  Put32(f, kHeight);
  for (int i = 0; i < 4; ++i) Put32(f, 0);
  Tag(f, "LIST");
  size_t strl = f.size();
  Put32(f, 0);
  Tag(f, "strl");
  Tag(f, "strh");
  Put32(f, 56);
  Tag(f, "vids");
  Tag(f, "mrle");
  for (int i = 0; i < 3; ++i) Put32(f, 0);
  Put32(f, 1);   // scale
  Put32(f, 10);  // rate
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(frames.size()));
  for (int i = 0; i < 3; ++i) Put32(f, 0);
  for (int i = 0; i < 4; ++i) Put16(f, 0);
  Tag(f, "strf");
  Put32(f, 40 + 1024);
  Put32(f, 40);
  Put32(f, kWidth);
  Put32(f, kHeight);
  Put16(f, 1);
  Put16(f, 8);
  Put32(f, 1);  // RLE8
  for (int i = 0; i < 3; ++i) Put32(f, 0);
  Put32(f, 256);
  Put32(f, 0);
  for (int i = 0; i < 256; ++i) {
    f.push_back(static_cast<uint8_t>(i * 7));
    f.push_back(static_cast<uint8_t>(255 - i));
    f.push_back(static_cast<uint8_t>(i));
    f.push_back(0);
  }
  Patch(f, strl, static_cast<uint32_t>(f.size() - strl - 4));
  Patch(f, hdrl, static_cast<uint32_t>(f.size() - hdrl - 4));
  Tag(f, "LIST");
  size_t movi = f.size();
  Put32(f, 0);
  Tag(f, "movi");
  std::vector<uint8_t> index;
  for (size_t i = 0; i < frames.size(); ++i) {
    Tag(index, "00dc");
    Put32(index, i == 0 ? 0x10 : 0);
    Put32(index, static_cast<uint32_t>(f.size() - (movi + 4)));
    Put32(index, static_cast<uint32_t>(frames[i].size()));
    Tag(f, "00dc");
    Put32(f, static_cast<uint32_t>(frames[i].size()));
    f.insert(f.end(), frames[i].begin(), frames[i].end());
    if (frames[i].size() & 1) f.push_back(0);
  }
  Patch(f, movi, static_cast<uint32_t>(f.size() - movi - 4));
  if (with_index) {
    Tag(f, "idx1");
    Put32(f, static_cast<uint32_t>(index.size()));
    f.insert(f.end(), index.begin(), index.end());
  }
  Patch(f, 4, static_cast<uint32_t>(f.size() - 8));
  return f;
}

std::vector<uint8_t> FrameRgb(const avifile::Frame& f) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const uint8_t* c = f.palette + f.pixels[static_cast<size_t>(f.height - 1 - y) * f.pitch + x] * 4;
      rgb.insert(rgb.end(), {c[2], c[1], c[0]});
    }
  return rgb;
}

TEST(RleDeltaFrames, ReadAsFfmpegDecodesThem) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("ffmpeg")) << "ffmpeg is a test dependency (scripts/install-deps.sh)";
  std::vector<std::vector<uint8_t>> frames;
  // Frame 0: every line a run and a literal, then the end of the frame.
  std::vector<uint8_t> key;
  for (int y = 0; y < kHeight; ++y) {
    key.insert(key.end(), {6, static_cast<uint8_t>(10 + y), 0, 6, 1, 2, 3, 4, 5, static_cast<uint8_t>(y)});
    key.insert(key.end(), {0, 0});
  }
  key.insert(key.end(), {0, 1});
  frames.push_back(key);
  // Frame 1: skip to (3, 2), a run of 4, the end of the frame.
  frames.push_back({0, 2, 3, 2, 4, 200, 0, 1});
  // Frame 2: two lines ended at once, a literal of three (padded), then skip
  // right by 5 and up by 1, a run, and no end code at all.
  frames.push_back({0, 0, 0, 0, 0, 3, 77, 78, 79, 0, 0, 2, 5, 1, 2, 99});
  // Frame 3: nothing changes.
  frames.push_back({0, 1});
  vidzoer_test::TempDir dir;
  for (bool with_index : {true, false}) {
    const std::string name = dir.File(with_index ? "rle.avi" : "rle_noindex.avi");
    vidzoer_test::WriteBytes(name, RleFile(frames, with_index));
    ASSERT_TRUE(vidzoer_test::RunShell("ffmpeg -v error -nostdin -y -i " + vidzoer_test::Quote(name) +
                                           " -f rawvideo -pix_fmt rgb24 " +
                                           vidzoer_test::Quote(dir.File("ref.rgb")),
                                       dir.File("err.txt")));
    auto reference = vidzoer_test::ReadBytes(dir.File("ref.rgb"));
    const size_t frame_bytes = kWidth * kHeight * 3;
    ASSERT_EQ(reference.size(), frame_bytes * frames.size());
    std::string error;
    auto r = avifile::Reader::Open(name.c_str(), &error);
    ASSERT_NE(r, nullptr) << error;
    for (uint32_t i : {0u, 1u, 2u, 3u, 2u, 1u, 3u}) {
      avifile::Frame f;
      ASSERT_TRUE(r->ReadFrame(i, &f));
      EXPECT_EQ(FrameRgb(f), std::vector<uint8_t>(reference.begin() + i * frame_bytes,
                                                  reference.begin() + (i + 1) * frame_bytes))
          << "frame " << i << (with_index ? "" : " without index");
    }
  }
}

}  // namespace
