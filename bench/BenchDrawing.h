#pragma once

// What the drawing benchmarks share: dense random frames and the QPainter
// canvas they are measured against.

#include "ZLT_Catalog.h"

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace Bench {

// Pushes what the last run touched out of the processor's caches.
inline void EvictCaches()
{
    static std::vector<char> scratch(64 << 20);
    static char round = 0;
    ++round;
    for (size_t i = 0; i < scratch.size(); i += 64)
        scratch[i] = round;
}

// A random path whose consecutive points lie about `pixels` apart in a
// picture of side `side`; the colour changes every few hundred points and
// about one point in ten is blanked.
inline std::unique_ptr<TZLT_Frame> PathFrame(QRandomGenerator& random, int count, int side, int pixels)
{
    auto frame = std::make_unique<TZLT_Frame>();
    const int step = pixels * 65536 / std::max(side, 1);
    int x = random.bounded(-20000, 20000);
    int y = random.bounded(-20000, 20000);
    uint8_t colour = 0;
    for (int i = 0; i < count; ++i) {
        x = std::clamp(x + random.bounded(-step, step + 1), -32768, 32767);
        y = std::clamp(y + random.bounded(-step, step + 1), -32768, 32767);
        if (i % 300 == 0)
            colour = uint8_t(random.bounded(1, 64));
        const bool blank = random.bounded(10) == 0;
        frame->Add(TZLT_Point(int16_t(x), int16_t(y), 0, uint8_t(colour | (blank ? 0x40 : 0)), 0));
    }
    return frame;
}

// Draws with QPainter::drawLine, one call per segment.
class TPainterCanvas : public TZLT_Canvas
{
public:
    explicit TPainterCanvas(QPainter& painter) : FPainter(painter) {}
    void SetPenColor(uint8_t r, uint8_t g, uint8_t b) override { FPainter.setPen(QColor(r, g, b)); }
    void MoveTo(int x, int y) override { FPos = QPoint(x, y); }
    void LineTo(int x, int y) override
    {
        FPainter.drawLine(FPos, QPoint(x, y));
        FPos = QPoint(x, y);
    }

private:
    QPainter& FPainter;
    QPoint FPos;
};

} // namespace Bench
