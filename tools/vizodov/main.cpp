// vizodov: the graphics converter. Reads any frame source the utility
// library knows (still images, numbered sequences, list files, flic, .vdz,
// AVI, raw frame files) and writes the frames as a flic, an AVI file or
// numbered still images, computing palettes when asked.
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/report_channel.h"
#include "qelutil/qelutil.h"
#include "tools/lib/tool_run.h"

namespace {

constexpr const char* kUsage =
    "usage: vizodov INPUT OUTPUT [switches]\n"
    "       vizodov --help | --version\n"
    "Converts the frames of INPUT (a still image, a numbered sequence such as\n"
    "pic??.bmp or \"pic??.bmp*8-11\", a list file .lst, a flic, a .vdz file, an\n"
    "AVI file or a raw frame file) to OUTPUT, whose extension chooses the kind:\n"
    ".flc (or none), .avi, or numbered still images .bmp .png .jpg .tga .tif\n"
    ".pcx .gif (out.bmp for 12 frames writes out00.bmp to out11.bmp).\n"
    "Switches:\n"
    "  /Xn /Yn    crop offset into the source (default 0)\n"
    "  /Wn /Hn    size of the frames (default: the source's)\n"
    "  /Sn /En    first and last frame, 1-based (default: all)\n"
    "  /Fn        frame rate: n frames per second (n from -1500 to -1: -n\n"
    "             milliseconds per frame; below -1500: -n in 1/100000 s)\n"
    "  /Qn        palette colours to compute (default 256)\n"
    "  /In        first palette entry to use (default (256 - Q) / 2)\n"
    "  /Pn        palette: 0 the source's (computed for true-colour input),\n"
    "             1 compute new palettes, 2 also start one where the source's\n"
    "             palette changes\n"
    "  /Un        a new palette at least every n frames (default: one for all)\n"
    "  /Dn        system colours: 0 kept out of the computed range, 1 also\n"
    "             forced into the palette, 2 not used\n"
    "  /&NAME     take the palette from the colours of NAME\n"
    "  /Tn        halftoning of true-colour input: 1 always (error diffusion),\n"
    "             0 or 2 never (nearest colour)\n"
    "  /A         true colour: write 24-bit frames, no palette\n"
    "  /O         overwrite existing output without asking\n"
    "Ends with a one-line summary; exit status 0 on success, 1 on failure,\n"
    "2 for a usage error.\n";

// Errors are shown as they come (a message box where there is a display);
// everything goes through the status window.
uint8_t Message(const char* text, int32_t kind) {
  if (kind == 2 && text != nullptr) StatusMessage(text, 1);
  return vidzotools::ToolRun::Message(text, kind);
}

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "vizodov: %s (see --help)\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return 2;
}

// Whether the output is one file (a flic or an AVI file), which is written
// under a temporary name and renamed when complete.
bool SingleFileOutput(const std::string& name, bool true_colour) {
  const char* dot = HasExtension(name.c_str());
  std::string ext = dot != nullptr ? dot + 1 : "";
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == "AVI" || (!true_colour && (ext.empty() || ext == "FLC"));
}

// The switches vizodov knows: an argument made only of these is switches,
// every other argument is a name (names hold "/" on this system).
constexpr platform::SwitchDef kSwitches[] = {
    {'X', platform::SwitchKind::kNumber}, {'Y', platform::SwitchKind::kNumber},
    {'W', platform::SwitchKind::kNumber}, {'H', platform::SwitchKind::kNumber},
    {'S', platform::SwitchKind::kNumber}, {'E', platform::SwitchKind::kNumber},
    {'P', platform::SwitchKind::kNumber}, {'U', platform::SwitchKind::kNumber},
    {'I', platform::SwitchKind::kNumber}, {'Q', platform::SwitchKind::kNumber},
    {'D', platform::SwitchKind::kNumber}, {'T', platform::SwitchKind::kNumber},
    {'&', platform::SwitchKind::kString}, {'A', platform::SwitchKind::kFlag},
    {'O', platform::SwitchKind::kFlag},   {'F', platform::SwitchKind::kNumber},
    {'#', platform::SwitchKind::kNumber}};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "vizodov", kUsage)) return 0;
  vidzotools::ToolRun run("vizodov");
  std::vector<char> line;
  if (!run.CommandLine(argc, argv, kSwitches, line)) return 2;
  char* cmd = line.data();
  int32_t x, y, w, h, first, last, per_palette, first_entry, count;
  uint8_t palette_mode, system_colours, halftone;
  char palette_file[256];
  GFileCommandLine(cmd, &x, &y, &w, &h, &first, &last, &palette_mode, &per_palette, &first_entry, &count,
                   &system_colours, &halftone, palette_file);
  const bool true_colour = GetSwitch(cmd, 'A') != 0;
  const bool overwrite_ok = GetSwitch(cmd, 'O') != 0;
  const int32_t rate = GetSwitchNum(cmd, 'F', 0);
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  std::vector<char> input(line.size()), output(line.size());
  GetAndRemoveFirstQuoted(input.data(), cmd);
  GetAndRemoveFirstQuoted(output.data(), cmd);
  Trim(cmd);
  if (input[0] == '\0' || output[0] == '\0') return Usage("expected an input and an output name");
  if (cmd[0] != '\0') return Usage((std::string("unknown switch or extra name: ") + cmd).c_str());
  if (palette_mode > 2) return Usage("/P takes 0, 1 or 2");
  if (system_colours > 2) return Usage("/D takes 0, 1 or 2");
  if (halftone > 2) return Usage("/T takes 0, 1 or 2");
  if (CheckForDup(input.data(), output.data()) == 0) return 1;
  if (const char* ext = HasExtension(output.data()); ext != nullptr && strcasecmp(ext, ".vdz") == 0)
    return Usage((std::string(output.data()) + ": .vdz files are made by the compressor: vidzoc " +
                  input.data() + " " + output.data())
                     .c_str());
  run.Start(front_end, "VizodOv",
            vidzotools::BaseName(input.data()) + " to " + vidzotools::BaseName(output.data()));

  const auto start = std::chrono::steady_clock::now();
  GFile* g =
      GFileOpen(input.data(), (true_colour ? GFILE_TRUE_COLOUR : 0) | (halftone == 1 ? GFILE_HALFTONE : 0), x,
                y, w, h, first, last, palette_mode, per_palette, first_entry, count, system_colours, 0,
                palette_file, "Converting", Message);
  if (g == nullptr && vidzotools::ToolRun::Cancelled()) return run.Finish("vizodov: cancelled", 1);
  if (g == nullptr) {  // the message function has shown why
    run.Close(run.LastError());
    return 1;
  }
  const int32_t frame_time = rate != 0 ? -MakeFrameRate(rate) : g->frame_rate;

  // A flic or AVI output is made under a temporary name in its folder and
  // takes its own name only when complete.
  std::string target = output.data();
  if (HasExtension(target.c_str()) == nullptr && g->true_colour == 0) target += ".flc";
  const bool single = SingleFileOutput(target, g->true_colour != 0);
  std::string writing = target;
  if (single) {
    if (!overwrite_ok && overwrite(target.c_str()) == 0) {
      GFileClose(g);
      return run.Finish("vizodov: " + target + " was not overwritten", 1);
    }
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    writing = folder + ".vizodov-" + std::to_string(getpid()) + "-" + base;
  }
  OGFile* og =
      OGFileCreate(nullptr, writing.c_str(), g->true_colour, g->frames, g->width, g->height, g->pitch,
                   frame_time, Message, overwrite_ok || single ? OGFILE_NO_OVERWRITE_ASK : 0);
  if (og == nullptr) {
    GFileClose(g);
    if (!run.LastError().empty()) return run.Finish(run.LastError(), 1);
    return run.Finish("vizodov: " + target + " was not overwritten", 1);
  }
  int32_t written = 0;
  bool ok = true;
  bool stopped = false;
  for (int32_t i = 0; i < g->frames; ++i) {
    if (vidzotools::ToolRun::Cancelled()) {
      stopped = true;
      ok = false;
      break;
    }
    if (GFileGet(g) == 0 || OGFilePut(og, g->pixels, g->palette) == 0) {
      ok = false;
      break;
    }
    ++written;
  }
  std::string summary = og->summary;
  const uint32_t bytes = OGFileClose(og);
  GFileClose(g);
  std::string last_error = run.LastError();
  if (single) {
    if (ok && bytes != 0 && std::rename(writing.c_str(), target.c_str()) == 0) {
      const size_t slash = target.find_last_of('/');
      summary = slash == std::string::npos ? target : target.substr(slash + 1);
    } else {
      std::remove(writing.c_str());
      if (ok) last_error = "cannot write " + target;
      ok = false;
    }
  }
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  char elapsed[32];
  GetElapsedTime(elapsed, static_cast<uint32_t>(ms.count()));
  // A cancel may also come while a frame is read (its progress texts check).
  if (stopped || vidzotools::ToolRun::Cancelled())
    return run.Finish("vizodov: cancelled after " + std::to_string(written) + " frames", 1);
  if (!ok)
    return run.Finish("vizodov: conversion stopped after " + std::to_string(written) + " frames" +
                          (last_error.empty() ? "" : ": " + last_error),
                      1);
  char done[512];
  std::snprintf(done, sizeof done, "%i frame%s written to %s, %u bytes in %s.", written,
                written == 1 ? "" : "s", summary.c_str(), bytes, elapsed);
  return run.Finish(done, 0);
}
