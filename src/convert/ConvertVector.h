#pragma once

#include "ConvertJob.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <memory>

// The vector inputs of trevasc-convert: SVG files, folders of them, text.
namespace ConvertVector {

// A .svg file, or a folder of .svg files and no .pic file.
bool IsSvg(const QString& name);

// The SVG files and folders given one after the other, one frame per file
// in one common placement, appended to frames. Raises EConvertUsage naming
// every file that gives no frame and why.
void ReadSvg(const QStringList& names, const TZLT_Pal& palette, const TConvertJob& job, TZLT_FrameList& frames);

// One frame of text, appended; raises EConvertUsage when there is none.
void ReadText(const TConvertText& text, const TZLT_Pal& palette, const TConvertJob& job, TZLT_FrameList& frames);

// Qt's SVG renderer draws text with Qt's fonts, which need an application
// object: one without a display (the offscreen platform) when the job reads
// SVG, else none.
std::unique_ptr<QGuiApplication> ApplicationFor(const TConvertJob& job, int& argc, char** argv);

} // namespace ConvertVector
