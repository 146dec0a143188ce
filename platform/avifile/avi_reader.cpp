// Reading AVI files: the headers of the first video and the first PCM sound
// stream, the list of chunks (from idx1 when it fits the file, else by
// walking movi), and frames decoded on demand with the palette in force.
#include <algorithm>
#include <cstdio>

#include "platform/avifile/avifile.h"
#include "platform/avifile/riff.h"
#include "platform/file.h"

namespace avifile {

bool DecodeRle8(const uint8_t* d, size_t size, uint8_t* frame, int32_t width, int32_t height, uint32_t pitch);

namespace {

// The file's bytes, in memory or read from the file as needed.
class Source {
 public:
  explicit Source(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)), size_(bytes_.size()) {}
  Source(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~Source() {
    if (fd_ != platform::kInvalidFile) platform::FileClose(fd_);
  }
  uint64_t Size() const { return size_; }
  bool Read(uint64_t at, void* dest, uint64_t n) const {
    if (at > size_ || n > size_ - at) return false;
    if (n == 0) return true;
    if (fd_ == platform::kInvalidFile) {
      std::memcpy(dest, bytes_.data() + at, n);
      return true;
    }
    return platform::FileSeek(fd_, static_cast<int64_t>(at), SEEK_SET) == static_cast<int64_t>(at) &&
           platform::FileRead(fd_, dest, n) == n;
  }
  uint32_t U32(uint64_t at) const {
    uint8_t b[4];
    return Read(at, b, 4) ? Rd32(b) : 0;
  }

 private:
  std::vector<uint8_t> bytes_;
  int fd_ = platform::kInvalidFile;
  uint64_t size_ = 0;
};

struct Entry {
  uint32_t id;
  uint64_t offset;  // of the data
  uint32_t size;
  uint32_t flags;
};

// The two-digit stream number of a chunk id ("00db" is stream 0), or -1.
int StreamOf(uint32_t id) {
  int hi = static_cast<int>(id & 0xFF) - '0', lo = static_cast<int>((id >> 8) & 0xFF) - '0';
  if (hi < 0 || hi > 9 || lo < 0 || lo > 9) return -1;
  return hi * 10 + lo;
}
uint16_t KindOf(uint32_t id) {
  return static_cast<uint16_t>(id >> 16);
}
constexpr uint16_t kPaletteChange = 'p' | ('c' << 8);
constexpr uint16_t kWave = 'w' | ('b' << 8);

constexpr uint64_t kMaxChunks = 1u << 22;

}  // namespace

struct Reader::State {
  std::unique_ptr<Source> src;
  VideoInfo video;
  AudioInfo audio;
  bool has_audio = false;
  int video_stream = -1, audio_stream = -1;
  uint32_t header_size = 40;
  uint8_t initial_palette[1024] = {};
  uint64_t movi = 0, movi_end = 0;  // data of the movi list
  std::vector<Entry> frames;
  std::vector<std::pair<uint32_t, Entry>> palette_changes;  // (frames before it, chunk)
  std::vector<Entry> sound;
  std::vector<uint64_t> sound_starts;
  bool keys_known = false;
  bool top_down = false;  // uncompressed rows stored from the top
  // The decoded frame kept for the next call.
  Frame current;
  int64_t current_index = -1;
  size_t palette_applied = 0;
};

namespace {

using State = Reader::State;

bool Fail(std::string* error, const char* why) {
  if (error != nullptr) *error = why;
  return false;
}

// One strl list: the stream header and its format.
void ReadStream(State& s, uint64_t at, uint64_t end, int number) {
  uint32_t type = 0, scale = 0, rate = 0, start = 0, length = 0;
  bool have_header = false;
  while (at + 8 <= end) {
    uint32_t id = s.src->U32(at), size = s.src->U32(at + 4);
    uint64_t data = at + 8;
    if (size > end - data) break;
    std::vector<uint8_t> b(std::min<uint32_t>(size, 2048));
    if (!s.src->Read(data, b.data(), b.size())) break;
    if (id == Fourcc("strh") && b.size() >= 36) {
      type = Rd32(b.data());
      scale = Rd32(b.data() + 20);
      rate = Rd32(b.data() + 24);
      start = Rd32(b.data() + 28);
      length = Rd32(b.data() + 32);
      have_header = true;
    } else if (id == Fourcc("strf") && have_header) {
      if (type == Fourcc("vids") && s.video_stream < 0 && b.size() >= 40) {
        VideoInfo& v = s.video;
        s.header_size = Rd32(b.data());
        v.width = static_cast<int32_t>(Rd32(b.data() + 4));
        v.height = static_cast<int32_t>(Rd32(b.data() + 8));
        v.bits = Rd16(b.data() + 14);
        v.compression = Rd32(b.data() + 16);
        v.scale = scale;
        v.rate = rate;
        v.start = start;
        v.length = length;
        uint32_t colours = Rd32(b.data() + 32);
        if (v.bits == 8) {
          if (colours == 0 || colours > 256) colours = 256;
          const uint64_t from = std::max<uint32_t>(40, s.header_size);
          for (uint32_t i = 0; i < colours && from + i * 4 + 4 <= b.size(); ++i)
            std::memcpy(s.initial_palette + i * 4, b.data() + from + i * 4, 4);
        }
        s.video_stream = number;
      } else if (type == Fourcc("auds") && s.audio_stream < 0 && b.size() >= 16 && Rd16(b.data()) == 1) {
        AudioInfo& a = s.audio;
        a.format = 1;
        a.channels = Rd16(b.data() + 2);
        a.sample_rate = Rd32(b.data() + 4);
        a.bytes_per_second = Rd32(b.data() + 8);
        a.block_align = Rd16(b.data() + 12);
        a.bits = Rd16(b.data() + 14);
        a.start = start;
        a.length = length;
        s.audio_stream = number;
        s.has_audio = a.channels > 0 && a.block_align > 0;
      }
    }
    at = data + size + (size & 1);
  }
}

bool ReadHeaders(State& s, uint64_t at, uint64_t end) {
  int number = 0;
  while (at + 12 <= end) {
    uint32_t id = s.src->U32(at), size = s.src->U32(at + 4);
    uint64_t data = at + 8;
    if (size > end - data) size = static_cast<uint32_t>(end - data);
    if (id == Fourcc("LIST") && size >= 4 && s.src->U32(data) == Fourcc("strl"))
      ReadStream(s, data + 4, data + size, number++);
    at = data + size + (size & 1);
  }
  return s.video_stream >= 0;
}

void AddEntry(State& s, const Entry& e) {
  int stream = StreamOf(e.id);
  if (stream == s.video_stream) {
    if (KindOf(e.id) == kPaletteChange) {
      s.palette_changes.emplace_back(static_cast<uint32_t>(s.frames.size()), e);
    } else {
      s.frames.push_back(e);
    }
  } else if (stream == s.audio_stream && s.has_audio && KindOf(e.id) == kWave) {
    s.sound.push_back(e);
  }
}

// The chunks from idx1, when every entry points at a chunk of its id inside
// movi (offsets count from "movi" or from the start of the file).
bool ReadIndex(State& s, uint64_t at, uint32_t size) {
  const uint64_t count = size / 16;
  if (count == 0 || count > kMaxChunks) return false;
  std::vector<uint8_t> idx(static_cast<size_t>(count * 16));
  if (!s.src->Read(at, idx.data(), idx.size())) return false;
  const uint64_t movi_fourcc = s.movi - 4;
  uint64_t base = movi_fourcc;
  for (uint64_t candidate : {movi_fourcc, uint64_t{0}}) {
    base = candidate;
    uint64_t first = base + Rd32(idx.data() + 8);
    if (s.src->U32(first) == Rd32(idx.data())) break;
    if (candidate == 0) return false;
  }
  std::vector<Entry> entries;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = idx.data() + i * 16;
    Entry en{Rd32(e), base + Rd32(e + 8) + 8, Rd32(e + 12), Rd32(e + 4)};
    if (en.offset < s.movi || en.offset > s.movi_end || en.size > s.movi_end - en.offset) return false;
    if (s.src->U32(en.offset - 8) != en.id) return false;
    entries.push_back(en);
  }
  for (const Entry& e : entries) AddEntry(s, e);
  s.keys_known = true;
  return true;
}

void WalkMovi(State& s) {
  uint64_t at = s.movi;
  uint64_t seen = 0;
  while (at + 8 <= s.movi_end && seen++ < kMaxChunks) {
    uint32_t id = s.src->U32(at), size = s.src->U32(at + 4);
    if (id == Fourcc("LIST")) {  // a "rec " list: its chunks follow
      at += 12;
      continue;
    }
    uint64_t data = at + 8;
    if (size > s.movi_end - data) break;
    AddEntry(s, Entry{id, data, size, 0});
    at = data + size + (size & 1);
  }
}

bool Parse(State& s, std::string* error) {
  const Source& src = *s.src;
  if (src.Size() < 12 || src.U32(0) != Fourcc("RIFF") || src.U32(8) != Fourcc("AVI "))
    return Fail(error, "not an AVI file");
  uint64_t end = std::min<uint64_t>(src.Size(), uint64_t{src.U32(4)} + 8);
  uint64_t at = 12, idx_at = 0;
  uint32_t idx_size = 0;
  bool headers = false;
  while (at + 8 <= end) {
    uint32_t id = src.U32(at), size = src.U32(at + 4);
    uint64_t data = at + 8;
    uint64_t avail = end - data;
    if (size > avail) size = static_cast<uint32_t>(std::min<uint64_t>(avail, 0xFFFFFFFFu));
    if (id == Fourcc("LIST") && size >= 4) {
      uint32_t kind = src.U32(data);
      if (kind == Fourcc("hdrl")) headers = ReadHeaders(s, data + 4, data + size);
      if (kind == Fourcc("movi") && s.movi == 0) {
        s.movi = data + 4;
        s.movi_end = data + size;
      }
    } else if (id == Fourcc("idx1")) {
      idx_at = data;
      idx_size = size;
    }
    at = data + size + (size & 1);
  }
  if (!headers) return Fail(error, "the file has no video stream");
  if (s.movi == 0) return Fail(error, "the file has no movi list");
  VideoInfo& v = s.video;
  const bool top_down = v.height < 0 && v.compression == kBiRgb;
  if (top_down && v.height != INT32_MIN) v.height = -v.height;
  if (v.width <= 0 || v.height <= 0 || v.width > 32768 || v.height > 32768 ||
      static_cast<uint64_t>(v.width) * static_cast<uint64_t>(v.height) > (uint64_t{1} << 26))
    return Fail(error, "the frame size is not sane");
  const bool plain = v.compression == kBiRgb && (v.bits == 8 || v.bits == 16 || v.bits == 24 || v.bits == 32);
  const bool rle = v.compression == kBiRle8 && v.bits == 8;
  if (!plain && !rle) return Fail(error, "the video coding is not supported");
  s.top_down = top_down;
  if (idx_size == 0 || !ReadIndex(s, idx_at, idx_size)) {
    s.frames.clear();
    s.palette_changes.clear();
    s.sound.clear();
    WalkMovi(s);
  }
  v.length = static_cast<uint32_t>(s.frames.size());
  uint64_t total = 0;
  for (const Entry& e : s.sound) {
    s.sound_starts.push_back(total);
    total += e.size;
  }
  s.audio.bytes = total;
  if (s.has_audio && s.audio.block_align > 0)
    s.audio.length = static_cast<uint32_t>(total / s.audio.block_align);
  return true;
}

void ApplyPaletteChange(State& s, const Entry& e, uint8_t* palette) {
  uint8_t b[4 + 1024];
  uint32_t n = std::min<uint32_t>(e.size, sizeof(b));
  if (n < 4 || !s.src->Read(e.offset, b, n)) return;
  uint32_t first = b[0], count = b[1] == 0 ? 256 : b[1];
  for (uint32_t i = 0; i < count && first + i < 256 && 4 + i * 4 + 3 < n; ++i) {
    uint8_t* p = palette + (first + i) * 4;
    p[0] = b[4 + i * 4 + 2];
    p[1] = b[4 + i * 4 + 1];
    p[2] = b[4 + i * 4];
    p[3] = 0;
  }
}

}  // namespace

Reader::Reader(std::unique_ptr<State> s) : s_(std::move(s)) {}
Reader::~Reader() = default;

std::unique_ptr<Reader> Reader::Open(const char* name, std::string* error) {
  if (name == nullptr) return nullptr;
  int fd = platform::FileOpen(name, false);
  if (fd == platform::kInvalidFile) {
    Fail(error, "the file cannot be opened");
    return nullptr;
  }
  int64_t size = platform::FileSize(fd);
  auto s = std::make_unique<State>();
  s->src = std::make_unique<Source>(fd, size < 0 ? 0 : static_cast<uint64_t>(size));
  if (!Parse(*s, error)) return nullptr;
  return std::unique_ptr<Reader>(new Reader(std::move(s)));
}

std::unique_ptr<Reader> Reader::OpenMemory(std::vector<uint8_t> bytes, std::string* error) {
  auto s = std::make_unique<State>();
  s->src = std::make_unique<Source>(std::move(bytes));
  if (!Parse(*s, error)) return nullptr;
  return std::unique_ptr<Reader>(new Reader(std::move(s)));
}

const VideoInfo& Reader::Video() const {
  return s_->video;
}
bool Reader::HasAudio() const {
  return s_->has_audio;
}
const AudioInfo& Reader::Audio() const {
  return s_->audio;
}

uint32_t Reader::SampleSize(uint32_t frame) const {
  return frame < s_->frames.size() ? s_->frames[frame].size : 0;
}

bool Reader::ReadFrame(uint32_t n, Frame* out) {
  State& s = *s_;
  if (out == nullptr || n >= s.frames.size()) return false;
  const VideoInfo& v = s.video;
  const bool rle = v.compression == kBiRle8;
  const bool top_down = s.top_down;
  Frame& f = s.current;
  const uint32_t pitch = static_cast<uint32_t>(DibRowBytes(v.width, v.bits));
  if (s.current_index < 0 || static_cast<int64_t>(n) <= s.current_index) {
    // Start again: RLE frames build on the ones before them.
    f.width = v.width;
    f.height = v.height;
    f.bits = v.bits;
    f.pitch = pitch;
    f.pixels.assign(static_cast<size_t>(pitch) * static_cast<size_t>(v.height), 0);
    std::memcpy(f.palette, s.initial_palette, sizeof(f.palette));
    s.palette_applied = 0;
    s.current_index = -1;
    if (rle && s.keys_known) {
      // From the last key frame at or before n.
      for (int64_t k = n; k > 0; --k)
        if (s.frames[static_cast<size_t>(k)].flags & kIndexKeyFrame) {
          s.current_index = k - 1;
          break;
        }
    }
    if (!rle) s.current_index = static_cast<int64_t>(n) - 1;
  }
  bool ok = true;
  std::vector<uint8_t> data;
  for (int64_t k = s.current_index + 1; k <= static_cast<int64_t>(n); ++k) {
    while (s.palette_applied < s.palette_changes.size() && s.palette_changes[s.palette_applied].first <= k)
      ApplyPaletteChange(s, s.palette_changes[s.palette_applied++].second, f.palette);
    if (!rle && k < static_cast<int64_t>(n)) continue;
    const Entry& e = s.frames[static_cast<size_t>(k)];
    if (e.size == 0) continue;  // a dropped frame repeats the one before
    data.resize(e.size);
    if (!s.src->Read(e.offset, data.data(), e.size)) {
      ok = false;
      continue;
    }
    if (rle) {
      ok = DecodeRle8(data.data(), data.size(), f.pixels.data(), v.width, v.height, pitch) && ok;
    } else {
      const size_t rows = std::min<size_t>(e.size / pitch, static_cast<size_t>(v.height));
      if (rows < static_cast<size_t>(v.height)) ok = false;
      for (size_t r = 0; r < rows; ++r) {
        size_t to = top_down ? static_cast<size_t>(v.height) - 1 - r : r;
        std::memcpy(f.pixels.data() + to * pitch, data.data() + r * pitch, pitch);
      }
    }
  }
  s.current_index = n;
  *out = f;
  return ok;
}

size_t Reader::ReadAudio(uint64_t first, uint8_t* dest, size_t count) {
  State& s = *s_;
  if (dest == nullptr || s.sound.empty()) return 0;
  size_t done = 0;
  auto it = std::upper_bound(s.sound_starts.begin(), s.sound_starts.end(), first);
  size_t i = static_cast<size_t>(it - s.sound_starts.begin());
  if (i == 0) return 0;
  for (--i; i < s.sound.size() && done < count; ++i) {
    const Entry& e = s.sound[i];
    uint64_t skip = first + done > s.sound_starts[i] ? first + done - s.sound_starts[i] : 0;
    if (skip >= e.size) continue;
    size_t n = static_cast<size_t>(std::min<uint64_t>(e.size - skip, count - done));
    if (!s.src->Read(e.offset + skip, dest + done, n)) break;
    done += n;
  }
  return done;
}

}  // namespace avifile
