// vdzenc: makes a .vdz animation from a folder of binary PPM pictures, one per
// frame in name order, coding the palette indices losslessly.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tools/lib/block_encoder.h"
#include "tools/lib/frame_indexer.h"
#include "tools/lib/ppm.h"

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
    "  --ring          add a ring frame so that looping needs no return to frame 0\n"
    "  --help          show this text\n";

struct Options {
  int32_t frame_rate = 100;
  bool ring = false;
  std::string frame_dir;
  std::string output;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vdzenc: %s\n", message.c_str());
  return 1;
}

bool ParseRate(const std::string& text, int32_t& rate) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  rate = static_cast<int32_t>(v);
  return true;
}

// 0 to go on, 1 after an error, 2 after --help.
int ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> names;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_done || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      names.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "--help") {
      return 2;
    } else if (arg == "--ring") {
      options.ring = true;
    } else if (arg == "--frame-rate" || arg.compare(0, 13, "--frame-rate=") == 0) {
      std::string value;
      if (arg.size() > 12) {
        value = arg.substr(13);
      } else if (i + 1 < argc) {
        value = argv[++i];
      }
      if (!ParseRate(value, options.frame_rate)) {
        error = "--frame-rate needs a whole number, got \"" + value + "\"";
        return 1;
      }
    } else {
      error = "unknown option " + arg + " (see --help)";
      return 1;
    }
  }
  if (names.size() != 2) {
    error = "expected a frame folder and an output file (see --help)";
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

// Progress of one phase on standard error: a line that counts up on a
// terminal, the start and the end otherwise.
class Progress {
 public:
  Progress() : terminal_(isatty(2) != 0) {}
  void Show(const char* phase, size_t done, size_t total) {
    if (terminal_) {
      std::fprintf(stderr, "\r%s %zu/%zu", phase, done, total);
      if (done == total) std::fputc('\n', stderr);
    } else if (done == total) {
      std::fprintf(stderr, "%s %zu frames\n", phase, total);
    }
  }

 private:
  bool terminal_;
};

bool ReadFrames(const std::vector<fs::path>& files, uint32_t& width, uint32_t& height,
                std::vector<AnimationFrame>& frames, Progress& progress, std::string& error) {
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
    progress.Show("reading frames", i + 1, files.size());
  }
  return true;
}

// Writes the file under a temporary name beside it and renames it, so that
// no half-written output is ever left.
bool WriteOutput(const std::string& name, const VdzContent& content, std::string& error) {
  const std::string temporary = name + ".part" + std::to_string(getpid());
  if (!WriteVdzFile(temporary, content, error)) {
    platform::FileErase(temporary.c_str());
    error = "cannot write " + name + " (" + error + ")";
    return false;
  }
  if (std::rename(temporary.c_str(), name.c_str()) != 0) {
    error = "cannot write " + name + ": " + std::strerror(errno);
    platform::FileErase(temporary.c_str());
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
      return 0;
    default:
      break;
  }

  std::vector<fs::path> files;
  if (!ListFrames(options.frame_dir, files, error)) return Fail(error);
  Progress progress;
  uint32_t width = 0, height = 0;
  std::vector<AnimationFrame> frames;
  if (!ReadFrames(files, width, height, frames, progress, error)) return Fail(error);

  AnimationOptions encode;
  encode.frame_rate = options.frame_rate;
  encode.ring = options.ring;
  encode.progress = [&progress](size_t done, size_t total, int pass) {
    progress.Show(pass == 1 ? "gathering statistics" : "coding", done, total);
  };
  VdzContent content;
  if (!EncodeAnimation(width, height, frames, encode, content, error)) return Fail(error);
  if (!WriteOutput(options.output, content, error)) return Fail(error);
  return 0;
}
