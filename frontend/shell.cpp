#include "frontend/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>
#include <cerrno>
#include <chrono>

#include "platform/paths.h"
#include "platform/report_channel.h"

extern char** environ;

namespace vidzoerw {
namespace {

constexpr int kBatchNesting = 16;
constexpr int kFindLimit = 5000;

QString TrimControls(const QString& text) {
  qsizetype a = 0, b = text.size();
  while (a < b && text[a].unicode() < 33) ++a;
  while (b > a && text[b - 1].unicode() < 33) --b;
  return text.mid(a, b - a);
}

QString Unquote(const QString& word) {
  if (word.size() >= 2 && word.startsWith('"') && word.endsWith('"')) return word.mid(1, word.size() - 2);
  if (word.size() == 1 && word == "\"") return QString();
  return word;
}

bool HasWildcard(const QString& s) {
  return s.contains('*') || s.contains('?');
}

QString WithSlash(QString dir) {
  dir.replace('\\', '/');
  if (!dir.endsWith('/')) dir += '/';
  return dir;
}

bool SameDirectory(const QString& a, const QString& b) {
  return WithSlash(a).compare(WithSlash(b), Qt::CaseInsensitive) == 0;
}

struct ToolEntry {
  const char* name;
  const char* tool;
};

constexpr ToolEntry kTools[] = {
    {"vidzoc", "VidzoC"},     {"vidzocw", "VidzoC"},    {"vidzomix", "VidzoMix"}, {"vidzomiw", "VidzoMix"},
    {"vidzoply", "VidzoPlW"}, {"vidzoplw", "VidzoPlW"}, {"vidzoscr", "VidzoScW"}, {"vidzoscw", "VidzoScW"},
    {"vezivi", "VizodOv"},    {"veziviw", "VizodOv"},   {"veziviw6", "VizodOv"},  {"vizodovw", "VizodOv"},
    {"vizodov", "VizodOv"},   {"vador", "VorurEd"},     {"towavw", "VorurEd"},    {"voruredw", "VorurEd"},
    {"vorured", "VorurEd"},   {"vdzinfo", "VdzInfo"},   {"vdzinfow", "VdzInfo"},  {"vodave", "VdzInfo"},
    {"vodavew", "VdzInfo"},   {"qelsi", "QelSIW"},      {"qelsiw", "QelSIW"},     {"vidzofr", "VidzoFR"},
    {"vidzofrw", "VidzoFR"},  {"vdzcompi", "VdzCompi"},
};

}  // namespace

SplitCommand FirstWord(const QString& command) {
  const QString text = command.trimmed();
  qsizetype end = 0;
  if (text.startsWith('"')) {
    end = text.indexOf('"', 1);
    end = end < 0 ? text.size() : end + 1;
  } else {
    while (end < text.size() && text[end].unicode() > 32) ++end;
  }
  return {text.left(end), text.mid(end).trimmed()};
}

std::vector<std::string> SplitArguments(const QString& command) {
  std::vector<std::string> args;
  const QByteArray bytes = command.toLocal8Bit();
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (const char c : bytes) {
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else
        word += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      in_word = true;
    } else if (static_cast<unsigned char>(c) <= 32) {
      if (in_word) args.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) args.push_back(word);
  return args;
}

bool MatchesPattern(const QString& name, const QString& pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  // Iterative wildcard match with one back-track point.
  const QString n = name.toLower(), p = pattern.toLower();
  qsizetype i = 0, j = 0, star = -1, mark = 0;
  while (i < n.size()) {
    if (j < p.size() && (p[j] == '?' || p[j] == n[i])) {
      ++i, ++j;
    } else if (j < p.size() && p[j] == '*') {
      star = j++;
      mark = i;
    } else if (star >= 0) {
      j = star + 1;
      i = ++mark;
    } else {
      return false;
    }
  }
  while (j < p.size() && p[j] == '*') ++j;
  // "name.*" also matches "name" without an extension.
  if (j + 2 == p.size() && p[j] == '.' && p[j + 1] == '*') return true;
  return j == p.size();
}

QString ApplyRenameMask(const QString& source, const QString& mask) {
  const auto split = [](const QString& s, QString& base, QString& ext, bool& dot) {
    const qsizetype at = s.lastIndexOf('.');
    dot = at >= 0;
    base = dot ? s.left(at) : s;
    ext = dot ? s.mid(at + 1) : QString();
  };
  QString sb, se, mb, me;
  bool sd = false, md = false;
  split(source, sb, se, sd);
  split(mask, mb, me, md);
  const auto part = [](const QString& src, const QString& m) {
    QString out;
    for (qsizetype k = 0; k < m.size(); ++k) {
      if (m[k] == '*') {
        out += src.mid(k);
        break;
      }
      if (m[k] == '?') {
        if (k < src.size()) out += src[k];
      } else {
        out += m[k];
      }
    }
    return out;
  };
  QString result = part(sb, mb);
  if (md) {
    const QString ext = part(se, me);
    if (!ext.isEmpty()) result += "." + ext;
  }
  return result;
}

QString ToolName(const QString& word) {
  for (const ToolEntry& e : kTools)
    if (word.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0) return QString::fromLatin1(e.tool);
  return QString();
}

QString ToolProgram(const QString& tool) {
  return tool.toLower();
}

pid_t SpawnProgram(const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

CommandShell::CommandShell(ShellHost* host, QObject* parent)
    : QObject(parent), host_(host != nullptr ? host : &default_host_), launcher_(SpawnProgram) {
  current_ = QDir::currentPath();
  tools_ = WithSlash(QCoreApplication::applicationDirPath());
}

CommandShell::~CommandShell() = default;

void CommandShell::Changed() {
  emit OutputChanged();
}

int CommandShell::OutputLength() const {
  int n = 0;
  for (const QString& line : output_) n += static_cast<int>(line.size()) + 2;
  return output_.isEmpty() ? 0 : n - 2;
}

void CommandShell::LimitOutput() {
  if (OutputLength() <= kOutputLimit) return;
  int removed = 0;
  while (removed < kOutputCut && output_.size() > 1) {
    removed += static_cast<int>(output_.front().size()) + 2;
    output_.removeFirst();
  }
  // One line alone longer than the limit keeps its end.
  if (output_.size() == 1 && output_.front().size() > kOutputLimit)
    output_.front() = output_.front().right(kOutputLimit - kOutputCut);
}

void CommandShell::Echo(const QString& text) {
  if (output_.isEmpty())
    output_.append(text);
  else
    output_.last() += text;
  LimitOutput();
  Changed();
}

void CommandShell::Say(const QString& text) {
  output_.append(text);
  LimitOutput();
  Changed();
}

QString CommandShell::PromptText() const {
  return current_ + "> ";
}

void CommandShell::Prompt() {
  const QString prompt = PromptText();
  if (!output_.isEmpty() && output_.last().compare(prompt, Qt::CaseInsensitive) == 0) return;
  Say(prompt);
}

void CommandShell::ClearOutput() {
  output_.clear();
  Changed();
}

QString CommandShell::Grouped(qint64 n) const {
  QString digits = QString::number(n < 0 ? -n : n);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, thousands_);
  return n < 0 ? "-" + digits : digits;
}

namespace {
void AddToList(QStringList& list, const QString& item, int limit) {
  const QString entry = item.trimmed();
  if (entry.isEmpty()) return;
  for (qsizetype i = list.size() - 1; i >= 0; --i)
    if (list[i].compare(entry, Qt::CaseInsensitive) == 0) list.removeAt(i);
  list.prepend(entry);
  while (list.size() > limit) list.removeLast();
}

QStringList CleanList(const QStringList& items, int limit) {
  QStringList out;
  for (qsizetype i = items.size() - 1; i >= 0; --i) AddToList(out, items[i], limit + 1);
  while (out.size() > limit) out.removeLast();
  return out;
}
}  // namespace

void CommandShell::AddHistory(const QString& command) {
  AddToList(history_, command, kHistoryMax);
  emit HistoryChanged();
}

void CommandShell::SetHistory(const QStringList& items) {
  history_ = CleanList(items, kHistoryMax);
  emit HistoryChanged();
}

void CommandShell::SetRecentFiles(const QStringList& items) {
  recent_files_ = CleanList(items, kHistoryMax);
}

void CommandShell::SetRecentDirs(const QStringList& items) {
  recent_dirs_ = CleanList(items, kHistoryMax);
}

void CommandShell::AddRecentFile(const QString& file) {
  AddToList(recent_files_, file, kHistoryMax);
}

bool CommandShell::SetCurrentDirectory(const QString& directory) {
  QDir dir(directory);
  if (directory.isEmpty() || !dir.exists() || !dir.isReadable()) return false;
  current_ = QDir::cleanPath(dir.absolutePath());
  emit DirectoryChanged();
  return true;
}

void CommandShell::SetToolsDirectory(const QString& directory) {
  tools_ = WithSlash(directory);
}

QString CommandShell::Resolve(const QString& name) const {
  QString path = QString::fromStdString(platform::ToSystemSeparators(name.toStdString()));
  if (!path.startsWith('/')) path = current_ + "/" + path;
  return QDir::cleanPath(QString::fromStdString(platform::ResolvePath(path.toStdString())));
}

QStringList CommandShell::Matches(const QString& pattern, bool folders_too) const {
  const QString path = Resolve(pattern);
  const qsizetype slash = path.lastIndexOf('/');
  const QString folder = slash <= 0 ? QString("/") : path.left(slash);
  const QString mask = path.mid(slash + 1);
  QStringList found;
  if (!HasWildcard(mask)) {
    const QFileInfo info(path);
    if (info.exists() && (folders_too || !info.isDir())) found.append(path);
    return found;
  }
  QDir dir(folder);
  const QFileInfoList entries = dir.entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& e : entries)
    if ((folders_too || !e.isDir()) && MatchesPattern(e.fileName(), mask)) found.append(e.absoluteFilePath());
  return found;
}

namespace {
// A name as messages show it: relative to the folder when it lies in it.
QString Shown(const QString& folder, const QString& path) {
  const QString prefix = WithSlash(folder);
  return path.startsWith(prefix) ? path.mid(prefix.size()) : path;
}

// The target of a copy or rename of source by the output name.
QString TargetFor(const QString& source, const QString& output, bool several) {
  const QFileInfo out(output);
  if (out.isDir()) return QDir::cleanPath(output + "/" + QFileInfo(source).fileName());
  const QString mask = out.fileName();
  if (HasWildcard(mask))
    return QDir::cleanPath(out.path() + "/" + ApplyRenameMask(QFileInfo(source).fileName(), mask));
  return several ? QString() : output;  // several files into one name is refused
}

QString AttributeLetters(const QFileInfo& info) {
  QString s;
  s += ' ';  // this file system keeps no archive bit
  s += (info.permissions() & QFileDevice::WriteOwner) ? ' ' : 'R';
  s += info.fileName().startsWith('.') ? 'H' : ' ';
  s += (!info.isFile() && !info.isDir()) ? 'S' : ' ';
  return s;
}
}  // namespace

void CommandShell::ChangeDirectory(const QString& argument) {
  const QString arg = Unquote(argument.trimmed());
  if (arg.isEmpty()) {
    Echo("CD");
    Say("  " + current_);
    return;
  }
  Echo("CD " + arg);
  const QString target = Resolve(arg);
  const QFileInfo info(target);
  if (!info.isDir() || !QDir::setCurrent(target)) {
    Say("  Directory not found.");
    return;
  }
  current_ = QDir::cleanPath(target);
  AddToList(recent_dirs_, current_, kHistoryMax);
  emit DirectoryChanged();
}

void CommandShell::MakeDirectory(const QString& argument) {
  const QString name = Unquote(argument.trimmed());
  Echo("MD " + name);
  if (name.isEmpty()) {
    Say("MD - error, no directory name given.");
    return;
  }
  if (!QDir().mkdir(Resolve(name))) {
    Say("  Could not make " + name);
    if (!host_->CommandPageVisible()) host_->ShowError("Error, could not make " + name);
    return;
  }
  Say(name + " was made.");
}

void CommandShell::RemoveDirectory(const QString& argument) {
  const QString name = Unquote(argument.trimmed());
  Echo("RD " + name);
  if (name.isEmpty()) {
    Say("RD - error, no directory name given.");
    return;
  }
  const QString path = Resolve(name);
  if (!QFileInfo(path).isDir() || !QDir().rmdir(path)) {
    Say("  Could not remove " + name);
    if (!host_->CommandPageVisible()) host_->ShowError("Error, could not remove " + name);
    return;
  }
  Say(name + " was removed.");
}

void CommandShell::ChangeDrive(const QString& command) {
  Echo(command);
  Say("  There are no drive letters here: the file systems are folders of one tree.");
}

void CommandShell::Dir(const QString& argument) {
  const QString arg = Unquote(argument.trimmed());
  QString pattern;
  if (arg.isEmpty())
    pattern = WithSlash(current_) + "*.*";
  else if (QFileInfo(Resolve(arg)).isDir())
    pattern = (arg.endsWith('/') || arg.endsWith('\\') ? arg : arg + "/") + "*.*";
  else
    pattern = arg;
  Echo("Dir " + pattern);
  const QString path = Resolve(pattern);
  const QString folder = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1));
  const QStringList found = Matches(pattern, true);
  if (found.isEmpty()) {
    Say("  No files found.");
    return;
  }
  qint64 total = 0;
  int lines = 0;
  for (const QString& f : found) {
    const QFileInfo info(f);
    const QString size = info.isDir() ? QString("       <DIR>") : Grouped(info.size()).rightJustified(12);
    if (!info.isDir()) total += info.size();
    Say("    " + info.fileName().leftJustified(12) + "  " + size + "  " + AttributeLetters(info) + "  " +
        info.lastModified().toString("yyyy-MM-dd  HH:mm"));
    if (++lines % 10 == 0) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  const QStorageInfo storage(folder);
  Say("  " + Grouped(total) + " bytes in " + QString::number(found.size()) + " file(s).  " +
      Grouped(storage.bytesAvailable()) + " bytes free.");
}

void CommandShell::Delete(const QString& argument) {
  const QString arg = Unquote(argument.trimmed());
  Echo("Del " + arg);
  if (arg.isEmpty()) {
    Say("Del - error, no file name given.");
    return;
  }
  const QStringList found = Matches(arg, false);
  if (found.isEmpty()) {
    Say("  No files found.");
    return;
  }
  int count = 0;
  qint64 bytes = 0;
  for (const QString& f : found) {
    const qint64 size = QFileInfo(f).size();
    if (QFile::remove(f)) {
      Say("  " + Shown(current_, f) + " was deleted.");
      ++count;
      bytes += size;
    } else {
      Say("  Could not delete " + Shown(current_, f));
    }
  }
  Say("  " + QString::number(count) + " file(s) deleted.");
  Say("  " + Grouped(bytes) + " bytes freed.");
}

void CommandShell::Rename(const QString& argument) {
  const SplitCommand a = FirstWord(argument);
  const SplitCommand b = FirstWord(a.rest);
  const QString from = Unquote(a.word), to = Unquote(b.word);
  Echo("Ren " + argument.trimmed());
  if (from.isEmpty() || to.isEmpty()) {
    Say("Ren - error, must give input and output names.");
    return;
  }
  const QStringList found = Matches(from, true);
  if (found.isEmpty()) {
    Say("  No files found.");
    return;
  }
  QString output = Resolve(to);
  if (!to.contains('/') && !to.contains('\\') && !QFileInfo(output).isDir())
    output = QFileInfo(found.front()).path() + "/" +
             QFileInfo(output).fileName();  // a plain name stays in its folder
  int count = 0;
  for (const QString& f : found) {
    const QString target = TargetFor(f, output, found.size() > 1);
    // A rename never replaces a file that is there.
    if (target.isEmpty() || QFileInfo::exists(target) || !QDir().rename(f, target)) {
      Say("  Could not rename " + Shown(current_, f));
      continue;
    }
    Say("  Renamed " + Shown(current_, f) + " to " + Shown(current_, target));
    ++count;
  }
  Say("  " + QString::number(count) + " file(s) renamed.");
}

void CommandShell::Copy(const QString& argument) {
  const SplitCommand a = FirstWord(argument);
  const SplitCommand b = FirstWord(a.rest);
  const QString from = Unquote(a.word);
  const QString to = b.word.isEmpty() ? current_ : Unquote(b.word);
  Echo("Copy " + argument.trimmed());
  if (from.isEmpty()) {
    Say("Copy - error, must give an input name.");
    return;
  }
  const QStringList found = Matches(from, false);
  if (found.isEmpty()) {
    Say("  No files found.");
    return;
  }
  const QString output = Resolve(to);
  int count = 0;
  qint64 bytes = 0;
  for (const QString& f : found) {
    const QString target = TargetFor(f, output, found.size() > 1);
    const QFileInfo source(f);
    if (target.isEmpty() ||
        (QFileInfo::exists(target) && QFileInfo(target).canonicalFilePath() == source.canonicalFilePath())) {
      Say("  Could not copy " + Shown(current_, f));
      continue;
    }
    QFile in(f);
    QSaveFile out(target);
    bool ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
    bool cancelled = false;
    qint64 done = 0;
    const qint64 total = source.size();
    QByteArray chunk;
    while (ok) {
      chunk = in.read(1 << 16);
      if (chunk.isEmpty()) {
        ok = in.error() == QFileDevice::NoError;
        break;
      }
      ok = out.write(chunk) == chunk.size();
      done += chunk.size();
      if (host_->CopyProgress(f, done, total)) {
        cancelled = true;
        break;
      }
    }
    if (cancelled) {
      out.cancelWriting();
      Say("  Copy was cancelled.");
      break;
    }
    if (!ok || !out.commit()) {
      Say("  Could not copy " + Shown(current_, f));
      continue;
    }
    Say("  Copied " + Shown(current_, f) + " to " + Shown(current_, target));
    ++count;
    bytes += done;
  }
  Say("  " + QString::number(count) + " file(s) copied.");
  Say("  " + Grouped(bytes) + " bytes copied.");
}

void CommandShell::Attributes(const QString& argument) {
  Echo("Attrib " + argument.trimmed());
  QString set, clear, pattern;
  QString rest = argument.trimmed();
  bool bad = false;
  while (!rest.isEmpty()) {
    const SplitCommand w = FirstWord(rest);
    rest = w.rest;
    if (w.word.size() == 2 && (w.word[0] == '+' || w.word[0] == '-') &&
        QString("RHSA").contains(w.word[1].toUpper())) {
      (w.word[0] == '+' ? set : clear) += w.word[1].toUpper();
    } else if (pattern.isEmpty()) {
      pattern = Unquote(w.word);
    } else {
      bad = true;
    }
  }
  if (bad || pattern.isEmpty()) {
    Say("Attribute command error.");
    return;
  }
  const QStringList found = Matches(pattern, true);
  if (found.isEmpty()) {
    Say("  No files found.");
    return;
  }
  for (const QString& f : found) {
    const QFileInfo before(f);
    const QString old = AttributeLetters(before);
    if (set.isEmpty() && clear.isEmpty()) {
      Say("  " + old + "  " + Shown(current_, f));
      continue;
    }
    // Only read-only can change here: hidden is a leading "." of the name,
    // system and archive do not exist.
    bool ok = !QString(set + clear).contains(QRegularExpression("[HSA]"));
    if (ok) {
      QFileDevice::Permissions p = before.permissions();
      const QFileDevice::Permissions writes = QFileDevice::WriteOwner | QFileDevice::WriteUser |
                                              QFileDevice::WriteGroup | QFileDevice::WriteOther;
      if (set.contains('R')) p &= ~writes;
      if (clear.contains('R')) p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
      ok = QFile::setPermissions(f, p);
    }
    if (!ok) {
      Say("  Error changing attributes of " + Shown(current_, f));
      continue;
    }
    Say("  Attributes from '" + old + "' to '" + AttributeLetters(QFileInfo(f)) + "' on " +
        Shown(current_, f));
  }
}

void CommandShell::Find(const QString& argument) {
  const QString arg = Unquote(argument.trimmed());
  Echo("Find " + arg);
  QString folder = current_, mask = "*";
  if (QFileInfo(Resolve(arg)).isDir() && !arg.isEmpty()) {
    folder = Resolve(arg);
  } else {
    const QString resolved = Resolve(arg.isEmpty() ? QString("*") : arg);
    const qsizetype slash = resolved.lastIndexOf('/');
    folder = slash <= 0 ? QString("/") : resolved.left(slash);
    mask = resolved.mid(slash + 1);
  }
  int count = 0;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString f = it.next();
    if (!MatchesPattern(it.fileName(), mask)) continue;
    if (++count > kFindLimit) {
      Say("  More than " + QString::number(kFindLimit) + " found; the rest are not shown.");
      --count;
      break;
    }
    Say("  " + f);
    if (count % 10 == 0) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  Say(count == 0 ? QString("  No files found.") : "  " + QString::number(count) + " file(s) found.");
}

void CommandShell::SaveHistory(const QString& argument) {
  QString name = Unquote(argument.trimmed());
  Echo("Savehist " + name);
  if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) name += ".txt";
  QSaveFile out(Resolve(name));
  bool ok = !name.isEmpty() && out.open(QIODevice::WriteOnly);
  if (ok) {
    const QByteArray text = (output_.join("\n") + "\n").toLocal8Bit();
    ok = out.write(text) == text.size() && out.commit();
  }
  Say(ok ? "  History saved to " + name : "  Error saving to " + name);
}

bool CommandShell::TryBatch(const QString& word, const QString& rest) {
  QString name = Unquote(word);
  if (name.isEmpty()) return false;
  QString system = name;
  system.replace('\\', '/');
  const QString base = system.mid(system.lastIndexOf('/') + 1);
  if (!base.contains('.')) {
    name += ".sbt";
    system += ".sbt";
  } else if (!base.endsWith(".sbt", Qt::CaseInsensitive)) {
    return false;
  }
  QString path = Resolve(name);
  if (!QFileInfo(path).isFile()) {
    if (system.contains('/')) return false;
    path = QString::fromStdString(platform::ResolvePath((tools_ + system).toStdString()));
    if (!QFileInfo(path).isFile()) return false;
  }
  Echo(name + (rest.isEmpty() ? QString() : " " + rest));
  Prompt();  // the batch's lines follow on lines of their own
  RunBatch(path, rest);
  return true;
}

bool CommandShell::PerformBuiltIn(const QString& command) {
  QString c = TrimControls(command);
  if (c.startsWith('@')) c = TrimControls(c.mid(1));
  if (c.isEmpty()) return false;
  const QString head = c.left(3).toLower();
  const auto is = [&](const char* two) {
    return head == QString(two) + ' ' || head == QString(two) + '\\' || head == QString(two) + '.' ||
           head == QString(two) + '/';
  };
  if (is("cd")) {
    ChangeDirectory(head[2] == ' ' ? c.mid(3) : c.mid(2));
    return false;
  }
  if (is("md")) {
    MakeDirectory(head[2] == ' ' ? c.mid(3) : c.mid(2));
    return false;
  }
  if (is("rd")) {
    RemoveDirectory(head[2] == ' ' ? c.mid(3) : c.mid(2));
    return false;
  }
  if (c.size() == 2 && c[1] == ':') {
    ChangeDrive(c);
    return false;
  }
  const SplitCommand sc = FirstWord(c);
  const QString w = sc.word.toLower();
  const QString& rest = sc.rest;
  if (w == "chdir" || w == "cd")
    ChangeDirectory(rest);
  else if (w == "mkdir")
    MakeDirectory(rest);
  else if (w == "rmdir")
    RemoveDirectory(rest);
  else if (w == "dir")
    Dir(rest);
  else if (w == "del" || w == "erase" || w == "delete")
    Delete(rest);
  else if (w == "vdztune") {
    Echo(c);
    host_->OpenTune(Resolve(Unquote(rest)));
  } else if (w == "help") {
    Echo(c);
    host_->OpenHelp(Unquote(rest));
  } else if (w == "edit") {
    Echo(c);
    host_->OpenEditor(rest.isEmpty() ? QString() : Resolve(Unquote(rest)));
  } else if (w == "listedit") {
    Echo(c);
    host_->OpenListEditor(rest.isEmpty() ? QString() : Resolve(Unquote(rest)));
  } else if (w == "type" || w == "display") {
    Echo(c);
    const QString file = Resolve(Unquote(rest));
    const QFileInfo info(file);
    if (rest.isEmpty() || !info.isFile() || !info.isReadable() || !host_->ShowFile(file))
      Say("  Error displaying the file");
  } else if (w == "attr" || w == "attrib")
    Attributes(rest);
  else if (w == "ren" || w == "rename" || w == "move" || w == "rendir")
    Rename(rest);
  else if (w == "copy")
    Copy(rest);
  else if (w == "cls" || w == "clear")
    ClearOutput();
  else if (w == "find" || w == "ff" || w == "wh" || w == "filefind" || w == "whereis")
    Find(rest);
  else if (w == "exit") {
    Echo("Exit");
    host_->CloseMainWindow();
  } else if (w == "savehist")
    SaveHistory(rest);
  else if (w == "rem" || w == "echo")
    Echo(c);
  else
    return !TryBatch(sc.word, rest);
  return false;
}

bool CommandShell::MapToolCommand(QString& command) {
  const SplitCommand sc = FirstWord(command);
  QString word = Unquote(sc.word);
  word.replace('\\', '/');
  word = word.mid(word.lastIndexOf('/') + 1);
  const qsizetype dot = word.lastIndexOf('.');
  if (dot >= 0 && word.mid(dot).compare(".exe", Qt::CaseInsensitive) != 0) word = word.left(dot);
  const QString tool = ToolName(word.toLower());
  if (tool.isEmpty()) return false;
  QString program = ToolProgram(tool);
  if (!SameDirectory(current_, tools_)) {
    program = tools_ + program;
    if (program.contains(' ')) program = "\"" + program + "\"";
  }
  command =
      program + (sc.rest.isEmpty() ? QString() : " " + sc.rest) + " /#" + QString::number(report_handle_);
  if (batch_ || typed_) command += "/#";
  return true;
}

bool CommandShell::RunTyped(const QString& command) {
  typed_ = true;
  const bool started = RunCommand(QString(), command);
  typed_ = false;
  return started;
}

void CommandShell::ReapChildren() {
  for (auto it = children_.begin(); it != children_.end();) {
    int status = 0;
    const pid_t r = waitpid(*it, &status, WNOHANG);
    if (r == *it || (r < 0 && errno == ECHILD))
      it = children_.erase(it);
    else
      ++it;
  }
}

bool CommandShell::RunCommand(const QString& directory, const QString& command) {
  ++busy_;
  host_->SetBusyCursor(true);
  const QString saved = QDir::currentPath();
  bool started = false;
  try {
    ReapChildren();
    QString c = command;
    QString args = batch_args_;
    for (int n = 1; n <= 9; ++n) {
      const SplitCommand w = FirstWord(args);
      args = w.rest;
      c.replace("%" + QString::number(n), w.word);
    }
    c = TrimControls(c);
    if (host_->ShiftHeld()) c = "Rem " + c;
    if (!directory.isEmpty() && !SameDirectory(directory, current_)) {
      PerformBuiltIn("CD " + directory);
      Prompt();
    }
    QDir::setCurrent(current_);
    if (!batch_) AddHistory(c);
    if (PerformBuiltIn(c)) {
      Echo(c);
      QString line = c;
      const bool known = MapToolCommand(line);
      const pid_t pid = launcher_(SplitArguments(line));
      if (pid < 0) {
        Say("  Command not found.");
      } else {
        children_.push_back(pid);
        last_child_ = pid;
        started = known;
      }
    }
    Prompt();
  } catch (...) {
  }
  QDir::setCurrent(saved);
  host_->SetBusyCursor(false);
  --busy_;
  return started;
}

bool CommandShell::CopyData(uint32_t identifier, const QString& text) {
  if (identifier != platform::kReportDataText) return false;
  QString body = text;
  body.replace("\r\n", "\n");
  QStringList lines = body.split('\n');
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (qsizetype i = 0; i < lines.size(); ++i) Say(i == 0 ? "  " + lines[i] : lines[i]);
  Prompt();
  ++reports_;
  emit ReportArrived();
  return true;
}

void CommandShell::WaitForReport(pid_t child, BatchView* view) {
  const int before = reports_;
  using Clock = std::chrono::steady_clock;
  bool ended = false;
  Clock::time_point ended_at;
  while (reports_ == before) {
    if (view != nullptr && view->CancelRequested()) return;
    if (!ended) {
      int status = 0;
      const pid_t r = waitpid(child, &status, WNOHANG);
      if (r == child || (r < 0 && errno == ECHILD)) {
        ended = true;
        ended_at = Clock::now();
      }
    } else if (Clock::now() - ended_at > std::chrono::milliseconds(report_grace_ms_)) {
      return;  // the tool ended without a report: it will not come
    }
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    connect(this, &CommandShell::ReportArrived, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

void CommandShell::RunBatch(const QString& file, const QString& arguments) {
  if (batch_depth_ >= kBatchNesting) {
    Say("Error, batch files nested too deeply: " + file);
    return;
  }
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) {
    Say("Error, couldn't load " + file);
    host_->ShowError("Error, couldn't load " + file);
    return;
  }
  QString text = QString::fromLocal8Bit(in.readAll());
  text.replace("\r\n", "\n");
  const QStringList lines = text.split('\n');
  const QString saved_args = batch_args_;
  const bool saved_batch = batch_;
  const uint32_t saved_handle = report_handle_;
  ++batch_depth_;
  batch_args_ = arguments;
  std::unique_ptr<BatchView> view = host_->OpenBatchView(file, lines);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (TrimControls(lines[i]).isEmpty()) continue;
    if (view != nullptr && view->CancelRequested()) break;
    if (view != nullptr) view->SetCurrent(static_cast<int>(i));
    batch_ = true;
    const bool started = RunCommand(QString(), lines[i]);
    if (started) WaitForReport(last_child_, view.get());
    if (view != nullptr) view->SetCurrent(-1);
  }
  view.reset();
  --batch_depth_;
  batch_args_ = saved_args;
  batch_ = saved_batch;
  report_handle_ = saved_handle;
}

}  // namespace vidzoerw
