#pragma once

#include <QObject>

class QMdiArea;
class QMdiSubWindow;
class QRect;

// Keeps the catalog windows inside the multiple-document area: when the
// area shrinks (a pane docked beside it, a smaller main window), a window
// that would reach past its right or bottom edge moves back in, and is
// narrowed or lowered only when it is larger than the area. Maximised and
// minimised windows are left to the area itself.
class TKeepInArea : public QObject
{
    Q_OBJECT

public:
    explicit TKeepInArea(QMdiArea* area);

    // Moves window, and if need be shrinks it, into area along the
    // directions asked for.
    static void Fit(QMdiSubWindow* window, const QRect& area, Qt::Orientations directions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiArea* FArea;
};
