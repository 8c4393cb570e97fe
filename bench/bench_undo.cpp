// Speed and memory of Undo and Redo on a full catalog of 32767 used slots
// (100 points per frame): undo and redo of a Paste with Insert All of 32767
// frames at slot 0 and of a Delete of every slot, each through the Edit
// commands including the grid's repaint, next to a baseline of the same
// run (cloning a whole catalog's frames), and the heap that a Delete of
// every slot keeps, history included, beyond the empty frames it puts in.
// Then five windows each paste 300 MiB of frames and undo it: what the
// histories of all windows hold together, as counted and as the heap shows
// it, and the growth of the resident memory (the pages the system holds
// for the process, which the allocator's trim after a drop gives back),
// against the budget.
// Prints one "name value" line per figure (times in milliseconds).

#include "BenchSupport.h"
#include "BenchWindows.h"
#include "CHILDWIN.h"
#include "Guard.h"
#include "HeapCounting.h"
#include "MAIN.h"
#include "Overwrite.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// The process's resident memory in bytes, as /proc/self/statm counts it.
double ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        Bench::Fail("no /proc/self/statm");
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(::sysconf(_SC_PAGESIZE)) : 0;
}

constexpr int Slots = TZLT_Cat::SlotCount;
constexpr int Points = 100;
constexpr int Runs = 5;

using Bench::Fail;
using Bench::Print;

double TimeMs(const std::function<void()>& work)
{
    return Bench::Milliseconds(work);
}

std::unique_ptr<TZLT_Frame> MakeFrame(int id)
{
    return Bench::MakeFrame(id, Points);
}

// A command as the user runs it: the command, then the repaint it asked for.
double CommandMs(void (TMainForm::*command)())
{
    return TimeMs([command] {
        (MainForm->*command)();
        QCoreApplication::processEvents();
    });
}

// A new catalog window with every slot used, as the active window.
TMDIChild* FullCatalogWindow()
{
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    if (child == nullptr)
        Fail("no catalog window");
    for (int i = 0; i < Slots; ++i)
        child->Cat.Frames.SetFrame(i, MakeFrame(1 + i % 1000));
    QCoreApplication::processEvents();
    return child;
}

void CloseWindow(TMDIChild* child)
{
    child->Modified = false;
    child->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::vector<const TZLT_Frame*> Identities(const TZLT_FrameList& frames)
{
    std::vector<const TZLT_Frame*> all;
    for (int i = 0; i < frames.Count(); ++i)
        all.push_back(&frames.GetFrame(i));
    return all;
}

// Undoes and redoes the active window's last step a few times; the best
// time of each, after checking that each lands on the right frames.
void TimeUndoRedo(TMDIChild* child, const char* undoName, const char* redoName, double baseline)
{
    const std::vector<const TZLT_Frame*> done = Identities(child->Cat.Frames);
    double undo = 1e300, redo = 1e300;
    std::vector<const TZLT_Frame*> undone;
    for (int run = 0; run < Runs; ++run) {
        undo = std::min(undo, CommandMs(&TMainForm::EditUndo1Execute));
        if (run == 0)
            undone = Identities(child->Cat.Frames);
        else if (Identities(child->Cat.Frames) != undone)
            Fail("undo landed elsewhere");
        redo = std::min(redo, CommandMs(&TMainForm::EditRedo1Execute));
        if (Identities(child->Cat.Frames) != done)
            Fail("redo landed elsewhere");
    }
    if (undone == done)
        Fail("undo changed nothing");
    Print(undoName, undo);
    Print(redoName, redo);
    std::printf("%s_per_clone_baseline %.3f\n%s_per_clone_baseline %.3f\n", undoName, undo / baseline,
                redoName, redo / baseline);
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    TApplication app(argc, argv);
    Bench::ShowMainWindow(1280, 400);

    // Baseline: cloning a whole catalog's frames, the least a copy of them costs.
    TZLT_FrameList list;
    for (int i = 0; i < Slots; ++i)
        list.Add(MakeFrame(5000 + i % 1000));
    double clone = 1e300;
    for (int run = 0; run < Runs; ++run)
        clone = std::min(clone, TimeMs([&] {
                             std::vector<std::unique_ptr<TZLT_Frame>> copies;
                             copies.reserve(Slots);
                             for (int i = 0; i < Slots; ++i)
                                 copies.push_back(list.GetFrame(i).Clone());
                         }));
    Print("baseline_clone_catalog_ms", clone);

    // Insert All of a whole catalog's frames at slot 0 of a full catalog:
    // every frame moves, every old frame leaves the catalog.
    TMDIChild* child = FullCatalogWindow();
    child->SelectSlots(0, 0);
    MainForm->ClipboardFrames = std::make_unique<TZLT_FrameList>(std::move(list));
    QTimer::singleShot(0, [] { OverwriteBox->InsertAllBtn->click(); });
    const double paste = TimeMs([&] { MainForm->EditPaste1->trigger(); });
    if (!(child->Cat.Frames.GetFrame(Slots - 1) == MainForm->ClipboardFrames->GetFrame(Slots - 1)))
        Fail("the paste did not insert every frame");
    Print("paste_insert_all_ms", paste);
    TimeUndoRedo(child, "undo_insert_all_ms", "redo_insert_all_ms", clone);
    CloseWindow(child);

    // Delete of every slot.
    child = FullCatalogWindow();
    child->SelectSlots(0, Slots - 1);
    child->DeleteActionExecute();
    TimeUndoRedo(child, "undo_delete_all_ms", "redo_delete_all_ms", clone);
    CloseWindow(child);

    // Heap kept by a Delete of every slot, history included, against the
    // empty frames it puts in their place. No thumbnail is cached, and no
    // event runs in between, so only the Delete counts.
    child = FullCatalogWindow();
    child->SelectSlots(0, Slots - 1);
    std::vector<std::unique_ptr<TZLT_Frame>> empties;
    empties.reserve(Slots);
    child->RepaintGrid();
    malloc_trim(0);
    const size_t beforeEmpties = HeapInUse();
    for (int i = 0; i < Slots; ++i)
        empties.push_back(std::make_unique<TZLT_Frame>());
    const size_t emptyFrames = HeapInUse() - beforeEmpties;
    empties.clear();
    malloc_trim(0);
    const size_t beforeDelete = HeapInUse();
    Allocations = 0;
    Counting = true;
    child->DeleteActionExecute();
    Counting = false;
    const long allocations = Allocations;
    const size_t afterDelete = HeapInUse();
    if (child->Cat.Frames.GetFrame(Slots - 1).Used() || !child->History.CanUndo())
        Fail("the delete did not empty every slot into the history");
    const double growth = double(afterDelete) - double(beforeDelete);
    Print("baseline_empty_frames_kib", double(emptyFrames) / 1024);
    Print("delete_all_heap_growth_kib", growth / 1024);
    Print("delete_all_heap_beyond_empty_frames_kib", (growth - double(emptyFrames)) / 1024);
    Print("delete_all_allocations", double(allocations));
    CloseWindow(child);

    // Five windows paste 300 MiB each and undo it: the steps kept for Redo
    // count, and the oldest of all windows go.
    constexpr double MiB = 1024.0 * 1024.0;
    constexpr int BigFrames = 600; // of 65535 points: 300 MiB
    MainForm->ClipboardFrames = std::make_unique<TZLT_FrameList>();
    for (int i = 0; i < BigFrames; ++i)
        MainForm->ClipboardFrames->Add(Bench::MakeFrame(i, TZLT_Frame::MaxPoints));
    std::vector<TMDIChild*> windows;
    for (int w = 0; w < 5; ++w) {
        MainForm->FileNew1->trigger();
        windows.push_back(MainForm->ActiveMDIChild());
    }
    QCoreApplication::processEvents();
    malloc_trim(0);
    const size_t beforeBig = HeapInUse();
    const double residentBefore = ResidentBytes();
    double mostCounted = 0, mostHeld = 0, mostResident = 0;
    for (TMDIChild* window : windows) {
        MainForm->MdiArea->setActiveSubWindow(window);
        window->SelectSlots(0, 0);
        MainForm->EditPaste1Execute();
        MainForm->EditUndo1Execute();
        QCoreApplication::processEvents();
        mostCounted = std::max(mostCounted, double(THistory::TotalCost()) / MiB);
        mostHeld = std::max(mostHeld, (double(HeapInUse()) - double(beforeBig)) / MiB);
        mostResident = std::max(mostResident, (ResidentBytes() - residentBefore) / MiB);
    }
    const double residentAfter = (ResidentBytes() - residentBefore) / MiB;
    int redoable = 0;
    for (TMDIChild* window : windows)
        redoable += window->History.CanRedo() ? 1 : 0;
    Print("baseline_undo_budget_mib", double(THistory::Budget()) / MiB);
    Print("five_windows_300_mib_history_counted_mib", mostCounted);
    Print("five_windows_300_mib_history_heap_mib", mostHeld);
    Print("five_windows_300_mib_windows_that_can_redo", double(redoable));
    Print("five_windows_300_mib_resident_growth_most_mib", mostResident);
    Print("five_windows_300_mib_resident_growth_at_end_mib", residentAfter);
    for (TMDIChild* window : windows)
        CloseWindow(window);
    return 0;
}
