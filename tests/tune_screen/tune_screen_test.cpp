// The data-rate analysis window on an X server of the test's own (Xvfb), on
// the demo's sample animation (vdzsample's pictures and sound coded by
// vdzenc at 20 frames a second), in both modes: the screen where the window
// is shows the reference lines in their colours and the frame series, and
// the caption on the X server is the window's. The screenshots and the
// printed graph are kept in the build's tune_screenshots/ folder for a
// person to look at.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <cstdlib>

#include "display/display_fixture.h"
#include "frontend/tunef.h"
#include "frontend_screen/x_caption.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using vidzoer_test::Quote;

QImage ToImage(const std::vector<std::uint32_t>& pixels, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, 0xff000000u | pixels[size_t(y) * w + x]);
  return image;
}

// Pixels of the screenshot close to `colour`.
int Count(const QImage& shot, QColor colour) {
  int n = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40)
        ++n;
    }
  return n;
}

TEST(TuneScreen, SampleInBothModes) {
  ASSERT_TRUE(display_test::XServer::Installed()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
  vidzoer_test::TempDir dir;
  auto made = vidzoer_test::RunProgram(dir, "vdzsample", Quote(dir.File("frames")));
  ASSERT_EQ(made.exit_code, 0) << made.err;
  made = vidzoer_test::RunProgram(dir, "vdzenc",
                                  "--frame-rate 50 --sound " + Quote(dir.File("frames/sound.wav")) + " " +
                                      Quote(dir.File("frames")) + " " + Quote(dir.File("sample.vdz")));
  ASSERT_EQ(made.exit_code, 0) << made.err;

  display_test::XServer server;
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  setenv("DISPLAY", server.Name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  static int argc = 1;
  static char name[] = "tune_screen_tests";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QDir().mkpath(VIDZOER_SCREENSHOT_DIR);
  {
    QStringList errors;
    std::unique_ptr<vidzoerw::Ttunef> w(vidzoerw::Ttunef::Open(
        QString::fromStdString(dir.File("sample")), nullptr, [&](const QString& e) { errors << e; }));
    ASSERT_NE(w, nullptr) << errors.join(" ").toStdString();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setGeometry(10, 10, 620, 440);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_EQ(XCaption(server.Name(), w->winId()), "Vidzo Analyze: " + dir.File("sample.vdz"));
    EXPECT_EQ(w->Series().sizes.size(), 240u);
    for (const char* mode : {"per_second", "per_frame"}) {
      QTest::qWait(400);
      const QRect g = w->geometry();
      const auto pixels = display_test::Capture(server.Name(), g.x(), g.y(), g.width(), g.height());
      ASSERT_EQ(pixels.size(), size_t(g.width()) * g.height()) << "capture failed";
      const QImage shot = ToImage(pixels, g.width(), g.height());
      shot.save(QString(VIDZOER_SCREENSHOT_DIR "/tune_%1.png").arg(mode));
      // The 1x, 2x and 4x lines and the frame series are on the screen.
      EXPECT_GT(Count(shot, QColor(0, 255, 255)), 100) << mode;
      EXPECT_GT(Count(shot, QColor(0, 0, 255)), 100) << mode;
      EXPECT_GT(Count(shot, QColor(0, 255, 0)), 100) << mode;
      EXPECT_GT(Count(shot, QColor(200, 0, 0)), 50) << mode;
      if (std::string(mode) == "per_second") {
        ASSERT_TRUE(w->PrintGraph(VIDZOER_SCREENSHOT_DIR "/tune_print.pdf"));
        w->ModeAction()->trigger();
        EXPECT_EQ(w->Mode(), vidzoerw::TuneMode::kBytesPerFrame);
      }
    }
    const std::string page = std::string(VIDZOER_SCREENSHOT_DIR) + "/tune_print";
    EXPECT_EQ(
        std::system(("pdftoppm -png -r 50 -singlefile " + Quote(page + ".pdf") + " " + Quote(page)).c_str()),
        0);
    w->close();
  }
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
