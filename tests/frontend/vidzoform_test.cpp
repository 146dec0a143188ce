// The compression page through its own widgets, set as a user sets them
// (keys into the fields and lists, check boxes toggled with the space bar,
// menu items triggered): the compressor's command line in the switches'
// order, each case compared character for character; the value fields of
// the compression types; the expert memo's temporary file; the page's
// settings section and its defaults.
#include "frontend/switches.h"
#include "frontend/vidzoform.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <map>

#include "fake_form_host.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using vidzoerw::Tvidzoform;

// A list's entry chosen with the keys.
void Choose(QComboBox* list, int index) {
  for (int i = 0; i < list->count(); ++i) QTest::keyClick(list, Qt::Key_Up);
  for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
  ASSERT_EQ(list->currentIndex(), index);
}

// A field's text replaced by typing.
void Type(QLineEdit* field, const QString& text) {
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}

void Toggle(QAbstractButton* box) {
  const bool was = box->isChecked();
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  ASSERT_NE(box->isChecked(), was);
}

// A check box with its field: checked and typed in.
void Fill(vidzoerw::CheckField* field, const QString& text) {
  if (!field->On()) Toggle(field->Box());
  Type(field->Field(), text);
}

void Slide(QSlider* slider, int to) {
  QTest::keyClick(slider, Qt::Key_Home);
  for (int i = 0; i < to; ++i) QTest::keyClick(slider, Qt::Key_Right);
  ASSERT_EQ(slider->value(), to);
}

class VidzoForm : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    for (const char* f : {"a.flc", "pal.bmp", "my pal.bmp"}) std::ofstream(dir.File(f)) << "x";
    QDir().mkpath(Dir() + "/tmp");
    form = std::make_unique<Tvidzoform>(host);
    form->SetTempFolder(Dir() + "/tmp");
    form->resize(900, 600);
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
    ASSERT_TRUE(form->Browser()->Highlight({"a.flc"}));
  }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }
  // The command the run button hands to the shell.
  QString Command() {
    host.runs.clear();
    QTest::mouseClick(form->RunButton(), Qt::LeftButton);
    return host.runs.size() == 1 ? host.runs[0].command : QString("(%1 commands)").arg(host.runs.size());
  }
  vidzoer_test::TempDir dir;
  frontend_test::FakeFormHost host;
  std::unique_ptr<Tvidzoform> form;
};

TEST_F(VidzoForm, TheDefaultsCommand) {
  EXPECT_EQ(Command(), "VidzoC a.flc a.vdz /N240000/K20/A95/L0 ");
  EXPECT_EQ(host.runs[0].directory, Dir());
  EXPECT_EQ(host.recent, QStringList({Dir() + "/a.flc", Dir() + "/a.vdz"}));
}

TEST_F(VidzoForm, EdgeCasesOfTheSwitches) {
  struct Case {
    const char* what;
    std::function<void(Tvidzoform&)> set;
    const char* command;
  };
  const std::vector<Case> cases = {
      {"% of its size",
       [](Tvidzoform& f) {
         Choose(f.RegularType(), vidzoerw::kCompressSize);
         Type(f.RegularValue(), "80");
       },
       "VidzoC a.flc a.vdz /N-480/K20/A95/L0 "},
      {"lossless", [](Tvidzoform& f) { Choose(f.RegularType(), vidzoerw::kCompressLossless); },
       "VidzoC a.flc a.vdz /N0/K20/A95/L0 "},
      {"empty data rate", [](Tvidzoform& f) { Type(f.RegularValue(), ""); },
       "VidzoC a.flc a.vdz /K20/A95/L0 "},
      {"% of the average key frame",
       [](Tvidzoform& f) {
         Choose(f.KeyType(), vidzoerw::kCompressAverage);
         Type(f.KeyValue(), "75");
       },
       "VidzoC a.flc a.vdz /N240000/K-75/A95/L0 "},
      {"sound off",
       [](Tvidzoform& f) {
         Slide(f.Lossy(), 4);
         Choose(f.Rate(), 2);
         Choose(f.Bits(), 2);
         Choose(f.Channels(), 2);
         Toggle(f.NoSound());
       },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L-1 "},
      {"sound on with its lists",
       [](Tvidzoform& f) {
         Slide(f.Lossy(), 4);
         Choose(f.Rate(), 3);
         Choose(f.Bits(), 1);
         Choose(f.Channels(), 1);
       },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L4 /R44100/B8/C1"},
      {"a rate typed in",
       [](Tvidzoform& f) {
         QTest::keyClick(f.Rate()->lineEdit(), Qt::Key_A, Qt::ControlModifier);
         QTest::keyClicks(f.Rate()->lineEdit(), "32000");
       },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L0 /R32000"},
      {"the input file's palette", [](Tvidzoform& f) { Type(f.PaletteFile(), "The input file."); },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L0 "},
      {"a palette file", [](Tvidzoform& f) { Type(f.PaletteFile(), "my pal.bmp"); },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L0 /&\"my pal.bmp\""},
      {"no auto-key", [](Tvidzoform& f) { Type(f.AutoKey(), ""); }, "VidzoC a.flc a.vdz /N240000/K20/L0 "},
      {"a key frame every, unchecked",
       [](Tvidzoform& f) {
         Fill(f.KeyEvery(), "12");
         Toggle(f.KeyEvery()->Box());
       },
       "VidzoC a.flc a.vdz /N240000/K20/A95/L0 "},
      {"flic output named after the input", [](Tvidzoform& f) { f.OutputTypeItem(1)->trigger(); },
       "VidzoC a.flc New_a.flc /N240000/K20/A95/L0 "},
      {"a bitmap series", [](Tvidzoform& f) { f.OutputTypeItem(3)->trigger(); },
       "VidzoC a.flc a.bmp /N240000/K20/A95/L0 "},
      {"an output name with a blank", [](Tvidzoform& f) { Type(f.OutputField(), "my film.vdz"); },
       "VidzoC a.flc \"my film.vdz\" /N240000/K20/A95/L0 "},
  };
  for (const Case& c : cases) {
    form->ResetDefaults();
    c.set(*form);
    EXPECT_EQ(Command(), c.command) << c.what;
  }
}

TEST_F(VidzoForm, EverySwitchOnInTheCompressorsOrder) {
  Choose(form->RegularType(), vidzoerw::kCompressSize);
  Type(form->RegularValue(), "80");
  Choose(form->KeyType(), vidzoerw::kCompressAverage);
  Type(form->KeyValue(), "90");
  Type(form->AutoKey(), "50");
  Fill(form->KeyEvery(), "12");
  Choose(form->HeightCompression(), 2);
  form->MixOriginal()->trigger();
  form->SkipEveryOther()->trigger();
  form->CreateRing()->trigger();
  Fill(form->Frame('S'), "2");
  Fill(form->Frame('E'), "40");
  Fill(form->Frame('F'), "15");
  Fill(form->Frame('X'), "8");
  Fill(form->Frame('Y'), "4");
  Fill(form->Frame('W'), "64");
  Fill(form->Frame('H'), "32");
  Slide(form->Lossy(), 3);
  Choose(form->Rate(), 2);
  Choose(form->Bits(), 2);
  Choose(form->Channels(), 2);
  Fill(form->PaletteColors(), "200");
  Fill(form->PaletteStart(), "16");
  Choose(form->Halftone(), 1);
  Choose(form->PaletteControl(), 2);
  Choose(form->WindowsColors(), 2);
  Fill(form->PaletteEvery(), "10");
  Type(form->PaletteFile(), "pal.bmp");
  form->Overwrite()->trigger();
  Type(form->OutputField(), "out.vdz");
  QTest::keyClicks(form->Memo(), "1 /N0");
  QTest::keyClick(form->Memo(), Qt::Key_Return);
  QTest::keyClicks(form->Memo(), "20 /K-90 /J5");
  const QString command = Command();
  ASSERT_EQ(form->TempFiles().size(), 1);
  const QString memo = form->TempFiles()[0];
  EXPECT_EQ(command,
            "VidzoC a.flc out.vdz /N-480/K-90/A50/J12/Z2/M/V/G/S2/E40/F15/X8/Y4/W64/H32/L3 "
            "/R22050/B16/C2/Q200/I16/T1/P2/D2/U10/&pal.bmp/O/@*" +
                memo);
  QFile f(memo);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "1 /N0\r\n20 /K-90 /J5\r\n");
  EXPECT_TRUE(memo.startsWith(Dir() + "/tmp/"));
  EXPECT_EQ(host.recent, QStringList({Dir() + "/a.flc", Dir() + "/out.vdz"}));
}

TEST_F(VidzoForm, AMemoThatCannotBeWrittenIsDropped) {
  form->SetTempFolder(Dir() + "/no/such/folder");
  QTest::keyClicks(form->Memo(), "1 /N0");
  EXPECT_EQ(Command(), "VidzoC a.flc a.vdz /N240000/K20/A95/L0 ");
  EXPECT_TRUE(form->TempFiles().isEmpty());
  // An empty memo makes no file.
  form->SetTempFolder(Dir() + "/tmp");
  form->Memo()->setPlainText("  \n");
  EXPECT_EQ(Command(), "VidzoC a.flc a.vdz /N240000/K20/A95/L0 ");
  EXPECT_TRUE(form->TempFiles().isEmpty());
  EXPECT_TRUE(QDir(Dir() + "/tmp").isEmpty());
}

TEST_F(VidzoForm, EachTypeShowsItsOwnValue) {
  struct Case {
    int type;
    const char* shown;
    const char* suffix;
  };
  const Case regular[] = {{0, "240000", ""}, {1, "80", " %"}, {2, "80", " %"}, {3, "30", " %"}};
  for (const Case& c : regular) {
    Choose(form->RegularType(), c.type);
    EXPECT_FALSE(form->RegularValue()->isHidden());
    EXPECT_EQ(form->RegularValue()->text(), c.shown) << c.type;
    EXPECT_EQ(form->RegularValue()->Suffix(), c.suffix) << c.type;
  }
  Choose(form->RegularType(), vidzoerw::kCompressLossless);
  EXPECT_TRUE(form->RegularValue()->isHidden());
  // A value typed for one type stays with it.
  Choose(form->RegularType(), 1);
  Type(form->RegularValue(), "55");
  Choose(form->RegularType(), 0);
  EXPECT_EQ(form->RegularValue()->text(), "240000");
  Choose(form->RegularType(), 1);
  EXPECT_EQ(form->RegularValue()->text(), "55");
  // Percentages take three digits, rates eight.
  Type(form->RegularValue(), "12345");
  EXPECT_EQ(form->RegularValue()->text(), "123");
  Choose(form->RegularType(), 0);
  Type(form->RegularValue(), "1234567890");
  EXPECT_EQ(form->RegularValue()->text(), "12345678");
  const Case key[] = {{0, "300000", ""}, {1, "90", " %"}, {2, "90", " %"}, {3, "20", " %"}};
  EXPECT_EQ(form->KeyType()->currentIndex(), 3);
  for (const Case& c : key) {
    Choose(form->KeyType(), c.type);
    EXPECT_EQ(form->KeyValue()->text(), c.shown) << c.type;
  }
  EXPECT_EQ(form->RegularType()->itemText(2), "as a % of its size.");
  EXPECT_EQ(form->RegularType()->count(), 5);
}

// The section's keys with their defaults.
const std::map<std::string, std::string> kDefaults = {
    {"OutputName", ""},
    {"OutputBasedOn", ""},
    {"Filter", "0"},
    {"RegularCompressType", "0"},
    {"KeyCompressType", "3"},
    {"NormalRate", "240000"},
    {"KeyRate", "300000"},
    {"NormalFilePerc", "80"},
    {"KeyFilePerc", "90"},
    {"NormalFramePerc", "80"},
    {"KeyFramePerc", "90"},
    {"NormalErrorPerc", "30"},
    {"KeyErrorPerc", "20"},
    {"AutoKeyFrame", "95"},
    {"YScale", "0"},
    {"CurrentTab", "0"},
    {"OutputType", "0"},
    {"Keys", "0"},
    {"Start", "0"},
    {"End", "0"},
    {"FrameRate", "0"},
    {"Ring", "0"},
    {"EveryOther", "0"},
    {"Overwrite", "0"},
    {"MixOriginal", "0"},
    {"X", "0"},
    {"Y", "0"},
    {"W", "0"},
    {"H", "0"},
    {"PaletteEvery", "0"},
    {"PaletteColors", "0"},
    {"PaletteStart", "0"},
    {"NoSound", "0"},
    {"KeyFramesNum", ""},
    {"StartNum", ""},
    {"EndNum", ""},
    {"FrameRateNum", ""},
    {"XNum", ""},
    {"YNum", ""},
    {"WNum", ""},
    {"HNum", ""},
    {"PaletteEveryNum", ""},
    {"PaletteColorsNum", ""},
    {"PaletteStartNum", ""},
    {"Halftone", "0"},
    {"PaletteControl", "0"},
    {"WindowsColors", "0"},
    {"LossySound", "0"},
    {"Rate", "0"},
    {"Quality", "0"},
    {"Channels", "0"},
    {"PaletteFile", "The input file."},
};

TEST_F(VidzoForm, EveryKeyWrittenReadBackAndReset) {
  vidzoerw::IniFile fresh;
  form->SaveSettings(fresh);
  for (const auto& [key, value] : kDefaults) EXPECT_EQ(fresh.Value("Vidzo", key), value) << key;
  EXPECT_EQ(fresh.Value("Vidzo", "Filename"), "a.flc");
  EXPECT_EQ(fresh.Value("Vidzo", "Directory"), dir.path().string());

  // Every option away from its default.
  Choose(form->Browser()->Filter(), 2);
  ASSERT_TRUE(form->Browser()->Highlight({"a.flc"}));
  for (int t = 0; t < 4; ++t) {
    Choose(form->RegularType(), t);
    Type(form->RegularValue(), QString::number(11 + t));
    Choose(form->KeyType(), t);
    Type(form->KeyValue(), QString::number(21 + t));
  }
  Choose(form->RegularType(), 2);
  Choose(form->KeyType(), 0);
  Type(form->AutoKey(), "60");
  Fill(form->KeyEvery(), "7");
  Choose(form->HeightCompression(), 1);
  for (QAction* a : {form->MixOriginal(), form->SkipEveryOther(), form->CreateRing(), form->Overwrite()})
    a->trigger();
  for (const char l : {'S', 'E', 'F', 'X', 'Y', 'W', 'H'}) Fill(form->Frame(l), QString::number(l - 60));
  Slide(form->Lossy(), 6);
  Choose(form->Rate(), 1);
  Choose(form->Bits(), 1);
  Choose(form->Channels(), 2);
  Toggle(form->NoSound());
  Fill(form->PaletteColors(), "100");
  Fill(form->PaletteStart(), "20");
  Fill(form->PaletteEvery(), "30");
  Choose(form->Halftone(), 2);
  Choose(form->PaletteControl(), 1);
  Choose(form->WindowsColors(), 1);
  Type(form->PaletteFile(), "pal.bmp");
  form->OutputTypeItem(2)->trigger();
  form->Pages()->setCurrentIndex(3);
  Type(form->OutputField(), "x.avi");
  QTest::keyClicks(form->Memo(), "3 /N0");
  const QString switches = form->Switches();

  vidzoerw::IniFile saved;
  form->SaveSettings(saved);
  for (const auto& [key, value] : kDefaults)
    EXPECT_NE(saved.Value("Vidzo", key), value) << key << " still has its default";
  EXPECT_EQ(saved.Value("VidzoFrameSpecific", "Frame0"), "3 /N0");

  // Read back by a new page: the same options, the same command.
  frontend_test::FakeFormHost other_host;
  Tvidzoform other(other_host);
  other.LoadSettings(saved);
  EXPECT_EQ(other.Switches(), switches);
  vidzoerw::IniFile again;
  other.SaveSettings(again);
  EXPECT_EQ(again.Text(), saved.Text());
  EXPECT_EQ(other.Memo()->toPlainText(), "3 /N0");

  // Defaults.
  form->ResetDefaults();
  vidzoerw::IniFile reset;
  form->SaveSettings(reset);
  for (const auto& [key, value] : kDefaults) EXPECT_EQ(reset.Value("Vidzo", key), value) << key;
  EXPECT_FALSE(reset.Value("VidzoFrameSpecific", "Frame0").has_value());
  EXPECT_EQ(form->Switches(), "/N240000/K20/A95/L0 ");
}

TEST_F(VidzoForm, ARateTypedInIsKeptInTheSettings) {
  QTest::keyClick(form->Rate()->lineEdit(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(form->Rate()->lineEdit(), "32000");
  vidzoerw::IniFile saved;
  form->SaveSettings(saved);
  EXPECT_EQ(saved.Value("Vidzo", "Rate"), "32000");
  frontend_test::FakeFormHost other_host;
  Tvidzoform other(other_host);
  other.LoadSettings(saved);
  EXPECT_EQ(other.Switches(), "/N240000/K20/A95/L0 /R32000");
}

}  // namespace
