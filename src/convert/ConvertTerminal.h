#pragma once

#include "Converter.h"

#include <QElapsedTimer>
#include <QString>

// Where trevasc-convert talks to its user: lines on the standard error, and
// a progress line there while work takes over a second and the standard
// error is a terminal.
namespace ConvertTerminal {

// "trevasc-convert: text" on a line of its own.
void Say(const QString& text);

class TProgressLine : public Converter::TProgress
{
public:
    // Shows nothing unless the standard error is a terminal.
    TProgressLine();
    ~TProgressLine() override { Clear(); }

    void Stage(const QString& text) override;
    void Step(qint64 done, qint64 total) override;
    // Removes the line, so that the next message starts clean.
    void Clear();

private:
    void Show();

    bool FTerminal = false;
    bool FShown = false;
    QElapsedTimer FSinceStart;
    qint64 FLastShownMs = -1;
    QString FStage;
    int FPercent = -1;
};

} // namespace ConvertTerminal
