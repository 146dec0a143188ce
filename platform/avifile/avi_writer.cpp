// Writing AVI files: the headers first with room for the lengths, then the
// movi list as frames and sound arrive, then the idx1 index; closing
// completes the sizes and lengths.
#include <cstdio>
#include <string>

#include "platform/avifile/avifile.h"
#include "platform/avifile/riff.h"
#include "platform/file.h"

namespace avifile {

// RLE8 coding of one bottom-up frame, every pixel coded (a key frame).
void EncodeRle8(const uint8_t* pixels, int32_t width, int32_t height, uint32_t pitch,
                std::vector<uint8_t>& out);

struct Writer::State {
  int fd = platform::kInvalidFile;
  WriterOptions o;
  bool failed = false;
  uint64_t pos = 0;
  std::vector<uint8_t> header;  // the hdrl part, rewritten at close
  size_t avih_frames = 0, video_length = 0, audio_length = 0, movi_size_at = 0;
  uint64_t movi_start = 0;     // the file offset of "movi"
  std::vector<uint8_t> index;  // idx1 entries
  uint32_t frames = 0;
  uint64_t audio_bytes = 0;
  uint32_t largest = 0;
  uint8_t palette[1024] = {};        // in force now
  uint8_t first_palette[1024] = {};  // the stream format's
  bool palette_known = false;

  uint32_t FrameBytes() const { return static_cast<uint32_t>(DibRowBytes(o.width, o.bits) * o.height); }
  uint16_t BlockAlign() const { return static_cast<uint16_t>(o.channels * o.sample_bits / 8); }

  void Put(const void* p, size_t n) {
    if (failed) return;
    if (pos + n > 0xFFFFFFF0u || platform::FileWrite(fd, p, n) != n) {
      failed = true;
      return;
    }
    pos += n;
  }
  void Chunk(uint32_t id, const uint8_t* data, uint32_t size, uint32_t flags) {
    std::vector<uint8_t> h;
    Wr32(h, id);
    Wr32(h, size);
    Wr32(index, id);
    Wr32(index, flags);
    Wr32(index, static_cast<uint32_t>(pos - movi_start));
    Wr32(index, size);
    Put(h.data(), h.size());
    Put(data, size);
    if (size & 1) Put("", 1);
    if (size > largest) largest = size;
  }
};

namespace {

std::vector<uint8_t> BuildHeader(Writer::State& s) {
  const WriterOptions& o = s.o;
  std::vector<uint8_t> h;
  Wr32(h, Fourcc("RIFF"));
  Wr32(h, 0);  // completed at close
  Wr32(h, Fourcc("AVI "));
  Wr32(h, Fourcc("LIST"));
  size_t hdrl_size = h.size();
  Wr32(h, 0);
  Wr32(h, Fourcc("hdrl"));
  Wr32(h, Fourcc("avih"));
  Wr32(h, 56);
  Wr32(h, static_cast<uint32_t>(uint64_t{1000000} * o.scale / (o.rate != 0 ? o.rate : 1)));
  Wr32(h, 0);
  Wr32(h, 0);
  Wr32(h, 0x10);  // has an index
  s.avih_frames = h.size();
  Wr32(h, 0);
  Wr32(h, 0);
  Wr32(h, o.audio ? 2 : 1);
  Wr32(h, s.FrameBytes());
  Wr32(h, static_cast<uint32_t>(o.width));
  Wr32(h, static_cast<uint32_t>(o.height));
  for (int i = 0; i < 4; ++i) Wr32(h, 0);

  // The video stream.
  Wr32(h, Fourcc("LIST"));
  size_t strl_size = h.size();
  Wr32(h, 0);
  Wr32(h, Fourcc("strl"));
  Wr32(h, Fourcc("strh"));
  Wr32(h, 56);
  Wr32(h, Fourcc("vids"));
  Wr32(h, o.coding == Coding::kRle8 ? Fourcc("mrle") : 0);
  Wr32(h, 0);
  Wr32(h, 0);
  Wr32(h, 0);
  Wr32(h, o.scale);
  Wr32(h, o.rate);
  Wr32(h, 0);
  s.video_length = h.size();
  Wr32(h, 0);
  Wr32(h, s.FrameBytes());
  Wr32(h, 0xFFFFFFFFu);
  Wr32(h, 0);
  Wr16(h, 0);
  Wr16(h, 0);
  Wr16(h, static_cast<uint32_t>(o.width));
  Wr16(h, static_cast<uint32_t>(o.height));
  Wr32(h, Fourcc("strf"));
  const bool eight = o.bits == 8;
  Wr32(h, 40 + (eight ? 1024 : 0));
  Wr32(h, 40);
  Wr32(h, static_cast<uint32_t>(o.width));
  Wr32(h, static_cast<uint32_t>(o.height));
  Wr16(h, 1);
  Wr16(h, static_cast<uint32_t>(o.bits));
  Wr32(h, o.coding == Coding::kRle8 ? kBiRle8 : kBiRgb);
  Wr32(h, s.FrameBytes());
  Wr32(h, 0);
  Wr32(h, 0);
  Wr32(h, eight ? 256 : 0);
  Wr32(h, 0);
  if (eight) h.resize(h.size() + 1024, 0);  // the first frame's palette, set at close
  Patch32(h, strl_size, static_cast<uint32_t>(h.size() - strl_size - 4));

  if (o.audio) {
    Wr32(h, Fourcc("LIST"));
    size_t a_size = h.size();
    Wr32(h, 0);
    Wr32(h, Fourcc("strl"));
    Wr32(h, Fourcc("strh"));
    Wr32(h, 56);
    Wr32(h, Fourcc("auds"));
    Wr32(h, 0);
    Wr32(h, 0);
    Wr32(h, 0);
    Wr32(h, 0);
    Wr32(h, s.BlockAlign());
    Wr32(h, o.sample_rate * s.BlockAlign());
    Wr32(h, 0);
    s.audio_length = h.size();
    Wr32(h, 0);
    Wr32(h, o.sample_rate * s.BlockAlign());
    Wr32(h, 0xFFFFFFFFu);
    Wr32(h, s.BlockAlign());
    for (int i = 0; i < 4; ++i) Wr16(h, 0);
    Wr32(h, Fourcc("strf"));
    Wr32(h, 16);
    Wr16(h, 1);
    Wr16(h, o.channels);
    Wr32(h, o.sample_rate);
    Wr32(h, o.sample_rate * s.BlockAlign());
    Wr16(h, s.BlockAlign());
    Wr16(h, o.sample_bits);
    Patch32(h, a_size, static_cast<uint32_t>(h.size() - a_size - 4));
  }
  Patch32(h, hdrl_size, static_cast<uint32_t>(h.size() - hdrl_size - 4));
  Wr32(h, Fourcc("LIST"));
  s.movi_size_at = h.size();
  Wr32(h, 0);
  Wr32(h, Fourcc("movi"));
  return h;
}

}  // namespace

Writer::Writer(std::unique_ptr<State> s) : s_(std::move(s)) {}
Writer::~Writer() {
  if (s_ != nullptr && s_->fd != platform::kInvalidFile) platform::FileClose(s_->fd);
}

std::unique_ptr<Writer> Writer::Create(const char* name, const WriterOptions& o, std::string* error) {
  auto fail = [error](const char* why) {
    if (error != nullptr) *error = why;
    return nullptr;
  };
  if (name == nullptr) return fail("no file name");
  if (o.width <= 0 || o.height <= 0 || o.width > 32768 || o.height > 32768 || (o.bits != 8 && o.bits != 24))
    return fail("the frame size or depth is not supported");
  if (o.coding == Coding::kRle8 && o.bits != 8) return fail("RLE8 codes 8-bit frames only");
  if (o.rate == 0 || o.scale == 0) return fail("the frame rate is not set");
  if (o.audio && (o.channels == 0 || o.channels > 8 || (o.sample_bits != 8 && o.sample_bits != 16) ||
                  o.sample_rate == 0 || o.sample_rate > 1000000))
    return fail("the sound format is not supported");
  if (DibRowBytes(o.width, o.bits) * static_cast<uint64_t>(o.height) > 0x7FFFFFFF)
    return fail("frames too large");
  auto s = std::make_unique<State>();
  s->o = o;
  s->fd = platform::FileCreate(name);
  if (s->fd == platform::kInvalidFile) return fail("the file cannot be created");
  s->header = BuildHeader(*s);
  s->Put(s->header.data(), s->header.size());
  s->movi_start = s->pos - 4;
  if (s->failed) return fail("the file cannot be written");
  return std::unique_ptr<Writer>(new Writer(std::move(s)));
}

bool Writer::WriteFrame(const uint8_t* pixels, const uint8_t* palette) {
  State& s = *s_;
  if (s.failed || pixels == nullptr) return false;
  if (s.o.bits == 8 && palette != nullptr) {
    if (!s.palette_known) {
      std::memcpy(s.palette, palette, sizeof(s.palette));
      std::memcpy(s.first_palette, palette, sizeof(s.first_palette));
      s.palette_known = true;
    } else if (std::memcmp(s.palette, palette, sizeof(s.palette)) != 0) {
      // A palette change: first entry 0, 256 entries (written as 0), flags,
      // then red, green, blue, flags for each.
      std::vector<uint8_t> pc = {0, 0, 0, 0};
      for (int i = 0; i < 256; ++i) {
        pc.push_back(palette[i * 4 + 2]);
        pc.push_back(palette[i * 4 + 1]);
        pc.push_back(palette[i * 4]);
        pc.push_back(0);
      }
      s.Chunk(Fourcc("00pc"), pc.data(), static_cast<uint32_t>(pc.size()), kIndexNoTime);
      std::memcpy(s.palette, palette, sizeof(s.palette));
    }
  }
  if (s.o.coding == Coding::kRle8) {
    std::vector<uint8_t> rle;
    EncodeRle8(pixels, s.o.width, s.o.height, static_cast<uint32_t>(DibRowBytes(s.o.width, 8)), rle);
    s.Chunk(Fourcc("00dc"), rle.data(), static_cast<uint32_t>(rle.size()), kIndexKeyFrame);
  } else {
    s.Chunk(Fourcc("00db"), pixels, s.FrameBytes(), kIndexKeyFrame);
  }
  ++s.frames;
  return !s.failed;
}

bool Writer::WriteAudio(const uint8_t* bytes, size_t count) {
  State& s = *s_;
  if (s.failed || !s.o.audio || count > 0x7FFFFFFF) return false;
  s.Chunk(Fourcc("01wb"), bytes, static_cast<uint32_t>(count), kIndexKeyFrame);
  s.audio_bytes += count;
  return !s.failed;
}

uint64_t Writer::Close() {
  State& s = *s_;
  if (s.fd == platform::kInvalidFile) return 0;
  const uint64_t movi_end = s.pos;
  std::vector<uint8_t> idx;
  Wr32(idx, Fourcc("idx1"));
  Wr32(idx, static_cast<uint32_t>(s.index.size()));
  s.Put(idx.data(), idx.size());
  s.Put(s.index.data(), s.index.size());
  const uint64_t size = s.pos;
  std::vector<uint8_t>& h = s.header;
  Patch32(h, 4, static_cast<uint32_t>(size - 8));
  Patch32(h, s.avih_frames, s.frames);
  Patch32(h, s.avih_frames + 8, s.largest);
  Patch32(h, s.video_length, s.frames);
  if (s.o.bits == 8) {
    // The stream format's palette is the first frame's.
    size_t strf_palette = s.video_length + 72;  // past the rest of strh, strf's head and the header
    std::memcpy(h.data() + strf_palette, s.first_palette, 1024);
    for (int i = 0; i < 256; ++i) h[strf_palette + i * 4 + 3] = 0;
  }
  if (s.o.audio) Patch32(h, s.audio_length, static_cast<uint32_t>(s.audio_bytes / s.BlockAlign()));
  Patch32(h, s.movi_size_at, static_cast<uint32_t>(movi_end - s.movi_start));
  if (!s.failed && (platform::FileSeek(s.fd, 0, SEEK_SET) != 0 ||
                    platform::FileWrite(s.fd, h.data(), h.size()) != h.size()))
    s.failed = true;
  platform::FileClose(s.fd);
  s.fd = platform::kInvalidFile;
  return s.failed ? 0 : size;
}

}  // namespace avifile
