#include "frontend/settings.h"

#include <QDir>
#include <QFileInfo>

#include "frontend/shell.h"

namespace vidzoerw {
namespace {

struct RecentList {
  const char* section;
  const char* prefix;
};
constexpr RecentList kCommands{"VidzoRecentCommands", "Recall"};
constexpr RecentList kFiles{"VidzoRecentFiles", "File"};
constexpr RecentList kDirs{"VidzoRecentDirs", "Dir"};

QStringList ReadList(const IniFile& ini, const RecentList& list) {
  QStringList items;
  for (int i = 0; i <= CommandShell::kHistoryMax; ++i) {
    const std::string key = list.prefix + std::to_string(i);
    const QString value = QString::fromStdString(ini.String(list.section, key));
    if (!value.trimmed().isEmpty()) items.append(value);
  }
  return items;
}

void WriteList(IniFile& ini, const RecentList& list, const QStringList& items) {
  ini.EraseSection(list.section);
  for (qsizetype i = 0; i < items.size(); ++i)
    ini.Set(list.section, list.prefix + std::to_string(i), items[i].toStdString());
}

}  // namespace

QString DefaultSettingsFile() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  return base + "/vidzoer/Vidzoer.INI";
}

StartOptions ParseStartArguments(const QStringList& arguments) {
  StartOptions options;
  options.settings = DefaultSettingsFile();
  bool named = false;
  for (const QString& a : arguments) {
    if (QFileInfo(a).suffix().compare("sbt", Qt::CaseInsensitive) == 0) {
      options.batches.append(QFileInfo(a).absoluteFilePath());
      continue;
    }
    if (named) continue;
    named = true;
    QString file = a;
    if (QFileInfo(file).suffix().isEmpty()) file += ".INI";
    // A bare name not found here is looked for beside the default settings.
    if (!file.contains('/') && !QFileInfo::exists(file))
      file = QFileInfo(DefaultSettingsFile()).absolutePath() + "/" + file;
    // The file must hold "CurrentTab" in "VidzoMain" (read as a profile
    // integer with the default 8888: a value that is no number reads 0).
    IniFile ini;
    if (ini.Load(file.toStdString()) && ini.Value("VidzoMain", "CurrentTab") &&
        ini.Int("VidzoMain", "CurrentTab", 0) != 8888)
      options.settings = QFileInfo(file).absoluteFilePath();
  }
  return options;
}

void LoadShellSettings(const IniFile& ini, CommandShell& shell, const QString& own_directory) {
  const QString tools = QString::fromStdString(ini.String("VidzoMain", "Directory"));
  shell.SetToolsDirectory(tools.trimmed().isEmpty() ? own_directory : tools);
  const QString current = QString::fromStdString(ini.String("VidzoCommand", "Directory"));
  if (!shell.SetCurrentDirectory(current)) shell.SetCurrentDirectory(QDir::currentPath());
  shell.SetHistory(ReadList(ini, kCommands));
  shell.SetRecentFiles(ReadList(ini, kFiles));
  shell.SetRecentDirs(ReadList(ini, kDirs));
}

void SaveShellSettings(IniFile& ini, const CommandShell& shell) {
  ini.Set("VidzoMain", "Directory", shell.ToolsDirectory().toStdString());
  ini.Set("VidzoCommand", "Directory", shell.CurrentDirectory().toStdString());
  WriteList(ini, kCommands, shell.History());
  WriteList(ini, kFiles, shell.RecentFiles());
  WriteList(ini, kDirs, shell.RecentDirs());
}

}  // namespace vidzoerw
