#pragma once

// ILDA Image Data Transfer files (.ild), the laser world's common frame
// format: read in formats 0, 1, 2 (palettes), 4 and 5; written in formats
// 0, 1, 4 and 5, the indexed ones after a format-2 palette section or in the
// standard's own 64 colours without one.
//
// A file is a series of sections, each a 32-byte header and its records;
// one frame section becomes one frame. Sections are numbered from 1 in file
// order, palette sections included, in the warnings below.

#include "ZLT_Catalog.h"
#include "ZLT_Error.h"
#include "ZLT_Palette.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>

namespace ZLT_Ilda {

// The frame formats written, by their code; 2D drops Z.
enum class TFormat
{
    Indexed3D = 0,
    Indexed2D = 1,
    TrueColor3D = 4,
    TrueColor2D = 5
};

// Where the colours of indexed frames come from. Included: a palette
// section of the 64 colours first, each point keeping its index. Standard:
// no palette section, for readers that know none; each point takes the
// index of the standard palette's colour nearest to its own (squared
// red-green-blue distance, the lowest index on a tie), and a point whose
// colour is black is blanked, since that palette has no black. True colour
// ignores the choice.
enum class TPaletteSection
{
    Included,
    Standard
};

// The colour 0xRRGGBB of the standard's default palette at index 0..63:
// what a reader shows for an index before any palette section.
uint32_t StandardColour(int index);

struct TReadResult
{
    TZLT_FrameList Frames; // every complete frame read, in file order
    QString Warning;       // empty, or why reading stopped before the end; names the file
    QString WarningGerman; // the same in German
    // The warning in a language: column 0 English, 1 German.
    QString WarningText(int column) const { return column == 1 ? WarningGerman : Warning; }
};

// Reports the bytes done out of total every few hundred KiB of a long job;
// returning false cancels it, which raises EZLT_Aborted and leaves nothing
// behind (no frames, no file).
using TProgressFn = std::function<bool(qint64 done, qint64 total)>;

// Reads the frames of ILDA data, mapped into palette's 64 colours: Y becomes
// -1 - Y, and a point's colour index is the nearest colour of palette to the
// file's colour (an indexed point keeps its index where palette has exactly
// its colour there); a black point is blanked. An indexed point's colour
// comes from the last palette section before it; an index past that
// palette's end takes the standard default palette's colour, and one past
// that too (64 and up) is black. Damage stops reading and is reported in
// Warning, as is a file of more frames than a catalog's 32767 slots; data
// with no frame raises EZLT_Ilda_Load naming fileName, which only names the
// data in messages.
TReadResult ReadBytes(QByteArrayView data, const TZLT_Pal& palette, const QString& fileName,
                      const TProgressFn& progress = {});
// ReadBytes of a file, read section by section: no more of it is read than
// its headers lead to, so a huge file costs no more memory than its frames.
// A missing file or a directory raises EZLT_Cat_Load.
TReadResult ReadFile(const QString& fileName, const TZLT_Pal& palette, const TProgressFn& progress = {});

// Writes the used frames among frames[first .. first+count-1], in order, one
// section each, in format and the colours of palette (see TPaletteSection
// for the indexed formats); a frame's section is named by its place in
// frames (its slot in a catalog) in five digits, "00042". A range outside
// frames raises EZLT_Index; a frame of more than 65535 points, or more than
// 65535 used frames, raises EZLT_Error.
QByteArray WriteBytes(const TZLT_FrameList& frames, int first, int count, const TZLT_Pal& palette,
                      TFormat format, TPaletteSection section = TPaletteSection::Included,
                      const TProgressFn& progress = {});
// WriteBytes into a file, replacing it only once every byte is written and
// synced; on any failure or cancel the old file stays as it was.
void WriteFile(const QString& fileName, const TZLT_FrameList& frames, int first, int count,
               const TZLT_Pal& palette, TFormat format, TPaletteSection section = TPaletteSection::Included,
               const TProgressFn& progress = {});

} // namespace ZLT_Ilda
