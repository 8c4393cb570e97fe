#pragma once

#include "Language.h"

#include <QAction>

#include <array>
#include <cstddef>

// The texts of a window's actions, from the window's text table.

// Sets an action's hint "short|long": the short part is the tooltip, the
// long part the status-bar text; a hint without "|" serves as both.
void SetHint(QAction* action, const QString& hint);

// One action's row of a window's text table.
template<typename TWindow>
struct TActionText
{
    QAction* TWindow::*Action;
    TTextRow Caption;
    TTextRow Hint; // "short|long"; none when null
};

// Sets the caption and hint of every action of a window's table.
template<typename TWindow, std::size_t N>
void ApplyActionTexts(TWindow& window, const std::array<TActionText<TWindow>, N>& table)
{
    for (const TActionText<TWindow>& row : table) {
        QAction* action = window.*row.Action;
        action->setText(Tr(row.Caption));
        SetHint(action, row.Hint[0] ? Tr(row.Hint) : QString());
    }
}
