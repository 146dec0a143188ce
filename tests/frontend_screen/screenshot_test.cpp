// The main window on an X server of the test's own (Xvfb), as a user sees
// it: for each page, the screen is captured where the window is, the
// window's caption is read from the X server, and the page control's tab
// bar on the screen is compared pixel by pixel with the tab bar as Qt draws
// it with that page's caption current. The screenshots are kept in the
// build's frontend_screenshots/ folder for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <set>

#include "display/display_fixture.h"
#include "frontend/topwin.h"
#include "screen_app.h"
#include "support/temp_dir.h"
#include "x_caption.h"

namespace {

QImage ToImage(const std::vector<std::uint32_t>& pixels, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, 0xff000000u | pixels[size_t(y) * w + x]);
  return image;
}

TEST(FrontEndScreen, EveryPageAsTheUserSeesIt) {
  ASSERT_TRUE(display_test::XServer::Installed()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
  display_test::XServer server;
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  vidzoer_test::TempDir dir;
  frontend_screen::ScreenApp app(server, dir);
  {
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    window.Shell().SetCurrentDirectory(VIDZOER_SOURCE_DIR);
    window.Shell().RunCommand(QString(), "dir docs");
    window.setGeometry(10, 10, 620, 440);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(XCaption(server.Name(), window.winId()), "Vidzoer for Windows");
    QTabBar* bar = window.Tabs()->tabBar();
    QImage previous_bar;
    for (int page = 0; page < vidzoerw::kPageCount; ++page) {
      window.Tabs()->setCurrentIndex(page);
      QTest::qWait(300);
      const QRect g = window.geometry();
      const auto pixels = display_test::Capture(server.Name(), g.x(), g.y(), g.width(), g.height());
      ASSERT_EQ(pixels.size(), size_t(g.width()) * g.height()) << "capture failed";
      const QImage shot = ToImage(pixels, g.width(), g.height());
      const QString file = QString(VIDZOER_SCREENSHOT_DIR "/page%1.png").arg(page);
      shot.save(file);
      EXPECT_EQ(window.Tabs()->tabText(page), vidzoerw::kPageNames[page]);
      // The tab bar on the screen is the one Qt draws with this caption
      // current.
      const QPoint at = bar->mapTo(&window, QPoint(0, 0));
      const QImage drawn =
          window.grab(QRect(at, bar->size())).toImage().convertToFormat(QImage::Format_RGB32);
      const QImage seen = shot.copy(QRect(at, drawn.size()));
      int differ = 0;
      for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
          if ((seen.pixel(x, y) & 0xffffff) != (drawn.pixel(x, y) & 0xffffff)) ++differ;
      EXPECT_EQ(differ, 0) << "page " << page << ": the screen's tab bar is not Qt's (" << file.toStdString()
                           << ")";
      // Another page is current: the tab bar looks different.
      if (!previous_bar.isNull()) {
        EXPECT_NE(seen, previous_bar) << "page " << page;
      }
      previous_bar = seen;
      // The page below the tabs shows something: text and controls, not one
      // colour.
      const QImage body = shot.copy(QRect(0, at.y() + drawn.height() + 4, shot.width(), 80));
      std::set<QRgb> colours;
      for (int y = 0; y < body.height(); ++y)
        for (int x = 0; x < body.width(); ++x) colours.insert(body.pixel(x, y));
      EXPECT_GT(colours.size(), 3u) << "page " << page;
    }
    window.close();
  }
}

}  // namespace
