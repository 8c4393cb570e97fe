#include "ThumbCanvas.h"

#include "ThumbCoverage.h"
#include "ThumbLines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

using namespace ThumbLines;

namespace {
constexpr int64_t CoordLimit = int64_t(1) << 28;

int64_t ClampCoord(int64_t v)
{
    return std::clamp(v, -CoordLimit, CoordLimit);
}

// ceil(a / b) for b > 0.
int64_t CeilDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

// The steps of a line that fall in a box of width x height pixels at 0, 0:
// steps Lo to Hi, the first of them at major A and minor B, with the
// midpoint remainder Rem that Line's stepping starts from there.
struct TSteps
{
    bool XMajor;
    int64_t Lo, Hi;
    int64_t A, B;
    int64_t Sa, Sb;
    int64_t Rem, TwoN, TwoM;
};

// False when no step of the line lies in the box.
bool ClipSteps(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width, int64_t height, TSteps& s)
{
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    s.XMajor = adx >= ady;
    const int64_t n = s.XMajor ? adx : ady;
    if (n == 0)
        return false;
    const int64_t m = s.XMajor ? ady : adx;
    const int64_t a0 = s.XMajor ? x0 : y0;
    const int64_t b0 = s.XMajor ? y0 : x0;
    s.Sa = (s.XMajor ? dx : dy) > 0 ? 1 : -1;
    s.Sb = (s.XMajor ? dy : dx) >= 0 ? 1 : -1;
    const int64_t aSize = s.XMajor ? width : height;
    const int64_t bSize = s.XMajor ? height : width;
    int64_t lo = 0;
    int64_t hi = n - 1;
    if (s.Sa > 0) {
        lo = std::max(lo, -a0);
        hi = std::min(hi, aSize - 1 - a0);
    } else {
        lo = std::max(lo, a0 - (aSize - 1));
        hi = std::min(hi, a0);
    }
    const int64_t kLo = s.Sb > 0 ? -b0 : b0 - (bSize - 1);
    const int64_t kHi = s.Sb > 0 ? bSize - 1 - b0 : b0;
    if (m == 0) {
        if (kLo > 0 || kHi < 0)
            return false;
    } else {
        lo = std::max(lo, CeilDiv(2 * n * kLo - n, 2 * m));
        hi = std::min(hi, CeilDiv(2 * n * (kHi + 1) - n, 2 * m) - 1);
    }
    if (lo > hi)
        return false;
    s.Lo = lo;
    s.Hi = hi;
    s.TwoN = 2 * n;
    s.TwoM = 2 * m;
    s.Rem = n; // at i = 0; divisions only for a clipped start
    int64_t k = 0;
    if (lo > 0) {
        const int64_t num = s.TwoM * lo + n;
        s.Rem = num % s.TwoN;
        k = num / s.TwoN;
    }
    s.A = a0 + s.Sa * lo;
    s.B = b0 + s.Sb * k;
    return true;
}

} // namespace

TThumbCanvas::TThumbCanvas(QImage& image, QPoint origin)
    : FBits(reinterpret_cast<uint32_t*>(image.bits())), FStride(image.bytesPerLine() / 4),
      FWidth(image.width()), FHeight(image.height()), FOriginX(origin.x()), FOriginY(origin.y())
{
    Q_ASSERT(image.depth() == 32);
}

void TThumbCanvas::SetPenColor(uint8_t red, uint8_t green, uint8_t blue)
{
    FColor = 0xFF000000u | (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue);
}

void TThumbCanvas::MoveTo(int x, int y)
{
    const int64_t x1 = ClampCoord(int64_t(x) - FOriginX);
    const int64_t y1 = ClampCoord(int64_t(y) - FOriginY);
    if (FMoveLines && FPlaced)
        Line<true>(FX, FY, x1, y1, FMoveColor);
    FPlaced = true;
    FX = x1;
    FY = y1;
}

void TThumbCanvas::ShowBlankedMoves(uint32_t color, uint32_t background)
{
    FMoveLines = true;
    FMoveColor = color;
    FBackground = background;
}

void TThumbCanvas::LineTo(int x, int y)
{
    const int64_t x1 = ClampCoord(int64_t(x) - FOriginX);
    const int64_t y1 = ClampCoord(int64_t(y) - FOriginY);
    Line<false>(FX, FY, x1, y1, FColor);
    FPlaced = true;
    FX = x1;
    FY = y1;
}

// Pixel i (0 <= i < n) of a line whose longer axis spans n steps lies at
// major = a0 + sa * i and minor = b0 + sb * floor((2 * m * i + n) / (2 * n)),
// m being the shorter span. Clipping narrows the range of i exactly, so a
// clipped line sets the same pixels as the whole line would inside the image.
// Under sets only pixels that hold the background.
template<bool Under>
void TThumbCanvas::Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color)
{
    if (x0 >= 0 && x0 < FWidth && y0 >= 0 && y0 < FHeight && x1 >= 0 && x1 < FWidth && y1 >= 0 &&
        y1 < FHeight) {
        // The common case of a thumbnail: 32-bit steps, no clipping.
        InsideLine<Under>(FBits, int(FStride), int(x0), int(y0), int(x1), int(y1), color, FBackground);
        return;
    }
    TSteps steps;
    if (!ClipSteps(x0, y0, x1, y1, FWidth, FHeight, steps))
        return;
    int64_t rem = steps.Rem;
    int64_t offset = steps.XMajor ? steps.B * FStride + steps.A : steps.A * FStride + steps.B;
    const int64_t majorStep = steps.XMajor ? steps.Sa : steps.Sa * FStride;
    const int64_t minorStep = steps.XMajor ? steps.Sb * FStride : steps.Sb;
    for (int64_t i = steps.Lo; i <= steps.Hi; ++i) {
        if (!Under || FBits[offset] == FBackground)
            FBits[offset] = color;
        rem += steps.TwoM;
        if (rem >= steps.TwoN) {
            rem -= steps.TwoN;
            offset += minorStep;
        }
        offset += majorStep;
    }
}

// The dense drawing's steps that go the general way use both.
template void TThumbCanvas::Line<false>(int64_t, int64_t, int64_t, int64_t, uint32_t);
template void TThumbCanvas::Line<true>(int64_t, int64_t, int64_t, int64_t, uint32_t);

namespace {

// Code that leaves the upper halves of the 256-bit registers in use (Qt's
// image fill does) makes some processors run the SSE2 instructions that
// follow several times slower: those halves are cleared before drawing.
#if defined(__GNUC__) && defined(__x86_64__)
__attribute__((target("avx"))) void ClearUpperHalvesAvx()
{
    _mm256_zeroupper();
}

void ClearUpperHalves()
{
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        ClearUpperHalvesAvx();
}
#else
void ClearUpperHalves() {}
#endif

} // namespace

void TThumbCanvas::DrawPath(const TZLT_FramePath& path)
{
    if (path.Count() == 0)
        return;
    ClearUpperHalves();
    // Every point lands in [left, left + width] x [top, top + height] of the
    // image. Beyond the clamp, or where Draw's int sums would wrap, the
    // steps go one by one.
    const int64_t left = int64_t(path.Left()) - FOriginX;
    const int64_t top = int64_t(path.Top()) - FOriginY;
    const bool plain = int64_t(path.Left()) + path.Width() > INT32_MAX ||
                       int64_t(path.Top()) + path.Height() > INT32_MAX || left < -CoordLimit ||
                       top < -CoordLimit || left + path.Width() > CoordLimit || top + path.Height() > CoordLimit;
    if (plain) {
        TZLT_Canvas::DrawPath(path);
        return;
    }
    FDrewBackwards = !FMoveLines && LongSteps(path);
    if (FDrewBackwards) {
        if (!TraceLongLines(path, left, top))
            TraceBackwards(path, left, top);
    } else if (!TraceDense(path, left, top))
        TracePath(path, left, top);
}

// Long steps over a small cell set most pixels many times over. Drawn from
// the last step to the first, each pixel is set once and runs of steps
// within parts of the cell already full are passed over; short steps cost
// less drawn in order. Decided on a sample of the steps: 16 runs of 32
// spread over the frame, which come from memory faster than 512 steps
// apart would.
bool TThumbCanvas::LongSteps(const TZLT_FramePath& path)
{
    const int n = path.Count();
    if (n < 1024)
        return false;
    constexpr int Runs = 16, Run = 32;
    int64_t length = 0;
    for (int r = 0; r < Runs; ++r) {
        const int first = 1 + int(int64_t(r) * (n - 1 - Run) / (Runs - 1));
        for (int i = first; i < first + Run; ++i)
            length += std::max(std::abs(path.X(i) - path.X(i - 1)), std::abs(path.Y(i) - path.Y(i - 1)));
    }
    const int64_t mean = length / (Runs * Run);
    const int64_t area = (int64_t(path.Width()) + 1) * (int64_t(path.Height()) + 1);
    // Beyond 4 pixels a step is no longer one of the short ones drawn from
    // a table.
    return mean > 4 && n * mean >= 16 * area;
}

namespace {

thread_local TThumbCoverage Coverage;

// The box of count points, two points at a time with SSE2 where there is.
inline void RunBox(const TZLT_Point* points, int count, int& minX, int& maxX, int& minY, int& maxY)
{
    int i = 0;
    minX = maxX = points[0].X();
    minY = maxY = points[0].Y();
#if defined(__SSE2__)
    // A point is x, y, z as 16-bit numbers, then status and aux bytes.
    static_assert(sizeof(TZLT_Point) == 8);
    if (count >= 2) {
        __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points));
        __m128i high = low;
        for (i = 2; i + 1 < count; i += 2) {
            const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points + i));
            low = _mm_min_epi16(low, two);
            high = _mm_max_epi16(high, two);
        }
        // Lanes 0 and 4 hold x, 1 and 5 y.
        low = _mm_min_epi16(low, _mm_srli_si128(low, 8));
        high = _mm_max_epi16(high, _mm_srli_si128(high, 8));
        minX = int16_t(_mm_extract_epi16(low, 0));
        minY = int16_t(_mm_extract_epi16(low, 1));
        maxX = int16_t(_mm_extract_epi16(high, 0));
        maxY = int16_t(_mm_extract_epi16(high, 1));
    }
#endif
    for (; i < count; ++i) {
        minX = std::min<int>(minX, points[i].X());
        maxX = std::max<int>(maxX, points[i].X());
        minY = std::min<int>(minY, points[i].Y());
        maxY = std::max<int>(maxY, points[i].Y());
    }
}

} // namespace

// The same picture as TracePath without blanked moves, drawn from the last
// step to the first, each pixel set by the first step that reaches it. Runs
// of steps that lie in tiles already full are skipped on their bounding box
// alone, and the drawing ends once every pixel is set.
void TThumbCanvas::TraceBackwards(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    const int n = path.Count();
    const int w = path.Width();
    const int h = path.Height();
    const TZLT_Point* points = &path.Point(0);
    MoveTo(path.X(0), path.Y(0));
    FX = left + TZLT_FramePath::Scale(int(points[n - 1].X()) + 32768, w);
    FY = top + TZLT_FramePath::Scale(int(points[n - 1].Y()) + 32768, h);
    const TZLT_PalEntry& last = path.Colour(n - 1);
    SetPenColor(last.Red, last.Green, last.Blue);

    // The image's pixels the frame can reach.
    const int64_t boxLeft = std::max<int64_t>(0, left);
    const int64_t boxTop = std::max<int64_t>(0, top);
    const int64_t boxRight = std::min<int64_t>(FWidth - 1, left + w);
    const int64_t boxBottom = std::min<int64_t>(FHeight - 1, top + h);
    if (boxLeft > boxRight || boxTop > boxBottom)
        return;
    const int boxWidth = int(boxRight - boxLeft + 1);
    const int boxHeight = int(boxBottom - boxTop + 1);
    TThumbCoverage& cover = Coverage;
    cover.Reset(boxWidth, boxHeight);

    const auto colours = PixelColours(path.Palette());
    // From here on in the box's coordinates.
    const int ox = int(left - boxLeft);
    const int oy = int(top - boxTop);
    uint32_t* const bits = FBits + (boxTop * FStride + boxLeft);
    const int stride = int(FStride);
    uint8_t* const set = cover.Marks();
    const int setStride = cover.MarksStride();
    int64_t unset = int64_t(boxWidth) * boxHeight;

    // Once three quarters of the pixels are set, the unset ones are counted
    // (cover's sums), and a line or a piece of one whose box holds none of
    // them is passed over: random long lines seldom set every pixel, so the
    // drawing would not end early. The counts are taken again once the
    // steps walked since pass half the box; a pixel set since only costs a
    // line walked for nothing.
    bool sums = false;
    const int64_t area = int64_t(boxWidth) * boxHeight;
    int64_t unsetAtSums = 0;
    int64_t walkedSinceSums = 0;
    constexpr int Piece = 16; // steps
    // Fewer unset pixels than this are listed rather than walked to.
    const int64_t listLimit = std::max<int64_t>(64, area / 64);
    const auto line = [&](int x0, int y0, int x1, int y1, uint32_t color) {
        if (unsigned(x0) < unsigned(boxWidth) && unsigned(x1) < unsigned(boxWidth) &&
            unsigned(y0) < unsigned(boxHeight) && unsigned(y1) < unsigned(boxHeight)) {
            const int dx = x1 - x0;
            const int dy = y1 - y0;
            const int adx = dx < 0 ? -dx : dx;
            const int ady = dy < 0 ? -dy : dy;
            const bool xMajor = adx >= ady;
            const int steps = xMajor ? adx : ady;
            const int twoN = 2 * steps;
            const int twoM = 2 * (xMajor ? ady : adx);
            const int sx = dx < 0 ? -1 : 1;
            const int sy = dy < 0 ? -1 : 1;
            const int majorStep = xMajor ? sx : sy * stride;
            const int minorStep = xMajor ? sy * stride : sx;
            const int majorSet = xMajor ? sx : sy * setStride;
            const int minorSet = xMajor ? sy * setStride : sx;
            // With the unset pixels counted, a long line goes in pieces.
            // Step i lies at minor (twoM * i + steps) / twoN, as the walk
            // counts, so a piece's ends give its box.
            const int piece = sums && steps >= 2 * Piece ? Piece : steps;
            for (int first = 0; first < steps; first += piece) {
                const int last = std::min(steps, first + piece) - 1;
                const int64_t at = int64_t(twoM) * first + steps;
                const int minor = int(at / twoN);
                int x = x0 + (xMajor ? sx * first : sx * minor);
                int y = y0 + (xMajor ? sy * minor : sy * first);
                if (piece < steps) {
                    const int lastMinor = int((int64_t(twoM) * last + steps) / twoN);
                    const int xl = x0 + (xMajor ? sx * last : sx * lastMinor);
                    const int yl = y0 + (xMajor ? sy * lastMinor : sy * last);
                    if (!cover.AnyUnset(std::min(x, xl), std::max(x, xl), std::min(y, yl), std::max(y, yl)))
                        continue;
                }
                uint32_t* pixel = bits + (ptrdiff_t(y) * stride + x);
                uint8_t* mark = set + (ptrdiff_t(y) * setStride + x);
                int rem = int(at % twoN);
                walkedSinceSums += last - first + 1;
                for (int i = first; i <= last; ++i) {
                    if (!*mark) {
                        *mark = 1;
                        *pixel = color;
                        --unset;
                    }
                    rem += twoM;
                    const int carry = -int(rem >= twoN);
                    rem -= twoN & carry;
                    pixel += majorStep + (minorStep & carry);
                    mark += majorSet + (minorSet & carry);
                }
            }
            return;
        }
        TSteps s;
        if (!ClipSteps(x0, y0, x1, y1, boxWidth, boxHeight, s))
            return;
        int64_t rem = s.Rem;
        int64_t a = s.A;
        int64_t b = s.B;
        for (int64_t i = s.Lo; i <= s.Hi; ++i) {
            const int64_t x = s.XMajor ? a : b;
            const int64_t y = s.XMajor ? b : a;
            uint8_t& mark = set[y * setStride + x];
            if (!mark) {
                mark = 1;
                bits[y * stride + x] = color;
                --unset;
            }
            rem += s.TwoM;
            if (rem >= s.TwoN) {
                rem -= s.TwoN;
                b += s.Sb;
            }
            a += s.Sa;
        }
    };

    const auto drawn = [&](int x0, int y0, int x1, int y1, uint32_t color) {
        if (sums) {
            const int lx = std::max(0, std::min(x0, x1));
            const int hx = std::min(boxWidth - 1, std::max(x0, x1));
            const int ly = std::max(0, std::min(y0, y1));
            const int hy = std::min(boxHeight - 1, std::max(y0, y1));
            if (lx > hx || ly > hy || !cover.AnyUnset(lx, hx, ly, hy))
                return;
            if (cover.Listed()) {
                unset -= cover.SetListed(x0, y0, x1, y1, lx, hx, ly, hy, color, bits, stride);
                return;
            }
        }
        line(x0, y0, x1, y1, color);
    };

    constexpr int Run = 16; // steps per bounding box
    for (int end = n - 1; end >= 1 && unset > 0; end -= Run) {
        if (!cover.Listed() && unset <= listLimit) {
            // Few left: listed, and the counts taken afresh; both again
            // each time the unset pixels halve.
            cover.ListUnset();
            cover.BuildSums();
            unsetAtSums = unset;
            sums = true;
        } else if (cover.Listed() ? 2 * unset <= unsetAtSums
                   : sums         ? walkedSinceSums > area / 2 && unset < unsetAtSums
                                  : unset <= area / 4) {
            if (cover.Listed())
                cover.ListUnset();
            cover.BuildSums();
            unsetAtSums = unset;
            walkedSinceSums = 0;
            sums = true;
        }
        const int begin = std::max(0, end - Run); // points begin..end, steps into begin + 1..end
        int minX, maxX, minY, maxY;
        RunBox(points + begin, end - begin + 1, minX, maxX, minY, maxY);
        // Scaling keeps the order, so the box of the scaled points is the
        // scaled box; lines stay inside the box of their ends.
        const int bx0 = std::max(0, ox + TZLT_FramePath::Scale(minX + 32768, w));
        const int bx1 = std::min(boxWidth - 1, ox + TZLT_FramePath::Scale(maxX + 32768, w));
        const int by0 = std::max(0, oy + TZLT_FramePath::Scale(minY + 32768, h));
        const int by1 = std::min(boxHeight - 1, oy + TZLT_FramePath::Scale(maxY + 32768, h));
        if (bx0 > bx1 || by0 > by1)
            continue;
        bool full = !sums || !cover.AnyUnset(bx0, bx1, by0, by1);
        for (int ty = by0 >> 3; full && !sums && ty <= by1 >> 3; ++ty)
            for (int tx = bx0 >> 3; full && tx <= bx1 >> 3; ++tx)
                full = cover.TileFull(tx, ty);
        if (full)
            continue;
        int x1 = ox + TZLT_FramePath::Scale(int(points[end].X()) + 32768, w);
        int y1 = oy + TZLT_FramePath::Scale(int(points[end].Y()) + 32768, h);
        for (int i = end; i > begin; --i) {
            const TZLT_Point& p = points[i];
            const TZLT_Point& q = points[i - 1];
            const int x0 = ox + TZLT_FramePath::Scale(int(q.X()) + 32768, w);
            const int y0 = oy + TZLT_FramePath::Scale(int(q.Y()) + 32768, h);
            if (!p.Blanked())
                drawn(x0, y0, x1, y1, colours[p.ColorIndex()]);
            x1 = x0;
            y1 = y0;
        }
    }
}

void TThumbCanvas::TracePath(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    MoveTo(path.X(0), path.Y(0));
    const auto colours = PixelColours(path.Palette());
    const int n = path.Count();
    const TZLT_Point* const points = &path.Point(0);
    const int w = path.Width();
    const int h = path.Height();
    const int ileft = int(left);
    const int itop = int(top);
    const unsigned width = unsigned(FWidth);
    const unsigned height = unsigned(FHeight);
    const int stride = int(FStride);
    uint32_t* const bits = FBits;
    const bool moveLines = FMoveLines;
    const uint32_t moveColor = FMoveColor;
    const uint32_t background = FBackground;

    const TShortOffsets shortLines(stride);

    // Scaled a batch at a time, in a loop of its own that has no branches.
    constexpr int Batch = 256;
    int xs[Batch + 1];
    int ys[Batch + 1];
    xs[Batch] = int(FX);
    ys[Batch] = int(FY);
    for (int base = 1; base < n; base += Batch) {
        const int count = std::min(Batch, n - base);
        xs[0] = xs[Batch];
        ys[0] = ys[Batch];
        const TZLT_Point* batch = points + base;
        // The next batch comes from memory while this one is drawn.
        for (int k = Batch; k < 2 * Batch && base + k < n; k += 64 / int(sizeof(TZLT_Point)))
            __builtin_prefetch(batch + k);
        if (w <= 65535 && h <= 65535) {
            // The products fit 32 bits unsigned.
            int k = 0;
#if defined(__SSE2__)
            // Four points at a time.
            const __m128i sizes = _mm_set1_epi32(int(uint32_t(w) | (uint32_t(h) << 16)));
            const __m128i lowHalf = _mm_set1_epi32(0xFFFF);
            const __m128i lefts = _mm_set1_epi32(ileft);
            const __m128i tops = _mm_set1_epi32(itop);
            for (; k + 4 <= count; k += 4) {
                __m128i xy, upper;
                TVec128::Load(batch + k, xy, upper);
                const __m128i scaled = ScalePoints<TVec128>(xy, sizes);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(xs + k + 1),
                                 _mm_add_epi32(_mm_and_si128(scaled, lowHalf), lefts));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(ys + k + 1),
                                 _mm_add_epi32(_mm_srli_epi32(scaled, 16), tops));
            }
#endif
            for (; k < count; ++k) {
                const uint32_t px = uint32_t(int(batch[k].X()) + 32768) * uint32_t(w);
                const uint32_t py = uint32_t(int(batch[k].Y()) + 32768) * uint32_t(h);
                xs[k + 1] = ileft + int((px + 0x7FFFu + ((px >> 16) & 1u)) >> 16);
                ys[k + 1] = itop + int((py + 0x7FFFu + ((py >> 16) & 1u)) >> 16);
            }
        } else {
            for (int k = 0; k < count; ++k) {
                xs[k + 1] = ileft + TZLT_FramePath::Scale(int(batch[k].X()) + 32768, w);
                ys[k + 1] = itop + TZLT_FramePath::Scale(int(batch[k].Y()) + 32768, h);
            }
        }
        for (int k = 0; k < count; ++k) {
            const int x0 = xs[k], y0 = ys[k], x1 = xs[k + 1], y1 = ys[k + 1];
            const uint8_t status = batch[k].Status();
            const bool inside =
                unsigned(x0) < width && unsigned(x1) < width && unsigned(y0) < height && unsigned(y1) < height;
            if (status & TZLT_Point::BlankBit) {
                if (moveLines) {
                    if (inside)
                        InsideLine<true>(bits, stride, x0, y0, x1, y1, moveColor, background);
                    else
                        Line<true>(x0, y0, x1, y1, moveColor);
                }
            } else if (inside) {
                const uint32_t color = colours[status & TZLT_Point::ColorMask];
                const int dx = x1 - x0;
                const int dy = y1 - y0;
                if (unsigned(dx + 4) <= 8u && unsigned(dy + 4) <= 8u) {
                    // A line of no steps writes aside.
                    const int32_t* const offsets = shortLines.Offsets[(dy + 4) * 9 + dx + 4];
                    uint32_t aside;
                    const uintptr_t none = -uintptr_t((dx | dy) == 0);
                    uint32_t* const first = reinterpret_cast<uint32_t*>(
                        (reinterpret_cast<uintptr_t>(bits + (ptrdiff_t(y0) * stride + x0)) & ~none) |
                        (reinterpret_cast<uintptr_t>(&aside) & none));
                    first[offsets[0]] = color;
                    first[offsets[1]] = color;
                    first[offsets[2]] = color;
                    first[offsets[3]] = color;
                } else {
                    InsideLine<false>(bits, stride, x0, y0, x1, y1, color, 0);
                }
            } else {
                Line<false>(x0, y0, x1, y1, colours[status & TZLT_Point::ColorMask]);
            }
        }
        xs[Batch] = xs[count];
        ys[Batch] = ys[count];
    }
    FX = xs[Batch];
    FY = ys[Batch];
    FColor = colours[points[n - 1].ColorIndex()];
}
