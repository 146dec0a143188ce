#include "screen_app.h"

#include <QDir>
#include <cstdlib>

namespace frontend_screen {

ScreenApp::ScreenApp(const display_test::XServer& server, const vidzoer_test::TempDir& dir) {
  setenv("DISPLAY", server.Name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  setenv("VIDZOER_DATA_DIR", VIDZOER_SOURCE_DIR "/docs", 1);
  // QApplication keeps the argument count and vector for its lifetime.
  static int argc = 1;
  static char name[] = "frontend_screen_tests";
  static char* argv[] = {name, nullptr};
  app_ = std::make_unique<QApplication>(argc, argv);
  QDir().mkpath(VIDZOER_SCREENSHOT_DIR);
}

ScreenApp::~ScreenApp() {
  app_.reset();
  unsetenv("XDG_RUNTIME_DIR");
  unsetenv("VIDZOER_DATA_DIR");
}

}  // namespace frontend_screen
