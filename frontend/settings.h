// Where the front end keeps its settings, and what it reads of its own
// command line.
#pragma once

#include <QString>
#include <QStringList>

#include "frontend/ini_file.h"

namespace vidzoerw {

// $XDG_CONFIG_HOME/vidzoer/Vidzoer.INI (default ~/.config/vidzoer/).
QString DefaultSettingsFile();

struct StartOptions {
  QStringList batches;  // ".sbt" files to run at start
  QString settings;     // the settings file to use
};

// Each ".sbt" parameter is a batch file to run; the first other parameter
// names another settings file (".INI" added when it has no extension), used
// only when it holds "CurrentTab" in "VidzoMain".
StartOptions ParseStartArguments(const QStringList& arguments);

class CommandShell;

// The shell's part of the settings: current and tools directories and the
// three recent lists.
void LoadShellSettings(const IniFile& ini, CommandShell& shell, const QString& own_directory);
void SaveShellSettings(IniFile& ini, const CommandShell& shell);

}  // namespace vidzoerw
