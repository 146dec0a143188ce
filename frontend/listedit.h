// The list file editor: the entries of a list file, each a file name with
// an optional start and end frame, inserted, removed, reordered and saved.
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace vidzoerw {

class Tlistedit : public QDialog {
  Q_OBJECT

 public:
  // A list of `entries` named `list_name` (a new one is "untitled.lst" in
  // the folder it should go to); `modified` when the entries are not those
  // of a file yet.
  Tlistedit(QWidget* parent, const QString& list_name, const QStringList& entries, bool modified);
  // The editor on the list file `file` (empty when it does not exist yet),
  // or on a new "untitled.lst" in `folder` when `file` is empty.
  static Tlistedit* ForFile(QWidget* parent, const QString& file, const QString& folder);

  // What a person is asked; the defaults are file choosers and message
  // boxes, tests put their own answers in.
  std::function<QStringList()> choose_insert;                      // "Insert files:"
  std::function<QString()> choose_save_as;                         // "Save As List:", "" = cancelled
  std::function<QMessageBox::StandardButton(const QString&)> ask;  // yes, no or cancel
  std::function<void(const QString&)> error;
  std::function<void()> help;

  QString ListName() const { return list_name_; }
  QStringList Entries() const;
  bool Modified() const { return modified_; }
  int Selected() const;

  QListWidget* List() const { return list_; }
  QLineEdit* StartField() const { return start_; }
  QLineEdit* EndField() const { return end_; }
  QPushButton* Button(const QString& caption) const;

  void Insert();
  void Remove();
  void MoveUp();
  void MoveDown();
  bool Save();
  bool SaveAs();
  // "&Close": true when the editor closed.
  bool CloseEditor();

 protected:
  void reject() override;  // Escape and the title bar's close ask as "&Close" does

 private:
  void Select(int row);
  void ShowSelected();
  void FieldEdited(char letter, const QString& text);
  void SetCaption();
  bool Write(const QString& name);
  void Swap(int a, int b);

  QString list_name_;
  bool modified_ = false;
  bool closing_ = false;
  QListWidget* list_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
};

}  // namespace vidzoerw
