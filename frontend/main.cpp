// vidzoerw: the front end. Browses folders and files, runs the toolkit's
// programs and the user's commands through its command shell and batch
// files, and shows the programs' reports.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "frontend/settings.h"
#include "frontend/topwin.h"
#include "platform/program_info.h"

namespace {

constexpr const char* kHelp =
    "Usage: vidzoerw [BATCH.sbt ...] [SETTINGS[.INI]]\n"
    "       vidzoerw --help | --version\n"
    "The Vidzoer front end: browses folders and files, runs the toolkit's programs\n"
    "and the user's commands through its command shell, and shows their reports.\n"
    "\n"
    "  BATCH.sbt    a batch file to run at start (the Command page is shown)\n"
    "  SETTINGS     another settings file, used when it holds CurrentTab in\n"
    "               [VidzoMain] (\".INI\" is added when the name has no extension)\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "The settings are kept in $XDG_CONFIG_HOME/vidzoer/Vidzoer.INI\n"
    "(~/.config/vidzoer/Vidzoer.INI when XDG_CONFIG_HOME is not set).\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    platform::PrintVersion("vidzoerw");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kHelp, stdout);
    std::fputs(platform::HelpPageNote("vidzoerw").c_str(), stdout);
    return 0;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fputs("vidzoerw: no display to open the window on (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n",
               stderr);
    return 1;
  }
  QApplication app(argc, argv);
  const vidzoerw::StartOptions options = vidzoerw::ParseStartArguments(app.arguments().mid(1));
  vidzoerw::Ttopwin window(options.settings);
  window.show();
  QTimer::singleShot(0, &window, [&window, &options] { window.RunStartBatches(options.batches); });
  return app.exec();
}
