#include "History.h"

#include "ZLT_Memory.h"

#include <algorithm>
#include <climits>

namespace {
qint64 Budget = THistory::DefaultBudget;
qint64 Total = 0;                // all histories together
qint64 Made = 0;                 // steps made so far, over all windows: their age
std::vector<THistory*> Everyone; // every window's history
bool StepsFreed = false;         // steps were dropped since memory last went back

// The frames of dropped steps go back to the system, not only to the heap's
// free lists, so that what the budget gives up leaves the process.
void ReturnFreedSteps() noexcept
{
    if (StepsFreed)
        ZLT_Memory::ReturnFreed();
    StepsFreed = false;
}

// A frame's points take the room the frame has for them.
qint64 CostOf(const std::unique_ptr<TZLT_Frame>& frame)
{
    return THistory::FrameCost + THistory::PointCost * qint64(frame ? frame->AllPoints().capacity() : 0);
}

bool Equal(const std::unique_ptr<TZLT_Frame>& a, const TZLT_Frame& b)
{
    return a ? *a == b : !b.Used();
}
} // namespace

// Exchange: Frames[i] trades places with the frame in Slots[i]; doing it
// again reverts it. Insert: Frames go in before Slot and the frames pushed
// out of the last slots take their place in Frames; removing reverts it.
struct THistory::TEdit
{
    enum class TKind
    {
        Exchange,
        Insert
    };
    TKind Kind = TKind::Exchange;
    int Slot = 0;
    std::vector<int> Slots;
    std::vector<std::unique_ptr<TZLT_Frame>> Frames;

    void Apply(TZLT_FrameList& list)
    {
        if (Kind == TKind::Insert) {
            list.InsertExchanging(Slot, Frames);
            return;
        }
        for (size_t i = 0; i < Frames.size(); ++i)
            Frames[i] = list.SetFrame(Slots[i], std::move(Frames[i]));
    }

    void Revert(TZLT_FrameList& list)
    {
        if (Kind == TKind::Insert) {
            list.RemoveExchanging(Slot, Frames);
            return;
        }
        for (size_t i = Frames.size(); i-- > 0;)
            Frames[i] = list.SetFrame(Slots[i], std::move(Frames[i]));
    }
};

struct THistory::TStep
{
    TTextRow Name;
    TSlotRange Range;
    std::vector<TEdit> Edits;
    qint64 Cost = 0;
    qint64 Age = 0; // when it was made: a lower age is older
};

THistory::THistory(TZLT_FrameList& frames, bool& modified) : FFrames(frames), FModified(modified)
{
    Everyone.push_back(this);
}

THistory::~THistory()
{
    Total -= Cost();
    Everyone.erase(std::find(Everyone.begin(), Everyone.end(), this));
}

qint64 THistory::Budget()
{
    return ::Budget;
}

void THistory::SetBudget(qint64 bytes)
{
    ::Budget = bytes;
    KeepBudget();
}

qint64 THistory::TotalCost()
{
    return Total;
}

qint64 THistory::Cost() const
{
    qint64 cost = 0;
    for (const auto& step : FSteps)
        cost += step->Cost;
    return cost;
}

// --- Modified -------------------------------------------------------------

// Before the state changes: Modified set to false from outside (a load or a
// save) makes the current state the saved one; a window marked modified in
// its saved state (a new catalog) has no saved state left.
void THistory::NoteSaved()
{
    const qint64 state = FBase + FPos;
    if (!FModified)
        FSaved = state;
    else if (FSaved == state)
        FSaved = -1;
}

void THistory::FollowSaved()
{
    FModified = FBase + FPos != FSaved;
}

// --- recording ------------------------------------------------------------

void THistory::Begin(const TTextRow& name, int slot)
{
    if (FDepth++ > 0)
        return;
    try {
        FOpen = std::make_unique<TStep>();
    } catch (...) {
        FDepth = 0;
        throw;
    }
    NoteSaved();
    FOpen->Name = name;
    FOpen->Range = {slot, slot};
    FOpenModified = FModified;
    FModified = true;
}

void THistory::End() noexcept
{
    if (FDepth == 0 || --FDepth > 0)
        return;
    std::unique_ptr<TStep> step = std::move(FOpen);
    if (step->Edits.empty()) {
        FModified = FOpenModified; // nothing changed: no step
        return;
    }
    step->Age = ++Made;
    DiscardRedo();
    try {
        FSteps.push_back(nullptr);
    } catch (...) {
        // Without the step the older ones no longer lead back.
        Forget();
        FModified = true;
        return;
    }
    FSteps.back() = std::move(step);
    ++FPos;
    Recount(*FSteps.back());
    Trim(FSteps.back().get());
    FollowSaved();
}

void THistory::Extend(int first, int last)
{
    FOpen->Range.First = std::min(FOpen->Range.First, first);
    FOpen->Range.Last = std::max(FOpen->Range.Last, last);
}

// The step's last edit when it exchanges frames, else a new one. Slots of
// one exchange are distinct: a paste moves on after each frame, a clear
// visits each slot once, and an insert starts a new edit.
THistory::TEdit& THistory::ExchangeEdit()
{
    std::vector<TEdit>& edits = FOpen->Edits;
    if (edits.empty() || edits.back().Kind != TEdit::TKind::Exchange)
        edits.emplace_back();
    return edits.back();
}

void THistory::Overwrite(int slot, std::unique_ptr<TZLT_Frame> frame)
{
    TEdit& edit = ExchangeEdit();
    (void)FFrames.GetFrame(slot); // raises the list's index error before anything changes
    edit.Slots.push_back(slot);
    try {
        edit.Frames.push_back(nullptr);
    } catch (...) {
        edit.Slots.pop_back();
        throw;
    }
    try {
        edit.Frames.back() = FFrames.SetFrame(slot, std::move(frame));
    } catch (...) {
        edit.Slots.pop_back();
        edit.Frames.pop_back();
        throw;
    }
    if (Equal(edit.Frames.back(), FFrames.GetFrame(slot))) {
        // An equal frame changes nothing: the slot keeps its own.
        (void)FFrames.SetFrame(slot, std::move(edit.Frames.back()));
        edit.Slots.pop_back();
        edit.Frames.pop_back();
        if (edit.Frames.empty())
            FOpen->Edits.pop_back();
        return;
    }
    Extend(slot, slot);
}

// Whether inserting frames before slot leaves every slot as it was: each
// frame equals the one it lands on, and the frames after them equal those
// count slots before.
bool THistory::InsertChangesNothing(int slot, const std::vector<std::unique_ptr<TZLT_Frame>>& frames) const
{
    const int count = int(frames.size());
    const int size = FFrames.Count();
    if (slot < 0 || count > size - slot)
        return false; // the insert itself raises the error
    for (int i = 0; i < count; ++i)
        if (!Equal(frames[size_t(i)], FFrames.GetFrame(slot + i)))
            return false;
    for (int i = slot + count; i < size; ++i)
        if (!(FFrames.GetFrame(i - count) == FFrames.GetFrame(i)))
            return false;
    return true;
}

void THistory::Insert(int slot, std::vector<std::unique_ptr<TZLT_Frame>> frames)
{
    if (InsertChangesNothing(slot, frames))
        return;
    const int count = int(frames.size());
    TEdit edit;
    edit.Kind = TEdit::TKind::Insert;
    edit.Slot = slot;
    edit.Frames = std::move(frames);
    FOpen->Edits.push_back(std::move(edit));
    try {
        FOpen->Edits.back().Apply(FFrames);
    } catch (...) {
        FOpen->Edits.pop_back();
        throw;
    }
    if (count > 0)
        Extend(slot, slot + count - 1);
}

void THistory::Clear(int first, int last)
{
    Extend(first, last);
    int used = 0;
    for (int slot = first; slot <= last; ++slot)
        used += FFrames.GetFrame(slot).Used() ? 1 : 0;
    if (used == 0)
        return;
    TEdit& edit = ExchangeEdit();
    edit.Slots.reserve(edit.Slots.size() + size_t(used));
    edit.Frames.reserve(edit.Frames.size() + size_t(used));
    for (int slot = first; slot <= last; ++slot)
        if (FFrames.GetFrame(slot).Used())
            Overwrite(slot, std::make_unique<TZLT_Frame>());
}

// --- undo and redo --------------------------------------------------------

bool THistory::CanUndo() const
{
    return !FOpen && FPos > 0;
}

bool THistory::CanRedo() const
{
    return !FOpen && FPos < int(FSteps.size());
}

TTextRow THistory::UndoName() const
{
    return CanUndo() ? FSteps[size_t(FPos) - 1]->Name : TTextRow{};
}

TTextRow THistory::RedoName() const
{
    return CanRedo() ? FSteps[size_t(FPos)]->Name : TTextRow{};
}

TSlotRange THistory::Undo()
{
    if (!CanUndo())
        return {};
    NoteSaved();
    TStep& step = *FSteps[size_t(--FPos)];
    for (auto edit = step.Edits.rbegin(); edit != step.Edits.rend(); ++edit)
        edit->Revert(FFrames);
    Recount(step);
    Trim(&step);
    FollowSaved();
    return step.Range;
}

TSlotRange THistory::Redo()
{
    if (!CanRedo())
        return {};
    NoteSaved();
    TStep& step = *FSteps[size_t(FPos++)];
    for (TEdit& edit : step.Edits)
        edit.Apply(FFrames);
    Recount(step);
    Trim(&step);
    FollowSaved();
    return step.Range;
}

// A step holds other frames once undone (those it put in) than once done
// (those it displaced).
void THistory::Recount(TStep& step)
{
    qint64 cost = 0;
    for (const TEdit& edit : step.Edits)
        for (const auto& frame : edit.Frames)
            cost += CostOf(frame);
    Total += cost - step.Cost;
    step.Cost = cost;
}

void THistory::DiscardRedo() noexcept
{
    while (int(FSteps.size()) > FPos) {
        Total -= FSteps.back()->Cost;
        FSteps.pop_back();
        StepsFreed = true;
    }
    if (FSaved > FBase + FPos)
        FSaved = -1; // the saved state was on the discarded branch
}

// The oldest step of a window is its first. Once that can only be redone,
// so can every later one, and none of them can be reached without it.
void THistory::DropFront() noexcept
{
    if (FPos == 0) {
        DiscardRedo();
        return;
    }
    Total -= FSteps.front()->Cost;
    FSteps.erase(FSteps.begin());
    StepsFreed = true;
    --FPos;
    ++FBase;
}

// The last step, one that can be redone.
void THistory::DropBack() noexcept
{
    Total -= FSteps.back()->Cost;
    FSteps.pop_back();
    StepsFreed = true;
    if (FSaved > FBase + qint64(FSteps.size()))
        FSaved = -1;
}

void THistory::KeepBudget() noexcept
{
    Trim(nullptr);
}

// While over the budget, drops the oldest step of all windows but keep. A
// window whose first step is keep can give up only the steps after it,
// which can be redone.
void THistory::Trim(const TStep* keep) noexcept
{
    while (Total > ::Budget) {
        THistory* oldest = nullptr;
        bool back = false;
        qint64 age = 0;
        for (THistory* history : Everyone) {
            const auto& steps = history->FSteps;
            if (steps.empty())
                continue;
            const bool front = steps.front().get() != keep;
            if (!front && steps.size() < 2)
                continue;
            const qint64 stepAge = (front ? steps.front() : steps.back())->Age;
            if (oldest == nullptr || stepAge < age) {
                oldest = history;
                back = !front;
                age = stepAge;
            }
        }
        if (oldest == nullptr)
            break; // keep alone is larger than the budget
        if (back)
            oldest->DropBack();
        else
            oldest->DropFront();
        // The current state of every window stays, and with it Modified.
    }
    ReturnFreedSteps();
}

void THistory::Forget() noexcept
{
    Total -= Cost();
    StepsFreed = StepsFreed || !FSteps.empty();
    FSteps.clear();
    FBase += FPos + 1; // no number of a forgotten state comes back
    FPos = 0;
    FSaved = -1;
    ReturnFreedSteps();
}
