// The Qt application of a screenshot test: on the test's own X server
// (DISPLAY, the xcb platform), with its runtime folder in the test's
// scratch folder and the help pages of the source tree; the screenshot
// folder is made. The environment is put back when it ends.
#pragma once

#include <QApplication>
#include <memory>

#include "display/display_fixture.h"
#include "support/temp_dir.h"

namespace frontend_screen {

class ScreenApp {
 public:
  ScreenApp(const display_test::XServer& server, const vidzoer_test::TempDir& dir);
  ~ScreenApp();
  ScreenApp(const ScreenApp&) = delete;
  ScreenApp& operator=(const ScreenApp&) = delete;

 private:
  std::unique_ptr<QApplication> app_;
};

}  // namespace frontend_screen
