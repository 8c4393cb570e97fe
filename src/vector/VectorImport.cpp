#include "VectorImport.h"

#include "Flatten.h"
#include "FrameBuilding.h"
#include "SvgCheck.h"
#include "SvgRecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <optional>

namespace Vector {

namespace {
// The larger side of the drawing spans this share of the field.
constexpr double FieldShare = 0.95;
constexpr double FieldSize = 65536;
// Beyond this many points before optimising a frame is not tried at a tolerance.
constexpr size_t MaxRawPoints = 16 * size_t(TZLT_Frame::MaxPoints);
constexpr int Coarsenings = 4;

// The union of rectangles, a rectangle of no size (a dot) included.
struct TExtent
{
    std::optional<QRectF> Rect;
    void Add(const QRectF& r)
    {
        if (!Rect) {
            Rect = r;
            return;
        }
        Rect = QRectF(QPointF(std::min(Rect->left(), r.left()), std::min(Rect->top(), r.top())),
                      QPointF(std::max(Rect->right(), r.right()), std::max(Rect->bottom(), r.bottom())));
    }
};

TExtent DrawingExtent(const TRecording& recording)
{
    TExtent extent;
    for (const TShape& shape : recording.Shapes)
        extent.Add(CurveBounds(shape.Path));
    return extent;
}

// The extent centred in the field, its larger side spanning FieldShare of it.
QTransform Placement(const QRectF& extent)
{
    const double side = std::max(extent.width(), extent.height());
    // A drawing smaller than a millionth of a unit is not magnified to the
    // field: its coordinates times the scale stay finite.
    const double scale = side > 0 ? std::min(FieldShare * FieldSize / side, 1e6) : 1;
    const QPointF centre = extent.center();
    return QTransform(scale, 0, 0, scale, -centre.x() * scale, -centre.y() * scale);
}

int Rounded(double v)
{
    return std::isfinite(v) ? int(std::lround(std::clamp(v, -1e6, 1e6))) : 0;
}

// An ellipse's points on the true curve, no chord further than tolerance
// from it: a step of the parameter bends the line by at most its larger
// radius times (1 - cos(step / 2)).
TPolyline EllipseLine(const QRectF& rect, const QTransform& transform, double tolerance)
{
    const QPointF centre = transform.map(rect.center());
    const QPointF u = transform.map(rect.center() + QPointF(rect.width() / 2, 0)) - centre;
    const QPointF v = transform.map(rect.center() + QPointF(0, rect.height() / 2)) - centre;
    const double radius = std::sqrt(QPointF::dotProduct(u, u) + QPointF::dotProduct(v, v));
    const double step = radius > tolerance ? 2 * std::acos(1 - tolerance / radius) : M_PI / 2;
    const int n = std::clamp(int(std::ceil(2 * M_PI / step)), 8, 4096);
    TPolyline line;
    line.Closed = true;
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * M_PI * (i % n) / n;
        line.Points.push_back(centre + std::cos(a) * u + std::sin(a) * v);
    }
    return line;
}

// The shapes' lines in the field at a tolerance, each in its palette colour.
bool PathsOf(const TRecording& recording, const QTransform& placement, const TZLT_Pal& palette,
             const TVectorOptions& options, double tolerance, std::vector<TFramePath>& paths)
{
    size_t total = 0;
    // Rounding to whole units moves a point by up to 0.71 more.
    const double flatness = std::max(0.5, tolerance - 0.75);
    for (const TShape& shape : recording.Shapes) {
        std::vector<TPolyline> lines;
        if (shape.Ellipse)
            lines.push_back(EllipseLine(shape.EllipseRect, shape.EllipseTransform * placement, flatness));
        else if (!Flatten(placement.map(shape.Path), flatness, lines, MaxRawPoints - total))
            return false;
        const int colour = PaletteIndex(palette, shape.Colour, options);
        for (const TPolyline& line : lines) {
            TFramePath path;
            path.Colour = colour;
            path.Closed = shape.Closed || line.Closed;
            for (const QPointF& p : line.Points) {
                const std::pair<int, int> q(Rounded(p.x()), Rounded(p.y()));
                if (path.Points.empty() || path.Points.back() != q)
                    path.Points.push_back(q);
            }
            if (path.Points.size() > 2 && path.Points.front() == path.Points.back()) {
                path.Points.pop_back();
                path.Closed = true;
            }
            total += path.Points.size();
            paths.push_back(std::move(path));
        }
    }
    return true;
}

struct TLoaded
{
    TRecording Recording;
    TExtent Extent;
};

std::optional<TLoaded> Parse(const QByteArray& bytes, TVectorFrame& frame);

// Reads and records one file, or says why not.
std::optional<TLoaded> Load(const QString& fileName, TVectorFrame& frame)
{
    const auto refuse = [&](TVectorProblem problem, const QString& detail = QString()) {
        frame.Problem = problem;
        frame.Detail = detail;
        return std::nullopt;
    };
    const QFileInfo info(fileName);
    if (!info.exists())
        return refuse(TVectorProblem::Missing);
    if (info.isDir())
        return refuse(TVectorProblem::NotSvg, QStringLiteral("a folder"));
    if (info.size() > MaxFileBytes)
        return refuse(TVectorProblem::TooLarge, QStringLiteral("%1 bytes").arg(info.size()));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(TVectorProblem::Unreadable, file.errorString());
    // Read no more than the limit even if the file grows meanwhile.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(TVectorProblem::Unreadable, file.errorString());
    return Parse(bytes, frame);
}

std::optional<TLoaded> Parse(const QByteArray& bytes, TVectorFrame& frame)
{
    const auto refuse = [&](TVectorProblem problem, const QString& detail = QString()) {
        frame.Problem = problem;
        frame.Detail = detail;
        return std::nullopt;
    };
    if (bytes.size() > MaxFileBytes)
        return refuse(TVectorProblem::TooLarge);
    if (const TSvgCheck check = CheckSvg(bytes); check.Problem != TVectorProblem::None)
        return refuse(check.Problem, check.Detail);
    TLoaded loaded;
    QString detail;
    // currentColor is the colour of a page's text around the drawing, which a
    // laser has not: such lines are drawn as black ones are (BlackAs).
    QByteArray drawing = bytes;
    drawing.replace("currentColor", "#000000");
    if (!RecordSvg(drawing, loaded.Recording, detail))
        return refuse(TVectorProblem::Malformed, detail);
    loaded.Extent = DrawingExtent(loaded.Recording);
    if (!loaded.Extent.Rect)
        return refuse(TVectorProblem::DrawsNothing);
    return loaded;
}

// The drawings that were read, in one placement, as frames.
void Place(std::vector<TVectorFrame>& frames, std::vector<std::optional<TLoaded>>& loaded, const TZLT_Pal& palette,
           const TVectorOptions& options)
{
    TExtent common;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!loaded[i])
            continue;
        const QRectF& page = loaded[i]->Recording.Page;
        common.Add(options.UsePage && page.isValid() ? page : *loaded[i]->Extent.Rect);
    }
    if (!common.Rect)
        return;
    const QTransform placement = Placement(*common.Rect);
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!loaded[i])
            continue;
        const TRecording& recording = loaded[i]->Recording;
        TVectorFrame built = BuildFrame(
            [&](double tolerance, std::vector<TFramePath>& paths) {
                return PathsOf(recording, placement, palette, options, tolerance, paths);
            },
            options, Coarsenings);
        frames[i].Frame = std::move(built.Frame);
        frames[i].Problem = built.Problem;
        frames[i].Detail = built.Detail;
        loaded[i].reset(); // the recording is no longer needed
    }
}
} // namespace

std::vector<TVectorFrame> ImportSvgFiles(const QStringList& files, const TZLT_Pal& palette,
                                         const TVectorOptions& options)
{
    std::vector<TVectorFrame> frames(size_t(files.size()));
    std::vector<std::optional<TLoaded>> loaded(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].Source = files[qsizetype(i)];
        loaded[i] = Load(files[qsizetype(i)], frames[i]);
    }
    Place(frames, loaded, palette, options);
    return frames;
}

TVectorFrame ImportSvgBytes(const QByteArray& bytes, const TZLT_Pal& palette, const TVectorOptions& options)
{
    std::vector<TVectorFrame> frames(1);
    std::vector<std::optional<TLoaded>> loaded(1);
    loaded[0] = Parse(bytes, frames[0]);
    Place(frames, loaded, palette, options);
    return std::move(frames[0]);
}

QStringList SvgFilesIn(const QString& folder)
{
    const QDir dir(folder);
    QStringList files;
    const QStringList names =
        dir.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        files << dir.filePath(name);
    return files;
}

QString ProblemText(TVectorProblem problem)
{
    switch (problem) {
    case TVectorProblem::None:
        return QString();
    case TVectorProblem::Missing:
        return QStringLiteral("no such file");
    case TVectorProblem::Unreadable:
        return QStringLiteral("cannot be read");
    case TVectorProblem::NotSvg:
        return QStringLiteral("not an SVG file");
    case TVectorProblem::Malformed:
        return QStringLiteral("damaged SVG");
    case TVectorProblem::DrawsNothing:
        return QStringLiteral("draws nothing");
    case TVectorProblem::TooManyPoints:
        return QStringLiteral("would need more than 65,535 points");
    case TVectorProblem::TooLarge:
        return QStringLiteral("too large to import");
    case TVectorProblem::FontsMissing:
        return QStringLiteral("the Hershey font is not installed (package hershey-fonts-data)");
    case TVectorProblem::EmptyText:
        return QStringLiteral("no text");
    }
    return QString();
}

} // namespace Vector
