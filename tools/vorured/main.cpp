// vorured: the sound converter. Reads any sound source the utility library
// knows (wave and headerless PCM files, a .vdz file's sound track, an AVI
// file's sound, lists of them) and writes it as a PCM wave file in the rate,
// sample size and channel count asked for.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/lib/tool_run.h"

namespace {

using vidzotools::ToolRun;

constexpr const char* kUsage =
    "usage: vorured INPUT OUTPUT.wav [switches]\n"
    "Converts the sound of INPUT (a wave file, a headerless PCM file with /Y,\n"
    "a .vdz file's sound track, an AVI file's sound, a list file .lst or a\n"
    "numbered sequence such as \"snd??.wav*1-5\") to the PCM wave file OUTPUT\n"
    "(\".wav\" is added to a name without extension).\n"
    "Switches:\n"
    "  /Rn        output sample rate in Hz (default: the input's)\n"
    "  /Bn        output bits per sample, 8 or 16 (default: the input's)\n"
    "  /Cn        output channels, 1 or 2 (default: the input's)\n"
    "  /Tn        sound track of a .vdz file (1 to 7; default the first with\n"
    "             sound) or sound stream of an AVI file\n"
    "  /Sn /En    start and end in milliseconds; -n is video frame n of a\n"
    "             .vdz or AVI file (default: the whole sound)\n"
    "  /Yn        INPUT is headerless PCM: 1 8-bit mono, 2 8-bit stereo,\n"
    "             3 16-bit mono, 4 16-bit stereo\n"
    "  /Dn        sample rate of headerless PCM (default 11025)\n"
    "  /Kn        bytes to skip at the start of headerless PCM\n"
    "  /O         overwrite an existing output without asking\n"
    "Ends with a one-line summary; exit status 0 on success, 1 on failure,\n"
    "2 for a usage error.\n";

constexpr platform::SwitchDef kSwitches[] = {
    {'R', platform::SwitchKind::kNumber}, {'B', platform::SwitchKind::kNumber},
    {'C', platform::SwitchKind::kNumber}, {'T', platform::SwitchKind::kNumber},
    {'S', platform::SwitchKind::kNumber}, {'E', platform::SwitchKind::kNumber},
    {'Y', platform::SwitchKind::kNumber}, {'D', platform::SwitchKind::kNumber},
    {'K', platform::SwitchKind::kNumber}, {'O', platform::SwitchKind::kFlag},
    {'#', platform::SwitchKind::kNumber}};

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "vorured: %s (see --help)\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return 2;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The 44-byte header of a PCM wave file holding `bytes` of sound.
void WaveHeader(uint8_t* h, const SFile* s, uint32_t bytes) {
  const uint32_t align = static_cast<uint32_t>(s->frame_size);
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + bytes + (bytes & 1));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, static_cast<uint32_t>(s->channels));
  Put32(h + 24, static_cast<uint32_t>(s->rate));
  Put32(h + 28, static_cast<uint32_t>(s->rate) * align);
  Put16(h + 32, align);
  Put16(h + 34, static_cast<uint32_t>(s->bits));
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, bytes);
}

// Writes the sound of `s` as a wave file; the sound bytes written, or false
// (also when the user cancels).
bool WriteWave(SFile* s, const std::string& name, uint32_t& written) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return false;
  uint8_t header[44] = {};
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  // A wave file's sizes are 32-bit: the sound stops short of 4 GiB.
  const uint32_t limit =
      (0xFFFFFFFFu - 44) / static_cast<uint32_t>(s->frame_size) * static_cast<uint32_t>(s->frame_size);
  std::vector<uint8_t> buffer(1 << 16);
  written = 0;
  while (ok && s->at_end == 0 && written < limit && !ToolRun::Cancelled()) {
    const uint32_t got =
        SFileGet(s, buffer.data(), std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), limit - written));
    if (got == 0) break;
    ok = std::fwrite(buffer.data(), 1, got, f) == got;
    written += got;
  }
  if (ok && (written & 1) != 0) ok = std::fputc(0, f) != EOF;
  WaveHeader(header, s, written);
  ok = ok && !ToolRun::Cancelled() && std::fseek(f, 0, SEEK_SET) == 0 &&
       std::fwrite(header, 1, sizeof header, f) == sizeof header;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "vorured", kUsage)) return 0;
  ToolRun run("vorured");
  std::vector<char> line;
  if (!run.CommandLine(argc, argv, kSwitches, line)) return 2;
  char* cmd = line.data();
  int32_t rate, bits, channels, start, end, track;
  uint32_t raw_code, raw_skip;
  SFileCommandLine(cmd, &rate, &bits, &channels, &start, &end, &track, &raw_code, &raw_skip);
  const bool overwrite_ok = GetSwitch(cmd, 'O') != 0;
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  std::vector<char> input(line.size()), output(line.size() + 4);
  GetAndRemoveFirstQuoted(input.data(), cmd);
  GetAndRemoveFirstQuoted(output.data(), cmd);
  Trim(cmd);
  if (input[0] == '\0' || output[0] == '\0') return Usage("expected an input and an output name");
  if (cmd[0] != '\0') return Usage((std::string("unknown switch or extra name: ") + cmd).c_str());
  if (bits != 0 && bits != 8 && bits != 16) return Usage("/B takes 8 or 16");
  if (channels < 0 || channels > 2) return Usage("/C takes 1 or 2");
  if (rate < 0) return Usage("/R takes a rate in Hz");
  std::string target = output.data();
  if (HasExtension(target.c_str()) == nullptr) target += ".wav";
  if (CheckForDup(input.data(), target.c_str()) == 0) return 1;
  run.Start(front_end, "VorurEd", vidzotools::BaseName(input.data()) + " to " + vidzotools::BaseName(target));

  const uint64_t started = vidzotools::NowMs();
  SFile* s =
      SFileOpen(input.data(), rate, bits, channels, start, end, track, raw_code, raw_skip, ToolRun::Message);
  if (s == nullptr) {
    const std::string why =
        run.LastError().empty() ? "cannot read sound from " + std::string(input.data()) : run.LastError();
    return run.Finish("vorured: " + why, 1);
  }
  if (!overwrite_ok && overwrite(target.c_str()) == 0) {
    SFileClose(s);
    return run.Finish("vorured: " + target + " was not overwritten", 1);
  }
  const std::string writing = vidzotools::TemporaryBeside(target, "vorured");
  uint32_t bytes = 0;
  const bool ok = WriteWave(s, writing, bytes) && std::rename(writing.c_str(), target.c_str()) == 0;
  const int32_t out_rate = s->rate, out_bits = s->bits, out_channels = s->channels, frame = s->frame_size;
  SFileClose(s);
  if (!ok) {
    std::remove(writing.c_str());
    if (ToolRun::Cancelled()) return run.Finish("vorured: cancelled; " + target + " was not written", 1);
    return run.Finish("vorured: cannot write " + target, 1);
  }
  const uint64_t ms = uint64_t{bytes} / static_cast<uint32_t>(frame) * 1000 / static_cast<uint32_t>(out_rate);
  char length[32];
  GetElapsedTime(length, static_cast<uint32_t>(std::min<uint64_t>(ms, 0xFFFFFFFFu)));
  char done[512];
  std::snprintf(done, sizeof done, "%u bytes of sound (%s, %i Hz, %i-bit %s) written to %s in %s.", bytes,
                length, out_rate, out_bits, out_channels == 2 ? "stereo" : "mono",
                vidzotools::BaseName(target).c_str(), vidzotools::ElapsedSince(started).c_str());
  return run.Finish(done, 0);
}
