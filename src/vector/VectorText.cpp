// Text frames in single-stroke Hershey fonts: a laser draws each stroke once,
// where an outline font would draw every stroke as two lines.
#include "FrameBuilding.h"
#include "HersheyFont.h"
#include "VectorImport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace Vector {

namespace {
constexpr double FieldSize = 65536;
// Lines of text follow each other at this many capital heights.
constexpr double LineSpacing = 1.6;
}

QString HersheyFontFolder()
{
    const QString custom = qEnvironmentVariable("TREVASC_HERSHEY_DIR");
    return custom.isEmpty() ? QStringLiteral("/usr/share/hershey-fonts") : custom;
}

QStringList HersheyFontNames()
{
    QStringList names;
    const QDir dir(HersheyFontFolder());
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.jhf")}, QDir::Files, QDir::Name))
        names << info.completeBaseName();
    names.sort();
    return names;
}

TVectorFrame TextFrame(const TTextOptions& text, const TZLT_Pal& palette, const TVectorOptions& options)
{
    TVectorFrame result;
    result.Source = text.Text;
    QString body = text.Text;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lines = body.split(QLatin1Char('\n'));
    if (body.trimmed().isEmpty()) {
        result.Problem = TVectorProblem::EmptyText;
        return result;
    }
    if (HersheyFontNames().isEmpty()) {
        result.Problem = TVectorProblem::FontsMissing;
        result.Detail = HersheyFontFolder();
        return result;
    }
    THersheyFont font;
    QString detail;
    // A font name is a file name in the folder, nothing more.
    const bool plainName = !text.Font.isEmpty() && !text.Font.contains(QLatin1Char('/')) &&
                           !text.Font.contains(QLatin1Char('\\')) && text.Font != QLatin1String("..");
    if (!plainName || !font.Load(QDir(HersheyFontFolder()).filePath(text.Font + QStringLiteral(".jhf")), detail)) {
        result.Problem = TVectorProblem::FontsMissing;
        result.Detail = QStringLiteral("%1: %2").arg(text.Font, plainName ? detail : QStringLiteral("no such font"));
        return result;
    }

    const double size = std::isfinite(text.Size) ? std::clamp(text.Size, 0.1, 100.0) : 10.0;
    const double unit = size / 100 * FieldSize / font.CapHeight();
    const double pitch = LineSpacing * font.CapHeight();
    const auto widthOf = [&](const QString& line) {
        int width = 0;
        for (const QChar c : line)
            if (const THersheyGlyph* g = font.Glyph(c))
                width += g->Right - g->Left;
        return width;
    };
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, widthOf(line));
    // The block of lines centred: from the first capitals' top to the last baseline.
    const double blockHeight = (lines.size() - 1) * pitch + font.CapHeight();
    const double top = -blockHeight / 2;

    const int colour = ResolvedIndex(palette, text.Colour);
    std::vector<TFramePath> paths;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int width = widthOf(lines[n]);
        double x = text.Align == TTextAlign::Left    ? -widest / 2.0
                   : text.Align == TTextAlign::Right ? widest / 2.0 - width
                                                     : -width / 2.0;
        const double y = top + n * pitch - font.CapTop();
        for (const QChar c : lines[n]) {
            const THersheyGlyph* g = font.Glyph(c);
            if (!g)
                continue;
            const double origin = x - g->Left;
            for (const auto& stroke : g->Strokes) {
                TFramePath path;
                path.Colour = colour;
                for (const QPoint& p : stroke)
                    path.Points.emplace_back(int(std::lround((origin + p.x()) * unit)),
                                             int(std::lround((y + p.y()) * unit)));
                paths.push_back(std::move(path));
            }
            x += g->Right - g->Left;
        }
    }
    if (paths.empty()) {
        result.Problem = TVectorProblem::EmptyText;
        result.Detail = QStringLiteral("no character of the text is in %1").arg(text.Font);
        return result;
    }
    TVectorFrame built = BuildFrame(
        [&](double, std::vector<TFramePath>& out) {
            out = paths;
            return true;
        },
        options, 0);
    result.Frame = std::move(built.Frame);
    result.Problem = built.Problem;
    result.Detail = built.Detail;
    return result;
}

} // namespace Vector
