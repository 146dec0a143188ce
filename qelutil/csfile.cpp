// CSFile: the sound of an SFile as the sound chunks of a .vdz track, one
// block per call, with leading silence, a pass length, the source restarted
// when it runs short and passes repeated, written through the sound packer.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "qelutil/sound_pack.h"

namespace {

uint32_t FrameBytes(const SFile* s) {
  return static_cast<uint32_t>(s->frame_size);
}

uint64_t OutputBytesPerSecond(const SFile* s) {
  return uint64_t{static_cast<uint32_t>(s->rate)} * FrameBytes(s);
}

uint32_t Clamp32(uint64_t v) {
  return static_cast<uint32_t>(std::min<uint64_t>(v, 0xFFFFFFFFu));
}

// Milliseconds as output bytes, rounded up to whole frames.
uint32_t MsToBytes(const SFile* s, uint32_t ms) {
  const uint32_t frame = FrameBytes(s);
  const uint64_t bytes = uint64_t{ms} * OutputBytesPerSecond(s) / 1000;
  return Clamp32((bytes + frame - 1) / frame * frame);
}

// The source's trimmed length as output bytes, rounded down to whole frames.
uint32_t SourceOutputBytes(const SFile* s) {
  const uint64_t in = uint64_t{static_cast<uint32_t>(s->source_rate)} * static_cast<uint32_t>(s->source_frame_size);
  if (in == 0) return 0;
  const uint64_t bytes = uint64_t{s->length} * OutputBytesPerSecond(s) / in;
  return Clamp32(bytes / FrameBytes(s) * FrameBytes(s));
}

// Reads until `n` bytes came or the source reports its end.
uint32_t ReadSource(SFile* s, uint8_t* dest, uint32_t n) {
  uint32_t got = 0;
  while (got < n && s->at_end == 0) {
    const uint32_t k = SFileGet(s, dest + got, n - got);
    if (k == 0) break;
    got += k;
  }
  return got;
}

// Fills `block` (already holding silence) for CSFilePut; the bytes placed.
uint32_t Gather(CSFile* c, uint8_t* block, uint32_t r) {
  const uint32_t frame = FrameBytes(c->source);
  uint32_t got = 0;
  uint32_t n = std::min(r, c->length_left);
  for (;;) {
    const uint32_t pass_start = got;
    const uint32_t lead = std::min(c->lead_left, n);
    c->lead_left -= lead;
    c->length_left -= lead;
    n -= lead;
    got += lead;
    bool restarted = false;
    while (n != 0) {
      const uint32_t k = ReadSource(c->source, block + got, n);
      n -= k;
      c->length_left -= k;
      got += k;
      if (n == 0 || c->repeat_source == 0 || c->length_left == 0) break;
      // A restart that brought nothing: the source holds no sound.
      if (restarted && k == 0) break;
      SFileReset(c->source);
      restarted = true;
    }
    if (n != 0 && c->length_left != 0) {
      const uint32_t silence = std::min(c->length_left, n);
      c->length_left -= silence;
      got += silence;
      n -= silence;
    }
    if (c->length_left != 0 || got >= r || c->loop_all == 0) break;
    if (c->length_total == 0 || got == pass_start) break;
    SFileReset(c->source);
    c->lead_left = c->lead_total;
    c->length_left = c->length_total;
    n = std::min(c->length_left, (r - got) / frame * frame);
    if (n == 0) break;
  }
  return got;
}

}  // namespace

extern "C" {

CSFile* CSFileOpen(const char* name, int32_t lossy, int32_t repeat_source, int32_t loop_all, uint32_t lead_ms,
                   uint32_t length_ms, int32_t rate, int32_t bits, int32_t channels, int32_t start, int32_t end,
                   int32_t track, uint32_t raw_code, uint32_t raw_skip, QELMessageFunc message) {
  auto* c = static_cast<CSFile*>(qelmalloc(sizeof(CSFile)));
  if (c == nullptr) return nullptr;
  std::memset(c, 0, sizeof(CSFile));
  if (raw_code != 0) {
    rate = static_cast<int32_t>(raw_code >> 3);
    bits = 0;
    channels = 0;
    c->raw = (raw_code & 4) != 0 ? 1 : 0;
  }
  c->source = SFileOpen(name, rate, bits, channels, start, end, track, raw_code, raw_skip, message);
  if (c->source == nullptr) {
    qelfree(c);
    return nullptr;
  }
  for (Huff*& t : c->trees) {
    t = HuffOpen(1);
    if (t == nullptr) {
      CSFileClose(c);
      return nullptr;
    }
  }
  const SFile* s = c->source;
  const bool sixteen = s->bits == 16;
  c->fill = sixteen ? 0 : 0x80808080u;
  c->lead_total = c->lead_left = MsToBytes(s, lead_ms);
  // The whole source plays after the silence; a length in milliseconds
  // counts the silence in.
  if (length_ms == 0 || c->raw != 0)
    c->length_total = Clamp32(uint64_t{SourceOutputBytes(s)} + c->lead_total);
  else
    c->length_total = MsToBytes(s, length_ms);
  c->length_left = c->length_total;
  const qelutil::SoundLossy level = qelutil::SoundLossyLevel(static_cast<uint32_t>(std::max(lossy, 0)), sixteen);
  c->delta_mask = level.delta_mask;
  c->error_limit = level.error_limit;
  c->repeat_source = repeat_source;
  c->loop_all = loop_all;
  return c;
}

void CSFileSetOutput(CSFile* c, QELFile* output) {
  if (c == nullptr) return;
  c->output = output;
  for (Huff* t : c->trees)
    if (t != nullptr) HuffSetOutput(t, output);
}

void CSFilePut(CSFile* c, uint32_t block_bytes) {
  if (c == nullptr || c->source == nullptr) return;
  c->last_sound_bytes = 0;
  c->last_chunk_bytes = 0;
  const uint32_t frame = FrameBytes(c->source);
  const uint32_t r = frame == 0 ? 0 : block_bytes / frame * frame;
  if (r == 0 || c->output == nullptr) return;
  std::vector<uint8_t> block;
  try {
    block.assign(r, static_cast<uint8_t>(c->fill & 0xFF));
  } catch (const std::bad_alloc&) {
    return;
  }
  const uint32_t got = Gather(c, block.data(), r);
  if (got == 0) return;
  const bool sixteen = c->source->bits == 16;
  const bool stereo = c->source->channels == 2;
  uint32_t length;
  if (c->raw != 0) {
    length = qelutil::PutRawSoundChunk(c->output, block.data(), got, sixteen, stereo);
  } else {
    const qelutil::SoundLossy lossy{c->delta_mask, c->error_limit};
    length = qelutil::PutPackedSoundChunk(c->output, c->trees, block.data(), got, sixteen, stereo, lossy);
  }
  c->last_sound_bytes = got;
  c->last_chunk_bytes = length;
  c->total_sound_bytes += got;
  c->total_chunk_bytes += length;
}

void CSFileClose(CSFile* c) {
  if (c == nullptr) return;
  if (c->source != nullptr) SFileClose(c->source);
  for (Huff* t : c->trees)
    if (t != nullptr) HuffClose(t);
  std::memset(c, 0, sizeof(CSFile));
  qelfree(c);
}

void CSFileCommandline(char* line, int32_t* lossy, int32_t* loop, int32_t* rate, int32_t* bits, int32_t* channels,
                       int32_t* start, int32_t* end, int32_t* track, uint32_t* raw_code, uint32_t* raw_skip) {
  if (line == nullptr) return;
  const int32_t l = GetSwitchNum(line, 'L', 0);
  const int32_t p = GetSwitch(line, 'P');
  if (lossy != nullptr) *lossy = l;
  if (loop != nullptr) *loop = p;
  SFileCommandLine(line, rate, bits, channels, start, end, track, raw_code, raw_skip);
}

}  // extern "C"
