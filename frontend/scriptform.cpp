#include "frontend/scriptform.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include "frontend/switches.h"

namespace vidzoerw {

// ---- Tscriptform

Tscriptform::Tscriptform(FormHost& host, QWidget* parent)
    : Tformpage(host, "VidzoScript", {"Vidzoer scripts (*.ss)", "All files (*)"}, "&Run Script", parent) {
  setObjectName("Tscriptform");
  auto* about = new QLabel(
      "Runs the highlighted script with the script player vidzoscw. Scripts are text: "
      "\"Edit Script\" opens the highlighted one in the editor, at the line or the text below.",
      this);
  about->setWordWrap(true);
  Options()->addWidget(about);
  auto* group = new QGroupBox("In the editor", this);
  auto* form = new QFormLayout(group);
  line_ = new NumberField(6, QString(), false, group);
  line_->setObjectName("gotoline");
  find_ = new QLineEdit(group);
  find_->setObjectName("findtext");
  form->addRow("Go to line:", line_);
  form->addRow("Find text:", find_);
  Options()->addWidget(group);
  Options()->addStretch(1);
  BindText("GotoLine", line_);
  BindText("FindText", find_);

  auto* buttons = new QHBoxLayout;
  edit_ = new QPushButton("&Edit Script...", this);
  edit_->setObjectName("edit");
  buttons->addWidget(edit_);
  buttons->addStretch(1);
  Options()->addLayout(buttons);
  // A script double-clicked (or Enter in the list) runs as "Run Script" runs it.
  connect(Browser()->Files(), &QListWidget::itemActivated, this, [this] { Run(); });
  connect(edit_, &QPushButton::clicked, this, [this] { EditScript(); });
}

QString Tscriptform::ComposeCommand() {
  const QString file = Browser()->Current().isEmpty() ? HighlightedFiles().value(0) : Browser()->Current();
  if (file.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return QString();
  }
  SetCommandFiles({file});
  return "VidzoScW " + CommandName(file, Directory());
}

Tscriptedit* Tscriptform::EditScript() {
  const QString file = Browser()->Current().isEmpty() ? HighlightedFiles().value(0) : Browser()->Current();
  if (file.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return nullptr;
  }
  auto* editor = new Tscriptedit(Host(), file, this);
  editor->setAttribute(Qt::WA_DeleteOnClose);
  editor->LineField()->setText(line_->text());
  editor->FindField()->setText(find_->text());
  const int line = line_->text().trimmed().toInt();
  if (line > 0)
    editor->GoToLine(line);
  else if (!find_->text().isEmpty())
    editor->FindNext(find_->text());
  // What the editor was last asked to find or go to is kept for next time.
  connect(editor->LineField(), &QLineEdit::editingFinished, this,
          [this, editor] { line_->setText(editor->LineField()->text()); });
  connect(editor->FindField(), &QLineEdit::editingFinished, this,
          [this, editor] { find_->setText(editor->FindField()->text()); });
  editor->show();
  return editor;
}

// ---- Tscriptedit

Tscriptedit::Tscriptedit(FormHost& host, const QString& file, QWidget* parent)
    : QDialog(parent), host_(host), file_(file) {
  setObjectName("Tscriptedit");
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  line_ = new QLineEdit(this);
  line_->setObjectName("gotoline");
  line_->setValidator(new QIntValidator(1, 999999, line_));
  line_->setMaximumWidth(80);
  auto* go = new QPushButton("&Go", this);
  find_ = new QLineEdit(this);
  find_->setObjectName("findtext");
  auto* next = new QPushButton("Find &Next", this);
  row->addWidget(new QLabel("Go to line:", this));
  row->addWidget(line_);
  row->addWidget(go);
  row->addSpacing(12);
  row->addWidget(new QLabel("Find text:", this));
  row->addWidget(find_, 1);
  row->addWidget(next);
  layout->addLayout(row);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("text");
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFile in(file);
  if (in.open(QIODevice::ReadOnly)) text_->setPlainText(QString::fromLocal8Bit(in.read(16 << 20)));
  text_->document()->setModified(false);
  layout->addWidget(text_, 1);
  auto* buttons = new QHBoxLayout;
  auto* save = new QPushButton("&Save", this);
  auto* run = new QPushButton("Save and &Run", this);
  run->setObjectName("run");
  auto* close = new QPushButton("&Close", this);
  buttons->addWidget(save);
  buttons->addWidget(run);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  const auto go_to = [this] {
    const int n = line_->text().trimmed().toInt();
    if (n <= 0 || !GoToLine(n)) host_.Tell("Error, the script has no line " + line_->text().trimmed() + ".");
  };
  const auto find_next = [this] {
    if (!find_->text().isEmpty() && !FindNext(find_->text()))
      host_.Tell("Error, \"" + find_->text() + "\" is not in the script.");
  };
  // Enter in a field does that field's work, not a button's.
  for (QPushButton* b : {go, next, save, run, close}) b->setAutoDefault(false);
  connect(go, &QPushButton::clicked, this, go_to);
  connect(line_, &QLineEdit::returnPressed, this, go_to);
  connect(next, &QPushButton::clicked, this, find_next);
  connect(find_, &QLineEdit::returnPressed, this, find_next);
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  connect(run, &QPushButton::clicked, this, [this] { SaveAndRun(); });
  connect(close, &QPushButton::clicked, this, &Tscriptedit::reject);
  connect(text_->document(), &QTextDocument::modificationChanged, this, [this] { SetCaption(); });
  SetCaption();
  resize(640, 480);
}

void Tscriptedit::SetCaption() {
  setWindowTitle("Script Editor - " + QFileInfo(file_).fileName() + (Modified() ? " *" : ""));
}

bool Tscriptedit::Modified() const {
  return text_->document()->isModified();
}

bool Tscriptedit::GoToLine(int line) {
  const QTextBlock block = text_->document()->findBlockByNumber(line - 1);
  if (line < 1 || !block.isValid()) return false;
  QTextCursor cursor(block);
  text_->setTextCursor(cursor);
  text_->centerCursor();
  return true;
}

bool Tscriptedit::FindNext(const QString& text) {
  if (text.isEmpty()) return false;
  if (text_->find(text)) return true;
  // Again from the top.
  const QTextCursor saved = text_->textCursor();
  text_->moveCursor(QTextCursor::Start);
  if (text_->find(text)) return true;
  text_->setTextCursor(saved);
  return false;
}

int Tscriptedit::CurrentLine() const {
  return text_->textCursor().blockNumber() + 1;
}

bool Tscriptedit::Save() {
  QSaveFile out(file_);
  const QByteArray bytes = text_->toPlainText().toLocal8Bit();
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
    host_.Tell("Error, could not save " + file_);
    return false;
  }
  text_->document()->setModified(false);
  return true;
}

bool Tscriptedit::SaveAndRun() {
  if (!Save()) return false;
  const QString folder = QFileInfo(file_).absolutePath();
  host_.RunCommand(folder, "VidzoScW " + CommandName(file_, folder));
  return true;
}

void Tscriptedit::reject() {
  if (Modified()) {
    const int answer = host_.Ask("Save the changes to " + QFileInfo(file_).fileName() + "?", YesNoCancel());
    if (answer == kCancel || (answer == kYes && !Save())) return;
  }
  QDialog::reject();
}

}  // namespace vidzoerw
