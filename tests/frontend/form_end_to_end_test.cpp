// The compression page end to end, as a user works it (offscreen front
// end, the real compressor started by the shell): a numbered sequence of
// pictures, highlighted by one of its files, coded losslessly after the
// sequence question is answered Yes; the compressor's report arrives in the
// command page's output list, and every frame of the .vdz file decodes to
// its picture.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "frontend/switches.h"
#include "frontend/topwin.h"
#include "frontend/vidzoform.h"
#include "qt_app.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// A colour component the file's 6-bit palette holds exactly.
int Six(int c) {
  return (c << 2) | (c >> 4);
}

// The picture of frame `n`: a chequer board that moves one square a frame,
// its dark squares a little bluer each frame.
QImage Picture(int n) {
  QImage image(32, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      image.setPixel(x, y,
                     ((x / 4 + y / 4 + n) % 2) != 0 ? qRgb(Six(50), Six(7), Six(7))
                                                    : qRgb(Six(2), Six(2), Six(22 + n * 5)));
  return image;
}

// A binary PPM as vdzinfo writes it.
QImage ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0 || max != 255) return QImage();
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char rgb[3];
      if (!in.read(reinterpret_cast<char*>(rgb), 3)) return QImage();
      image.setPixel(x, y, qRgb(rgb[0], rgb[1], rgb[2]));
    }
  return image;
}

void Choose(QComboBox* list, int index) {
  for (int i = 0; i < list->count(); ++i) QTest::keyClick(list, Qt::Key_Up);
  for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
}

TEST(FormEndToEnd, TheCompressionPageCodesASequenceThatPlays) {
  frontend_test::App();
  vidzoer_test::TempDir dir;
  const QString d = QString::fromStdString(dir.path().string());
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  constexpr int kFrames = 5;
  for (int n = 0; n < kFrames; ++n)
    ASSERT_TRUE(Picture(n).save(d + QString("/pic%1.png").arg(n + 1, 3, 10, QChar('0'))));
  std::ofstream(dir.File("notes.txt")) << "not a picture\n";
  {
    vidzoerw::Ttopwin window(QString::fromStdString(dir.File("Vidzoer.INI")));
    window.Shell().SetToolsDirectory(VIDZOER_BIN_DIR);
    window.Shell().SetCurrentDirectory("/");
    QStringList asked;
    window.SetFormAnswers({[&](const QString& text, const QStringList&) {
                             asked << text;
                             return vidzoerw::kYes;
                           },
                           [](const QString& text) { ADD_FAILURE() << text.toStdString(); }, nullptr,
                           nullptr});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Tabs()->setCurrentIndex(1);
    auto* form = dynamic_cast<vidzoerw::Tvidzoform*>(window.Form(1));
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->Browser()->SetDirectory(d));
    ASSERT_TRUE(form->Browser()->Highlight({"pic003.png"}));
    Choose(form->RegularType(), vidzoerw::kCompressLossless);
    Choose(form->KeyType(), vidzoerw::kCompressLossless);
    form->Overwrite()->trigger();
    const int before = window.Shell().ReportCount();
    QTest::mouseClick(form->RunButton(), Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(
        asked[0],
        "This file appears to be part of a sequence of files (pic001.png to pic005.png).\r\nDo you want to "
        "treat the sequence as a single animation?");
    ASSERT_TRUE(frontend_test::PumpUntil([&] { return window.Shell().ReportCount() > before; }, 60000))
        << window.Shell().Output().join('\n').toStdString();
    const QString output = window.Shell().Output().join('\n');
    EXPECT_TRUE(output.contains("> VidzoC pic???.png*1-5 pic.vdz /N0/K0/A95/L0 /O")) << output.toStdString();
    // The compressor's report, indented, after the command.
    const qsizetype report = output.indexOf("\n  5 frames (");
    ASSERT_GE(report, 0) << output.toStdString();
    EXPECT_TRUE(output.mid(report).contains("written to pic.vdz")) << output.toStdString();
    EXPECT_LT(output.indexOf("> VidzoC"), report);
    EXPECT_EQ(window.Shell().RecentFiles().mid(0, 2), QStringList({d + "/pic.vdz", d + "/pic003.png"}));
    window.close();
  }
  // The file plays: every frame decodes to its picture.
  const auto info = vidzoer_test::RunProgram(
      dir, "vdzinfo",
      vidzoer_test::Quote(dir.File("pic.vdz")) + " --frames " + vidzoer_test::Quote(dir.File("f")));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("FrameCount: 5"), std::string::npos) << info.out;
  for (int n = 0; n < kFrames; ++n) {
    const QImage frame = ReadPpm(dir.File("f/" + QString("%1.ppm").arg(n, 5, 10, QChar('0')).toStdString()));
    ASSERT_FALSE(frame.isNull()) << n;
    const QImage want = Picture(n);
    ASSERT_EQ(frame.size(), want.size()) << n;
    int differ = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x)
        if (frame.pixel(x, y) != want.pixel(x, y)) {
          if (differ++ == 0)
            ADD_FAILURE() << "frame " << n << " at " << x << "," << y << ": " << std::hex << frame.pixel(x, y)
                          << " instead of " << want.pixel(x, y);
        }
    EXPECT_EQ(differ, 0) << "frame " << n;
  }
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
