#include "frontend/form_page.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTextStream>
#include <QTreeView>
#include <QVBoxLayout>

#include "frontend/switches.h"

namespace vidzoerw {

QStringList YesNoCancel() {
  return {"&Yes", "&No", "Cancel"};
}

QStringList YesNo() {
  return {"&Yes", "&No"};
}

// ---- NumberField

NumberField::NumberField(int width, const QString& suffix, bool sign, QWidget* parent) : QLineEdit(parent) {
  SetMask(width, suffix, sign);
}

void NumberField::SetMask(int width, const QString& suffix, bool sign) {
  suffix_ = suffix;
  const QString digits = QString("\\d{0,%1}").arg(width);
  const QRegularExpression mask(sign ? "-?" + digits : digits);
  delete validator();
  setValidator(new QRegularExpressionValidator(mask, this));
  setMaxLength(width + (sign ? 1 : 0));
  // A text that does not fit keeps its leading part that does.
  const QRegularExpression whole("^(?:" + mask.pattern() + ")$");
  QString t = text();
  while (!t.isEmpty() && !whole.match(t).hasMatch()) t.chop(1);
  if (t != text()) setText(t);
  const QFontMetrics m(font());
  const int chars = width + (sign ? 1 : 0) + 1;
  setTextMargins(0, 0, suffix_.isEmpty() ? 0 : m.horizontalAdvance(suffix_) + 2, 0);
  setMinimumWidth(m.horizontalAdvance(QString(chars, '9') + suffix_) + 16);
  setMaximumWidth(m.horizontalAdvance(QString(chars + 2, '9') + suffix_) + 24);
}

void NumberField::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  if (suffix_.isEmpty() || text().isEmpty()) return;
  // The suffix follows the digits (which always fit the field).
  QPainter p(this);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect area =
      style()->subElementRect(QStyle::SE_LineEditContents, &option, this).marginsRemoved(textMargins());
  const int x = area.left() + 2 + fontMetrics().horizontalAdvance(text());
  p.drawText(QRect(x, area.top(), std::max(area.right() - x, 0), area.height()),
             Qt::AlignVCenter | Qt::AlignLeft, suffix_);
}

// ---- CheckField

CheckField::CheckField(const QString& caption, int width, QWidget* parent, bool sign) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  box_ = new QCheckBox(caption, this);
  field_ = new NumberField(width, QString(), sign, this);
  field_->setEnabled(false);
  row->addWidget(box_, 1);
  row->addWidget(field_);
  connect(box_, &QCheckBox::toggled, field_, &QWidget::setEnabled);
}

bool CheckField::On() const {
  return box_->isChecked();
}

QString CheckField::Text() const {
  return field_->text().trimmed();
}

// ---- FileBrowser

namespace {

QStringList FilterPatterns(const QString& filter) {
  const qsizetype open = filter.lastIndexOf('('), close = filter.lastIndexOf(')');
  if (open < 0 || close < open) return {"*"};
  return filter.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts);
}

}  // namespace

FileBrowser::FileBrowser(const QStringList& filters, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  path_ = new QLabel(this);
  path_->setObjectName("path");
  path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  path_->setMinimumWidth(60);
  path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(path_);
  auto* split = new QSplitter(Qt::Vertical, this);
  folder_model_ = new QFileSystemModel(this);
  folder_model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  folder_model_->setRootPath("/");
  folders_ = new QTreeView(split);
  folders_->setObjectName("folders");
  folders_->setModel(folder_model_);
  for (int c = 1; c < folder_model_->columnCount(); ++c) folders_->hideColumn(c);
  folders_->header()->hide();
  files_ = new QListWidget(split);
  files_->setObjectName("files");
  files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 2);
  layout->addWidget(split, 1);
  if (!filters.isEmpty()) {
    filter_ = new QComboBox(this);
    filter_->setObjectName("filter");
    filter_->addItems(filters);
    // Long filters do not widen the page; the open list shows them whole.
    filter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    filter_->setMinimumContentsLength(12);
    filter_->view()->setMinimumWidth(filter_->view()->sizeHintForColumn(0) + 8);
    for (const QString& f : filters) patterns_.append(FilterPatterns(f).join(' '));
    layout->addWidget(filter_);
    connect(filter_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  }
  connect(folders_, &QTreeView::clicked, this,
          [this](const QModelIndex& index) { SetDirectory(folder_model_->filePath(index)); });
  connect(files_, &QListWidget::itemSelectionChanged, this, &FileBrowser::SelectionChanged);
  // The tree's folders arrive as they are read: the browsed one is shown
  // once it is there.
  connect(folder_model_, &QFileSystemModel::directoryLoaded, this, [this] {
    const QModelIndex index = folder_model_->index(directory_);
    if (index.isValid() && folders_->currentIndex() != index) {
      folders_->setCurrentIndex(index);
      folders_->scrollTo(index);
    }
  });
  SetDirectory(QDir::currentPath());
}

bool FileBrowser::SetDirectory(const QString& directory) {
  const QFileInfo info(directory);
  if (directory.isEmpty() || !info.isDir()) return false;
  const QString dir = QDir::cleanPath(info.absoluteFilePath());
  const bool changed = dir != directory_;
  directory_ = dir;
  path_->setText(dir);
  path_->setToolTip(dir);
  const QModelIndex index = folder_model_->index(dir);
  if (index.isValid()) {
    folders_->setCurrentIndex(index);
    folders_->scrollTo(index);
  }
  Refresh();
  if (changed) emit DirectoryChanged();
  return true;
}

void FileBrowser::Refresh() {
  const QStringList keep = Highlighted();
  QStringList patterns = {"*"};
  if (filter_ != nullptr && filter_->currentIndex() >= 0 && filter_->currentIndex() < patterns_.size())
    patterns = patterns_[filter_->currentIndex()].split(' ', Qt::SkipEmptyParts);
  QDir dir(directory_);
  dir.setNameFilters(patterns);
  dir.setFilter(QDir::Files | QDir::Hidden);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  const QSignalBlocker block(files_);
  files_->clear();
  files_->addItems(dir.entryList());
  for (const QString& f : keep) {
    const auto items = files_->findItems(QFileInfo(f).fileName(), Qt::MatchExactly);
    if (!items.isEmpty() && QFileInfo(f).absolutePath() == directory_) items.front()->setSelected(true);
  }
  emit SelectionChanged();
}

QStringList FileBrowser::Listed() const {
  QStringList names;
  for (int i = 0; i < files_->count(); ++i) names << files_->item(i)->text();
  return names;
}

QStringList FileBrowser::Highlighted() const {
  QStringList out;
  for (int i = 0; i < files_->count(); ++i)
    if (files_->item(i)->isSelected()) out << QDir(directory_).filePath(files_->item(i)->text());
  return out;
}

QString FileBrowser::Current() const {
  const QStringList h = Highlighted();
  const QListWidgetItem* item = files_->currentItem();
  if (item != nullptr && item->isSelected()) return QDir(directory_).filePath(item->text());
  return h.isEmpty() ? QString() : h.front();
}

bool FileBrowser::Highlight(const QStringList& files) {
  bool all = true;
  files_->clearSelection();
  bool first = true;
  for (const QString& f : files) {
    const QFileInfo info(f);
    if (info.isAbsolute() && QDir::cleanPath(info.absolutePath()) != directory_) {
      all = false;
      continue;
    }
    const auto items = files_->findItems(info.fileName(), Qt::MatchExactly);
    if (items.isEmpty()) {
      all = false;
      continue;
    }
    if (first) files_->setCurrentItem(items.front(), QItemSelectionModel::Current);
    items.front()->setSelected(true);
    first = false;
  }
  return all;
}

// ---- Sequences and output names

QString NumberedSequence::Input() const {
  return pattern + "*" + QString::number(first_number) + "-" + QString::number(last_number);
}

std::optional<NumberedSequence> ProbeSequence(const QString& file_name, const QStringList& listed) {
  const QFileInfo info(file_name);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf('.');
  const qsizetype stem_end = dot > 0 ? dot : name.size();
  qsizetype end = stem_end;
  while (end > 0 && !name[end - 1].isDigit()) --end;
  if (end == 0) return std::nullopt;
  qsizetype start = end;
  while (start > 0 && name[start - 1].isDigit()) --start;
  const qsizetype width = end - start;
  if (width > 18) return std::nullopt;  // not a number the tools count with
  const QString head = name.left(start), tail = name.mid(end);
  const qint64 number = name.mid(start, width).toLongLong();
  const auto name_of = [&](qint64 n) { return head + QString::number(n).rightJustified(width, '0') + tail; };
  const auto listed_has = [&](qint64 n) {
    if (n < 0) return false;
    const QString digits = QString::number(n);
    if (digits.size() > width) return false;
    return listed.contains(name_of(n));
  };
  qint64 first = number, last = number;
  while (listed_has(first - 1)) --first;
  while (listed_has(last + 1)) ++last;
  if (first == last) return std::nullopt;
  NumberedSequence s;
  s.first = name_of(first);
  s.last = name_of(last);
  const QString folder = info.path() == "." && !file_name.contains('/') ? QString() : info.path() + "/";
  s.pattern = folder + head + QString(width, '?') + tail;
  s.first_number = first;
  s.last_number = last;
  return s;
}

QString SequenceQuestion(const NumberedSequence& sequence) {
  return "This file appears to be part of a sequence of files (" + sequence.first + " to " + sequence.last +
         ").\r\nDo you want to treat the sequence as a single animation?";
}

QStringList OutputTypeExtensions() {
  return {"vdz", "flc", "avi", "bmp", "jpg", "tga", "tif", "pcx", "gif"};
}

bool OutputTypeIsSeries(int index) {
  return index >= 3;
}

QString DeriveOutputName(const FormInput& input, const QString& extension, bool series) {
  QString in = input.name;
  if (input.sequence) {
    const qsizetype star = in.lastIndexOf('*');
    if (star > 0) in = in.left(star);
  }
  const QFileInfo info(in);
  const QString folder = in.contains('/') ? info.path() + "/" : QString();
  QString base = info.completeBaseName();
  if (!info.fileName().contains('.')) base = info.fileName();
  if (input.sequence && !series) {
    base.remove('?');
    // "pic_????" makes "pic.vdz", not "pic_.vdz".
    while (!base.isEmpty() && (base.endsWith('_') || base.endsWith('-') || base.endsWith(' '))) base.chop(1);
    if (base.isEmpty()) base = "sequence";
  }
  QString out = base + "." + extension;
  if (out.compare(info.fileName(), Qt::CaseInsensitive) == 0) out = (input.sequence ? "new_" : "New_") + out;
  return folder + out;
}

// ---- Tformpage

Tformpage::Tformpage(FormHost& host, const QString& section, const QStringList& filters,
                     const QString& run_caption, QWidget* parent)
    : QWidget(parent), host_(host), section_(section) {
  auto* layout = new QHBoxLayout(this);
  auto* split = new QSplitter(this);
  browser_ = new FileBrowser(filters, split);
  auto* right = new QWidget(split);
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(4, 0, 0, 0);
  options_ = new QVBoxLayout;
  right_layout->addLayout(options_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  run_ = new QPushButton(run_caption, right);
  run_->setObjectName("run");
  buttons->addWidget(run_);
  right_layout->addLayout(buttons);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setChildrenCollapsible(false);
  layout->addWidget(split);
  connect(run_, &QPushButton::clicked, this, [this] { Run(); });
  connect(browser_, &FileBrowser::SelectionChanged, this, [this] {
    // An output name typed for another input is not this one's.
    if (output_ != nullptr && !output_based_on_.isEmpty() && browser_->Current() != output_based_on_ &&
        !browser_->Current().isEmpty())
      output_->clear();
  });
}

Tformpage::~Tformpage() = default;

void Tformpage::SetBrowserKeys(const QString& file, const QString& directory, const QString& filter) {
  file_key_ = file;
  directory_key_ = directory;
  filter_key_ = filter;
}

QLineEdit* Tformpage::MakeOutputField(QWidget* parent) {
  output_ = new QLineEdit(parent);
  output_->setObjectName("output");
  connect(output_, &QLineEdit::textEdited, this, [this](const QString& text) {
    output_based_on_ = text.trimmed().isEmpty() ? QString() : browser_->Current();
  });
  BindValue(
      "OutputName", [this] { return output_->text(); }, [this](const QString& t) { output_->setText(t); });
  BindValue(
      "OutputBasedOn", [this] { return output_based_on_; },
      [this](const QString& t) { output_based_on_ = t; });
  return output_;
}

QString Tformpage::OutputFor(const FormInput& input, const QString& extension, bool series) const {
  if (!input.batch && output_ != nullptr && !output_->text().trimmed().isEmpty()) {
    QString name = output_->text().trimmed();
    if (name.size() > 1 && name.startsWith('"') && name.endsWith('"')) name = name.mid(1, name.size() - 2);
    if (QFileInfo(name).isRelative()) name = QDir(Directory()).filePath(name);
    return name;
  }
  return DeriveOutputName(input, extension, series);
}

void Tformpage::BindFlag(const QString& key, QAbstractButton* box, bool dflt) {
  BindValue(
      key, [box] { return QString(box->isChecked() ? "1" : "0"); },
      [box](const QString& t) { box->setChecked(t.trimmed().toInt() != 0); }, dflt ? "1" : "0");
}

void Tformpage::BindFlag(const QString& key, QAction* item, bool dflt) {
  BindValue(
      key, [item] { return QString(item->isChecked() ? "1" : "0"); },
      [item](const QString& t) { item->setChecked(t.trimmed().toInt() != 0); }, dflt ? "1" : "0");
}

void Tformpage::BindText(const QString& key, QLineEdit* field, const QString& dflt) {
  BindValue(
      key, [field] { return field->text(); }, [field](const QString& t) { field->setText(t); }, dflt);
}

namespace {

// A setting's whole number when it is one from `low` to `high`, else `dflt`.
int NumberIn(const QString& text, int low, int high, int dflt) {
  bool ok = false;
  const int i = text.trimmed().toInt(&ok);
  return ok && i >= low && i <= high ? i : dflt;
}

}  // namespace

template <typename Indexed>
void Tformpage::BindCurrent(const QString& key, Indexed* widget, int dflt) {
  BindValue(
      key, [widget] { return QString::number(widget->currentIndex()); },
      [widget, dflt](const QString& t) {
        widget->setCurrentIndex(NumberIn(t, 0, widget->count() - 1, dflt));
      },
      QString::number(dflt));
}

void Tformpage::BindIndex(const QString& key, QComboBox* list, int dflt) {
  BindCurrent(key, list, dflt);
}

void Tformpage::BindIndex(const QString& key, QTabWidget* tabs, int dflt) {
  BindCurrent(key, tabs, dflt);
}

void Tformpage::BindIndex(const QString& key, QSlider* slider, int dflt) {
  BindValue(
      key, [slider] { return QString::number(slider->value()); },
      [slider, dflt](const QString& t) {
        slider->setValue(NumberIn(t, slider->minimum(), slider->maximum(), dflt));
      },
      QString::number(dflt));
}

void Tformpage::BindCheckField(const QString& flag_key, const QString& number_key, CheckField* field,
                               const QString& dflt) {
  BindFlag(flag_key, field->Box());
  BindText(number_key, field->Field(), dflt);
}

void Tformpage::BindValue(const QString& key, std::function<QString()> get,
                          std::function<void(const QString&)> set, const QString& dflt) {
  set(dflt);
  bindings_.push_back({key, std::move(get), std::move(set), dflt});
}

void Tformpage::LoadSettings(const IniFile& ini) {
  const std::string section = section_.toStdString();
  const QString dir = QString::fromStdString(ini.String(section, directory_key_.toStdString()));
  if (browser_->Filter() != nullptr) {
    const int f = ini.Int(section, filter_key_.toStdString(), 0);
    browser_->Filter()->setCurrentIndex(f >= 0 && f < browser_->Filter()->count() ? f : 0);
  }
  if (!dir.trimmed().isEmpty()) browser_->SetDirectory(dir);
  const QString file = QString::fromStdString(ini.String(section, file_key_.toStdString()));
  if (!file.isEmpty()) browser_->Highlight({file});
  for (const Binding& b : bindings_) {
    const auto value = ini.Value(section, b.key.toStdString());
    b.set(value ? QString::fromStdString(*value) : b.dflt);
  }
}

void Tformpage::SaveSettings(IniFile& ini) const {
  const std::string section = section_.toStdString();
  ini.Set(section, directory_key_.toStdString(), browser_->Directory().toStdString());
  ini.Set(section, file_key_.toStdString(), QFileInfo(browser_->Current()).fileName().toStdString());
  if (browser_->Filter() != nullptr)
    ini.SetInt(section, filter_key_.toStdString(), browser_->Filter()->currentIndex());
  for (const Binding& b : bindings_) ini.Set(section, b.key.toStdString(), b.get().toStdString());
}

void Tformpage::ResetDefaults() {
  // The browsed folder and file stay: they are where the user is, not an
  // option.
  if (browser_->Filter() != nullptr) browser_->Filter()->setCurrentIndex(0);
  for (const Binding& b : bindings_) b.set(b.dflt);
}

QString Tformpage::CommandFor(const FormInput& input) {
  (void)input;
  return QString();
}

QString Tformpage::ComposeCommand() {
  const std::optional<FormInput> input = SelectInput();
  return input ? CommandFor(*input) : QString();
}

void Tformpage::AfterRun(const QString& command) {
  (void)command;
  for (const QString& f : command_files_)
    if (!f.isEmpty() && !f.contains('?')) Host().AddRecentFile(f);
}

void Tformpage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  browser_->Refresh();
}

bool Tformpage::Run() {
  const QString command = ComposeCommand();
  if (command.isEmpty()) return false;
  host_.RunCommand(Directory(), command);
  AfterRun(command);
  return true;
}

std::optional<FormInput> Tformpage::SelectInput(bool one_by_one) {
  const QStringList files = browser_->Highlighted();
  if (files.isEmpty()) {
    host_.Tell("Error, no file is highlighted.");
    return std::nullopt;
  }
  if (files.size() == 1) {
    FormInput input{files.front(), false, false};
    const auto sequence = ProbeSequence(files.front(), browser_->Listed());
    if (sequence) {
      const int answer = host_.Ask(SequenceQuestion(*sequence), YesNoCancel());
      if (answer == kYes) input = {sequence->Input(), true, false};
      if (answer != kYes && answer != kNo) return std::nullopt;
    }
    return input;
  }
  if (!one_by_one) {
    if (host_.Ask("You have highlighted more than one file to process, which means that you must create a "
                  "list file.  Do you want to ceate that list file now?",
                  YesNo()) != kYes)
      return std::nullopt;
  } else {
    const int answer = host_.Ask(
        "You have highlighted more than one file to process.  You may put them in a list file, to process "
        "them together as one animation, or process them one by one with a batch file.",
        {"Create &list", "&One by one", "Cancel"});
    if (answer == 1) {
      RunOneByOne(files);
      return std::nullopt;
    }
    if (answer != 0) return std::nullopt;
  }
  QStringList entries;
  for (const QString& f : files) entries << CommandName(f, Directory()).remove('"');
  const QString list = host_.EditList(Directory(), entries);
  if (list.isEmpty()) return std::nullopt;
  if (QFileInfo(list).absolutePath() != Directory()) browser_->SetDirectory(QFileInfo(list).absolutePath());
  browser_->Refresh();
  // A filter that hides list files gives way to one that shows them.
  if (!browser_->Highlight({list}) && browser_->Filter() != nullptr)
    for (int f = 0; f < browser_->Filter()->count(); ++f) {
      browser_->Filter()->setCurrentIndex(f);
      if (browser_->Highlight({list})) break;
    }
  host_.Tell("The list file, " + list +
             ", has been created and is highlighted.\r\nYou may now use it to process your multiple "
             "selections together.");
  return std::nullopt;
}

bool Tformpage::RunOneByOne(const QStringList& files) {
  QString lines;
  for (const QString& f : files) {
    const QString line = CommandFor({f, false, true});
    if (line.isEmpty()) return false;
    lines += line + "\r\n";
  }
  QString batch = QDir(Directory()).filePath("onebyone.sbt");
  for (int n = 1; QFileInfo::exists(batch); ++n)
    batch = QDir(Directory()).filePath(QString("onebyone%1.sbt").arg(n));
  {
    QFile out(batch);
    const QByteArray bytes = lines.toLocal8Bit();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
      host_.Tell("Error, could not write the batch file " + batch);
      return false;
    }
  }
  if (!host_.ApproveBatch(batch)) {
    QFile::remove(batch);
    return false;
  }
  const QString name = QFileInfo(batch).fileName();
  if (host_.Ask("The batch file, " + name + ", has been created.\r\nDo you want to run it now?", YesNo()) ==
      kYes) {
    host_.RunCommand(Directory(), QuoteName(batch));
    if (host_.Ask("Do you want to delete the batch file, " + name + ", now?", YesNo()) == kYes)
      QFile::remove(batch);
    host_.Tell(
        "Note that you can view the results of the one by one processing in the command history on the "
        "command tab.");
  }
  browser_->Refresh();
  return true;
}

}  // namespace vidzoerw
