#pragma once

#include "RecentList.h"

#include <QList>

#include <functional>

class QAction;
class QMenu;

// The recent catalogs (TRecentList) with their numbered entries in the File
// menu.
class TRecentFiles : public TRecentList
{
    Q_OBJECT

public:
    explicit TRecentFiles(QObject* parent = nullptr);

    // Shows the entries in menu before the entry before, followed by a
    // separator (nothing at all for an empty list); picking one calls open
    // with its file name.
    void ShowInMenu(QMenu* menu, QAction* before, std::function<void(const QString& fileName)> open);
    // The entries as they stand in the menu, without the separator.
    QList<QAction*> MenuEntries() const { return FEntries; }

private:
    void UpdateMenu();

    QMenu* FMenu = nullptr;
    QAction* FBefore = nullptr;
    std::function<void(const QString&)> FOpen;
    QList<QAction*> FEntries;
    QAction* FSeparator = nullptr;
};
