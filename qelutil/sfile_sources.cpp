// The sources of SFile: wave and headerless PCM files, one sound track of a
// .vdz file, and the sound stream of an AVI file.
#include <algorithm>
#include <cstring>

#include "platform/avifile/avifile.h"
#include "playback/audio.h"
#include "qelutil/sfile_internal.h"

namespace qelutil {
namespace {

constexpr uint32_t kFileBuffer = 16384;
// The largest .vdz chunk decoded: more than any track's sound buffer holds,
// and little enough that a small file claiming chunks of this size costs a
// fraction of a second.
constexpr uint32_t kLargestChunk = 1u << 26;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Rates up to 16777215 Hz, the most a sound track can hold.
bool Usable(const SoundFormat& f) {
  return f.rate != 0 && f.rate <= 0xFFFFFFu && (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2);
}

// ---------------------------------------------------------------------------
// Wave and raw files

class FileSource : public SoundSource {
 public:
  FileSource(QELFile* f, uint32_t start) : file_(f), start_(start) { QELFileSetPos(file_, start_); }
  ~FileSource() override { QELFileClose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  uint32_t Read(uint8_t* dest, uint32_t max) override { return QELFileGet(file_, dest, max); }
  void Rewind() override { QELFileSetPos(file_, start_); }
  void SkipStart(uint64_t bytes) override {
    start_ += static_cast<uint32_t>(bytes);
    Rewind();
  }

 private:
  QELFile* file_;
  uint32_t start_;
};

// Walks the RIFF chunks of a wave file: the format of "fmt ", then the
// offset and size of "data" (cut to the file). False when it is not a PCM
// wave file.
bool ReadWaveHeader(QELFile* f, SoundFormat& format, uint32_t& data_start, uint64_t& data_size) {
  const uint64_t size = QELFileSize(f);
  uint8_t head[12];
  if (size < 12 || QELFileGet(f, head, 12) != 12) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
  uint64_t pos = 12;
  bool have_format = false;
  while (pos + 8 <= size) {
    uint8_t chunk[8];
    QELFileSetPos(f, static_cast<uint32_t>(pos));
    if (QELFileGet(f, chunk, 8) != 8) return false;
    const uint32_t length = Le32(chunk + 4);
    const uint64_t body = pos + 8;
    if (!have_format && std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[16];
      if (length < 16 || body + 16 > size || QELFileGet(f, fmt, 16) != 16) return false;
      if ((fmt[0] | (fmt[1] << 8)) != 1) return false;
      format.channels = fmt[2] | (fmt[3] << 8);
      format.rate = Le32(fmt + 4);
      format.bits = fmt[14] | (fmt[15] << 8);
      if (!Usable(format)) return false;
      have_format = true;
    } else if (have_format && std::memcmp(chunk, "data", 4) == 0) {
      data_start = static_cast<uint32_t>(body);
      data_size = std::min<uint64_t>(length, size - body);
      return true;
    }
    pos = body + length + (length & 1);
  }
  return false;
}

// ---------------------------------------------------------------------------
// .vdz tracks

struct HandleCloser {
  void operator()(VidzoHandle* h) const { VidzoClose(h); }
};
using Handle = std::unique_ptr<VidzoHandle, HandleCloser>;

Handle OpenHandle(const std::string& name) {
  return Handle(VidzoOpen(name.c_str(), 0, 0xFFFFFFFFu));
}

// Makes the next frame of a file opened just now current; false after the
// last frame or when the file is cut short.
bool StepFrame(VidzoHandle* h, uint32_t& frame) {
  if (frame + 1 >= h->FrameCount) return false;
  h->FrameData += h->CurrentFrameSize;
  h->CurrentFrame = ++frame;
  VidzoLoadFrame(h);
  VidzoPrepareFrame(h);
  return (h->ReadError & VDZ_READ_SHORT) == 0;
}

// The PCM of track t's chunk in the current frame (nothing when it has none).
void DecodeChunk(VidzoHandle* h, uint32_t t, std::vector<uint8_t>& out) {
  out.clear();
  const uint8_t* chunk = h->AudioChunk[t];
  if (chunk == nullptr || chunk < h->CurrentChunk) return;
  const uint64_t offset = static_cast<uint64_t>(chunk - h->CurrentChunk);
  if (offset + 4 > h->CurrentFrameSize) return;
  const uint32_t available = h->CurrentFrameSize - static_cast<uint32_t>(offset);
  const uint32_t format = h->AudioFormat[t];
  const uint32_t length = Le32(chunk);
  const bool compressed = (format & VDZ_AUDIO_COMPRESSED) != 0;
  uint32_t claimed = 0;
  if (compressed)
    claimed = length >= 8 && available >= 8 ? Le32(chunk + 4) : 0;
  else
    claimed = length >= 4 ? length - 4 : 0;
  const uint32_t need = std::min({claimed, h->AudioMaxSize[t], kLargestChunk});
  if (need == 0) return;
  out.assign(need, 0);
  const uint32_t n = VidzoPutAudioChunk(chunk, available, format, nullptr, out.data(), out.data() + need, out.data());
  out.resize(std::min(n, need));
}

class VdzSource : public SoundSource {
 public:
  VdzSource(std::string name, Handle h, uint32_t track) : name_(std::move(name)), h_(std::move(h)), track_(track) {}
  uint32_t Read(uint8_t* dest, uint32_t max) override {
    while (pos_ == chunk_.size()) {
      if (done_ || h_ == nullptr) return 0;
      DecodeChunk(h_.get(), track_, chunk_);
      pos_ = 0;
      done_ = !StepFrame(h_.get(), frame_);
      const size_t drop = static_cast<size_t>(std::min<uint64_t>(skip_, chunk_.size()));
      skip_ -= drop;
      pos_ = drop;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(max, chunk_.size() - pos_));
    std::memcpy(dest, chunk_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  void Rewind() override {
    h_.reset();
    h_ = OpenHandle(name_);
    frame_ = 0;
    done_ = h_ == nullptr;
    chunk_.clear();
    pos_ = 0;
    skip_ = skip_total_;
  }
  void SkipStart(uint64_t bytes) override {
    skip_total_ += bytes;
    skip_ = skip_total_;
  }

 private:
  std::string name_;
  Handle h_;
  uint32_t track_;
  uint32_t frame_ = 0;
  bool done_ = false;
  std::vector<uint8_t> chunk_;
  size_t pos_ = 0;
  uint64_t skip_ = 0, skip_total_ = 0;
};

// The sound bytes of track t, chunk by chunk (the file is left at its end).
uint64_t MeasureTrack(VidzoHandle* h, uint32_t t) {
  uint64_t total = 0;
  uint32_t frame = 0;
  std::vector<uint8_t> pcm;
  do {
    DecodeChunk(h, t, pcm);
    total += pcm.size();
  } while (StepFrame(h, frame));
  return total;
}

uint32_t FramePeriod(const VidzoHandle* h) {
  if (h->FrameRate > 0) return static_cast<uint32_t>(h->FrameRate) * 100;
  return h->FrameRate < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(h->FrameRate)) : 0;
}

// ---------------------------------------------------------------------------
// AVI files

class AviSource : public SoundSource {
 public:
  explicit AviSource(std::unique_ptr<avifile::Reader> r) : reader_(std::move(r)) {}
  uint32_t Read(uint8_t* dest, uint32_t max) override {
    const size_t n = reader_->ReadAudio(pos_, dest, max);
    pos_ += n;
    return static_cast<uint32_t>(n);
  }
  void Rewind() override { pos_ = start_; }
  void SkipStart(uint64_t bytes) override {
    start_ += bytes;
    pos_ = start_;
  }

 private:
  std::unique_ptr<avifile::Reader> reader_;
  uint64_t pos_ = 0, start_ = 0;
};

}  // namespace

Probe OpenWaveOrRaw(const std::string& name, uint32_t raw_code, uint32_t raw_skip, OpenedSound& out) {
  QELFile* f = QELFileOpen(static_cast<int32_t>(kFileBuffer), name.c_str(), QELFILE_READ);
  if (f == nullptr) return Probe::kNotMine;
  uint32_t start = 0;
  uint64_t length = 0;
  SoundFormat format;
  if (raw_code != 0) {
    format = {raw_code >> 3, (raw_code & 2) != 0 ? 16u : 8u, (raw_code & 1) != 0 ? 2u : 1u};
    const uint32_t size = QELFileSize(f);
    start = size == 0 ? 0 : std::min(raw_skip, size - 1);
    length = size - start;
    if (!Usable(format)) {
      QELFileClose(f);
      return Probe::kNotMine;
    }
  } else if (!ReadWaveHeader(f, format, start, length)) {
    QELFileClose(f);
    return Probe::kNotMine;
  }
  out.format = format;
  out.length = length / format.FrameBytes() * format.FrameBytes();
  out.kind = SFILE_WAVE;
  out.name = name;
  out.source = std::make_unique<FileSource>(f, start);
  return Probe::kTaken;
}

Probe OpenVdzSound(const std::string& name, int32_t track, QELMessageFunc message, OpenedSound& out) {
  Handle h = OpenHandle(name);
  if (h == nullptr) return Probe::kNotMine;
  auto has_sound = [&](uint32_t t) {
    const uint32_t f = h->AudioFormat[t];
    return (f & VDZ_AUDIO_PRESENT) != 0 && (f & VDZ_AUDIO_RATE_MASK) != 0;
  };
  uint32_t t = 0;
  if (track > 0) {
    t = static_cast<uint32_t>(std::min(track, VDZ_TRACKS)) - 1;
    if (!has_sound(t)) {
      if (message != nullptr) message("No sound found in the specified Vidzoer track.", 2);
      return Probe::kFailed;
    }
  } else {
    while (t < VDZ_TRACKS && !has_sound(t)) ++t;
    if (t == VDZ_TRACKS) {
      if (message != nullptr) message("No sound found in the Vidzoer file.", 2);
      return Probe::kFailed;
    }
  }
  const uint32_t word = h->AudioFormat[t];
  out.format = {word & VDZ_AUDIO_RATE_MASK, (word & VDZ_AUDIO_16BIT) != 0 ? 16u : 8u,
                (word & VDZ_AUDIO_STEREO) != 0 ? 2u : 1u};
  out.frame_time = FramePeriod(h.get());
  out.buffer_size = std::min((h->AudioMaxSize[t] + 15) & ~15u, kLargestChunk);
  out.track_flag = static_cast<int32_t>(OPEN_TRACK0 << t);
  out.kind = SFILE_VDZ;
  out.name = name;
  if ((word & VDZ_AUDIO_COMPRESSED) != 0 && out.frame_time != 0) {
    __extension__ using Wide = unsigned __int128;
    const Wide bytes = Wide{h->FrameCount} * out.frame_time * out.format.BytesPerSecond() / 100000;
    out.length = static_cast<uint64_t>(std::min<Wide>(bytes, 0xFFFFFFFFu)) & ~uint64_t{3};
  } else {
    // The length of the sound as its chunks hold it.
    out.length = MeasureTrack(h.get(), t);
    h = OpenHandle(name);
    if (h == nullptr) return Probe::kNotMine;
  }
  out.source = std::make_unique<VdzSource>(name, std::move(h), t);
  return Probe::kTaken;
}

Probe OpenAviSound(const std::string& name, int32_t track, QELMessageFunc message, OpenedSound& out) {
  std::string error;
  std::unique_ptr<avifile::Reader> r = avifile::Reader::Open(name.c_str(), &error);
  if (r == nullptr || !r->HasAudio() || track > 1) {
    if (message != nullptr) message("Error opening the input file.", 2);
    return Probe::kFailed;
  }
  const avifile::AudioInfo& a = r->Audio();
  const SoundFormat format{a.sample_rate, a.bits, a.channels};
  if (a.format != 1 || !Usable(format) || a.block_align != format.FrameBytes()) {
    if (message != nullptr) message("Error reading AVI file.", 2);
    return Probe::kFailed;
  }
  out.format = format;
  out.length = std::min<uint64_t>(uint64_t{a.length} * a.block_align, a.bytes);
  const avifile::VideoInfo& v = r->Video();
  out.frame_time = v.rate != 0 ? static_cast<uint32_t>(std::min<uint64_t>(
                                     uint64_t{100000} * v.scale / v.rate, 0xFFFFFFFFu))
                               : 0;
  out.kind = SFILE_AVI;
  out.name = name;
  out.source = std::make_unique<AviSource>(std::move(r));
  return Probe::kTaken;
}

}  // namespace qelutil
