// The command shell: every typed command, batch file line and command line
// composed by a page goes through RunCommand, is echoed into the output
// list, and is performed by a built-in command or started as a program.
// The shell has no window of its own: what needs one (message boxes, the
// batch window, the viewers, the copy progress, the Shift key) goes through
// a ShellHost, so that the shell runs and is tested without a display.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vidzoerw {

// The window a batch file shows while it runs.
class BatchView {
 public:
  virtual ~BatchView() = default;
  // Line `index` runs now (its display is "Current ==> " and the line), or
  // -1 when none does.
  virtual void SetCurrent(int index) = 0;
  // True once the user asked to stop (and said yes to "Cancel the batch
  // file ?").
  virtual bool CancelRequested() = 0;
};

class ShellHost {
 public:
  virtual ~ShellHost() = default;
  virtual bool ShiftHeld() { return false; }
  virtual bool CommandPageVisible() { return true; }
  virtual void ShowError(const QString& text) { (void)text; }
  virtual void SetBusyCursor(bool busy) { (void)busy; }
  // The batch window for a file and its lines (caption "Vidzoer for
  // Windows Batch Player: " and the file name); null runs the batch without
  // a window.
  virtual std::unique_ptr<BatchView> OpenBatchView(const QString& file, const QStringList& lines) {
    (void)file;
    (void)lines;
    return nullptr;
  }
  // The copy progress: called with the bytes done of the total; true asks
  // to cancel.
  virtual bool CopyProgress(const QString& from, qint64 done, qint64 total) {
    (void)from;
    (void)done;
    (void)total;
    return false;
  }
  virtual void OpenHelp(const QString& topic) { (void)topic; }
  virtual void OpenEditor(const QString& file) { (void)file; }
  virtual void OpenListEditor(const QString& file) { (void)file; }
  virtual void OpenTune(const QString& file) { (void)file; }
  // Shows a file's text; false when it cannot.
  virtual bool ShowFile(const QString& file) {
    (void)file;
    return true;
  }
  virtual void CloseMainWindow() {}
};

// The first word of a command and the rest: a word that starts with a double
// quote runs to the next one (quotes included), any other to the first
// character of code 32 or below; both trimmed.
struct SplitCommand {
  QString word;
  QString rest;
};
SplitCommand FirstWord(const QString& command);

// Splits a command line into program arguments as the script player's
// EXECUTE does: blanks separate words, double or single quotes group (and are
// removed); "\" is an ordinary character, since names may use it as a
// separator.
std::vector<std::string> SplitArguments(const QString& command);

// Windows-style name patterns: "*" and "?" ignoring case, "*.*" matching
// every name.
bool MatchesPattern(const QString& name, const QString& pattern);

// The target name of a rename of `source` by `mask` ("*.bak", "new.*",
// "a?c.txt").
QString ApplyRenameMask(const QString& source, const QString& mask);

// The program a name of the tool table starts ("VidzoC"), or "" when the
// name is not in the table.
QString ToolName(const QString& word);
// The Linux program of a tool ("VidzoC" gives "vidzoc").
QString ToolProgram(const QString& tool);

class CommandShell : public QObject {
  Q_OBJECT

 public:
  static constexpr int kHistoryMax = 30;
  static constexpr int kOutputLimit = 12288;
  static constexpr int kOutputCut = 1001;

  explicit CommandShell(ShellHost* host, QObject* parent = nullptr);
  ~CommandShell() override;

  // The single entry point; true when it started a known tool.
  bool RunCommand(const QString& directory, const QString& command);
  // A command typed on the command page: tools get the extra "/#".
  bool RunTyped(const QString& command);
  // False when the command was a built-in or a batch file, true when it is
  // to be started as a program.
  bool PerformBuiltIn(const QString& command);
  // Rewrites the command for a known tool; false when it is not one.
  bool MapToolCommand(QString& command);

  void Echo(const QString& text);
  void Say(const QString& text);
  void Prompt();
  QString PromptText() const;

  // A report from a program (copy-data); false (ignored) when its
  // identifier is not the report text's.
  bool CopyData(uint32_t identifier, const QString& text);
  // Runs a batch file with its argument text.
  void RunBatch(const QString& file, const QString& arguments);

  const QStringList& Output() const { return output_; }
  void ClearOutput();
  int OutputLength() const;
  const QStringList& History() const { return history_; }
  void SetHistory(const QStringList& items);
  const QStringList& RecentFiles() const { return recent_files_; }
  const QStringList& RecentDirs() const { return recent_dirs_; }
  void SetRecentFiles(const QStringList& items);
  void SetRecentDirs(const QStringList& items);
  void AddRecentFile(const QString& file);
  void AddHistory(const QString& command);

  QString CurrentDirectory() const { return current_; }
  // Sets the current directory; false (nothing changed) when it cannot be
  // entered.
  bool SetCurrentDirectory(const QString& directory);
  QString ToolsDirectory() const { return tools_; }
  void SetToolsDirectory(const QString& directory);
  uint32_t ReportHandle() const { return report_handle_; }
  void SetReportHandle(uint32_t handle) { report_handle_ = handle; }
  void SetThousands(const QString& separator) { thousands_ = separator.left(16); }
  // A number with the thousands separator.
  QString Grouped(qint64 n) const;
  bool Busy() const { return busy_ > 0; }
  bool InBatch() const { return batch_; }

  // How programs are started (tests record the arguments instead); returns
  // the process id, or -1 when it could not start.
  using Launcher = std::function<pid_t(const std::vector<std::string>& args)>;
  void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
  // How long a batch waits at most, once the started tool has ended, for
  // its report to arrive.
  void SetReportGrace(int milliseconds) { report_grace_ms_ = milliseconds; }
  // The number of reports received so far.
  int ReportCount() const { return reports_; }
  // Collects the programs that have ended.
  void ReapChildren();

 signals:
  void OutputChanged();
  void HistoryChanged();
  void DirectoryChanged();
  void ReportArrived();

 private:
  void ChangeDirectory(const QString& argument);
  void MakeDirectory(const QString& name);
  void RemoveDirectory(const QString& name);
  void ChangeDrive(const QString& command);
  void Dir(const QString& argument);
  void Delete(const QString& argument);
  void Rename(const QString& argument);
  void Copy(const QString& argument);
  void Attributes(const QString& argument);
  void Find(const QString& argument);
  void SaveHistory(const QString& argument);
  bool TryBatch(const QString& word, const QString& rest);
  void WaitForReport(pid_t child, BatchView* view);
  void LimitOutput();
  void Changed();
  // A name as the file system knows it, relative to the current directory.
  QString Resolve(const QString& name) const;
  // The files (not folders) matching a pattern, with their folder.
  QStringList Matches(const QString& pattern, bool folders_too) const;

  ShellHost* host_;
  ShellHost default_host_;
  QStringList output_;
  QStringList history_, recent_files_, recent_dirs_;
  QString current_, tools_;
  QString thousands_ = ",";
  uint32_t report_handle_ = 0;
  bool batch_ = false;
  bool typed_ = false;
  int batch_depth_ = 0;
  QString batch_args_;
  int busy_ = 0;
  int reports_ = 0;
  int report_grace_ms_ = 2000;
  Launcher launcher_;
  std::vector<pid_t> children_;
  pid_t last_child_ = -1;
};

// Starts a program with posix_spawnp (no shell); -1 when it cannot start.
pid_t SpawnProgram(const std::vector<std::string>& args);

}  // namespace vidzoerw
