// The AVI service against ffmpeg, both ways: files we write (8-bit frames
// with palette changes, RLE8, 24-bit, with PCM sound) decode in ffmpeg to the
// same pixels and sound; files ffmpeg writes (raw 8-bit with palette, 16, 24
// and 32-bit, RLE8 with delta frames, PCM sound) read back through our reader
// with the pixels and sound ffmpeg itself gets from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/avifile/avifile.h"
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using vidzoer_test::Quote;

constexpr int kWidth = 30, kHeight = 14, kFrames = 8;

bool Ffmpeg(const vidzoer_test::TempDir& dir, const std::string& args) {
  return vidzoer_test::RunShell("ffmpeg -v error -nostdin -y " + args, dir.File("ffmpeg_err.txt"));
}

std::string FfmpegErrors(const vidzoer_test::TempDir& dir) {
  auto b = vidzoer_test::ReadBytes(dir.File("ffmpeg_err.txt"));
  return std::string(b.begin(), b.end());
}

// A frame as top-down RGB: through the palette for 8 bits, 5-5-5 widened by
// repeating the top bits, 24 and 32 bits as blue, green, red.
std::vector<uint8_t> FrameRgb(const avifile::Frame& f) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* row = f.pixels.data() + static_cast<size_t>(f.height - 1 - y) * f.pitch;
    for (int x = 0; x < f.width; ++x) {
      if (f.bits == 8) {
        const uint8_t* c = f.palette + row[x] * 4;
        rgb.insert(rgb.end(), {c[2], c[1], c[0]});
      } else if (f.bits == 16) {
        uint32_t v = row[x * 2] | (row[x * 2 + 1] << 8);
        auto wide = [](uint32_t c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
        rgb.insert(rgb.end(), {wide((v >> 10) & 31), wide((v >> 5) & 31), wide(v & 31)});
      } else {
        const uint8_t* c = row + x * (f.bits / 8);
        rgb.insert(rgb.end(), {c[2], c[1], c[0]});
      }
    }
  }
  return rgb;
}

// Frames of a moving pattern in 8 bits, each with its own palette.
struct Clip {
  std::vector<std::vector<uint8_t>> frames;    // bottom-up rows of DibRowBytes
  std::vector<std::vector<uint8_t>> palettes;  // 1024 bytes, blue, green, red, 0
  std::vector<uint8_t> Rgb(int i) const {
    avifile::Frame f;
    f.width = kWidth;
    f.height = kHeight;
    f.bits = 8;
    f.pitch = (kWidth + 3) & ~3;
    f.pixels = frames[i];
    std::copy(palettes[i].begin(), palettes[i].end(), f.palette);
    return FrameRgb(f);
  }
};

Clip MakeClip(uint32_t seed) {
  std::mt19937 rng(seed);
  Clip c;
  const int pitch = (kWidth + 3) & ~3;
  for (int i = 0; i < kFrames; ++i) {
    std::vector<uint8_t> f(static_cast<size_t>(pitch) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        f[static_cast<size_t>(y) * pitch + x] = static_cast<uint8_t>(x < 10 ? (x + i) / 3 : rng() % 40 + y);
    std::vector<uint8_t> p(1024, 0);
    for (int k = 0; k < 256; ++k) {
      p[k * 4] = static_cast<uint8_t>(k * 3);
      p[k * 4 + 1] = static_cast<uint8_t>(i < 4 ? k : 255 - k);  // the palette changes at frame 4
      p[k * 4 + 2] = static_cast<uint8_t>(k * 5);
    }
    c.frames.push_back(f);
    c.palettes.push_back(p);
  }
  return c;
}

struct OursCase {
  const char* what;
  int bits;
  avifile::Coding coding;
  bool audio;
};

class OurAviInFfmpeg : public ::testing::TestWithParam<OursCase> {};

TEST_P(OurAviInFfmpeg, DecodesToTheSamePixelsAndSound) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("ffmpeg")) << "ffmpeg is a test dependency (scripts/install-deps.sh)";
  const OursCase c = GetParam();
  vidzoer_test::TempDir dir;
  Clip clip = MakeClip(3);
  avifile::WriterOptions o;
  o.width = kWidth;
  o.height = kHeight;
  o.bits = c.bits;
  o.coding = c.coding;
  o.rate = 15;
  o.scale = 1;
  o.audio = c.audio;
  o.channels = 2;
  o.sample_rate = 22050;
  o.sample_bits = 16;
  std::string error;
  auto w = avifile::Writer::Create(dir.File("o.avi").c_str(), o, &error);
  ASSERT_NE(w, nullptr) << error;
  std::vector<uint8_t> sound;
  std::mt19937 rng(1);
  for (int i = 0; i < kFrames; ++i) {
    if (c.bits == 8) {
      ASSERT_TRUE(w->WriteFrame(clip.frames[i].data(), clip.palettes[i].data()));
    } else {
      // The same picture in 24 bits.
      auto rgb = clip.Rgb(i);
      const size_t pitch = (kWidth * 3 + 3) & ~3;
      std::vector<uint8_t> f(pitch * kHeight, 0);
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
          for (int j = 0; j < 3; ++j)
            f[(kHeight - 1 - y) * pitch + x * 3 + j] = rgb[(y * kWidth + x) * 3 + 2 - j];
      ASSERT_TRUE(w->WriteFrame(f.data(), nullptr));
    }
    if (c.audio) {
      std::vector<uint8_t> chunk(22050 / 15 * 4);
      for (auto& b : chunk) b = static_cast<uint8_t>(rng());
      ASSERT_TRUE(w->WriteAudio(chunk.data(), chunk.size()));
      sound.insert(sound.end(), chunk.begin(), chunk.end());
    }
  }
  ASSERT_GT(w->Close(), 0u);
  ASSERT_TRUE(Ffmpeg(dir, "-i " + Quote(dir.File("o.avi")) + " -map 0:v -f rawvideo -pix_fmt rgb24 " +
                              Quote(dir.File("v.rgb"))))
      << FfmpegErrors(dir);
  auto video = vidzoer_test::ReadBytes(dir.File("v.rgb"));
  const size_t frame_bytes = static_cast<size_t>(kWidth) * kHeight * 3;
  ASSERT_EQ(video.size(), frame_bytes * kFrames);
  for (int i = 0; i < kFrames; ++i)
    EXPECT_EQ(std::vector<uint8_t>(video.begin() + i * frame_bytes, video.begin() + (i + 1) * frame_bytes),
              clip.Rgb(i))
        << "frame " << i;
  if (c.audio) {
    ASSERT_TRUE(
        Ffmpeg(dir, "-i " + Quote(dir.File("o.avi")) + " -map 0:a -f s16le " + Quote(dir.File("a.raw"))))
        << FfmpegErrors(dir);
    EXPECT_EQ(vidzoer_test::ReadBytes(dir.File("a.raw")), sound);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OurAviInFfmpeg,
                         ::testing::Values(OursCase{"raw8", 8, avifile::Coding::kUncompressed, false},
                                           OursCase{"rle8", 8, avifile::Coding::kRle8, false},
                                           OursCase{"raw24", 24, avifile::Coding::kUncompressed, false},
                                           OursCase{"raw8_sound", 8, avifile::Coding::kUncompressed, true}),
                         [](const auto& info) { return std::string(info.param.what); });

struct TheirsCase {
  const char* what;
  const char* codec;  // ffmpeg's output options
  int bits;
  uint32_t compression;
};

class FfmpegAviInOurs : public ::testing::TestWithParam<TheirsCase> {};

TEST_P(FfmpegAviInOurs, ReadsTheSamePixelsAndSound) {
  ASSERT_TRUE(vidzoer_test::HaveProgram("ffmpeg")) << "ffmpeg is a test dependency (scripts/install-deps.sh)";
  const TheirsCase c = GetParam();
  vidzoer_test::TempDir dir;
  // A source of moving colours and a stereo sound.
  std::mt19937 rng(7);
  std::vector<uint8_t> in, sound(22050 * 4 * kFrames / 10);
  for (int i = 0; i < kFrames; ++i)
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        bool flat = x < 12;  // long runs for RLE, noise beside them
        in.push_back(static_cast<uint8_t>(flat ? 40 * (y / 4) : rng()));
        in.push_back(static_cast<uint8_t>(flat ? 200 : rng()));
        in.push_back(static_cast<uint8_t>(flat ? i * 20 : rng()));
      }
  for (auto& b : sound) b = static_cast<uint8_t>(rng());
  vidzoer_test::WriteBytes(dir.File("in.rgb"), in);
  vidzoer_test::WriteBytes(dir.File("in.raw"), sound);
  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  ASSERT_TRUE(Ffmpeg(dir, "-f rawvideo -pix_fmt rgb24 -s " + size + " -r 10 -i " + Quote(dir.File("in.rgb")) +
                              " -f s16le -ar 22050 -ac 2 -i " + Quote(dir.File("in.raw")) + " " + c.codec +
                              " -c:a pcm_s16le " + Quote(dir.File("t.avi"))))
      << FfmpegErrors(dir);
  ASSERT_TRUE(Ffmpeg(dir, "-i " + Quote(dir.File("t.avi")) + " -map 0:v -f rawvideo -pix_fmt rgb24 " +
                              Quote(dir.File("ref.rgb"))))
      << FfmpegErrors(dir);
  auto reference = vidzoer_test::ReadBytes(dir.File("ref.rgb"));

  std::string error;
  auto r = avifile::Reader::Open(dir.File("t.avi").c_str(), &error);
  ASSERT_NE(r, nullptr) << error;
  EXPECT_EQ(r->Video().width, kWidth);
  EXPECT_EQ(r->Video().height, kHeight);
  EXPECT_EQ(r->Video().bits, c.bits);
  EXPECT_EQ(r->Video().compression, c.compression);
  EXPECT_EQ(r->Video().length, static_cast<uint32_t>(kFrames));
  EXPECT_EQ(static_cast<double>(r->Video().rate) / r->Video().scale, 10.0);
  const size_t frame_bytes = static_cast<size_t>(kWidth) * kHeight * 3;
  ASSERT_EQ(reference.size(), frame_bytes * kFrames);
  // In order, then backwards (RLE frames are rebuilt from their key frame).
  std::vector<uint32_t> order;
  for (uint32_t i = 0; i < kFrames; ++i) order.push_back(i);
  for (uint32_t i = kFrames; i-- > 0;) order.push_back(i);
  for (uint32_t i : order) {
    avifile::Frame f;
    ASSERT_TRUE(r->ReadFrame(i, &f)) << i;
    EXPECT_EQ(FrameRgb(f), std::vector<uint8_t>(reference.begin() + i * frame_bytes,
                                                reference.begin() + (i + 1) * frame_bytes))
        << "frame " << i;
  }
  ASSERT_TRUE(r->HasAudio());
  EXPECT_EQ(r->Audio().channels, 2);
  EXPECT_EQ(r->Audio().sample_rate, 22050u);
  EXPECT_EQ(r->Audio().bits, 16);
  EXPECT_EQ(r->Audio().bytes, sound.size());
  std::vector<uint8_t> back(sound.size());
  ASSERT_EQ(r->ReadAudio(0, back.data(), back.size()), sound.size());
  EXPECT_EQ(back, sound);
  // A read from the middle.
  std::vector<uint8_t> part(1000);
  ASSERT_EQ(r->ReadAudio(5001, part.data(), part.size()), part.size());
  EXPECT_TRUE(std::equal(part.begin(), part.end(), sound.begin() + 5001));

  // Without its index the file is read by walking the movi list.
  auto bytes = vidzoer_test::ReadBytes(dir.File("t.avi"));
  const std::string idx1 = "idx1";
  auto at = std::search(bytes.begin(), bytes.end(), idx1.begin(), idx1.end());
  ASSERT_NE(at, bytes.end());
  bytes.erase(at, bytes.end());
  auto walked = avifile::Reader::OpenMemory(bytes, &error);
  ASSERT_NE(walked, nullptr) << error;
  ASSERT_EQ(walked->Video().length, static_cast<uint32_t>(kFrames));
  for (uint32_t i = 0; i < kFrames; ++i) {
    avifile::Frame f;
    ASSERT_TRUE(walked->ReadFrame(i, &f));
    EXPECT_EQ(FrameRgb(f), std::vector<uint8_t>(reference.begin() + i * frame_bytes,
                                                reference.begin() + (i + 1) * frame_bytes));
  }
  EXPECT_EQ(walked->Audio().bytes, sound.size());
}

INSTANTIATE_TEST_SUITE_P(Kinds, FfmpegAviInOurs,
                         ::testing::Values(TheirsCase{"pal8", "-c:v rawvideo -pix_fmt pal8", 8, 0},
                                           TheirsCase{"rgb555", "-c:v rawvideo -pix_fmt rgb555le", 16, 0},
                                           TheirsCase{"bgr24", "-c:v rawvideo -pix_fmt bgr24", 24, 0},
                                           TheirsCase{"bgra", "-c:v rawvideo -pix_fmt bgra", 32, 0}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
