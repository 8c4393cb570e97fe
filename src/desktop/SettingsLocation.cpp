#include "SettingsLocation.h"

#include "ZLT_Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace {
const QString IniName = QStringLiteral("Trevasc.ini");

bool SameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b) ||
           (!QDir(a).canonicalPath().isEmpty() && QDir(a).canonicalPath() == QDir(b).canonicalPath());
}

// Whether this user may create files in the folder (as the system sees it:
// a read-only mount or missing folder counts as not writable).
bool WritableFolder(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}
} // namespace

namespace SettingsLocation {

QString ProgramFolder()
{
    return ProgramFolderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : ProgramFolderOverride;
}

QStringList InstallFolders()
{
    return {QStringLiteral(TREVASC_INSTALL_BINDIR), QStringLiteral(TREVASC_PACKAGE_BINDIR)};
}

QString UserFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString IniFileName()
{
    const QString folder = ProgramFolder();
    const QString beside = folder + QLatin1Char('/') + IniName;
    if (QFile::exists(beside))
        return beside;
    if (WritableFolder(folder)) {
        const QStringList installed = InstallFolders();
        const bool isInstalled = std::any_of(installed.cbegin(), installed.cend(),
                                             [&](const QString& f) { return SameFolder(folder, f); });
        if (!isInstalled)
            return beside;
    }
    return UserFolder() + QLatin1Char('/') + IniName;
}

void CreateFolderFor(const QString& iniFileName)
{
    const QString folder = QFileInfo(iniFileName).absolutePath();
    if (QFileInfo(folder).isDir())
        return;
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        throw EZLT_File(EZLT_File::TAction::CreateFolder, folder,
                        error.category() == std::generic_category() || error.category() == std::system_category()
                            ? error.value()
                            : 0);
}

} // namespace SettingsLocation
