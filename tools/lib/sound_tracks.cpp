#include "tools/lib/sound_tracks.h"

#include "qelutil/sound_pack.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/scratch_file.h"

namespace vidzotools {
namespace {

constexpr uint32_t kCompressed = 0x80000000u;
constexpr uint32_t kPresent = 0x40000000u;
constexpr uint32_t kSixteen = 0x20000000u;
constexpr uint32_t kStereo = 0x10000000u;

struct Encoders {
  Huff* trees[4] = {};
  Encoders() {
    for (Huff*& t : trees) t = HuffOpen(1);
  }
  ~Encoders() {
    for (Huff* t : trees)
      if (t != nullptr) HuffClose(t);
  }
  Encoders(const Encoders&) = delete;
  Encoders& operator=(const Encoders&) = delete;
  bool ok() const { return trees[0] && trees[1] && trees[2] && trees[3]; }
};

struct Span {
  size_t frame;
  uint64_t start;  // byte offset in the sound
  uint64_t bytes;
};

// Packs every span into one chunk each and hands the chunks out as the
// writer wants them: the body after the 32-bit length, which the writer puts
// back (the packer's own length field counts the same bytes).
bool PackSpans(const WaveSound& sound, const std::vector<Span>& spans, uint32_t lossy,
               std::vector<VdzAudioChunk>& chunks, std::string& error) {
  ScratchFile file;
  Encoders encoders;
  if (file.name().empty() || !encoders.ok()) {
    error = "cannot make a temporary file for packing sound";
    return false;
  }
  QELFile* out = QELFileCreate(1 << 16, file.name().c_str());
  if (out == nullptr) {
    error = "cannot create the temporary file " + file.name();
    return false;
  }
  const bool sixteen = sound.bits == 16, stereo = sound.channels == 2;
  const qelutil::SoundLossy level = qelutil::SoundLossyLevel(lossy, sixteen);
  std::vector<std::pair<uint32_t, uint32_t>> places;  // start and length in the file
  for (const Span& s : spans) {
    if (s.bytes > 0xFFFFFFF0u) {
      QELFileClose(out);
      error = "the sound of frame " + std::to_string(s.frame) + " is larger than a chunk can hold";
      return false;
    }
    const uint32_t start = QELFileGetPos(out);
    const uint32_t length =
        qelutil::PutPackedSoundChunk(out, encoders.trees, sound.pcm.data() + s.start,
                                     static_cast<uint32_t>(s.bytes), sixteen, stereo, level);
    if (QELFileGetPos(out) < start) {
      QELFileClose(out);
      error = "the packed sound exceeds 4 GiB";
      return false;
    }
    places.emplace_back(start, length);
  }
  QELFileFlush(out);
  const bool write_error = out->write_error != 0;
  QELFileClose(out);
  std::vector<uint8_t> packed;
  if (write_error || !ReadFileBytes(file.name(), packed)) {
    error = "cannot write the temporary file " + file.name();
    return false;
  }
  for (size_t i = 0; i < spans.size(); ++i) {
    const auto [start, length] = places[i];
    if (length < 8 || uint64_t{start} + length > packed.size()) {
      error = "packing the sound of frame " + std::to_string(spans[i].frame) + " failed";
      return false;
    }
    VdzAudioChunk chunk;
    chunk.body.assign(packed.begin() + start + 4, packed.begin() + start + length);
    chunk.decoded_size = static_cast<uint32_t>(spans[i].bytes);
    chunks.push_back(std::move(chunk));
  }
  return true;
}

}  // namespace

uint64_t FramePeriodUnits(int32_t frame_rate) {
  if (frame_rate > 0) return static_cast<uint64_t>(frame_rate) * 100;
  return frame_rate < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(frame_rate)) : 0;
}

std::vector<uint64_t> SoundFrameStarts(uint64_t sample_frames, uint32_t rate, uint64_t period,
                                       size_t frame_count, uint64_t lead) {
  std::vector<uint64_t> starts(frame_count + 1, sample_frames);
  // Once a start reaches the end, all later ones stay there; so
  // (i x period + lead) x rate stays below (sample_frames + 1) x 100000 +
  // period x rate, well within 64 bits for any sound held in memory (a lead
  // of more than the whole sound ends the loop at i = 1).
  for (size_t i = 0; i < frame_count; ++i) {
    const uint64_t at = i == 0 ? 0 : (static_cast<uint64_t>(i) * period + lead) * rate / 100000;
    if (at >= sample_frames) break;
    starts[i] = at;
  }
  return starts;
}

bool AddSoundTrack(VdzContent& content, uint32_t track, const WaveSound& sound,
                   const SoundTrackOptions& options, std::string& error) {
  const uint64_t period = FramePeriodUnits(content.frame_rate);
  if (period == 0) {
    error = "sound needs a timed file (a frame rate other than 0)";
    return false;
  }
  if (track >= content.audio_format.size()) {
    error = "a file has at most " + std::to_string(content.audio_format.size()) + " sound tracks";
    return false;
  }
  if (content.audio_format[track] & kPresent) {
    error = "sound track " + std::to_string(track) + " is already set";
    return false;
  }
  if ((sound.bits != 8 && sound.bits != 16) || (sound.channels != 1 && sound.channels != 2) ||
      sound.rate == 0 || sound.rate > 0xFFFFFFu) {
    error = "sound format not handled";
    return false;
  }
  if (options.lossy > 9) {
    error = "the lossy level is 0 to 9";
    return false;
  }
  if (options.lead_ms > kMaxSoundLeadMs) {
    error = "the sound lead is at most " + std::to_string(kMaxSoundLeadMs) + " milliseconds";
    return false;
  }
  const uint32_t frame_bytes = sound.FrameBytes();
  const std::vector<uint64_t> starts = SoundFrameStarts(
      sound.Frames(), sound.rate, period, content.frames.size(), uint64_t{options.lead_ms} * 100);
  std::vector<Span> spans;
  for (size_t i = 0; i < content.frames.size(); ++i) {
    const uint64_t n = starts[i + 1] - starts[i];
    if (n != 0) spans.push_back({i, starts[i] * frame_bytes, n * frame_bytes});
  }

  std::vector<VdzAudioChunk> chunks;
  if (options.raw) {
    for (const Span& s : spans) {
      if (s.bytes > 0xFFFFFFF0u) {
        error = "the sound of frame " + std::to_string(s.frame) + " is larger than a chunk can hold";
        return false;
      }
      VdzAudioChunk chunk;
      const auto first = sound.pcm.begin() + static_cast<std::ptrdiff_t>(s.start);
      chunk.body.assign(first, first + static_cast<std::ptrdiff_t>(s.bytes));
      chunk.decoded_size = static_cast<uint32_t>(s.bytes);
      chunks.push_back(std::move(chunk));
    }
  } else if (!PackSpans(sound, spans, options.lossy, chunks, error)) {
    return false;
  }

  content.audio_format[track] = (options.raw ? 0 : kCompressed) | kPresent |
                                (sound.bits == 16 ? kSixteen : 0) | (sound.channels == 2 ? kStereo : 0) |
                                sound.rate;
  for (size_t k = 0; k < spans.size(); ++k) {
    chunks[k].track = track;
    if (spans[k].frame == 0 && content.has_ring) content.ring.audio.push_back(chunks[k]);
    content.frames[spans[k].frame].audio.push_back(std::move(chunks[k]));
  }
  return true;
}

}  // namespace vidzotools
