#include "KeepInArea.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QResizeEvent>

#include <algorithm>

namespace {
// The start and length of a span that lies inside [areaStart, areaEnd),
// moved back first and shortened only when it is longer than the area.
void FitSpan(int& start, int& length, int areaStart, int areaEnd)
{
    if (start + length <= areaEnd)
        return;
    length = std::min(length, areaEnd - areaStart);
    start = std::max(areaStart, areaEnd - length);
}
} // namespace

TKeepInArea::TKeepInArea(QMdiArea* area) : QObject(area), FArea(area)
{
    area->viewport()->installEventFilter(this);
}

void TKeepInArea::Fit(QMdiSubWindow* window, const QRect& area, Qt::Orientations directions)
{
    QRect frame = window->geometry();
    int x = frame.x(), width = frame.width(), y = frame.y(), height = frame.height();
    if (directions & Qt::Horizontal)
        FitSpan(x, width, area.left(), area.left() + area.width());
    if (directions & Qt::Vertical)
        FitSpan(y, height, area.top(), area.top() + area.height());
    // A window never gets smaller than it can be; it then keeps the left or top edge.
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    width = std::max(width, least.width());
    height = std::max(height, least.height());
    const QRect fitted(x, y, width, height);
    if (fitted != frame)
        window->setGeometry(fitted);
}

bool TKeepInArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == FArea->viewport()) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        const QSize before = resize->oldSize();
        const QSize now = resize->size();
        Qt::Orientations shrunk;
        if (before.isValid() && now.width() < before.width())
            shrunk |= Qt::Horizontal;
        if (before.isValid() && now.height() < before.height())
            shrunk |= Qt::Vertical;
        if (shrunk) {
            const QRect area(QPoint(0, 0), now);
            const auto windows = FArea->subWindowList();
            for (QMdiSubWindow* window : windows)
                if (!window->isHidden() && !window->isMinimized() && !window->isMaximized())
                    Fit(window, area, shrunk);
        }
    }
    return QObject::eventFilter(watched, event);
}
