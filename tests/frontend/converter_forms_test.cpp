// The Graphics Processor and Sound Processor pages (offscreen): the
// command lines they compose from their controls set as a user sets them,
// and their sections of the settings file.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <fstream>
#include <functional>
#include <iterator>

#include "fake_form_host.h"
#include "form_user.h"
#include "frontend/mixform.h"
#include "frontend/sound_format.h"
#include "frontend/topwin.h"
#include "frontend/towavform.h"
#include "frontend/veziviform.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::Check;
using frontend_test::Choose;
using frontend_test::Click;
using frontend_test::FakeFormHost;
using frontend_test::Type;
using vidzoerw::Ttowavform;
using vidzoerw::Tveziviform;

// A folder with the files the pages browse.
struct Folder {
  Folder() {
    for (const char* f : {"clip.flc", "clip.vdz", "snd.wav", "my clip.flc", "pal.bmp"})
      std::ofstream(dir.File(f)) << "x";
  }
  QString Path() const { return QString::fromStdString(dir.path().string()); }
  vidzoer_test::TempDir dir;
};

// Makes a page in the folder, highlights `input`, lets `set` work its
// controls, presses the run button and returns the command run.
template <typename Form>
QString Compose(const QString& input, const std::function<void(Form&)>& set,
                FakeFormHost* host_out = nullptr) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  Form form(host);
  form.resize(760, 560);
  form.show();
  EXPECT_TRUE(form.Browser()->SetDirectory(folder.Path()));
  EXPECT_TRUE(form.Browser()->Highlight({input}));
  if (set) set(form);
  QTest::mouseClick(form.RunButton(), Qt::LeftButton);
  if (host_out != nullptr) *host_out = host;
  if (host.runs.size() != 1) return "(" + QString::number(host.runs.size()) + " commands run)";
  EXPECT_EQ(host.runs[0].directory, folder.Path());
  return host.runs[0].command;
}

void ChooseType(Tveziviform& f, int type) {
  f.Types()->actions()[type]->trigger();
}

struct GraphicsCase {
  const char* name;
  const char* input;
  std::function<void(Tveziviform&)> set;
  const char* expected;
};

class GraphicsCommand : public ::testing::TestWithParam<GraphicsCase> {};

TEST_P(GraphicsCommand, IsComposedFromTheControls) {
  const GraphicsCase& c = GetParam();
  EXPECT_EQ(Compose<Tveziviform>(c.input, c.set), QString(c.expected));
}

const GraphicsCase kGraphicsCases[] = {
    {"Defaults", "clip.flc", nullptr, "VizodOv clip.flc clip.vdz "},
    {"SameNameGetsNew", "clip.vdz", nullptr, "VizodOv clip.vdz New_clip.vdz "},
    {"TypeBitmapSeries", "clip.vdz", [](Tveziviform& f) { ChooseType(f, 3); }, "VizodOv clip.vdz clip.bmp "},
    {"TypeGif", "clip.vdz", [](Tveziviform& f) { ChooseType(f, 8); }, "VizodOv clip.vdz clip.gif "},
    {"TypedOutput", "clip.vdz", [](Tveziviform& f) { Type(f.OutputField(), "frame.png"); },
     "VizodOv clip.vdz frame.png "},
    {"BlankNamesQuoted", "my clip.flc", nullptr, "VizodOv \"my clip.flc\" \"my clip.vdz\" "},
    {"InputPaletteFileSendsNoPaletteName", "clip.flc", [](Tveziviform& f) { Check(f.Colors(), "128"); },
     "VizodOv clip.flc clip.vdz /Q128"},
    {"PaletteFileNamed", "clip.flc", [](Tveziviform& f) { Type(f.PaletteFile(), "pal.bmp"); },
     "VizodOv clip.flc clip.vdz /&pal.bmp"},
    {"PaletteFieldNamingTheInputFile", "clip.flc",
     [](Tveziviform& f) { Type(f.PaletteFile(), "the input file, please"); }, "VizodOv clip.flc clip.vdz "},
    {"EmptyPaletteField", "clip.flc", [](Tveziviform& f) { Type(f.PaletteFile(), "  "); },
     "VizodOv clip.flc clip.vdz "},
    {"CheckedButEmptyFieldsSendNothing", "clip.flc",
     [](Tveziviform& f) {
       Click(f.Start()->Box());
       Click(f.Colors()->Box());
     },
     "VizodOv clip.flc clip.vdz "},
    {"UncheckedFieldsSendNothing", "clip.flc",
     [](Tveziviform& f) {
       Check(f.Start(), "5");
       Click(f.Start()->Box());
     },
     "VizodOv clip.flc clip.vdz "},
    {"ListIndexesAboveZero", "clip.flc",
     [](Tveziviform& f) {
       Choose(f.Halftone(), 2);
       Choose(f.Control(), 1);
       Choose(f.WindowsColors(), 0);
     },
     "VizodOv clip.flc clip.vdz /T2/P1"},
    // True colour: the palette's controls are disabled and send nothing.
    {"TrueColourDropsThePaletteSwitches", "clip.flc",
     [](Tveziviform& f) {
       Check(f.Colors(), "200");
       Check(f.FirstIndex(), "10");
       Check(f.Every(), "5");
       Choose(f.Halftone(), 1);
       Choose(f.Control(), 2);
       Choose(f.WindowsColors(), 2);
       Type(f.PaletteFile(), "pal.bmp");
       Choose(f.PaletteMenu(), Tveziviform::kTrueColour);
       ChooseType(f, 3);
     },
     "VizodOv clip.flc clip.bmp /A"},
    {"EveryPaletteSwitch", "clip.flc",
     [](Tveziviform& f) {
       Check(f.Colors(), "200");
       Check(f.FirstIndex(), "16");
       Choose(f.Halftone(), 1);
       Choose(f.Control(), 2);
       Choose(f.WindowsColors(), 2);
       Check(f.Every(), "10");
       Type(f.PaletteFile(), "pal.bmp");
       Click(f.Overwrite());
       Check(f.FrameRate(), "-50");
       Check(f.Start(), "2");
       Check(f.End(), "9");
       Check(f.X(), "1");
       Check(f.Y(), "2");
       Check(f.W(), "30");
       Check(f.H(), "40");
       ChooseType(f, 6);
     },
     "VizodOv clip.flc clip.tif /Q200/I16/T1/P2/D2/U10/&pal.bmp/O/F-50/S2/E9/X1/Y2/W30/H40"},
    {"EverySwitchInTrueColour", "clip.flc",
     [](Tveziviform& f) {
       Choose(f.PaletteMenu(), Tveziviform::kTrueColour);
       Click(f.Overwrite());
       Check(f.FrameRate(), "12");
       Check(f.Start(), "1");
       Check(f.End(), "3");
       Check(f.X(), "4");
       Check(f.Y(), "5");
       Check(f.W(), "6");
       Check(f.H(), "7");
       ChooseType(f, 2);
     },
     "VizodOv clip.flc clip.avi /A/O/F12/S1/E3/X4/Y5/W6/H7"},
    // The masks keep at most their width of digits.
    {"MasksCutLongNumbers", "clip.flc", [](Tveziviform& f) { Check(f.Colors(), "12345"); },
     "VizodOv clip.flc clip.vdz /Q123"},
};

INSTANTIATE_TEST_SUITE_P(Table, GraphicsCommand, ::testing::ValuesIn(kGraphicsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GraphicsPage, TheTypeButtonShowsTheChosenType) {
  frontend_test::App();
  FakeFormHost host;
  Tveziviform form(host);
  EXPECT_EQ(form.TypeButton()->text(), "&Type: vdz");
  ChooseType(form, 7);
  EXPECT_EQ(form.OutputType(), 7);
  EXPECT_EQ(form.TypeButton()->text(), "&Type: pcx");
  EXPECT_EQ(form.Types()->actions().size(), 9);
}

TEST(GraphicsPage, TheRunAddsInputAndOutputToTheRecentFiles) {
  FakeFormHost host;
  Compose<Tveziviform>("clip.flc", nullptr, &host);
  ASSERT_EQ(host.recent.size(), 2);
  EXPECT_TRUE(host.recent[0].endsWith("/clip.flc"));
  EXPECT_TRUE(host.recent[1].endsWith("/clip.vdz"));
}

struct SoundCase {
  const char* name;
  const char* input;
  std::function<void(Ttowavform&)> set;
  const char* expected;
};

class SoundCommand : public ::testing::TestWithParam<SoundCase> {};

TEST_P(SoundCommand, IsComposedFromTheControls) {
  const SoundCase& c = GetParam();
  EXPECT_EQ(Compose<Ttowavform>(c.input, c.set), QString(c.expected));
}

const SoundCase kSoundCases[] = {
    {"Defaults", "clip.vdz", nullptr, "VorurEd clip.vdz clip.wav "},
    {"SameNameGetsNew", "snd.wav", nullptr, "VorurEd snd.wav New_snd.wav "},
    {"TypedOutput", "clip.vdz", [](Ttowavform& f) { Type(f.OutputField(), "out.wav"); },
     "VorurEd clip.vdz out.wav "},
    {"RateFromTheList", "clip.vdz", [](Ttowavform& f) { Choose(f.Format()->Rate(), 2); },
     "VorurEd clip.vdz clip.wav /R22050"},
    {"RateTyped", "clip.vdz", [](Ttowavform& f) { Type(f.Format()->Rate()->lineEdit(), "32000"); },
     "VorurEd clip.vdz clip.wav /R32000"},
    {"RateTypedAfterADigit", "clip.vdz",
     [](Ttowavform& f) { Type(f.Format()->Rate()->lineEdit(), "8000 Hz"); },
     "VorurEd clip.vdz clip.wav /R8000"},
    {"BitsAndChannels", "clip.vdz",
     [](Ttowavform& f) {
       Choose(f.Format()->Bits(), 1);
       Choose(f.Format()->Channels(), 2);
     },
     "VorurEd clip.vdz clip.wav /B8/C2"},
    {"SixteenBits", "clip.vdz", [](Ttowavform& f) { Choose(f.Format()->Bits(), 2); },
     "VorurEd clip.vdz clip.wav /B16"},
    // The rate and the skip go only with a forced input type.
    {"NoForcedTypeNoRateNorSkip", "snd.wav",
     [](Ttowavform& f) {
       Choose(f.Input()->Type(), 3);
       Type(f.Input()->ForcedRate(), "8000");
       Type(f.Input()->Skip(), "44");
       Choose(f.Input()->Type(), 0);
     },
     "VorurEd snd.wav New_snd.wav "},
    {"ForcedType", "snd.wav",
     [](Ttowavform& f) {
       Choose(f.Input()->Type(), 3);
       Type(f.Input()->ForcedRate(), "8000");
       Type(f.Input()->Skip(), "44");
     },
     "VorurEd snd.wav New_snd.wav /Y3/D8000/K44"},
    {"ForcedTypeWithEmptyFields", "snd.wav", [](Ttowavform& f) { Choose(f.Input()->Type(), 1); },
     "VorurEd snd.wav New_snd.wav /Y1"},
    {"NegativeTimesAreFrames", "clip.vdz",
     [](Ttowavform& f) {
       Check(f.Start(), "-3");
       Check(f.End(), "-9");
     },
     "VorurEd clip.vdz clip.wav /S-3/E-9"},
    {"EverySwitch", "snd.wav",
     [](Ttowavform& f) {
       Click(f.Overwrite());
       Choose(f.Format()->Rate(), 3);
       Choose(f.Format()->Bits(), 1);
       Choose(f.Format()->Channels(), 2);
       Check(f.Track(), "2");
       Check(f.Start(), "100");
       Check(f.End(), "900");
       Choose(f.Input()->Type(), 4);
       Type(f.Input()->ForcedRate(), "22050");
       Type(f.Input()->Skip(), "10");
     },
     "VorurEd snd.wav New_snd.wav /O/R44100/B8/C2/T2/S100/E900/Y4/D22050/K10"},
};

INSTANTIATE_TEST_SUITE_P(Table, SoundCommand, ::testing::ValuesIn(kSoundCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoundPage, NothingHighlightedRunsNothing) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  Ttowavform form(host);
  form.Browser()->SetDirectory(folder.Path());
  QTest::mouseClick(form.RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(host.told, QStringList{"Error, no file is highlighted."});
}

// ---- Settings

// Every key of a section, with the value the page wrote.
std::map<std::string, std::string> Section(const vidzoerw::IniFile& ini, const std::string& section,
                                           const std::vector<std::string>& keys) {
  std::map<std::string, std::string> out;
  for (const std::string& k : keys) {
    const auto v = ini.Value(section, k);
    out[k] = v ? *v : "(absent)";
  }
  return out;
}

const std::vector<std::string> kGraphicsKeys = {"Filename",        "Directory",
                                                "OutputName",      "OutputBasedOn",
                                                "Filter",          "CurrentTab",
                                                "OutputType",      "PaletteType",
                                                "XOffset",         "YOffset",
                                                "Width",           "Height",
                                                "Start",           "End",
                                                "Overwrite",       "PaletteEvery",
                                                "PaletteColors",   "PaletteStart",
                                                "XOffsetNum",      "YOffsetNum",
                                                "WidthNum",        "HeightNum",
                                                "StartNum",        "EndNum",
                                                "PaletteEveryNum", "PaletteColorsNum",
                                                "PaletteStartNum", "Halftone",
                                                "PaletteControl",  "WindowsColors"};

const std::vector<std::string> kSoundKeys = {
    "Filename", "Directory",  "OutputName", "OutputBasedOn", "Filter",   "Rate",  "Quality",
    "Channels", "CurrentTab", "InputType",  "Overwrite",     "Track",    "Start", "End",
    "TrackNum", "StartNum",   "EndNum",     "ForceRate",     "SkipBytes"};

TEST(GraphicsPage, EveryKeyIsWrittenAndReadBackAndTheDefaultsComeBack) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  vidzoerw::IniFile fresh, changed, again, reset;
  {
    Tveziviform form(host);
    form.SaveSettings(fresh);
  }
  const auto defaults = Section(fresh, "GraphicsProcessor", kGraphicsKeys);
  for (const auto& [key, value] : defaults) EXPECT_NE(value, "(absent)") << key;
  for (const char* zero : {"Filter", "CurrentTab", "OutputType", "PaletteType", "XOffset", "Start",
                           "Overwrite", "PaletteColors", "Halftone", "PaletteControl", "WindowsColors"})
    EXPECT_EQ(defaults.at(zero), "0") << zero;
  EXPECT_EQ(defaults.at("OutputName"), "");
  EXPECT_EQ(defaults.at("StartNum"), "");
  {
    Tveziviform form(host);
    form.show();
    form.Browser()->SetDirectory(folder.Path());
    form.Browser()->Filter()->setCurrentIndex(2);
    form.Browser()->Filter()->setCurrentIndex(6);
    form.Browser()->Highlight({"clip.flc"});
    Type(form.OutputField(), "out.flc");
    ChooseType(form, 4);
    Choose(form.PaletteMenu(), 1);
    Choose(form.PaletteMenu(), 0);
    for (vidzoerw::CheckField* f : {form.X(), form.Y(), form.W(), form.H(), form.Start(), form.End(),
                                    form.Every(), form.Colors(), form.FirstIndex()})
      Check(f, "7");
    Click(form.Overwrite());
    Choose(form.Halftone(), 1);
    Choose(form.Control(), 2);
    Choose(form.WindowsColors(), 1);
    Choose(form.PaletteMenu(), 1);
    form.Tabs()->setCurrentIndex(1);
    form.SaveSettings(changed);
  }
  const auto saved = Section(changed, "GraphicsProcessor", kGraphicsKeys);
  for (const auto& [key, value] : saved)
    if (key != "Filename" && key != "Directory" && key != "OutputBasedOn") {
      EXPECT_NE(value, defaults.at(key)) << key << " was not changed";
    }
  EXPECT_EQ(saved.at("Filename"), "clip.flc");
  EXPECT_EQ(saved.at("Directory"), folder.Path().toStdString());
  EXPECT_EQ(saved.at("OutputType"), "4");
  EXPECT_EQ(saved.at("PaletteType"), "1");
  EXPECT_EQ(saved.at("PaletteColorsNum"), "7");
  {
    Tveziviform form(host);
    form.LoadSettings(changed);
    form.SaveSettings(again);
    EXPECT_EQ(form.Browser()->Current(), folder.Path() + "/clip.flc");
    EXPECT_EQ(form.TypeButton()->text(), "&Type: jpg");
    form.ResetDefaults();
    form.SaveSettings(reset);
  }
  EXPECT_EQ(Section(again, "GraphicsProcessor", kGraphicsKeys), saved);
  auto after_reset = Section(reset, "GraphicsProcessor", kGraphicsKeys);
  // The folder and the file stay where the user is.
  for (const char* stays : {"Filename", "Directory"}) after_reset[stays] = defaults.at(stays);
  EXPECT_EQ(after_reset, defaults);
}

TEST(SoundPage, EveryKeyIsWrittenAndReadBackAndTheDefaultsComeBack) {
  frontend_test::App();
  Folder folder;
  FakeFormHost host;
  vidzoerw::IniFile fresh, changed, again, reset;
  {
    Ttowavform form(host);
    form.SaveSettings(fresh);
  }
  const auto defaults = Section(fresh, "VorurEdocessor", kSoundKeys);
  for (const auto& [key, value] : defaults) {
    if (key == "Filename" || key == "Directory") continue;
    EXPECT_TRUE(value == "0" || value.empty()) << key << "=" << value;
  }
  {
    Ttowavform form(host);
    form.show();
    form.Browser()->SetDirectory(folder.Path());
    form.Browser()->Filter()->setCurrentIndex(5);
    form.Browser()->Highlight({"snd.wav"});
    Type(form.OutputField(), "out.wav");
    Type(form.Format()->Rate()->lineEdit(), "16000");
    Choose(form.Format()->Bits(), 2);
    Choose(form.Format()->Channels(), 1);
    Choose(form.Input()->Type(), 2);
    Type(form.Input()->ForcedRate(), "8000");
    Type(form.Input()->Skip(), "12");
    Click(form.Overwrite());
    Check(form.Track(), "3");
    Check(form.Start(), "10");
    Check(form.End(), "20");
    form.Tabs()->setCurrentIndex(0);
    form.SaveSettings(changed);
  }
  const auto saved = Section(changed, "VorurEdocessor", kSoundKeys);
  for (const auto& [key, value] : saved)
    if (key != "Filename" && key != "Directory" && key != "CurrentTab") {
      EXPECT_NE(value, defaults.at(key)) << key << " was not changed";
    }
  EXPECT_EQ(saved.at("Rate"), "16000");
  EXPECT_EQ(saved.at("OutputBasedOn"), (folder.Path() + "/snd.wav").toStdString());
  {
    Ttowavform form(host);
    form.LoadSettings(changed);
    form.SaveSettings(again);
    EXPECT_EQ(form.Switches(), "/O/R16000/B16/C1/T3/S10/E20/Y2/D8000/K12");
    form.ResetDefaults();
    form.SaveSettings(reset);
    EXPECT_EQ(form.Switches(), "");
  }
  EXPECT_EQ(Section(again, "VorurEdocessor", kSoundKeys), saved);
  auto after_reset = Section(reset, "VorurEdocessor", kSoundKeys);
  for (const char* stays : {"Filename", "Directory"}) after_reset[stays] = defaults.at(stays);
  EXPECT_EQ(after_reset, defaults);
}

TEST(SoundFormat, TheRateSettingKeepsListIndexesAndTypedNumbers) {
  frontend_test::App();
  vidzoerw::SoundFormatBox box;
  const struct {
    const char* stored;
    const char* value;
    const char* again;
  } cases[] = {{"0", "", "0"}, {"1", "11025", "1"}, {"3", "44100", "3"},    {"32000", "32000", "32000"},
               {"", "", "0"},  {"x", "", "0"},      {"22050", "22050", "2"}};
  for (const auto& c : cases) {
    box.SetRateSetting(c.stored);
    EXPECT_EQ(box.RateValue(), QString(c.value)) << c.stored;
    EXPECT_EQ(box.RateSetting(), QString(c.again)) << c.stored;
  }
}

// ---- Through the main window: written at close, read at start, and the
// Defaults button of the Main page.

namespace window_settings {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ConverterPagesInTheWindow, SettingsAreWrittenAtCloseReadAtStartAndReset) {
  frontend_test::App();
  Folder folder;
  setenv("XDG_RUNTIME_DIR", folder.dir.path().c_str(), 1);
  const QString settings = QString::fromStdString(folder.dir.File("cfg/Vidzoer.INI"));
  {
    vidzoerw::Ttopwin window(settings);
    auto* graphics = dynamic_cast<Tveziviform*>(window.Form(5));
    auto* sound = dynamic_cast<Ttowavform*>(window.Form(6));
    auto* mixer = dynamic_cast<vidzoerw::Tmixform*>(window.Form(2));
    ASSERT_TRUE(graphics != nullptr && sound != nullptr && mixer != nullptr);
    EXPECT_EQ(window.Tabs()->widget(5), graphics);
    EXPECT_EQ(window.Tabs()->widget(6), sound);
    EXPECT_EQ(window.Tabs()->widget(2), mixer);
    window.show();
    window.Tabs()->setCurrentIndex(5);
    graphics->Browser()->SetDirectory(folder.Path());
    Check(graphics->Colors(), "64");
    ChooseType(*graphics, 5);
    window.Tabs()->setCurrentIndex(6);
    Choose(sound->Format()->Channels(), 2);
    Check(sound->End(), "700");
    window.Tabs()->setCurrentIndex(2);
    Choose(mixer->Track(), 2);
    Click(mixer->Loop());
    window.close();
  }
  const std::string ini = ReadFile(settings.toStdString());
  for (const char* line : {"[GraphicsProcessor]\r\n", "PaletteColors=1\r\n", "PaletteColorsNum=64\r\n",
                           "OutputType=5\r\n", "[VorurEdocessor]\r\n", "Channels=2\r\n", "EndNum=700\r\n",
                           "[VidzoMix]\r\n", "Track=3\r\n", "Loop=1\r\n"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " not in\n" << ini;
  vidzoerw::Ttopwin window(settings);
  auto* graphics = dynamic_cast<Tveziviform*>(window.Form(5));
  auto* sound = dynamic_cast<Ttowavform*>(window.Form(6));
  auto* mixer = dynamic_cast<vidzoerw::Tmixform*>(window.Form(2));
  ASSERT_TRUE(graphics != nullptr && sound != nullptr && mixer != nullptr);
  EXPECT_EQ(graphics->Directory(), folder.Path());
  EXPECT_EQ(graphics->Switches(), "/Q64");
  EXPECT_EQ(graphics->OutputType(), 5);
  EXPECT_EQ(sound->Switches(), "/C2/E700");
  EXPECT_EQ(mixer->Switches(), "/M3/P");
  // "Defaults": a no keeps the options, a yes resets them.
  QStringList asked;
  int answer = vidzoerw::kNo;
  vidzoerw::FormAnswers answers;
  answers.ask = [&](const QString& text, const QStringList&) {
    asked << text;
    return answer;
  };
  window.SetFormAnswers(answers);
  window.show();
  window.Tabs()->setCurrentIndex(0);
  QTest::mouseClick(window.DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(graphics->Switches(), "/Q64");
  answer = vidzoerw::kYes;
  QTest::mouseClick(window.DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(asked, QStringList({"Reset all options to their default values?",
                                "Reset all options to their default values?"}));
  EXPECT_EQ(graphics->Switches(), "");
  EXPECT_EQ(graphics->OutputType(), 0);
  EXPECT_EQ(sound->Switches(), "");
  EXPECT_EQ(mixer->Switches(), "");
  EXPECT_EQ(mixer->Track()->currentIndex(), 0);
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace window_settings

}  // namespace
