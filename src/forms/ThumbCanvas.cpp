#include "ThumbCanvas.h"

#include <algorithm>
#include <array>

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

// ShortMinor[n][m][i]: the steps along the shorter axis up to pixel i of a
// line of n steps along the longer axis and m along the shorter,
// (2 * m * i + n) / (2 * n) as Line counts them.
constexpr auto ShortMinor = [] {
    std::array<std::array<std::array<uint8_t, 4>, 5>, 5> table{};
    for (int n = 1; n <= 4; ++n)
        for (int m = 0; m <= n; ++m)
            for (int i = 0; i < 4; ++i)
                table[size_t(n)][size_t(m)][size_t(i)] = uint8_t((2 * m * i + n) / (2 * n));
    return table;
}();

// Sets one pixel, or under strokes only one that holds the background.
template<bool Under>
inline void Plot(uint32_t* pixel, uint32_t color, uint32_t background)
{
    if constexpr (Under)
        *pixel = *pixel == background ? color : *pixel;
    else
        *pixel = color;
}

// A line whose ends both lie in the image, as Line draws it.
template<bool Under>
inline void InsideLine(uint32_t* bits, int stride, int x0, int y0, int x1, int y1, uint32_t color,
                       uint32_t background)
{
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    const int adx = dx < 0 ? -dx : dx;
    const int ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int n = xMajor ? adx : ady;
    const int m = xMajor ? ady : adx;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -stride : stride;
    const int majorStep = xMajor ? sx : sy;
    const int minorStep = xMajor ? sy : sx;
    uint32_t* pixel = bits + (ptrdiff_t(y0) * stride + x0);
    if (n <= 4) {
        // Dense frames are mostly such short steps. Each pixel's place comes
        // from a table, with no chain from one to the next, and the places
        // past the end are written aside: no branch to mispredict.
        const auto& minor = ShortMinor[size_t(n)][size_t(m)];
        uint32_t aside = 0;
        Plot<Under>(0 < n ? pixel : &aside, color, background);
        Plot<Under>(1 < n ? pixel + majorStep + minorStep * minor[1] : &aside, color, background);
        Plot<Under>(2 < n ? pixel + 2 * majorStep + minorStep * minor[2] : &aside, color, background);
        Plot<Under>(3 < n ? pixel + 3 * majorStep + minorStep * minor[3] : &aside, color, background);
        return;
    }
    const int twoN = 2 * n;
    const int twoM = 2 * m;
    int rem = n;
    for (int i = 0; i < n; ++i) {
        Plot<Under>(pixel, color, background);
        // Branch-free: the minor step of a random path is unpredictable.
        rem += twoM;
        const int carry = -int(rem >= twoN); // all ones or zero
        rem -= twoN & carry;
        pixel += majorStep + (minorStep & carry);
    }
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

void TThumbCanvas::DrawPath(const TZLT_FramePath& path)
{
    if (path.Count() == 0)
        return;
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
    TracePath(path, left, top);
}

void TThumbCanvas::TracePath(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    MoveTo(path.X(0), path.Y(0));
    uint32_t colours[64];
    for (int c = 0; c < 64; ++c) {
        const TZLT_PalEntry& e = path.Palette().ColorOf(uint8_t(c));
        colours[c] = 0xFF000000u | (uint32_t(e.Red) << 16) | (uint32_t(e.Green) << 8) | uint32_t(e.Blue);
    }
    const int n = path.Count();
    const TZLT_Point* points = &path.Point(0);
    const int w = path.Width();
    const int h = path.Height();
    const int ileft = int(left);
    const int itop = int(top);
    const unsigned width = unsigned(FWidth);
    const unsigned height = unsigned(FHeight);
    const int stride = int(FStride);
    int x0 = int(FX);
    int y0 = int(FY);
    for (int i = 1; i < n; ++i) {
        const TZLT_Point& p = points[i];
        const int x1 = ileft + TZLT_FramePath::Scale(int(p.X()) + 32768, w);
        const int y1 = itop + TZLT_FramePath::Scale(int(p.Y()) + 32768, h);
        const bool inside =
            unsigned(x0) < width && unsigned(x1) < width && unsigned(y0) < height && unsigned(y1) < height;
        if (p.Blanked()) {
            if (FMoveLines) {
                if (inside)
                    InsideLine<true>(FBits, stride, x0, y0, x1, y1, FMoveColor, FBackground);
                else
                    Line<true>(x0, y0, x1, y1, FMoveColor);
            }
        } else if (inside) {
            InsideLine<false>(FBits, stride, x0, y0, x1, y1, colours[p.ColorIndex()], 0);
        } else {
            Line<false>(x0, y0, x1, y1, colours[p.ColorIndex()]);
        }
        x0 = x1;
        y0 = y1;
    }
    FX = x0;
    FY = y0;
    FColor = colours[points[n - 1].ColorIndex()];
}
