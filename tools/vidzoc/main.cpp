// vidzoc: the compressor. Reads any frame source the utility library knows
// and writes a .vdz file, losslessly or to a data rate, a frame size or an
// error, with the input's palettes (or computed ones) and its sound.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "qelutil/qelutil.h"
#include "tools/lib/compressor.h"
#include "tools/lib/frame_indexer.h"
#include "tools/lib/lossy_coder.h"
#include "tools/lib/shared_palette.h"
#include "tools/lib/sound_chunks.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/tool_run.h"

namespace {

using namespace vidzotools;

// An output named as a flic, AVI, picture or wave file: the compressor
// writes .vdz data only, which would be mislabelled under such a name.
bool IsOtherFormatName(const std::string& name) {
  const char* dot = HasExtension(name.c_str());
  if (dot == nullptr) return false;
  std::string ext(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  static const char* const kOthers[] = {"flc", "fli", "avi", "bmp", "dib", "jpg", "jpeg", "tga",
                                        "tif", "tiff", "pcx", "gif", "png", "ppm", "wav"};
  return std::any_of(std::begin(kOthers), std::end(kOthers), [&](const char* e) { return ext == e; });
}

constexpr const char* kUsage =
    "usage: vidzoc INPUT OUTPUT[.vdz] [switches]\n"
    "       vidzoc --help | --version\n"
    "Compresses the frames of INPUT (a still image, a numbered sequence such as\n"
    "pic??.png or \"pic??.png*8-11\", a list file .lst, an animated GIF, a flic,\n"
    "an AVI file, a .vdz file or a raw frame file) into the .vdz file OUTPUT,\n"
    "with the sound of an AVI or .vdz input.\n"
    "Coding (the same values for /N and /K):\n"
    "  /Nn        regular frames: 0 lossless (default); 1 to 100 an error of at\n"
    "             most n %; above 100 a data rate of n bytes per second over\n"
    "             every second; -p a frame of p % of the average lossless frame;\n"
    "             -(p+400) p % of the frame's own lossless size\n"
    "  /Kn        key frames (default: as /N)\n"
    "  /An        a key frame where more than n % of the picture changes\n"
    "             (0, the default: never)\n"
    "  /Jn        a key frame at least every n frames (default: only the first)\n"
    "  /@*FILE    frame-specific settings: lines \"FRAME /switches\" that change\n"
    "             /N, /K, /A and /J from that frame on (see the manual)\n"
    "Frames:\n"
    "  /Sn /En    first and last frame, 1-based (default: all)\n"
    "  /Xn /Yn    crop offset into the source (default 0)\n"
    "  /Wn /Hn    size of the frames (default: the source's)\n"
    "  /Fn        frame rate: n frames per second (n from -1500 to -1: -n\n"
    "             milliseconds per frame; below -1500: -n in 1/100000 s)\n"
    "  /V         skip every other frame (the frame time doubles)\n"
    "  /G         add a ring frame, so that looping needs no jump to frame 0\n"
    "  /Z1        interlaced: every other row stored, shown on every other row\n"
    "  /Z2        doubled: every other row stored, shown twice\n"
    "Palette (as vizodov):\n"
    "  /Qn        palette colours to compute (default 256)\n"
    "  /In        first palette entry to use (default (256 - Q) / 2)\n"
    "  /Pn        palette: 0 the source's (computed for true-colour input),\n"
    "             1 compute new palettes, 2 also start one where the source's\n"
    "             palette changes\n"
    "  /Un        a new palette at least every n frames (default: one for all)\n"
    "  /Dn        system colours: 0 kept out of the computed range, 1 also\n"
    "             forced into the palette, 2 not used\n"
    "  /Tn        halftoning of true-colour input: 1 always, 0 or 2 never\n"
    "  /&NAME     take the palette from the colours of NAME\n"
    "Sound (from an AVI or .vdz input):\n"
    "  /Ln        lossy level 0 (lossless, the default) to 9; -1 no sound\n"
    "  /Rn /Bn /Cn  output rate in Hz, bits (8, 16), channels (1, 2)\n"
    "             (default: the input's)\n"
    "  /M         keep every sound track of a .vdz input on its own track\n"
    "             (default: only the first track with sound)\n"
    "  /O         overwrite OUTPUT without asking\n"
    "When all frames fit one palette of 256 colours the file carries that one\n"
    "palette. Widths and heights are rounded up to multiples of 4 (8 with /Z)\n"
    "by repeating the last column and row. The file is written under a\n"
    "temporary name and renamed when complete; a summary line ends the run.\n"
    "Exit status 0 on success, 1 on failure or cancel, 2 for a usage error.\n";

volatile std::sig_atomic_t cancel_requested = 0;

void OnSignal(int) {
  cancel_requested = 1;
}

// A terminate signal, or Cancel in the status window (on a terminal, Ctrl-C
// asks there first).
bool StopAsked() {
  return cancel_requested != 0 || ToolRun::Cancelled();
}

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "vidzoc: %s (see --help)\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return 2;
}

constexpr platform::SwitchDef kSwitches[] = {
    {'N', platform::SwitchKind::kNumber}, {'K', platform::SwitchKind::kNumber},
    {'A', platform::SwitchKind::kNumber}, {'J', platform::SwitchKind::kNumber},
    {'Z', platform::SwitchKind::kNumber}, {'M', platform::SwitchKind::kFlag},
    {'V', platform::SwitchKind::kFlag},   {'G', platform::SwitchKind::kFlag},
    {'S', platform::SwitchKind::kNumber}, {'E', platform::SwitchKind::kNumber},
    {'F', platform::SwitchKind::kNumber}, {'X', platform::SwitchKind::kNumber},
    {'Y', platform::SwitchKind::kNumber}, {'W', platform::SwitchKind::kNumber},
    {'H', platform::SwitchKind::kNumber}, {'L', platform::SwitchKind::kNumber},
    {'R', platform::SwitchKind::kNumber}, {'B', platform::SwitchKind::kNumber},
    {'C', platform::SwitchKind::kNumber}, {'Q', platform::SwitchKind::kNumber},
    {'I', platform::SwitchKind::kNumber}, {'T', platform::SwitchKind::kNumber},
    {'P', platform::SwitchKind::kNumber}, {'D', platform::SwitchKind::kNumber},
    {'U', platform::SwitchKind::kNumber}, {'&', platform::SwitchKind::kString},
    {'O', platform::SwitchKind::kFlag},   {'#', platform::SwitchKind::kNumber}};

// Takes "/@" and the rest of its argument (a name, which holds "/") out of
// the arguments: the frame-specific settings file, without its leading "*".
std::string TakeSettingsFile(std::vector<std::string>& args) {
  std::string file;
  for (std::string& a : args) {
    const size_t at = a.find("/@");
    if (at == std::string::npos) continue;
    if (at != 0 && !platform::IsSwitchArgument(a.substr(0, at), kSwitches)) continue;
    file = a.substr(at + 2);
    if (!file.empty() && file[0] == '*') file.erase(0, 1);
    a.erase(at);
  }
  std::erase(args, std::string());
  return file;
}

// Every other row (the even ones) when `half`, then the picture grown to
// out_width x out_height by repeating its last column and row. 8-bit pixels
// stay indices; 32-bit ones (0x00RRGGBB) become red, green, blue.
std::vector<uint8_t> Fit(const uint8_t* pixels, int32_t pitch, bool true_colour, uint32_t width,
                         uint32_t height, bool half, uint32_t out_width, uint32_t out_height) {
  const size_t out_bytes = true_colour ? 3 : 1;
  std::vector<uint8_t> out(static_cast<size_t>(out_width) * out_height * out_bytes);
  const uint32_t rows = half ? (height + 1) / 2 : height;
  for (uint32_t y = 0; y < out_height; ++y) {
    const uint32_t sy = std::min(y, rows - 1) * (half ? 2 : 1);
    const uint8_t* src = pixels + static_cast<size_t>(sy) * static_cast<uint32_t>(pitch);
    uint8_t* dst = &out[static_cast<size_t>(y) * out_width * out_bytes];
    for (uint32_t x = 0; x < out_width; ++x) {
      const uint32_t sx = std::min(x, width - 1);
      if (true_colour) {
        dst[3 * x] = src[4 * sx + 2];
        dst[3 * x + 1] = src[4 * sx + 1];
        dst[3 * x + 2] = src[4 * sx];
      } else {
        dst[x] = src[sx];
      }
    }
  }
  return out;
}

uint32_t RoundUp(uint32_t v, uint32_t unit) {
  return (v + unit - 1) / unit * unit;
}

// Gives frames whose colours do not fit one palette palettes that keep the
// slots of unchanged colours from frame to frame.
bool IndexByColour(std::vector<AnimationFrame>& frames, std::string& error) {
  FrameIndexer indexer;
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i < frames.size(); ++i) {
    AnimationFrame& f = frames[i];
    rgb.resize(f.pixels.size() * 3);
    for (size_t p = 0; p < f.pixels.size(); ++p)
      for (int k = 0; k < 3; ++k) rgb[3 * p + k] = f.palette[3 * f.pixels[p] + k];
    const bool key = f.key;
    if (!indexer.Next(rgb.data(), f.pixels.size(), f, error)) {
      error = "frame " + std::to_string(i + 1) + ": " + error;
      return false;
    }
    f.key = key;
  }
  return true;
}

class ProgressLine {
 public:
  // The frame period in 1/100000 s, for the data rate so far.
  void SetPeriod(uint64_t period) { period_ = period; }
  bool Show(const char* phase, size_t done, size_t total, double bytes = 0) {
    if (StopAsked()) return false;
    const uint64_t now = NowMs();
    if (now - last_ < 200 && done != total) return true;
    last_ = now;
    if (phase != phase_) {
      phase_ = phase;
      phase_start_ = now;
    }
    char text[200], rate[64] = "";
    const double spent = static_cast<double>(now - phase_start_) / 1000.0;
    const double left = done == 0 ? 0 : spent * static_cast<double>(total - done) / static_cast<double>(done);
    if (bytes > 0 && done > 0 && period_ > 0)
      std::snprintf(rate, sizeof rate, ", %.0f bytes/s so far",
                    bytes * 100000.0 / static_cast<double>(period_ * done));
    std::snprintf(text, sizeof text, "%s: frame %zu of %zu%s, %.0f s left in this step", phase, done, total,
                  rate, left);
    ToolRun::Message(text, 0);
    return !StopAsked();
  }

 private:
  uint64_t last_ = 0;
  uint64_t period_ = 0;
  uint64_t phase_start_ = 0;
  const char* phase_ = nullptr;
};

std::string WithThousands(uint64_t v) {
  std::string digits = std::to_string(v), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  if (AnswerHelpOrVersion(argc, argv, "vidzoc", kUsage)) return 0;
  ToolRun run("vidzoc");
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string settings_file = TakeSettingsFile(args);
  std::vector<const char*> arg_ptrs{argv[0]};
  for (const std::string& a : args) arg_ptrs.push_back(a.c_str());
  std::vector<char> line;
  if (!run.CommandLine(static_cast<int>(arg_ptrs.size()), const_cast<char**>(arg_ptrs.data()), kSwitches,
                       line))
    return 2;
  char* cmd = line.data();
  int32_t x, y, w, h, first, last, per_palette, first_entry, count;
  uint8_t palette_mode, system_colours, halftone;
  char palette_file[256];
  GFileCommandLine(cmd, &x, &y, &w, &h, &first, &last, &palette_mode, &per_palette, &first_entry, &count,
                   &system_colours, &halftone, palette_file);
  CompressOptions options;
  options.settings.regular = GetSwitchNum(cmd, 'N', 0);
  options.settings.key = GetSwitchNum(cmd, 'K', options.settings.regular);
  options.settings.auto_key = GetSwitchNum(cmd, 'A', 0);
  options.settings.key_every = GetSwitchNum(cmd, 'J', 0);
  const int32_t height_mode = GetSwitchNum(cmd, 'Z', 0);
  const bool all_tracks = GetSwitch(cmd, 'M') != 0;
  const bool every_other = GetSwitch(cmd, 'V') != 0;
  options.ring = GetSwitch(cmd, 'G') != 0;
  const int32_t rate = GetSwitchNum(cmd, 'F', 0);
  const int32_t lossy = GetSwitchNum(cmd, 'L', 0);
  const int32_t sound_rate = GetSwitchNum(cmd, 'R', 0);
  const int32_t sound_bits = GetSwitchNum(cmd, 'B', 0);
  const int32_t sound_channels = GetSwitchNum(cmd, 'C', 0);
  const bool overwrite_ok = GetSwitch(cmd, 'O') != 0;
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  std::vector<char> input(line.size()), output(line.size());
  GetAndRemoveFirstQuoted(input.data(), cmd);
  GetAndRemoveFirstQuoted(output.data(), cmd);
  Trim(cmd);
  if (input[0] == '\0' || output[0] == '\0') return Usage("expected an input and an output name");
  if (cmd[0] != '\0') return Usage((std::string("unknown switch or extra name: ") + cmd).c_str());
  std::string error;
  if (!CheckRateValue(options.settings.regular, 'N', error) ||
      !CheckRateValue(options.settings.key, 'K', error))
    return Usage(error.c_str());
  if (options.settings.auto_key < 0 || options.settings.auto_key > 100) return Usage("/A takes 0 to 100");
  if (options.settings.key_every < 0) return Usage("/J takes a frame count from 0");
  if (height_mode < 0 || height_mode > 2) return Usage("/Z takes 1 (interlaced) or 2 (doubled)");
  if (lossy < -1 || lossy > 9) return Usage("/L takes -1 (no sound) or a lossy level from 0 to 9");
  if (palette_mode > 2) return Usage("/P takes 0, 1 or 2");
  if (system_colours > 2) return Usage("/D takes 0, 1 or 2");
  if (halftone > 2) return Usage("/T takes 0, 1 or 2");
  if (sound_bits != 0 && sound_bits != 8 && sound_bits != 16) return Usage("/B takes 8 or 16");
  if (sound_channels < 0 || sound_channels > 2) return Usage("/C takes 1 or 2");
  if (sound_rate < 0 || sound_rate > 0xFFFFFF) return Usage("/R takes a rate up to 16777215 Hz");

  std::string target = output.data();
  if (HasExtension(target.c_str()) == nullptr) target += ".vdz";
  if (IsOtherFormatName(target))
    return run.Finish("vidzoc: " + target +
                          ": vidzoc writes .vdz files only; vizodov converts them to flic, AVI and picture files",
                      1);
  if (CheckForDup(input.data(), target.c_str()) == 0)
    return run.Finish("vidzoc: the output must be another file than the input", 1);
  if (!settings_file.empty()) {
    std::ifstream in(settings_file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) return run.Finish("vidzoc: cannot read the frame-specific settings " + settings_file, 1);
    if (!ParseFrameSettings(text.str(), options.changes, error))
      return run.Finish("vidzoc: " + settings_file + ": " + error, 1);
  }
  if (!overwrite_ok && overwrite(target.c_str()) == 0)
    return run.Finish("vidzoc: " + target + " was not overwritten", 1);

  const uint64_t started = NowMs();
  // The status window's terminal face takes Ctrl-C over while it is open.
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  run.Start(front_end);
  ProgressLine progress;
  auto cancelled = [&]() { return run.Finish("vidzoc: cancelled; nothing was written", 1); };

  // The input's own colours are kept exactly when no palette is asked for:
  // its frames are read as true colour and indexed here, each frame's
  // colours in the slots they held before. A source with more than 256
  // colours in a frame is read again through the palette reducer.
  const bool half = height_mode != 0;
  uint32_t width = 0, height = 0;
  int32_t input_kind = 0, frame_rate = 0;
  std::vector<AnimationFrame> frames;
  enum class Read { kDone, kFailed, kCancelled, kTooManyColours };
  auto read_frames = [&](bool exact) {
    frames.clear();
    GFile* g =
        GFileOpen(input.data(),
                  exact           ? GFILE_TRUE_COLOUR
                  : halftone == 1 ? GFILE_HALFTONE
                                  : 0,
                  x, y, w, h, first, last, palette_mode, per_palette, first_entry, count, system_colours, 0,
                  palette_file[0] != '\0' ? palette_file : nullptr, "Reading", ToolRun::Message);
    if (g == nullptr) {
      error = run.LastError().empty() ? "cannot read " + std::string(input.data()) : run.LastError();
      return Read::kFailed;
    }
    const uint32_t in_width = static_cast<uint32_t>(g->width), in_height = static_cast<uint32_t>(g->height);
    width = RoundUp(in_width, 4);
    height = RoundUp(half ? (in_height + 1) / 2 : in_height, 4);
    input_kind = g->kind;
    frame_rate = rate != 0 ? -MakeFrameRate(rate) : g->frame_rate;
    FrameIndexer indexer;
    Read result = Read::kDone;
    const int32_t total = g->frames;
    for (int32_t i = 0; i < total && result == Read::kDone; ++i) {
      if (!progress.Show("Reading", static_cast<size_t>(i), static_cast<size_t>(total))) {
        result = Read::kCancelled;
      } else if (GFileGet(g) == 0) {
        error =
            run.LastError().empty() ? "reading frame " + std::to_string(i + 1) + " failed" : run.LastError();
        result = Read::kFailed;
      } else if (!every_other || i % 2 == 0) {
        AnimationFrame f;
        if (g->true_colour != 0) {
          const std::vector<uint8_t> rgb =
              Fit(g->pixels, g->pitch, true, in_width, in_height, half, width, height);
          std::string too_many;
          if (!indexer.Next(rgb.data(), rgb.size() / 3, f, too_many)) result = Read::kTooManyColours;
        } else {
          f.pixels = Fit(g->pixels, g->pitch, false, in_width, in_height, half, width, height);
          std::memcpy(f.palette.data(), g->palette, 768);
        }
        frames.push_back(std::move(f));
      }
    }
    GFileClose(g);
    return result;
  };
  const bool keep_colours = palette_mode == 0 && palette_file[0] == '\0';
  Read read = read_frames(keep_colours);
  if (read == Read::kTooManyColours) read = read_frames(false);
  if (read == Read::kCancelled) return cancelled();
  if (read == Read::kFailed) return run.Finish("vidzoc: " + error, 1);
  if (frames.empty()) return run.Finish("vidzoc: " + std::string(input.data()) + " has no frames", 1);
  if (every_other && FramePeriodUnits(frame_rate) != 0)
    frame_rate = -static_cast<int32_t>(std::min<uint64_t>(FramePeriodUnits(frame_rate) * 2, 0x7FFFFFFF));

  const bool one_palette = ShareOnePalette(frames);
  if (!one_palette && !IndexByColour(frames, error)) return run.Finish("vidzoc: " + error, 1);

  // The input's sound, packed into the frames it goes with.
  VdzContent sound;
  std::string sound_note;
  const uint64_t period = FramePeriodUnits(frame_rate);
  if (lossy >= 0 && (input_kind == GFILE_AVI || input_kind == GFILE_VDZ)) {
    sound.frames.resize(frames.size());
    sound.has_ring = options.ring;
    const int last_track = all_tracks && input_kind == GFILE_VDZ ? 7 : 1;
    for (int t = 1; t <= last_track; ++t) {
      std::unique_ptr<CSFile, CSFileCloser> c(CSFileOpen(
          input.data(), lossy, 0, 0, 0, 0, sound_rate, sound_bits, sound_channels, first > 0 ? -first : 0,
          last > 0 ? -last : 0, all_tracks ? t : 0, 0, 0, [](const char*, int32_t) -> uint8_t { return 0; }));
      if (c == nullptr) continue;  // no sound, or no such track
      if (period == 0) {
        sound_note = "; the sound was left out of the untimed file";
        break;
      }
      const uint32_t track = all_tracks ? static_cast<uint32_t>(t - 1) : 0;
      sound.audio_format[track] = TrackFormat(c.get());
      uint64_t bytes = 0;
      if (!PackSoundTrack(c.get(), track, sound, period, bytes, error))
        return run.Finish("vidzoc: " + error, 1);
    }
    for (const VdzFrame& f : sound.frames) options.other_bytes.push_back(RecordSize(f));
  }

  options.frame_rate = frame_rate;
  progress.SetPeriod(period);
  options.progress = [&](const char* phase, size_t done, size_t all, double bytes) {
    return progress.Show(phase, done, all, bytes);
  };
  VdzContent content;
  CompressReport report;
  if (!CompressFrames(width, height, frames, options, content, report, error)) {
    if (StopAsked()) return cancelled();
    return run.Finish("vidzoc: " + error, 1);
  }
  if (!sound.frames.empty()) {
    content.audio_format = sound.audio_format;
    for (size_t i = 0; i < content.frames.size(); ++i)
      content.frames[i].audio = std::move(sound.frames[i].audio);
    if (content.has_ring) content.ring.audio = std::move(sound.ring.audio);
  }
  content.header_flags = height_mode == 1 ? 2u : height_mode == 2 ? 4u : 0u;
  if (StopAsked()) return cancelled();
  if (!ReplaceVdzFile(target, content, error)) return run.Finish("vidzoc: " + error, 1);
  if (report.over_target)
    sound_note += "; some frames stay above their size or data rate, which lies below what they can cost";

  // The summary: sizes, data rates and the quality against the input.
  uint64_t bytes = 0, peak = 0;
  std::vector<uint64_t> records;
  for (const VdzFrame& f : content.frames) records.push_back(RecordSize(f));
  const size_t span = std::min<size_t>(FramesPerSecond(frame_rate), records.size());
  for (size_t s = 0; s + span <= records.size(); ++s) {
    uint64_t sum = 0;
    for (size_t j = s; j < s + span; ++j) sum += records[j];
    peak = std::max(peak, sum);
  }
  for (uint64_t r : records) bytes += r;
  double squared = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    std::array<uint8_t, 768> stored;
    for (size_t k = 0; k < stored.size(); ++k) stored[k] = ExpandComponent(frames[i].palette[k] >> 2);
    squared +=
        MeanSquaredError(frames[i].pixels.data(), report.shown[i].data(), frames[i].pixels.size(), stored);
  }
  squared /= static_cast<double>(frames.size());
  char quality[64];
  if (squared == 0)
    std::snprintf(quality, sizeof quality, "lossless");
  else
    std::snprintf(quality, sizeof quality, "PSNR %.2f dB", 10 * std::log10(255.0 * 255.0 / squared));
  const double seconds = static_cast<double>(period * frames.size()) / 100000.0;
  std::string rates;
  if (seconds > 0) {
    rates = ", " + WithThousands(static_cast<uint64_t>(static_cast<double>(bytes) / seconds)) +
            " bytes/s on average, peak second " + WithThousands(peak) + " bytes";
  }
  char done[768];
  std::snprintf(done, sizeof done,
                "%zu frame%s (%zu key, %s palette%s) written to %s, %s bytes%s, %s%s, in %s.", frames.size(),
                frames.size() == 1 ? "" : "s", report.key_frames, one_palette ? "one" : "changing",
                content.has_ring ? ", ring" : "", BaseName(target).c_str(),
                WithThousands(qelfilesize(target.c_str())).c_str(), rates.c_str(), quality,
                sound_note.c_str(), ElapsedSince(started).c_str());
  return run.Finish(done, 0);
}
