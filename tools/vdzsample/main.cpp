// vdzsample: writes a sample animation for vdzenc into a folder: one binary
// PPM picture per frame (frame000000.ppm, ...) and its sound track
// (sound.wav). With --vdz it also codes the animation straight into a .vdz
// file from its palette indices, with the sound lead vdzenc gives. vdzenc,
// which sees only colours, carries the palette cycling as palette changes
// too and keeps apart slots that come to show one colour for a while, but
// slots that show one colour when it first sees them (the black first frame)
// share an index until their colours part; the indices themselves keep every
// slot apart from the start, so that file is smaller.
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_info.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/ppm.h"
#include "tools/lib/sound_tracks.h"
#include "tools/lib/vdz_writer.h"
#include "tools/lib/whole_number.h"
#include "tools/vdzsample/scene.h"
#include "tools/vdzsample/soundtrack.h"

namespace {

namespace fs = std::filesystem;
using namespace vidzotools;

constexpr const char* kUsage =
    "usage: vdzsample [options] FOLDER\n"
    "Writes a sample animation into FOLDER (made when missing; it must hold no\n"
    ".ppm pictures yet): frame000000.ppm, frame000001.ppm, ... (binary PPM)\n"
    "and sound.wav (16-bit stereo), ready for\n"
    "  vdzenc --frame-rate N --sound FOLDER/sound.wav FOLDER OUT.vdz\n"
    "A plasma whose palette cycles, crossfades between colour schemes and fades\n"
    "in and out, with a bouncing ball and a spinning square; the sound follows\n"
    "the ball and the square.\n"
    "options:\n"
    "  --width W        picture width, a multiple of 4 from 16 to 4096 (default 320)\n"
    "  --height H       picture height, a multiple of 4 from 16 to 4096 (default 240)\n"
    "  --frame-rate N   the frame time as vdzenc takes it: N > 0 milliseconds per\n"
    "                   frame, N < 0 minus the frame period in 10-microsecond\n"
    "                   units (default 50, 20 frames per second; -3333 gives 30)\n"
    "  --seconds S      length in seconds, up to 3600 (default 12)\n"
    "  --sound-rate R   sample rate in Hz, 4000 to 96000 (default 22050)\n"
    "  --vdz FILE       also code the animation into FILE straight from its\n"
    "                   palette indices, which keep apart from the start the\n"
    "                   slots that show one colour in the first frames (a\n"
    "                   smaller file than vdzenc's)\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

struct Options {
  uint32_t width = 320;
  uint32_t height = 240;
  int32_t frame_rate = 50;
  double seconds = 12;
  uint32_t sound_rate = 22050;
  std::string vdz;
  std::string folder;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vdzsample: %s\n", message.c_str());
  return 1;
}

// 0 to go on, 1 after an error, 2 after --help, 3 after --version.
int ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") return 2;
    if (arg == "--version") return 3;
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      names.push_back(arg);
      continue;
    }
    if (i + 1 >= argc) {
      error = arg == "--width" || arg == "--height" || arg == "--frame-rate" || arg == "--seconds" ||
                      arg == "--sound-rate" || arg == "--vdz"
                  ? arg + " needs a value"
                  : "unknown option " + arg + " (see --help)";
      return 1;
    }
    const std::string value = argv[i + 1];
    long long number = 0;
    if (arg == "--width" || arg == "--height") {
      if (!ParseWholeNumber(value, 16, 4096, number) || number % 4 != 0) {
        error = arg + " needs a multiple of 4 from 16 to 4096, got \"" + value + "\"";
        return 1;
      }
      (arg == "--width" ? options.width : options.height) = static_cast<uint32_t>(number);
    } else if (arg == "--frame-rate") {
      if (!ParseWholeNumber(value, -1000000, 100000, number) || number == 0) {
        error =
            "--frame-rate needs milliseconds per frame (1 to 100000) or minus a period in "
            "10-microsecond units (-1 to -1000000), got \"" +
            value + "\"";
        return 1;
      }
      options.frame_rate = static_cast<int32_t>(number);
    } else if (arg == "--seconds") {
      char* end = nullptr;
      errno = 0;
      const double s = std::strtod(value.c_str(), &end);
      if (value.empty() || errno != 0 || *end != 0 || !(s > 0 && s <= 3600)) {
        error = "--seconds needs a length above 0 and up to 3600, got \"" + value + "\"";
        return 1;
      }
      options.seconds = s;
    } else if (arg == "--sound-rate") {
      if (!ParseWholeNumber(value, 4000, 96000, number)) {
        error = "--sound-rate needs a rate from 4000 to 96000 Hz, got \"" + value + "\"";
        return 1;
      }
      options.sound_rate = static_cast<uint32_t>(number);
    } else if (arg == "--vdz") {
      options.vdz = value;
    } else {
      error = "unknown option " + arg + " (see --help)";
      return 1;
    }
    ++i;
  }
  if (names.size() != 1) {
    error = "expected one output folder (see --help)";
    return 1;
  }
  options.folder = names[0];
  return 0;
}

// Makes the folder, which must not hold pictures already: vdzenc would take
// them for frames of this animation.
bool PrepareFolder(const std::string& folder, std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    error = "cannot make the folder " + folder;
    return false;
  }
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string ext = it->path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".ppm") {
      error =
          folder + " already holds pictures (" + it->path().filename().string() + "); choose an empty folder";
      return false;
    }
  }
  if (ec) {
    error = "cannot list the folder " + folder + ": " + ec.message();
    return false;
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
      std::fputs(platform::HelpPageNote("vdzsample").c_str(), stdout);
      return 0;
    case 3:
      platform::PrintVersion("vdzsample");
      return 0;
    default:
      break;
  }

  const uint64_t period = FramePeriodUnits(options.frame_rate);
  const double frames_wanted = std::round(options.seconds * 100000.0 / static_cast<double>(period));
  if (frames_wanted > 100000)
    return Fail("more than 100000 frames: choose fewer seconds or a longer frame time");
  const uint32_t frames = std::max<uint32_t>(1, static_cast<uint32_t>(frames_wanted));
  const uint64_t units = period * frames;
  const uint64_t sample_frames = units * options.sound_rate / 100000;
  if (!PrepareFolder(options.folder, error)) return Fail(error);

  const vdzsample::Scene scene(options.width, options.height, static_cast<double>(units) / 100000.0);
  const std::vector<uint8_t> pcm = vdzsample::MakeSoundTrack(scene, options.sound_rate, sample_frames);
  const std::string wave = (fs::path(options.folder) / "sound.wav").string();
  if (!WriteFileBytes(wave, vdzsample::WaveFile(pcm, options.sound_rate)))
    return Fail("cannot write " + wave);

  std::vector<AnimationFrame> indexed(options.vdz.empty() ? 0 : frames);
  AnimationFrame frame;
  RgbPicture picture{options.width, options.height, {}};
  const size_t pixels = static_cast<size_t>(options.width) * options.height;
  picture.rgb.resize(pixels * 3);
  for (uint32_t i = 0; i < frames; ++i) {
    scene.Draw(static_cast<double>(period * i) / 100000.0, frame.pixels, frame.palette);
    for (size_t p = 0; p < pixels; ++p)
      for (int k = 0; k < 3; ++k) picture.rgb[3 * p + k] = frame.palette[3 * frame.pixels[p] + k];
    char name[32];
    std::snprintf(name, sizeof name, "frame%06" PRIu32 ".ppm", i);
    if (!WritePpmFile((fs::path(options.folder) / name).string(), picture, error)) return Fail(error);
    if (!options.vdz.empty()) indexed[i] = frame;
  }

  if (!options.vdz.empty()) {
    AnimationOptions encode;
    encode.frame_rate = options.frame_rate;
    VdzContent content;
    const WaveSound sound{options.sound_rate, 16, 2, pcm};
    SoundTrackOptions track;
    track.lead_ms = kDefaultSoundLeadMs;  // the lead vdzenc gives, so that the sound never runs dry
    if (!EncodeAnimation(options.width, options.height, indexed, encode, content, error) ||
        !AddSoundTrack(content, 0, sound, track, error))
      return Fail(options.vdz + ": " + error);
    if (!ReplaceVdzFile(options.vdz, content, error)) return Fail(error);
  }

  std::printf("%" PRIu32 " frames of %" PRIu32 " x %" PRIu32 " and %.3f s of sound at %" PRIu32
              " Hz in %s\nencode with: vdzenc --frame-rate %" PRId32 " --sound %s %s OUT.vdz\n",
              frames, options.width, options.height, static_cast<double>(sample_frames) / options.sound_rate,
              options.sound_rate, options.folder.c_str(), options.frame_rate, wave.c_str(),
              options.folder.c_str());
  return 0;
}
