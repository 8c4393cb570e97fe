#pragma once

// What the drawing benchmarks share: dense random frames and the QPainter
// canvas they are measured against.

#include "ZLT_Catalog.h"

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <numbers>
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

// Circles about random centres, each of a few hundred points, all lit,
// the colour changing with each circle.
inline std::unique_ptr<TZLT_Frame> CircleFrame(QRandomGenerator& random, int count)
{
    auto frame = std::make_unique<TZLT_Frame>();
    while (frame->Count() < count) {
        const double cx = random.bounded(-16000, 16000), cy = random.bounded(-16000, 16000);
        const double radius = random.bounded(2000, 16000);
        const int points = random.bounded(100, 600);
        const uint8_t colour = uint8_t(random.bounded(1, 64));
        for (int i = 0; i < points && frame->Count() < count; ++i) {
            const double angle = 2 * std::numbers::pi * i / points;
            frame->Add(TZLT_Point(int16_t(std::lround(cx + radius * std::cos(angle))),
                                  int16_t(std::lround(cy + radius * std::sin(angle))), 0, colour, 0));
        }
    }
    return frame;
}

// Lines between points anywhere in the range, all lit, the colour
// changing every few hundred points.
inline std::unique_ptr<TZLT_Frame> LinesFrame(QRandomGenerator& random, int count)
{
    auto frame = std::make_unique<TZLT_Frame>();
    uint8_t colour = 1;
    for (int i = 0; i < count; ++i) {
        if (i % 300 == 0)
            colour = uint8_t(random.bounded(1, 64));
        frame->Add(TZLT_Point(int16_t(random.bounded(-32768, 32768)), int16_t(random.bounded(-32768, 32768)), 0,
                              colour, 0));
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
