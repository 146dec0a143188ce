// A FormHost for the option pages' tests: commands are recorded instead of
// run, questions are answered from a queue (and recorded), messages are
// recorded, the list editor and the batch approval are answered by
// functions the test sets.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "frontend/form_page.h"

namespace frontend_test {

class FakeFormHost : public vidzoerw::FormHost {
 public:
  struct Run {
    QString directory, command;
  };
  std::vector<Run> runs;
  QStringList asked, told, recent, help;
  std::deque<int> answers;  // the next answers to Ask; empty: the last button
  std::function<QString(const QString& folder, const QStringList& entries)> edit_list;
  std::function<bool(const QString& file)> approve_batch;
  // What the batch file held when it was run.
  QString batch_text;

  bool RunCommand(const QString& directory, const QString& command) override {
    runs.push_back({directory, command});
    if (command.endsWith(".sbt") || command.endsWith(".sbt\"")) {
      QString name = command;
      name.remove('"');
      QFile f(name.startsWith('/') ? name : directory + "/" + name);
      if (f.open(QIODevice::ReadOnly)) batch_text = QString::fromLocal8Bit(f.readAll());
    }
    return true;
  }
  int Ask(const QString& text, const QStringList& buttons) override {
    asked << text;
    if (answers.empty()) return static_cast<int>(buttons.size()) - 1;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  void Tell(const QString& text) override { told << text; }
  void AddRecentFile(const QString& file) override { recent << file; }
  QString EditList(const QString& folder, const QStringList& entries) override {
    return edit_list ? edit_list(folder, entries) : QString();
  }
  bool ApproveBatch(const QString& file) override { return approve_batch ? approve_batch(file) : false; }
  QString ToolsDirectory() const override { return "/opt/vidzoer/bin/"; }
  QString Grouped(qint64 n) const override { return QString::number(n); }
  void OpenHelp(const QString& topic) override { help << topic; }
};

}  // namespace frontend_test
