#pragma once

#include <QPoint>
#include <QString>

#include <vector>

namespace Vector {

// One glyph of a Hershey font: strokes of points in font units, Y growing
// downward, the origin on the glyph's centre line; the advance runs from
// Left to Right.
struct THersheyGlyph
{
    int Left = 0;
    int Right = 0;
    std::vector<std::vector<QPoint>> Strokes;
};

// A Hershey font from its .jhf file: per line a glyph number (5 columns),
// the count of coordinate pairs (3 columns) and the pairs as letters, 'R'
// being 0; the first pair gives Left and Right, " R" lifts the pen. A long
// glyph may go on over following lines. Glyphs stand for ASCII 32 onwards in
// file order.
class THersheyFont
{
public:
    // False with the reason in detail when the file cannot be read or holds no glyph.
    bool Load(const QString& fileName, QString& detail);
    bool LoadFromBytes(const QByteArray& bytes, QString& detail);

    // The glyph of a character, or null for one the font has not.
    const THersheyGlyph* Glyph(QChar c) const;
    // The height of capital letters in font units (the extent of 'H'), at least 1.
    int CapHeight() const { return FCapHeight; }
    // The top of capital letters in font units.
    int CapTop() const { return FCapTop; }
    int Count() const { return int(FGlyphs.size()); }

private:
    std::vector<THersheyGlyph> FGlyphs;
    int FCapHeight = 21;
    int FCapTop = -12;
};

} // namespace Vector
