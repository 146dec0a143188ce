// The data-rate analysis window on the offscreen platform: opening, the
// mode toggle, the zoom panels and scroll bar, the line switches, the
// double-click text, the clipboard and printing to a PDF file.
#include "frontend/tunef.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QValueAxis>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "qt_app.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using vidzoerw::Ttunef;
using vidzoerw::TuneMode;

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

class Tune : public ::testing::Test {
 protected:
  void SetUp() override { frontend_test::App(); }
  std::unique_ptr<Ttunef> Open(const std::string& path) {
    std::unique_ptr<Ttunef> w(
        Ttunef::Open(QString::fromStdString(path), nullptr, [this](const QString& text) { errors << text; }));
    if (w) {
      w->setAttribute(Qt::WA_DeleteOnClose, false);
      w->resize(700, 450);
      w->show();
      QCoreApplication::processEvents();
    }
    return w;
  }
  // A file of `sizes` frames at 20 frames a second (header and table only).
  std::string Synthetic(const std::vector<uint32_t>& sizes) {
    std::string b(104, '\0');
    std::memcpy(b.data(), "VDZ2", 4);
    Put32(b, 12, static_cast<uint32_t>(sizes.size()));
    Put32(b, 16, 50);
    for (uint32_t s : sizes) {
      b.resize(b.size() + 4);
      Put32(b, b.size() - 4, s);
    }
    const std::string path = dir.File("syn.vdz");
    std::ofstream(path, std::ios::binary) << b;
    return path;
  }
  vidzoer_test::TempDir dir;
  QStringList errors;
};

TEST_F(Tune, LoadErrorsOpenNoWindow) {
  EXPECT_EQ(Open(dir.File("missing.vdz")), nullptr);
  std::ofstream(dir.File("text.vdz")) << "VDZ1 and then some more text than a header would hold, "
                                         "long enough to be a header if the magic were right............";
  EXPECT_EQ(Open(dir.File("text.vdz")), nullptr);
  EXPECT_EQ(errors, (QStringList{"Error loading Vidzoer file.", "Error loading Vidzoer file."}));
}

TEST_F(Tune, WindowShowsTheSeriesAndTogglesMode) {
  const std::string path = dir.File("clip.vdz");
  ASSERT_EQ(vidzoer_test::WriteTestAnimation(path, 32, 16, 200, false, 50).pixels.size(), 200u);
  auto w = Open(dir.File("clip"));  // ".vdz" is added
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), QString::fromStdString("Vidzo Analyze: " + path));
  QChart* chart = w->View()->chart();
  EXPECT_EQ(chart->title(), QString::fromStdString(path));
  EXPECT_EQ(w->Mode(), TuneMode::kBytesPerSecond);
  EXPECT_EQ(w->ModeAction()->text(), "Show as Bytes Per Frame");
  auto lines = chart->series();
  ASSERT_EQ(lines.size(), 5);
  auto* frames = static_cast<QLineSeries*>(lines[0]);
  ASSERT_EQ(frames->count(), 200);
  EXPECT_EQ(frames->at(0).y(), 0);  // frame 1 counts nothing
  EXPECT_EQ(frames->at(5).y(), static_cast<qreal>(w->Series().sizes[5] * 20));
  auto* one_x = static_cast<QLineSeries*>(lines[2]);
  EXPECT_EQ(one_x->at(0).y(), 120000);
  EXPECT_EQ(one_x->pen().color(), QColor(0, 255, 255));
  EXPECT_EQ(static_cast<QLineSeries*>(lines[3])->pen().color(), QColor(0, 0, 255));
  EXPECT_EQ(static_cast<QLineSeries*>(lines[4])->pen().color(), QColor(0, 255, 0));
  auto* y = static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0]);
  EXPECT_EQ(y->max(), static_cast<qreal>(w->Series().maximum));

  w->ModeAction()->trigger();
  EXPECT_EQ(w->Mode(), TuneMode::kBytesPerFrame);
  EXPECT_EQ(w->ModeAction()->text(), "Show as Bytes Per Second");
  lines = chart->series();
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(static_cast<QLineSeries*>(lines[0])->at(5).y(), static_cast<qreal>(w->Series().sizes[5]));
  EXPECT_EQ(static_cast<QLineSeries*>(lines[2])->at(0).y(), 50 * 100 * 150000 * 0.8 / 100000);
  y = static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0]);
  EXPECT_EQ(y->max(), static_cast<qreal>(w->Series().maximum));
  EXPECT_EQ(static_cast<int64_t>(y->max()) % 500, 0);

  // The switches hide their lines.
  w->Switch(0)->setChecked(false);
  w->Switch(3)->setChecked(false);
  lines = chart->series();
  EXPECT_FALSE(lines[2]->isVisible());
  EXPECT_FALSE(lines[1]->isVisible());
  EXPECT_TRUE(lines[3]->isVisible());
  w->Switch(5)->setChecked(false);
  EXPECT_FALSE(chart->legend()->isVisible());
}

TEST_F(Tune, ZoomPanelsAndScrollBar) {
  std::vector<uint32_t> sizes(100);
  for (size_t i = 0; i < sizes.size(); ++i) sizes[i] = static_cast<uint32_t>(1000 + i * 10);
  auto w = Open(Synthetic(sizes));
  ASSERT_NE(w, nullptr);
  w->SetRange(40);
  EXPECT_EQ(w->Range().count, 40);
  EXPECT_EQ(w->ScrollBar()->maximum(), 60);
  EXPECT_EQ(w->ScrollBar()->pageStep(), 39);
  QTest::mouseClick(w->Panel(1), Qt::LeftButton);  // zoom in
  EXPECT_EQ(w->Range().count, 30);
  QTest::mouseClick(w->Panel(2), Qt::LeftButton);  // zoom out
  EXPECT_EQ(w->Range().count, 40);
  w->ScrollBar()->setValue(60);
  EXPECT_EQ(w->Range().left, 61);
  auto* x = static_cast<QValueAxis*>(w->View()->chart()->axes(Qt::Horizontal)[0]);
  EXPECT_EQ(x->min(), 61);
  EXPECT_EQ(x->max(), 100);
  QTest::mouseClick(w->Panel(2), Qt::LeftButton);  // zoom out past the end: pulled back
  EXPECT_EQ(w->Range().count, 53);
  EXPECT_EQ(w->Range().left, 48);
  QTest::mouseClick(w->Panel(3), Qt::LeftButton);             // the width's default
  EXPECT_EQ(w->Range().count, std::max(2, w->width() / 35));  // 700 / 35
  QTest::mouseClick(w->Panel(4), Qt::LeftButton);             // close
  EXPECT_FALSE(w->isVisible());
}

TEST_F(Tune, DoubleClickAndClipboard) {
  auto w = Open(Synthetic({7000, 300, 450, 90}));
  ASSERT_NE(w, nullptr);
  QChart* chart = w->View()->chart();
  const QPointF at = chart->mapToPosition(QPointF(3, 100));
  const QPoint pos = w->View()->mapFromScene(chart->mapToScene(at));
  QTest::mouseDClick(w->View()->viewport(), Qt::LeftButton, {}, pos);
  EXPECT_EQ(w->LastFrameText(), "Frame: 3  Size: 450  Bytes per second: 9000");

  w->PointsToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QString::fromStdString("Vidzoer file: " + dir.File("syn.vdz") +
                                   "\r\n\r\nFrame\tSize\tBytes per Second\r\n"
                                   "1\t0\t0\r\n2\t300\t6000\r\n3\t450\t9000\r\n4\t90\t1800\r\n"));
  w->GraphToClipboard();
  const QImage picture = QGuiApplication::clipboard()->image();
  EXPECT_EQ(picture.size(), w->View()->size());
}

// Printing to a PDF file: pdftoppm turns it into a page on which the graph's
// lines are drawn in their colours.
TEST_F(Tune, PrintGraphToPdf) {
  std::vector<uint32_t> sizes(60);
  for (size_t i = 0; i < sizes.size(); ++i) sizes[i] = static_cast<uint32_t>(3000 + (i % 9) * 700);
  auto w = Open(Synthetic(sizes));
  ASSERT_NE(w, nullptr);
  w->SetRange(60);
  const std::string pdf = dir.File("graph.pdf");
  ASSERT_TRUE(w->PrintGraph(QString::fromStdString(pdf)));
  std::ifstream in(pdf, std::ios::binary);
  char magic[5] = {};
  in.read(magic, 4);
  EXPECT_STREQ(magic, "%PDF");
  const std::string command = "pdftoppm -png -r 60 -singlefile " + vidzoer_test::Quote(pdf) + " " +
                              vidzoer_test::Quote(dir.File("page"));
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  QImage page(QString::fromStdString(dir.File("page.png")));
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(page.width(), page.height());  // landscape
  int red = 0, aqua = 0;
  for (int yy = 0; yy < page.height(); ++yy)
    for (int xx = 0; xx < page.width(); ++xx) {
      const QColor c = page.pixelColor(xx, yy);
      if (c.red() > 150 && c.green() < 80 && c.blue() < 80) ++red;
      if (c.red() < 80 && c.green() > 200 && c.blue() > 200) ++aqua;
    }
  EXPECT_GT(red, 50);   // the frame series
  EXPECT_GT(aqua, 50);  // the 1x CD-ROM line (bytes per second: 120000, above the data)
}

// The axes' numbers are grouped in thousands as the user's locale groups
// them (here a locale that groups with commas).
TEST_F(Tune, AxisNumbersAreGroupedInTheUsersLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  auto w = Open(Synthetic(std::vector<uint32_t>(40, 60000)));  // 1 200 000 bytes a second
  QLocale::setDefault(before);
  ASSERT_NE(w, nullptr);
  QStringList labels;
  for (QGraphicsItem* item : w->View()->scene()->items()) {
    if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) labels << text->toPlainText();
    if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) labels << text->text();
  }
  const QRegularExpression grouped("^[0-9]{1,3}(,[0-9]{3})+$");
  const QStringList big = labels.filter(grouped);
  EXPECT_FALSE(big.isEmpty()) << labels.join(" | ").toStdString();
  EXPECT_TRUE(labels.filter(QRegularExpression("^[0-9]{5,}$")).isEmpty()) << labels.join(" | ").toStdString();
}

}  // namespace
