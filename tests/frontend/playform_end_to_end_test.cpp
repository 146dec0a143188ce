// The player's page in the front end (offscreen) with the real programs:
// an animation made by vdzsample and vdzenc is played with "/L2", its frame
// rate is changed by vidzofr and it is packed into a self-playing program by
// vdzcompi, each program's report arriving in the command page's output
// list; the results are checked with vdzinfo and by running the program.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "form_typing.h"
#include "frontend/playform.h"
#include "frontend/scriptform.h"
#include "frontend/topwin.h"
#include "qt_app.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using frontend_test::PumpUntil;
using frontend_test::Toggle;
using frontend_test::Type;

// Environment variables for the test's span: no display or sound card for
// the programs, the report channel's socket in the test's folder.
class Environment {
 public:
  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }
  ~Environment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class PlayerPageEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    frontend_test::App();
    env.Set("SDL_VIDEODRIVER", "dummy");
    env.Set("SDL_AUDIODRIVER", "dummy");
    env.Set("XDG_RUNTIME_DIR", dir.path().string());
    // A one-second animation with sound, 20 frames per second.
    auto r = vidzoer_test::RunProgram(
        dir, "vdzsample", "--width 64 --height 48 --seconds 1 " + vidzoer_test::Quote(dir.File("frames")));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = vidzoer_test::RunProgram(
        dir, "vdzenc",
        "--frame-rate 50 --sound " + vidzoer_test::Quote(dir.File("frames/sound.wav")) + " " +
            vidzoer_test::Quote(dir.File("frames")) + " " + vidzoer_test::Quote(dir.File("a.vdz")));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    window = std::make_unique<vidzoerw::Ttopwin>(QString::fromStdString(dir.File("Vidzoer.INI")));
    window->Shell().SetToolsDirectory(VIDZOER_BIN_DIR "/");
    vidzoerw::FormAnswers answers;
    answers.ask = [this](const QString& text, const QStringList&) {
      asked << text;
      return static_cast<int>(vidzoerw::kYes);
    };
    answers.tell = [this](const QString& text) { told << text; };
    window->SetFormAnswers(answers);
    window->show();
    form = qobject_cast<vidzoerw::Tplayform*>(window->Form(3));
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->Browser()->SetDirectory(Dir()));
    ASSERT_TRUE(form->Browser()->Highlight({"a.vdz"}));
  }
  void TearDown() override {
    // The programs started have ended (each reported); the window goes.
    window.reset();
  }
  QString Dir() const { return QString::fromStdString(dir.path().string()); }
  QString Output() const { return window->Shell().Output().join('\n'); }
  // Waits for the next report of a program.
  bool WaitForReport(int reports_before, int ms = 60000) {
    return PumpUntil([&] { return window->Shell().ReportCount() > reports_before; }, ms);
  }

  vidzoer_test::TempDir dir;
  Environment env;
  std::unique_ptr<vidzoerw::Ttopwin> window;
  vidzoerw::Tplayform* form = nullptr;
  QStringList asked, told;
};

TEST_F(PlayerPageEndToEnd, PlaysTwiceAndReports) {
  vidzoerw::CheckField* loop = form->Field("Loop");
  Toggle(loop->Box());
  Type(loop->Field(), "2");
  const int before = window->Shell().ReportCount();
  QTest::mouseClick(form->RunButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForReport(before)) << Output().toStdString();
  const QString out = Output();
  const qsizetype echo = out.indexOf("> VidzoPlW a.vdz /L2");
  ASSERT_GE(echo, 0) << out.toStdString();
  EXPECT_GT(out.indexOf("\n  VidzoPlay - V", echo), echo) << out.toStdString();
  EXPECT_TRUE(told.isEmpty()) << told.join('|').toStdString();
}

TEST_F(PlayerPageEndToEnd, FrameRateChangeAndSelfPlayingProgram) {
  // The frame rate: 20 frames per second becomes 25.
  vidzoerw::CheckField* rate = form->Field("FrameRate");
  Toggle(rate->Box());
  Type(rate->Field(), "25");
  int before = window->Shell().ReportCount();
  QTest::mouseClick(form->FrameRateButton(), Qt::LeftButton);
  EXPECT_EQ(asked, QStringList{"Are you sure you want to change the frame rate permanently?"});
  ASSERT_TRUE(WaitForReport(before)) << Output().toStdString();
  EXPECT_GE(Output().indexOf("> VidzoFR a.vdz /f25"), 0) << Output().toStdString();
  auto info = vidzoer_test::RunProgram(dir, "vdzinfo", vidzoer_test::Quote(dir.File("a.vdz")));
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("(25.000 frames per second)"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("FrameCount: 20"), std::string::npos) << info.out;

  // The self-playing program: played twice with the summary.
  Toggle(rate->Box());
  vidzoerw::CheckField* loop = form->Field("Loop");
  Toggle(loop->Box());
  Type(loop->Field(), "2");
  Toggle(form->Box("ShowSummary"));
  vidzoerw::Tselff* dialog = form->OpenSelfPlay();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->SwitchesField()->text(), "/L2/S");
  Type(dialog->OutputField(), "show");
  before = window->Shell().ReportCount();
  QTest::mouseClick(dialog->CompileButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForReport(before)) << Output().toStdString();
  const QString out = Output();
  EXPECT_GE(out.indexOf("> VdzCompi " VIDZOER_BIN_DIR "/vidzoplw show \"/L2/S\" a.vdz"), 0)
      << out.toStdString();
  EXPECT_GE(out.indexOf("show: 1 file packed"), 0) << out.toStdString();
  const std::string program = dir.File("show");
  ASSERT_TRUE(std::filesystem::exists(program));
  // It plays by itself, without a display or a sound card.
  vidzoer_test::TempDir run_dir;
  std::filesystem::copy_file(program, run_dir.File("show"));
  std::filesystem::permissions(run_dir.File("show"), std::filesystem::perms::owner_all);
  const std::string command = "cd " + vidzoer_test::Quote(run_dir.path().string()) +
                              " && timeout 60 ./show 2>summary.txt >/dev/null; echo $? >status.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream status(run_dir.File("status.txt"));
  int code = -1;
  status >> code;
  EXPECT_EQ(code, 0);
  std::ifstream summary_in(run_dir.File("summary.txt"));
  const std::string summary((std::istreambuf_iterator<char>(summary_in)), {});
  EXPECT_NE(summary.find("Total frames played: 40"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Frame rate: 25.0"), std::string::npos) << summary;
}

TEST_F(PlayerPageEndToEnd, ScriptPageRunsAScript) {
  std::ofstream(dir.File("make.ss"))
      << "FILECREATE F \"made.txt\"\nFILEWRITE F \"made by the script\"\nFILECLOSE F\n";
  auto* scripts = qobject_cast<vidzoerw::Tscriptform*>(window->Form(4));
  ASSERT_NE(scripts, nullptr);
  ASSERT_TRUE(scripts->Browser()->SetDirectory(Dir()));
  ASSERT_TRUE(scripts->Browser()->Highlight({"make.ss"}));
  const int before = window->Shell().ReportCount();
  QTest::mouseClick(scripts->RunButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForReport(before)) << Output().toStdString();
  EXPECT_GE(Output().indexOf("> VidzoScW make.ss"), 0) << Output().toStdString();
  EXPECT_GE(Output().indexOf("\n  VidzoScript - V"), 0) << Output().toStdString();
  std::ifstream made(dir.File("made.txt"));
  std::string line;
  std::getline(made, line);
  EXPECT_EQ(line, "made by the script\r");  // the script player ends its lines with CR LF
}

}  // namespace
