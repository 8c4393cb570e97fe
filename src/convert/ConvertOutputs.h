#pragma once

#include "ConvertJob.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QString>

#include <functional>

// The outputs of trevasc-convert, one writer per kind, each writing as the
// program writes its files: complete or not at all.
namespace ConvertOutputs {

// The kind the name tells: a name ending in '/' or an existing folder, else
// by its extension .cat, .ild or .pic (in any case). Raises EConvertUsage
// for any other name.
TOutputKind KindOf(const QString& name);

// Raises EConvertUsage when the frames do not fit the output (more than a
// catalog's slots, not exactly one used frame for a picture file, no used
// frame for an ILDA file or a folder); nothing is written then.
void Check(const TConvertJob& job, const TZLT_FrameList& frames);

// Writes the frames (which it may take apart: a catalog takes them over).
// A failed write raises the data library's error, which names the reason.
// progress (done of total) is called now and then.
void Write(const TConvertJob& job, TZLT_FrameList& frames, const TZLT_Pal& palette,
           const std::function<void(qint64 done, qint64 total)>& progress);

// What the summary says of the output: "ILDA format 4", "catalog".
QString Describe(const TConvertJob& job);

} // namespace ConvertOutputs
