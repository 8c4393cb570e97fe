#include "ZLT_PicFolder.h"

#include "ZLT_FileNames.h"

#include <QCollator>
#include <QDir>
#include <QLocale>

#include <algorithm>

namespace ZLT_PicFolder {

QString FileName(int slot)
{
    return QString::asprintf("%05u.pic", unsigned(slot));
}

QString Join(const QString& folder, const QString& name)
{
    if (folder.endsWith(QDir::separator()) || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QDir::separator() + name;
}

QStringList PicFiles(const QString& folder)
{
    // Matching the suffix here is cheaper than a name filter. Listed through
    // the names' bytes: Qt's own listing leaves out names that are not UTF-8.
    QStringList names = ZLT_FileNames::FilesIn(folder);
    names.removeIf(
        [](const QString& name) { return !name.endsWith(QLatin1String(".pic"), Qt::CaseInsensitive); });
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b; // a fixed order for names that differ only in case
    });
    return names;
}

} // namespace ZLT_PicFolder
