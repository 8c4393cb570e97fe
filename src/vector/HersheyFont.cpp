#include "HersheyFont.h"

#include <QFile>

#include <algorithm>
#include <climits>

namespace Vector {

bool THersheyFont::Load(const QString& fileName, QString& detail)
{
    QFile file(fileName);
    // The largest font Debian ships is under 100 kB.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4 * 1024 * 1024) {
        detail = file.errorString();
        return false;
    }
    return LoadFromBytes(file.readAll(), detail);
}

bool THersheyFont::LoadFromBytes(const QByteArray& bytes, QString& detail)
{
    FGlyphs.clear();
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.size() < 10) {
            detail = QStringLiteral("line %1 is too short for a glyph").arg(i + 1);
            return false;
        }
        bool ok = false;
        const int pairs = line.mid(5, 3).trimmed().toInt(&ok);
        if (!ok || pairs < 1) {
            detail = QStringLiteral("line %1 holds no count of points").arg(i + 1);
            return false;
        }
        QByteArray data = line.mid(8);
        // A glyph longer than a line goes on in the next ones.
        while (data.size() < 2 * pairs && i + 1 < lines.size()) {
            QByteArray more = lines[++i];
            if (more.endsWith('\r'))
                more.chop(1);
            data += more;
        }
        if (data.size() < 2 * pairs) {
            detail = QStringLiteral("line %1: the glyph ends early").arg(i + 1);
            return false;
        }
        THersheyGlyph glyph;
        glyph.Left = data[0] - 'R';
        glyph.Right = data[1] - 'R';
        bool penUp = true;
        for (int k = 1; k < pairs; ++k) {
            const char x = data[2 * k], y = data[2 * k + 1];
            if (x == ' ' && y == 'R') {
                penUp = true;
                continue;
            }
            if (penUp)
                glyph.Strokes.emplace_back();
            penUp = false;
            glyph.Strokes.back().push_back(QPoint(x - 'R', y - 'R'));
        }
        FGlyphs.push_back(std::move(glyph));
    }
    if (FGlyphs.empty()) {
        detail = QStringLiteral("no glyph");
        return false;
    }
    FCapHeight = 21;
    FCapTop = -12;
    if (const THersheyGlyph* h = Glyph(QLatin1Char('H')); h && !h->Strokes.empty()) {
        int top = INT_MAX, bottom = INT_MIN;
        for (const auto& stroke : h->Strokes)
            for (const QPoint& p : stroke) {
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
            }
        if (bottom > top) {
            FCapHeight = bottom - top;
            FCapTop = top;
        }
    }
    return true;
}

const THersheyGlyph* THersheyFont::Glyph(QChar c) const
{
    const int index = int(c.unicode()) - 32;
    if (index < 0 || index >= int(FGlyphs.size()))
        return nullptr;
    return &FGlyphs[size_t(index)];
}

} // namespace Vector
