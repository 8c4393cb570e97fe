#include "FrameTools.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace FrameTools {

namespace {

constexpr int FieldMin = -32768;
constexpr int FieldMax = 32767;

// The integer nearest to v, halves away from zero, clamped to the field;
// clamped tells whether the clamp moved it. Within the field the truncated
// value and the remainder v - i are exact, so no half is misjudged.
inline int FieldRound(double v, bool& clamped)
{
    if (!(v > FieldMin - 0.5)) { // also NaN
        clamped = true;
        return FieldMin;
    }
    if (v >= FieldMax + 0.5) {
        clamped = true;
        return FieldMax;
    }
    const int i = int(v);
    const double rest = v - i;
    return i + int(rest >= 0.5) - int(rest <= -0.5); // no branch: halves come at random
}

inline int FieldClamp(int v, bool& clamped)
{
    if (v < FieldMin) {
        clamped = true;
        return FieldMin;
    }
    if (v > FieldMax) {
        clamped = true;
        return FieldMax;
    }
    return v;
}

inline TZLT_Point At(const TZLT_Point& p, int x, int y)
{
    return TZLT_Point(int16_t(x), int16_t(y), p.Z(), p.Status(), p.Aux());
}

inline TZLT_Point WithStatus(const TZLT_Point& p, uint8_t status)
{
    return TZLT_Point(p.X(), p.Y(), p.Z(), status, p.Aux());
}

TExtent ExtentOf(const TZLT_Point* points, int n)
{
    TExtent e;
    if (n <= 0)
        return e;
    int minX = FieldMax, maxX = FieldMin, minY = FieldMax, maxY = FieldMin;
    for (int i = 0; i < n; ++i) {
        const int x = points[i].X();
        const int y = points[i].Y();
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    return TExtent{minX, maxX, minY, maxY, false};
}

// cos and sin of an angle in degrees, exact for multiples of 90.
void CosSin(double degrees, double& c, double& s)
{
    const double r = std::fmod(degrees, 360.0);
    if (r == 0) {
        c = 1, s = 0;
    } else if (r == 180 || r == -180) {
        c = -1, s = 0;
    } else if (r == 90 || r == -270) {
        c = 0, s = 1;
    } else if (r == -90 || r == 270) {
        c = 0, s = -1;
    } else {
        const double radians = r * std::numbers::pi / 180.0;
        c = std::cos(radians);
        s = std::sin(radians);
    }
}

// Two points at a time in SSE2 (every x86-64 processor has it): the same
// operations in the same order as FieldRound on one point, so the results
// are the same to the bit. Halves go away from zero: after truncation the
// remainder r is exact, and so is 2r, whose truncation is the step away
// from zero. Values far outside are first cut to +-1e9 (NaN to -1e9), and
// saturating to 16 bits is the clamp.
int TransformPoints(const TZLT_Point* in, TZLT_Point* out, int n, const TTransform& t, TPointF pivot)
{
    double c = 1, s = 0;
    CosSin(t.Rotate, c, s);
    const double px = pivot.X, py = pivot.Y;
    const double sx = t.ScaleX, sy = t.ScaleY, mx = t.MoveX, my = t.MoveY;
    int clamped = 0;
    int i = 0;
#if defined(__SSE2__)
    const __m128d vpx = _mm_set1_pd(px), vpy = _mm_set1_pd(py), vsx = _mm_set1_pd(sx), vsy = _mm_set1_pd(sy);
    const __m128d vmx = _mm_set1_pd(mx), vmy = _mm_set1_pd(my), vc = _mm_set1_pd(c), vs = _mm_set1_pd(s);
    const __m128d hundred = _mm_set1_pd(100.0), two = _mm_set1_pd(2.0);
    const __m128d low = _mm_set1_pd(-1e9), high = _mm_set1_pd(1e9);
    const auto round = [&](__m128d v) {
        v = _mm_min_pd(_mm_max_pd(v, low), high);
        const __m128i whole = _mm_cvttpd_epi32(v);
        const __m128d rest = _mm_sub_pd(v, _mm_cvtepi32_pd(whole));
        return _mm_add_epi32(whole, _mm_cvttpd_epi32(_mm_mul_pd(two, rest)));
    };
    for (; i + 2 <= n; i += 2) {
        const TZLT_Point p0 = in[i], p1 = in[i + 1];
        const __m128d x = _mm_set_pd(p1.X(), p0.X()), y = _mm_set_pd(p1.Y(), p0.Y());
        const __m128d dx = _mm_div_pd(_mm_mul_pd(_mm_sub_pd(x, vpx), vsx), hundred);
        const __m128d dy = _mm_div_pd(_mm_mul_pd(_mm_sub_pd(y, vpy), vsy), hundred);
        const __m128d nx = _mm_add_pd(_mm_add_pd(_mm_add_pd(vpx, _mm_mul_pd(dx, vc)), _mm_mul_pd(dy, vs)), vmx);
        const __m128d ny = _mm_add_pd(_mm_add_pd(_mm_sub_pd(vpy, _mm_mul_pd(dx, vs)), _mm_mul_pd(dy, vc)), vmy);
        const __m128i xy = _mm_unpacklo_epi32(round(nx), round(ny)); // x0 y0 x1 y1
        const __m128i packed = _mm_packs_epi32(xy, xy);
        const __m128i back = _mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16);
        const int moved = _mm_movemask_ps(_mm_castsi128_ps(_mm_xor_si128(_mm_cmpeq_epi32(back, xy), _mm_set1_epi32(-1))));
        clamped += ((moved & 3) != 0) + ((moved & 12) != 0);
        const uint64_t words = uint64_t(_mm_cvtsi128_si64(packed));
        out[i] = At(p0, int16_t(words), int16_t(words >> 16));
        out[i + 1] = At(p1, int16_t(words >> 32), int16_t(words >> 48));
    }
#endif
    for (; i < n; ++i) {
        const TZLT_Point p = in[i];
        const double dx = (double(p.X()) - px) * sx / 100.0;
        const double dy = (double(p.Y()) - py) * sy / 100.0;
        bool moved = false;
        const int x = FieldRound(px + dx * c + dy * s + mx, moved);
        const int y = FieldRound(py - dx * s + dy * c + my, moved);
        clamped += moved ? 1 : 0;
        out[i] = At(p, x, y);
    }
    return clamped;
}

void MirrorPoints(const TZLT_Point* in, TZLT_Point* out, int n, bool alongX)
{
    const TExtent e = ExtentOf(in, n);
    const int sumX = e.MinX + e.MaxX, sumY = e.MinY + e.MaxY;
    for (int i = 0; i < n; ++i) {
        const TZLT_Point p = in[i];
        out[i] = alongX ? At(p, sumX - p.X(), p.Y()) : At(p, p.X(), sumY - p.Y());
    }
}

int CentrePoints(const TZLT_Point* in, TZLT_Point* out, int n)
{
    const TExtent e = ExtentOf(in, n);
    const int cx = (e.MinX + e.MaxX) >> 1; // floor of the half
    const int cy = (e.MinY + e.MaxY) >> 1;
    int clamped = 0;
    for (int i = 0; i < n; ++i) {
        const TZLT_Point p = in[i];
        bool moved = false;
        const int x = FieldClamp(p.X() - cx, moved);
        const int y = FieldClamp(p.Y() - cy, moved);
        clamped += moved ? 1 : 0;
        out[i] = At(p, x, y);
    }
    return clamped;
}

// Centred without the clamp, then scaled: the result never leaves the field.
void FitPoints(const TZLT_Point* in, TZLT_Point* out, int n)
{
    const TExtent e = ExtentOf(in, n);
    const int cx = (e.MinX + e.MaxX) >> 1;
    const int cy = (e.MinY + e.MaxY) >> 1;
    int largest = 0;
    for (int i = 0; i < n; ++i)
        largest = std::max({largest, std::abs(in[i].X() - cx), std::abs(in[i].Y() - cy)});
    for (int i = 0; i < n; ++i) {
        const TZLT_Point p = in[i];
        const int x = p.X() - cx, y = p.Y() - cy;
        if (largest == 0) {
            out[i] = At(p, x, y);
            continue;
        }
        bool unused = false;
        out[i] = At(p, FieldRound(double(x) * FieldMax / largest, unused),
                    FieldRound(double(y) * FieldMax / largest, unused));
    }
}

// q0 = position of p(n-1) with the status of p0; qj = position of
// p(n-1-j) with the status of p(n-j).
void ReversePoints(const TZLT_Point* in, TZLT_Point* out, int n)
{
    if (n <= 0)
        return;
    if (in != out) {
        out[0] = WithStatus(in[n - 1], in[0].Status());
        for (int j = 1; j < n; ++j)
            out[j] = WithStatus(in[n - 1 - j], in[n - j].Status());
        return;
    }
    std::reverse(out, out + n);
    // Now qj holds the status of p(n-1-j); each moves one place on.
    const uint8_t first = out[n - 1].Status();
    for (int j = n - 1; j >= 1; --j)
        out[j] = WithStatus(out[j], out[j - 1].Status());
    out[0] = WithStatus(out[0], first);
}

inline bool Lit(const TZLT_Point& p)
{
    return !p.Blanked();
}

inline uint8_t Coloured(const TZLT_Point& p, int colour)
{
    return uint8_t((p.Status() & ~TZLT_Point::ColorMask) | (colour & TZLT_Point::ColorMask));
}

void SetColourPoints(const TZLT_Point* in, TZLT_Point* out, int n, int colour)
{
    for (int i = 0; i < n; ++i)
        out[i] = Lit(in[i]) ? WithStatus(in[i], Coloured(in[i], colour)) : in[i];
}

void ReplaceColourPoints(const TZLT_Point* in, TZLT_Point* out, int n, int from, int to)
{
    for (int i = 0; i < n; ++i)
        out[i] = Lit(in[i]) && in[i].ColorIndex() == from ? WithStatus(in[i], Coloured(in[i], to)) : in[i];
}

// from + round((to - from) * k / (m - 1)) in integers, halves away from zero.
void GradientPoints(const TZLT_Point* in, TZLT_Point* out, int n, int from, int to)
{
    int lit = 0;
    for (int i = 0; i < n; ++i)
        lit += Lit(in[i]) ? 1 : 0;
    const int span = to - from;
    const int den = std::max(lit - 1, 1);
    int k = 0;
    for (int i = 0; i < n; ++i) {
        if (!Lit(in[i])) {
            out[i] = in[i];
            continue;
        }
        const int num = span * k++;
        const int step = num >= 0 ? (2 * num + den) / (2 * den) : -((-2 * num + den) / (2 * den));
        out[i] = WithStatus(in[i], Coloured(in[i], from + step));
    }
}

int Colour(const TValue& value, int k, int n)
{
    return int(std::clamp<int64_t>(RoundHalfAway(value.At(k, n)), 0, TZLT_Point::ColorMask));
}

// One operation on one frame's points, for the k-th of n used frames; in
// and out may be the same points.
int ApplyOne(const TOperation& op, const TZLT_Point* in, TZLT_Point* out, int count, int k, int n,
             TPointF all)
{
    switch (op.Kind) {
    case TKind::MirrorX:
    case TKind::MirrorY:
        MirrorPoints(in, out, count, op.Kind == TKind::MirrorX);
        return 0;
    case TKind::RotateLeft:
    case TKind::RotateRight: {
        TTransform t;
        t.Rotate = op.Kind == TKind::RotateLeft ? 90 : -90;
        return TransformPoints(in, out, count, t, Centre(ExtentOf(in, count)));
    }
    case TKind::Centre:
        return CentrePoints(in, out, count);
    case TKind::Fit:
        FitPoints(in, out, count);
        return 0;
    case TKind::Reverse:
        ReversePoints(in, out, count);
        return 0;
    case TKind::Transform: {
        const TTransform t{op.MoveX.At(k, n), op.MoveY.At(k, n), op.ScaleX.At(k, n), op.ScaleY.At(k, n),
                           op.Rotate.At(k, n)};
        TPointF pivot;
        switch (op.Pivot.Kind) {
        case TPivotKind::Centre:
            pivot = Centre(ExtentOf(in, count));
            break;
        case TPivotKind::Origin:
            break;
        case TPivotKind::All:
            pivot = all;
            break;
        case TPivotKind::Point:
            pivot = TPointF{op.Pivot.X.At(k, n), op.Pivot.Y.At(k, n)};
            break;
        }
        return TransformPoints(in, out, count, t, pivot);
    }
    case TKind::SetColour:
        SetColourPoints(in, out, count, Colour(op.ColourA, k, n));
        return 0;
    case TKind::ReplaceColour:
        ReplaceColourPoints(in, out, count, Colour(op.ColourA, k, n), Colour(op.ColourB, k, n));
        return 0;
    case TKind::Gradient:
        GradientPoints(in, out, count, Colour(op.ColourA, k, n), Colour(op.ColourB, k, n));
        return 0;
    case TKind::Optimise:
    case TKind::Minimise:
        break; // they change the number of points: Run does them
    }
    return 0;
}

int OnFrame(TZLT_Frame& frame, const TOperation& op)
{
    TZLT_Frame::Points& points = frame.AllPoints();
    return ApplyOne(op, points.data(), points.data(), int(points.size()), 0, 1, TPointF{});
}

TOperation Op(TKind kind)
{
    TOperation op;
    op.Kind = kind;
    return op;
}

// The operations in order over all frames: the first reads sources and
// writes targets (they may be the same frames), the later ones work on the
// targets. The centre of all frames is taken afresh for each operation.
bool NeedsAll(const TOperation& op)
{
    return op.Kind == TKind::Transform && op.Pivot.Kind == TPivotKind::All;
}

// A null target is left out (FirstApplied); allCentre stands in for the
// centre of all sources in the first operation.
int Run(const std::vector<TOperation>& operations, const std::vector<const TZLT_Frame*>& sources,
        const std::vector<TZLT_Frame*>& targets, std::optional<TPointF> allCentre = {})
{
    int used = 0;
    for (const TZLT_Frame* frame : sources)
        used += frame->Used() ? 1 : 0;
    int clamped = 0;
    bool first = true;
    for (const TOperation& op : operations) {
        const auto source = [&](size_t i) -> const TZLT_Frame& { return first ? *sources[i] : *targets[i]; };
        TPointF all;
        if (NeedsAll(op) && first && allCentre) {
            all = *allCentre;
        } else if (NeedsAll(op)) {
            TExtent e;
            for (size_t i = 0; i < sources.size(); ++i)
                e = e | Extent(source(i));
            all = Centre(e);
        }
        int k = 0;
        for (size_t i = 0; i < sources.size(); ++i) {
            if (!sources[i]->Used())
                continue;
            if (!targets[i]) {
                ++k;
                continue;
            }
            const TZLT_Frame& in = source(i);
            TZLT_Frame::Points& out = targets[i]->AllPoints();
            if (op.Kind == TKind::Optimise || op.Kind == TKind::Minimise) {
                TZLT_Frame::Points result = op.Kind == TKind::Optimise ? Optimised(in.AllPoints(), op.Scanner)
                                                                       : Minimised(in.AllPoints());
                out = std::move(result);
                ++k;
                continue;
            }
            if (&in != targets[i])
                out.resize(in.AllPoints().size()); // left unset: every point is written
            clamped += ApplyOne(op, in.AllPoints().data(), out.data(), in.Count(), k++, used, all);
        }
        first = false;
    }
    if (first) { // no operation: the frames as they are
        for (size_t i = 0; i < sources.size(); ++i)
            if (targets[i] && sources[i] != targets[i])
                targets[i]->AllPoints() = sources[i]->AllPoints();
    }
    return clamped;
}

} // namespace

TExtent TExtent::operator|(const TExtent& other) const
{
    if (Empty)
        return other;
    if (other.Empty)
        return *this;
    return TExtent{std::min(MinX, other.MinX), std::max(MaxX, other.MaxX), std::min(MinY, other.MinY),
                   std::max(MaxY, other.MaxY), false};
}

TExtent Extent(const TZLT_Frame& frame)
{
    return ExtentOf(frame.AllPoints().data(), frame.Count());
}

TPointF Centre(const TExtent& extent)
{
    if (extent.Empty)
        return {};
    return TPointF{(extent.MinX + extent.MaxX) / 2.0, (extent.MinY + extent.MaxY) / 2.0};
}

int64_t RoundHalfAway(double value)
{
    return int64_t(std::round(value));
}

double Ramp(double first, double last, int k, int n)
{
    if (n < 2)
        return first;
    return first + (last - first) * k / (n - 1);
}

void MirrorX(TZLT_Frame& frame)
{
    OnFrame(frame, Op(TKind::MirrorX));
}

void MirrorY(TZLT_Frame& frame)
{
    OnFrame(frame, Op(TKind::MirrorY));
}

int RotateLeft(TZLT_Frame& frame)
{
    return OnFrame(frame, Op(TKind::RotateLeft));
}

int RotateRight(TZLT_Frame& frame)
{
    return OnFrame(frame, Op(TKind::RotateRight));
}

int CentreFrame(TZLT_Frame& frame)
{
    return OnFrame(frame, Op(TKind::Centre));
}

void Fit(TZLT_Frame& frame)
{
    OnFrame(frame, Op(TKind::Fit));
}

void Reverse(TZLT_Frame& frame)
{
    OnFrame(frame, Op(TKind::Reverse));
}

int Transform(TZLT_Frame& frame, const TTransform& transform, TPointF pivot)
{
    TZLT_Frame::Points& points = frame.AllPoints();
    return TransformPoints(points.data(), points.data(), int(points.size()), transform, pivot);
}

void SetColour(TZLT_Frame& frame, int colour)
{
    TOperation op = Op(TKind::SetColour);
    op.ColourA = colour;
    OnFrame(frame, op);
}

void ReplaceColour(TZLT_Frame& frame, int from, int to)
{
    TOperation op = Op(TKind::ReplaceColour);
    op.ColourA = from;
    op.ColourB = to;
    OnFrame(frame, op);
}

void Gradient(TZLT_Frame& frame, int from, int to)
{
    TOperation op = Op(TKind::Gradient);
    op.ColourA = from;
    op.ColourB = to;
    OnFrame(frame, op);
}

int Apply(const std::vector<TOperation>& operations, const std::vector<TZLT_Frame*>& frames)
{
    const std::vector<const TZLT_Frame*> sources(frames.begin(), frames.end());
    return Run(operations, sources, frames);
}

std::vector<std::unique_ptr<TZLT_Frame>> Applied(const std::vector<TOperation>& operations,
                                                 const std::vector<const TZLT_Frame*>& sources, int* clamped)
{
    std::vector<std::unique_ptr<TZLT_Frame>> results;
    results.reserve(sources.size());
    std::vector<TZLT_Frame*> targets;
    targets.reserve(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        results.push_back(std::make_unique<TZLT_Frame>());
        targets.push_back(results.back().get());
    }
    const int count = Run(operations, sources, targets);
    if (clamped)
        *clamped = count;
    return results;
}

TPointF CentreOfAll(const std::vector<const TZLT_Frame*>& frames)
{
    TExtent e;
    for (const TZLT_Frame* frame : frames)
        e = e | Extent(*frame);
    return Centre(e);
}

std::unique_ptr<TZLT_Frame> FirstApplied(const std::vector<TOperation>& operations,
                                         const std::vector<const TZLT_Frame*>& sources, int* clamped,
                                         std::optional<TPointF> allCentre)
{
    const auto firstUsed = std::find_if(sources.begin(), sources.end(), [](const TZLT_Frame* f) { return f->Used(); });
    if (firstUsed == sources.end())
        return nullptr;
    const size_t index = size_t(firstUsed - sources.begin());
    const bool everyFrame =
        std::any_of(operations.begin() + std::min<size_t>(1, operations.size()), operations.end(), NeedsAll);
    if (everyFrame) {
        auto all = Applied(operations, sources, clamped);
        return std::move(all[index]);
    }
    auto result = std::make_unique<TZLT_Frame>();
    std::vector<TZLT_Frame*> targets(sources.size(), nullptr);
    targets[index] = result.get();
    const int count = Run(operations, sources, targets, allCentre);
    if (clamped)
        *clamped = count;
    return result;
}

} // namespace FrameTools
