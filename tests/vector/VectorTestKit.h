#pragma once

// SVG strings written to files and imported, and plain measures of the
// frames that come out: the lit lines, their bounds and colours.

#include "VectorImport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <vector>

namespace VecKit {

inline QString Svg(const QString& body, const QString& svgAttributes = QStringLiteral("viewBox=\"0 0 100 100\""))
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" %1>%2</svg>\n")
        .arg(svgAttributes, body);
}

inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

inline Vector::TVectorOptions Plain()
{
    Vector::TVectorOptions o;
    o.Optimise = false;
    return o;
}

inline Vector::TVectorFrame ImportOne(const QString& svg, const Vector::TVectorOptions& options = Plain(),
                                      const TZLT_Pal& palette = TZLT_Pal())
{
    QTemporaryDir dir;
    const QString file = WriteFile(dir, QStringLiteral("one.svg"), svg.toUtf8());
    std::vector<Vector::TVectorFrame> frames = Vector::ImportSvgFiles({file}, palette, options);
    if (frames.size() != 1)
        qFatal("one file gave %d frames", int(frames.size()));
    return std::move(frames[0]);
}

struct TSegment
{
    QPointF A, B;
    int Colour;
};

// The lines the beam draws lit: into each lit point from the one before it.
inline std::vector<TSegment> LitSegments(const TZLT_Frame& frame)
{
    std::vector<TSegment> out;
    const auto& p = frame.AllPoints();
    for (size_t i = 1; i < p.size(); ++i)
        if (!p[i].Blanked())
            out.push_back({QPointF(p[i - 1].X(), p[i - 1].Y()), QPointF(p[i].X(), p[i].Y()), p[i].ColorIndex()});
    return out;
}

// Runs of lit points, each begun by a blanked one.
inline int LitRuns(const TZLT_Frame& frame)
{
    int runs = 0;
    bool lit = false;
    for (const TZLT_Point& p : frame.AllPoints()) {
        if (!p.Blanked() && !lit)
            ++runs;
        lit = !p.Blanked();
    }
    return runs;
}

struct TBounds
{
    int Left = INT_MAX, Top = INT_MAX, Right = INT_MIN, Bottom = INT_MIN;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    double CentreX() const { return (Left + Right) / 2.0; }
    double CentreY() const { return (Top + Bottom) / 2.0; }
};

inline TBounds LitBounds(const TZLT_Frame& frame)
{
    TBounds b;
    for (const TSegment& s : LitSegments(frame))
        for (const QPointF& p : {s.A, s.B}) {
            b.Left = std::min(b.Left, int(p.x()));
            b.Right = std::max(b.Right, int(p.x()));
            b.Top = std::min(b.Top, int(p.y()));
            b.Bottom = std::max(b.Bottom, int(p.y()));
        }
    return b;
}

inline std::set<int> LitColours(const TZLT_Frame& frame)
{
    std::set<int> colours;
    for (const TSegment& s : LitSegments(frame))
        colours.insert(s.Colour);
    return colours;
}

// The larger side of a drawing in the field.
inline constexpr double Span = 0.95 * 65536;

} // namespace VecKit
