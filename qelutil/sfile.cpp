// SFile: one sound source for wave and raw PCM files, .vdz sound tracks, the
// sound of AVI files and lists of them, converted frame by frame to the
// sample rate, sample size and channel count asked for.
//
// Rate conversion uses integers only: a lower rate averages the source frames
// that fall into each output frame; a higher rate interpolates linearly
// between source frames with 10 fraction bits.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "qelutil/sfile_internal.h"

namespace {

using qelutil::OpenedSound;
using qelutil::Probe;
using qelutil::SoundFormat;

void Report(QELMessageFunc message, const char* text) {
  if (message != nullptr) message(text, 2);
}

bool HasExt(const std::string& name) {
  return HasExtension(name.c_str()) != nullptr;
}

std::string WithExtension(const std::string& name, const char* ext) {
  return HasExt(name) ? name : name + ext;
}

bool ExtensionIs(const std::string& name, const char* ext) {
  const char* dot = HasExtension(name.c_str());
  return dot != nullptr && strcasecmp(dot, ext) == 0;
}

// Milliseconds of a start (first = true) or end time: -n is video frame n
// when the source has a frame time, else n milliseconds.
int64_t TimeMs(int32_t value, uint32_t frame_time, bool first) {
  if (value >= 0) return value;
  const int64_t n = -static_cast<int64_t>(value);
  if (frame_time == 0) return n;
  return (first ? n - 1 : n) * frame_time / 100;
}

uint64_t WholeFrames(uint64_t bytes, uint32_t frame) {
  return frame == 0 ? 0 : bytes / frame * frame;
}

// The trim of step "start and end": the bytes to leave out at the start and
// the trimmed length. A start at or past the end leaves no sound.
void TrimSound(const SoundFormat& f, uint32_t frame_time, int32_t start, int32_t end, uint64_t& length,
               uint64_t& skip) {
  skip = 0;
  const int64_t s = TimeMs(start, frame_time, true);
  const int64_t e = TimeMs(end, frame_time, false);
  if (s + e == 0) return;
  const uint64_t bps = f.BytesPerSecond();
  const uint64_t start_bytes = WholeFrames(bps * static_cast<uint64_t>(s) / 1000, f.FrameBytes());
  if (start_bytes < length) {
    skip = start_bytes;
    length -= start_bytes;
  } else {
    length = 0;
    return;
  }
  if (e >= s) {
    const uint64_t end_bytes = WholeFrames(bps * static_cast<uint64_t>(e - s) / 1000, f.FrameBytes());
    length = std::min(length, end_bytes);
  }
}

uint32_t Clamp32(uint64_t v) {
  return static_cast<uint32_t>(std::min<uint64_t>(v, 0xFFFFFFFFu));
}

void SetOutputFormat(SFile* s, int32_t rate, int32_t bits, int32_t channels) {
  s->rate = rate > 0 && rate <= 0xFFFFFF ? rate : s->source_rate;
  s->bits = bits == 8 || bits == 16 ? bits : s->source_bits;
  s->channels = channels == 1 || channels == 2 ? channels : s->source_channels;
  s->frame_size = s->channels * s->bits / 8;
}

void SetSourceFormat(SFile* s, const SoundFormat& f) {
  s->source_rate = static_cast<int32_t>(f.rate);
  s->source_bits = static_cast<int32_t>(f.bits);
  s->source_channels = static_cast<int32_t>(f.channels);
  s->source_frame_size = static_cast<int32_t>(f.FrameBytes());
}

SoundFormat SourceFormat(const SFile* s) {
  return {static_cast<uint32_t>(s->source_rate), static_cast<uint32_t>(s->source_bits),
          static_cast<uint32_t>(s->source_channels)};
}

SoundFormat OutputFormat(const SFile* s) {
  return {static_cast<uint32_t>(s->rate), static_cast<uint32_t>(s->bits), static_cast<uint32_t>(s->channels)};
}

// Source bytes of `s` as output bytes.
uint64_t OutputBytes(const SFile* s, uint64_t source_bytes) {
  const uint64_t in = SourceFormat(s).BytesPerSecond();
  if (in == 0) return 0;
  __extension__ using Wide = unsigned __int128;
  const Wide v = static_cast<Wide>(source_bytes) * OutputFormat(s).BytesPerSecond() / in;
  return static_cast<uint64_t>(std::min<Wide>(v, ~uint64_t{0}));
}

SFile* NewRecord() {
  auto* s = static_cast<SFile*>(qelmalloc(sizeof(SFile)));
  if (s == nullptr) return nullptr;
  std::memset(s, 0, sizeof(SFile));
  s->reader = new (std::nothrow) SFileReader;
  if (s->reader == nullptr) {
    qelfree(s);
    return nullptr;
  }
  return s;
}

void FreeRecord(SFile* s) {
  if (s->reader != nullptr && s->reader->entry != nullptr) SFileClose(s->reader->entry);
  delete s->reader;
  std::memset(s, 0, sizeof(SFile));
  qelfree(s);
}

void CopyName(SFile* s, const std::string& name) {
  std::snprintf(s->name, sizeof s->name, "%s", name.c_str());
}

void EmptyBuffer(SFile* s) {
  s->buffer_pos = s->buffer;
  s->buffer_end = s->buffer;
}

bool OpenList(SFile* s, const std::string& name, int32_t rate, int32_t bits, int32_t channels, int32_t start,
              int32_t end, QELMessageFunc message) {
  SFileReader& r = *s->reader;
  r.list = qelutil::SoundList::Open(name);
  if (r.list == nullptr) return false;
  uint64_t total = 0;
  bool first = true;
  qelutil::SoundListEntry e;
  while (r.list->Next(e)) {
    if (qelutil::IsSoundList(e.name)) continue;  // lists hold sound files, not lists
    SFile* entry = SFileOpen(e.name.c_str(), rate, bits, channels, -e.start, -e.end, 0, 0, 0, nullptr);
    if (entry == nullptr) continue;
    if (first) {
      rate = entry->rate;
      bits = entry->bits;
      channels = entry->channels;
      first = false;
    }
    total += OutputBytes(entry, entry->length);
    SFileClose(entry);
  }
  if (total == 0) {
    Report(message, "No files in the wave list file.");
    return false;
  }
  r.list_rate = rate;
  r.list_bits = bits;
  r.list_channels = channels;
  const SoundFormat f{static_cast<uint32_t>(rate), static_cast<uint32_t>(bits), static_cast<uint32_t>(channels)};
  SetSourceFormat(s, f);
  uint64_t skip = 0;
  TrimSound(f, 0, start, end, total, skip);
  r.skip_total = r.skip_left = skip;
  s->length = Clamp32(WholeFrames(total, f.FrameBytes()));
  s->kind = SFILE_LIST;
  r.list->Rewind();
  return true;
}

bool OpenSingle(SFile* s, const std::string& given, int32_t start, int32_t end, int32_t track, uint32_t raw_code,
                uint32_t raw_skip, QELMessageFunc message) {
  OpenedSound o;
  Probe p = Probe::kNotMine;
  const std::string wav = WithExtension(given, ".wav");
  if (!ExtensionIs(wav, ".lst")) p = qelutil::OpenWaveOrRaw(wav, raw_code, raw_skip, o);
  if (p == Probe::kNotMine) p = qelutil::OpenVdzSound(WithExtension(given, ".vdz"), track, message, o);
  if (p == Probe::kNotMine) p = qelutil::OpenAviSound(WithExtension(given, ".avi"), track, message, o);
  if (p != Probe::kTaken) return false;
  uint64_t length = o.length;
  uint64_t skip = 0;
  TrimSound(o.format, o.frame_time, start, end, length, skip);
  if (skip != 0) o.source->SkipStart(skip);
  SetSourceFormat(s, o.format);
  s->length = Clamp32(length);
  s->kind = o.kind;
  s->track_flag = o.track_flag;
  s->buffer_size = static_cast<int32_t>(std::max<uint32_t>(o.buffer_size, 16));
  s->reader->storage.assign(static_cast<size_t>(s->buffer_size), 0);
  s->buffer = s->reader->storage.data();
  EmptyBuffer(s);
  s->reader->source = std::move(o.source);
  CopyName(s, o.name);
  return true;
}

// ---------------------------------------------------------------------------
// Conversion

// Takes the next source frame into the look-ahead; false when less than a
// frame is left in the buffer and the source.
bool FetchNext(SFile* s) {
  SFileReader& r = *s->reader;
  const auto frame = static_cast<size_t>(s->source_frame_size);
  while (static_cast<size_t>(s->buffer_end - s->buffer_pos) < frame) {
    const size_t held = static_cast<size_t>(s->buffer_end - s->buffer_pos);
    std::memmove(s->buffer, s->buffer_pos, held);
    s->buffer_pos = s->buffer;
    s->buffer_end = s->buffer + held;
    const uint32_t room = std::min<uint32_t>(static_cast<uint32_t>(s->buffer_size) - static_cast<uint32_t>(held),
                                             s->remaining);
    const uint32_t got = room == 0 ? 0 : r.source->Read(s->buffer_end, room);
    if (got == 0) {
      r.have_next = false;
      return false;
    }
    s->remaining -= got;
    s->buffer_end += got;
  }
  const uint8_t* p = s->buffer_pos;
  if (s->source_bits == 8) {
    r.next_left = (p[0] - 128) * 256;
    r.next_right = s->source_channels == 2 ? (p[1] - 128) * 256 : r.next_left;
  } else {
    r.next_left = static_cast<int16_t>(p[0] | (p[1] << 8));
    r.next_right = s->source_channels == 2 ? static_cast<int16_t>(p[2] | (p[3] << 8)) : r.next_left;
  }
  s->buffer_pos += frame;
  r.have_next = true;
  return true;
}

// The look-ahead frame becomes the current one.
void TakeNext(SFile* s) {
  SFileReader& r = *s->reader;
  s->left = r.next_left;
  s->right = r.next_right;
  ++r.in_count;
  s->frames_in = static_cast<int32_t>(r.in_count);
  FetchNext(s);
}

uint8_t* WriteFrame(const SFile* s, uint8_t* out, int32_t left, int32_t right) {
  if (s->channels == 1 && left != right) left = (left + right) / 2;
  const int32_t values[2] = {left, right};
  for (int c = 0; c < s->channels; ++c) {
    const int32_t v = values[c];
    if (s->bits == 8) {
      *out++ = static_cast<uint8_t>(v / 256 + 128);
    } else {
      *out++ = static_cast<uint8_t>(v & 0xFF);
      *out++ = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
  }
  return out;
}

uint32_t Convert(SFile* s, uint8_t* dest, uint32_t n) {
  SFileReader& r = *s->reader;
  const uint64_t in_rate = static_cast<uint32_t>(s->source_rate);
  const uint64_t out_rate = static_cast<uint32_t>(s->rate);
  uint8_t* out = dest;
  uint8_t* const stop = dest + n;
  if (!r.primed) {
    r.primed = true;
    if (!FetchNext(s)) s->at_end = 1;
  }
  while (out < stop && s->at_end == 0) {
    int32_t left;
    int32_t right;
    if (out_rate == in_rate) {
      TakeNext(s);
      left = s->left;
      right = s->right;
      if (!r.have_next) s->at_end = 1;
    } else if (out_rate < in_rate) {
      const uint64_t number = r.out_count + 1;
      int64_t sum_left = 0;
      int64_t sum_right = 0;
      int64_t count = 0;
      while (r.have_next && r.in_count * out_rate / in_rate < number) {
        TakeNext(s);
        sum_left += s->left;
        sum_right += s->right;
        ++count;
      }
      if (count == 0) {
        s->at_end = 1;
        break;
      }
      left = static_cast<int32_t>(sum_left / count);
      right = static_cast<int32_t>(sum_right / count);
      if (!r.have_next) s->at_end = 1;
    } else {
      const uint64_t number = r.out_count;
      if (r.in_count > 0 && number < r.in_count * out_rate / in_rate) {
        s->left_acc += s->left_step;
        s->right_acc += s->right_step;
        left = s->left_acc / 1024;
        right = s->right_acc / 1024;
      } else {
        if (!r.have_next) {
          s->at_end = 1;
          break;
        }
        TakeNext(s);
        left = s->left;
        right = s->right;
        s->left_acc = left * 1024;
        s->right_acc = right * 1024;
        const auto frames = static_cast<int64_t>(r.in_count * out_rate / in_rate - number);
        if (r.have_next && frames > 0) {
          s->left_step = static_cast<int32_t>((r.next_left - left) * 1024 / frames);
          s->right_step = static_cast<int32_t>((r.next_right - right) * 1024 / frames);
        } else {
          s->left_step = s->right_step = 0;
        }
      }
      if (!r.have_next && number + 1 >= r.in_count * out_rate / in_rate) s->at_end = 1;
    }
    out = WriteFrame(s, out, left, right);
    ++r.out_count;
    s->frames_out = static_cast<int32_t>(r.out_count);
  }
  return static_cast<uint32_t>(out - dest);
}

// Opens list entries until one delivers sound, passing over the start trim.
bool OpenNextEntry(SFile* s) {
  SFileReader& r = *s->reader;
  qelutil::SoundListEntry e;
  bool opened = false;
  while (!opened && r.list->Next(e)) {
    if (qelutil::IsSoundList(e.name)) continue;
    SFile* entry = SFileOpen(e.name.c_str(), r.list_rate, r.list_bits, r.list_channels, -e.start, -e.end, 0, 0,
                             0, nullptr);
    if (entry == nullptr) continue;
    if (r.skip_left > 0) {
      const uint64_t bytes = OutputBytes(entry, entry->length);
      if (r.skip_left >= bytes) {
        r.skip_left -= bytes;
        SFileClose(entry);
        continue;
      }
      // The entry in which the start trim ends: its first bytes are read and
      // dropped.
      uint8_t scratch[4096];
      const uint32_t frame = static_cast<uint32_t>(entry->frame_size);
      while (r.skip_left > 0 && entry->at_end == 0) {
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(r.skip_left, sizeof scratch / frame * frame));
        const uint32_t got = SFileGet(entry, scratch, want);
        if (got == 0) break;
        r.skip_left -= got;
      }
      r.skip_left = 0;
    }
    r.entry = entry;
    opened = true;
  }
  return opened;
}

uint32_t GetFromList(SFile* s, uint8_t* dest, uint32_t n) {
  SFileReader& r = *s->reader;
  const uint32_t frame = static_cast<uint32_t>(s->frame_size);
  const uint32_t want = std::min(n, s->remaining / frame * frame);
  uint32_t delivered = 0;
  while (delivered < want) {
    if (r.entry == nullptr && !OpenNextEntry(s)) break;
    const uint32_t got = SFileGet(r.entry, dest + delivered, want - delivered);
    delivered += got;
    if (r.entry->at_end != 0 || got == 0) {
      SFileClose(r.entry);
      r.entry = nullptr;
    }
  }
  if (delivered < want) s->remaining = delivered;  // the entries ran out early
  s->remaining -= delivered;
  s->frames_out += static_cast<int32_t>(delivered / frame);
  if (s->remaining < frame) s->at_end = 1;
  return delivered;
}

}  // namespace

extern "C" {

SFile* SFileOpen(const char* name, int32_t rate, int32_t bits, int32_t channels, int32_t start, int32_t end,
                 int32_t track, uint32_t raw_code, uint32_t raw_skip, QELMessageFunc message) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  SFile* s = NewRecord();
  if (s == nullptr) return nullptr;
  const std::string given(name, strnlen(name, 4096));
  bool ok;
  if (raw_code == 0 && qelutil::IsSoundList(given)) {
    ok = OpenList(s, given, rate, bits, channels, start, end, message);
    if (ok) CopyName(s, given);
  } else {
    ok = OpenSingle(s, given, start, end, track, raw_code, raw_skip, message);
  }
  if (!ok) {
    FreeRecord(s);
    return nullptr;
  }
  if (s->kind == SFILE_LIST) {
    s->rate = s->source_rate;
    s->bits = s->source_bits;
    s->channels = s->source_channels;
    s->frame_size = s->source_frame_size;
  } else {
    SetOutputFormat(s, rate, bits, channels);
  }
  s->message = message;
  s->remaining = s->length;
  s->at_end = s->length == 0 ? 1 : 0;
  return s;
}

uint32_t SFileGet(SFile* s, void* dest, uint32_t count) {
  if (s == nullptr || dest == nullptr || s->frame_size <= 0) return 0;
  SFileReader& r = *s->reader;
  if (s->message != nullptr) {
    char text[64];
    // The bytes read ahead into the input buffer do not count as done yet.
    const uint64_t ahead = static_cast<uint64_t>(s->buffer_end - s->buffer_pos);
    const uint64_t read = uint64_t{s->length - s->remaining};
    const uint64_t done = s->length == 0 ? 100 : (read - std::min(read, ahead)) * 100 / s->length;
    std::snprintf(text, sizeof text, "Processing sound data (%u%%)...", static_cast<unsigned>(done));
    s->message(text, r.started ? 0 : 1);
    r.started = true;
  }
  const uint32_t n = count / static_cast<uint32_t>(s->frame_size) * static_cast<uint32_t>(s->frame_size);
  if (n == 0 || s->at_end != 0) return 0;
  auto* out = static_cast<uint8_t*>(dest);
  return s->kind == SFILE_LIST ? GetFromList(s, out, n) : Convert(s, out, n);
}

void SFileReset(SFile* s) {
  if (s == nullptr) return;
  SFileReader& r = *s->reader;
  s->frames_out = 0;
  s->frames_in = 0;
  r.out_count = r.in_count = 0;
  r.primed = r.have_next = false;
  s->left = s->right = s->left_acc = s->right_acc = s->left_step = s->right_step = 0;
  if (r.source != nullptr) r.source->Rewind();
  if (r.list != nullptr) {
    r.list->Rewind();
    if (r.entry != nullptr) SFileClose(r.entry);
    r.entry = nullptr;
    r.skip_left = r.skip_total;
  }
  s->remaining = s->length;
  s->at_end = s->length == 0 ? 1 : 0;
  EmptyBuffer(s);
}

void SFileClose(SFile* s) {
  if (s != nullptr) FreeRecord(s);
}

void SFileCommandLine(char* line, int32_t* rate, int32_t* bits, int32_t* channels, int32_t* start, int32_t* end,
                      int32_t* track, uint32_t* raw_code, uint32_t* raw_skip) {
  if (line == nullptr) return;
  const int32_t r = GetSwitchNum(line, 'R', 0);
  const int32_t b = GetSwitchNum(line, 'B', 0);
  const int32_t c = GetSwitchNum(line, 'C', 0);
  const int32_t s = GetSwitchNum(line, 'S', 0);
  const int32_t e = GetSwitchNum(line, 'E', 0);
  const int32_t t = GetSwitchNum(line, 'T', 0);
  const int32_t y = GetSwitchNum(line, 'Y', 0);
  const int32_t d = GetSwitchNum(line, 'D', 11025);
  uint32_t code = 0;
  uint32_t skip = 0;
  if (y >= 1 && y <= 5) {
    code = static_cast<uint32_t>(y - 1) + 8u * static_cast<uint32_t>(d);
    skip = static_cast<uint32_t>(GetSwitchNum(line, 'K', 0));
  }
  if (rate != nullptr) *rate = r;
  if (bits != nullptr) *bits = b;
  if (channels != nullptr) *channels = c;
  if (start != nullptr) *start = s;
  if (end != nullptr) *end = e;
  if (track != nullptr) *track = t;
  if (raw_code != nullptr) *raw_code = code;
  if (raw_skip != nullptr) *raw_skip = skip;
}

}  // extern "C"
