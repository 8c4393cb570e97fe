#include "FrameBuilding.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace Vector {

int NearestColour(const TZLT_Pal& palette, int red, int green, int blue)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < palette.Count(); ++i) {
        const TZLT_PalEntry& e = palette.ColorOf(uint8_t(i));
        const long dr = e.Red - red, dg = e.Green - green, db = e.Blue - blue;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int ResolvedIndex(const TZLT_Pal& palette, int index)
{
    if (index == TVectorOptions::PaletteWhite)
        return NearestColour(palette, 255, 255, 255);
    if (index < 0)
        return -1;
    return std::min(index, TZLT_Pal::EntryCount - 1);
}

int PaletteIndex(const TZLT_Pal& palette, const QColor& colour, const TVectorOptions& options)
{
    const QColor rgb = colour.toRgb();
    const int index = NearestColour(palette, rgb.red(), rgb.green(), rgb.blue());
    const TZLT_PalEntry& e = palette.ColorOf(uint8_t(index));
    const bool black = (rgb.red() == 0 && rgb.green() == 0 && rgb.blue() == 0) ||
                       (e.Red == 0 && e.Green == 0 && e.Blue == 0);
    return black ? ResolvedIndex(palette, options.BlackAs) : index;
}

TVectorFrame BuildFrame(const TPathMaker& make, const TVectorOptions& options, int coarsenings)
{
    TVectorFrame result;
    double tolerance = FlatteningTolerance;
    qint64 needed = 0;
    bool beyondCount = false; // needed is only a lower bound
    // Doubling the tolerance saves at most a factor of about 1.41 on curves
    // and nothing on the points every path needs: rounds that cannot bring
    // the frame down to a size are not tried.
    const auto hopeless = [&](int round) {
        return double(needed) > TZLT_Frame::MaxPoints * std::pow(2.0, (coarsenings - round) / 2.0);
    };
    for (int round = 0; round <= coarsenings; ++round, tolerance *= 2) {
        std::vector<TFramePath> paths;
        if (!make(tolerance, paths)) {
            needed = std::max<qint64>(needed, qint64(16) * TZLT_Frame::MaxPoints);
            beyondCount = true;
            if (hopeless(round))
                break;
            continue;
        }
        TZLT_Frame::Points points = PointsFromPaths(paths);
        paths.clear();
        if (options.Optimise) {
            TOptimiseResult r;
            TZLT_Frame::Points out = Optimised(points, options.Scanner, &r);
            if (r.TooLong || out.size() > size_t(TZLT_Frame::MaxPoints)) {
                needed = std::max<qint64>(r.Needed, qint64(out.size()));
                if (hopeless(round))
                    break;
                continue;
            }
            points = std::move(out);
        } else if (points.size() > size_t(TZLT_Frame::MaxPoints)) {
            needed = qint64(points.size());
            if (hopeless(round))
                break;
            continue;
        }
        result.Frame = std::make_unique<TZLT_Frame>();
        result.Frame->AllPoints() = std::move(points);
        if (round > 0)
            result.Detail = QStringLiteral("curves within %1 units to fit").arg(tolerance);
        return result;
    }
    result.Problem = TVectorProblem::TooManyPoints;
    if (needed > 0)
        result.Detail = (beyondCount ? QStringLiteral("more than %1 points") : QStringLiteral("%1 points")).arg(needed);
    return result;
}

} // namespace Vector
