#include "player/texts.h"

#include <array>

#include "qelutil/qelutil.h"

namespace vidzoplay {
namespace {

constexpr const char* kNotice = "Vidzoer video and animation player";

// Help lines, in the order the box shows them.
constexpr std::array<const char*, 27> kHelpLines = {
    "/P  \t- Preload the entire Vidzoer animation.",
    "/L##\t- Loop the animation (/L for infinite).",
    "/F##\t- Use this frame rate (/F for fast).",
    "/T##\t- Play the specified sound tracks.",
    "/S  \t- Show the playback summary when finished.",
    "/X##\t- Specifies the X coordinate of the playback.",
    "/Y##\t- Specifies the Y coordinate of the playback.",
    "/B  \t- Double-buffer (slower, but reduces tearing).",
    "/M##\t- Simulate this read speed (in bytes/second).",
    "/E##\t- Use this much extra memory for buffering.",
    "/G  \t- Fill the extra memory buffer in VidzoOpen.",
    "/U##\t- Disable controls: 1=pause, 2=skip, 4=quit.",
    "/N  \t- Never skip frames when falling behind.",
    "/C  \t- Don't clear the buffer in between animations.",
    "/O  \t- Play sound tracks only - no video.",
    "/K  \t- Only show differences between frames.",
    "/A##\t- Height scaling: 1=Interlace, 2=Double, 3=Force none.",
    "/Z  \t- Use DirectSound for sound output.",
    "/Q  \t- Show current frame number in caption.",
    "/I# \t- Window style: 1=thin border, 2=thin, no caption, 3=no caption, 4=nothing.",
    "/J  \t- Don't pause the video when the focus is lost.",
    "/R##\t- Remap options: 1=remap to current system palette, 2=don't remap at all.",
    "/W##\t- Stretch to this width in pixels (very slow!!)",
    "/H##\t- Stretch to this height in pixels (very slow!!)",
    "/@  \t- Don't use MMX (even if supported by the CPU).",
    "/D##\t- Display resolution: 1=640x400, 2=640x480, 3=800x600, 4=1024x768.",
    "/V##\t- Video type: 1=320x240, 2=320x200, 3=Standard, 4=DIBSection.",
};

// D(a, b): a / b with one decimal, b taken as 1 when it is 0.
std::string Decimal(uint32_t a, uint32_t b) {
  if (b == 0) b = 1;
  return std::to_string(a / b) + "." + std::to_string((a * 10u / b) % 10u);
}

std::string Elapsed(uint32_t ms) {
  char text[32];
  return GetElapsedTime(text, ms);
}

}  // namespace

std::string HelpCaption() {
  return std::string(kAppName) + "  V " + kVersion + "  " + kNotice;
}

std::string HelpText() {
  std::string text = " SYNTAX: VidzoPly <Vidzo1 Vidzo2...> [/Switches]\r\n  Switches:\r\n";
  for (size_t i = 0; i < kHelpLines.size(); ++i) {
    if (i != 0) text += "\r\n";
    text += "    ";
    text += kHelpLines[i];
  }
  text += "\r\n        \t    Add 128 for interlaced, 256 for smoothing, or 384 for no DirectDraw.";
  return text;
}

std::string InfoCaption() {
  return std::string(kAppName) + " - V" + kVersion;
}

std::string InfoText() {
  return "  VidzoPlay is part of the Vidzoer Video and Animation\r\n"
         "  Compressor package.  Vidzoer can compress your video,\r\n"
         "  animation, and sound files from 4:1 up to 12:1 of their\r\n"
         "  original size.  Vidzoer is available for DOS, Windows,\r\n"
         "  Windows 95, Windows NT, Mac 68K, and PowerMac.\r\n"
         "  A powerful Vidzoer SDK is also available.\r\n"
         "\n"
         "  Questions and reports about this player are welcome\r\n"
         "  through the channels named in the toolkit's README.";
}

std::string BannerText() {
  return std::string(kAppName) + " - V" + kVersion + "  " + kNotice;
}

std::string SummaryText(const PlaybackSummary& summary) {
  const VidzoSummary& s = summary.Stats;
  if (s.FramesPlayed == 0) return std::string();
  std::string t = "  Frame rate: ";
  t += s.FramePeriod == 0 ? std::string("As fast as possible.") : Decimal(100000, s.FramePeriod);
  t += "\r\n  Frame rate obtained: " + Decimal(s.FramesPlayed * 1000u, s.TotalMs);
  t += "\r\n  Total frames played: " + std::to_string(s.FramesPlayed);
  t += "\r\n  Skipped frames: " + std::to_string(s.FramesSkipped);
  t += "\r\n  Sound skips: " + std::to_string(s.SoundSkips);
  t += "\r\n  Total playback time: " + Elapsed(s.TotalMs);
  t += "\r\n  Total open time: " + Elapsed(s.OpenMs);
  t += "\r\n\r\n  Average frame size: " + std::to_string(s.AverageFrame);
  t += "\r\n  Highest one second data rate: " + std::to_string(summary.PeakSecondBytes);
  t += "\r\n  Highest one second data rate start frame: " + std::to_string(summary.PeakSecondFrame);
  t += "\r\n  Speed of playback device: " + std::to_string(s.DeviceSpeed);
  t += "\r\n  Memory used for playback: " + std::to_string(s.MemoryPeak);
  t += "\r\n  Total extra buffering memory: " + std::to_string(s.RingSize);
  t += "\r\n  Highest extra buffering memory used: " + std::to_string(s.RingPeak);
  t += "\r\n\n  Percentage spent decompressing: " + Decimal(s.DecodeMs * 100u, s.TotalMs);
  t += "\r\n  Percentage spent blitting: " + Decimal(s.BlitMs * 100u, s.TotalMs);
  t += "\r\n  Percentage spent reading: " + Decimal(s.ReadMs * 100u, s.TotalMs);
  t += "\r\n  Percentage spent background reading: " + Decimal(s.ReadAheadMs * 100u, s.TotalMs);
  t += " (when idle)\r\n\n  Slowest frame: " + std::to_string(s.SlowestFrame);
  t += "  Frame rate: " + Decimal(1000, s.SlowestMs);
  if (s.FramesPlayed > 1) {
    t += "\r\n  Second slowest frame: " + std::to_string(s.SecondSlowestFrame);
    t += "  Frame rate: " + Decimal(1000, s.SecondSlowestMs);
  }
  t += "\r\n\r\n  Screen colors: " + std::to_string(summary.ScreenColours);
  t += "\r\n  Display blitter: " + summary.DisplayName;
  if (t.size() > 2047) t.resize(2047);  // the summary's text buffer holds 2048 bytes
  return t;
}

}  // namespace vidzoplay
