// The option pages in the main window: the compression page in its place,
// every page's settings written at close and read at start, the Defaults
// button asking first and resetting every page, the list editor serving
// "Create &list", and the thousands separator of the user's locale.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "frontend/ini_file.h"
#include "frontend/listedit.h"
#include "frontend/topwin.h"
#include "frontend/vidzoform.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

class FormWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    settings = QString::fromStdString(dir.File("cfg/Vidzoer.INI"));
    std::ofstream(dir.File("a.flc")) << "x";
    std::ofstream(dir.File("b.flc")) << "x";
    Open();
  }
  void TearDown() override {
    window.reset();
    unsetenv("XDG_RUNTIME_DIR");
  }
  void Open() {
    window = std::make_unique<vidzoerw::Ttopwin>(settings);
    window->Shell().SetLauncher([this](const std::vector<std::string>& args) {
      launched.push_back(args);
      return pid_t{999999};
    });
    window->SetFormAnswers({[this](const QString& text, const QStringList& buttons) {
                              asked << text;
                              return answer < 0 ? static_cast<int>(buttons.size()) - 1 : answer;
                            },
                            [this](const QString& text) { told << text; }, nullptr, nullptr});
  }
  vidzoerw::Tvidzoform* Vidzo() const { return dynamic_cast<vidzoerw::Tvidzoform*>(window->Form(1)); }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }
  vidzoer_test::TempDir dir;
  QString settings;
  std::unique_ptr<vidzoerw::Ttopwin> window;
  std::vector<std::vector<std::string>> launched;
  QStringList asked, told;
  int answer = -1;
};

TEST_F(FormWindow, TheCompressionPageIsTheVidzoPage) {
  ASSERT_NE(Vidzo(), nullptr);
  EXPECT_EQ(window->Tabs()->widget(1), Vidzo());
  EXPECT_EQ(window->Tabs()->tabText(1), "Vidzo");
  EXPECT_EQ(Vidzo()->RunButton()->text(), "&Compress");
  // Its browser starts in the shell's folder.
  EXPECT_EQ(Vidzo()->Directory(), window->Shell().CurrentDirectory());
}

TEST_F(FormWindow, ThePagesCommandRunsThroughTheShell) {
  window->Shell().SetCurrentDirectory("/");
  ASSERT_TRUE(Vidzo()->Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(Vidzo()->Browser()->Highlight({"a.flc"}));
  QTest::mouseClick(Vidzo()->RunButton(), Qt::LeftButton);
  ASSERT_EQ(launched.size(), 1u);
  // The shell went to the browsed folder; the compressor is a known tool and
  // gets the handle (no second "/#": the command was composed by a page).
  EXPECT_EQ(window->Shell().CurrentDirectory(), Dir());
  const std::vector<std::string>& args = launched[0];
  ASSERT_EQ(args.size(), 5u);
  EXPECT_TRUE(QString::fromStdString(args[0]).endsWith("vidzoc"));
  EXPECT_EQ(args[1], "a.flc");
  EXPECT_EQ(args[2], "a.vdz");
  EXPECT_EQ(args[3], "/N240000/K20/A95/L0");
  EXPECT_EQ(args.back(), "/#" + std::to_string(window->Server().Id()));
  EXPECT_TRUE(window->Shell().Output().join('\n').contains("> VidzoC a.flc a.vdz /N240000/K20/A95/L0"));
  EXPECT_EQ(window->Shell().RecentFiles().mid(0, 2), QStringList({Dir() + "/a.vdz", Dir() + "/a.flc"}));
}

TEST_F(FormWindow, SettingsWrittenAtCloseAndReadAtStart) {
  ASSERT_TRUE(Vidzo()->Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(Vidzo()->Browser()->Highlight({"b.flc"}));
  Vidzo()->RegularType()->setCurrentIndex(2);
  QTest::keyClick(Vidzo()->NoSound(), Qt::Key_Space);
  Vidzo()->CreateRing()->trigger();
  window->Tabs()->setCurrentIndex(1);
  const QString switches = Vidzo()->Switches();
  ASSERT_EQ(switches, "/N-480/K20/A95/G/L-1 ");
  ASSERT_TRUE(window->close());
  vidzoerw::IniFile ini;
  ASSERT_TRUE(ini.Load(settings.toStdString()));
  EXPECT_EQ(ini.Value("Vidzo", "RegularCompressType"), "2");
  EXPECT_EQ(ini.Value("Vidzo", "NoSound"), "1");
  EXPECT_EQ(ini.Value("Vidzo", "Filename"), "b.flc");
  EXPECT_EQ(ini.Value("Vidzo", "Directory"), dir.path().string());
  EXPECT_EQ(ini.Value("VidzoMain", "CurrentTab"), "1");
  EXPECT_EQ(ini.Value("VidzoMain", "ShowHints"), "1");
  EXPECT_TRUE(ini.Value("VidzoMain", "X").has_value());
  Open();
  EXPECT_EQ(Vidzo()->Switches(), switches);
  EXPECT_EQ(Vidzo()->Directory(), Dir());
  EXPECT_EQ(Vidzo()->HighlightedFiles(), QStringList({Dir() + "/b.flc"}));
  EXPECT_EQ(window->Tabs()->currentIndex(), 1);
}

TEST_F(FormWindow, DefaultsAsksThenResetsEveryPage) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  Vidzo()->RegularType()->setCurrentIndex(4);
  Vidzo()->Overwrite()->trigger();
  answer = vidzoerw::kNo;
  QTest::mouseClick(window->DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(asked, QStringList({"Reset all options to their default values?"}));
  EXPECT_EQ(Vidzo()->Switches(), "/N0/K20/A95/L0 /O");
  answer = vidzoerw::kYes;
  QTest::mouseClick(window->DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(asked.size(), 2);
  EXPECT_EQ(Vidzo()->Switches(), "/N240000/K20/A95/L0 ");
  // Every page was reset: each one's settings are its defaults again.
  for (vidzoerw::Tformpage* form : window->Forms()) {
    vidzoerw::IniFile before, after;
    form->SaveSettings(before);
    form->ResetDefaults();
    form->SaveSettings(after);
    EXPECT_EQ(before.Text(), after.Text()) << form->Section().toStdString();
  }
}

TEST_F(FormWindow, CreateListThroughTheListEditor) {
  ASSERT_TRUE(Vidzo()->Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(Vidzo()->Browser()->Highlight({"a.flc", "b.flc"}));
  QStringList entries;
  window->SetFormAnswers({[this](const QString& text, const QStringList&) {
                            asked << text;
                            return 0;  // "Create &list"
                          },
                          [this](const QString& text) { told << text; },
                          [&](vidzoerw::Tlistedit& editor) {
                            entries = editor.Entries();
                            editor.choose_save_as = [this] { return Dir() + "/Both.LST"; };
                            editor.ask = [](const QString&) { return QMessageBox::Yes; };
                            EXPECT_TRUE(editor.CloseEditor());
                          },
                          nullptr});
  QTest::mouseClick(Vidzo()->RunButton(), Qt::LeftButton);
  EXPECT_TRUE(launched.empty());
  EXPECT_EQ(entries, QStringList({"a.flc", "b.flc"}));
  ASSERT_EQ(told.size(), 1);
  EXPECT_EQ(told[0],
            "The list file, " + Dir() +
                "/both.lst, has been created and is highlighted.\r\nYou may now use it to process your "
                "multiple selections together.");
  EXPECT_EQ(Vidzo()->HighlightedFiles(), QStringList({Dir() + "/both.lst"}));
  // The list is the next command's input.
  window->SetFormAnswers({});
  QTest::mouseClick(Vidzo()->RunButton(), Qt::LeftButton);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0][1], "both.lst");
  EXPECT_EQ(launched[0][2], "both.vdz");
}

TEST_F(FormWindow, OneByOneRunsABatchThroughTheShell) {
  window->Shell().SetReportGrace(50);
  ASSERT_TRUE(Vidzo()->Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(Vidzo()->Browser()->Highlight({"a.flc", "b.flc"}));
  QString approved;
  int question = 0;
  window->SetFormAnswers({[&](const QString& text, const QStringList&) {
                            asked << text;
                            return question++ == 0 ? 1 : vidzoerw::kYes;  // "&One by one", then yes, yes
                          },
                          [this](const QString& text) { told << text; }, nullptr,
                          [&](const QString& file) {
                            approved = file;
                            return true;
                          }});
  QTest::mouseClick(Vidzo()->RunButton(), Qt::LeftButton);
  EXPECT_EQ(approved, Dir() + "/onebyone.sbt");
  // Each line started the compressor from the batch (with the batch's
  // second "/#"); the batch file is gone.
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[0][1], "a.flc");
  EXPECT_EQ(launched[0][2], "a.vdz");
  EXPECT_EQ(launched[1][1], "b.flc");
  EXPECT_EQ(launched[1][2], "b.vdz");
  EXPECT_EQ(launched[1].back(), "/#" + std::to_string(window->Server().Id()) + "/#");
  EXPECT_FALSE(QFileInfo::exists(Dir() + "/onebyone.sbt"));
  EXPECT_EQ(told,
            QStringList({"Note that you can view the results of the one by one processing in the command "
                         "history on the command tab."}));
  EXPECT_TRUE(window->Shell().Output().join('\n').contains("> VidzoC b.flc b.vdz"));
}

TEST(FormWindowLocale, NumbersGroupedAsTheUsersLocaleDoes) {
  frontend_test::App();
  vidzoer_test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  std::ofstream(dir.File("big.bin")) << std::string(1234567, 'x');
  const QLocale saved;
  struct Case {
    QLocale locale;
    const char* grouped;
  };
  for (const Case& c : {Case{QLocale(QLocale::German, QLocale::Germany), "1.234.567"},
                        Case{QLocale(QLocale::English, QLocale::UnitedStates), "1,234,567"},
                        Case{QLocale(QLocale::French, QLocale::France), "1\u202f234\u202f567"}}) {
    QLocale::setDefault(c.locale);
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    EXPECT_EQ(window.Grouped(1234567), QString::fromUtf8(c.grouped));
    window.Shell().RunCommand(QString::fromStdString(dir.path().string()), "dir big.bin");
    EXPECT_TRUE(window.Shell().Output().join('\n').contains(QString::fromUtf8(c.grouped)))
        << window.Shell().Output().join('\n').toStdString();
  }
  QLocale::setDefault(saved);
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
