#pragma once

#include <QString>

// Where the settings file lives. A copy of the program run from a folder of
// its own (a build, or one unpacked anywhere) keeps Trevasc.ini beside its
// executable; an installed program keeps it in the user's configuration
// folder (QStandardPaths::AppConfigLocation, e.g. ~/.config/Trevasc).
namespace SettingsLocation {

// The settings file, decided on every call:
// - the program's folder when a Trevasc.ini is already there, or when the
//   folder is writable and is not the one the program is installed into;
// - otherwise Trevasc.ini in the per-user configuration folder, which need
//   not exist yet (the settings file creates it when it is first written).
QString IniFileName();

// The executable's folder; tests point it at a folder of their own.
QString ProgramFolder();
inline QString ProgramFolderOverride;

// The folders `cmake --install` and the Debian package put the program in:
// never used for settings unless a Trevasc.ini is already there, so an
// administrator's run does not leave a file among the system's programs.
QStringList InstallFolders();

// The per-user configuration folder.
QString UserFolder();

// Creates the settings file's folder when it is missing (the per-user
// folder before the first write); raises EZLT_File naming the folder and
// the reason when that fails.
void CreateFolderFor(const QString& iniFileName);

} // namespace SettingsLocation
