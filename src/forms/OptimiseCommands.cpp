#include "OptimiseCommands.h"

#include "BackgroundJob.h"
#include "CHILDWIN.h"
#include "FrameCommands.h"
#include "FrameTools.h"

#include <QPointer>

#include <array>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace OptimiseCommands {

namespace {
// The status bar's texts: English, German.
enum TextId
{
    OptimisedOneText,
    OptimisedManyText,
    MinimisedOneText,
    MinimisedManyText,
    TravelUnitsText,
    TooLongText,
    TooLongOneMoreText,
    TooLongMoreText,
    OptimisingText,
    MinimisingText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"1 frame optimised: %1 → %2 points, blanked travel %3", u"1 Frame optimiert: %1 → %2 Punkte, Leerweg %3"},
    {u"%1 frames optimised: %2 → %3 points, blanked travel %4",
     u"%1 Frames optimiert: %2 → %3 Punkte, Leerweg %4"},
    {u"1 frame minimised: %1 → %2 points", u"1 Frame minimiert: %1 → %2 Punkte"},
    {u"%1 frames minimised: %2 → %3 points", u"%1 Frames minimiert: %2 → %3 Punkte"},
    {u"+%1 units", u"+%1 Einheiten"},
    {u"Frame %1 would need %2 points; left unchanged", u"Frame %1 bräuchte %2 Punkte; unverändert gelassen"},
    {u"Frame %1 would need %2 points; left unchanged, as was 1 more frame",
     u"Frame %1 bräuchte %2 Punkte; unverändert gelassen, ebenso 1 weiterer Frame"},
    {u"Frame %1 would need %2 points; left unchanged, as were %3 more frames",
     u"Frame %1 bräuchte %2 Punkte; unverändert gelassen, ebenso %3 weitere Frames"},
    {u"Optimising frames for the projector...", u"Frames werden für den Projektor optimiert..."},
    {u"Minimising frames...", u"Frames werden minimiert..."},
}};

// Points read between two reports of the job: a report waits for the
// window's thread, so not one per small frame.
constexpr qint64 PointsPerReport = 4096;

// "−38 %": the change of the travel against what it was.
QString TravelChange(qint64 before, qint64 after)
{
    if (before == 0)
        return after == 0 ? QStringLiteral("0 %") : Tr(Texts[TravelUnitsText]).arg(NumberText(after));
    const qint64 percent = FrameTools::RoundHalfAway(double(after - before) * 100.0 / double(before));
    const QString sign = percent < 0 ? QStringLiteral("\u2212") : percent > 0 ? QStringLiteral("+") : QString();
    return sign + NumberText(std::llabs(percent)) + QStringLiteral(" %");
}
} // namespace

TSummary Run(TMDIChild& child, bool minimise, const TScannerProfile& profile, const TTextRow& step,
             QWidget* parent)
{
    const std::vector<int> used = TFrameCommands::UsedSelectedSlots(child);
    std::vector<const TZLT_Frame*> sources;
    for (const int slot : used)
        sources.push_back(&child.Cat.Frames.GetFrame(slot));
    std::vector<std::unique_ptr<TZLT_Frame>> changed(sources.size());
    std::vector<TOptimiseResult> results(sources.size());
    bool cancelled = false;
    const QPointer<TMDIChild> window(&child);
    // Only reads the frames; the windows' commands wait meanwhile.
    const auto job = [&](const BackgroundJob::TProgressFn& progress) {
        qint64 unreported = PointsPerReport;
        for (size_t i = 0; i < sources.size(); ++i) {
            if (unreported >= PointsPerReport) {
                if (!progress(qint64(i), qint64(sources.size()))) {
                    cancelled = true;
                    return;
                }
                unreported = 0;
            }
            unreported += sources[i]->Count();
            changed[i] = std::make_unique<TZLT_Frame>();
            if (minimise) {
                changed[i]->AllPoints() = sources[i]->AllPoints();
                results[i] = Minimise(*changed[i]);
            } else {
                changed[i]->AllPoints() = Optimised(sources[i]->AllPoints(), profile, &results[i]);
            }
        }
    };
    BackgroundJob::Run(parent, Tr(Texts[minimise ? MinimisingText : OptimisingText]), job);
    TSummary summary;
    if (cancelled || !window) // or the program is ending
        return summary;
    summary.Minimise = minimise;
    std::vector<std::pair<int, std::unique_ptr<TZLT_Frame>>> changes;
    for (size_t i = 0; i < sources.size(); ++i) {
        const TOptimiseResult& result = results[i];
        if (result.TooLong) {
            if (summary.TooLong++ == 0) {
                summary.FirstTooLongSlot = used[i];
                summary.FirstNeeded = result.Needed;
            }
            continue;
        }
        ++summary.Frames;
        summary.PointsBefore += result.PointsBefore;
        summary.PointsAfter += result.PointsAfter;
        summary.TravelBefore += result.TravelBefore;
        summary.TravelAfter += result.TravelAfter;
        if (result.Changed)
            changes.emplace_back(used[i], std::move(changed[i]));
    }
    if (!changes.empty())
        child.ChangeSlots(step, changes.front().first, [&] {
            for (auto& [slot, frame] : changes)
                child.History.Overwrite(slot, std::move(frame));
        });
    return summary;
}

QString Message(const TSummary& s)
{
    QString message;
    if (s.Frames > 0) {
        const QString before = NumberText(s.PointsBefore);
        const QString after = NumberText(s.PointsAfter);
        if (s.Minimise)
            message = s.Frames == 1 ? Tr(Texts[MinimisedOneText]).arg(before, after)
                                    : Tr(Texts[MinimisedManyText]).arg(NumberText(s.Frames), before, after);
        else if (s.Frames == 1)
            message = Tr(Texts[OptimisedOneText]).arg(before, after, TravelChange(s.TravelBefore, s.TravelAfter));
        else
            message = Tr(Texts[OptimisedManyText])
                          .arg(NumberText(s.Frames), before, after, TravelChange(s.TravelBefore, s.TravelAfter));
    }
    if (s.TooLong > 0) {
        const QString slot = QString::number(s.FirstTooLongSlot);
        const QString needed = NumberText(s.FirstNeeded);
        const QString tooLong = s.TooLong == 1 ? Tr(Texts[TooLongText]).arg(slot, needed)
                                : s.TooLong == 2
                                    ? Tr(Texts[TooLongOneMoreText]).arg(slot, needed)
                                    : Tr(Texts[TooLongMoreText]).arg(slot, needed, NumberText(s.TooLong - 1));
        message = message.isEmpty() ? tooLong : message + QStringLiteral(". ") + tooLong;
    }
    return message;
}

} // namespace OptimiseCommands
