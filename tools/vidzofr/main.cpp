// vidzofr: changes the frame rate stored in a .vdz file's header. The file
// is copied beside itself with the new header and the copy takes the file's
// name only when complete, so a failed or cancelled change leaves the file
// as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "playback/vidzo.h"
#include "tools/lib/tool_run.h"

namespace {

using vidzotools::ToolRun;

constexpr const char* kUsage =
    "usage: vidzofr FILE.vdz /Fn\n"
    "Changes the frame rate stored in FILE.vdz (\".vdz\" is added to a name\n"
    "without extension) to the one /F gives, in the player's forms:\n"
    "  /Fn        n frames per second (n from 1 up)\n"
    "  /F-n       n milliseconds per frame (n from 2 to 1500)\n"
    "  /F-n       below -1500: the frame time in units of 10 microseconds\n"
    "  /F or /F0  untimed: the file plays as fast as it can\n"
    "The sound tracks are not changed: a file with sound is warned about, as\n"
    "its sound no longer lasts as long as its pictures.\n"
    "Ends with a one-line summary; exit status 0 on success, 1 on failure,\n"
    "2 for a usage error.\n";

constexpr platform::SwitchDef kSwitches[] = {{'F', platform::SwitchKind::kNumber},
                                             {'F', platform::SwitchKind::kFlag},
                                             {'#', platform::SwitchKind::kNumber}};

constexpr size_t kRateOffset = 16;  // the header's FrameRate field

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "vidzofr: %s (see --help)\n", problem);
  std::fputs(kUsage, problem != nullptr ? stderr : stdout);
  return 2;
}

uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The header value for a /F number, as the player reads /F: frames per
// second from 1 up, milliseconds per frame from -2 to -1500, below that the
// period itself, 0 untimed. Periods are at least 5 units (20000 frames per
// second), so that a very high rate does not become "untimed".
int32_t HeaderRate(int32_t number) {
  if (number == 0) return 0;
  if (number >= 1) return -MakeFrameRate(number);
  if (number >= -1500) return number * 100;
  return number;
}

std::string Describe(int32_t rate) {
  if (rate == 0) return "untimed";
  const uint32_t period = rate > 0 ? static_cast<uint32_t>(rate) * 100u : 0u - static_cast<uint32_t>(rate);
  char text[64];
  std::snprintf(text, sizeof text, "%.3f frames per second", 100000.0 / period);
  return text;
}

// Copies `from` to `to` with `header` in place of its first bytes, showing
// progress; false with `error` set (or cancelled) on failure.
bool CopyWithHeader(const std::string& from, const std::string& to, const uint8_t* header, size_t header_size,
                    bool& cancelled, std::string& error) {
  const int in = platform::FileOpen(from.c_str(), false);
  if (in < 0) {
    error = "cannot read " + from;
    return false;
  }
  struct stat st {};
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0 || ::fstat(in, &st) != 0) {
    platform::FileClose(in);
    if (out >= 0) ::close(out);
    error = "cannot write beside " + from;
    return false;
  }
  const int64_t total = platform::FileSize(in);
  std::vector<uint8_t> block(1 << 20);
  int64_t done = 0;
  bool ok = true;
  while (ok) {
    if (ToolRun::Cancelled()) {
      cancelled = true;
      ok = false;
      break;
    }
    const size_t got = platform::FileRead(in, block.data(), block.size());
    if (got == 0) break;
    if (done < static_cast<int64_t>(header_size)) {
      const size_t n = std::min(got, header_size - static_cast<size_t>(done));
      std::memcpy(block.data(), header + done, n);
    }
    ok = platform::FileWrite(out, block.data(), got) == got;
    done += static_cast<int64_t>(got);
    if (total > 0) ToolRun::Progress("Copying (" + std::to_string(done * 100 / total) + "%)...");
  }
  ok = ok && done == total;
  // The copy keeps the file's permissions and reaches the disk before it
  // takes the file's name.
  ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::fsync(out) == 0;
  platform::FileClose(in);
  ok = ::close(out) == 0 && ok;
  if (!ok && !cancelled && error.empty()) error = "cannot write beside " + from;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  if (vidzotools::AnswerHelpOrVersion(argc, argv, "vidzofr", kUsage)) return 0;
  ToolRun run("vidzofr");
  std::vector<char> line;
  if (!run.CommandLine(argc, argv, kSwitches, line)) return 2;
  char* cmd = line.data();
  const int32_t missing = INT32_MIN;
  int32_t number = GetSwitchNum(cmd, 'F', missing);
  if (number == missing && GetSwitch(cmd, 'F') != 0) number = 0;
  const int32_t front_end = GetSwitchNum(cmd, '#', 0);
  std::vector<char> name(line.size() + 4);
  GetAndRemoveFirstQuoted(name.data(), cmd);
  Trim(cmd);
  if (name[0] == '\0') return Usage("expected a .vdz file");
  if (cmd[0] != '\0') return Usage((std::string("unknown switch or extra name: ") + cmd).c_str());
  if (number == missing) return Usage("give the new frame rate with /F");
  if (number == -1) return Usage("/F-1 is no frame rate");
  std::string file = name.data();
  if (HasExtension(file.c_str()) == nullptr) file += ".vdz";
  run.Start(front_end, "VidzoFR", vidzotools::BaseName(file));

  // The file must open as a .vdz file; its header is then read as stored.
  VidzoHandle* h = VidzoOpen(file.c_str(), 0, 0);
  if (h == nullptr) return run.Finish("vidzofr: " + file + ": " + VidzoOpenMessage(), 1);
  VidzoClose(h);
  uint8_t header[VDZ_HEADER_SIZE];
  const int fd = platform::FileOpen(file.c_str(), false);
  const bool read = fd >= 0 && platform::FileRead(fd, header, sizeof header) == sizeof header;
  if (fd >= 0) platform::FileClose(fd);
  if (!read || std::memcmp(header, "VDZ2", 4) != 0) return run.Finish("vidzofr: cannot read " + file, 1);

  const int32_t old_rate = static_cast<int32_t>(Get32(header + kRateOffset));
  const int32_t new_rate = HeaderRate(number);
  int tracks = 0;
  for (int t = 0; t < VDZ_TRACKS; ++t)
    if (Get32(header + 72 + 4 * t) & VDZ_AUDIO_PRESENT) ++tracks;
  const std::string base = vidzotools::BaseName(file);
  if (old_rate == new_rate)
    return run.Finish(base + " already plays at " + Describe(new_rate) + "; nothing was changed.", 0);

  Put32(header + kRateOffset, static_cast<uint32_t>(new_rate));
  const std::string writing = vidzotools::TemporaryBeside(file, "vidzofr");
  bool cancelled = false;
  std::string error;
  if (!CopyWithHeader(file, writing, header, sizeof header, cancelled, error) ||
      std::rename(writing.c_str(), file.c_str()) != 0) {
    std::remove(writing.c_str());
    if (cancelled) return run.Finish("vidzofr: cancelled; " + base + " was not changed.", 1);
    return run.Finish(
        "vidzofr: " + (error.empty() ? "cannot replace " + file : error) + "; " + base + " was not changed.",
        1);
  }
  std::string done =
      base + ": frame rate changed from " + Describe(old_rate) + " to " + Describe(new_rate) + ".";
  if (tracks != 0) {
    const std::string warning = "Warning: " + base + " has " + std::to_string(tracks) + " sound track" +
                                (tracks == 1 ? "" : "s") + " that no longer match" +
                                (tracks == 1 ? "es" : "") + " the timing of its frames.";
    StatusMessage(warning.c_str(), 0);
    done += " " + warning;
  }
  return run.Finish(done, 0);
}
