// The sound source: conversions (against a plain model of the resampler on
// random sound), trimming, every kind of input and its failures.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "platform/avifile/avifile.h"
#include "sound_input/sound_files.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "tools/lib/vdz_writer.h"

namespace {

using namespace sound_input_test;
using vidzoer_test::TempDir;

struct Closer {
  void operator()(SFile* s) const { SFileClose(s); }
};
using Source = std::unique_ptr<SFile, Closer>;

Source Open(const std::string& name, int32_t rate = 0, int32_t bits = 0, int32_t channels = 0, int32_t start = 0,
            int32_t end = 0, int32_t track = 0, uint32_t raw = 0, uint32_t skip = 0) {
  ErrorCatcher::Errors().clear();
  return Source(SFileOpen(name.c_str(), rate, bits, channels, start, end, track, raw, skip, ErrorCatcher::Take));
}

// The resampler as a plain loop over whole arrays: averaging down, linear
// interpolation with 10 fraction bits up, the last source frame held for
// its span.
Frames Resample(const Frames& src, uint64_t in, uint64_t out) {
  if (in == out) return src;
  Frames o;
  const uint64_t n = src.size();
  uint64_t consumed = 0;
  if (out < in) {
    for (uint64_t j = 1; consumed < n; ++j) {
      int64_t sl = 0, sr = 0, count = 0;
      while (consumed < n && consumed * out / in < j) {
        sl += src.left[consumed];
        sr += src.right[consumed];
        ++consumed;
        ++count;
      }
      o.left.push_back(static_cast<int32_t>(sl / count));
      o.right.push_back(static_cast<int32_t>(sr / count));
    }
    return o;
  }
  int32_t acc[2] = {0, 0}, step[2] = {0, 0};
  for (uint64_t k = 0;; ++k) {
    if (consumed > 0 && k < consumed * out / in) {
      acc[0] += step[0];
      acc[1] += step[1];
    } else {
      if (consumed == n) break;
      const int32_t cur[2] = {src.left[consumed], src.right[consumed]};
      ++consumed;
      const auto span = static_cast<int64_t>(consumed * out / in - k);
      for (int c = 0; c < 2; ++c) {
        acc[c] = cur[c] * 1024;
        const int32_t next = consumed < n ? (c == 0 ? src.left[consumed] : src.right[consumed]) : cur[c];
        step[c] = static_cast<int32_t>((next - cur[c]) * 1024 / span);
      }
    }
    o.left.push_back(acc[0] / 1024);
    o.right.push_back(acc[1] / 1024);
    if (consumed == n && k + 1 >= consumed * out / in) break;
  }
  return o;
}

std::vector<uint8_t> Expected(const Frames& src, uint32_t in, uint32_t out, uint32_t bits, uint32_t channels) {
  Frames o = Resample(src, in, out);
  if (channels == 1)
    for (size_t i = 0; i < o.size(); ++i)
      if (o.left[i] != o.right[i]) o.left[i] = (o.left[i] + o.right[i]) / 2;
  return ToBytes(o, bits, channels);
}

struct Conversion {
  uint32_t in_rate, in_bits, in_channels, out_rate, out_bits, out_channels;
};

class ConversionTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConversionTest, MatchesTheModelOnRandomSound) {
  const Conversion c = GetParam();
  TempDir dir;
  const Frames src = RandomFrames(5003, c.in_rate + c.out_rate, c.in_bits == 8);
  const std::string name = dir.File("in.wav");
  WriteWave(name, c.in_rate, c.in_bits, c.in_channels, ToBytes(src, c.in_bits, c.in_channels));
  const Frames as_read = FromBytes(ToBytes(src, c.in_bits, c.in_channels), c.in_bits, c.in_channels);
  Source s = Open(name, static_cast<int32_t>(c.out_rate), static_cast<int32_t>(c.out_bits),
                  static_cast<int32_t>(c.out_channels));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->rate, static_cast<int32_t>(c.out_rate));
  EXPECT_EQ(s->frame_size, static_cast<int32_t>(c.out_bits * c.out_channels / 8));
  const std::vector<uint8_t> got = ReadAll(s.get(), 999);
  const std::vector<uint8_t> want = Expected(as_read, c.in_rate, c.out_rate, c.out_bits, c.out_channels);
  ASSERT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
  EXPECT_EQ(s->at_end, 1);
  // Reset gives the same sound again.
  SFileReset(s.get());
  EXPECT_TRUE(ReadAll(s.get(), 4096) == want);
}

INSTANTIATE_TEST_SUITE_P(
    RatesAndFormats, ConversionTest,
    ::testing::Values(Conversion{22050, 8, 1, 11025, 8, 1}, Conversion{44100, 16, 2, 22050, 8, 1},
                      Conversion{44100, 16, 2, 44100, 16, 2}, Conversion{11025, 8, 1, 22050, 16, 2},
                      Conversion{11025, 16, 2, 44100, 16, 1}, Conversion{8000, 16, 1, 11025, 8, 2},
                      Conversion{22050, 8, 2, 8000, 16, 2}, Conversion{48000, 16, 1, 44100, 16, 1},
                      Conversion{11025, 16, 1, 11025, 8, 2}, Conversion{22050, 16, 2, 22050, 16, 1}));

TEST(SFile, DownsamplingAveragesPairs) {
  TempDir dir;
  const std::vector<uint8_t> pcm = {10, 20, 100, 200, 0, 255, 128, 130};
  WriteWave(dir.File("a.wav"), 22050, 8, 1, pcm);
  Source s = Open(dir.File("a.wav"), 11025);
  ASSERT_NE(s, nullptr);
  // (s - 128) x 256 averaged, then back to 8 bits (truncating toward zero).
  const std::vector<uint8_t> want = {15, 150, 128, 129};
  EXPECT_EQ(ReadAll(s.get()), want);
}

TEST(SFile, UpsamplingPutsHalfwayValuesBetween) {
  TempDir dir;
  const std::vector<int16_t> v = {0, 1000, -3000, 3001, 32767, -32768};
  std::vector<uint8_t> pcm;
  for (int16_t x : v) {
    pcm.push_back(static_cast<uint8_t>(x & 0xFF));
    pcm.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
  }
  WriteWave(dir.File("a.wav"), 11025, 16, 1, pcm);
  Source s = Open(dir.File("a.wav"), 22050);
  ASSERT_NE(s, nullptr);
  const Frames out = FromBytes(ReadAll(s.get()), 16, 1);
  ASSERT_GE(out.size(), 2 * v.size() - 1);
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    EXPECT_EQ(out.left[2 * i], v[i]);
    const int32_t half = (v[i] * 1024 + (v[i + 1] - v[i]) * 1024 / 2) / 1024;
    EXPECT_EQ(out.left[2 * i + 1], half) << i;
    EXPECT_LE(std::abs(out.left[2 * i + 1] - (v[i] + v[i + 1]) / 2), 1);
  }
}

TEST(SFile, StereoToMonoAndEightBitLimits) {
  TempDir dir;
  const std::vector<int16_t> v = {1000, 3000, -32768, -32768, 0, 0, 32767, 32767, -5, -5};
  std::vector<uint8_t> pcm;
  for (int16_t x : v) {
    pcm.push_back(static_cast<uint8_t>(x & 0xFF));
    pcm.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
  }
  WriteWave(dir.File("s.wav"), 8000, 16, 2, pcm);
  Source mono = Open(dir.File("s.wav"), 0, 16, 1);
  ASSERT_NE(mono, nullptr);
  const Frames m = FromBytes(ReadAll(mono.get()), 16, 1);
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m.left[0], 2000);
  Source eight = Open(dir.File("s.wav"), 0, 8, 1);
  ASSERT_NE(eight, nullptr);
  const std::vector<uint8_t> want = {128 + 2000 / 256, 0, 128, 255, 128};
  EXPECT_EQ(ReadAll(eight.get()), want);
}

TEST(SFile, ByteCountBelowOneFrameGivesNothing) {
  TempDir dir;
  WriteWave(dir.File("s.wav"), 8000, 16, 2, std::vector<uint8_t>(400, 7));
  Source s = Open(dir.File("s.wav"));
  ASSERT_NE(s, nullptr);
  uint8_t b[8] = {};
  EXPECT_EQ(SFileGet(s.get(), b, 3), 0u);
  EXPECT_EQ(SFileGet(s.get(), b, 7), 4u);
}

TEST(SFile, CommandLine) {
  struct Case {
    const char* line;
    int32_t rate, bits, channels, start, end, track;
    uint32_t raw, skip;
    const char* rest;
  };
  const Case cases[] = {
      {"in.wav /Y3 /D22050", 0, 0, 0, 0, 0, 0, 2 + 8 * 22050, 0, "in.wav"},
      {"/R11025 /B8 /C1 /S100 /E-10 /T2 x", 11025, 8, 1, 100, -10, 2, 0, 0, "x"},
      {"/Y1 /K44 f", 0, 0, 0, 0, 0, 0, 8 * 11025, 44, "f"},
      {"/Y5/D8000/K2 f", 0, 0, 0, 0, 0, 0, 4 + 8 * 8000, 2, "f"},
      {"/Y6 /K44 f", 0, 0, 0, 0, 0, 0, 0, 0, "/K44 f"},
      {"/Y0 f", 0, 0, 0, 0, 0, 0, 0, 0, "f"},
  };
  for (const Case& c : cases) {
    char line[128];
    std::snprintf(line, sizeof line, "%s", c.line);
    int32_t r = -1, b = -1, ch = -1, s = -1, e = -1, t = -1;
    uint32_t raw = 1, skip = 1;
    SFileCommandLine(line, &r, &b, &ch, &s, &e, &t, &raw, &skip);
    EXPECT_EQ(r, c.rate) << c.line;
    EXPECT_EQ(b, c.bits) << c.line;
    EXPECT_EQ(ch, c.channels) << c.line;
    EXPECT_EQ(s, c.start) << c.line;
    EXPECT_EQ(e, c.end) << c.line;
    EXPECT_EQ(t, c.track) << c.line;
    EXPECT_EQ(raw, c.raw) << c.line;
    EXPECT_EQ(skip, c.skip) << c.line;
    EXPECT_STREQ(Trim(line), c.rest) << c.line;
  }
  char line[] = "/R5";
  SFileCommandLine(line, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_STREQ(line, "");
}

TEST(SFile, TrimsByMilliseconds) {
  TempDir dir;
  const Frames src = RandomFrames(8000, 3, false);
  const std::vector<uint8_t> pcm = ToBytes(src, 16, 1);
  WriteWave(dir.File("t.wav"), 8000, 16, 1, pcm);
  struct Case {
    int32_t start, end;
    size_t first, count;  // in frames
  };
  const Case cases[] = {{0, 0, 0, 8000},      {100, 0, 800, 7200},  {0, 250, 0, 2000},   {100, 250, 800, 1200},
                        {-100, -250, 800, 1200}, {2000, 0, 0, 0},      {500, 100, 4000, 4000}, {999, 1000, 7992, 8}};
  for (const Case& c : cases) {
    Source s = Open(dir.File("t"), 0, 0, 0, c.start, c.end);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, dir.File("t.wav").c_str());
    const std::vector<uint8_t> want(pcm.begin() + static_cast<long>(2 * c.first),
                                    pcm.begin() + static_cast<long>(2 * (c.first + c.count)));
    EXPECT_EQ(s->length, want.size()) << c.start << " " << c.end;
    EXPECT_TRUE(ReadAll(s.get()) == want) << c.start << " " << c.end;
    EXPECT_EQ(s->at_end, 1);
  }
}

TEST(SFile, WaveChunksAreWalked) {
  TempDir dir;
  // A "LIST" chunk of odd size (with its pad byte) before "fmt ", another
  // chunk between "fmt " and "data", and a data size larger than the file.
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T', 3, 0, 0, 0,
                            1,   2,   3,   0,   'f', 'm', 't', ' ', 18, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0,
                            0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0, 'f', 'a', 'c', 't', 4, 0, 0, 0, 9, 9, 9, 9,
                            'd', 'a', 't', 'a', 100, 0, 0, 0, 1, 2, 3, 4, 5};
  vidzoer_test::WriteBytes(dir.File("w.wav"), w);
  Source s = Open(dir.File("w.wav"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->source_rate, 8000);
  EXPECT_EQ(s->length, 5u);
  EXPECT_EQ(ReadAll(s.get()), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

TEST(SFile, RawFilesWithSkip) {
  TempDir dir;
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  vidzoer_test::WriteBytes(dir.File("r.dat"), bytes);
  // 8-bit stereo at 8000 Hz, 10 bytes skipped.
  Source s = Open(dir.File("r.dat"), 0, 0, 0, 0, 0, 0, 1 + 8 * 8000, 10);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->kind, SFILE_WAVE);
  EXPECT_EQ(s->source_channels, 2);
  EXPECT_EQ(s->source_rate, 8000);
  EXPECT_EQ(ReadAll(s.get()), std::vector<uint8_t>(bytes.begin() + 10, bytes.end()));
  // A skip past the end is lowered to the last byte (half a frame: nothing).
  Source past = Open(dir.File("r.dat"), 0, 0, 0, 0, 0, 0, 1 + 8 * 8000, 5000);
  ASSERT_NE(past, nullptr);
  EXPECT_TRUE(ReadAll(past.get()).empty());
}

TEST(SFile, VdzTrackTrimmedByFrames) {
  TempDir dir;
  // 20 frames of 50 ms; 8000 Hz 8-bit mono: 400 bytes per frame.
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(8000, 5, true), 8, 1);
  for (bool raw : {false, true}) {
    std::string error;
    const std::string name = dir.File(raw ? "raw.vdz" : "packed.vdz");
    ASSERT_TRUE(WriteVdz(name, 20, 50, 2, 8000, 8, 1, pcm, raw, error)) << error;
    struct Case {
      int32_t start, end;
      size_t first, count;
    };
    const Case cases[] = {{-1, -10, 0, 4000}, {0, 0, 0, 8000}, {-3, -5, 800, 1200}, {-3, 0, 800, 7200}};
    for (const Case& c : cases) {
      Source s = Open(name, 0, 0, 0, c.start, c.end);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->kind, SFILE_VDZ);
      EXPECT_EQ(s->track_flag, 1 << (2 + 13));
      const std::vector<uint8_t> want(pcm.begin() + static_cast<long>(c.first),
                                      pcm.begin() + static_cast<long>(c.first + c.count));
      EXPECT_TRUE(ReadAll(s.get(), 333) == want) << raw << " " << c.start << " " << c.end;
      SFileReset(s.get());
      EXPECT_TRUE(ReadAll(s.get(), 4000) == want) << "after reset";
    }
  }
}

TEST(SFile, VdzTrackChoiceAndMessages) {
  TempDir dir;
  const std::vector<uint8_t> pcm(4000, 0x90);
  std::string error;
  const std::string name = dir.File("v.vdz");
  ASSERT_TRUE(WriteVdz(name, 10, 50, 3, 8000, 8, 1, pcm, false, error)) << error;
  Source first = Open(dir.File("v"));  // ".wav" is not there; the .vdz is found
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->track_flag, 1 << (3 + 13));
  EXPECT_EQ(ReadAll(first.get()), pcm);
  EXPECT_NE(Open(name, 0, 0, 0, 0, 0, 4), nullptr);
  EXPECT_EQ(Open(name, 0, 0, 0, 0, 0, 2), nullptr);
  EXPECT_EQ(ErrorCatcher::Errors(), std::vector<std::string>{"No sound found in the specified Vidzoer track."});
  EXPECT_EQ(Open(name, 0, 0, 0, 0, 0, 9), nullptr);  // 8 and above mean 7
  vidzotools::VdzContent silent;
  silent.width = silent.height = 8;
  silent.frame_rate = 50;
  silent.frames.resize(3);
  ASSERT_TRUE(vidzotools::WriteVdzFile(dir.File("silent.vdz"), silent, error)) << error;
  EXPECT_EQ(Open(dir.File("silent.vdz")), nullptr);
  EXPECT_EQ(ErrorCatcher::Errors(), std::vector<std::string>{"No sound found in the Vidzoer file."});
}

TEST(SFile, AviSound) {
  TempDir dir;
  avifile::WriterOptions o;
  o.width = 8;
  o.height = 8;
  o.rate = 10;
  o.audio = true;
  o.channels = 2;
  o.sample_rate = 8000;
  o.sample_bits = 16;
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(8000, 9, false), 16, 2);
  {
    std::string error;
    auto w = avifile::Writer::Create(dir.File("a.avi").c_str(), o, &error);
    ASSERT_NE(w, nullptr) << error;
    std::vector<uint8_t> pixels(64, 1), palette(1024, 0);
    for (int f = 0; f < 10; ++f) {
      ASSERT_TRUE(w->WriteFrame(pixels.data(), palette.data()));
      ASSERT_TRUE(w->WriteAudio(pcm.data() + f * 3200, 3200));
    }
    ASSERT_GT(w->Close(), 0u);
  }
  Source s = Open(dir.File("a.avi"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->kind, SFILE_AVI);
  EXPECT_TRUE(ReadAll(s.get()) == pcm);
  // Frames 3 to 5 of the video at 10 per second: 300 ms from 200 ms on.
  Source part = Open(dir.File("a.avi"), 0, 0, 0, -3, -5);
  ASSERT_NE(part, nullptr);
  EXPECT_TRUE(ReadAll(part.get()) == std::vector<uint8_t>(pcm.begin() + 6400, pcm.begin() + 16000));
  EXPECT_EQ(Open(dir.File("a.avi"), 0, 0, 0, 0, 0, 2), nullptr);
  EXPECT_EQ(ErrorCatcher::Errors(), std::vector<std::string>{"Error opening the input file."});
}

TEST(SFile, ListsAndSequences) {
  TempDir dir;
  std::vector<std::vector<uint8_t>> parts;
  for (int i = 0; i < 3; ++i) {
    parts.push_back(ToBytes(RandomFrames(1000 + 500 * i, 20 + i, true), 8, 1));
    char name[32];
    std::snprintf(name, sizeof name, "snd%02d.wav", i + 1);
    WriteWave(dir.File(name), 8000, 8, 1, parts.back());
  }
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  {
    std::ofstream list(dir.File("a.lst"));
    list << "# the parts\n\n" << dir.File("snd01.wav") << "\r\n  " << dir.File("snd02") << "  \n"
         << dir.File("missing.wav") << "\n" << dir.File("snd03.wav") << "\n";
  }
  Source s = Open(dir.File("a.lst"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->kind, SFILE_LIST);
  EXPECT_EQ(s->rate, 8000);
  EXPECT_EQ(s->length, all.size());
  EXPECT_TRUE(ReadAll(s.get(), 777) == all);
  SFileReset(s.get());
  EXPECT_TRUE(ReadAll(s.get(), 5000) == all);

  // Trimmed across entries: 200 ms = 1600 bytes from the start, 300 ms long.
  Source trimmed = Open(dir.File("a.lst"), 0, 0, 0, 200, 500);
  ASSERT_NE(trimmed, nullptr);
  EXPECT_TRUE(ReadAll(trimmed.get()) == std::vector<uint8_t>(all.begin() + 1600, all.begin() + 4000));

  // Converted: the first entry's format is taken for 0 options.
  Source wide = Open(dir.File("a.lst"), 16000, 16, 2);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->frame_size, 4);
  EXPECT_EQ(ReadAll(wide.get()).size(), wide->length);

  // Numbered sequences, as the name itself or as a line.
  Source seq = Open(dir.File("snd??.wav*2-3"));
  ASSERT_NE(seq, nullptr);
  std::vector<uint8_t> two_three(parts[1]);
  two_three.insert(two_three.end(), parts[2].begin(), parts[2].end());
  EXPECT_TRUE(ReadAll(seq.get()) == two_three);
  // A wide range ends at its first gap.
  Source wide_range = Open(dir.File("snd??.wav*1-99999"));
  ASSERT_NE(wide_range, nullptr);
  EXPECT_TRUE(ReadAll(wide_range.get()) == all);
  {
    std::ofstream list(dir.File("b.lst"));
    list << dir.File("snd??.wav") << " /S1 /E2\n";
  }
  Source lines = Open(dir.File("b.lst"));
  ASSERT_NE(lines, nullptr);
  std::vector<uint8_t> one_two(parts[0]);
  one_two.insert(one_two.end(), parts[1].begin(), parts[1].end());
  EXPECT_TRUE(ReadAll(lines.get()) == one_two);
}

TEST(SFile, ListEntriesTrimmedByFrames) {
  TempDir dir;
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(8000, 8, true), 8, 1);
  std::string error;
  ASSERT_TRUE(WriteVdz(dir.File("v.vdz"), 20, 50, 0, 8000, 8, 1, pcm, false, error)) << error;
  {
    std::ofstream list(dir.File("c.lst"));
    list << dir.File("v.vdz") << " /S3 /E4\n" << dir.File("v.vdz") << " /E1\n";
  }
  Source s = Open(dir.File("c.lst"));
  ASSERT_NE(s, nullptr);
  std::vector<uint8_t> want(pcm.begin() + 800, pcm.begin() + 1600);
  want.insert(want.end(), pcm.begin(), pcm.begin() + 400);
  EXPECT_TRUE(ReadAll(s.get()) == want);
}

TEST(SFile, FailuresLeaveNothingOpen) {
  TempDir dir;
  {
    std::ofstream list(dir.File("empty.lst"));
    list << "# nothing\n" << dir.File("none.wav") << "\n";
  }
  EXPECT_EQ(Open(dir.File("empty.lst")), nullptr);
  EXPECT_EQ(ErrorCatcher::Errors(), std::vector<std::string>{"No files in the wave list file."});
  {
    std::ofstream list(dir.File("self.lst"));
    list << dir.File("self.lst") << "\n";
  }
  EXPECT_EQ(Open(dir.File("self.lst")), nullptr);
  EXPECT_EQ(Open(dir.File("nothing-here")), nullptr);
  vidzoer_test::WriteBytes(dir.File("text.wav"), std::vector<uint8_t>(100, 'x'));
  EXPECT_EQ(Open(dir.File("text.wav")), nullptr);
  EXPECT_EQ(SFileOpen(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), nullptr);
  EXPECT_EQ(SFileGet(nullptr, nullptr, 10), 0u);
  SFileReset(nullptr);
  SFileClose(nullptr);
}

TEST(SFile, ProgressMessages) {
  TempDir dir;
  WriteWave(dir.File("p.wav"), 8000, 8, 1, std::vector<uint8_t>(1000, 128));
  static std::vector<std::pair<std::string, int32_t>> seen;
  seen.clear();
  SFile* s = SFileOpen(dir.File("p.wav").c_str(), 0, 0, 0, 0, 0, 0, 0, 0,
                       [](const char* text, int32_t kind) -> uint8_t {
                         seen.emplace_back(text, kind);
                         return 1;  // a cancel request, which is not acted on
                       });
  ASSERT_NE(s, nullptr);
  uint8_t b[500];
  EXPECT_EQ(SFileGet(s, b, 500), 500u);
  EXPECT_EQ(SFileGet(s, b, 500), 500u);
  SFileClose(s);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(std::string("Processing sound data (0%)..."), 1));
  EXPECT_EQ(seen[1], std::make_pair(std::string("Processing sound data (50%)..."), 0));
}

}  // namespace
