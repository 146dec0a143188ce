// The Graphics Processor, Sound Processor and Mixer pages on an X server of
// the test's own (Xvfb), each of their tabs as the user sees it: every
// label, check box and button shows its whole text and lies inside the
// window, and the screenshots are kept in the build's
// frontend_screenshots/ folder for a person to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "display/display_fixture.h"
#include "frontend/form_page.h"
#include "frontend/topwin.h"
#include "screen_app.h"
#include "support/temp_dir.h"

namespace {

QImage ToImage(const std::vector<std::uint32_t>& pixels, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, 0xff000000u | pixels[size_t(y) * w + x]);
  return image;
}

// The visible texts of the page that do not fit their widget or stick out
// of the window.
QStringList Cramped(QWidget* page, QWidget* window) {
  QStringList out;
  const QRect inside = window->rect();
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    QString text;
    int need = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->wordWrap() || label->text().isEmpty() || label->objectName() == "path") continue;
      text = label->text();
      need = label->sizeHint().width();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (button->text().isEmpty()) continue;
      text = button->text();
      need = button->sizeHint().width();
    } else {
      continue;
    }
    const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    if (w->width() < need) out << text + QString(" (%1 of %2 pixels)").arg(w->width()).arg(need);
    if (!inside.contains(r)) out << text + " (outside the window)";
  }
  return out;
}

TEST(FrontEndScreen, ConverterAndMixerPagesAsTheUserSeesThem) {
  ASSERT_TRUE(display_test::XServer::Installed()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
  display_test::XServer server;
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  vidzoer_test::TempDir dir;
  for (const char* f : {"clip.vdz", "intro.flc", "tone.wav", "title01.bmp"})
    std::ofstream(dir.File(f)) << "x";
  frontend_screen::ScreenApp app(server, dir);
  {
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    window.setGeometry(4, 4, 632, 472);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const struct {
      int page;
      const char* file;
    } pages[] = {{2, "mixer"}, {5, "graphics"}, {6, "sound"}};
    for (const auto& p : pages) {
      vidzoerw::Tformpage* form = window.Form(p.page);
      ASSERT_NE(form, nullptr) << p.file;
      window.Tabs()->setCurrentIndex(p.page);
      form->Browser()->SetDirectory(QString::fromStdString(dir.path().string()));
      form->Browser()->Highlight({"clip.vdz"});
      // The page fits the screen's window.
      EXPECT_LE(form->minimumSizeHint().width(), window.Tabs()->width()) << p.file;
      EXPECT_LE(form->minimumSizeHint().height(), window.Tabs()->height()) << p.file;
      auto* tabs = form->findChild<QTabWidget*>("tabs");
      ASSERT_NE(tabs, nullptr) << p.file;
      for (int t = 0; t < tabs->count(); ++t) {
        tabs->setCurrentIndex(t);
        QTest::qWait(300);
        const QRect g = window.geometry();
        const auto pixels = display_test::Capture(server.Name(), g.x(), g.y(), g.width(), g.height());
        ASSERT_EQ(pixels.size(), size_t(g.width()) * g.height()) << "capture failed";
        const QString file = QString(VIDZOER_SCREENSHOT_DIR "/%1-tab%2.png").arg(p.file).arg(t);
        ToImage(pixels, g.width(), g.height()).save(file);
        EXPECT_EQ(Cramped(form, &window), QStringList()) << file.toStdString();
      }
    }
    window.close();
  }
}

}  // namespace
