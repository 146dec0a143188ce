// The commands "vdztune" and "listedit" typed into the main window's shell
// open the analysis window and the list editor (or say why not).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <cstring>
#include <fstream>
#include <memory>

#include "frontend/listedit.h"
#include "frontend/topwin.h"
#include "frontend/tunef.h"
#include "qt_app.h"
#include "support/temp_dir.h"

namespace {

template <typename W>
QList<W*> Windows() {
  QList<W*> found;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<W*>(w); t != nullptr && t->isVisible()) found << t;
  return found;
}

class Hooks : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    window = std::make_unique<vidzoerw::Ttopwin>(QString::fromStdString(dir.File("cfg/Vidzoer.INI")));
    window->Shell().SetCurrentDirectory(QString::fromStdString(dir.path().string()));
    window->show();
  }
  void TearDown() override {
    window.reset();
    unsetenv("XDG_RUNTIME_DIR");
  }
  vidzoer_test::TempDir dir;
  std::unique_ptr<vidzoerw::Ttopwin> window;
};

TEST_F(Hooks, VdztuneOpensTheWindowOrSaysTheError) {
  std::string b(104 + 8, '\0');
  std::memcpy(b.data(), "VDZ2", 4);
  b[12] = 2;
  b[16] = 100;
  b[104] = 50;
  b[108] = 60;
  std::ofstream(dir.File("clip.vdz"), std::ios::binary) << b;
  window->Shell().RunCommand(QString(), "vdztune clip");
  auto tunes = Windows<vidzoerw::Ttunef>();
  ASSERT_EQ(tunes.size(), 1);
  EXPECT_EQ(tunes[0]->windowTitle(), QString::fromStdString("Vidzo Analyze: " + dir.File("clip.vdz")));
  tunes[0]->close();

  window->Shell().RunCommand(QString(), "vdztune nothing.vdz");
  EXPECT_TRUE(Windows<vidzoerw::Ttunef>().isEmpty());
  const auto boxes = window->findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_EQ(boxes[0]->text(), "Error loading Vidzoer file.");
  boxes[0]->close();
}

TEST_F(Hooks, ListeditOpensTheEditor) {
  std::ofstream(dir.File("two.lst")) << "a.flc /S3\nb.flc\n";
  window->Shell().RunCommand(QString(), "listedit two.lst");
  auto editors = Windows<vidzoerw::Tlistedit>();
  ASSERT_EQ(editors.size(), 1);
  EXPECT_EQ(editors[0]->windowTitle(), "List File Editor - two.lst");
  EXPECT_EQ(editors[0]->Entries(), (QStringList{"a.flc /S3", "b.flc"}));
  editors[0]->CloseEditor();
  window->Shell().RunCommand(QString(), "listedit");
  editors = Windows<vidzoerw::Tlistedit>();
  ASSERT_EQ(editors.size(), 1);
  EXPECT_EQ(editors[0]->ListName(), QString::fromStdString(dir.File("untitled.lst")));
  editors[0]->CloseEditor();
}

}  // namespace
