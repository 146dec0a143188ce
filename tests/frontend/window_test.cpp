// The main window on the offscreen platform: its pages, the command page
// driven by keys (QTest), the batch window's cancel, closing refused while
// a command runs, and the help viewer's topic lookup.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <fstream>

#include "frontend/topwin.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    setenv("VIDZOER_DATA_DIR", VIDZOER_SOURCE_DIR "/docs", 1);
    settings = QString::fromStdString(dir.File("cfg/Vidzoer.INI"));
    window = std::make_unique<vidzoerw::Ttopwin>(settings);
    window->Shell().SetCurrentDirectory(QString::fromStdString(dir.path().string()));
    window->Shell().SetLauncher([this](const std::vector<std::string>& args) {
      launched.push_back(args);
      if (on_launch) on_launch();
      return pid_t{999999};
    });
    window->Shell().SetReportGrace(50);
  }
  void TearDown() override {
    window.reset();
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("VIDZOER_DATA_DIR");
  }
  vidzoer_test::TempDir dir;
  QString settings;
  std::unique_ptr<vidzoerw::Ttopwin> window;
  std::vector<std::vector<std::string>> launched;
  std::function<void()> on_launch;
};

TEST_F(Window, PagesInOrderAndTheCaption) {
  EXPECT_EQ(window->windowTitle(), "Vidzoer for Windows");
  QTabWidget* tabs = window->findChild<QTabWidget*>("maintab");
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 8);
  const QStringList names = {
      "Main", "Vidzo", "Mixer", "Player", "Scriptor", "Graphics Processor", "Sound Processor", "Command"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(tabs->tabText(i), names[i]);
  EXPECT_EQ(tabs->widget(7)->objectName(), "Tcommandform");
  EXPECT_NE(tabs->widget(7)->findChild<QPushButton*>("runspecific"), nullptr);
  EXPECT_EQ(tabs->widget(7)->findChild<QPushButton*>("runspecific")->text(), "&Run Specific");
}

TEST_F(Window, TypedCommandsRunAndEnterTheHistory) {
  window->show();
  window->Tabs()->setCurrentIndex(vidzoerw::kCommandPage);
  QComboBox* edit = window->CommandForm()->Edit();
  QTest::keyClicks(edit->lineEdit(), "vidzocw a.flc");
  QTest::keyClick(edit->lineEdit(), Qt::Key_Return);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0].back(), "/#" + std::to_string(window->Server().Id()) + "/#");
  QTest::keyClicks(edit->lineEdit(), "rem second");
  QTest::mouseClick(window->CommandForm()->findChild<QPushButton*>("runspecific"), Qt::LeftButton);
  EXPECT_EQ(edit->count(), 2);
  EXPECT_EQ(edit->itemText(0), "rem second");
  EXPECT_TRUE(window->CommandForm()->OutputView()->toPlainText().contains("> rem second"));
  EXPECT_TRUE(edit->currentText().isEmpty());
}

TEST_F(Window, BatchWindowMarksTheLineAndCancels) {
  std::ofstream(dir.File("b.sbt")) << "vidzoplw one\nvidzoplw two\nvidzoplw three\n";
  QString marked, caption;
  on_launch = [&] {
    auto* form = window->findChild<vidzoerw::Tbatchform*>();
    ASSERT_NE(form, nullptr);
    caption = form->windowTitle();
    marked = form->Lines()->item(1)->text();
    if (launched.size() == 2) form->RequestCancel();
  };
  vidzoerw::Tbatchform::SetCancelAnswer(1);
  window->Shell().RunCommand(QString(), "b");
  vidzoerw::Tbatchform::SetCancelAnswer(-1);
  EXPECT_EQ(launched.size(), 2u);  // cancelled while the second line ran
  EXPECT_EQ(marked, "Current ==> vidzoplw two");
  EXPECT_EQ(caption, "Vidzoer for Windows Batch Player: " + QString::fromStdString(dir.File("b.sbt")));
  EXPECT_EQ(window->findChild<vidzoerw::Tbatchform*>(), nullptr);
}

TEST_F(Window, ClosingIsRefusedWhileACommandRuns) {
  window->show();
  bool closed = true;
  on_launch = [&] { closed = window->close(); };
  window->Shell().RunCommand(QString(), "someprogram");
  EXPECT_FALSE(closed);
  EXPECT_TRUE(window->Shell().Output().contains("Error, cannot close now."));
  EXPECT_FALSE(QFileInfo::exists(settings));
  window->Tabs()->setCurrentIndex(3);
  EXPECT_TRUE(window->close());
  vidzoerw::IniFile ini;
  ASSERT_TRUE(ini.Load(settings.toStdString()));
  EXPECT_EQ(ini.Int("VidzoMain", "CurrentTab", -1), 3);
  EXPECT_EQ(ini.String("VidzoRecentCommands", "Recall0"), "someprogram");
}

TEST_F(Window, HelpFindsTopicsByTheirBeginning) {
  vidzoerw::HelpViewer* help = window->Help();
  EXPECT_TRUE(help->Topics().contains("vidzoerw-command"));
  EXPECT_TRUE(help->Topics().contains("vidzoplw"));
  const struct {
    const char* key;
    const char* topic;
  } cases[] = {{"vidzoerw-c", "vidzoerw-command"},
               {"VIDZOPL", "vidzoplw"},
               {"vidzoerw", "vidzoerw"},
               {"mixer", "vidzoerw-mixer"}};
  for (const auto& c : cases) {
    EXPECT_TRUE(help->ShowTopic(c.key)) << c.key;
    EXPECT_EQ(help->CurrentTopic(), c.topic) << c.key;
  }
  EXPECT_FALSE(help->ShowTopic("no such topic"));
  window->Shell().RunCommand(QString(), "help vidzoscw");
  EXPECT_EQ(help->CurrentTopic(), "vidzoscw");
  EXPECT_TRUE(help->isVisible());
}

// "ShowHints" of the settings: 1 (or missing) lets a control show its
// tooltip when the mouse rests on it, 0 holds every tooltip back.
TEST(WindowHints, ShowHintsTurnsTooltipsOnAndOff) {
  frontend_test::App();
  const struct {
    const char* line;  // in [VidzoMain]
    bool shown;
  } cases[] = {{"ShowHints=1", true}, {"", true}, {"ShowHints=0", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    vidzoer_test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    const std::string file = dir.File("Vidzoer.INI");
    std::ofstream(file) << "[VidzoMain]\r\nCurrentTab=0\r\n" << c.line << "\r\n";
    vidzoerw::Ttopwin window(QString::fromStdString(file));
    EXPECT_EQ(window.ShowHints(), c.shown);
    QPushButton* button = window.DefaultsButton();
    ASSERT_NE(button, nullptr);
    ASSERT_FALSE(button->toolTip().isEmpty());
    window.show();
    QHelpEvent rest(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(button, &rest);
    EXPECT_EQ(QToolTip::isVisible(), c.shown);
    EXPECT_EQ(QToolTip::text(), c.shown ? button->toolTip() : QString());
    QToolTip::hideText();
    unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
