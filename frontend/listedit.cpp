#include "frontend/listedit.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "frontend/list_file.h"

namespace vidzoerw {
namespace {

constexpr const char* kGraphicsFilter =
    "Graphics files (*.flc *.fli *.vdz *.avi *.bmp *.gif *.tif *.tiff *.pcx *.tga *.jpg *.jpeg *.raw *.lst "
    "*.wav "
    "*.FLC *.FLI *.VDZ *.AVI *.BMP *.GIF *.TIF *.TIFF *.PCX *.TGA *.JPG *.JPEG *.RAW *.LST *.WAV);;All files "
    "(*)";
constexpr const char* kListFilter = "List Files (*.lst);;All files (*)";

}  // namespace

Tlistedit::Tlistedit(QWidget* parent, const QString& list_name, const QStringList& entries, bool modified)
    : QDialog(parent), list_name_(list_name), modified_(modified) {
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(" &Process a list of files: ", this);
  auto* group_layout = new QHBoxLayout(group);
  auto* left = new QVBoxLayout;
  list_ = new QListWidget(group);
  list_->addItems(entries);
  left->addWidget(list_, 1);
  auto* fields = new QFormLayout;
  start_ = new QLineEdit(group);
  end_ = new QLineEdit(group);
  fields->addRow("Start frame: ", start_);
  fields->addRow("End frame: ", end_);
  left->addLayout(fields);
  group_layout->addLayout(left, 1);
  auto* side = new QVBoxLayout;
  auto add = [this](QBoxLayout* box, const char* caption, auto slot) {
    auto* b = new QPushButton(caption, this);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    box->addWidget(b);
  };
  add(side, "&Insert", [this] { Insert(); });
  add(side, "&Remove", [this] { Remove(); });
  add(side, "Move &Up", [this] { MoveUp(); });
  add(side, "Move &Down", [this] { MoveDown(); });
  side->addStretch(1);
  group_layout->addLayout(side);
  layout->addWidget(group, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  add(bottom, "&Close", [this] { CloseEditor(); });
  add(bottom, "&Help", [this] {
    if (help) help();
  });
  add(bottom, "Save &As", [this] { SaveAs(); });
  layout->addLayout(bottom);

  connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
  connect(start_, &QLineEdit::textEdited, this, [this](const QString& t) { FieldEdited('S', t); });
  connect(end_, &QLineEdit::textEdited, this, [this](const QString& t) { FieldEdited('E', t); });

  choose_insert = [this] {
    return QFileDialog::getOpenFileNames(this, "Insert files:", QFileInfo(list_name_).path(),
                                         kGraphicsFilter);
  };
  choose_save_as = [this] {
    return QFileDialog::getSaveFileName(this, "Save As List:", list_name_, kListFilter);
  };
  ask = [this](const QString& text) {
    return QMessageBox::question(this, windowTitle(), text,
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  };
  error = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
  SetCaption();
  resize(560, 360);
  if (list_->count() > 0) Select(0);
}

Tlistedit* Tlistedit::ForFile(QWidget* parent, const QString& file, const QString& folder) {
  if (file.isEmpty())
    return new Tlistedit(
        parent, QDir(folder.isEmpty() ? QDir::currentPath() : folder).filePath("untitled.lst"), {}, false);
  // A name that is no file yet starts an empty list of that name.
  std::vector<std::string> lines;
  QStringList entries;
  if (QFileInfo::exists(file) && LoadListFile(file.toStdString(), lines))
    for (const auto& l : lines) entries << QString::fromStdString(l);
  return new Tlistedit(parent, file, entries, false);
}

QStringList Tlistedit::Entries() const {
  QStringList out;
  for (int i = 0; i < list_->count(); ++i) out << list_->item(i)->text();
  return out;
}

int Tlistedit::Selected() const {
  return list_->currentRow();
}

QPushButton* Tlistedit::Button(const QString& caption) const {
  for (auto* b : findChildren<QPushButton*>())
    if (b->text() == caption) return b;
  return nullptr;
}

void Tlistedit::SetCaption() {
  setWindowTitle("List File Editor - " + QFileInfo(list_name_).fileName());
}

void Tlistedit::Select(int row) {
  list_->setCurrentRow(row);
  ShowSelected();
}

void Tlistedit::ShowSelected() {
  const int row = list_->currentRow();
  if (row < 0) {
    start_->clear();
    end_->clear();
    return;
  }
  const ListEntry e = SplitListEntry(list_->item(row)->text().toStdString());
  start_->setText(e.start < 0 ? QString() : QString::number(e.start));
  end_->setText(e.end < 0 ? QString() : QString::number(e.end));
}

void Tlistedit::FieldEdited(char letter, const QString& text) {
  const int row = list_->currentRow();
  if (row < 0) return;
  std::string line = list_->item(row)->text().toStdString();
  if (SetListEntryFrame(line, letter, text.toStdString())) modified_ = true;
  list_->item(row)->setText(QString::fromStdString(line));
}

void Tlistedit::Insert() {
  const QStringList names = choose_insert ? choose_insert() : QStringList();
  if (names.isEmpty()) return;
  int at = std::max(list_->currentRow(), 0);
  for (const auto& n : names) list_->insertItem(at++, n);
  modified_ = true;
  ShowSelected();
}

void Tlistedit::Remove() {
  const int row = list_->currentRow();
  if (row < 0) return;
  delete list_->takeItem(row);
  modified_ = true;
  Select(list_->count() == 0 ? -1 : std::max(row - 1, 0));
}

void Tlistedit::Swap(int a, int b) {
  const QString t = list_->item(a)->text();
  list_->item(a)->setText(list_->item(b)->text());
  list_->item(b)->setText(t);
  modified_ = true;
  Select(b);
}

void Tlistedit::MoveUp() {
  const int row = list_->currentRow();
  if (row > 0) Swap(row, row - 1);
}

void Tlistedit::MoveDown() {
  const int row = list_->currentRow();
  if (row >= 0 && row + 1 < list_->count()) Swap(row, row + 1);
}

bool Tlistedit::Write(const QString& name) {
  std::vector<std::string> lines;
  for (const auto& e : Entries()) lines.push_back(e.toStdString());
  return SaveListFile(name.toStdString(), lines);
}

bool Tlistedit::Save() {
  if (QFileInfo(list_name_).fileName() == "untitled.lst") return SaveAs();
  if (!Write(list_name_)) {
    if (error) error("Error saving " + list_name_);
    return false;
  }
  modified_ = false;
  return true;
}

bool Tlistedit::SaveAs() {
  QString chosen = choose_save_as ? choose_save_as() : QString();
  if (chosen.isEmpty()) return false;
  // The name is kept in lower case; the file is written under that name,
  // so that later saves go to the same file. The folder is kept as chosen.
  const QFileInfo info(chosen);
  chosen = info.dir().filePath(info.fileName().toLower());
  if (!Write(chosen)) {
    if (error) error("Error saving to " + chosen);
    return false;
  }
  list_name_ = chosen;
  modified_ = false;
  SetCaption();
  return true;
}

bool Tlistedit::CloseEditor() {
  if (modified_) {
    const auto answer = ask ? ask("Save file " + list_name_ + " ?") : QMessageBox::Cancel;
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes && !Save()) return false;
    if (answer == QMessageBox::No) list_name_.clear();
  }
  closing_ = true;
  done(list_name_.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
  return true;
}

void Tlistedit::reject() {
  if (closing_) {
    QDialog::reject();
    return;
  }
  CloseEditor();
}

}  // namespace vidzoerw
