#pragma once

#include "ConvertJob.h"

#include <QString>
#include <QStringList>

// One run of trevasc-convert without the process around it: reads the
// inputs, keeps the frames asked for, applies the operations and writes
// the output.
namespace Converter {

// Told what the run is doing, for a progress line.
class TProgress
{
public:
    virtual ~TProgress() = default;
    // A new stage: "reading show.cat".
    virtual void Stage(const QString& text) = 0;
    // done of total within the stage.
    virtual void Step(qint64 done, qint64 total) = 0;
};

// The program's exit statuses.
enum TStatus
{
    Done = 0,
    WriteFailed = 1,
    Refused = 2 // a bad option, value or input: nothing written
};

struct TResult
{
    TStatus Status = Done;
    QString Error;        // why it failed
    QStringList Warnings; // an input read only in part
    QString Summary;      // "3 inputs, 1,240 frames, 1.2 M points -> show.ild (ILDA format 4)"
    int Clamped = 0;      // points the operations moved to the field's edge
};

TResult Run(const TConvertJob& job, TProgress& progress);

// "1,240 frames", "1 frame", "1.2 M points": counts as the summary gives them.
QString Count(qint64 count, const QString& singular, const QString& plural);

} // namespace Converter
