// What the option pages share: switches joined in order, the compression
// type values, names on a command line, the numbered-sequence probe and its
// question, output names, the masked number fields, settings bound to
// controls, and the choice of input for several highlighted files (a list
// file or a one-by-one batch), through a page's own widgets.
#include "frontend/form_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "fake_form_host.h"
#include "frontend/switches.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using vidzoerw::CheckField;
using vidzoerw::FormInput;
using vidzoerw::NumberField;
using vidzoerw::SwitchLine;

TEST(Switches, JoinedInTheOrderAdded) {
  SwitchLine line;
  line.Value('N', "240000")
      .Flag('M', false)
      .Flag('V', true)
      .Value('S', " 12 ", true)
      .Value('E', "99", false)
      .Value('F', "   ")
      .Index('Z', 0)
      .Index('T', 2)
      .Derived('B', 1, "8")
      .Derived('C', 0, "1")
      .Value('L', "-1")
      .Raw(" ")
      .Value('&', "pal.bmp");
  EXPECT_EQ(line.Text(), "/N240000/V/S12/T2/B8/L-1 /&pal.bmp");
  EXPECT_TRUE(SwitchLine().Flag('O', false).Empty());
}

TEST(Switches, CompressTypeValues) {
  struct Case {
    int type;
    const char* field;
    const char* value;
  };
  const Case cases[] = {
      {vidzoerw::kCompressRate, "240000", "240000"}, {vidzoerw::kCompressRate, "", ""},
      {vidzoerw::kCompressRate, "  ", ""},           {vidzoerw::kCompressAverage, "80 %", "-80"},
      {vidzoerw::kCompressAverage, "x80", ""},       {vidzoerw::kCompressSize, "80", "-480"},
      {vidzoerw::kCompressSize, "0", "-400"},        {vidzoerw::kCompressSize, "100 %", "-500"},
      {vidzoerw::kCompressError, "30", "30"},        {vidzoerw::kCompressError, "7a9", "7"},
      {vidzoerw::kCompressLossless, "", "0"},        {vidzoerw::kCompressLossless, "55", "0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(vidzoerw::CompressTypeValue(c.type, c.field), c.value) << c.type << " " << c.field;
}

TEST(Switches, NamesOnACommandLine) {
  struct Case {
    const char* file;
    const char* dir;
    const char* name;
  };
  const Case cases[] = {
      {"/data/films/a.flc", "/data/films", "a.flc"},
      {"/data/films/a.flc", "/data/films/", "a.flc"},
      {"/data/films/sub/a.flc", "/data/films", "sub/a.flc"},
      {"/data/other/a.flc", "/data/films", "/data/other/a.flc"},
      {"/data/filmsx/a.flc", "/data/films", "/data/filmsx/a.flc"},
      {"/data/films/my film.flc", "/data/films", "\"my film.flc\""},
      {"/my data/a.flc", "/data", "\"/my data/a.flc\""},
      {"pic????.bmp*1-10", "/data", "pic????.bmp*1-10"},
      {"a.flc", "", "a.flc"},
  };
  for (const Case& c : cases) EXPECT_EQ(vidzoerw::CommandName(c.file, c.dir), c.name) << c.file;
}

TEST(Sequences, ProbedWhileTheNumbersAreListed) {
  const QStringList listed = {"pic0001.bmp", "pic0002.bmp", "pic0003.bmp", "pic0004.bmp", "pic0006.bmp",
                              "a8.tga",      "a9.tga",      "a10.tga",     "x.bmp",       "only7.bmp",
                              "v2_001.png",  "v2_002.png",  "PIC0005.bmp"};
  struct Case {
    const char* file;
    bool found;
    const char* first;
    const char* last;
    const char* input;
  };
  const Case cases[] = {
      {"/d/pic0003.bmp", true, "pic0001.bmp", "pic0004.bmp", "/d/pic????.bmp*1-4"},
      {"pic0001.bmp", true, "pic0001.bmp", "pic0004.bmp", "pic????.bmp*1-4"},
      {"/d/pic0006.bmp", false, "", "", ""},  // 5 is missing (another case is another name)
      {"/d/a9.tga", true, "a8.tga", "a9.tga", "/d/a?.tga*8-9"},  // 10 is wider
      {"/d/x.bmp", false, "", "", ""},
      {"/d/only7.bmp", false, "", "", ""},
      {"/d/v2_002.png", true, "v2_001.png", "v2_002.png", "/d/v2_???.png*1-2"},  // the last run of digits
  };
  for (const Case& c : cases) {
    const auto s = vidzoerw::ProbeSequence(c.file, listed);
    ASSERT_EQ(s.has_value(), c.found) << c.file;
    if (!s) continue;
    EXPECT_EQ(s->first, c.first);
    EXPECT_EQ(s->last, c.last);
    EXPECT_EQ(s->Input(), c.input);
  }
  const auto s = vidzoerw::ProbeSequence("/d/pic0002.bmp", listed);
  ASSERT_TRUE(s);
  EXPECT_EQ(
      vidzoerw::SequenceQuestion(*s),
      "This file appears to be part of a sequence of files (pic0001.bmp to pic0004.bmp).\r\nDo you want "
      "to treat the sequence as a single animation?");
}

TEST(OutputNames, DerivedWithTheOutputTypesExtension) {
  struct Case {
    const char* input;
    bool sequence;
    const char* ext;
    bool series;
    const char* output;
  };
  const Case cases[] = {
      {"/d/a.flc", false, "vdz", false, "/d/a.vdz"},
      {"/d/a.vdz", false, "vdz", false, "/d/New_a.vdz"},
      {"/d/A.VDZ", false, "vdz", false, "/d/New_A.vdz"},
      {"/d/a.b.avi", false, "flc", false, "/d/a.b.flc"},
      {"/d/pic????.bmp*1-10", true, "vdz", false, "/d/pic.vdz"},
      {"/d/pic_????.bmp*1-10", true, "avi", false, "/d/pic.avi"},
      {"/d/pic????.bmp*1-10", true, "bmp", true, "/d/new_pic????.bmp"},
      {"/d/pic????.bmp*1-10", true, "png", true, "/d/pic????.png"},
      {"/d/????.bmp*1-10", true, "vdz", false, "/d/sequence.vdz"},
      {"a.lst", false, "vdz", false, "a.vdz"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(vidzoerw::DeriveOutputName({c.input, c.sequence, false}, c.ext, c.series), c.output) << c.input;
  EXPECT_EQ(vidzoerw::OutputTypeExtensions(),
            QStringList({"vdz", "flc", "avi", "bmp", "jpg", "tga", "tif", "pcx", "gif"}));
  EXPECT_FALSE(vidzoerw::OutputTypeIsSeries(2));
  EXPECT_TRUE(vidzoerw::OutputTypeIsSeries(3));
}

TEST(NumberFields, KeepAtMostTheMasksWidthOfDigits) {
  frontend_test::App();
  struct Case {
    int width;
    bool sign;
    const char* typed;
    const char* text;
  };
  const Case cases[] = {
      {8, false, "240000", "240000"}, {8, false, "1234567890", "12345678"}, {3, false, "8x0%", "80"},
      {3, false, "-12", "12"},        {3, true, "-1234", "-123"},           {4, true, "1-2", "12"},
  };
  for (const Case& c : cases) {
    NumberField field(c.width, " %", c.sign);
    QTest::keyClicks(&field, c.typed);
    EXPECT_EQ(field.text(), c.text) << c.typed;
    EXPECT_EQ(field.Suffix(), " %");
  }
  CheckField start("Starting frame:", 6);
  EXPECT_EQ(start.Box()->text(), "Starting frame:");
  EXPECT_FALSE(start.Field()->isEnabled());
  QTest::mouseClick(start.Box(), Qt::LeftButton, {}, QPoint(4, start.Box()->height() / 2));
  EXPECT_TRUE(start.On());
  EXPECT_TRUE(start.Field()->isEnabled());
  QTest::keyClicks(start.Field(), "12");
  EXPECT_EQ(start.Text(), "12");
}

// A page of graphics input: "Conv" with its input and output, and options
// bound to keys.
class TestPage : public vidzoerw::Tformpage {
 public:
  explicit TestPage(vidzoerw::FormHost& host)
      : Tformpage(host, "TestPage", {"Pictures (*.bmp *.png)", "All files (*)"}, "&Convert") {
    over = new QCheckBox("Overwrite", this);
    type = new QComboBox(this);
    type->addItems({"zero", "one", "two", "three"});
    start = new CheckField("Starting frame:", 6, this);
    Options()->addWidget(over);
    Options()->addWidget(type);
    Options()->addWidget(start);
    Options()->addWidget(MakeOutputField(this));
    BindFlag("Overwrite", over, true);
    BindIndex("Type", type, 3);
    BindCheckField("Start", "StartNum", start, "5");
  }
  QString CommandFor(const FormInput& input) override {
    const QString out = OutputFor(input, "png", true);
    return "Conv " + vidzoerw::CommandName(input.name, Directory()) + " " +
           vidzoerw::CommandName(out, Directory()) + " " +
           SwitchLine().Flag('O', over->isChecked()).Index('T', type->currentIndex()).Text();
  }
  void AfterRun(const QString& command) override { after = command; }
  using Tformpage::OutputFor;
  QCheckBox* over;
  QComboBox* type;
  CheckField* start;
  QString after;
};

class Page : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    for (const char* f : {"pic01.bmp", "pic02.bmp", "pic03.bmp", "other.bmp", "notes.txt", "my pic.png"})
      std::ofstream(dir.File(f)) << "x";
    page = std::make_unique<TestPage>(host);
    ASSERT_TRUE(page->Browser()->SetDirectory(Dir()));
  }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }
  void Highlight(const QStringList& names) {
    QListWidget* files = page->Browser()->Files();
    files->clearSelection();
    for (const QString& n : names) {
      const auto items = files->findItems(n, Qt::MatchExactly);
      ASSERT_EQ(items.size(), 1) << n.toStdString();
      const QRect r = files->visualItemRect(items.front());
      QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    }
  }
  vidzoer_test::TempDir dir;
  frontend_test::FakeFormHost host;
  std::unique_ptr<TestPage> page;
};

TEST_F(Page, TheFilterListsItsFiles) {
  page->resize(700, 500);
  EXPECT_EQ(page->Browser()->Listed(),
            QStringList({"my pic.png", "other.bmp", "pic01.bmp", "pic02.bmp", "pic03.bmp"}));
  page->Browser()->Filter()->setCurrentIndex(1);
  EXPECT_TRUE(page->Browser()->Listed().contains("notes.txt"));
}

TEST_F(Page, ASequenceAsTheUserAnswers) {
  page->resize(700, 500);
  struct Case {
    int answer;
    const char* command;  // "" abandoned
  };
  const Case cases[] = {
      {vidzoerw::kYes, "Conv pic??.bmp*1-3 pic??.png /O/T3"},
      {vidzoerw::kNo, "Conv pic02.bmp pic02.png /O/T3"},
      {vidzoerw::kCancel, ""},
  };
  for (const Case& c : cases) {
    host.runs.clear();
    host.asked.clear();
    host.answers = {c.answer};
    Highlight({"pic02.bmp"});
    QTest::mouseClick(page->RunButton(), Qt::LeftButton);
    ASSERT_EQ(host.asked.size(), 1);
    EXPECT_EQ(
        host.asked[0],
        "This file appears to be part of a sequence of files (pic01.bmp to pic03.bmp).\r\nDo you want to "
        "treat the sequence as a single animation?");
    if (*c.command == 0) {
      EXPECT_TRUE(host.runs.empty());
      continue;
    }
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(host.runs[0].directory, Dir());
    EXPECT_EQ(host.runs[0].command, c.command);
    EXPECT_EQ(page->after, c.command);
  }
  // "pic??" with a png output keeps its "?"; a bmp name on its own gets
  // another name (the extension differs), "New_" only when equal.
  EXPECT_EQ(page->OutputFor({Dir() + "/other.png", false, false}, "png", true), Dir() + "/New_other.png");
}

TEST_F(Page, NoFileHighlighted) {
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(host.told, QStringList({"Error, no file is highlighted."}));
}

TEST_F(Page, TheOutputFieldServesTheInputItWasTypedFor) {
  page->resize(700, 500);
  Highlight({"my pic.png"});
  QTest::keyClicks(page->OutputField(), "out file.png");
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].command, "Conv \"my pic.png\" \"out file.png\" /O/T3");
  Highlight({"other.bmp"});
  EXPECT_TRUE(page->OutputField()->text().isEmpty());
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.runs.size(), 2u);
  EXPECT_EQ(host.runs[1].command, "Conv other.bmp other.png /O/T3");
}

TEST_F(Page, SeveralFilesMakeAListFileThatIsHighlighted) {
  page->resize(700, 500);
  QStringList entries;
  QString folder;
  host.edit_list = [&](const QString& f, const QStringList& e) {
    folder = f;
    entries = e;
    std::ofstream(dir.File("mine.lst")) << "other.bmp\npic03.bmp\n";
    return Dir() + "/mine.lst";
  };
  host.answers = {0};  // "Create &list"
  Highlight({"other.bmp", "pic03.bmp"});
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(folder, Dir());
  EXPECT_EQ(entries, QStringList({"other.bmp", "pic03.bmp"}));
  // The pictures' filter gave way to one that lists the list file.
  EXPECT_EQ(page->HighlightedFiles(), QStringList({Dir() + "/mine.lst"}));
  EXPECT_EQ(page->Browser()->Filter()->currentIndex(), 1);
  ASSERT_EQ(host.told.size(), 1);
  EXPECT_EQ(host.told[0],
            "The list file, " + Dir() +
                "/mine.lst, has been created and is highlighted.\r\nYou may now use it to process "
                "your multiple selections together.");
  // The editor closed without saving: nothing more happens.
  host.told.clear();
  host.edit_list = [](const QString&, const QStringList&) { return QString(); };
  host.answers = {0};
  Highlight({"other.bmp", "pic03.bmp"});
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.told.isEmpty());
  EXPECT_EQ(page->HighlightedFiles().size(), 2);
}

TEST_F(Page, SeveralFilesOneByOneInABatchFile) {
  page->resize(700, 500);
  QString approved_text;
  host.approve_batch = [&](const QString& file) {
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    approved_text = QString::fromLocal8Bit(f.readAll());
    return true;
  };
  host.answers = {1, vidzoerw::kYes, vidzoerw::kYes};  // one by one, run it, delete it
  Highlight({"my pic.png", "pic01.bmp"});
  // The output field is not used for each file.
  QTest::keyClicks(page->OutputField(), "ignored.png");
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_EQ(approved_text,
            "Conv \"my pic.png\" \"New_my pic.png\" /O/T3\r\nConv pic01.bmp pic01.png /O/T3\r\n");
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].command, Dir() + "/onebyone.sbt");
  EXPECT_EQ(host.batch_text, approved_text);
  EXPECT_FALSE(QFileInfo::exists(Dir() + "/onebyone.sbt"));
  ASSERT_EQ(host.asked.size(), 3);
  EXPECT_EQ(host.asked[1], "The batch file, onebyone.sbt, has been created.\r\nDo you want to run it now?");
  EXPECT_EQ(host.asked[2], "Do you want to delete the batch file, onebyone.sbt, now?");
  EXPECT_EQ(host.told, QStringList({"Note that you can view the results of the one by one processing in the "
                                    "command history on the command tab."}));
  // Kept when the user says no; not run when not approved.
  host.runs.clear();
  host.answers = {1, vidzoerw::kYes, vidzoerw::kNo};
  Highlight({"pic01.bmp", "pic02.bmp"});
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(QFileInfo::exists(Dir() + "/onebyone.sbt"));
  host.runs.clear();
  host.approve_batch = [](const QString&) { return false; };
  host.answers = {1};
  Highlight({"pic01.bmp", "pic02.bmp"});
  QTest::mouseClick(page->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_FALSE(QFileInfo::exists(Dir() + "/onebyone1.sbt"));
}

TEST_F(Page, SettingsBoundToTheControls) {
  EXPECT_TRUE(page->over->isChecked());
  EXPECT_EQ(page->type->currentIndex(), 3);
  EXPECT_EQ(page->start->Field()->text(), "5");
  vidzoerw::IniFile ini;
  ini.Parse("[TestPage]\r\nOverwrite=0\r\nType=1\r\nStart=1\r\nStartNum=42\r\nDirectory=" +
            dir.path().string() + "\r\nFilename=pic02.bmp\r\nFilter=1\r\nOutputName=x.png\r\n");
  page->LoadSettings(ini);
  EXPECT_FALSE(page->over->isChecked());
  EXPECT_EQ(page->type->currentIndex(), 1);
  EXPECT_TRUE(page->start->On());
  EXPECT_EQ(page->start->Text(), "42");
  EXPECT_EQ(page->Browser()->Filter()->currentIndex(), 1);
  EXPECT_EQ(page->HighlightedFiles(), QStringList({Dir() + "/pic02.bmp"}));
  EXPECT_EQ(page->OutputField()->text(), "x.png");
  vidzoerw::IniFile out;
  page->SaveSettings(out);
  for (const auto& [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"Overwrite", "0"},
                                                        {"Type", "1"},
                                                        {"Start", "1"},
                                                        {"StartNum", "42"},
                                                        {"Filter", "1"},
                                                        {"Filename", "pic02.bmp"},
                                                        {"Directory", dir.path().string()},
                                                        {"OutputName", "x.png"},
                                                        {"OutputBasedOn", ""}})
    EXPECT_EQ(out.Value("TestPage", key), value) << key;
  page->ResetDefaults();
  EXPECT_TRUE(page->over->isChecked());
  EXPECT_EQ(page->type->currentIndex(), 3);
  EXPECT_FALSE(page->start->On());
  EXPECT_EQ(page->start->Text(), "5");
  EXPECT_EQ(page->Browser()->Filter()->currentIndex(), 0);
  // A list index out of range and a missing key give the default.
  vidzoerw::IniFile bad;
  bad.Parse("[TestPage]\r\nType=17\r\n");
  page->LoadSettings(bad);
  EXPECT_EQ(page->type->currentIndex(), 3);
}

}  // namespace
