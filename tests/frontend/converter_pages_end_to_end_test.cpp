// The Graphics Processor, Mixer and Sound Processor pages of the main
// window (offscreen) running the real tools: each page's button starts its
// program through the command shell, the program's report arrives in the
// command page's output list, and what the program wrote is checked with
// the decoded frames and with sox.
#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "form_user.h"
#include "frontend/mixform.h"
#include "frontend/sound_format.h"
#include "frontend/topwin.h"
#include "frontend/towavform.h"
#include "frontend/veziviform.h"
#include "qt_app.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using frontend_test::PumpUntil;
using frontend_test::Type;

// The standard output of a shell command line.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

class ConverterPages : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    folder = QString::fromStdString(dir.path().string());
    window = std::make_unique<vidzoerw::Ttopwin>(QString::fromStdString(dir.File("cfg/Vidzoer.INI")));
    window->Shell().SetToolsDirectory(VIDZOER_BIN_DIR "/");
    window->Shell().SetCurrentDirectory(folder);
    window->resize(900, 640);
    window->show();
  }
  void TearDown() override {
    window.reset();
    unsetenv("XDG_RUNTIME_DIR");
  }
  template <typename Form>
  Form* Page(int index) {
    window->Tabs()->setCurrentIndex(index);
    return dynamic_cast<Form*>(window->Form(index));
  }
  // Presses the page's button and waits for the program's report; the
  // report's lines.
  QStringList RunAndWaitForReport(vidzoerw::Tformpage* page) {
    const int reports = window->Shell().ReportCount();
    // The command is echoed after the prompt, the last line so far.
    const qsizetype before = window->Shell().Output().size() - 1;
    QTest::mouseClick(page->RunButton(), Qt::LeftButton);
    EXPECT_TRUE(PumpUntil([&] { return window->Shell().ReportCount() > reports; }, 60000))
        << window->Shell().Output().join('\n').toStdString();
    return window->Shell().Output().mid(before);
  }
  vidzoer_test::TempDir dir;
  QString folder;
  std::unique_ptr<vidzoerw::Ttopwin> window;
};

TEST_F(ConverterPages, GraphicsPageConvertsAVidzoerFileToPngFrames) {
  const auto clip = vidzoer_test::WriteTestAnimation(dir.File("clip.vdz"), 32, 16, 3, false, 40);
  ASSERT_EQ(clip.pixels.size(), 3u);
  auto* page = Page<vidzoerw::Tveziviform>(5);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(page->Browser()->SetDirectory(folder));
  ASSERT_TRUE(page->Browser()->Highlight({"clip.vdz"}));
  Type(page->OutputField(), "frame.png");
  const QStringList lines = RunAndWaitForReport(page);
  const QString text = lines.join('\n');
  EXPECT_TRUE(text.contains("> VizodOv clip.vdz frame.png")) << text.toStdString();
  EXPECT_TRUE(text.contains("\n  VizodOv - clip.vdz to frame.png\n  3 frames written")) << text.toStdString();
  for (uint32_t f = 0; f < 3; ++f) {
    const std::string name = dir.File("frame" + std::to_string(f) + ".png");
    // ImageMagick reads the frame as the size written.
    EXPECT_EQ(Trimmed(Capture("identify -format '%w %h' " + vidzoer_test::Quote(name))), "32 16") << name;
    QImage png(QString::fromStdString(name));
    ASSERT_FALSE(png.isNull()) << name;
    ASSERT_EQ(png.size(), QSize(32, 16));
    int wrong = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) {
        const uint8_t index = clip.pixels[f][size_t(y) * 32 + x];
        const uint8_t* c = &clip.palettes[f][index * 3u];
        const QRgb got = png.pixel(x, y);
        // Components of 0 to 63 shown on 8 bits.
        const int want[3] = {c[0] * 255 / 63, c[1] * 255 / 63, c[2] * 255 / 63};
        if (std::abs(qRed(got) - want[0]) > 4 || std::abs(qGreen(got) - want[1]) > 4 ||
            std::abs(qBlue(got) - want[2]) > 4)
          ++wrong;
      }
    EXPECT_EQ(wrong, 0) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("frame3.png")));
}

// The mixer page puts a wave of another folder into the clip; the sound
// page takes it out again; sox finds the same samples.
TEST_F(ConverterPages, MixerPageMixesAWaveAndSoundPageTakesItOut) {
  std::filesystem::create_directories(dir.File("clips"));
  std::filesystem::create_directories(dir.File("sounds"));
  ASSERT_EQ(vidzoer_test::WriteTestAnimation(dir.File("clips/clip.vdz"), 32, 16, 10, false, 50).pixels.size(),
            10u);
  const std::string tone = dir.File("sounds/tone.wav");
  ASSERT_EQ(
      std::system(("sox -n -r 11025 -b 16 -c 1 " + vidzoer_test::Quote(tone) + " synth 0.5 sine 440 vol 0.5")
                      .c_str()),
      0);

  auto* mixer = Page<vidzoerw::Tmixform>(2);
  ASSERT_NE(mixer, nullptr);
  ASSERT_TRUE(mixer->Browser()->SetDirectory(folder + "/clips"));
  ASSERT_TRUE(mixer->Browser()->Highlight({"clip.vdz"}));
  ASSERT_TRUE(mixer->SoundBrowser()->SetDirectory(folder + "/sounds"));
  ASSERT_TRUE(mixer->SoundBrowser()->Highlight({"tone.wav"}));
  QString text = RunAndWaitForReport(mixer).join('\n');
  EXPECT_TRUE(text.contains("> VidzoMix clip.vdz " + folder + "/sounds/tone.wav New_clip.vdz"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("\n  VidzoMix - tone.wav into New_clip.vdz")) << text.toStdString();
  ASSERT_TRUE(std::filesystem::exists(dir.File("clips/New_clip.vdz"))) << text.toStdString();

  auto* sound = Page<vidzoerw::Ttowavform>(6);
  ASSERT_NE(sound, nullptr);
  ASSERT_TRUE(sound->Browser()->SetDirectory(folder + "/clips"));
  ASSERT_TRUE(sound->Browser()->Highlight({"New_clip.vdz"}));
  text = RunAndWaitForReport(sound).join('\n');
  EXPECT_TRUE(text.contains("> VorurEd New_clip.vdz New_clip.wav")) << text.toStdString();
  EXPECT_TRUE(text.contains("\n  VorurEd - New_clip.vdz to New_clip.wav")) << text.toStdString();
  const std::string out = dir.File("clips/New_clip.wav");
  ASSERT_TRUE(std::filesystem::exists(out)) << text.toStdString();
  EXPECT_EQ(Trimmed(Capture("soxi -r " + vidzoer_test::Quote(out))), "11025");
  EXPECT_EQ(Trimmed(Capture("soxi -c " + vidzoer_test::Quote(out))), "1");
  EXPECT_EQ(Trimmed(Capture("soxi -b " + vidzoer_test::Quote(out))), "16");
  // Lossless: the samples are the wave's.
  const std::string mixed = Capture("sox " + vidzoer_test::Quote(out) + " -t raw -");
  const std::string original = Capture("sox " + vidzoer_test::Quote(tone) + " -t raw -");
  ASSERT_EQ(original.size(), 11024u);  // 5512 samples
  EXPECT_EQ(mixed.size(), original.size());
  EXPECT_TRUE(mixed == original);
}

// The sound page's options reach the tool: 8-bit stereo at 22050 Hz.
TEST_F(ConverterPages, SoundPageConvertsToTheChosenFormat) {
  const std::string tone = dir.File("tone.wav");
  ASSERT_EQ(std::system(
                ("sox -n -r 11025 -b 16 -c 1 " + vidzoer_test::Quote(tone) + " synth 0.25 sine 300").c_str()),
            0);
  auto* sound = Page<vidzoerw::Ttowavform>(6);
  ASSERT_NE(sound, nullptr);
  ASSERT_TRUE(sound->Browser()->SetDirectory(folder));
  ASSERT_TRUE(sound->Browser()->Highlight({"tone.wav"}));
  frontend_test::Choose(sound->Format()->Rate(), 2);
  frontend_test::Choose(sound->Format()->Bits(), 1);
  frontend_test::Choose(sound->Format()->Channels(), 2);
  const QString text = RunAndWaitForReport(sound).join('\n');
  EXPECT_TRUE(text.contains("> VorurEd tone.wav New_tone.wav /R22050/B8/C2")) << text.toStdString();
  EXPECT_TRUE(text.contains("\n  VorurEd - tone.wav to New_tone.wav")) << text.toStdString();
  const std::string out = dir.File("New_tone.wav");
  EXPECT_EQ(Trimmed(Capture("soxi -r " + vidzoer_test::Quote(out))), "22050");
  EXPECT_EQ(Trimmed(Capture("soxi -b " + vidzoer_test::Quote(out))), "8");
  EXPECT_EQ(Trimmed(Capture("soxi -c " + vidzoer_test::Quote(out))), "2");
  const long samples = std::atol(Capture("soxi -s " + vidzoer_test::Quote(out)).c_str());
  EXPECT_NEAR(samples, 5512, 4);
}

}  // namespace
