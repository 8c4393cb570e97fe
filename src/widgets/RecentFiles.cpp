#include "RecentFiles.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace {
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

TRecentFiles::TRecentFiles(QObject* parent) : TRecentList(parent)
{
    connect(this, &TRecentList::Changed, this, &TRecentFiles::UpdateMenu);
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
    const QStringList& files = Files();
    if (files.isEmpty())
        return;
    for (int i = 0; i < files.size(); ++i) {
        auto* action = new QAction(EntryText(i, files[i]), FMenu);
        action->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        action->setStatusTip(QDir::toNativeSeparators(files[i]));
        const QString file = files[i];
        connect(action, &QAction::triggered, this, [this, file] {
            if (FOpen)
                FOpen(file);
        });
        FMenu->insertAction(FBefore, action);
        FEntries << action;
    }
    FSeparator = FMenu->insertSeparator(FBefore);
}
