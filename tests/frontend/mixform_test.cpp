// The Mixer page (offscreen): the command line it composes from its
// controls set as a user sets them, the sound file's name from its own
// browser or typed, and its section of the settings file.
#include "frontend/mixform.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_form_host.h"
#include "form_user.h"
#include "frontend/sound_format.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::Check;
using frontend_test::Choose;
using frontend_test::Click;
using frontend_test::FakeFormHost;
using frontend_test::Type;
using vidzoerw::Tmixform;

// clip.vdz and tone.wav in the folder "clips", other sounds in the folder
// "sounds dir" beside it and in "clips/more".
struct Folder {
  Folder() {
    std::filesystem::create_directories(dir.File("sounds dir"));
    std::filesystem::create_directories(dir.File("clips/more"));
    for (const char* f : {"clips/clip.vdz", "clips/tone.wav", "clips/more/near.wav", "sounds dir/far.wav",
                          "sounds dir/my tone.wav"})
      std::ofstream(dir.File(f)) << "x";
  }
  QString Root() const { return QString::fromStdString(dir.path().string()); }
  QString Path() const { return Root() + "/clips"; }
  vidzoer_test::TempDir dir;
};

struct MixCase {
  const char* name;
  std::function<void(Tmixform&, const QString& root)> set;
  const char* expected;  // "@" stands for the root, the clips' folder's parent
};

class MixCommand : public ::testing::TestWithParam<MixCase> {};

TEST_P(MixCommand, IsComposedFromTheControls) {
  const MixCase& c = GetParam();
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  Tmixform form(host);
  form.resize(760, 560);
  form.show();
  ASSERT_TRUE(form.Browser()->SetDirectory(folder.Path()));
  ASSERT_TRUE(form.Browser()->Highlight({"clip.vdz"}));
  ASSERT_TRUE(form.SoundBrowser()->SetDirectory(folder.Path()));
  ASSERT_TRUE(form.SoundBrowser()->Highlight({"tone.wav"}));
  if (c.set) c.set(form, folder.Root());
  QTest::mouseClick(form.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.runs.size(), 1u) << host.told.join("|").toStdString();
  EXPECT_EQ(host.runs[0].directory, folder.Path());
  EXPECT_EQ(host.runs[0].command, QString(c.expected).replace("@", folder.Root()));
}

const MixCase kMixCases[] = {
    {"Defaults", nullptr, "VidzoMix clip.vdz tone.wav New_clip.vdz "},
    {"TypedOutput", [](Tmixform& f, const QString&) { Type(f.OutputField(), "mixed.vdz"); },
     "VidzoMix clip.vdz tone.wav mixed.vdz "},
    // The slider at 0 sends no "/L".
    {"LossySlider",
     [](Tmixform& f, const QString&) {
       frontend_test::Reveal(f.Lossy());
       f.Lossy()->setFocus();
       for (int i = 0; i < 4; ++i) QTest::keyClick(f.Lossy(), Qt::Key_Right);
     },
     "VidzoMix clip.vdz tone.wav New_clip.vdz /L4"},
    {"LossySliderBackToZero",
     [](Tmixform& f, const QString&) {
       frontend_test::Reveal(f.Lossy());
       f.Lossy()->setFocus();
       QTest::keyClick(f.Lossy(), Qt::Key_Right);
       QTest::keyClick(f.Lossy(), Qt::Key_Left);
     },
     "VidzoMix clip.vdz tone.wav New_clip.vdz "},
    // Track 1 (index 0) is the tool's default and is not sent.
    {"TrackOneIsTheDefault", [](Tmixform& f, const QString&) { Choose(f.Track(), 0); },
     "VidzoMix clip.vdz tone.wav New_clip.vdz "},
    {"TrackTwo", [](Tmixform& f, const QString&) { Choose(f.Track(), 1); },
     "VidzoMix clip.vdz tone.wav New_clip.vdz /M2"},
    {"NonSoundData",
     [](Tmixform& f, const QString&) {
       Choose(f.Input()->Type(), 5);
       Type(f.Input()->Skip(), "16");
     },
     "VidzoMix clip.vdz tone.wav New_clip.vdz /Y5/K16"},
    {"NoForcedTypeNoRateNorSkip",
     [](Tmixform& f, const QString&) {
       Choose(f.Input()->Type(), 2);
       Type(f.Input()->ForcedRate(), "8000");
       Type(f.Input()->Skip(), "16");
       Choose(f.Input()->Type(), 0);
     },
     "VidzoMix clip.vdz tone.wav New_clip.vdz "},
    // A sound of another folder is named with its folder, quoted for its
    // blank.
    {"SoundOfAnotherFolder",
     [](Tmixform& f, const QString& dir) {
       frontend_test::Reveal(f.SoundBrowser());
       f.SoundBrowser()->SetDirectory(dir + "/sounds dir");
       f.SoundBrowser()->Highlight({"far.wav"});
     },
     "VidzoMix clip.vdz \"@/sounds dir/far.wav\" New_clip.vdz "},
    // Below the browsed folder the name is relative.
    {"SoundBelowTheBrowsedFolder",
     [](Tmixform& f, const QString& dir) {
       f.SoundBrowser()->SetDirectory(dir + "/clips/more");
       f.SoundBrowser()->Highlight({"near.wav"});
     },
     "VidzoMix clip.vdz more/near.wav New_clip.vdz "},
    {"SoundWithABlankInItsFolder",
     [](Tmixform& f, const QString& dir) {
       f.SoundBrowser()->SetDirectory(dir + "/sounds dir");
       f.SoundBrowser()->Highlight({"my tone.wav"});
       EXPECT_EQ(f.SoundName()->text(), "\"my tone.wav\"");
     },
     "VidzoMix clip.vdz \"@/sounds dir/my tone.wav\" New_clip.vdz "},
    // A name typed in double quotes loses them and is the sound folder's.
    {"QuotedNameTyped",
     [](Tmixform& f, const QString& dir) {
       f.SoundBrowser()->SetDirectory(dir + "/sounds dir");
       Type(f.SoundName(), "\"far.wav\"");
     },
     "VidzoMix clip.vdz \"@/sounds dir/far.wav\" New_clip.vdz "},
    {"NameTypedInTheBrowsedFolder", [](Tmixform& f, const QString&) { Type(f.SoundName(), "\"tone.wav\""); },
     "VidzoMix clip.vdz tone.wav New_clip.vdz "},
    {"EverySwitch",
     [](Tmixform& f, const QString&) {
       f.Lossy()->setFocus();
       frontend_test::Reveal(f.Lossy());
       QTest::keyClick(f.Lossy(), Qt::Key_End);
       Choose(f.Track(), 6);
       Check(f.FrameRate(), "15");
       Check(f.Start(), "3");
       Click(f.Loop());
       Click(f.Overwrite());
       Choose(f.Format()->Rate(), 1);
       Choose(f.Format()->Bits(), 2);
       Choose(f.Format()->Channels(), 1);
       Check(f.InputTrack(), "2");
       Check(f.InputStart(), "-2");
       Check(f.InputEnd(), "5000");
       Choose(f.Input()->Type(), 2);
       Type(f.Input()->ForcedRate(), "11025");
       Type(f.Input()->Skip(), "8");
     },
     "VidzoMix clip.vdz tone.wav New_clip.vdz /L9/M7/F15/G3/P/O/R11025/B16/C1/T2/S-2/E5000/Y2/D11025/K8"},
};

INSTANTIATE_TEST_SUITE_P(Table, MixCommand, ::testing::ValuesIn(kMixCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MixerPage, WithoutAVidzoerFileOrASoundNothingRuns) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  Tmixform form(host);
  form.Browser()->SetDirectory(folder.Path());
  form.SoundBrowser()->SetDirectory(folder.Path());
  form.SoundName()->clear();
  QTest::mouseClick(form.RunButton(), Qt::LeftButton);
  form.Browser()->Highlight({"clip.vdz"});
  QTest::mouseClick(form.RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(host.told, QStringList({"Error, no file is highlighted.", "Error, no sound file is chosen."}));
}

const std::vector<std::string> kMixKeys = {
    "VidzoFilename", "VidzoDirectory", "OutputName",  "OutputBasedOn", "VidzoFilter", "WaveFilter",
    "WaveFilename",  "WaveDirectory",  "Lossy",       "Track",         "Format",      "FrameRate",
    "Start",         "Loop",           "Overwrite",   "InputStart",    "InputEnd",    "InputTrack",
    "FrameRateNum",  "StartNum",       "SkipIntoNum", "InputStartNum", "InputEndNum", "InputTrackNum",
    "ForceRate",     "CurrentTab",     "Rate",        "Quality",       "Channels"};

std::map<std::string, std::string> Section(const vidzoerw::IniFile& ini) {
  std::map<std::string, std::string> out;
  for (const std::string& k : kMixKeys) {
    const auto v = ini.Value("VidzoMix", k);
    out[k] = v ? *v : "(absent)";
  }
  return out;
}

TEST(MixerPage, EveryKeyIsWrittenAndReadBackAndTheDefaultsComeBack) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  vidzoerw::IniFile fresh, changed, again, reset;
  {
    Tmixform form(host);
    form.SaveSettings(fresh);
  }
  const auto defaults = Section(fresh);
  for (const auto& [key, value] : defaults) EXPECT_NE(value, "(absent)") << key;
  EXPECT_EQ(defaults.at("Track"), "1");
  for (const char* zero :
       {"VidzoFilter", "WaveFilter", "Lossy", "Format", "FrameRate", "Start", "Loop", "Overwrite",
        "InputStart", "InputEnd", "InputTrack", "CurrentTab", "Rate", "Quality", "Channels"})
    EXPECT_EQ(defaults.at(zero), "0") << zero;
  {
    Tmixform form(host);
    form.show();
    form.Browser()->SetDirectory(folder.Path());
    form.Browser()->Filter()->setCurrentIndex(1);
    form.Browser()->Highlight({"clip.vdz"});
    form.SoundBrowser()->Filter()->setCurrentIndex(1);
    form.SoundBrowser()->SetDirectory(folder.Root() + "/sounds dir");
    form.SoundBrowser()->Highlight({"my tone.wav"});
    Type(form.OutputField(), "out.vdz");
    form.Lossy()->setValue(5);
    Choose(form.Track(), 3);
    Choose(form.Input()->Type(), 1);
    Type(form.Input()->ForcedRate(), "8000");
    Type(form.Input()->Skip(), "4");
    for (vidzoerw::CheckField* f :
         {form.FrameRate(), form.Start(), form.InputStart(), form.InputEnd(), form.InputTrack()})
      Check(f, "6");
    Click(form.Loop());
    Click(form.Overwrite());
    Choose(form.Format()->Rate(), 2);
    Choose(form.Format()->Bits(), 1);
    Choose(form.Format()->Channels(), 2);
    form.Tabs()->setCurrentIndex(2);
    form.SaveSettings(changed);
  }
  const auto saved = Section(changed);
  for (const auto& [key, value] : saved)
    if (key != "VidzoDirectory" && key != "WaveDirectory") {
      EXPECT_NE(value, defaults.at(key)) << key << " was not changed";
    }
  EXPECT_EQ(saved.at("WaveDirectory"), (folder.Root() + "/sounds dir").toStdString());
  EXPECT_EQ(saved.at("WaveFilename"), "\"my tone.wav\"");
  EXPECT_EQ(saved.at("Track"), "4");
  EXPECT_EQ(saved.at("VidzoFilename"), "clip.vdz");
  QString switches;
  {
    Tmixform form(host);
    form.LoadSettings(changed);
    form.SaveSettings(again);
    EXPECT_EQ(form.SoundFile(), "\"" + folder.Root() + "/sounds dir/my tone.wav\"");
    EXPECT_EQ(form.SoundBrowser()->Current(), folder.Root() + "/sounds dir/my tone.wav");
    switches = form.Switches();
    form.ResetDefaults();
    form.SaveSettings(reset);
    EXPECT_EQ(form.Switches(), "");
  }
  EXPECT_EQ(switches, "/L5/M4/F6/G6/P/O/R22050/B8/C2/T6/S6/E6/Y1/D8000/K4");
  EXPECT_EQ(Section(again), saved);
  auto after_reset = Section(reset);
  // The browsed folders and files stay where the user is.
  for (const char* stays : {"VidzoFilename", "VidzoDirectory", "WaveFilename", "WaveDirectory"})
    after_reset[stays] = defaults.at(stays);
  EXPECT_EQ(after_reset, defaults);
}

}  // namespace
