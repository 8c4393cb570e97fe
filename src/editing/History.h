#pragma once

#include "Language.h"
#include "ZLT_Catalog.h"

#include <QtGlobal>

#include <memory>
#include <vector>

// The names of the steps, as Undo and Redo show them: English, German.
namespace StepNames {
inline constexpr TTextRow Paste{u"Paste", u"Einfügen"};
inline constexpr TTextRow Drop{u"Drop", u"Ablegen"};
inline constexpr TTextRow Cut{u"Cut", u"Ausschneiden"};
inline constexpr TTextRow Delete{u"Delete", u"Löschen"};
inline constexpr TTextRow LoadPic{u"Import from PIC file", u"Import von PIC Datei"};
inline constexpr TTextRow LoadIlda{u"Import from ILDA file", u"Import von ILDA Datei"};
} // namespace StepNames

// The slots a step changed, from First to Last.
struct TSlotRange
{
    int First = 0;
    int Last = 0;
};

// The undo history of one catalog window. Each change of the slots is one
// step, made of primitive edits in the order they happened: frames
// exchanged with slots (an overwrite, a cleared slot) and a block inserted
// before a slot that pushes as many frames out of the last slots. A step
// keeps only the frames its edits displaced; undo reverts the edits last to
// first and takes back the frames the change put in, redo makes them again.
// Frames only ever move between the catalog and the history; nothing is
// copied.
//
// Every operation that changes a window's slots must make its change between
// Begin and End through the edits below, or undo would no longer restore
// what was there.
//
// The history also keeps the window's Modified flag: the state last loaded
// or saved (Modified set to false from outside) is unmodified, every other
// state is modified. A step whose edits leave every slot as it was (a paste
// answered with Cancel, frames put onto equal ones) is no step: it is not
// kept and leaves Modified as it was.
//
// All windows' histories share one budget, steps that can be redone
// included. Beyond it the oldest steps of all windows go first; the step
// just made, undone or redone stays, however large.
class THistory
{
public:
    THistory(TZLT_FrameList& frames, bool& modified);
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    // One step: Begin marks the window modified; the edits change the slots
    // at once; End keeps the step, also after an edit failed (it holds what
    // was done), discards the steps that could have been redone and drops
    // the oldest steps of all windows while all histories together exceed
    // the budget. Calls may nest; the outermost pair makes the step.
    void Begin(const TTextRow& name, int slot);
    void End() noexcept;
    // Puts frame into slot.
    void Overwrite(int slot, std::unique_ptr<TZLT_Frame> frame);
    // Inserts frames before slot; as many frames leave the last slots.
    void Insert(int slot, std::vector<std::unique_ptr<TZLT_Frame>> frames);
    // Empties every used slot from first to last.
    void Clear(int first, int last);

    bool CanUndo() const;
    bool CanRedo() const;
    // The name of the step Undo or Redo would act on.
    TTextRow UndoName() const;
    TTextRow RedoName() const;
    // Reverts or repeats one step and returns the slots it changed.
    TSlotRange Undo();
    TSlotRange Redo();

    // Forgets every step, for slots changed outside the history.
    void Forget() noexcept;

    int UndoCount() const { return FPos; }
    int RedoCount() const { return int(FSteps.size()) - FPos; }
    // Frame data held by this history, counted as the budget counts it.
    qint64 Cost() const;

    // The budget of all windows' histories together, in bytes of frame
    // data: PointCost per point a frame has room for and FrameCost per
    // frame held.
    static constexpr qint64 PointCost = 8;
    static constexpr qint64 FrameCost = 64;
    static constexpr qint64 DefaultBudget = qint64(1) << 30;
    static qint64 Budget();
    static void SetBudget(qint64 bytes);
    static qint64 TotalCost();
    // Drops the oldest steps of all windows until the budget holds again.
    static void KeepBudget() noexcept;

private:
    struct TEdit;
    struct TStep;

    TEdit& ExchangeEdit();
    bool InsertChangesNothing(int slot, const std::vector<std::unique_ptr<TZLT_Frame>>& frames) const;
    void Extend(int first, int last);
    void NoteSaved();
    void FollowSaved();
    void Recount(TStep& step);
    void DiscardRedo() noexcept;
    void DropFront() noexcept;
    void DropBack() noexcept;
    static void Trim(const TStep* keep) noexcept;

    TZLT_FrameList& FFrames;
    bool& FModified;
    std::vector<std::unique_ptr<TStep>> FSteps;
    int FPos = 0;                 // steps done; FSteps from FPos on can be redone
    qint64 FBase = 0;             // steps dropped from the front, so states keep their numbers
    qint64 FSaved = 0;            // number of the saved state, or -1 when none can be reached
    std::unique_ptr<TStep> FOpen; // the step being made
    int FDepth = 0;
    bool FOpenModified = false; // Modified before the step being made
};
