// The compression page on an X server of the test's own (Xvfb), as a user
// sees it: each of its tabs, its "&Options" and "&Type" menus open, and the
// sequence question, captured from the screen into the build's
// frontend_screenshots/ folder for a person to look at. Each capture must
// show the page's own drawing (it is compared with what Qt draws there).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <set>

#include "display/display_fixture.h"
#include "frontend/topwin.h"
#include "frontend/vidzoform.h"
#include "screen_app.h"
#include "support/temp_dir.h"

namespace {

QImage Screen(const std::string& server, const QRect& r) {
  const auto pixels = display_test::Capture(server, r.x(), r.y(), r.width(), r.height());
  if (pixels.size() != size_t(r.width()) * r.height()) return QImage();
  QImage image(r.width(), r.height(), QImage::Format_RGB32);
  for (int y = 0; y < r.height(); ++y)
    for (int x = 0; x < r.width(); ++x) image.setPixel(x, y, 0xff000000u | pixels[size_t(y) * r.width() + x]);
  return image;
}

// Whether the screen shows what Qt draws for `widget` in its window.
bool OnScreenAsDrawn(const std::string& server, QWidget* widget) {
  QWidget* top = widget->window();
  const QImage drawn = top->grab(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()))
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  const QImage seen = Screen(server, QRect(widget->mapToGlobal(QPoint(0, 0)), drawn.size()));
  if (seen.isNull() || seen.size() != drawn.size()) return false;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x)
      if ((seen.pixel(x, y) & 0xffffff) != (drawn.pixel(x, y) & 0xffffff)) return false;
  return true;
}

// The number of colours in a picture (a blank area has one or two).
size_t Colours(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  return colours.size();
}

TEST(FrontEndScreen, TheCompressionPage) {
  ASSERT_TRUE(display_test::XServer::Installed()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
  display_test::XServer server;
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  vidzoer_test::TempDir dir;
  for (int n = 1; n <= 12; ++n) std::ofstream(dir.File("scene" + std::to_string(100 + n) + ".png")) << "x";
  for (const char* f : {"intro.flc", "logo.bmp", "titles.avi", "shots.lst"})
    std::ofstream(dir.File(f)) << "x";
  frontend_screen::ScreenApp app(server, dir);
  {
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    window.setGeometry(0, 0, 640, 480);
    window.Tabs()->setCurrentIndex(1);
    auto* form = dynamic_cast<vidzoerw::Tvidzoform*>(window.Form(1));
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->Browser()->SetDirectory(QString::fromStdString(dir.path().string())));
    form->Browser()->Highlight({"scene105.png"});
    form->Frame('S')->Box()->setChecked(true);
    form->Frame('S')->Field()->setText("2");
    form->Memo()->setPlainText("120 /N0\n240 /K-90 /J5");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int tab = 0; tab < form->Pages()->count(); ++tab) {
      form->Pages()->setCurrentIndex(tab);
      QTest::qWait(300);
      const QImage shot = Screen(server.Name(), window.geometry());
      ASSERT_FALSE(shot.isNull()) << "capture failed";
      shot.save(QString(VIDZOER_SCREENSHOT_DIR "/vidzo_%1.png").arg(form->Pages()->tabText(tab).toLower()));
      // The page's tab bar on the screen is Qt's with this tab current, and
      // the tab's page shows text and controls.
      EXPECT_TRUE(OnScreenAsDrawn(server.Name(), form->Pages()->tabBar())) << "tab " << tab;
      QWidget* page = form->Pages()->currentWidget();
      const QImage area = shot.copy(QRect(page->mapTo(&window, QPoint(0, 0)), page->size()));
      EXPECT_GT(Colours(area), 8u) << "tab " << tab;
    }
    // The menus, opened under their titles.
    for (QAction* title : form->Menu()->actions()) {
      QMenu* menu = title->menu();
      menu->popup(form->Menu()->mapToGlobal(form->Menu()->actionGeometry(title).bottomLeft()));
      QTest::qWait(400);
      ASSERT_TRUE(menu->isVisible());
      const QImage shot = Screen(server.Name(), window.geometry());
      shot.save(
          QString(VIDZOER_SCREENSHOT_DIR "/vidzo_menu_%1.png").arg(menu->title().remove('&').toLower()));
      EXPECT_TRUE(OnScreenAsDrawn(server.Name(), menu)) << menu->title().toStdString();
      menu->hide();
      QTest::qWait(200);
    }
    // The sequence question as the compression button asks it.
    QTimer::singleShot(600, [&] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      const QImage shot = Screen(server.Name(), QRect(0, 0, 640, 480));
      shot.save(VIDZOER_SCREENSHOT_DIR "/vidzo_sequence_question.png");
      box->close();
    });
    QTest::mouseClick(form->RunButton(), Qt::LeftButton);
    window.close();
  }
}

}  // namespace
