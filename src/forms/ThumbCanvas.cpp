#include "ThumbCanvas.h"

#include <algorithm>

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
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = xMajor ? adx : ady;
    if (n == 0)
        return;
    const int64_t m = xMajor ? ady : adx;
    const int64_t a0 = xMajor ? x0 : y0;
    const int64_t b0 = xMajor ? y0 : x0;
    const int64_t sa = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int64_t sb = (xMajor ? dy : dx) >= 0 ? 1 : -1;

    int64_t lo = 0;
    int64_t hi = n - 1;
    const bool inside = x0 >= 0 && x0 < FWidth && y0 >= 0 && y0 < FHeight && x1 >= 0 && x1 < FWidth &&
                        y1 >= 0 && y1 < FHeight;
    if (inside) {
        // The common case of a thumbnail: 32-bit steps, no clipping.
        const int steps = int(n);
        const int twoN = 2 * steps;
        const int twoM = 2 * int(m);
        int rem = steps;
        const int stride = int(FStride);
        const int majorStep = xMajor ? int(sa) : int(sa) * stride;
        const int minorStep = xMajor ? int(sb) * stride : int(sb);
        uint32_t* pixel = FBits + (y0 * FStride + x0);
        const uint32_t background = FBackground;
        for (int i = 0;;) {
            if (!Under || *pixel == background)
                *pixel = color;
            if (++i == steps)
                break;
            // Branch-free: the minor step of a random path is unpredictable.
            rem += twoM;
            const int carry = -int(rem >= twoN); // all ones or zero
            rem -= twoN & carry;
            pixel += majorStep + (minorStep & carry);
        }
        return;
    }
    {
        const int64_t aSize = xMajor ? FWidth : FHeight;
        const int64_t bSize = xMajor ? FHeight : FWidth;
        if (sa > 0) {
            lo = std::max(lo, -a0);
            hi = std::min(hi, aSize - 1 - a0);
        } else {
            lo = std::max(lo, a0 - (aSize - 1));
            hi = std::min(hi, a0);
        }
        const int64_t kLo = sb > 0 ? -b0 : b0 - (bSize - 1);
        const int64_t kHi = sb > 0 ? bSize - 1 - b0 : b0;
        if (m == 0) {
            if (kLo > 0 || kHi < 0)
                return;
        } else {
            lo = std::max(lo, CeilDiv(2 * n * kLo - n, 2 * m));
            hi = std::min(hi, CeilDiv(2 * n * (kHi + 1) - n, 2 * m) - 1);
        }
        if (lo > hi)
            return;
    }

    const int64_t twoN = 2 * n;
    const int64_t twoM = 2 * m;
    int64_t rem = n; // at i = 0; divisions only for a clipped start
    int64_t k = 0;
    if (lo > 0) {
        const int64_t num = twoM * lo + n;
        rem = num % twoN;
        k = num / twoN;
    }
    const int64_t a = a0 + sa * lo;
    const int64_t b = b0 + sb * k;
    int64_t offset = xMajor ? b * FStride + a : a * FStride + b;
    const int64_t majorStep = xMajor ? sa : sa * FStride;
    const int64_t minorStep = xMajor ? sb * FStride : sb;
    for (int64_t i = lo; i <= hi; ++i) {
        if (!Under || FBits[offset] == FBackground)
            FBits[offset] = color;
        rem += twoM;
        if (rem >= twoN) {
            rem -= twoN;
            offset += minorStep;
        }
        offset += majorStep;
    }
}
