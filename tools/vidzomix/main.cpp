// vidzomix: the sound mixer. Writes a copy of a .vdz file whose sound track
// /M holds the sound of another file (any sound input of the utility
// library), compressed by the compressed sound writer, from frame /G on and
// looped with /P; the pictures and the other tracks are copied unchanged.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/lib/sound_chunks.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/tool_run.h"
#include "tools/lib/vdz_reader.h"

namespace {

using vidzotools::ToolRun;

constexpr const char* kUsage =
    "usage: vidzomix FILE.vdz SOUND OUTPUT.vdz [switches]\n"
    "Writes OUTPUT, a copy of FILE.vdz whose sound track /M holds the sound of\n"
    "SOUND (a wave file, headerless PCM with /Y, a .vdz file's track, an AVI\n"
    "file's sound, a list file .lst or a numbered sequence); the pictures and\n"
    "the other tracks are copied unchanged, a track already there is replaced.\n"
    "Switches:\n"
    "  /Mn        the track to fill, 1 to 7 (default 1)\n"
    "  /Gn        the frame at which the sound begins (default 0, the first)\n"
    "  /P         loop the sound to the end of the video\n"
    "  /Ln        lossy level 0 (lossless, the default) to 9\n"
    "  /Fn        frame rate: n frames per second (n from -1500 to -1: -n\n"
    "             milliseconds per frame; below -1500: -n in 1/100000 s)\n"
    "  /Rn        sample rate of the track (default: the sound's)\n"
    "  /Bn        bits per sample of the track, 8 or 16 (default: the sound's)\n"
    "  /Cn        channels of the track, 1 or 2 (default: the sound's)\n"
    "  /Tn        the sound's track of a .vdz file or stream of an AVI file\n"
    "  /Sn /En    start and end of the sound in milliseconds (-n: video\n"
    "             frame n of a .vdz or AVI sound file)\n"
    "  /Yn        SOUND is headerless PCM: 1 8-bit mono, 2 8-bit stereo,\n"
    "             3 16-bit mono, 4 16-bit stereo, 5 data that is not sound\n"
    "             (8-bit mono, stored uncompressed)\n"
    "  /Dn        sample rate of headerless PCM (default 11025)\n"
    "  /Kn        bytes to skip at the start of headerless PCM\n"
    "  /O         overwrite an existing output without asking\n"
    "Ends with a one-line summary; exit status 0 on success, 1 on failure,\n"
    "2 for a usage error.\n";

constexpr platform::SwitchDef kSwitches[] = {
    {'M', platform::SwitchKind::kNumber}, {'G', platform::SwitchKind::kNumber},
    {'P', platform::SwitchKind::kFlag},   {'L', platform::SwitchKind::kNumber},
    {'F', platform::SwitchKind::kNumber}, {'R', platform::SwitchKind::kNumber},
    {'B', platform::SwitchKind::kNumber}, {'C', platform::SwitchKind::kNumber},
    {'T', platform::SwitchKind::kNumber}, {'S', platform::SwitchKind::kNumber},
    {'E', platform::SwitchKind::kNumber}, {'Y', platform::SwitchKind::kNumber},
    {'D', platform::SwitchKind::kNumber}, {'K', platform::SwitchKind::kNumber},
    {'O', platform::SwitchKind::kFlag},   {'#', platform::SwitchKind::kNumber}};

constexpr uint32_t kPresent = 0x40000000u;

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "vidzomix: %s (see --help)\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return 2;
}

void RemoveTrack(vidzotools::VdzContent& content, uint32_t t) {
  auto drop = [t](vidzotools::VdzFrame& f) {
    std::erase_if(f.audio, [t](const vidzotools::VdzAudioChunk& a) { return a.track == t; });
  };
  for (auto& f : content.frames) drop(f);
  drop(content.ring);
  content.audio_format[t] = 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "vidzomix", kUsage)) return 0;
  ToolRun run("vidzomix");
  std::vector<char> line;
  if (!run.CommandLine(argc, argv, kSwitches, line)) return 2;
  char* cmd = line.data();
  int32_t lossy, loop, rate, bits, channels, start, end, track_in;
  uint32_t raw_code, raw_skip;
  CSFileCommandline(cmd, &lossy, &loop, &rate, &bits, &channels, &start, &end, &track_in, &raw_code,
                    &raw_skip);
  const int32_t track = GetSwitchNum(cmd, 'M', 1);
  const int32_t frame_rate = GetSwitchNum(cmd, 'F', 0);
  const int32_t begin = GetSwitchNum(cmd, 'G', 0);
  const bool overwrite_ok = GetSwitch(cmd, 'O') != 0;
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  std::vector<char> vdz(line.size()), sound(line.size()), output(line.size() + 4);
  GetAndRemoveFirstQuoted(vdz.data(), cmd);
  GetAndRemoveFirstQuoted(sound.data(), cmd);
  GetAndRemoveFirstQuoted(output.data(), cmd);
  Trim(cmd);
  if (vdz[0] == '\0' || sound[0] == '\0' || output[0] == '\0')
    return Usage("expected a .vdz file, a sound and an output name");
  if (cmd[0] != '\0') return Usage((std::string("unknown switch or extra name: ") + cmd).c_str());
  if (track < 1 || track > 7) return Usage("/M takes a track from 1 to 7");
  if (lossy < 0 || lossy > 9) return Usage("/L takes a level from 0 to 9");
  if (begin < 0) return Usage("/G takes a frame number from 0");
  if (bits != 0 && bits != 8 && bits != 16) return Usage("/B takes 8 or 16");
  if (channels < 0 || channels > 2) return Usage("/C takes 1 or 2");
  if (rate < 0 || rate > 0xFFFFFF) return Usage("/R takes a rate in Hz, at most 16777215");
  std::string source = vdz.data();
  if (HasExtension(source.c_str()) == nullptr) source += ".vdz";
  std::string target = output.data();
  if (HasExtension(target.c_str()) == nullptr) target += ".vdz";
  if (CheckForDup(source.c_str(), target.c_str()) == 0 || CheckForDup(sound.data(), target.c_str()) == 0)
    return 1;
  run.Start(front_end, "VidzoMix",
            vidzotools::BaseName(sound.data()) + " into " + vidzotools::BaseName(target));
  const uint64_t started = vidzotools::NowMs();

  vidzotools::VdzContent content;
  std::string error;
  if (!vidzotools::ReadVdzContent(source, content, error)) return run.Finish("vidzomix: " + error, 1);
  if (frame_rate != 0) content.frame_rate = -MakeFrameRate(frame_rate);
  const uint64_t period = vidzotools::FramePeriodUnits(content.frame_rate);
  if (period == 0)
    return run.Finish("vidzomix: " + source + " is untimed (frame rate 0); give one with /F", 1);
  const uint64_t lead_ms =
      std::min<uint64_t>(uint64_t{static_cast<uint32_t>(begin)} * period / 100, 0xFFFFFFFFu);
  // Looped, the sound fills the video and the lead that runs ahead of it.
  const uint64_t video_ms = content.frames.size() * period / 100 + vidzotools::kDefaultSoundLeadMs;
  std::unique_ptr<CSFile, vidzotools::CSFileCloser> c(CSFileOpen(
      sound.data(), lossy, loop, 0, static_cast<uint32_t>(lead_ms),
      loop != 0 ? static_cast<uint32_t>(std::min<uint64_t>(video_ms, 0xFFFFFFFFu)) : 0, rate, bits, channels, start,
      end, track_in, raw_code, raw_skip, ToolRun::Message));
  if (c == nullptr) {
    const std::string why =
        run.LastError().empty() ? "cannot read sound from " + std::string(sound.data()) : run.LastError();
    return run.Finish("vidzomix: " + why, 1);
  }
  const SFile* s = c->source;
  if (s->rate <= 0 || s->rate > 0xFFFFFF)
    return run.Finish("vidzomix: a track's sample rate is at most 16777215 Hz", 1);
  const uint32_t t = static_cast<uint32_t>(track - 1);
  const bool replaced = (content.audio_format[t] & kPresent) != 0;
  RemoveTrack(content, t);
  content.audio_format[t] = vidzotools::TrackFormat(c.get());
  uint64_t sound_bytes = 0;
  if (!vidzotools::PackSoundTrack(c.get(), t, content, period, sound_bytes, error))
    return run.Finish("vidzomix: " + error, 1);
  const uint32_t chunk_bytes = c->total_chunk_bytes;
  const int32_t out_rate = s->rate, out_bits = s->bits, out_channels = s->channels;
  c.reset();

  if (!overwrite_ok && overwrite(target.c_str()) == 0)
    return run.Finish("vidzomix: " + target + " was not overwritten", 1);
  if (!vidzotools::ReplaceVdzFile(target, content, error)) return run.Finish("vidzomix: " + error, 1);
  char done[640];
  std::snprintf(
      done, sizeof done,
      "%llu bytes of sound (%i Hz, %i-bit %s) %s track %i of %s as %u bytes, from frame %i%s, in %s.",
      static_cast<unsigned long long>(sound_bytes), out_rate, out_bits, out_channels == 2 ? "stereo" : "mono",
      replaced ? "replace" : "fill", track, vidzotools::BaseName(target).c_str(), chunk_bytes, begin,
      loop != 0 ? ", looped" : "", vidzotools::ElapsedSince(started).c_str());
  return run.Finish(done, 0);
}
