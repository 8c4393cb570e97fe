#pragma once

#include <QString>

#include <array>

class QAction;

// What every window needs to speak the user's language: the choice itself
// lives in the main window's Language field (1 = Deutsch, any other value
// English); these read it, so a dialog need not know the main window.

// True while the program speaks German.
bool IsGerman();

// The column of a window's text table: 0 English, 1 German.
inline int TextColumn()
{
    return IsGerman() ? 1 : 0;
}

// One row of a text table: English, German.
using TTextRow = std::array<const char16_t*, 2>;

// The row's text in the current language.
inline QString Tr(const TTextRow& row)
{
    return QString::fromUtf16(row[size_t(TextColumn())]);
}

// Sets an action's hint "short|long": the short part is the tooltip, the
// long part the status-bar text; a hint without "|" serves as both.
void SetHint(QAction* action, const QString& hint);
