#pragma once

#include "FrameTools.h"
#include "VectorImport.h"
#include "ZLT_Error.h"
#include "ZLT_Ilda.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What one run of trevasc-convert does, as its command line gives it.

// A bad option, value or input, or an output the frames do not fit: the
// program ends with status 2 before it writes anything.
class EConvertUsage : public EZLT_Error
{
public:
    using EZLT_Error::EZLT_Error;
};

// The kind of file an output is, told by its name.
enum class TOutputKind
{
    Catalog, // .cat
    Ilda,    // .ild
    Picture, // .pic: exactly one used frame
    Folder   // a name ending in '/', or an existing folder: one NNNNN.pic per used frame
};

// The five kinds of ILDA file, as the export dialog offers them.
struct TIldaKind
{
    ZLT_Ilda::TFormat Format = ZLT_Ilda::TFormat::TrueColor3D;
    ZLT_Ilda::TPaletteSection Section = ZLT_Ilda::TPaletteSection::Included;
    QString Name; // as --ilda-format takes it: "4", "1-standard"
};

// --text: one frame of text, read before the input of index Before.
struct TConvertText
{
    qsizetype Before = 0;
    QString Text;
    QString Font; // the --font given last before it
};

struct TConvertJob
{
    QStringList Inputs; // in the order given
    QString Output;
    TOutputKind OutputKind = TOutputKind::Catalog;

    // --frames A-B: the first and last frame kept of all the inputs' frames.
    std::optional<std::pair<int, int>> Frames;
    // Applied in order to every used frame.
    std::vector<FrameTools::TOperation> Operations;
    // The pivot that --pivot set for the operations given after it.
    FrameTools::TPivot Pivot;
    // --scanner: the profile of every --optimise; keys not given keep the defaults.
    TScannerProfile Scanner;
    bool ScannerGiven = false;
    // How SVG inputs and texts become frames (--page, --no-optimise,
    // --black-as); optimised with Scanner.
    Vector::TVectorOptions Vector;
    std::vector<TConvertText> Texts;
    QString Font = QStringLiteral("futural"); // --font, for the --text after it

    std::optional<TIldaKind> Ilda; // --ilda-format; format 4 when not given
    QString PaletteFile;           // --palette; the built-in palette when empty
    bool Quiet = false;
    bool Help = false;
    bool Version = false;
};
