#include "tools/lib/sound_chunks.h"

#include <algorithm>
#include <vector>

#include "tools/lib/file_bytes.h"
#include "tools/lib/scratch_file.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/tool_run.h"

namespace vidzotools {
namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Where frame i's sound begins, in sample frames: frame 0 at 0, frame i at
// (i x period + lead) x rate, so that the sound runs ahead of the pictures
// by the lead; `period` and `lead` in 1/100000 s.
uint64_t SpanStart(uint64_t i, uint64_t period, uint64_t lead, uint64_t rate) {
  __extension__ using Wide = unsigned __int128;
  return i == 0 ? 0 : static_cast<uint64_t>((Wide{i} * period + lead) * rate / 100000);
}

}  // namespace

uint32_t TrackFormat(const CSFile* c) {
  constexpr uint32_t kCompressed = 0x80000000u, kPresent = 0x40000000u, kSixteen = 0x20000000u,
                     kStereo = 0x10000000u;
  const SFile* s = c->source;
  return (c->raw != 0 ? 0 : kCompressed) | kPresent | (s->bits == 16 ? kSixteen : 0) |
         (s->channels == 2 ? kStereo : 0) | static_cast<uint32_t>(s->rate);
}

bool PackSoundTrack(CSFile* c, uint32_t t, VdzContent& content, uint64_t period, uint64_t& sound_bytes,
                    std::string& error) {
  ScratchFile scratch;
  QELFile* out = scratch.name().empty() ? nullptr : QELFileCreate(1 << 16, scratch.name().c_str());
  if (out == nullptr) {
    error = "cannot make a temporary file for packing sound";
    return false;
  }
  CSFileSetOutput(c, out);
  const uint64_t rate = static_cast<uint32_t>(c->source->rate);
  const uint64_t frame = static_cast<uint32_t>(c->source->frame_size);
  const uint64_t lead = uint64_t{kDefaultSoundLeadMs} * 100;
  struct Placed {
    size_t frame;
    uint32_t start, length, sound;
  };
  std::vector<Placed> placed;
  for (size_t i = 0; i < content.frames.size(); ++i) {
    if (ToolRun::Cancelled()) {
      QELFileClose(out);
      error = "cancelled; nothing was written";
      return false;
    }
    ToolRun::Progress("Mixing frame " + std::to_string(i + 1) + " of " +
                      std::to_string(content.frames.size()) + "...");
    const uint64_t bytes = (SpanStart(i + 1, period, lead, rate) - SpanStart(i, period, lead, rate)) * frame;
    if (bytes == 0) continue;
    if (bytes > 0x7FFFFFF0u) {
      QELFileClose(out);
      error = "the sound of frame " + std::to_string(i) + " is larger than a chunk can hold";
      return false;
    }
    const uint32_t start = QELFileGetPos(out);
    CSFilePut(c, static_cast<uint32_t>(bytes));
    if (c->last_sound_bytes != 0) placed.push_back({i, start, c->last_chunk_bytes, c->last_sound_bytes});
  }
  QELFileFlush(out);
  const bool write_error = out->write_error != 0;
  QELFileClose(out);
  std::vector<uint8_t> packed;
  if (write_error || !ReadFileBytes(scratch.name(), packed)) {
    error = "cannot write the temporary file " + scratch.name();
    return false;
  }
  sound_bytes = 0;
  for (const Placed& p : placed) {
    if (p.length < 8 || uint64_t{p.start} + p.length > packed.size() || Le32(&packed[p.start]) != p.length) {
      error = "packing the sound of frame " + std::to_string(p.frame) + " failed";
      return false;
    }
    VdzAudioChunk chunk;
    chunk.track = t;
    chunk.body.assign(packed.begin() + p.start + 4, packed.begin() + p.start + p.length);
    chunk.decoded_size = c->raw != 0 ? p.length - 4 : p.sound;
    sound_bytes += p.sound;
    auto& audio = content.frames[p.frame].audio;
    const auto at = std::find_if(audio.begin(), audio.end(), [t](const auto& a) { return a.track > t; });
    if (p.frame == 0 && content.has_ring) {
      auto& ring = content.ring.audio;
      ring.insert(std::find_if(ring.begin(), ring.end(), [t](const auto& a) { return a.track > t; }), chunk);
    }
    audio.insert(at, std::move(chunk));
  }
  return true;
}

}  // namespace vidzotools
