// vdzcompi: makes a self-playing program: a copy of the player vidzoplw with
// .vdz files appended to it and a command line in its self-play field, made
// of the player switches given and the names ":offset" of the appended files.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "playback/vidzo.h"
#include "tools/lib/file_bytes.h"
#include "tools/lib/self_play.h"
#include "tools/lib/tool_run.h"

namespace {

using vidzotools::ToolRun;

constexpr const char* kUsage =
    "usage: vdzcompi PLAYER OUTPUT \"SWITCHES\" FILE.vdz ... [/O]\n"
    "Makes the program OUTPUT: a copy of the player PLAYER (vidzoplw) that\n"
    "plays the .vdz files given, which are appended to it, with the player\n"
    "switches SWITCHES (such as \"/L3 /S\"; \"\" for none). Switches given when\n"
    "OUTPUT is run come after these. The switches and the names of the\n"
    "appended files (\":\" and their offset in OUTPUT) must fit the player's\n"
    "self-play field of 208 bytes, its terminating zero included.\n"
    "  /O         overwrite an existing OUTPUT without asking\n"
    "Ends with a one-line summary; exit status 0 on success, 1 on failure,\n"
    "2 for a usage error.\n";

constexpr size_t kField = vidzotools::kSelfPlayField;

int Usage(const std::string& problem) {
  std::fprintf(stderr, "vdzcompi: %s (see --help)\n", problem.c_str());
  return 2;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stdout);
    return 2;
  }
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "vdzcompi", kUsage)) return 0;
  ToolRun run("vdzcompi");
  // The arguments in order; "/O" and the front end's "/#N" may stand anywhere.
  std::vector<std::string> args;
  bool overwrite_ok = false;
  int32_t front_end = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "/O" || a == "/o") {
      overwrite_ok = true;
    } else if (a.size() > 2 && a.compare(0, 2, "/#") == 0 && std::all_of(a.begin() + 2, a.end(), [](char c) {
                 return std::isdigit(static_cast<unsigned char>(c));
               })) {
      front_end = static_cast<int32_t>(std::min(std::stol(a.substr(2)), 0x7FFFFFFFL));
    } else {
      args.push_back(a);
    }
  }
  if (args.size() < 4)
    return Usage("expected the player, the output, the switches and at least one .vdz file");
  std::string player = args[0];
  const std::string output = args[1];
  const std::string switches = args[2];
  const std::vector<std::string> files(args.begin() + 3, args.end());

  // The front end names the player with ".exe"; the program has no extension here.
  if (!platform::FileExists(player.c_str()) && EndsWith(Lower(player), ".exe"))
    player.resize(player.size() - 4);
  std::string kind = Lower(vidzotools::BaseName(player));
  if (EndsWith(kind, ".exe")) kind.resize(kind.size() - 4);
  run.Start(front_end, "VdzCompi", vidzotools::BaseName(output));
  if (kind == "vidzoply" || kind == "vidzopw6")
    return run.Finish(
        "vdzcompi: " + player + ": only the player vidzoplw makes self-playing programs on this system.", 1);
  std::vector<uint8_t> image;
  if (!vidzotools::ReadFileBytes(player, image)) return run.Finish("vdzcompi: cannot read " + player, 1);
  const size_t field = vidzotools::FindSelfPlayField(image);
  if (field == vidzotools::kNoSelfPlayField)
    return run.Finish("vdzcompi: " + player + " is not the player vidzoplw (it has no self-play area).", 1);
  if (std::any_of(image.begin() + static_cast<long>(field), image.begin() + static_cast<long>(field + kField),
                  [](uint8_t b) { return b != 0; }))
    return run.Finish("vdzcompi: " + player + " is a self-playing program already; name the player vidzoplw.",
                      1);

  // The text: the switches, then one ":offset" per file.
  std::string text = switches;
  uint64_t offset = image.size();
  std::vector<uint64_t> sizes;
  for (const std::string& f : files) {
    if (CheckForDup(f.c_str(), output.c_str()) == 0 || CheckForDup(player.c_str(), output.c_str()) == 0)
      return run.Finish("vdzcompi: the output must not be the player or one of the files.", 1);
    VidzoHandle* h = VidzoOpen(f.c_str(), 0, 0);
    if (h == nullptr) return run.Finish("vdzcompi: " + f + ": " + VidzoOpenMessage(), 1);
    VidzoClose(h);
    const int fd = platform::FileOpen(f.c_str(), false);
    const int64_t size = fd >= 0 ? platform::FileSize(fd) : -1;
    if (fd >= 0) platform::FileClose(fd);
    if (size <= 0) return run.Finish("vdzcompi: cannot read " + f, 1);
    if (!text.empty()) text += ' ';
    text += ":" + std::to_string(offset);
    offset += static_cast<uint64_t>(size);
    sizes.push_back(static_cast<uint64_t>(size));
  }
  if (text.size() >= kField)
    return run.Finish("vdzcompi: the switches and names take " + std::to_string(text.size()) +
                          " bytes; the self-play field holds " + std::to_string(kField - 1) +
                          " and its terminating zero.",
                      1);
  if (!overwrite_ok && overwrite(output.c_str()) == 0)
    return run.Finish("vdzcompi: " + output + " was not overwritten", 1);

  std::memcpy(image.data() + field, text.data(), text.size());
  const std::string writing = vidzotools::TemporaryBeside(output, "vdzcompi");
  const int out = platform::FileCreate(writing.c_str());
  bool ok = out >= 0 && platform::FileWrite(out, image.data(), image.size()) == image.size();
  bool cancelled = false;
  for (size_t i = 0; ok && i < files.size(); ++i) {
    if (ToolRun::Cancelled()) {
      cancelled = true;
      ok = false;
      break;
    }
    ToolRun::Progress("Adding " + vidzotools::BaseName(files[i]) + " (" + std::to_string(i + 1) + " of " +
                      std::to_string(files.size()) + " files)");
    std::vector<uint8_t> bytes;
    ok = vidzotools::ReadFileBytes(files[i], bytes) && bytes.size() == sizes[i] &&
         platform::FileWrite(out, bytes.data(), bytes.size()) == bytes.size();
  }
  if (out >= 0) platform::FileClose(out);
  ok = ok && ::chmod(writing.c_str(), 0755) == 0 && std::rename(writing.c_str(), output.c_str()) == 0;
  if (!ok) {
    std::remove(writing.c_str());
    if (cancelled) return run.Finish("vdzcompi: cancelled; " + output + " was not made.", 1);
    return run.Finish("vdzcompi: cannot write " + output, 1);
  }
  return run.Finish(vidzotools::BaseName(output) + ": " + std::to_string(files.size()) + " file" +
                        (files.size() == 1 ? "" : "s") + " packed, " + std::to_string(offset) +
                        " bytes; it plays with \"" + text + "\".",
                    0);
}
