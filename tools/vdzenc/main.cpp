// vdzenc: makes a .vdz animation from a folder of binary PPM pictures, one per
// frame in name order, coding the palette indices losslessly through the
// compressor's core, with sound tracks from wave files.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_info.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/compressor.h"
#include "tools/lib/frame_indexer.h"
#include "tools/lib/ppm.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/tool_run.h"
#include "tools/lib/vdz_writer.h"
#include "tools/lib/wave_reader.h"
#include "tools/lib/whole_number.h"

namespace {

namespace fs = std::filesystem;
using namespace vidzotools;

constexpr const char* kUsage =
    "usage: vdzenc [options] FRAMEDIR OUT.vdz\n"
    "Makes a .vdz animation from the binary PPM pictures (P6, maxval 255) in\n"
    "FRAMEDIR, one per frame in name order. All pictures have the same size, a\n"
    "multiple of 4 in width and height, and at most 256 colours each; colour\n"
    "components are stored as their top 6 bits.\n"
    "options:\n"
    "  --frame-rate N  the header's frame rate: N > 0 milliseconds per frame,\n"
    "                  N < 0 minus the frame period in 10-microsecond units,\n"
    "                  0 untimed (default 100)\n"
    "  --ring          add a ring frame so that looping needs no return to frame 0;\n"
    "                  it carries frame 0's sound, since it is shown in its place\n"
    "  --sound FILE    add the RIFF wave FILE (PCM, 8 or 16 bits, mono or stereo)\n"
    "                  as the next sound track; repeat for tracks 0 to 6. Each\n"
    "                  frame carries the sound of its own time span, the last\n"
    "                  frame all that remains; frames after the end of the sound\n"
    "                  carry none. Needs a frame rate other than 0\n"
    "  --sound-lead MS each frame carries the sound MS milliseconds ahead of its\n"
    "                  own span (frame 0 its span and the lead), so that the\n"
    "                  player has that much sound queued beyond the picture\n"
    "                  and plays on through a stall as long; the picture is\n"
    "                  still timed by its own sound. 0 to 10000, default 250\n"
    "  --lossy N       compress the sound at lossy level N, 0 (lossless, the\n"
    "                  default) to 9 (smallest)\n"
    "  --raw-sound     store the sound uncompressed\n"
    "  --help          show this text\n"
    "  --version       show the version\n";

constexpr size_t kMaxTracks = 7;

struct Options {
  int32_t frame_rate = 100;
  bool ring = false;
  std::vector<std::string> sounds;
  SoundTrackOptions sound{.lead_ms = kDefaultSoundLeadMs};
  std::string frame_dir;
  std::string output;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vdzenc: %s\n", message.c_str());
  return 1;
}

// Whether `arg` is the option `name`, given as "NAME VALUE" or "NAME=VALUE";
// the value goes to `value` (empty when missing).
bool TakeValue(const std::string& arg, const std::string& name, int argc, char** argv, int& i,
               std::string& value) {
  if (arg == name) {
    value = i + 1 < argc ? argv[++i] : "";
    return true;
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

// 0 to go on, 1 after an error, 2 after --help, 3 after --version.
int ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> names;
  bool options_done = false;
  long long number = 0;
  std::string value;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_done || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      names.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "--help") {
      return 2;
    } else if (arg == "--version") {
      return 3;
    } else if (arg == "--ring") {
      options.ring = true;
    } else if (arg == "--raw-sound") {
      options.sound.raw = true;
    } else if (TakeValue(arg, "--frame-rate", argc, argv, i, value)) {
      if (!ParseWholeNumber(value, INT32_MIN, INT32_MAX, number)) {
        error = "--frame-rate needs a whole number, got \"" + value + "\"";
        return 1;
      }
      options.frame_rate = static_cast<int32_t>(number);
    } else if (TakeValue(arg, "--sound-lead", argc, argv, i, value)) {
      if (!ParseWholeNumber(value, 0, kMaxSoundLeadMs, number)) {
        error = "--sound-lead needs milliseconds from 0 to " + std::to_string(kMaxSoundLeadMs) + ", got \"" +
                value + "\"";
        return 1;
      }
      options.sound.lead_ms = static_cast<uint32_t>(number);
    } else if (TakeValue(arg, "--lossy", argc, argv, i, value)) {
      if (!ParseWholeNumber(value, 0, 9, number)) {
        error = "--lossy needs a level from 0 to 9, got \"" + value + "\"";
        return 1;
      }
      options.sound.lossy = static_cast<uint32_t>(number);
    } else if (TakeValue(arg, "--sound", argc, argv, i, value)) {
      if (value.empty()) {
        error = "--sound needs a wave file";
        return 1;
      }
      options.sounds.push_back(value);
    } else {
      error = "unknown option " + arg + " (see --help)";
      return 1;
    }
  }
  if (names.size() != 2) {
    error = "expected a frame folder and an output file (see --help)";
    return 1;
  }
  if (options.sounds.size() > kMaxTracks) {
    error = "a file holds at most " + std::to_string(kMaxTracks) + " sound tracks, --sound was given " +
            std::to_string(options.sounds.size()) + " times";
    return 1;
  }
  if (!options.sounds.empty() && options.frame_rate == 0) {
    error = "sound needs a timed file: --frame-rate 0 makes an untimed one";
    return 1;
  }
  if (options.sound.raw && options.sound.lossy != 0) {
    error = "--lossy compresses the sound and --raw-sound stores it uncompressed: give one of them";
    return 1;
  }
  options.frame_dir = names[0];
  options.output = names[1];
  return 0;
}

bool HasPpmExtension(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".ppm";
}

bool ListFrames(const std::string& dir, std::vector<fs::path>& files, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    error = "cannot open the frame folder " + dir;
    return false;
  }
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (HasPpmExtension(it->path()) && !it->is_directory(ec)) files.push_back(it->path());
  }
  if (ec) {
    error = "cannot list the frame folder " + dir + ": " + ec.message();
    return false;
  }
  if (files.empty()) {
    error = "no .ppm pictures in " + dir;
    return false;
  }
  std::sort(files.begin(), files.end());
  return true;
}

// Progress of one phase in the status window ("Reading: frame 3 of 40..."),
// false once the user cancelled.
bool ShowProgress(const char* phase, size_t done, size_t total) {
  ToolRun::Progress(std::string(phase) + ": frame " + std::to_string(done) + " of " + std::to_string(total) +
                    "...");
  return !ToolRun::Cancelled();
}

bool ReadFrames(const std::vector<fs::path>& files, uint32_t& width, uint32_t& height,
                std::vector<AnimationFrame>& frames, std::string& error) {
  FrameIndexer indexer;
  frames.resize(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = files[i].string();
    RgbPicture picture;
    if (!ReadPpmFile(name, picture, error)) return false;
    if (i == 0) {
      width = picture.width;
      height = picture.height;
      if (width % 4 != 0 || height % 4 != 0) {
        error = name + ": the size " + std::to_string(width) + " x " + std::to_string(height) +
                " is not a multiple of 4 in width and height";
        return false;
      }
    } else if (picture.width != width || picture.height != height) {
      error = name + ": the size " + std::to_string(picture.width) + " x " + std::to_string(picture.height) +
              " differs from the first frame's " + std::to_string(width) + " x " + std::to_string(height);
      return false;
    }
    if (!indexer.Next(picture.rgb.data(), static_cast<size_t>(width) * height, frames[i], error)) {
      error = "frame " + std::to_string(i) + " (" + name + ") has " + error;
      return false;
    }
    if (!ShowProgress("Reading", i + 1, files.size())) {
      error = "cancelled; nothing was written";
      return false;
    }
  }
  return true;
}

bool ReadSounds(const std::vector<std::string>& names, std::vector<WaveSound>& sounds, std::string& error) {
  sounds.resize(names.size());
  for (size_t t = 0; t < names.size(); ++t) {
    std::string warning;
    if (!ReadWaveFile(names[t], sounds[t], error, warning)) return false;
    if (!warning.empty()) std::fprintf(stderr, "vdzenc: warning: %s", warning.c_str());
  }
  return true;
}

// Adds the sound tracks in order, with a warning for sound that lasts longer
// than the pictures (the last frame carries the rest).
bool AddSounds(const Options& options, const std::vector<WaveSound>& sounds, VdzContent& content,
               std::string& error) {
  const uint64_t video_units = FramePeriodUnits(options.frame_rate) * content.frames.size();
  for (size_t t = 0; t < sounds.size(); ++t) {
    if (!AddSoundTrack(content, static_cast<uint32_t>(t), sounds[t], options.sound, error)) {
      error = options.sounds[t] + ": " + error;
      return false;
    }
    const double sound_seconds = static_cast<double>(sounds[t].Frames()) / sounds[t].rate;
    const double video_seconds = static_cast<double>(video_units) / 100000.0;
    if (sound_seconds > video_seconds + 1.0 / sounds[t].rate) {
      std::fprintf(stderr,
                   "vdzenc: warning: %s lasts %.3f s, longer than the %.3f s of the pictures; the last frame "
                   "carries the rest\n",
                   options.sounds[t].c_str(), sound_seconds, video_seconds);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  switch (ParseArguments(argc, argv, options, error)) {
    case 1:
      return Fail(error);
    case 2:
      std::fputs(kUsage, stdout);
      std::fputs(platform::HelpPageNote("vdzenc").c_str(), stdout);
      return 0;
    case 3:
      platform::PrintVersion("vdzenc");
      return 0;
    default:
      break;
  }

  // The status window (a progress line on a terminal) from here on; its
  // closing text is the run's last line.
  ToolRun run("vdzenc");
  run.Start(0, "VdzEnc", BaseName(options.output));
  auto fail = [&run](const std::string& message) { return run.Finish("vdzenc: " + message, 1); };
  std::vector<WaveSound> sounds;
  if (!ReadSounds(options.sounds, sounds, error)) return fail(error);
  std::vector<fs::path> files;
  if (!ListFrames(options.frame_dir, files, error)) return fail(error);
  uint32_t width = 0, height = 0;
  std::vector<AnimationFrame> frames;
  if (!ReadFrames(files, width, height, frames, error)) return fail(error);

  // The compressor's core, lossless: every frame's own palette and pixels.
  CompressOptions encode;
  encode.frame_rate = options.frame_rate;
  encode.ring = options.ring;
  encode.progress = [](const char* phase, size_t done, size_t total, double) {
    return ShowProgress(phase, done, total);
  };
  VdzContent content;
  CompressReport report;
  if (!CompressFrames(width, height, frames, encode, content, report, error))
    return fail(ToolRun::Cancelled() ? "cancelled; nothing was written" : error);
  if (!AddSounds(options, sounds, content, error)) return fail(error);
  if (ToolRun::Cancelled()) return fail("cancelled; nothing was written");
  if (!ReplaceVdzFile(options.output, content, error)) return fail(error);
  run.Close("Wrote " + BaseName(options.output) + ": " + std::to_string(content.frames.size()) + " frames.");
  return 0;
}
