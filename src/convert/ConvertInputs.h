#pragma once

#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The inputs of trevasc-convert, one reader per kind of file.
namespace ConvertInputs {

// Progress of reading one input: done of total (bytes or files).
using TProgress = std::function<void(qint64 done, qint64 total)>;

// One kind of input. A new kind is one more row of the table: Recognises
// tells it by the name or the first bytes, Read appends its frames.
struct TReader
{
    const char* Name; // "catalog", for messages
    std::function<bool(const QString& name)> Recognises;
    std::function<void(const QString& name, const TZLT_Pal& palette, TZLT_FrameList& frames,
                       QStringList& warnings, const TProgress& progress)>
        Read;
};

// The readers, asked in turn: a folder, a file starting with "ILDA", then
// by the extension (.ild, .cat, .pic).
const std::vector<TReader>& Readers();

// Reads one input by the first reader that recognises it and appends its
// frames. Warnings (an ILDA file damaged after some frames) are added to
// warnings. Raises the data library's errors for a missing or unreadable
// file (named, with the reason), and EConvertUsage for a file that is no
// frame file.
void Read(const QString& name, const TZLT_Pal& palette, TZLT_FrameList& frames, QStringList& warnings,
          const TProgress& progress);

} // namespace ConvertInputs
