// vdzinfo: describes a .vdz file (header fields, rate, sound tracks, data
// rates and a table of its frames); with --frames DIR, decodes every frame
// into DIR/00000.ppm, 00001.ppm, ...; with --tracks DIR, decodes every sound
// track into DIR/track0.pcm, track1.pcm, ...
#include <array>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/program_info.h"
#include "playback/vidzo.h"
#include "tools/lib/ppm.h"
#include "tools/lib/tool_run.h"
#include "tools/lib/vdz_frames.h"
#include "tools/lib/vdz_tracks.h"

namespace {

using namespace vidzotools;

constexpr const char* kUsage =
    "usage: vdzinfo FILE [--frames DIR] [--tracks DIR]\n"
    "       vdzinfo --help | --version\n"
    "Describes the .vdz file FILE. With --frames, also decodes frames 0 to\n"
    "FrameCount - 1 and writes them to DIR/00000.ppm, 00001.ppm, ... (binary\n"
    "PPM, colours through each frame's palette). With --tracks, also decodes\n"
    "the sound chunks of frames 0 to FrameCount - 1 of every track T the file\n"
    "has and writes them to DIR/trackT.pcm (headerless PCM, little-endian,\n"
    "channels interleaved left first; 8-bit samples unsigned, 16-bit signed).\n"
    "A file whose frame data ends early (an interrupted copy) is described\n"
    "with the frames it holds whole, and --frames and --tracks decode those.\n"
    "Pictures larger than 16384 pixels on a side or 33554432 pixels in all\n"
    "(doubled height included) are refused.\n"
    "Progress goes to the status window; Cancel stops the decoding.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "vdzinfo: %s\n", message.c_str());
  return 1;
}

int FinishFailed(ToolRun& run, const std::string& message) {
  return run.Finish("vdzinfo: " + message, 1);
}

struct HandleCloser {
  void operator()(VidzoHandle* h) const { VidzoClose(h); }
};

std::string RateText(int32_t rate) {
  if (rate == 0) return "0 (untimed)";
  const uint32_t period = rate > 0 ? static_cast<uint32_t>(rate) * 100u : 0u - static_cast<uint32_t>(rate);
  char text[96];
  std::snprintf(text, sizeof text, "%" PRId32 " (%.3f frames per second)", rate,
                period != 0 ? 100000.0 / period : 0.0);
  return text;
}

void PrintTracks(const VidzoHandle* h) {
  bool any = false;
  for (int t = 0; t < VDZ_TRACKS; ++t) {
    const uint32_t f = h->AudioFormat[t];
    if (!(f & VDZ_AUDIO_PRESENT)) continue;
    any = true;
    std::printf("Sound track %d: format 0x%08" PRIX32 ", %" PRIu32 " Hz, %s, %s, %s, largest chunk %" PRIu32
                " bytes\n",
                t, f, f & VDZ_AUDIO_RATE_MASK, (f & VDZ_AUDIO_16BIT) ? "16-bit" : "8-bit",
                (f & VDZ_AUDIO_STEREO) ? "stereo" : "mono", (f & VDZ_AUDIO_COMPRESSED) ? "compressed" : "raw",
                h->AudioMaxSize[t]);
  }
  if (!any) std::printf("Sound tracks: none\n");
}

// The records of the frame tables, those beyond the whole ones marked as
// missing.
void PrintFrames(const VidzoHandle* h) {
  const uint32_t records = h->TableRecords;
  const uint32_t whole = h->FrameCount + (h->HeaderFlags & VDZ_RING_FRAME);
  std::printf("\n%8s %10s %12s  %-7s %s\n", "frame", "size", "offset", "palette", "sound tracks");
  uint64_t offset = h->FirstFrameOffset;
  for (uint32_t i = 0; i < records; ++i) {
    const uint8_t type = h->FrameTypes[i];
    std::string tracks;
    for (int t = 0; t < VDZ_TRACKS; ++t)
      if (type & (2u << t)) tracks += (tracks.empty() ? "" : ",") + std::to_string(t);
    const std::string label = i < h->HeaderFrameCount ? std::to_string(i) : "ring";
    std::printf("%8s %10" PRIu32 " %12" PRIu64 "  %-7s %s%s\n", label.c_str(), h->FrameSizes[i], offset,
                (type & 1) ? "yes" : "no", tracks.empty() ? "-" : tracks.c_str(),
                i < whole ? "" : "  (missing)");
    offset += h->FrameSizes[i];
  }
}

void Describe(const std::string& name, const VidzoHandle* h) {
  std::printf("File: %s\n", name.c_str());
  std::printf("Magic: VDZ2\n");
  std::printf("Width: %" PRIu32 "\n", h->Width);
  std::printf("Height: %" PRIu32 "\n", h->Height);
  std::printf("FrameCount: %" PRIu32 "\n", h->HeaderFrameCount);
  std::printf("FrameRate: %s\n", RateText(h->FrameRate).c_str());
  const uint32_t flags = h->HeaderFlags | (h->TableRecords - h->HeaderFrameCount);  // as stored
  std::printf("HeaderFlags: 0x%" PRIX32 "%s%s%s\n", flags, (flags & VDZ_RING_FRAME) ? " ring-frame" : "",
              (flags & VDZ_INTERLACED) ? " interlaced" : "", (flags & VDZ_DOUBLED) ? " doubled" : "");
  std::printf("TreesSize: %" PRIu32 "\n", h->TreesSize);
  std::printf("MonoMapTreeSize: %" PRIu32 "\n", h->MonoMapTreeSize);
  std::printf("MonoColourTreeSize: %" PRIu32 "\n", h->MonoColourTreeSize);
  std::printf("FullTreeSize: %" PRIu32 "\n", h->FullTreeSize);
  std::printf("TypeTreeSize: %" PRIu32 "\n", h->TypeTreeSize);
  PrintTracks(h);
  if (h->ReadError & VDZ_READ_CUT) {
    const uint32_t whole = h->FrameCount + (h->HeaderFlags & VDZ_RING_FRAME);
    std::printf("Cut short: the frame data ends inside frame record %" PRIu32 "; %" PRIu32 " of %" PRIu32
                " frames are whole%s\n",
                whole, h->FrameCount, h->HeaderFrameCount,
                h->TableRecords > h->HeaderFrameCount ? " (the ring frame is missing)" : "");
  }
  std::printf("Largest frame: %" PRIu32 " bytes\n", h->LargestFrame);
  std::printf("Average frame: %" PRIu32 " bytes\n", h->AverageFrame);
  std::printf("Peak one-second data rate: %" PRIu32 " bytes, from frame %" PRIu32 "\n", h->PeakSecondBytes,
              h->PeakSecondFrame);
  PrintFrames(h);
}

bool MakeFolder(const std::string& dir, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) {
    error = "cannot make the folder " + dir;
    return false;
  }
  return true;
}

bool WriteFrames(const std::string& name, const std::string& dir, uint32_t frames, std::string& error) {
  if (!MakeFolder(dir, error)) return false;
  return DecodeVdzFrames(
      name, false,
      [&dir, frames](const DecodedFrame& f, std::string& message) {
        if (ToolRun::Cancelled()) {
          message = "cancelled";
          return false;
        }
        ToolRun::Progress("Writing frame " + std::to_string(f.index + 1) + " of " + std::to_string(frames) +
                          "...");
        RgbPicture picture{f.width, f.height,
                           std::vector<uint8_t>(static_cast<size_t>(f.width) * f.height * 3)};
        for (size_t i = 0; i < static_cast<size_t>(f.width) * f.height; ++i)
          for (int k = 0; k < 3; ++k) picture.rgb[3 * i + k] = f.palette[3 * f.pixels[i] + k];
        char file[16];
        std::snprintf(file, sizeof file, "%05" PRIu32 ".ppm", f.index);
        return WritePpmFile((std::filesystem::path(dir) / file).string(), picture, message);
      },
      error);
}

bool WriteTracks(const std::string& name, const std::string& dir, std::string& error) {
  std::unique_ptr<VidzoHandle, HandleCloser> handle(OpenVdzChecked(name, error));
  if (!handle || !MakeFolder(dir, error)) return false;
  std::array<std::string, VDZ_TRACKS> files;
  std::array<int, VDZ_TRACKS> fds;
  fds.fill(-1);
  bool ok = true;
  for (int t = 0; t < VDZ_TRACKS && ok; ++t) {
    if (!(handle->AudioFormat[t] & VDZ_AUDIO_PRESENT)) continue;
    files[t] = (std::filesystem::path(dir) / ("track" + std::to_string(t) + ".pcm")).string();
    fds[t] = platform::FileCreate(files[t].c_str());
    if (fds[t] < 0) {
      error = "cannot create " + files[t];
      ok = false;
    }
  }
  std::string warning;
  ok = ok && DecodeVdzTracks(
                 handle.get(), name,
                 [&](int t, const uint8_t* pcm, size_t bytes, std::string& message) {
                   if (ToolRun::Cancelled()) {
                     message = "cancelled";
                     return false;
                   }
                   if (platform::FileWrite(fds[t], pcm, bytes) == bytes) return true;
                   message = "cannot write " + files[t];
                   return false;
                 },
                 warning, error);
  if (!warning.empty()) std::fprintf(stderr, "vdzinfo: warning: %s", warning.c_str());
  for (int t = 0; t < VDZ_TRACKS; ++t) {
    if (fds[t] >= 0) platform::FileClose(fds[t]);
    // No half-decoded track is left behind.
    if (!ok && fds[t] >= 0) platform::FileErase(files[t].c_str());
  }
  return ok;
}

// One line for the front end: the file's size, frames, rate and sound.
std::string Summary(const std::string& name, const VidzoHandle* h) {
  int tracks = 0;
  for (int t = 0; t < VDZ_TRACKS; ++t) tracks += (h->AudioFormat[t] & VDZ_AUDIO_PRESENT) != 0;
  return "File: " + BaseName(name) + ", " + std::to_string(h->Width) + "x" + std::to_string(h->Height) +
         ", " + std::to_string(h->HeaderFrameCount) + " frames, frame rate " + RateText(h->FrameRate) + ", " +
         std::to_string(tracks) + " sound track" + (tracks == 1 ? "" : "s") + ".";
}

// The front end's "/#N" (an argument made of it alone, or followed by the
// "/#" the front end adds for typed and batch commands); 0 when it is not
// that.
int32_t FrontEndArgument(std::string arg) {
  if (arg.size() > 4 && arg.compare(arg.size() - 2, 2, "/#") == 0) arg.resize(arg.size() - 2);
  if (arg.size() < 3 || arg.compare(0, 2, "/#") != 0 || arg.size() > 12) return 0;
  for (size_t i = 2; i < arg.size(); ++i)
    if (arg[i] < '0' || arg[i] > '9') return 0;
  return static_cast<int32_t>(std::min(std::stoll(arg.substr(2)), 0x7FFFFFFFLL));
}

}  // namespace

int main(int argc, char** argv) {
  std::string file, frames_dir, tracks_dir;
  bool want_frames = false, want_tracks = false;
  int32_t front_end = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (FrontEndArgument(arg) != 0) {
      front_end = FrontEndArgument(arg);
      continue;
    }
    if (arg == "/#") continue;  // the typed-command mark, apart from its number
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      std::fputs(platform::HelpPageNote("vdzinfo").c_str(), stdout);
      return 0;
    }
    if (arg == "--version") {
      platform::PrintVersion("vdzinfo");
      return 0;
    }
    if (arg == "--frames") {
      if (i + 1 >= argc) return Fail("--frames needs a folder");
      want_frames = true;
      frames_dir = argv[++i];
    } else if (arg == "--tracks") {
      if (i + 1 >= argc) return Fail("--tracks needs a folder");
      want_tracks = true;
      tracks_dir = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return Fail("unknown option " + arg + " (see --help)");
    } else if (file.empty()) {
      file = arg;
    } else {
      return Fail("only one file is described at a time (see --help)");
    }
  }
  if (file.empty()) return Fail("expected a .vdz file (see --help)");

  ToolRun run("vdzinfo");
  run.Start(front_end, "VdzInfo", BaseName(file));
  std::string error;
  std::unique_ptr<VidzoHandle, HandleCloser> handle(OpenVdzChecked(file, error));
  if (!handle) return FinishFailed(run, error);
  Describe(file, handle.get());
  const std::string summary = Summary(file, handle.get());
  const uint32_t frames = handle->FrameCount;
  handle.reset();
  std::fflush(stdout);
  if (want_frames && !WriteFrames(file, frames_dir, frames, error)) return FinishFailed(run, error);
  if (want_tracks && !WriteTracks(file, tracks_dir, error)) return FinishFailed(run, error);
  // The description is on standard output; the summary closes the window.
  run.Close(summary);
  return 0;
}
