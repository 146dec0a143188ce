// The main window: the page control "maintab" with the program's pages, the
// command page (Tcommandform) in front of the command shell, the batch
// window (Tbatchform) and the help viewer.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "frontend/form_page.h"
#include "frontend/ini_file.h"
#include "frontend/report_server.h"
#include "frontend/shell.h"

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTabWidget;
class QTextBrowser;
class QTreeView;

namespace vidzoerw {

class Tlistedit;

inline constexpr const char* kPageNames[] = {
    "Main", "Vidzo", "Mixer", "Player", "Scriptor", "Graphics Processor", "Sound Processor", "Command"};
inline constexpr int kPageCount = 8;
inline constexpr int kCommandPage = 7;

// The command page: the edit line with the history, "&Run Specific" and
// the output list.
class Tcommandform : public QWidget {
  Q_OBJECT

 public:
  Tcommandform(CommandShell& shell, QWidget* parent = nullptr);
  QComboBox* Edit() const { return edit_; }
  QPlainTextEdit* OutputView() const { return output_; }
  void RunEntered();

 private:
  void ShowOutput();
  void ShowHistory();
  CommandShell& shell_;
  QComboBox* edit_;
  QPushButton* run_;
  QPlainTextEdit* output_;
};

// The batch window: the file's lines, the running one marked.
class Tbatchform : public QDialog, public BatchView {
  Q_OBJECT

 public:
  Tbatchform(const QString& file, const QStringList& lines, QWidget* main);
  void SetCurrent(int index) override;
  bool CancelRequested() override;
  QListWidget* Lines() const { return list_; }
  // Answers the question "Cancel the batch file ?" without asking (tests).
  static void SetCancelAnswer(int answer) { cancel_answer_ = answer; }
  void RequestCancel();

 private:
  void closeEvent(QCloseEvent* event) override;
  QStringList lines_;
  QListWidget* list_;
  int current_ = -1;
  bool cancelled_ = false;
  static int cancel_answer_;  // -1 asks
};

// The help pages (HTML, one topic per file) with a topic lookup.
class HelpViewer : public QDialog {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);
  // Shows the first topic whose name begins with `key` (ignoring case);
  // false when none does.
  bool ShowTopic(const QString& key);
  QStringList Topics() const { return topics_; }
  QString Folder() const { return folder_; }
  QString CurrentTopic() const { return current_; }

 private:
  QString folder_;
  QStringList topics_;
  QString current_;
  QLineEdit* lookup_;
  QListWidget* list_;
  QTextBrowser* browser_;
};

// The folder of the help pages: <data>/help, or "" when there is none.
QString HelpFolder();

// Answers that tests give in place of the windows a person answers.
struct FormAnswers {
  std::function<int(const QString& text, const QStringList& buttons)> ask;
  std::function<void(const QString& text)> tell;
  // Works the list editor (sets its answers and closes it).
  std::function<void(Tlistedit& editor)> list;
  std::function<bool(const QString& file)> batch;
};

// The option page of a page index, or null while the page has none (the
// placeholder is shown).
Tformpage* MakeFormPage(int page, FormHost& host, QWidget* parent);

class Ttopwin : public QMainWindow, public ShellHost, public FormHost {
  Q_OBJECT

 public:
  // `settings` is the settings file to read at start and write at close.
  Ttopwin(const QString& settings, QWidget* parent = nullptr);
  ~Ttopwin() override;
  // Runs the batch files named on the command line (the command page is
  // shown first).
  void RunStartBatches(const QStringList& files);

  CommandShell& Shell() { return shell_; }
  ReportServer& Server() { return server_; }
  QTabWidget* Tabs() const { return maintab_; }
  Tcommandform* CommandForm() const { return command_; }
  HelpViewer* Help() const { return help_; }
  // Writes the settings file (also done at close); false when it failed.
  bool SaveSettings();
  // The option pages (in page order).
  const std::vector<Tformpage*>& Forms() const { return forms_; }
  // The option page shown as page `index`, or null.
  Tformpage* Form(int index) const;
  // "Defaults": asks "Reset all options to their default values?" and, on
  // yes, resets every page; true when it did.
  bool ResetAllDefaults();
  void SetFormAnswers(FormAnswers answers) { answers_ = std::move(answers); }
  QPushButton* DefaultsButton() const { return defaults_; }
  // "ShowHints" of the settings: with 0 no control shows its tooltip.
  bool ShowHints() const { return show_hints_; }

  // FormHost
  bool RunCommand(const QString& directory, const QString& command) override;
  int Ask(const QString& text, const QStringList& buttons) override;
  void Tell(const QString& text) override;
  void AddRecentFile(const QString& file) override;
  QString EditList(const QString& folder, const QStringList& entries) override;
  bool ApproveBatch(const QString& file) override;
  QString ToolsDirectory() const override;
  QString Grouped(qint64 n) const override;

  // ShellHost
  bool ShiftHeld() override;
  bool CommandPageVisible() override;
  void ShowError(const QString& text) override;
  void SetBusyCursor(bool busy) override;
  std::unique_ptr<BatchView> OpenBatchView(const QString& file, const QStringList& lines) override;
  bool CopyProgress(const QString& from, qint64 done, qint64 total) override;
  void OpenHelp(const QString& topic) override;
  void OpenEditor(const QString& file) override;
  void OpenListEditor(const QString& file) override;
  void OpenTune(const QString& file) override;
  bool ShowFile(const QString& file) override;
  void CloseMainWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Holds back tooltips while hints are off.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeMainPage();
  QWidget* MakePlaceholder(const QString& name);
  QString SelectedFile() const;
  void RunOnSelection(const QString& verb);

  CommandShell shell_;
  ReportServer server_;
  IniFile ini_;
  QString settings_;
  QTabWidget* maintab_ = nullptr;
  Tcommandform* command_ = nullptr;
  HelpViewer* help_ = nullptr;
  QComboBox* drives_ = nullptr;
  QTreeView* folders_ = nullptr;
  QListView* files_ = nullptr;
  QFileSystemModel* folder_model_ = nullptr;
  QFileSystemModel* file_model_ = nullptr;
  QLabel* path_label_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  bool copy_cancelled_ = false;
  QPushButton* defaults_ = nullptr;
  std::vector<Tformpage*> forms_;
  std::vector<int> form_pages_;
  FormAnswers answers_;
  bool show_hints_ = true;
};

}  // namespace vidzoerw
