#pragma once

// The thumbnail canvas's pictures as its first, plain version drew them,
// kept as the measure of the fast one: every call draws at once, one pixel
// at a time, in the order Draw makes the calls.

#include "ZLT_Catalog.h"

#include <QImage>
#include <QPoint>

#include <algorithm>
#include <cstdint>

class TReferenceCanvas : public TZLT_Canvas
{
public:
    explicit TReferenceCanvas(QImage& image, QPoint origin = QPoint()) : FImage(image), FOrigin(origin) {}

    void SetPenColor(uint8_t red, uint8_t green, uint8_t blue) override
    {
        FColor = 0xFF000000u | (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue);
    }
    void MoveTo(int x, int y) override
    {
        const int64_t x1 = Clamp(int64_t(x) - FOrigin.x()), y1 = Clamp(int64_t(y) - FOrigin.y());
        if (FMoveLines && FPlaced)
            Line(FX, FY, x1, y1, FMoveColor, true);
        Place(x1, y1);
    }
    void LineTo(int x, int y) override
    {
        const int64_t x1 = Clamp(int64_t(x) - FOrigin.x()), y1 = Clamp(int64_t(y) - FOrigin.y());
        Line(FX, FY, x1, y1, FColor, false);
        Place(x1, y1);
    }
    void ShowBlankedMoves(uint32_t color, uint32_t background)
    {
        FMoveLines = true;
        FMoveColor = color;
        FBackground = background;
    }
    QPoint PenPos() const { return QPoint(int(FX + FOrigin.x()), int(FY + FOrigin.y())); }

private:
    static int64_t Clamp(int64_t v) { return std::clamp(v, -(int64_t(1) << 28), int64_t(1) << 28); }
    void Place(int64_t x, int64_t y)
    {
        FPlaced = true;
        FX = x;
        FY = y;
    }

    // Pixel i of n (the longer span, end excluded) lies one step further
    // along the longer axis; the shorter one is rounded at the midpoint.
    // A move's line only covers pixels that still hold the background.
    void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color, bool under)
    {
        const int64_t dx = x1 - x0, dy = y1 - y0;
        const int64_t adx = std::abs(dx), ady = std::abs(dy);
        const bool xMajor = adx >= ady;
        const int64_t n = std::max(adx, ady), m = std::min(adx, ady);
        // Only steps whose longer-axis coordinate lies in the image count.
        const int64_t a0 = xMajor ? x0 : y0;
        const int64_t size = xMajor ? FImage.width() : FImage.height();
        const bool forward = (xMajor ? dx : dy) > 0;
        const int64_t first = std::max<int64_t>(0, forward ? -a0 : a0 - (size - 1));
        const int64_t last = std::min<int64_t>(n - 1, forward ? size - 1 - a0 : a0);
        for (int64_t i = first; i <= last; ++i) {
            const int64_t minor = (2 * m * i + n) / (2 * n);
            const int64_t major = forward ? i : -i;
            const int64_t side = (xMajor ? dy : dx) >= 0 ? minor : -minor;
            const int64_t x = x0 + (xMajor ? major : side);
            const int64_t y = y0 + (xMajor ? side : major);
            if (x < 0 || x >= FImage.width() || y < 0 || y >= FImage.height())
                continue;
            auto* pixel = reinterpret_cast<uint32_t*>(FImage.scanLine(int(y))) + x;
            if (!under || *pixel == FBackground)
                *pixel = color;
        }
    }

    QImage& FImage;
    QPoint FOrigin;
    uint32_t FColor = 0xFF000000u;
    int64_t FX = 0;
    int64_t FY = 0;
    bool FPlaced = false;
    bool FMoveLines = false;
    uint32_t FMoveColor = 0;
    uint32_t FBackground = 0;
};
