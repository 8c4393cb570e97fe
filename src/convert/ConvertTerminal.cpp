#include "ConvertTerminal.h"

#include <cstdio>

#include <unistd.h>

namespace {
constexpr qint64 QuietMs = 1000;  // work shorter than this shows no progress
constexpr qint64 RefreshMs = 100; // the line changes at most this often
} // namespace

namespace ConvertTerminal {

void Say(const QString& text)
{
    std::fputs(("trevasc-convert: " + text.toLocal8Bit() + '\n').constData(), stderr);
    std::fflush(stderr);
}

TProgressLine::TProgressLine() : FTerminal(::isatty(STDERR_FILENO) == 1)
{
    FSinceStart.start();
}

void TProgressLine::Stage(const QString& text)
{
    FStage = text;
    FPercent = -1;
    FLastShownMs = -1;
    Show();
}

void TProgressLine::Step(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : -1;
    if (percent == FPercent)
        return;
    FPercent = percent;
    Show();
}

void TProgressLine::Show()
{
    if (!FTerminal)
        return;
    const qint64 now = FSinceStart.elapsed();
    if (now < QuietMs || (FLastShownMs >= 0 && now - FLastShownMs < RefreshMs))
        return;
    FLastShownMs = now;
    QString line = QStringLiteral("trevasc-convert: ") + FStage;
    if (FPercent >= 0)
        line += QStringLiteral(" %1 %").arg(FPercent);
    std::fputs(("\r\x1b[K" + line.toLocal8Bit()).constData(), stderr);
    std::fflush(stderr);
    FShown = true;
}

void TProgressLine::Clear()
{
    if (!FShown)
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    FShown = false;
}

} // namespace ConvertTerminal
