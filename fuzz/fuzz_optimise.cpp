// Optimiser: arbitrary frames and scanner profiles. The result keeps the lit
// picture (within the tolerance of minimising), no step is longer than the
// profile allows, and a frame beyond 65535 points is left as it was.

#include "FuzzCheck.h"
#include "OptimiseTestKit.h"
#include "Optimiser.h"

#include <cstddef>
#include <cstdint>

namespace {
int Word(const uint8_t* d)
{
    return d[0] | (d[1] << 8);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t Header = 13;
    if (size < Header)
        return 0;
    TScannerProfile profile;
    profile.PointRate = 1000 + Word(data) % 99001;
    profile.LitStep = 1 + Word(data + 2);
    profile.BlankedStep = 1 + Word(data + 4);
    profile.ReversalUs = data[6] * 4;
    profile.CornerAngle = data[7] % 181;
    profile.AnchorUs = data[8] * 2;
    profile.WaitUs = data[9] * 2;
    profile.KeepOrder = data[10] & 1;
    profile.ColourDelayUs = (data[10] & 2) ? data[11] * 2 : 0;
    (void)data[12]; // room for later fields

    TZLT_Frame frame;
    for (size_t at = Header; at + 8 <= size && frame.Count() < TZLT_Frame::MaxPoints; at += 8) {
        const uint8_t* p = data + at;
        frame.Add(TZLT_Point(int16_t(Word(p)), int16_t(Word(p + 2)), int16_t(Word(p + 4)), p[6], p[7]));
    }
    const TZLT_Frame::Points before = frame.AllPoints();
    const TOptimiseResult r = Optimise(frame, profile);
    const TZLT_Frame::Points& out = frame.AllPoints();
    if (r.TooLong) {
        FUZZ_CHECK(r.Needed > TZLT_Frame::MaxPoints);
        FUZZ_CHECK(out == before);
        return 0;
    }
    FUZZ_CHECK(out.size() <= size_t(TZLT_Frame::MaxPoints));
    FUZZ_CHECK(r.Needed == qint64(out.size()));
    FUZZ_CHECK(before.empty() == out.empty());
    if (OptKit::Runs(out).empty())
        return 0; // nothing lit: only repeats were dropped
    const TScannerProfile p = profile.Clamped();
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t from = i == 0 ? out.size() - 1 : i - 1;
        FUZZ_CHECK(OptKit::Cheb(out[from], out[i]) <= (OptKit::Lit(out, i) ? p.LitStep : p.BlankedStep));
    }
    if (profile.ColourDelayPoints() == 0)
        FUZZ_CHECK(OptKit::PictureDistance(before, out) <= MinimiseTolerance + 1);
    return 0;
}
