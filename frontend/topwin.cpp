#include "frontend/topwin.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "frontend/listedit.h"
#include "frontend/mixform.h"
#include "frontend/playform.h"
#include "frontend/scriptform.h"
#include "frontend/settings.h"
#include "frontend/towavform.h"
#include "frontend/tunef.h"
#include "frontend/veziviform.h"
#include "frontend/vidzoform.h"
#include "platform/paths.h"
#include "platform/report_channel.h"

namespace vidzoerw {

// ---- Tcommandform

Tcommandform::Tcommandform(CommandShell& shell, QWidget* parent) : QWidget(parent), shell_(shell) {
  setObjectName("Tcommandform");
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  edit_ = new QComboBox(this);
  edit_->setObjectName("edit");
  edit_->setEditable(true);
  edit_->setInsertPolicy(QComboBox::NoInsert);
  edit_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  run_ = new QPushButton("&Run Specific", this);
  run_->setObjectName("runspecific");
  row->addWidget(new QLabel("Command:", this));
  row->addWidget(edit_, 1);
  row->addWidget(run_);
  output_ = new QPlainTextEdit(this);
  output_->setObjectName("output");
  output_->setReadOnly(true);
  output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  output_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addLayout(row);
  layout->addWidget(output_, 1);
  connect(run_, &QPushButton::clicked, this, &Tcommandform::RunEntered);
  connect(edit_->lineEdit(), &QLineEdit::returnPressed, this, &Tcommandform::RunEntered);
  connect(&shell_, &CommandShell::OutputChanged, this, &Tcommandform::ShowOutput);
  connect(&shell_, &CommandShell::HistoryChanged, this, &Tcommandform::ShowHistory);
  ShowOutput();
  ShowHistory();
}

void Tcommandform::RunEntered() {
  const QString command = edit_->currentText();
  if (shell_.Busy()) return;  // one command at a time (a batch or a copy is running)
  edit_->setEditText(QString());
  shell_.RunTyped(command);
}

void Tcommandform::ShowOutput() {
  output_->setPlainText(shell_.Output().join('\n'));
  // The view follows the caret (the end) when the page is visible.
  if (isVisible()) output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
}

void Tcommandform::ShowHistory() {
  const QString text = edit_->currentText();
  edit_->blockSignals(true);
  edit_->clear();
  edit_->addItems(shell_.History());
  edit_->setEditText(text);
  edit_->blockSignals(false);
}

// ---- Tbatchform

int Tbatchform::cancel_answer_ = -1;

Tbatchform::Tbatchform(const QString& file, const QStringList& lines, QWidget* main)
    : QDialog(main), lines_(lines) {
  setObjectName("Tbatchform");
  setWindowTitle("Vidzoer for Windows Batch Player: " + file);
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->addItems(lines);
  auto* cancel = new QPushButton("Cancel", this);
  layout->addWidget(list_, 1);
  layout->addWidget(cancel, 0, Qt::AlignHCenter);
  connect(cancel, &QPushButton::clicked, this, &Tbatchform::RequestCancel);
  resize(480, 200);
  if (main != nullptr) {
    const QRect r = main->frameGeometry();
    move(r.x() + (r.width() - width()) / 2, r.y() + r.height() * 3 / 4 - height() / 2);
  }
  show();
}

void Tbatchform::SetCurrent(int index) {
  if (current_ >= 0 && current_ < list_->count()) list_->item(current_)->setText(lines_[current_]);
  current_ = index;
  if (index >= 0 && index < list_->count()) {
    list_->item(index)->setText("Current ==> " + lines_[index]);
    list_->setCurrentRow(index);
  }
}

void Tbatchform::RequestCancel() {
  int answer = cancel_answer_;
  if (answer < 0)
    answer =
        QMessageBox::question(this, windowTitle(), "Cancel the batch file ?") == QMessageBox::Yes ? 1 : 0;
  if (answer == 1) cancelled_ = true;
}

bool Tbatchform::CancelRequested() {
  return cancelled_;
}

void Tbatchform::closeEvent(QCloseEvent* event) {
  event->ignore();
  RequestCancel();
}

// ---- HelpViewer

QString HelpFolder() {
  const std::string found = platform::FindDataFile("help");
  return QString::fromStdString(found);
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
  setObjectName("HelpViewer");
  setWindowTitle("Vidzoer for Windows Help");
  folder_ = HelpFolder();
  if (!folder_.isEmpty())
    for (const QString& f : QDir(folder_).entryList({"*.html"}, QDir::Files, QDir::Name))
      topics_.append(f.left(f.size() - 5));
  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  lookup_ = new QLineEdit(this);
  lookup_->setPlaceholderText("Topic");
  list_ = new QListWidget(this);
  list_->addItems(topics_);
  left->addWidget(lookup_);
  left->addWidget(list_, 1);
  browser_ = new QTextBrowser(this);
  if (!folder_.isEmpty()) browser_->setSearchPaths({folder_});
  layout->addLayout(left);
  layout->addWidget(browser_, 1);
  connect(lookup_, &QLineEdit::textEdited, this, [this](const QString& t) { ShowTopic(t); });
  connect(list_, &QListWidget::currentTextChanged, this, [this](const QString& t) {
    if (!t.isEmpty() && t != current_) ShowTopic(t);
  });
  resize(760, 520);
}

bool HelpViewer::ShowTopic(const QString& key) {
  QString found;
  for (const QString& t : topics_)
    if (t.compare(key, Qt::CaseInsensitive) == 0) found = t;
  if (found.isEmpty())
    for (const QString& t : topics_)
      if (t.startsWith(key, Qt::CaseInsensitive)) {
        found = t;
        break;
      }
  if (found.isEmpty() && !key.isEmpty())
    for (const QString& t : topics_)
      if (t.contains(key, Qt::CaseInsensitive)) {
        found = t;
        break;
      }
  if (found.isEmpty()) return false;
  current_ = found;
  browser_->setSource(QUrl::fromLocalFile(folder_ + "/" + found + ".html"));
  const auto items = list_->findItems(found, Qt::MatchExactly);
  if (!items.isEmpty()) list_->setCurrentItem(items.front());
  return true;
}

// ---- Ttopwin

Ttopwin::Ttopwin(const QString& settings, QWidget* parent)
    : QMainWindow(parent), shell_(this), settings_(settings) {
  setObjectName("Ttopwin");
  setWindowTitle(platform::kFrontEndCaption);
  ini_.Load(settings_.toStdString());
  LoadShellSettings(ini_, shell_, QCoreApplication::applicationDirPath());
  shell_.SetThousands(QLocale().groupSeparator());
  if (server_.Listen(static_cast<uint32_t>(getpid()))) shell_.SetReportHandle(server_.Id());
  connect(&server_, &ReportServer::CopyDataReceived, &shell_, &CommandShell::CopyData);
  connect(&server_, &ReportServer::RestoreRequested, this, [this] {
    if (!isVisible() || isMinimized()) showNormal();
  });

  maintab_ = new QTabWidget(this);
  maintab_->setObjectName("maintab");
  command_ = new Tcommandform(shell_, maintab_);
  for (int i = 0; i < kPageCount; ++i) {
    QWidget* page = nullptr;
    if (i == 0)
      page = MakeMainPage();
    else if (i == kCommandPage)
      page = command_;
    else if (Tformpage* form = MakeFormPage(i, *this, maintab_); form != nullptr) {
      form->Browser()->SetDirectory(shell_.CurrentDirectory());
      form->LoadSettings(ini_);
      forms_.push_back(form);
      form_pages_.push_back(i);
      page = form;
    } else {
      page = MakePlaceholder(kPageNames[i]);
    }
    maintab_->addTab(page, kPageNames[i]);
  }
  setCentralWidget(maintab_);
  help_ = new HelpViewer(this);
  shell_.Prompt();

  resize(800, 560);
  const int tab = ini_.Int("VidzoMain", "CurrentTab", 0);
  maintab_->setCurrentIndex(tab >= 0 && tab < kPageCount ? tab : 0);
  const auto x = ini_.Value("VidzoMain", "X"), y = ini_.Value("VidzoMain", "Y");
  if (x && y) move(ini_.Int("VidzoMain", "X", 0), ini_.Int("VidzoMain", "Y", 0));
  show_hints_ = ini_.Int("VidzoMain", "ShowHints", 1) != 0;
  if (!show_hints_) qApp->installEventFilter(this);
  // Programs that ended are collected now and then.
  auto* reaper = new QTimer(this);
  connect(reaper, &QTimer::timeout, &shell_, &CommandShell::ReapChildren);
  reaper->start(2000);
}

Ttopwin::~Ttopwin() = default;

bool Ttopwin::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip && !show_hints_) return true;
  return QMainWindow::eventFilter(watched, event);
}

QWidget* Ttopwin::MakePlaceholder(const QString& name) {
  auto* page = new QWidget(maintab_);
  auto* layout = new QVBoxLayout(page);
  auto* title = new QLabel("<h2>" + name + "</h2>", page);
  auto* text = new QLabel(
      "The options of this page are not in this version yet: give the program's command "
      "line on the Command page.",
      page);
  text->setWordWrap(true);
  layout->addWidget(title);
  layout->addWidget(text);
  layout->addStretch(1);
  return page;
}

QWidget* Ttopwin::MakeMainPage() {
  auto* page = new QWidget(maintab_);
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout;
  drives_ = new QComboBox(page);
  drives_->setObjectName("drives");
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    if (volume.isValid() && volume.isReady()) drives_->addItem(volume.rootPath());
  path_label_ = new QLabel(shell_.CurrentDirectory(), page);
  top->addWidget(new QLabel("Drive:", page));
  top->addWidget(drives_);
  top->addWidget(path_label_, 1);
  layout->addLayout(top);

  folder_model_ = new QFileSystemModel(page);
  folder_model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  folder_model_->setRootPath("/");
  file_model_ = new QFileSystemModel(page);
  file_model_->setFilter(QDir::Files);
  auto* split = new QSplitter(page);
  folders_ = new QTreeView(split);
  folders_->setObjectName("folders");
  folders_->setModel(folder_model_);
  for (int c = 1; c < folder_model_->columnCount(); ++c) folders_->hideColumn(c);
  folders_->header()->hide();
  files_ = new QListView(split);
  files_->setObjectName("files");
  files_->setModel(file_model_);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);

  const auto show_folder = [this](const QString& dir) {
    path_label_->setText(dir);
    files_->setRootIndex(file_model_->setRootPath(dir));
    folders_->setCurrentIndex(folder_model_->index(dir));
  };
  connect(folders_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    shell_.RunCommand(QString(), "CD \"" + folder_model_->filePath(index) + "\"");
  });
  connect(drives_, &QComboBox::textActivated, this,
          [this](const QString& root) { shell_.RunCommand(QString(), "CD \"" + root + "\""); });
  connect(&shell_, &CommandShell::DirectoryChanged, this,
          [this, show_folder] { show_folder(shell_.CurrentDirectory()); });
  connect(files_, &QListView::doubleClicked, this, [this] { RunOnSelection("run"); });
  show_folder(shell_.CurrentDirectory());

  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, const char*> commands[] = {{"&Run", "run"},      {"&View", "type"},
                                                          {"&Copy...", "copy"}, {"Re&name...", "ren"},
                                                          {"&Delete", "del"},   {"&Make folder...", "md"}};
  for (const auto& [label, verb] : commands) {
    auto* b = new QPushButton(label, page);
    const QString v = verb;
    connect(b, &QPushButton::clicked, this, [this, v] { RunOnSelection(v); });
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  defaults_ = new QPushButton("De&faults", page);
  defaults_->setObjectName("defaults");
  defaults_->setToolTip("Reset the options of every page to their default values");
  connect(defaults_, &QPushButton::clicked, this, [this] { ResetAllDefaults(); });
  buttons->addWidget(defaults_);
  layout->addLayout(buttons);
  return page;
}

Tformpage* Ttopwin::Form(int index) const {
  for (size_t i = 0; i < forms_.size(); ++i)
    if (form_pages_[i] == index) return forms_[i];
  return nullptr;
}

bool Ttopwin::ResetAllDefaults() {
  if (Ask("Reset all options to their default values?", YesNo()) != kYes) return false;
  for (Tformpage* form : forms_) form->ResetDefaults();
  return true;
}

// ---- FormHost

bool Ttopwin::RunCommand(const QString& directory, const QString& command) {
  return shell_.RunCommand(directory, command);
}

int Ttopwin::Ask(const QString& text, const QStringList& buttons) {
  if (answers_.ask) return answers_.ask(text, buttons);
  QMessageBox box(QMessageBox::Question, windowTitle(), QString(text).replace("\r\n", "\n"),
                  QMessageBox::NoButton, this);
  std::vector<QAbstractButton*> made;
  for (qsizetype i = 0; i < buttons.size(); ++i) {
    const bool last = i + 1 == buttons.size() && buttons.size() > 1;
    QPushButton* b = box.addButton(buttons[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (i == 0) box.setDefaultButton(b);
    made.push_back(b);
  }
  box.exec();
  for (size_t i = 0; i < made.size(); ++i)
    if (box.clickedButton() == made[i]) return static_cast<int>(i);
  return static_cast<int>(buttons.size()) - 1;
}

void Ttopwin::Tell(const QString& text) {
  if (answers_.tell) {
    answers_.tell(text);
    return;
  }
  QMessageBox::information(this, windowTitle(), QString(text).replace("\r\n", "\n"));
}

void Ttopwin::AddRecentFile(const QString& file) {
  shell_.AddRecentFile(file);
}

QString Ttopwin::EditList(const QString& folder, const QStringList& entries) {
  Tlistedit editor(this, QDir(folder).filePath("untitled.lst"), entries, true);
  editor.help = [this] { OpenHelp("vidzoerw-listedit"); };
  if (answers_.list)
    answers_.list(editor);
  else
    editor.exec();
  if (editor.result() != QDialog::Accepted || editor.Modified()) return QString();
  const QString name = editor.ListName();
  return QFileInfo(name).fileName() == "untitled.lst" || !QFileInfo::exists(name) ? QString() : name;
}

bool Ttopwin::ApproveBatch(const QString& file) {
  if (answers_.batch) return answers_.batch(file);
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return false;
  QDialog dialog(this);
  dialog.setWindowTitle("Batch file: " + QFileInfo(file).fileName());
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(
      new QLabel("These commands will be run one after the other. Change them if you wish:", &dialog));
  auto* text = new QPlainTextEdit(&dialog);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setPlainText(QString::fromLocal8Bit(in.readAll()).replace("\r\n", "\n"));
  in.close();
  layout->addWidget(text, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  auto* ok = new QPushButton("&OK", &dialog);
  auto* cancel = new QPushButton("Cancel", &dialog);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  dialog.resize(640, 360);
  if (dialog.exec() != QDialog::Accepted) return false;
  QSaveFile out(file);
  const QByteArray bytes = text->toPlainText().replace("\n", "\r\n").toLocal8Bit();
  return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

QString Ttopwin::ToolsDirectory() const {
  return shell_.ToolsDirectory();
}

QString Ttopwin::Grouped(qint64 n) const {
  return shell_.Grouped(n);
}

QString Ttopwin::SelectedFile() const {
  const QModelIndex index = files_->currentIndex();
  return index.isValid() ? file_model_->fileName(index) : QString();
}

void Ttopwin::RunOnSelection(const QString& verb) {
  const QString dir = shell_.CurrentDirectory();
  const QString file = SelectedFile();
  const QString quoted = "\"" + file + "\"";
  if (verb == "md") {
    const QString name = QInputDialog::getText(this, "Make folder", "Name of the new folder:");
    if (!name.isEmpty()) shell_.RunCommand(dir, "md \"" + name + "\"");
    return;
  }
  if (file.isEmpty()) return;
  shell_.AddRecentFile(dir + "/" + file);
  if (verb == "run") {
    const QString ext = QFileInfo(file).suffix().toLower();
    const QString program = ext == "vdz" ? "vidzoplw " : ext == "ss" ? "vidzoscw " : "";
    shell_.RunCommand(dir, program + quoted);
  } else if (verb == "type" || verb == "del") {
    if (verb == "del" &&
        QMessageBox::question(this, windowTitle(), "Delete " + file + " ?") != QMessageBox::Yes)
      return;
    shell_.RunCommand(dir, verb + " " + quoted);
  } else {
    const QString to =
        QInputDialog::getText(this, verb == "copy" ? "Copy" : "Rename", "To:", QLineEdit::Normal, file);
    if (!to.isEmpty()) shell_.RunCommand(dir, verb + " " + quoted + " \"" + to + "\"");
  }
}

// Each page's option form; a page without one keeps its placeholder.
Tformpage* MakeFormPage(int page, FormHost& host, QWidget* parent) {
  switch (page) {
    case 1:  // "Vidzo"
      return new Tvidzoform(host, parent);

      // "Mixer" (2)
    case 2:
      return new Tmixform(host, parent);

      // "Player" (3)
    case 3:
      return new Tplayform(host, parent);

      // "Scriptor" (4)
    case 4:
      return new Tscriptform(host, parent);

      // "Graphics Processor" (5)
    case 5:
      return new Tveziviform(host, parent);

      // "Sound Processor" (6)
    case 6:
      return new Ttowavform(host, parent);

    default:
      (void)host;
      (void)parent;
      return nullptr;
  }
}

void Ttopwin::RunStartBatches(const QStringList& files) {
  if (files.isEmpty()) return;
  maintab_->setCurrentIndex(kCommandPage);
  for (const QString& f : files) shell_.RunCommand(QString(), "\"" + f + "\"");
}

bool Ttopwin::SaveSettings() {
  SaveShellSettings(ini_, shell_);
  for (const Tformpage* form : forms_) form->SaveSettings(ini_);
  ini_.SetInt("VidzoMain", "CurrentTab", maintab_->currentIndex());
  ini_.SetInt("VidzoMain", "X", x());
  ini_.SetInt("VidzoMain", "Y", y());
  if (!ini_.Value("VidzoMain", "ShowHints")) ini_.SetInt("VidzoMain", "ShowHints", 1);
  QDir().mkpath(QFileInfo(settings_).absolutePath());
  return ini_.Save(settings_.toStdString());
}

void Ttopwin::closeEvent(QCloseEvent* event) {
  if (shell_.Busy()) {
    shell_.Say("Error, cannot close now.");
    statusBar()->showMessage("Error, cannot close now.", 5000);
    event->ignore();
    return;
  }
  SaveSettings();
  event->accept();
}

bool Ttopwin::ShiftHeld() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
}

bool Ttopwin::CommandPageVisible() {
  return maintab_ != nullptr && maintab_->currentIndex() == kCommandPage;
}

void Ttopwin::ShowError(const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
}

void Ttopwin::SetBusyCursor(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

std::unique_ptr<BatchView> Ttopwin::OpenBatchView(const QString& file, const QStringList& lines) {
  return std::make_unique<Tbatchform>(file, lines, this);
}

bool Ttopwin::CopyProgress(const QString& from, qint64 done, qint64 total) {
  if (done == 0 || total < (1 << 20)) return false;  // small files copy without a window
  if (progress_ == nullptr) {
    progress_ = new QProgressDialog("Copying " + from, "Cancel", 0, 1000, this);
    progress_->setWindowTitle(windowTitle());
    progress_->setMinimumDuration(300);
  }
  progress_->setValue(static_cast<int>(done * 1000 / total));
  QCoreApplication::processEvents();
  const bool cancelled = progress_->wasCanceled();
  if (cancelled || done >= total) {
    progress_->deleteLater();
    progress_ = nullptr;
  }
  return cancelled;
}

void Ttopwin::OpenHelp(const QString& topic) {
  help_->show();
  help_->raise();
  if (!help_->ShowTopic(topic.isEmpty() ? QString("vidzoerw") : topic) && !topic.isEmpty())
    shell_.Say("  No help topic begins with " + topic);
}

namespace {
// A text window on a file: read-only for type/display, with "Save" for edit.
bool OpenTextWindow(QWidget* parent, const QString& file, bool editable) {
  QFile in(file);
  if (!file.isEmpty() && !in.open(QIODevice::ReadOnly)) return false;
  auto* dialog = new QDialog(parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(file.isEmpty() ? QString("Untitled") : file);
  auto* layout = new QVBoxLayout(dialog);
  auto* text = new QPlainTextEdit(dialog);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  if (in.isOpen()) text->setPlainText(QString::fromLocal8Bit(in.read(16 << 20)));
  text->setReadOnly(!editable);
  layout->addWidget(text, 1);
  if (editable) {
    auto* save = new QPushButton("&Save", dialog);
    QObject::connect(save, &QPushButton::clicked, dialog, [dialog, text, file] {
      QString name = file;
      if (name.isEmpty()) name = QInputDialog::getText(dialog, "Save", "File name:");
      QSaveFile out(name);
      const QByteArray bytes = text->toPlainText().toLocal8Bit();
      if (name.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
          !out.commit())
        QMessageBox::warning(dialog, dialog->windowTitle(), "Error, could not save " + name);
    });
    layout->addWidget(save, 0, Qt::AlignRight);
  }
  dialog->resize(640, 480);
  dialog->show();
  return true;
}
}  // namespace

void Ttopwin::OpenEditor(const QString& file) {
  if (!OpenTextWindow(this, file, true)) shell_.Say("  Error displaying the file");
}

void Ttopwin::OpenListEditor(const QString& file) {
  auto* editor = Tlistedit::ForFile(this, file, shell_.CurrentDirectory());
  editor->setAttribute(Qt::WA_DeleteOnClose);
  editor->help = [this] { OpenHelp("vidzoerw-listedit"); };
  editor->show();
}

void Ttopwin::OpenTune(const QString& file) {
  auto* window = Ttunef::Open(file, this, [this](const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
  if (window != nullptr) window->show();
}

bool Ttopwin::ShowFile(const QString& file) {
  return OpenTextWindow(this, file, false);
}

void Ttopwin::CloseMainWindow() {
  // The window closes once the command that asked for it (and any batch
  // file running it) has ended.
  auto* wait = new QTimer(this);
  connect(wait, &QTimer::timeout, this, [this, wait] {
    if (shell_.Busy()) return;
    wait->deleteLater();
    close();
  });
  wait->start(20);
}

}  // namespace vidzoerw
