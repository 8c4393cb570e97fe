#include "Converter.h"

#include "ConvertInputs.h"
#include "ConvertOutputs.h"
#include "ConvertThreads.h"
#include "ConvertVector.h"
#include "FrameTools.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QLocale>

#include <algorithm>
#include <new>

namespace {

// Every frame of the list, which is left empty; from the end, so nothing moves.
std::vector<std::unique_ptr<TZLT_Frame>> TakeAll(TZLT_FrameList& frames)
{
    std::vector<std::unique_ptr<TZLT_Frame>> taken(size_t(frames.Count()));
    for (int i = frames.Count() - 1; i >= 0; --i)
        taken[size_t(i)] = frames.Delete(i);
    return taken;
}

void KeepFrames(const TConvertJob& job, TZLT_FrameList& frames)
{
    if (!job.Frames)
        return;
    const auto [first, last] = *job.Frames;
    if (last >= frames.Count())
        throw EConvertUsage(QStringLiteral("--frames %1-%2: the inputs hold %3 frames (0..%4)")
                                .arg(first)
                                .arg(last)
                                .arg(frames.Count())
                                .arg(frames.Count() - 1));
    std::vector<std::unique_ptr<TZLT_Frame>> all = TakeAll(frames);
    frames.InsertRange(0, {std::make_move_iterator(all.begin() + first),
                           std::make_move_iterator(all.begin() + last + 1)});
}

// Whether each frame's result depends on that frame alone: no value ramps
// across the frames and no pivot is the centre of all of them.
bool FramesApart(const std::vector<FrameTools::TOperation>& operations)
{
    for (const FrameTools::TOperation& op : operations) {
        if (op.Kind == FrameTools::TKind::Transform && op.Pivot.Kind == FrameTools::TPivotKind::All)
            return false;
        for (const FrameTools::TValue* value : {&op.MoveX, &op.MoveY, &op.ScaleX, &op.ScaleY, &op.Rotate,
                                                &op.Pivot.X, &op.Pivot.Y, &op.ColourA, &op.ColourB})
            if (value->Ramps())
                return false;
    }
    return true;
}

// The operations on every frame; frames that do not depend on each other
// are worked on in parts at once, of about as many points each.
int ApplyOperations(const std::vector<FrameTools::TOperation>& operations, TZLT_FrameList& frames)
{
    std::vector<TZLT_Frame*> all(size_t(frames.Count()));
    qint64 points = 0;
    for (int i = 0; i < frames.Count(); ++i) {
        all[size_t(i)] = &frames.GetFrame(i);
        points += all[size_t(i)]->Count();
    }
    constexpr qint64 PointsWorthAThread = 1 << 18;
    const int parts = FramesApart(operations)
                          ? int(std::min<qint64>(ConvertThreads::Cores(), points / PointsWorthAThread + 1))
                          : 1;
    if (parts <= 1)
        return FrameTools::Apply(operations, all);
    std::vector<std::vector<TZLT_Frame*>> split(static_cast<size_t>(parts));
    qint64 done = 0;
    for (TZLT_Frame* frame : all) {
        split[size_t(std::min<qint64>(parts - 1, done * parts / points))].push_back(frame);
        done += frame->Count();
    }
    std::vector<int> clamped(size_t(parts), 0);
    ConvertThreads::InParts(parts, [&](int part) {
        clamped[size_t(part)] = FrameTools::Apply(operations, split[size_t(part)]);
    });
    int sum = 0;
    for (const int n : clamped)
        sum += n;
    return sum;
}

QString Summary(const TConvertJob& job, const TZLT_FrameList& frames)
{
    int used = 0;
    qint64 points = 0;
    for (int i = 0; i < frames.Count(); ++i) {
        const int n = frames.GetFrame(i).Count();
        used += n > 0 ? 1 : 0;
        points += n;
    }
    return QStringLiteral("%1, %2, %3 -> %4 (%5)")
        .arg(Converter::Count(job.Inputs.size(), QStringLiteral("input"), QStringLiteral("inputs")),
             Converter::Count(used, QStringLiteral("frame"), QStringLiteral("frames")),
             Converter::Count(points, QStringLiteral("point"), QStringLiteral("points")), job.Output,
             ConvertOutputs::Describe(job));
}

} // namespace

namespace Converter {

QString Count(qint64 count, const QString& singular, const QString& plural)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    if (count >= 1000000)
        return QStringLiteral("%1 M %2").arg(english.toString(double(count) / 1e6, 'f', 1), plural);
    return QStringLiteral("%1 %2").arg(english.toString(count), count == 1 ? singular : plural);
}

TResult Run(const TConvertJob& job, TProgress& progress)
{
    TResult result;
    TZLT_FrameList frames;
    TZLT_Pal palette;
    // Everything up to the write: any failure writes nothing.
    try {
        if (!job.PaletteFile.isEmpty())
            palette.LoadFromFile(job.PaletteFile);
        const auto textsAt = [&](qsizetype before, bool read) {
            bool any = false;
            for (const TConvertText& text : job.Texts)
                if (text.Before == before) {
                    any = true;
                    if (read)
                        ConvertVector::ReadText(text, palette, job, frames);
                }
            return any;
        };
        for (qsizetype i = 0; i < job.Inputs.size();) {
            textsAt(i, true);
            // SVG inputs one after the other share one placement.
            qsizetype end = i;
            while (end < job.Inputs.size() && ConvertVector::IsSvg(job.Inputs[end]) && (end == i || !textsAt(end, false)))
                ++end;
            if (end > i) {
                progress.Stage(QStringLiteral("reading ") + job.Inputs[i]);
                ConvertVector::ReadSvg(job.Inputs.mid(i, end - i), palette, job, frames);
                i = end;
                continue;
            }
            progress.Stage(QStringLiteral("reading ") + job.Inputs[i]);
            ConvertInputs::Read(job.Inputs[i], palette, frames, result.Warnings,
                                [&](qint64 done, qint64 total) { progress.Step(done, total); });
            ++i;
        }
        textsAt(job.Inputs.size(), true);
        KeepFrames(job, frames);
        ConvertOutputs::Check(job, frames);
        if (!job.Operations.empty()) {
            progress.Stage(QStringLiteral("changing the frames"));
            result.Clamped = ApplyOperations(job.Operations, frames);
        }
    } catch (const EZLT_Error& e) {
        result.Status = Refused;
        result.Error = e.Message();
        return result;
    } catch (const std::bad_alloc&) {
        result.Status = Refused;
        result.Error = QStringLiteral("out of memory");
        return result;
    }
    // Before the write: a catalog takes the frames over.
    const QString summary = Summary(job, frames);
    try {
        progress.Stage(QStringLiteral("writing ") + job.Output);
        ConvertOutputs::Write(job, frames, palette, [&](qint64 done, qint64 total) { progress.Step(done, total); });
    } catch (const EZLT_Error& e) {
        result.Status = WriteFailed;
        result.Error = e.Message();
        return result;
    } catch (const std::bad_alloc&) {
        result.Status = WriteFailed;
        result.Error = QStringLiteral("out of memory writing '%1'").arg(job.Output);
        return result;
    }
    result.Summary = summary;
    return result;
}

} // namespace Converter
