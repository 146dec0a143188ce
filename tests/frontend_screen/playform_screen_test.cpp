// The player's and the script player's pages, the self-playing program
// dialog and the script editor on an X server of the test's own (Xvfb), as
// a user sees them: each is captured from the screen into the build's
// frontend_screenshots/ folder for a person to look at, and every label,
// check box and button shown must have the room its text asks for and lie
// inside the window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>

#include "display/display_fixture.h"
#include "frontend/playform.h"
#include "frontend/scriptform.h"
#include "frontend/topwin.h"
#include "screen_app.h"
#include "support/temp_dir.h"

namespace {

QImage Shot(const std::string& server, QWidget* window, const QString& name) {
  const QRect g = window->frameGeometry();
  const auto pixels = display_test::Capture(server, g.x(), g.y(), g.width(), g.height());
  if (pixels.size() != size_t(g.width()) * g.height()) return QImage();
  QImage image(g.width(), g.height(), QImage::Format_RGB32);
  for (int y = 0; y < g.height(); ++y)
    for (int x = 0; x < g.width(); ++x) image.setPixel(x, y, 0xff000000u | pixels[size_t(y) * g.width() + x]);
  image.save(QString(VIDZOER_SCREENSHOT_DIR "/") + name + ".png");
  return image;
}

// The texts shown in `window` that are cut or outside it.
QStringList Crowded(QWidget* window) {
  QStringList bad;
  const QRect inside = window->rect();
  const auto check = [&](QWidget* w, const QString& text) {
    if (!w->isVisibleTo(window) || text.isEmpty()) return;
    const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    if (!inside.contains(r)) bad << "outside: " + text;
    if (w->width() < w->minimumSizeHint().width() || w->height() < w->minimumSizeHint().height())
      bad << "cut: " + text;
  };
  for (QLabel* l : window->findChildren<QLabel*>())
    if (!l->wordWrap()) check(l, l->text());
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) check(b, b->text());
  for (QComboBox* c : window->findChildren<QComboBox*>()) check(c, c->currentText());
  return bad;
}

bool Varied(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
  return colours.size() > 8;
}

TEST(FrontEndScreen, PlayerAndScriptPagesAsTheUserSeesThem) {
  ASSERT_TRUE(display_test::XServer::Installed()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
  display_test::XServer server;
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  vidzoer_test::TempDir dir;
  for (const char* name : {"intro.vdz", "logo.vdz", "menu.ss"}) std::ofstream(dir.File(name)) << "REM\n";
  frontend_screen::ScreenApp app(server, dir);
  {
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    window.setGeometry(4, 4, 632, 472);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The pages need no more room than the test's screen of 640 x 480.
    EXPECT_TRUE(QRect(0, 0, 640, 480).contains(window.frameGeometry()))
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();
    const QString folder = QString::fromStdString(dir.path().string());

    auto* player = qobject_cast<vidzoerw::Tplayform*>(window.Form(3));
    ASSERT_NE(player, nullptr);
    window.Tabs()->setCurrentIndex(3);
    ASSERT_TRUE(player->Browser()->SetDirectory(folder));
    ASSERT_TRUE(player->Browser()->Highlight({"intro.vdz", "logo.vdz"}));
    for (int tab = 0; tab < player->Pages()->count(); ++tab) {
      player->Pages()->setCurrentIndex(tab);
      QTest::qWait(300);
      const QImage shot = Shot(server.Name(), &window, QString("player%1").arg(tab));
      ASSERT_FALSE(shot.isNull()) << "capture failed";
      EXPECT_TRUE(Varied(shot));
      EXPECT_EQ(Crowded(&window), QStringList()) << "player tab " << tab;
    }

    vidzoerw::Tselff* selff = player->OpenSelfPlay();
    ASSERT_NE(selff, nullptr);
    selff->move(60, 80);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(selff));
    QTest::qWait(300);
    EXPECT_TRUE(Varied(Shot(server.Name(), selff, "selff")));
    EXPECT_EQ(Crowded(selff), QStringList());
    selff->close();

    auto* scripts = qobject_cast<vidzoerw::Tscriptform*>(window.Form(4));
    ASSERT_NE(scripts, nullptr);
    window.Tabs()->setCurrentIndex(4);
    ASSERT_TRUE(scripts->Browser()->SetDirectory(folder));
    ASSERT_TRUE(scripts->Browser()->Highlight({"menu.ss"}));
    QTest::qWait(300);
    EXPECT_TRUE(Varied(Shot(server.Name(), &window, "scriptor")));
    EXPECT_EQ(Crowded(&window), QStringList());

    vidzoerw::Tscriptedit* editor = scripts->EditScript();
    ASSERT_NE(editor, nullptr);
    editor->setGeometry(20, 20, 580, 420);  // the test's screen is 640 x 480
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    QTest::qWait(300);
    EXPECT_TRUE(Varied(Shot(server.Name(), editor, "scriptedit")));
    EXPECT_EQ(Crowded(editor), QStringList());
    editor->close();
    window.close();
  }
}

}  // namespace
