#include "FrameGrid.h"

#include <QDrag>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

const QString TFrameGrid::MimeType = QStringLiteral("application/x-trevasc-frames");

// --- model ----------------------------------------------------------------

int TFrameGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

int TFrameGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : SlotCount;
}

QVariant TFrameGridModel::data(const QModelIndex&, int) const
{
    return QVariant();
}

QVariant TFrameGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < SlotCount)
        return QString::number(section + 1);
    return QVariant();
}

Qt::ItemFlags TFrameGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// --- label row ------------------------------------------------------------

TFrameHeader::TFrameHeader(TFrameGrid* grid) : QHeaderView(Qt::Horizontal, grid), FGrid(grid)
{
    setSectionsMovable(false);
    setSectionsClickable(false);
    setHighlightSections(false);
    setMinimumSectionSize(1);
    setSectionResizeMode(QHeaderView::Fixed);
    setFixedHeight(TFrameGrid::HeaderHeight);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Beyond the last label the grid's black background shows.
    viewport()->setBackgroundRole(QPalette::Base);
}

void TFrameHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    const QPalette& pal = palette();
    painter->fillRect(rect, pal.color(QPalette::Active, QPalette::Button));
    painter->setPen(pal.color(QPalette::Active, QPalette::Dark));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->setPen(pal.color(QPalette::Active, QPalette::ButtonText));
    const QString label = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    painter->drawText(rect.adjusted(2, 2, -1, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label);
}

QPoint TFrameHeader::ToGridViewport(const QPoint& pos) const
{
    return FGrid->viewport()->mapFrom(FGrid, viewport()->mapTo(FGrid, pos));
}

void TFrameHeader::mousePressEvent(QMouseEvent* event)
{
    // The selection stays; the press only focuses the grid and may arm a drag.
    const bool second = FGrid->IsSecondPressOfDoubleClick(event);
    FGrid->setFocus(Qt::MouseFocusReason);
    event->accept();
    FGrid->AfterPress(event, ToGridViewport(event->position().toPoint()), second);
}

void TFrameHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (FGrid->DragMove(event))
        return;
    if (event->buttons() == Qt::NoButton)
        QHeaderView::mouseMoveEvent(event);
}

void TFrameHeader::mouseReleaseEvent(QMouseEvent* event)
{
    FGrid->FDragArmed = false;
    event->accept();
}

void TFrameHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    FGrid->FDragArmed = false;
    event->accept();
}

void TFrameHeader::contextMenuEvent(QContextMenuEvent* event)
{
    FGrid->ShowContextMenu(event->globalPos());
    event->accept();
}

void TFrameHeader::dragEnterEvent(QDragEnterEvent* event)
{
    FGrid->HandleDragMove(event);
}

void TFrameHeader::dragMoveEvent(QDragMoveEvent* event)
{
    FGrid->HandleDragMove(event);
}

void TFrameHeader::dropEvent(QDropEvent* event)
{
    FGrid->HandleDrop(event, ToGridViewport(event->position().toPoint()));
}

// --- cells ----------------------------------------------------------------

TFrameCellDelegate::TFrameCellDelegate(TFrameGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

void TFrameCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    if (FGrid->DrawCell)
        FGrid->DrawCell(*painter, index.column(), option.rect, option.state.testFlag(QStyle::State_Selected));
}

// --- grid -----------------------------------------------------------------

TFrameGrid::TFrameGrid(QWidget* parent) : QTableView(parent), FModel(this)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::black);
    setPalette(pal);

    setHorizontalHeader(new TFrameHeader(this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setItemDelegate(new TFrameCellDelegate(this));

    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(true);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setWordWrap(false);

    // All columns share one size, so the header never walks 32767 sections
    // one by one when the size changes.
    SetCellSize(68);
    setModel(&FModel);
    SetLeftmostColumn(0);
}

int TFrameGrid::FrameOverhead() const
{
    int overhead = 2 * frameWidth() + horizontalScrollBar()->sizeHint().height();
    QStyleOption opt;
    opt.initFrom(this);
    if (style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, &opt, this))
        overhead += style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, &opt, this);
    return overhead;
}

void TFrameGrid::SetCellSize(int side)
{
    side = std::max(side, 1);
    if (side == FCellSize)
        return;
    const int leftmost = LeftmostColumn();
    FCellSize = side;
    // One more pixel per section for the grid line, so the cell itself is side x side.
    horizontalHeader()->setDefaultSectionSize(side + 1);
    verticalHeader()->setDefaultSectionSize(side + 1);
    SetLeftmostColumn(leftmost);
}

int TFrameGrid::LeftmostColumn() const
{
    return horizontalScrollBar()->value();
}

void TFrameGrid::SetLeftmostColumn(int column)
{
    const int last = FModel.columnCount() - 1;
    column = std::clamp(column, 0, last);
    QScrollBar* bar = horizontalScrollBar();
    if (bar->maximum() != last)
        bar->setRange(0, last);
    bar->setValue(column);
    SyncOffset();
}

// The scroll bar's value is the leftmost column, up to the last one; the
// base view would right-align the last column at the maximum instead.
void TFrameGrid::SyncOffset()
{
    if (!model())
        return;
    const int value = horizontalScrollBar()->value();
    if (value < 0 || value >= model()->columnCount())
        return;
    const int wanted = horizontalHeader()->sectionPosition(value);
    if (horizontalHeader()->offset() != wanted) {
        horizontalHeader()->setOffset(wanted);
        viewport()->update();
    }
}

void TFrameGrid::updateGeometries()
{
    QScrollBar* bar = horizontalScrollBar();
    const QSignalBlocker blocker(bar);
    const int value = bar->value();
    QTableView::updateGeometries();
    const int last = model() ? std::max(model()->columnCount() - 1, 0) : 0;
    bar->setRange(0, last);
    bar->setValue(value);
    SyncOffset();
}

void TFrameGrid::paintEvent(QPaintEvent* event)
{
    if (PrepareCells) {
        const QRect area = event->rect();
        const int first = columnAt(area.left());
        int last = columnAt(area.right());
        if (last < 0)
            last = model()->columnCount() - 1;
        if (first >= 0)
            PrepareCells(first, last);
    }
    QTableView::paintEvent(event);
}

void TFrameGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (dx != 0)
        SyncOffset();
}

int TFrameGrid::ColumnAt(const QPoint& pos) const
{
    if (pos.x() < 0 || pos.x() >= viewport()->width())
        return -1;
    if (pos.y() < -horizontalHeader()->height() || pos.y() >= viewport()->height())
        return -1;
    return columnAt(pos.x());
}

bool TFrameGrid::IsSecondPressOfDoubleClick(const QMouseEvent* event)
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    const QPointF pos = event->globalPosition();
    const ulong time = event->timestamp();
    const double distance = hints->mouseDoubleClickDistance();
    // Events without a time stamp cannot tell; they count as single presses.
    const bool second = FLastPressValid && time != 0 && event->button() == FLastPressButton &&
                        time - FLastPressTime < ulong(hints->mouseDoubleClickInterval()) &&
                        std::abs(pos.x() - FLastPressPos.x()) <= distance &&
                        std::abs(pos.y() - FLastPressPos.y()) <= distance;
    // A third press starts anew, as the platform counts it.
    FLastPressValid = !second;
    FLastPressButton = event->button();
    FLastPressTime = time;
    FLastPressPos = pos;
    return second;
}

void TFrameGrid::AfterPress(const QMouseEvent* event, const QPoint& viewportPos, bool secondPress)
{
    FDragArmed = false;
    const Qt::KeyboardModifiers keys =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton ||
        (event->modifiers() & keys) || secondPress)
        return;
    if (PlainLeftPress)
        PlainLeftPress(event->button(), event->modifiers(), false, viewportPos);
    FDragArmed = true;
    FDragStart = event->globalPosition();
}

bool TFrameGrid::DragMove(const QMouseEvent* event)
{
    if (!FDragArmed)
        return false;
    if (!(event->buttons() & Qt::LeftButton)) {
        FDragArmed = false;
        return false;
    }
    const QPointF moved = event->globalPosition() - FDragStart;
    if (std::max(std::abs(moved.x()), std::abs(moved.y())) >= DragThreshold) {
        FDragArmed = false;
        StartDrag();
    }
    return true;
}

void TFrameGrid::StartDrag()
{
    if (StartDragHook) {
        StartDragHook(*this);
    } else {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(MimeType, QByteArray());
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
    // The release went to the drag, not to the view.
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
}

void TFrameGrid::mousePressEvent(QMouseEvent* event)
{
    if (FInDoubleClick) {
        QTableView::mousePressEvent(event);
        return;
    }
    const bool second = IsSecondPressOfDoubleClick(event);
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    // Only the left button on a cell selects; other presses keep the selection.
    FSkippedPress = event->button() != Qt::LeftButton || !index.isValid();
    if (FSkippedPress) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
    } else {
        QTableView::mousePressEvent(event);
        // The pressed cell becomes the whole selection at once, also when it
        // lay inside a selected range.
        if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) && selectionModel())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    AfterPress(event, pos, second);
}

void TFrameGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (DragMove(event))
        return;
    if (FSkippedPress && event->buttons() != Qt::NoButton)
        return;
    QTableView::mouseMoveEvent(event);
}

void TFrameGrid::mouseReleaseEvent(QMouseEvent* event)
{
    FDragArmed = false;
    if (FSkippedPress) {
        FSkippedPress = false;
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void TFrameGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    FDragArmed = false;
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        FInDoubleClick = true;
        QTableView::mouseDoubleClickEvent(event);
        FInDoubleClick = false;
    } else {
        event->accept();
    }
}

void TFrameGrid::wheelEvent(QWheelEvent* event)
{
    // The grid has one row: the wheel scrolls through the slots.
    QCoreApplication::sendEvent(horizontalScrollBar(), event);
}

void TFrameGrid::ShowContextMenu(const QPoint& globalPos)
{
    if (ContextMenu)
        ContextMenu->popup(globalPos);
}

void TFrameGrid::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(event->globalPos());
    event->accept();
}

void TFrameGrid::HandleDragMove(QDropEvent* event)
{
    if (AcceptsDrag && AcceptsDrag(event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TFrameGrid::HandleDrop(QDropEvent* event, const QPoint& viewportPos)
{
    if (!AcceptsDrag || !AcceptsDrag(event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (Drop)
        Drop(event->source(), viewportPos);
}

void TFrameGrid::dragEnterEvent(QDragEnterEvent* event)
{
    HandleDragMove(event);
}

void TFrameGrid::dragMoveEvent(QDragMoveEvent* event)
{
    HandleDragMove(event);
}

void TFrameGrid::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
}

void TFrameGrid::dropEvent(QDropEvent* event)
{
    HandleDrop(event, event->position().toPoint());
}
