// The player's switches: each setting, the order-dependent ones, the texts
// left over, and the help text.
#include "player/settings.h"

#include <gtest/gtest.h>

#include "player/texts.h"

namespace {

using vidzoplay::PlayerSettings;

struct Parsed {
  bool ok;
  std::string rest;
  PlayerSettings s;
};

Parsed Parse(const std::string& text, PlayerSettings s = {}, bool direct_sound_works = false) {
  std::string t = text;
  const bool ok = vidzoplay::ParseSettings(t, s, [&] { return direct_sound_works; });
  return {ok, t, s};
}

TEST(PlayerSettings, DefaultsAndNamesLeftOver) {
  const Parsed p = Parse("  movie.vdz   other ");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.rest, "movie.vdz   other");
  const PlayerSettings d;
  EXPECT_EQ(p.s.LoopCount, 1u);
  EXPECT_EQ(p.s.FrameRate, -1);
  EXPECT_EQ(p.s.OpenFlags, 0xFE000u);
  EXPECT_EQ(p.s.ExtraBuffer, 0xFFFFFFFFu);
  EXPECT_EQ(p.s.WindowLeft, -1);
  EXPECT_TRUE(p.s.InfoBoxAtEnd);
  EXPECT_EQ(d.DisplayFlags, p.s.DisplayFlags);
}

TEST(PlayerSettings, LoopCount) {
  EXPECT_EQ(Parse("a /L3").s.LoopCount, 3u);
  EXPECT_EQ(Parse("a /L").s.LoopCount, 0xFFFFFFFFu);
  // /L0 keeps what an earlier text set.
  PlayerSettings earlier;
  earlier.LoopCount = 5;
  const Parsed zero = Parse("a /L0", earlier);
  EXPECT_TRUE(zero.ok);
  EXPECT_EQ(zero.s.LoopCount, 5u);
  EXPECT_EQ(Parse("a /L0").s.LoopCount, 1u);
}

TEST(PlayerSettings, FrameRateOverride) {
  struct Case {
    const char* text;
    int32_t rate;
    bool flag;
  } cases[] = {{"a", -1, false},           {"a /F", 0, true},        {"a /F0", 0, true},
               {"a /F15", 15, true},       {"a /F-40", -4000, true}, {"a /F-1500", -150000, true},
               {"a /F-2000", -2000, true}, {"a /F-1", -1, false},    {"a /f-2", -200, true}};
  for (const Case& c : cases) {
    const Parsed p = Parse(c.text);
    EXPECT_TRUE(p.ok) << c.text;
    EXPECT_EQ(p.s.FrameRate, c.rate) << c.text;
    EXPECT_EQ((p.s.OpenFlags & 0x80u) != 0, c.flag) << c.text;
  }
  // A rate kept from an earlier text is not converted again.
  const Parsed first = Parse("/F-40");
  EXPECT_EQ(Parse("a", first.s).s.FrameRate, -4000);
  // /F-1 after an override takes it back, with its flag.
  const Parsed back = Parse("a /F-1", first.s);
  EXPECT_EQ(back.s.FrameRate, -1);
  EXPECT_EQ(back.s.OpenFlags & 0x80u, 0u);
}

TEST(PlayerSettings, TracksAndHeightScaling) {
  EXPECT_EQ(Parse("a /T0").s.OpenFlags & 0xFE000u, 0u);
  EXPECT_EQ(Parse("a /T5").s.OpenFlags & 0xFE000u, 0x2000u | 0x8000u);
  EXPECT_EQ(Parse("a /T255").s.OpenFlags & 0xFE000u, 0xFE000u);
  EXPECT_EQ(Parse("a /A1").s.OpenFlags & 0x300000u, 0x100000u);
  EXPECT_EQ(Parse("a /A2").s.OpenFlags & 0x300000u, 0x200000u);
  EXPECT_EQ(Parse("a /A3").s.OpenFlags & 0x300000u, 0x300000u);
  PlayerSettings doubled;
  doubled.OpenFlags |= 0x200000u;
  EXPECT_EQ(Parse("a /A0", doubled).s.OpenFlags & 0x300000u, 0u);
  EXPECT_EQ(Parse("a", doubled).s.OpenFlags & 0x300000u, 0x200000u);
}

TEST(PlayerSettings, ReadSpeedAndBuffers) {
  const Parsed p = Parse("a /M1000 /E65536 /G /P /N");
  EXPECT_EQ(p.s.SimulatedRate, 1000u);
  EXPECT_EQ(p.s.ExtraBuffer, 65536u);
  EXPECT_EQ(p.s.OpenFlags & 0xF00u, 0x800u | 0x100u | 0x200u | 0x400u);
  EXPECT_EQ(Parse("a /M0", p.s).s.OpenFlags & 0x800u, 0u);
  EXPECT_EQ(Parse("a", p.s).s.OpenFlags & 0x800u, 0x800u);
}

TEST(PlayerSettings, WindowStyle) {
  PlayerSettings styled;
  styled.DisplayFlags = 0xC200u;
  EXPECT_EQ(Parse("a /I7", styled).s.DisplayFlags, 0u);
  EXPECT_EQ(Parse("a /I1").s.DisplayFlags, 0xC000u);
  EXPECT_EQ(Parse("a /I2").s.DisplayFlags, 0xC200u);
  EXPECT_EQ(Parse("a /I3").s.DisplayFlags, 0x200u);
  EXPECT_EQ(Parse("a /I4").s.DisplayFlags, 0x4200u);
  // /I without a number changes nothing, and its slash is left over.
  const Parsed bare = Parse("a /I", styled);
  EXPECT_EQ(bare.s.DisplayFlags, 0xC200u);
  EXPECT_FALSE(bare.ok);
}

TEST(PlayerSettings, VideoType) {
  const Parsed v384 = Parse("a /V384");
  EXPECT_EQ(v384.s.DisplayFlags, 0x20u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(v384.s.DisplayFlags), 0x80u);
  const Parsed v130 = Parse("a /V130");
  EXPECT_EQ(v130.s.DisplayFlags, 23u | 0x80u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(v130.s.DisplayFlags), 3u | 0x200u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(Parse("a /V2 /B").s.DisplayFlags), 2u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(Parse("a /V1").s.DisplayFlags), 1u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(Parse("a /V259").s.DisplayFlags), 4u | 0x100u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(Parse("a /V4").s.DisplayFlags), 5u);
  EXPECT_EQ(Parse("a /V9").s.DisplayFlags, 0u);
  // Sound only forces standard DIBs over any /V.
  const Parsed sound = Parse("a /O /V1");
  EXPECT_TRUE(sound.s.SoundOnly);
  EXPECT_EQ(sound.s.DisplayFlags & 0x1Fu, 24u);
  EXPECT_EQ(vidzoplay::DisplayTypeRequest(sound.s.DisplayFlags), 4u);
}

TEST(PlayerSettings, FlagsFromTheLastTextAlone) {
  const Parsed first = Parse("/@ /Z /R2", {}, true);
  EXPECT_TRUE(first.s.NoMMX);
  EXPECT_TRUE(first.s.UseDirectSound);
  EXPECT_EQ(first.s.Remap, 2);
  const Parsed second = Parse("a", first.s, true);
  EXPECT_FALSE(second.s.NoMMX);
  EXPECT_FALSE(second.s.UseDirectSound);
  EXPECT_EQ(second.s.Remap, 0);
  // /Z is on only when the sound output could be switched.
  EXPECT_FALSE(Parse("a /Z", {}, false).s.UseDirectSound);
  int asked = 0;
  PlayerSettings s;
  std::string t = "a";
  vidzoplay::ParseSettings(t, s, [&] { return ++asked > 0; });
  EXPECT_EQ(asked, 0);
}

TEST(PlayerSettings, SetOnlyFlagsAndNumbers) {
  const Parsed p = Parse("/x10 /Y-20 /b /c /u4 /s /k /q /j /w640 /h480 /d2 a");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.rest.substr(p.rest.find_first_not_of(' ')), "a");
  EXPECT_EQ(p.s.WindowLeft, 10);
  EXPECT_EQ(p.s.WindowTop, -20);
  EXPECT_EQ(p.s.DisplayFlags, 0x100u | 0x1000u);
  EXPECT_EQ(p.s.DisabledControls, 4u);
  EXPECT_TRUE(p.s.ShowSummary && p.s.DifferencesOnly && p.s.FrameInCaption && p.s.PlayWithoutFocus);
  EXPECT_EQ(p.s.StretchWidth, 640u);
  EXPECT_EQ(p.s.StretchHeight, 480u);
  EXPECT_EQ(p.s.Resolution, 2u);
  // Switches glued together.
  const Parsed glued = Parse("a /L3/T5/S");
  EXPECT_TRUE(glued.ok);
  EXPECT_EQ(glued.s.LoopCount, 3u);
  EXPECT_TRUE(glued.s.ShowSummary);
}

TEST(PlayerSettings, LeftOverSlashes) {
  EXPECT_FALSE(Parse("a /XQ").ok);  // not a number switch
  EXPECT_FALSE(Parse("a /!").ok);
  EXPECT_FALSE(Parse("a /S /S").ok);  // a flag is taken once
  EXPECT_FALSE(Parse("/usr/movie.vdz").ok);
  EXPECT_FALSE(Parse("\"a /!").ok);  // an unmatched quote hides nothing
  EXPECT_FALSE(Parse("\"a\" \"b /!").ok);
  // Quoted names may hold slashes.
  const Parsed quoted = Parse("\"/tmp/a b/movie.vdz\" /S \"rel/x.vdz\"");
  EXPECT_TRUE(quoted.ok);
  EXPECT_EQ(quoted.rest, "\"/tmp/a b/movie.vdz\"  \"rel/x.vdz\"");
}

TEST(PlayerTexts, HelpBox) {
  const std::string help = vidzoplay::HelpText();
  EXPECT_EQ(
      help.rfind(" SYNTAX: VidzoPly <Vidzo1 Vidzo2...> [/Switches]\r\n  Switches:\r\n    /P  \t- Preload", 0),
      0u);
  EXPECT_NE(help.find("\r\n    /L##\t- Loop the animation (/L for infinite).\r\n"), std::string::npos);
  EXPECT_NE(
      help.find(
          "\r\n    /V##\t- Video type: 1=320x240, 2=320x200, 3=Standard, 4=DIBSection.\r\n        \t    "
          "Add 128 for interlaced, 256 for smoothing, or 384 for no DirectDraw."),
      std::string::npos);
  EXPECT_NE(help.back(), '\n');
  EXPECT_EQ(help.find("/#"), std::string::npos);
  EXPECT_EQ(vidzoplay::HelpCaption().rfind("VidzoPlay  V 3.1g", 0), 0u);
  EXPECT_EQ(vidzoplay::BannerText().rfind("VidzoPlay - V3.1g  ", 0), 0u);
}

TEST(PlayerTexts, Summary) {
  vidzoplay::PlaybackSummary s;
  EXPECT_EQ(vidzoplay::SummaryText(s), "");
  s.Stats.FramesPlayed = 1;
  s.Stats.FramePeriod = 0;
  s.Stats.TotalMs = 0;  // divides by 1
  s.Stats.DecodeMs = 3;
  s.Stats.SlowestFrame = 1;
  s.Stats.SlowestMs = 3;
  s.DisplayName = "Standard Windows DIBs";
  s.ScreenColours = 256;
  const std::string one = vidzoplay::SummaryText(s);
  EXPECT_EQ(one.rfind("  Frame rate: As fast as possible.\r\n  Frame rate obtained: 1000.0\r\n", 0), 0u);
  EXPECT_NE(one.find("Percentage spent decompressing: 300.0"), std::string::npos);
  EXPECT_NE(one.find(" (when idle)\r\n\n  Slowest frame: 1  Frame rate: 333.3"), std::string::npos);
  EXPECT_EQ(one.find("Second slowest"), std::string::npos);
  EXPECT_NE(one.find("\r\n\r\n  Screen colors: 256\r\n  Display blitter: Standard Windows DIBs"),
            std::string::npos);
  s.Stats.FramesPlayed = 25;
  s.Stats.FramePeriod = 6666;
  s.Stats.TotalMs = 2000;
  s.Stats.SecondSlowestFrame = 7;
  s.Stats.SecondSlowestMs = 0;
  s.PeakSecondBytes = 1234;
  s.PeakSecondFrame = 3;
  const std::string more = vidzoplay::SummaryText(s);
  EXPECT_EQ(
      more.rfind("  Frame rate: 15.0\r\n  Frame rate obtained: 12.5\r\n  Total frames played: 25\r\n", 0),
      0u);
  EXPECT_NE(
      more.find("Highest one second data rate: 1234\r\n  Highest one second data rate start frame: 3\r\n"),
      std::string::npos);
  EXPECT_NE(more.find("\r\n  Second slowest frame: 7  Frame rate: 1000.0"), std::string::npos);
}

}  // namespace
