#include "RecentFiles.h"

#include "IniFile.h"
#include "ZLT_FileNames.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>

const QString TRecentFiles::Section = QStringLiteral("Recent");

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

// A menu entry's text: "&1 path", a long path shortened in the middle.
QString EntryText(int index, const QString& fileName)
{
    constexpr int MaxShown = 72;
    QString shown = QDir::toNativeSeparators(fileName);
    if (shown.size() > MaxShown)
        shown = shown.left(24) + QChar(0x2026) + shown.right(MaxShown - 25);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}
} // namespace

bool TRecentFiles::SameFile(const QString& a, const QString& b)
{
    if (Absolute(a) == Absolute(b))
        return true;
    const QString canonical = ZLT_FileNames::Canonical(a);
    return !canonical.isEmpty() && canonical == ZLT_FileNames::Canonical(b);
}

void TRecentFiles::Add(const QString& fileName)
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

void TRecentFiles::Remove(const QString& fileName)
{
    QStringList files = FFiles;
    files.removeIf([&](const QString& entry) { return SameFile(entry, fileName); });
    SetFiles(std::move(files));
}

void TRecentFiles::Load(const TIniFile& ini)
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

void TRecentFiles::Save(TIniFile& ini) const
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

void TRecentFiles::SetFiles(QStringList files)
{
    if (files.size() > MaxCount)
        files.resize(MaxCount);
    if (files == FFiles)
        return;
    FFiles = std::move(files);
    UpdateMenu();
}

void TRecentFiles::ShowInMenu(QMenu* menu, QAction* before, std::function<void(const QString&)> open)
{
    FMenu = menu;
    FBefore = before;
    FOpen = std::move(open);
    UpdateMenu();
}

void TRecentFiles::UpdateMenu()
{
    if (!FMenu)
        return;
    // An entry may be the one being picked: it leaves the menu now and is
    // deleted once its signal has returned.
    if (FSeparator)
        FEntries << FSeparator;
    for (QAction* action : std::as_const(FEntries)) {
        FMenu->removeAction(action);
        action->deleteLater();
    }
    FEntries.clear();
    FSeparator = nullptr;
    if (FFiles.isEmpty())
        return;
    for (int i = 0; i < FFiles.size(); ++i) {
        auto* action = new QAction(EntryText(i, FFiles[i]), FMenu);
        action->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        action->setStatusTip(QDir::toNativeSeparators(FFiles[i]));
        const QString file = FFiles[i];
        connect(action, &QAction::triggered, this, [this, file] {
            if (FOpen)
                FOpen(file);
        });
        FMenu->insertAction(FBefore, action);
        FEntries << action;
    }
    FSeparator = FMenu->insertSeparator(FBefore);
}
