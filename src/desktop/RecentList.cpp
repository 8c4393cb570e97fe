#include "RecentList.h"

#include "IniFile.h"
#include "ZLT_FileNames.h"

#include <QFileInfo>

#include <algorithm>

const QString TRecentList::Section = QStringLiteral("Recent");

namespace {
QString KeyOf(int index)
{
    return QStringLiteral("File%1").arg(index + 1);
}

QString Absolute(const QString& fileName)
{
    return ZLT_FileNames::Absolute(fileName);
}

// What the settings file gives back unchanged: no line break, and no
// spaces at the ends, which its reader trims.
bool Storable(const QString& fileName)
{
    return !fileName.isEmpty() && !fileName.contains(QLatin1Char('\n')) &&
           !fileName.contains(QLatin1Char('\r')) && fileName.trimmed() == fileName;
}
} // namespace

bool TRecentList::SameFile(const QString& a, const QString& b)
{
    if (Absolute(a) == Absolute(b))
        return true;
    const QString canonical = ZLT_FileNames::Canonical(a);
    return !canonical.isEmpty() && canonical == ZLT_FileNames::Canonical(b);
}

void TRecentList::Add(const QString& fileName)
{
    if (!Storable(fileName))
        return;
    const QString file = Absolute(fileName);
    if (!Storable(file))
        return;
    QStringList files = FFiles;
    files.removeIf([&](const QString& entry) { return SameFile(entry, file); });
    files.prepend(file);
    SetFiles(std::move(files));
}

void TRecentList::Remove(const QString& fileName)
{
    QStringList files = FFiles;
    files.removeIf([&](const QString& entry) { return SameFile(entry, fileName); });
    SetFiles(std::move(files));
}

void TRecentList::Load(const TIniFile& ini)
{
    QStringList files;
    for (int i = 0; i < MaxCount; ++i) {
        QString file = ini.ReadString(Section, KeyOf(i), QString());
        if (file.startsWith(QLatin1String("file:")))
            file = ZLT_FileNames::FromUrl(file.toLatin1());
        if (!Storable(file) || !QFileInfo(file).isAbsolute())
            continue;
        if (std::none_of(files.cbegin(), files.cend(), [&](const QString& f) { return SameFile(f, file); }))
            files << file;
    }
    SetFiles(std::move(files));
}

void TRecentList::Save(TIniFile& ini) const
{
    ini.EraseSection(Section);
    // A name the file's encoding cannot hold is left out, rather than
    // rewrite the whole file in another encoding.
    int stored = 0;
    for (const QString& file : FFiles) {
        // A name that is not UTF-8 is kept as a file: URL of its bytes.
        const QString entry =
            ZLT_FileNames::HasForeignBytes(file) ? QString::fromLatin1(ZLT_FileNames::ToUrl(file)) : file;
        if (ini.CanHold(entry))
            ini.WriteString(Section, KeyOf(stored++), entry);
    }
}

void TRecentList::SetFiles(QStringList files)
{
    if (files.size() > MaxCount)
        files.resize(MaxCount);
    if (files == FFiles)
        return;
    FFiles = std::move(files);
    emit Changed();
}
