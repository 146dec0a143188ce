// The compressed sound writer: chunks decoded by the playback library give
// back the sound (exactly at level 0, within the limit when lossy), chunks
// end on 4-byte file positions, and the silence, pass length, source restart
// and looping rules shape the blocks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "playback/audio.h"
#include "sound_input/sound_files.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

using namespace sound_input_test;
using vidzoer_test::TempDir;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Writer {
  CSFile* c = nullptr;
  QELFile* out = nullptr;
  std::string name;
  ~Writer() {
    CSFileClose(c);
    if (out != nullptr) QELFileClose(out);
  }
  std::vector<uint8_t> Bytes() {
    QELFileFlush(out);
    return vidzoer_test::ReadBytes(name);
  }
};

std::unique_ptr<Writer> Make(const TempDir& dir, const std::string& sound, int32_t lossy, int32_t repeat,
                             int32_t loop, uint32_t lead_ms, uint32_t length_ms, uint32_t raw_code = 0) {
  auto w = std::make_unique<Writer>();
  w->c = CSFileOpen(sound.c_str(), lossy, repeat, loop, lead_ms, length_ms, 0, 0, 0, 0, 0, 0, raw_code, 0, nullptr);
  w->name = dir.File("chunks.bin");
  w->out = QELFileCreate(4096, w->name.c_str());
  if (w->c == nullptr || w->out == nullptr) return nullptr;
  CSFileSetOutput(w->c, w->out);
  return w;
}

// The sound of the chunks in `file` from `offset` on, as the player decodes
// them for a track of `format`.
std::vector<uint8_t> DecodeChunks(const std::vector<uint8_t>& file, size_t offset, uint32_t format) {
  std::vector<uint8_t> out;
  while (offset + 4 <= file.size()) {
    const uint32_t length = Le32(&file[offset]);
    EXPECT_GE(length, 4u);
    if (length < 4 || offset + length > file.size()) break;
    std::vector<uint8_t> buffer(1 << 20);
    const uint32_t n = VidzoPutAudioChunk(&file[offset], length, format, nullptr, buffer.data(),
                                          buffer.data() + buffer.size(), buffer.data());
    out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    offset += length;
  }
  return out;
}

uint32_t Format(uint32_t rate, uint32_t bits, uint32_t channels, bool compressed) {
  return (compressed ? VDZ_AUDIO_COMPRESSED : 0) | VDZ_AUDIO_PRESENT | (bits == 16 ? VDZ_AUDIO_16BIT : 0) |
         (channels == 2 ? VDZ_AUDIO_STEREO : 0) | rate;
}

TEST(CSFile, LevelZeroIsExactInEveryFormat) {
  TempDir dir;
  for (uint32_t bits : {8u, 16u}) {
    for (uint32_t channels : {1u, 2u}) {
      const std::vector<uint8_t> pcm = ToBytes(RandomFrames(3001, bits * channels, bits == 8), bits, channels);
      WriteWave(dir.File("in.wav"), 11025, bits, channels, pcm);
      auto w = Make(dir, dir.File("in.wav"), 0, 0, 0, 0, 0);
      ASSERT_NE(w, nullptr);
      uint32_t sound = 0;
      for (int i = 0; i < 100; ++i) {
        CSFilePut(w->c, 1001);  // not a multiple of the frame size
        EXPECT_EQ(w->c->last_sound_bytes % (bits * channels / 8), 0u);
        if (w->c->last_sound_bytes == 0) break;
        sound += w->c->last_sound_bytes;
      }
      EXPECT_EQ(sound, pcm.size());
      EXPECT_EQ(w->c->total_sound_bytes, pcm.size());
      const std::vector<uint8_t> file = w->Bytes();
      EXPECT_EQ(w->c->total_chunk_bytes, file.size());
      EXPECT_TRUE(DecodeChunks(file, 0, Format(11025, bits, channels, true)) == pcm) << bits << " " << channels;
    }
  }
}

TEST(CSFile, ChunksEndOnFourByteBoundaries) {
  TempDir dir;
  WriteWave(dir.File("in.wav"), 8000, 16, 2, ToBytes(RandomFrames(2000, 4, false), 16, 2));
  WriteWave(dir.File("in8.wav"), 8000, 8, 1, ToBytes(RandomFrames(8000, 4, true), 8, 1));
  for (bool raw : {false, true}) {
    // Raw-input code with the non-sound bit: chunks are stored as they are,
    // padded with silence (8-bit sound here, whose frames fill any gap).
    auto w = raw ? Make(dir, dir.File("in8.wav"), 0, 0, 0, 0, 0, 4 + 8 * 8000) : Make(dir, dir.File("in.wav"), 0, 0, 0, 0, 0);
    ASSERT_NE(w, nullptr);
    if (raw) {
      ASSERT_EQ(w->c->raw, 1);
    }
    for (uint32_t lead = 1; lead <= 3; ++lead) {
      for (uint32_t i = 0; i < lead; ++i) QELFilePut8(w->out, 0xEE);
      const uint32_t start = QELFileGetPos(w->out);
      CSFilePut(w->c, 999);
      EXPECT_EQ(w->c->last_sound_bytes, raw ? 999u : 996u);
      const uint32_t end = QELFileGetPos(w->out);
      EXPECT_EQ(end % 4, 0u) << raw;
      EXPECT_EQ(w->c->last_chunk_bytes, end - start);
      const std::vector<uint8_t> file = w->Bytes();
      EXPECT_EQ(Le32(&file[start]), end - start);
      QELFileSetPos(w->out, end);
    }
  }
}

TEST(CSFile, LossyLevelNineKeepsTheErrorWithin32) {
  TempDir dir;
  const std::vector<uint8_t> pcm = ToBytes(RandomFrames(4000, 77, true), 8, 1);
  WriteWave(dir.File("in.wav"), 8000, 8, 1, pcm);
  auto w = Make(dir, dir.File("in.wav"), 9, 0, 0, 0, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->c->delta_mask, 0xE0u);
  EXPECT_EQ(w->c->error_limit, 32);
  CSFilePut(w->c, 4000);
  const std::vector<uint8_t> got = DecodeChunks(w->Bytes(), 0, Format(8000, 8, 1, true));
  ASSERT_EQ(got.size(), pcm.size());
  int worst = 0;
  size_t changed = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    worst = std::max(worst, std::abs(got[i] - pcm[i]));
    changed += got[i] != pcm[i];
  }
  EXPECT_LE(worst, 32);
  EXPECT_GT(changed, 0u);
}

TEST(CSFile, LeadingSilenceLengthAndLoops) {
  TempDir dir;
  // 100 frames of 8-bit mono at 1000 Hz: 100 ms.
  std::vector<uint8_t> pcm(100);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i + 1);
  WriteWave(dir.File("in.wav"), 1000, 8, 1, pcm);
  const std::vector<uint8_t> silence(50, 0x80);
  auto concat = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
  };
  const std::vector<uint8_t> first60(pcm.begin(), pcm.begin() + 60);
  struct Case {
    const char* what;
    int32_t repeat, loop;
    uint32_t lead_ms, length_ms, block;
    std::vector<uint8_t> want;
  };
  const Case cases[] = {
      {"whole sound after the silence", 0, 0, 50, 0, 1000, concat({silence, pcm})},
      {"a pass shorter than the sound", 0, 0, 50, 110, 1000, concat({silence, first60})},
      {"a pass longer: silence fills it", 0, 0, 0, 130, 1000, concat({pcm, std::vector<uint8_t>(30, 0x80)})},
      {"the source restarted", 1, 0, 0, 160, 1000, concat({pcm, first60})},
      {"passes repeated", 0, 1, 50, 0, 400, concat({silence, pcm, silence, pcm, silence, std::vector(pcm.begin(), pcm.begin() + 50)})},
  };
  for (const Case& c : cases) {
    auto w = Make(dir, dir.File("in.wav"), 0, c.repeat, c.loop, c.lead_ms, c.length_ms);
    ASSERT_NE(w, nullptr);
    CSFilePut(w->c, c.block);
    EXPECT_EQ(w->c->last_sound_bytes, c.want.size()) << c.what;
    CSFilePut(w->c, c.block);
    if (c.loop == 0) {
      EXPECT_EQ(w->c->last_sound_bytes, 0u) << c.what;  // the pass is over
    }
    const std::vector<uint8_t> got = DecodeChunks(w->Bytes(), 0, Format(1000, 8, 1, true));
    ASSERT_GE(got.size(), c.want.size()) << c.what;
    EXPECT_TRUE(std::vector<uint8_t>(got.begin(), got.begin() + static_cast<long>(c.want.size())) == c.want)
        << c.what;
  }
}

TEST(CSFile, ASourceWithoutSoundEndsTheBlock) {
  TempDir dir;
  WriteWave(dir.File("empty.wav"), 8000, 8, 1, {});
  for (int32_t repeat : {0, 1}) {
    auto w = Make(dir, dir.File("empty.wav"), 0, repeat, 1, 0, 0);
    ASSERT_NE(w, nullptr);
    CSFilePut(w->c, 4096);
    EXPECT_EQ(w->c->last_sound_bytes, 0u);
    EXPECT_EQ(w->c->last_chunk_bytes, 0u);
  }
  // With a pass length the silence is the pass, over and over.
  auto w = Make(dir, dir.File("empty.wav"), 0, 1, 1, 0, 10);
  ASSERT_NE(w, nullptr);
  CSFilePut(w->c, 1000);
  EXPECT_EQ(w->c->last_sound_bytes, 1000u);
}

TEST(CSFile, CommandLine) {
  char line[] = "in.wav /L7 /P /R22050 /Y2 /D8000 /K3 out.vdz";
  int32_t lossy = -1, loop = -1, rate = -1;
  uint32_t raw = 0, skip = 0;
  CSFileCommandline(line, &lossy, &loop, &rate, nullptr, nullptr, nullptr, nullptr, nullptr, &raw, &skip);
  EXPECT_EQ(lossy, 7);
  EXPECT_EQ(loop, 1);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(raw, 1u + 8 * 8000);
  EXPECT_EQ(skip, 3u);
  const std::string rest = line;
  EXPECT_EQ(rest.find('/'), std::string::npos) << rest;
  EXPECT_NE(rest.find("in.wav"), std::string::npos);
  EXPECT_NE(rest.find("out.vdz"), std::string::npos);
  char none[] = "x";
  CSFileCommandline(none, &lossy, &loop, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(lossy, 0);
  EXPECT_EQ(loop, 0);
  EXPECT_EQ(CSFileOpen("/nonexistent/none.wav", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), nullptr);
}

}  // namespace
