#pragma once

#include "History.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QCache>
#include <QImage>
#include <QMdiSubWindow>
#include <QPoint>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPainter;
class QSpinBox;
class QTableView;
class TFrameGrid;

// A catalog window: owns one catalog and its palette and shows every slot
// as a thumbnail in a one-row grid. Its title is the catalog's file name.
class TMDIChild : public QMdiSubWindow
{
    Q_OBJECT

public:
    explicit TMDIChild(QWidget* parent = nullptr); // runs FormCreate
    ~TMDIChild() override;

    TZLT_Pal Pal;
    bool Modified = true;
    TZLT_Cat Cat;
    THistory History{Cat.Frames, Modified}; // every change of Cat's slots, for Undo and Redo

    // Components.
    QTableView* Grid = nullptr;
    QWidget* Bevel = nullptr;
    QLabel* Label1 = nullptr;
    QSpinBox* SpinEdit = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboBoxPal = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* DeleteAction = nullptr;
    QAction* NextUsedFrameAction = nullptr;
    QAction* LastUsedFrameAction = nullptr;
    QAction* SavePicAction = nullptr;
    QAction* LoadPicAction = nullptr;
    QAction* SaveIldaAction = nullptr;
    QAction* LoadIldaAction = nullptr;

    // The selected slots: from SelStart() to SelEnd(), always at least one.
    int SelStart() const;
    int SelEnd() const;
    void SelectSlots(int first, int last);

    // The slot shown in the leftmost visible column.
    int LeftmostSlot() const;
    void SetLeftmostSlot(int slot);

    // Side of a thumbnail cell in pixels.
    int CellSize() const;

    // Repaints every visible cell after the catalog changed.
    void RepaintGrid();
    // RepaintGrid, then SlotsChanged: after every change of the slots.
    void CatalogChanged();

    // Frame operations. A null list stands for "no list yet". Each change
    // of the slots is one step of History, named by step; an operation
    // added later that changes slots must make its change through
    // ChangeSlots too, so that Undo can revert it.
    void CopySelection(std::unique_ptr<TZLT_FrameList>& list) const;
    void PasteFrames(const TZLT_FrameList* list, int slot, const TTextRow& step = StepNames::Paste);
    void DropFrames(const TZLT_FrameList* list, int x, int y);
    // Runs change, which makes its edits through History, as one step.
    void ChangeSlots(const TTextRow& step, int slot, const std::function<void()>& change);
    void EmptySelectedSlots(const TTextRow& step); // Cut and Delete
    // Undo and Redo of one step; the changed slots become the selection.
    void UndoStep();
    void RedoStep();
    void ExportPics(const QString& directory);
    void ImportPics(const QString& directory);

    void ApplyLanguage();

    // Command and event handlers.
    void DeleteActionExecute();
    void NextUsedFrameActionExecute();
    void LastUsedFrameActionExecute();
    void SavePicActionExecute();
    void LoadPicActionExecute();
    void SaveIldaActionExecute();
    void LoadIldaActionExecute();
    void ComboBoxPalChange(int index);
    void SpinEditChange(const QString& text);

    // The grid's mouse and drag events. GridMouseDown runs after the grid
    // has handled a plain left press (selection already updated);
    // GridDragOver says whether a drag from source is accepted; GridDragDrop
    // runs for an accepted drop at pos in the grid's viewport coordinates.
    void GridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, bool doubleClick,
                       const QPoint& pos);
    bool GridDragOver(QObject* source) const;
    void GridDragDrop(QObject* source, const QPoint& pos);

    // The slot of the column under a point in the grid's viewport
    // coordinates (header row included), or -1 when no cell lies there.
    int SlotAt(const QPoint& pos) const;

    // The close question; true when the window may close.
    bool FormCloseQuery();

signals:
    // After every change of the slots: each step, undo and redo, a load.
    void SlotsChanged();
    // The selected slots changed.
    void SelectionChanged();
    // Pal holds other colours.
    void PaletteChanged();

protected:
    void closeEvent(QCloseEvent* event) override;   // FormCloseQuery, then FormClose
    void resizeEvent(QResizeEvent* event) override; // FormResize

private:
    void FormCreate();
    void FormResize();
    void FormClose();

    void CreateActions();
    void ShowChangedSlots(TSlotRange range);
    void FillPaletteList();
    void PlaceLabels();
    void GridDrawCell(QPainter& painter, int column, const QRect& cell, bool selected);
    QImage Thumbnail(int slot, const TZLT_Frame& frame, const QRect& cell);
    const QImage* KeptThumbnail(int slot, const TZLT_Frame& frame, QSize cell);
    void KeepThumbnail(int slot, const TZLT_Frame& frame, const QImage& image);
    void PrepareThumbnails(int firstColumn, int lastColumn);
    void DropThumbnails();
    bool AskToClose();
    void AgreeToClose();
    void ExpireCloseAgreement(int delayMs);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // A drawn thumbnail and what it was drawn from.
    struct TThumb
    {
        QImage Image;
        const TZLT_Frame* Frame;
        int Count;
        quint64 Signature;
    };

    QWidget* FClient = nullptr;
    TFrameGrid* FGrid = nullptr;
    QFrame* Bevel1 = nullptr;
    QCache<int, TThumb> FThumbs;
    QString FGotoText; // the goto field's text last acted on
    bool FCloseAgreed = false;
    int FCloseAgreedLevel = 0;
};
