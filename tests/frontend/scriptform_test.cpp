// The script player's page and its script editor driven through their
// widgets on the offscreen platform.
#include "frontend/scriptform.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "fake_form_host.h"
#include "form_typing.h"
#include "frontend/ini_file.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::FakeFormHost;
using frontend_test::Type;
using vidzoerw::Tscriptedit;
using vidzoerw::Tscriptform;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScriptForm : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    std::ofstream(dir.File("show.ss")) << "REM one\nREM two\nLABEL\n; Find me here\nREM five\n";
    std::ofstream(dir.File("big show.ss")) << "REM\n";
    std::ofstream(dir.File("a.vdz")) << "x";
    form = std::make_unique<Tscriptform>(host);
    form->show();
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
  }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }

  vidzoer_test::TempDir dir;
  FakeFormHost host;
  std::unique_ptr<Tscriptform> form;
};

TEST_F(ScriptForm, RunsTheHighlightedScript) {
  // Only scripts are listed with the first filter.
  EXPECT_EQ(form->Browser()->Listed(), (QStringList{"big show.ss", "show.ss"}));
  const struct {
    const char* file;
    const char* command;
  } cases[] = {{"show.ss", "VidzoScW show.ss"}, {"big show.ss", "VidzoScW \"big show.ss\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    host.runs.clear();
    ASSERT_TRUE(form->Browser()->Highlight({c.file}));
    QTest::mouseClick(form->RunButton(), Qt::LeftButton);
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(host.runs[0].command, c.command);
    EXPECT_EQ(host.runs[0].directory, Dir());
  }
  EXPECT_EQ(host.recent.size(), 2);
  EXPECT_TRUE(host.told.isEmpty());
}

TEST_F(ScriptForm, NothingHighlightedRunsAndEditsNothing) {
  QTest::mouseClick(form->RunButton(), Qt::LeftButton);
  QTest::mouseClick(form->EditButton(), Qt::LeftButton);
  EXPECT_TRUE(host.runs.empty());
  EXPECT_EQ(host.told, (QStringList{"Error, no file is highlighted.", "Error, no file is highlighted."}));
  EXPECT_EQ(form->findChild<Tscriptedit*>(), nullptr);
}

TEST_F(ScriptForm, EditorOpensAtTheLineOrTheTextAndRuns) {
  ASSERT_TRUE(form->Browser()->Highlight({"show.ss"}));
  // A line given wins over a text to find.
  Type(form->LineField(), "3");
  Type(form->FindField(), "find ME");
  QTest::mouseClick(form->EditButton(), Qt::LeftButton);
  Tscriptedit* editor = form->findChild<Tscriptedit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->windowTitle(), "Script Editor - show.ss");
  EXPECT_EQ(editor->CurrentLine(), 3);
  EXPECT_EQ(editor->LineField()->text(), "3");
  // The text is found ignoring case, again from the top after the last
  // match.
  EXPECT_TRUE(editor->FindNext("find me"));
  EXPECT_EQ(editor->CurrentLine(), 4);
  EXPECT_EQ(editor->Text()->textCursor().selectedText(), "Find me");
  EXPECT_TRUE(editor->FindNext("REM"));
  EXPECT_EQ(editor->CurrentLine(), 5);
  EXPECT_TRUE(editor->FindNext("REM"));
  EXPECT_EQ(editor->CurrentLine(), 1);
  EXPECT_FALSE(editor->FindNext("nowhere"));
  EXPECT_FALSE(editor->GoToLine(99));
  // The buttons of the editor's own fields tell what they cannot do.
  Type(editor->LineField(), "42");
  QTest::keyClick(editor->LineField(), Qt::Key_Return);
  EXPECT_EQ(host.told, QStringList{"Error, the script has no line 42."});

  // Changed, then closed: asked; cancel keeps it open, yes saves.
  editor->Text()->moveCursor(QTextCursor::End);
  QTest::keyClicks(editor->Text(), "REM six");
  QTest::keyClick(editor->Text(), Qt::Key_Return);
  EXPECT_TRUE(editor->Modified());
  EXPECT_TRUE(editor->windowTitle().endsWith('*'));
  host.answers = {vidzoerw::kCancel};
  editor->reject();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(Read(dir.File("show.ss")).find("six"), std::string::npos);

  // Save and run: the script is written and run from its folder.
  QTest::mouseClick(editor->findChild<QPushButton*>("run"), Qt::LeftButton);
  EXPECT_NE(Read(dir.File("show.ss")).find("REM five\nREM six\n"), std::string::npos);
  EXPECT_FALSE(editor->Modified());
  ASSERT_EQ(host.runs.size(), 1u);
  EXPECT_EQ(host.runs[0].command, "VidzoScW show.ss");
  EXPECT_EQ(host.runs[0].directory, Dir());
  host.asked.clear();
  editor->reject();
  EXPECT_TRUE(host.asked.isEmpty());  // nothing left to save
}

TEST_F(ScriptForm, OpensAtTheTextWhenNoLineIsGiven) {
  ASSERT_TRUE(form->Browser()->Highlight({"show.ss"}));
  Type(form->FindField(), "LABEL");
  Tscriptedit* editor = form->EditScript();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->CurrentLine(), 3);
}

TEST_F(ScriptForm, SettingsWrittenAndReadBack) {
  ASSERT_TRUE(form->Browser()->Highlight({"show.ss"}));
  form->Browser()->Filter()->setCurrentIndex(1);
  ASSERT_TRUE(form->Browser()->Highlight({"show.ss"}));
  Type(form->LineField(), "12");
  Type(form->FindField(), "GOTO START");
  vidzoerw::IniFile ini;
  form->SaveSettings(ini);
  for (const char* key : {"Filename", "Directory", "Filter", "GotoLine", "FindText"})
    EXPECT_TRUE(ini.Value("VidzoScript", key).has_value()) << key;
  EXPECT_EQ(ini.String("VidzoScript", "Filename"), "show.ss");
  EXPECT_EQ(ini.String("VidzoScript", "Filter"), "1");
  EXPECT_EQ(ini.String("VidzoScript", "GotoLine"), "12");
  EXPECT_EQ(ini.String("VidzoScript", "FindText"), "GOTO START");

  FakeFormHost other_host;
  Tscriptform other(other_host);
  vidzoerw::IniFile again;
  again.Parse(ini.Text());
  other.LoadSettings(again);
  EXPECT_EQ(other.LineField()->text(), "12");
  EXPECT_EQ(other.FindField()->text(), "GOTO START");
  EXPECT_EQ(other.Browser()->Directory(), Dir());
  EXPECT_EQ(other.ComposeCommand(), "VidzoScW show.ss");
  other.ResetDefaults();
  EXPECT_EQ(other.LineField()->text(), "");
  EXPECT_EQ(other.FindField()->text(), "");
  EXPECT_EQ(other.Browser()->Filter()->currentIndex(), 0);
}

}  // namespace
