#pragma once

#include "ZLT_Catalog.h"

#include <QImage>
#include <QPoint>

#include <cstdint>

// A drawing surface that rasterizes 1-pixel lines straight into a 32-bit
// image, clipped to it. Far faster than QPainter for thumbnails of tens of
// thousands of segments, and allocation-free per call.
//
// Coordinates are those of the surface the image stands for: the image's
// top-left pixel lies at origin. A line covers the pixels from its start up
// to, but not including, its end point (so a polyline sets each pixel once),
// chosen by midpoint rounding along the longer axis. Coordinates are clamped
// to +-2^28, far beyond any window.
class TThumbCanvas : public TZLT_Canvas
{
public:
    // image must have a 32-bit format (RGB32, ARGB32 or ARGB32_Premultiplied)
    // and outlive the canvas.
    explicit TThumbCanvas(QImage& image, QPoint origin = QPoint());

    void SetPenColor(uint8_t red, uint8_t green, uint8_t blue) override;
    // The first move places the pen; with blanked moves shown, every later
    // move draws a line as well.
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    // The same pixels and pen as the steps one by one, drawn faster.
    void DrawPath(const TZLT_FramePath& path) override;

    // From now on, moves draw a line in color (a pixel value of the image),
    // but only over pixels that still hold background: the beam's dark path
    // shows under the strokes, whatever the order they are drawn in.
    void ShowBlankedMoves(uint32_t color, uint32_t background);

    // Whether dense frames may be drawn with the processor's AVX2
    // instructions where it has them (the default); the pixels are the same.
    static void AllowAvx2(bool allowed);

    // Whether the last DrawPath drew its steps from the last to the first.
    bool DrewBackwards() const { return FDrewBackwards; }

    // The pen position in the surface's coordinates.
    QPoint PenPos() const { return QPoint(int(FX + FOriginX), int(FY + FOriginY)); }

private:
    void TracePath(const TZLT_FramePath& path, int64_t left, int64_t top);
    void TraceBackwards(const TZLT_FramePath& path, int64_t left, int64_t top);
    bool TraceLongLines(const TZLT_FramePath& path, int64_t left, int64_t top);
    bool TraceDense(const TZLT_FramePath& path, int64_t left, int64_t top);
    void DenseStep(int x0, int y0, int x1, int y1, bool blanked, uint32_t color);
    static bool LongSteps(const TZLT_FramePath& path);
    template<bool Under>
    void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color);

    uint32_t* FBits;
    int64_t FStride; // in pixels
    int FWidth;
    int FHeight;
    int FOriginX;
    int FOriginY;
    uint32_t FColor = 0xFF000000u;
    int64_t FX = 0; // pen position in image coordinates
    int64_t FY = 0;
    bool FPlaced = false; // a move has placed the pen
    bool FMoveLines = false;
    bool FDrewBackwards = false;
    uint32_t FMoveColor = 0;
    uint32_t FBackground = 0;
};
