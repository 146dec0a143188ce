// The script player's page: the .ss script to run with vidzoscw, and the
// script editor it opens at a line or at a text to find.
#pragma once

#include <QDialog>
#include <QString>

#include "frontend/form_page.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vidzoerw {

class Tscriptedit;

class Tscriptform : public Tformpage {
  Q_OBJECT

 public:
  explicit Tscriptform(FormHost& host, QWidget* parent = nullptr);

  // "VidzoScW" and the highlighted script; "" (and the user told) when no
  // file is highlighted.
  QString ComposeCommand() override;
  // The editor on the highlighted script, at the "Go to line:" line or the
  // first "Find text:" match; null (and the user told) when no file is
  // highlighted.
  Tscriptedit* EditScript();

  NumberField* LineField() const { return line_; }
  QLineEdit* FindField() const { return find_; }
  QPushButton* EditButton() const { return edit_; }

 private:
  NumberField* line_ = nullptr;
  QLineEdit* find_ = nullptr;
  QPushButton* edit_ = nullptr;
};

// The text of a script, edited, saved and run.
class Tscriptedit : public QDialog {
  Q_OBJECT

 public:
  // `file`: the script with its folder (it may not exist yet).
  Tscriptedit(FormHost& host, const QString& file, QWidget* parent = nullptr);

  QString File() const { return file_; }
  bool Modified() const;
  // Puts the cursor at the start of a line (counted from 1); false when the
  // script has no such line.
  bool GoToLine(int line);
  // Selects the next match of `text` (ignoring case) after the cursor,
  // starting again at the top when there is none below; false when there
  // is none at all.
  bool FindNext(const QString& text);
  // The line of the cursor, counted from 1.
  int CurrentLine() const;
  bool Save();
  // Saves, then runs the script with vidzoscw from its folder.
  bool SaveAndRun();

  QPlainTextEdit* Text() const { return text_; }
  QLineEdit* LineField() const { return line_; }
  QLineEdit* FindField() const { return find_; }

  void reject() override;  // unsaved changes are asked about

 private:
  void SetCaption();
  FormHost& host_;
  QString file_;
  QPlainTextEdit* text_ = nullptr;
  QLineEdit* line_ = nullptr;
  QLineEdit* find_ = nullptr;
};

}  // namespace vidzoerw
