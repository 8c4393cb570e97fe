#pragma once

#include "Optimiser.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Logos and text as frames a laser draws well: SVG files through Qt's SVG
// renderer, text in single-stroke Hershey fonts. No widgets.
namespace Vector {

struct TVectorOptions
{
    static constexpr int Blanked = -1;      // black lines drawn blanked
    static constexpr int PaletteWhite = -2; // the palette colour nearest to white (default)
    bool UsePage = false;        // fit the viewBox (the page) instead of the drawing's extent
    int BlackAs = PaletteWhite;  // or a palette index 0..63, or Blanked
    bool Optimise = true;        // optimise each frame with Scanner
    TScannerProfile Scanner;
};

enum class TVectorProblem
{
    None,
    Missing,
    Unreadable,
    NotSvg,
    Malformed,
    DrawsNothing,
    TooManyPoints,
    TooLarge,
    FontsMissing,
    EmptyText
};

struct TVectorFrame
{
    QString Source;                    // the file's path (or the text)
    std::unique_ptr<TZLT_Frame> Frame; // null when refused
    TVectorProblem Problem = TVectorProblem::None;
    QString Detail;                    // e.g. the XML error and line, empty when none
};

// Each file one frame, in the order given; the files that draw something share
// one common extent (one placement), so an animation does not jump. Bounded
// time and memory on hostile input; never throws for bad input.
std::vector<TVectorFrame> ImportSvgFiles(const QStringList& files, const TZLT_Pal& palette,
                                         const TVectorOptions& options);
// One drawing from its bytes (dropped or pasted), Source left empty.
TVectorFrame ImportSvgBytes(const QByteArray& bytes, const TZLT_Pal& palette, const TVectorOptions& options);
// The .svg files of a folder (case-insensitive suffix), in name order.
QStringList SvgFilesIn(const QString& folder);
// English text of a problem for the converter ("not an SVG file", ...). The
// windows have their own table in English and German.
QString ProblemText(TVectorProblem problem);

enum class TTextAlign
{
    Left,
    Centre,
    Right
};

struct TTextOptions
{
    QString Text;                          // several lines allowed ('\n')
    QString Font = QStringLiteral("futural"); // a Hershey font by name (file name without .jhf)
    int Colour = 0;                        // palette index, or TVectorOptions::PaletteWhite
    double Size = 10;                      // height of capital letters in percent of the field's width
    TTextAlign Align = TTextAlign::Centre;
};

// One frame of text, centred in the field (lines stacked downward), optimised
// when options.Optimise.
TVectorFrame TextFrame(const TTextOptions& text, const TZLT_Pal& palette, const TVectorOptions& options);
// Hershey fonts installed (Debian's hershey-fonts-data), by name, sorted; empty when missing.
QStringList HersheyFontNames();
// Where they are looked for: /usr/share/hershey-fonts, or $TREVASC_HERSHEY_DIR when set (for tests).
QString HersheyFontFolder();

// The palette entry nearest to a colour (squared RGB distance, the lowest
// index on a tie).
int NearestColour(const TZLT_Pal& palette, int red, int green, int blue);

// Limits that keep hostile files cheap.
inline constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
inline constexpr int MaxNesting = 512;
// Curves are drawn within this many ILDA units of the true curve, coarser
// when a frame would hold too many points.
inline constexpr double FlatteningTolerance = 8;

} // namespace Vector
