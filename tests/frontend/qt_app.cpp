#include "qt_app.h"

#include <cstdlib>

namespace frontend_test {

QApplication& App() {
  static int argc = 1;
  static char name[] = "frontend_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace frontend_test
