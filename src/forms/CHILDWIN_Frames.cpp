// The frame operations of a catalog window: copying out, placing with the
// overwrite-or-insert question, deleting, finding used frames, drag and
// drop, and the exchange with picture files.

#include "CHILDWIN.h"

#include "IldaCommands.h"
#include "Language.h"
#include "MAIN.h"
#include "Overwrite.h"
#include "Progress.h"
#include "ZLT_FileNames.h"
#include "ZLT_Files.h"
#include "ZLT_PicFolder.h"

#include <QFile>
#include <QTableView>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr int SlotCount = TZLT_Cat::SlotCount;
const QString PicFilter = QStringLiteral("ZLT PIC files (*.pic)|*.pic");
const QString PicExt = QStringLiteral("pic");

// Labels of the progress dialog: English, German.
enum ProgressTextId
{
    ExportingText,
    ImportingText
};
constexpr std::array<TTextRow, 2> ProgressTexts{{
    {u"Exporting PIC files ...", u"Exportiere PIC Dateien ..."},
    {u"Importing PIC files ...", u"Importiere PIC Dateien ..."},
}};

// Raises the frame list's own index error for a target past the last slot.
[[noreturn]] void FailTarget(const TZLT_FrameList& frames, qint64 target)
{
    if (target <= std::numeric_limits<int>::max())
        (void)frames.GetFrame(int(target));
    throw EZLT_Index(target, frames.Count());
}

// Places clones of source's frames into the slots from first on, asking
// before each used target until an All answer. Once Insert All is given,
// the remaining frames land at consecutive slots, so they go in as one
// block; only those that still fit are cloned, as the ones pushed past the
// last slot would leave at once. Every change goes through the history.
void PlaceFrames(THistory& history, const TZLT_FrameList& frames, const TZLT_FrameList& source, int first)
{
    const int count = source.Count();
    int answer = TOverwriteBox::Overwrite;
    bool asking = true;
    for (int i = 0; i < count; ++i) {
        const qint64 target = qint64(first) + i;
        if (target >= frames.Count())
            FailTarget(frames, target);
        const int t = int(target);

        if (asking && frames.GetFrame(t).Used())
            answer = OverwriteBox->exec();

        if (answer == TOverwriteBox::Overwrite || answer == TOverwriteBox::OverwriteAll) {
            if (answer == TOverwriteBox::OverwriteAll) {
                asking = false;
                answer = TOverwriteBox::Overwrite;
            }
            history.Overwrite(t, source.GetFrame(i).Clone());
        } else if (answer == TOverwriteBox::InsertAll) {
            const int fitting = std::min(count - i, SlotCount - t);
            std::vector<std::unique_ptr<TZLT_Frame>> block;
            block.reserve(fitting);
            for (int j = 0; j < fitting; ++j)
                block.push_back(source.GetFrame(i + j).Clone());
            history.Insert(t, std::move(block));
            if (fitting < count - i)
                FailTarget(frames, qint64(t) + fitting);
            return;
        } else if (answer == TOverwriteBox::Insert) {
            std::vector<std::unique_ptr<TZLT_Frame>> one;
            one.push_back(source.GetFrame(i).Clone());
            history.Insert(t, std::move(one));
        }
        // Any other answer is Cancel: this frame is skipped.
    }
}

bool IsCatalogGrid(const QObject* source)
{
    for (const QObject* o = source; o != nullptr; o = o->parent()) {
        if (const auto* child = qobject_cast<const TMDIChild*>(o)) {
            const QTableView* grid = child->Grid;
            return grid != nullptr && (source == grid || source == grid->viewport());
        }
    }
    return false;
}

} // namespace

void TMDIChild::CopySelection(std::unique_ptr<TZLT_FrameList>& list) const
{
    const int first = SelStart();
    const int last = SelEnd();
    auto copy = std::make_unique<TZLT_FrameList>();
    for (int slot = first; slot <= last; ++slot)
        copy->Add(Cat.Frames.GetFrame(slot).Clone());
    list = std::move(copy);
}

// Every operation that changes the slots makes its change here, through the
// history, as one step that Undo reverts; any new one must do the same. A
// change that fails part-way keeps what it did as its step.
void TMDIChild::ChangeSlots(const TTextRow& step, int slot, const std::function<void()>& change)
{
    History.Begin(step, slot);
    try {
        change();
    } catch (...) {
        History.End();
        CatalogChanged(); // show what was done before the error
        throw;
    }
    History.End();
    CatalogChanged();
}

void TMDIChild::CatalogChanged()
{
    RepaintGrid();
    emit SlotsChanged();
}

void TMDIChild::PasteFrames(const TZLT_FrameList* list, int slot, const TTextRow& step)
{
    if (list == nullptr || slot < 0)
        return;
    ChangeSlots(step, slot, [&] { PlaceFrames(History, Cat.Frames, *list, slot); });
}

void TMDIChild::DropFrames(const TZLT_FrameList* list, int x, int y)
{
    PasteFrames(list, SlotAt(QPoint(x, y)), StepNames::Drop);
}

void TMDIChild::EmptySelectedSlots(const TTextRow& step)
{
    const int first = SelStart();
    const int last = SelEnd();
    ChangeSlots(step, first, [&] { History.Clear(first, last); });
}

void TMDIChild::DeleteActionExecute()
{
    EmptySelectedSlots(StepNames::Delete);
}

void TMDIChild::UndoStep()
{
    if (History.CanUndo())
        ShowChangedSlots(History.Undo());
}

void TMDIChild::RedoStep()
{
    if (History.CanRedo())
        ShowChangedSlots(History.Redo());
}

// Selects the slots; unless all were in view, the first becomes leftmost.
void TMDIChild::ShowChangedSlots(TSlotRange range)
{
    const int leftmost = LeftmostSlot(); // before the selection scrolls
    const int visible = std::max(1, Grid->viewport()->width() / (CellSize() + 1));
    SelectSlots(range.First, range.Last);
    if (range.First < leftmost || range.Last >= leftmost + visible)
        SetLeftmostSlot(range.First);
    CatalogChanged();
}

void TMDIChild::NextUsedFrameActionExecute()
{
    for (int slot = SelStart() + 2; slot < SlotCount; ++slot) {
        if (Cat.Frames.GetFrame(slot).Used()) {
            SetLeftmostSlot(slot - 1);
            return;
        }
    }
    SetLeftmostSlot(SlotCount - 1);
}

void TMDIChild::LastUsedFrameActionExecute()
{
    for (int slot = SlotCount - 1; slot >= 0; --slot) {
        if (Cat.Frames.GetFrame(slot).Used()) {
            SetLeftmostSlot(std::max(slot - 1, 0));
            return;
        }
    }
    SetLeftmostSlot(0);
}

void TMDIChild::GridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, bool doubleClick,
                              const QPoint& pos)
{
    Q_UNUSED(pos);
    const Qt::KeyboardModifiers keys = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (button != Qt::LeftButton || (shift & keys) || doubleClick)
        return;
    CopySelection(MainForm->DragFrames);
}

void TMDIChild::GridDragDrop(QObject* source, const QPoint& pos)
{
    if (!IsCatalogGrid(source))
        return;
    DropFrames(MainForm->DragFrames.get(), pos.x(), pos.y());
}

void TMDIChild::SavePicActionExecute()
{
    const int slot = SelStart();
    if (!Cat.Frames.GetFrame(slot).Used())
        return;
    TFileDialog& dialog = MainForm->SaveDialog;
    dialog.Filter = PicFilter;
    dialog.DefaultExt = PicExt;
    dialog.FileName = ZLT_PicFolder::FileName(slot);
    if (!dialog.Execute(MainForm))
        return;
    Cat.Frames.GetFrame(slot).SaveToPicFile(dialog.FileName);
}

void TMDIChild::LoadPicActionExecute()
{
    const int slot = SelStart();
    TFileDialog& dialog = MainForm->OpenDialog;
    dialog.Filter = PicFilter;
    dialog.DefaultExt = PicExt;
    dialog.FileName = ZLT_PicFolder::FileName(slot);
    if (!dialog.Execute(MainForm))
        return;
    auto frame = std::make_unique<TZLT_Frame>();
    try {
        frame->LoadFromPicFile(dialog.FileName); // a failure places nothing
    } catch (const EZLT_Ilda_Content&) {
        // An ILDA file under a picture's name: its frames, from this slot on.
        IldaCommands::ImportFileAt(*this, dialog.FileName, slot);
        return;
    }
    TZLT_FrameList loaded;
    loaded.Add(std::move(frame));
    PasteFrames(&loaded, slot, StepNames::LoadPic);
}

void TMDIChild::SaveIldaActionExecute()
{
    IldaCommands::SaveSelection(*this);
}

void TMDIChild::LoadIldaActionExecute()
{
    IldaCommands::ImportAtSelection(*this);
}

void TMDIChild::ExportPics(const QString& directory)
{
    const int count = Cat.Frames.Count();
    int used = 0;
    for (int slot = 0; slot < count; ++slot)
        used += Cat.Frames.GetFrame(slot).Used() ? 1 : 0;
    if (used == 0)
        return;

    TProgress progress(MainForm, Tr(ProgressTexts[ExportingText]), used);
    // Each file replaces its old one only when complete; the folder is
    // synced once, also after a failure, for the files that are done.
    try {
        int done = 0;
        for (int slot = 0; slot < count; ++slot) {
            const TZLT_Frame& frame = Cat.Frames.GetFrame(slot);
            if (!frame.Used())
                continue;
            frame.ExportToPicFile(ZLT_PicFolder::Join(directory, ZLT_PicFolder::FileName(slot)));
            if (!progress.Step(++done))
                break;
        }
    } catch (...) {
        try {
            ZLT_Files::SyncFolder(directory);
        } catch (...) {
        }
        throw;
    }
    ZLT_Files::SyncFolder(directory);
}

void TMDIChild::ImportPics(const QString& directory)
{
    const QStringList names = ZLT_PicFolder::PicFiles(directory);
    if (names.isEmpty())
        return;
    const int count = int(std::min<qsizetype>(names.size(), Cat.Frames.Count()));

    // The import fills a new window: it is the window's starting state, not
    // a step, and earlier steps would no longer lead back.
    TProgress progress(MainForm, Tr(ProgressTexts[ImportingText]), count);
    try {
        for (int slot = 0; slot < count; ++slot) {
            const QString fileName = ZLT_PicFolder::Join(directory, names[slot]);
            Cat.Frames.GetFrame(slot).LoadFromPicFile(fileName);
            if (!progress.Step(slot + 1))
                break;
        }
    } catch (...) {
        History.Forget();
        CatalogChanged(); // the slots loaded before the failure stay
        throw;
    }
    History.Forget();
    CatalogChanged();
}
