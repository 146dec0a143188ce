// The Qt application of the front end's tests, on the offscreen platform.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <ostream>

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '[' << l.join("|").toStdString() << ']';
}

namespace frontend_test {

// Made on first use; lives until the program ends.
QApplication& App();

// Runs the event loop until `done` is true or `ms` milliseconds passed;
// returns done().
template <typename Done>
bool PumpUntil(Done done, int ms = 5000);

}  // namespace frontend_test

#include <QElapsedTimer>
#include <QThread>

template <typename Done>
bool frontend_test::PumpUntil(Done done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return done();
}
