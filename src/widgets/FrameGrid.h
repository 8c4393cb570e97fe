#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPoint>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

class QMenu;
class TFrameGrid;

// One row of 32767 slots. Cells carry no data: the grid draws them itself.
// The column labels are the slot numbers plus one.
class TFrameGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int SlotCount = 32767;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
};

// The label row above the thumbnails: button-face cells with the label 2
// pixels in from the top-left. Presses, drags and drops on it count as on
// the grid; it never moves, resizes or selects columns itself.
class TFrameHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit TFrameHeader(TFrameGrid* grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPoint ToGridViewport(const QPoint& pos) const;
    TFrameGrid* FGrid;
};

// Paints each thumbnail cell through the grid's DrawCell.
class TFrameCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TFrameCellDelegate(TFrameGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TFrameGrid* FGrid;
};

// The frame grid of a catalog window: a view over TFrameGridModel with
// square thumbnail cells, a 20-pixel label row, column-wise scrolling that
// lets even the last column stand leftmost, range selection within the
// thumbnail row and a frame drag that starts after 8 pixels.
//
// Positions handed to the window are in the viewport's coordinates; the
// label row lies above the viewport, at negative y.
class TFrameGrid : public QTableView
{
    Q_OBJECT

public:
    static constexpr int HeaderHeight = 20;
    static constexpr int DragThreshold = 8;
    static const QString MimeType;

    explicit TFrameGrid(QWidget* parent = nullptr);

    // Called back by the grid; set by the window.
    std::function<void(QPainter& painter, int column, const QRect& cell, bool selected)> DrawCell;
    // Before a paint, with the columns it will draw.
    std::function<void(int firstColumn, int lastColumn)> PrepareCells;
    // A press of exactly the left button without Shift, Ctrl or Alt that is
    // not the second press of a double click, after the grid handled it.
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool doubleClick,
                       const QPoint& pos)>
        PlainLeftPress;
    std::function<bool(QObject* source)> AcceptsDrag;
    std::function<void(QObject* source, const QPoint& pos)> Drop;
    QMenu* ContextMenu = nullptr;

    // Side of a thumbnail cell; each column is one pixel wider for its grid line.
    int CellSize() const { return FCellSize; }
    void SetCellSize(int side);
    // Height taken by the frame and the horizontal scroll bar.
    int FrameOverhead() const;

    int LeftmostColumn() const;
    void SetLeftmostColumn(int column);

    // The column under a point in viewport coordinates, label row included;
    // -1 beside the cells.
    int ColumnAt(const QPoint& pos) const;

    // Tests replace the platform drag, which cannot run without a display.
    static inline std::function<void(TFrameGrid& grid)> StartDragHook;

protected:
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TFrameHeader;

    // Press bookkeeping shared with the label row.
    bool IsSecondPressOfDoubleClick(const QMouseEvent* event);
    void AfterPress(const QMouseEvent* event, const QPoint& viewportPos, bool secondPress);
    bool DragMove(const QMouseEvent* event);
    void StartDrag();
    void SyncOffset();
    void HandleDragMove(QDropEvent* event);
    void HandleDrop(QDropEvent* event, const QPoint& viewportPos);
    void ShowContextMenu(const QPoint& globalPos);

    TFrameGridModel FModel;
    int FCellSize = 0;
    bool FDragArmed = false;
    QPointF FDragStart; // global
    bool FSkippedPress = false;
    bool FInDoubleClick = false;
    bool FLastPressValid = false;
    Qt::MouseButton FLastPressButton = Qt::NoButton;
    ulong FLastPressTime = 0;
    QPointF FLastPressPos; // global
};
