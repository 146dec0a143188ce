// What the option pages share: the file browser (folder tree, file list
// with several-file highlighting, filter), the page's settings bound to its
// controls, the masked number fields, the choice of a graphics input (one
// file, a numbered sequence, a list file or a one-by-one batch) and of the
// output name, and the run button that hands the composed command to the
// command shell.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontend/ini_file.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTabWidget;
class QTreeView;

namespace vidzoerw {

// What a page asks of the main window (tests answer in its place).
class FormHost {
 public:
  virtual ~FormHost() = default;
  // Runs a command line through the command shell from `directory`; true
  // when it started a known tool.
  virtual bool RunCommand(const QString& directory, const QString& command) = 0;
  // Asks a question with these buttons; the index of the button chosen (the
  // last one is also what closing the box chooses).
  virtual int Ask(const QString& text, const QStringList& buttons) = 0;
  // Tells the user something.
  virtual void Tell(const QString& text) = 0;
  virtual void AddRecentFile(const QString& file) = 0;
  // The list editor on a new list of `entries` in `folder`; the list file
  // the user saved, "" when none was.
  virtual QString EditList(const QString& folder, const QStringList& entries) = 0;
  // The text editor on a batch file, for approval; true when the user
  // approves it (it may have been changed and saved).
  virtual bool ApproveBatch(const QString& file) = 0;
  // The folder of the toolkit's programs (with a trailing separator).
  virtual QString ToolsDirectory() const = 0;
  // A number with the user's thousands separator.
  virtual QString Grouped(qint64 n) const = 0;
  virtual void OpenHelp(const QString& topic) = 0;
};

// The buttons of a yes/no/cancel and of a yes/no question, and the index
// of each answer.
QStringList YesNoCancel();
QStringList YesNo();
enum Answer { kYes = 0, kNo = 1, kCancel = 2 };

// A masked number field: at most `width` digits (a leading "-" too when
// `sign`), shown followed by `suffix` (" %").
class NumberField : public QLineEdit {
  Q_OBJECT

 public:
  explicit NumberField(int width, const QString& suffix = QString(), bool sign = false,
                       QWidget* parent = nullptr);
  QString Suffix() const { return suffix_; }
  // Another mask: the text is cut to fit it.
  void SetMask(int width, const QString& suffix = QString(), bool sign = false);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString suffix_;
};

// A check box with its number field ("Starting frame:" and the frame); the
// field is enabled while the box is checked.
class CheckField : public QWidget {
  Q_OBJECT

 public:
  CheckField(const QString& caption, int width, QWidget* parent = nullptr, bool sign = false);
  QCheckBox* Box() const { return box_; }
  NumberField* Field() const { return field_; }
  bool On() const;
  QString Text() const;

 private:
  QCheckBox* box_;
  NumberField* field_;
};

// The folder tree, the file list (several files may be highlighted) and,
// where there are filters, the filter list ("Name (*.a *.b)" each).
class FileBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit FileBrowser(const QStringList& filters, QWidget* parent = nullptr);
  QString Directory() const { return directory_; }
  // Shows a folder; false (nothing changed) when it is none.
  bool SetDirectory(const QString& directory);
  // The names of the files listed (the filter's), in list order.
  QStringList Listed() const;
  // The highlighted files with their folder, in list order.
  QStringList Highlighted() const;
  // The file with the focus (with its folder), or "".
  QString Current() const;
  // Highlights these files (names in the browsed folder or with their
  // folder); the first one gets the focus. False when one is not listed.
  bool Highlight(const QStringList& files);
  // Lists the folder's files again.
  void Refresh();

  QListWidget* Files() const { return files_; }
  QTreeView* Folders() const { return folders_; }
  QComboBox* Filter() const { return filter_; }  // null when there are no filters
  QLabel* Path() const { return path_; }

 signals:
  void DirectoryChanged();
  void SelectionChanged();

 private:
  QString directory_;
  QStringList patterns_;  // one list of patterns per filter, joined by blanks
  QLabel* path_ = nullptr;
  QTreeView* folders_ = nullptr;
  QFileSystemModel* folder_model_ = nullptr;
  QListWidget* files_ = nullptr;
  QComboBox* filter_ = nullptr;
};

// A graphics input as a page's command takes it.
struct FormInput {
  QString name;           // the file with its folder, or a sequence pattern "pic????.bmp*1-10"
  bool sequence = false;  // a numbered sequence
  bool batch = false;     // a line of a one-by-one batch: the output name is always derived
};

// A numbered sequence found around a file.
struct NumberedSequence {
  QString first, last;  // the first and the last file's names
  QString pattern;      // the name with its digits as "?"
  qint64 first_number = 0, last_number = 0;
  // The input: the pattern, "*", the first number, "-", the last number.
  QString Input() const;
};

// The numbered sequence a file is part of: the last run of digits of its
// name is replaced by "?" and the numbers below and above (same width, zero
// padded) are probed while such names are in `listed`. Nothing when the
// name holds no digits or no other number of the sequence is listed.
std::optional<NumberedSequence> ProbeSequence(const QString& file_name, const QStringList& listed);

// The question asked for a sequence.
QString SequenceQuestion(const NumberedSequence& sequence);

// The output name derived from an input (a file or a sequence pattern with
// its range) with the extension of the output type: the input's name with
// that extension; the "?" of a sequence kept only for an image series
// (`series`); "New_" in front ("new_" for a sequence) when it would be the
// input's own name. The folder is the input's.
QString DeriveOutputName(const FormInput& input, const QString& extension, bool series);

// The output types of the compression and graphics pages (menu "&Type"),
// in index order, and whether each is an image series.
QStringList OutputTypeExtensions();
bool OutputTypeIsSeries(int index);

// A page of the main window for one of the toolkit's programs.
class Tformpage : public QWidget {
  Q_OBJECT

 public:
  // `section`: the page's section of the settings file; `filters`: the
  // browser's filters (none: every file); `run_caption`: the run button.
  Tformpage(FormHost& host, const QString& section, const QStringList& filters, const QString& run_caption,
            QWidget* parent = nullptr);
  ~Tformpage() override;

  QString Section() const { return section_; }
  FileBrowser* Browser() const { return browser_; }
  QString Directory() const { return browser_->Directory(); }
  QStringList HighlightedFiles() const { return browser_->Highlighted(); }
  QPushButton* RunButton() const { return run_; }
  QLineEdit* OutputField() const { return output_; }

  // The page's section of the settings file: the browser (folder, file,
  // filter) and every bound control; a subclass adds what is its own.
  virtual void LoadSettings(const IniFile& ini);
  virtual void SaveSettings(IniFile& ini) const;
  // Every bound control back to its default.
  virtual void ResetDefaults();
  // The whole command line; "" when the user abandoned it. The default:
  // the graphics input chosen (SelectInput) and CommandFor it.
  virtual QString ComposeCommand();
  // Composes the command and runs it from the browsed folder; false when
  // nothing ran.
  bool Run();

 protected:
  FormHost& Host() const { return host_; }
  // The area right of the browser where the page puts its options.
  QVBoxLayout* Options() const { return options_; }
  // The command for one input (graphics pages).
  virtual QString CommandFor(const FormInput& input);
  // After the command ran: the files it names become recent files.
  virtual void AfterRun(const QString& command);
  // The files the command being composed names, for AfterRun (sequence
  // patterns and empty names are left out there).
  void SetCommandFiles(const QStringList& files) { command_files_ = files; }
  // The file list is read again whenever the page is shown.
  void showEvent(QShowEvent* event) override;

  // The keys of the browser's settings (default "Filename", "Directory",
  // "Filter").
  void SetBrowserKeys(const QString& file, const QString& directory, const QString& filter);
  // The output field, bound to "OutputName" and "OutputBasedOn" (the input
  // it was typed for: highlighting another file empties it).
  QLineEdit* MakeOutputField(QWidget* parent);
  // The output name of a command: the output field's text for the input it
  // was typed for, else derived from the input (DeriveOutputName).
  QString OutputFor(const FormInput& input, const QString& extension, bool series) const;

  // Controls bound to keys of the page's section, with their defaults.
  void BindFlag(const QString& key, QAbstractButton* box, bool dflt = false);
  void BindFlag(const QString& key, QAction* item, bool dflt = false);
  void BindText(const QString& key, QLineEdit* field, const QString& dflt = QString());
  void BindIndex(const QString& key, QComboBox* list, int dflt = 0);
  void BindIndex(const QString& key, QSlider* slider, int dflt = 0);
  void BindIndex(const QString& key, QTabWidget* tabs, int dflt = 0);
  // A check box and its field: the flag key and the number key.
  void BindCheckField(const QString& flag_key, const QString& number_key, CheckField* field,
                      const QString& dflt = QString());
  // Any other value, as text.
  void BindValue(const QString& key, std::function<QString()> get, std::function<void(const QString&)> set,
                 const QString& dflt = QString());

  // The graphics input from the highlighted files: one file (its numbered
  // sequence when the user says so), or for several files a list file or,
  // when `one_by_one`, a batch file with one command per file. Nothing when
  // the command is abandoned or was done another way.
  std::optional<FormInput> SelectInput(bool one_by_one = true);

 private:
  struct Binding {
    QString key;
    std::function<QString()> get;
    std::function<void(const QString&)> set;
    QString dflt;
  };
  bool RunOneByOne(const QStringList& files);

  FormHost& host_;
  QString section_;
  QString file_key_ = "Filename", directory_key_ = "Directory", filter_key_ = "Filter";
  FileBrowser* browser_ = nullptr;
  QVBoxLayout* options_ = nullptr;
  QPushButton* run_ = nullptr;
  QLineEdit* output_ = nullptr;
  QString output_based_on_;
  bool output_typing_ = false;
  // A list's or tab widget's current index under `key`.
  template <typename Indexed>
  void BindCurrent(const QString& key, Indexed* widget, int dflt);

  std::vector<Binding> bindings_;
  QStringList command_files_;
};

}  // namespace vidzoerw
