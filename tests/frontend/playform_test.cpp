// The player's page driven through its own widgets on the offscreen
// platform: the command lines it composes, the frame-rate change, the
// self-playing program dialog and its settings section.
#include "frontend/playform.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <fstream>
#include <functional>
#include <memory>

#include "fake_form_host.h"
#include "form_typing.h"
#include "frontend/ini_file.h"
#include "frontend/scriptform.h"
#include "frontend/topwin.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::FakeFormHost;
using frontend_test::Toggle;
using frontend_test::Type;
using vidzoerw::Tplayform;
using vidzoerw::Tselff;

class PlayForm : public ::testing::Test {
 public:
  void SetUp() override {
    frontend_test::App();
    for (const char* name : {"a.vdz", "b.vdz", "my clip.vdz", "notes.txt"})
      std::ofstream(dir.File(name)) << "x";
    form = std::make_unique<Tplayform>(host);
    form->resize(900, 600);
    form->show();
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
  }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }
  void Highlight(const QStringList& files) { ASSERT_TRUE(form->Browser()->Highlight(files)); }
  // The page the helpers below work on.
  Tplayform* Target() const { return window_page != nullptr ? window_page : form.get(); }
  // Checks the box of a field and types its number.
  void Set(const QString& key, const QString& number) {
    vidzoerw::CheckField* f = Target()->Field(key);
    ASSERT_NE(f, nullptr) << key.toStdString();
    if (!f->On()) Toggle(f->Box());
    Type(f->Field(), number);
  }
  void Check(const QString& key) {
    QCheckBox* b = Target()->Box(key);
    ASSERT_NE(b, nullptr) << key.toStdString();
    if (!b->isChecked()) Toggle(b);
  }
  void Choose(const QString& key, int index) {
    QComboBox* l = Target()->List(key);
    ASSERT_NE(l, nullptr) << key.toStdString();
    ASSERT_LT(index, l->count());
    l->setCurrentIndex(index);
  }
  // Unchecks the boxes of these tracks (1 to 7).
  void DropTracks(std::initializer_list<int> tracks) {
    for (int t : tracks) {
      QCheckBox* b = Target()->Box("Track" + QString::number(t));
      ASSERT_NE(b, nullptr);
      if (b->isChecked()) Toggle(b);
    }
  }

  vidzoer_test::TempDir dir;
  FakeFormHost host;
  std::unique_ptr<Tplayform> form;
  Tplayform* window_page = nullptr;  // a page of a main window
};

struct LineCase {
  const char* name;
  std::function<void(PlayForm&)> set;
  const char* switches;  // what follows "VidzoPlW a.vdz"
};

TEST_F(PlayForm, CommandLinesAsTheUserSetsThem) {
  const LineCase cases[] = {
      {"nothing set", [](PlayForm&) {}, ""},
      {"loop with no number is for ever", [](PlayForm& t) { t.Set("Loop", ""); }, " /L"},
      {"loop twice", [](PlayForm& t) { t.Set("Loop", "2"); }, " /L2"},
      {"frame rate with no number is as fast as possible", [](PlayForm& t) { t.Set("FrameRate", ""); },
       " /F"},
      {"frame rate as milliseconds", [](PlayForm& t) { t.Set("FrameRate", "-40"); }, " /F-40"},
      {"a sign alone is no number", [](PlayForm& t) { t.Set("FrameRate", "-"); }, " /F"},
      {"x checked with no number sends nothing", [](PlayForm& t) { t.Set("X", ""); }, ""},
      {"a number typed then unchecked sends nothing",
       [](PlayForm& t) {
         t.Set("Y", "30");
         Toggle(t.form->Field("Y")->Box());
       },
       ""},
      {"all seven tracks send no /T", [](PlayForm& t) { t.DropTracks({}); }, ""},
      {"track 3 dropped", [](PlayForm& t) { t.DropTracks({3}); }, " /T123"},
      {"no track plays no sound",
       [](PlayForm& t) {
         t.DropTracks({1, 2, 3, 4, 5, 6, 7});
       },
       " /T0"},
      {"no direct drawing alone", [](PlayForm& t) { t.Check("DirectDrawOff"); }, " /V384"},
      {"video type 320x200", [](PlayForm& t) { t.Choose("Use", 2); }, " /V2"},
      {"window style and remap",
       [](PlayForm& t) {
         t.Choose("Style", 4);
         t.Choose("NoRemap", 2);
       },
       " /I4/R2"},
      {"disabled keys and height scaling",
       [](PlayForm& t) {
         t.Choose("DisabledControls", 5);
         t.Choose("YScale", 3);
       },
       " /U5/A3"},
      {"summary and preload in the player's order",
       [](PlayForm& t) {
         t.Check("ShowSummary");
         t.Check("Preload");
       },
       " /P/S"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    form = std::make_unique<Tplayform>(host);
    form->show();
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
    Highlight({"a.vdz"});
    c.set(*this);
    EXPECT_EQ(form->ComposeCommand(), QString("VidzoPlW a.vdz") + c.switches);
  }
  EXPECT_TRUE(host.told.isEmpty()) << host.told.join('|').toStdString();
}

TEST_F(PlayForm, EverySwitchOnInThePlayersOrder) {
  Highlight({"a.vdz"});
  Set("Loop", "2");
  Set("FrameRate", "15");
  Check("Preload");
  Check("ShowSummary");
  Check("NoFrameDrop");
  Set("X", "10");
  Set("Y", "-1");
  Set("W", "640");
  Set("H", "480");
  Check("SoundOnly");
  Check("DoubleBuffer");
  Choose("Style", 2);
  Check("NoClear");
  Choose("NoRemap", 1);
  Check("LoadExtra");
  Check("DeltasOnly");
  Check("NoPause");
  Check("DirectSound");
  Check("ShowFrames");
  Check("MMXOff");
  Choose("Use", 3);
  Check("DirectDrawOff");
  Choose("Display", 2);
  DropTracks({2, 4, 5, 6, 7});
  Choose("DisabledControls", 7);
  Choose("YScale", 1);
  Set("Simulate", "300000");
  Set("ExtraMem", "65536");
  EXPECT_EQ(form->ComposeCommand(),
            "VidzoPlW a.vdz /L2/F15/P/S/N/X10/Y-1/W640/H480/O/B/I2/C/R1/G/K/J/Z/Q/@/V387/D2/T5/U7/A1/M300000/"
            "E65536");
  // Masked fields keep their width: the loop count takes 5 digits.
  Set("Loop", "1234567");
  EXPECT_EQ(form->Field("Loop")->Text(), "12345");
}

TEST_F(PlayForm, SeveralFilesPlayInListOrderAndANameWithABlankIsQuoted) {
  Highlight({"b.vdz", "my clip.vdz", "a.vdz"});
  Check("ShowSummary");
  EXPECT_EQ(form->ComposeCommand(), "VidzoPlW a.vdz b.vdz \"my clip.vdz\" /S");
  ASSERT_TRUE(form->Run());
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].directory, Dir());
  EXPECT_EQ(host.runs[0].command, "VidzoPlW a.vdz b.vdz \"my clip.vdz\" /S");
  EXPECT_EQ(host.recent.size(), 3);
}

TEST_F(PlayForm, ADoubleClickedFilePlays) {
  QListWidget* list = form->Browser()->Files();
  const auto items = list->findItems("b.vdz", Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1);
  const QPoint at = list->visualItemRect(items[0]).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].command, "VidzoPlW b.vdz");
}

TEST_F(PlayForm, NothingHighlightedRunsNothing) {
  QTest::mouseClick(form->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(host.told, QStringList{"Error, no file is highlighted."});
}

TEST_F(PlayForm, FrameRateChangeIsGuardedAndAsked) {
  struct Case {
    const char* name;
    QStringList files;
    const char* rate;  // nullptr: the box is left unchecked
    int answer;
    const char* told;
    const char* command;
  } cases[] = {
      {"no file", {}, "12", vidzoerw::kYes, "Error, no file is highlighted.", nullptr},
      {"no number",
       {"a.vdz"},
       nullptr,
       vidzoerw::kYes,
       "Error, a frame rate number must be entered.",
       nullptr},
      {"a sign alone",
       {"a.vdz"},
       "-",
       vidzoerw::kYes,
       "Error, a frame rate number must be entered.",
       nullptr},
      {"answered no", {"a.vdz"}, "12", vidzoerw::kNo, nullptr, nullptr},
      {"answered yes", {"a.vdz"}, "12", vidzoerw::kYes, nullptr, "VidzoFR a.vdz /f12"},
      {"milliseconds, quoted name",
       {"my clip.vdz"},
       "-40",
       vidzoerw::kYes,
       nullptr,
       "VidzoFR \"my clip.vdz\" /f-40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host = FakeFormHost();
    form = std::make_unique<Tplayform>(host);
    form->show();
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
    if (!c.files.isEmpty()) Highlight(c.files);
    if (c.rate != nullptr) Set("FrameRate", c.rate);
    host.answers = {c.answer};
    QTest::mouseClick(form->FrameRateButton(), Qt::LeftButton);
    EXPECT_EQ(host.told, c.told ? QStringList{c.told} : QStringList());
    const bool asked = c.told == nullptr;
    EXPECT_EQ(host.asked, asked ? QStringList{"Are you sure you want to change the frame rate permanently?"}
                                : QStringList());
    ASSERT_EQ(host.runs.size(), c.command ? 1u : 0u);
    if (c.command != nullptr) {
      EXPECT_EQ(host.runs[0].command, c.command);
      EXPECT_EQ(host.runs[0].directory, Dir());
    }
  }
}

TEST_F(PlayForm, SelfPlayingProgramDialog) {
  // Nothing highlighted: no dialog.
  QTest::mouseClick(form->SelfPlayButton(), Qt::LeftButton);
  EXPECT_EQ(host.told, QStringList{"Error, no file is highlighted."});
  host.told.clear();

  Highlight({"a.vdz", "my clip.vdz"});
  Set("Loop", "3");
  Check("ShowSummary");
  QTest::mouseClick(form->SelfPlayButton(), Qt::LeftButton);
  Tselff* dialog = form->findChild<Tselff*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Compile Vidzoer Executable");
  EXPECT_TRUE(dialog->isVisible());
  // Only the player of this system is offered.
  ASSERT_EQ(dialog->System()->count(), 1);
  EXPECT_TRUE(dialog->System()->itemText(0).contains("vidzoplw"));
  EXPECT_EQ(dialog->SwitchesField()->text(), "/L3/S");
  ASSERT_EQ(dialog->Files()->count(), 2);
  EXPECT_EQ(dialog->Files()->item(1)->text(), "\"my clip.vdz\"");
  EXPECT_EQ(dialog->OutputField()->text(), "a");

  // An empty name and a switch text with a double quote are refused.
  Type(dialog->OutputField(), "");
  EXPECT_EQ(dialog->ComposeCommand(), "");
  Type(dialog->OutputField(), "show");
  Type(dialog->SwitchesField(), "/L3 \"x");
  EXPECT_EQ(dialog->ComposeCommand(), "");
  EXPECT_EQ(host.told.size(), 2);
  EXPECT_TRUE(host.runs.empty());

  Type(dialog->SwitchesField(), "/L3 /S");
  Type(dialog->OutputField(), "my show");
  QTest::mouseClick(dialog->CompileButton(), Qt::LeftButton);
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].directory, Dir());
  EXPECT_EQ(host.runs[0].command,
            "VdzCompi /opt/vidzoer/bin/vidzoplw \"my show\" \"/L3 /S\" a.vdz \"my clip.vdz\"");
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(PlayForm, SelfPlayWithNoSwitchesAndAToolsFolderWithABlank) {
  struct BlankToolsHost : FakeFormHost {
    QString ToolsDirectory() const override { return "/opt/my tools/"; }
  } blank_host;
  Highlight({"b.vdz"});
  Tplayform page(blank_host);
  ASSERT_TRUE(page.Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(page.Browser()->Highlight({"b.vdz"}));
  Tselff* dialog = page.OpenSelfPlay();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->ComposeCommand(), "VdzCompi \"/opt/my tools/vidzoplw\" b \"\" b.vdz");
}

// Every key of the section, in the settings file's table.
const char* const kPlayKeys[] = {"Filename",
                                 "Directory",
                                 "Filter",
                                 "Display",
                                 "Use",
                                 "Tracks",
                                 "DisabledControls",
                                 "YScale",
                                 "CurrentTab",
                                 "Loop",
                                 "FrameRate",
                                 "Preload",
                                 "ShowSummary",
                                 "NoFrameDrop",
                                 "X",
                                 "Y",
                                 "W",
                                 "H",
                                 "ShowFrames",
                                 "DirectSound",
                                 "DirectDrawOff",
                                 "MMXOff",
                                 "SoundOnly",
                                 "DoubleBuffer",
                                 "NoClear",
                                 "LoadExtra",
                                 "NoPause",
                                 "DeltasOnly",
                                 "Simulate",
                                 "ExtraMem",
                                 "Style",
                                 "NoRemap",
                                 "LoopNum",
                                 "FrameRateNum",
                                 "XNum",
                                 "YNum",
                                 "WNum",
                                 "HNum",
                                 "SimulateNum",
                                 "ExtraMemNum"};

TEST_F(PlayForm, SettingsWrittenAndReadBackAndDefaults) {
  // The defaults of a fresh page.
  {
    vidzoerw::IniFile ini;
    form->SaveSettings(ini);
    for (const char* key : kPlayKeys) EXPECT_TRUE(ini.Value("VidzoPlay", key).has_value()) << key;
    EXPECT_EQ(ini.String("VidzoPlay", "Tracks"), "127");
    EXPECT_EQ(ini.String("VidzoPlay", "Loop"), "0");
    EXPECT_EQ(ini.String("VidzoPlay", "Style"), "0");
    EXPECT_EQ(ini.String("VidzoPlay", "Filter"), "0");
  }
  Highlight({"b.vdz"});
  Set("Loop", "4");
  Set("FrameRate", "");
  Set("ExtraMem", "9000");
  Check("NoClear");
  Check("DirectDrawOff");
  Choose("Use", 1);
  Choose("Display", 4);
  Choose("Style", 3);
  DropTracks({7});
  form->Pages()->setCurrentIndex(2);
  const QString line = form->ComposeCommand();
  EXPECT_EQ(line, "VidzoPlW b.vdz /L4/F/I3/C/V385/D4/T63/E9000");
  vidzoerw::IniFile ini;
  form->SaveSettings(ini);
  EXPECT_EQ(ini.String("VidzoPlay", "Filename"), "b.vdz");
  EXPECT_EQ(ini.String("VidzoPlay", "Directory"), Dir().toStdString());
  EXPECT_EQ(ini.String("VidzoPlay", "Tracks"), "63");
  EXPECT_EQ(ini.String("VidzoPlay", "LoopNum"), "4");
  EXPECT_EQ(ini.String("VidzoPlay", "CurrentTab"), "2");
  EXPECT_EQ(ini.String("VidzoPlay", "Use"), "1");

  // Read back by a new page through the file's text.
  vidzoerw::IniFile again;
  again.Parse(ini.Text());
  FakeFormHost other_host;
  Tplayform other(other_host);
  other.LoadSettings(again);
  EXPECT_EQ(other.ComposeCommand(), line);
  EXPECT_EQ(other.Pages()->currentIndex(), 2);

  // The defaults: no switch, every track.
  other.ResetDefaults();
  EXPECT_EQ(other.SwitchText(), "");
  EXPECT_EQ(other.TrackMask(), 127);
  EXPECT_EQ(other.Pages()->currentIndex(), 0);
  EXPECT_FALSE(other.Field("Loop")->On());
  EXPECT_EQ(other.Field("Loop")->Text(), "");

  // A damaged section falls back to the defaults.
  vidzoerw::IniFile bad;
  bad.Parse("[VidzoPlay]\r\nTracks=lots\r\nStyle=99\r\nCurrentTab=-3\r\n");
  other.LoadSettings(bad);
  EXPECT_EQ(other.TrackMask(), 127);
  EXPECT_EQ(other.List("Style")->currentIndex(), 0);
  EXPECT_EQ(other.Pages()->currentIndex(), 0);
}

// The main window writes both pages' sections at close and reads them at
// start; its Defaults button (after a yes) resets them.
TEST_F(PlayForm, MainWindowKeepsThePagesAndItsDefaultsResetThem) {
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  const QString settings = QString::fromStdString(dir.File("cfg/Vidzoer.INI"));
  QString line;
  {
    vidzoerw::Ttopwin window(settings);
    auto* page = qobject_cast<Tplayform*>(window.Form(3));
    auto* scripts = qobject_cast<vidzoerw::Tscriptform*>(window.Form(4));
    ASSERT_NE(page, nullptr);
    ASSERT_NE(scripts, nullptr);
    EXPECT_EQ(window.Tabs()->widget(3), page);
    EXPECT_EQ(window.Tabs()->widget(4), scripts);
    ASSERT_TRUE(page->Browser()->SetDirectory(Dir()));
    ASSERT_TRUE(page->Browser()->Highlight({"b.vdz"}));
    window_page = page;
    Set("Loop", "3");
    Check("ShowSummary");
    Choose("YScale", 2);
    DropTracks({1});
    Type(scripts->FindField(), "START");
    line = page->ComposeCommand();
    EXPECT_EQ(line, "VidzoPlW b.vdz /L3/S/T126/A2");
    window_page = nullptr;
    window.close();
  }
  vidzoerw::IniFile ini;
  ASSERT_TRUE(ini.Load(settings.toStdString()));
  for (const char* key : kPlayKeys) EXPECT_TRUE(ini.Value("VidzoPlay", key).has_value()) << key;
  for (const char* key : {"Filename", "Directory", "Filter", "GotoLine", "FindText"})
    EXPECT_TRUE(ini.Value("VidzoScript", key).has_value()) << key;
  EXPECT_EQ(ini.String("VidzoPlay", "Tracks"), "126");
  EXPECT_EQ(ini.String("VidzoScript", "FindText"), "START");

  vidzoerw::Ttopwin again(settings);
  auto* page = qobject_cast<Tplayform*>(again.Form(3));
  auto* scripts = qobject_cast<vidzoerw::Tscriptform*>(again.Form(4));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ComposeCommand(), line);
  EXPECT_EQ(scripts->FindField()->text(), "START");
  vidzoerw::FormAnswers answers;
  QStringList asked;
  int answer = vidzoerw::kNo;
  answers.ask = [&](const QString& text, const QStringList&) {
    asked << text;
    return answer;
  };
  again.SetFormAnswers(answers);
  again.show();
  again.Tabs()->setCurrentIndex(0);  // the button is on the Main page
  QTest::mouseClick(again.DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(page->ComposeCommand(), line);  // "no" keeps everything
  answer = vidzoerw::kYes;
  QTest::mouseClick(again.DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(asked, QStringList(2, "Reset all options to their default values?"));
  EXPECT_EQ(page->ComposeCommand(), "VidzoPlW b.vdz");
  EXPECT_EQ(scripts->FindField()->text(), "");
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
