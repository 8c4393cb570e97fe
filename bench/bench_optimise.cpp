// Optimising frames for the scanner, each beside a plain copy of the same
// points: one frame of 2,000 paths (about 65,000 points once optimised), one
// of 5,000 dots (the order must not be quadratic), and a full catalog of
// 32,767 frames of 200 points.

#include "BenchSupport.h"
#include "Optimiser.h"

#include <QRandomGenerator>

namespace {
using TPoints = TZLT_Frame::Points;

TZLT_Point P(int x, int y, uint8_t status)
{
    return TZLT_Point(int16_t(std::clamp(x, -32768, 32767)), int16_t(std::clamp(y, -32768, 32767)), 0, status, 0);
}

// Short polylines spread over the field: vertices turning by random angles.
TPoints Polylines(QRandomGenerator& rng, int paths, int vertices, int length)
{
    TPoints p;
    for (int i = 0; i < paths; ++i) {
        int x = int(rng.bounded(60000)) - 30000, y = int(rng.bounded(60000)) - 30000;
        p.push_back(P(x, y, 0x40));
        const uint8_t colour = uint8_t(rng.bounded(1, 64));
        for (int k = 0; k < vertices; ++k) {
            x += int(rng.bounded(2 * length + 1)) - length;
            y += int(rng.bounded(2 * length + 1)) - length;
            p.push_back(P(x, y, colour));
        }
    }
    return p;
}

double CopyMs(const std::vector<TPoints>& frames, int runs)
{
    std::vector<TPoints> copies(frames.size());
    return Bench::BestMs(runs, [&] { copies.assign(frames.size(), TPoints()); },
                         [&] {
                             for (size_t i = 0; i < frames.size(); ++i)
                                 copies[i] = frames[i];
                         });
}

double OptimiseMs(const std::vector<TPoints>& frames, const TScannerProfile& profile, int runs, qint64& pointsAfter)
{
    return Bench::BestMs(runs, [] {},
                         [&] {
                             pointsAfter = 0;
                             for (const TPoints& f : frames)
                                 pointsAfter += qint64(Optimised(f, profile).size());
                         });
}
} // namespace

int main()
{
    QRandomGenerator rng(2026);
    const TScannerProfile defaults;
    qint64 after = 0;

    const std::vector<TPoints> big{Polylines(rng, 2000, 3, 2900)};
    const double bigMs = OptimiseMs(big, defaults, 5, after);
    Bench::Print("paths2000_points_before", double(big[0].size()));
    Bench::Print("paths2000_points_after", double(after));
    Bench::Print("paths2000_ms", bigMs);
    Bench::Print("paths2000_copy_ms", CopyMs(big, 5));

    // Dots: waits of 66 us, so the frame stays inside 65535 points.
    TScannerProfile dotProfile;
    dotProfile.WaitUs = 66;
    const std::vector<TPoints> dots{Polylines(rng, 5000, 1, 0)};
    const double dotsMs = OptimiseMs(dots, dotProfile, 5, after);
    Bench::Print("dots5000_points_after", double(after));
    Bench::Print("dots5000_ms", dotsMs);
    Bench::Print("dots5000_copy_ms", CopyMs(dots, 5));

    std::vector<TPoints> catalog;
    catalog.reserve(TZLT_Cat::SlotCount);
    for (int i = 0; i < TZLT_Cat::SlotCount; ++i)
        catalog.push_back(Polylines(rng, 5, 39, 900)); // 200 points
    const double catalogMs = OptimiseMs(catalog, defaults, 2, after);
    Bench::Print("catalog_points_after", double(after));
    Bench::Print("catalog_ms", catalogMs);
    Bench::Print("catalog_copy_ms", CopyMs(catalog, 3));
    return 0;
}
