// trevasc-convert: converts and fixes laser-show frame files from a script,
// without windows.

#include "ConvertOptions.h"
#include "ConvertTerminal.h"
#include "ConvertVector.h"
#include "Converter.h"
#include "TrevascVersion.h"
#include "ZLT_FileNames.h"
#include "ZLT_Files.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    ZLT_Files::ReportWritesPastSizeLimit();

    // From the bytes themselves: names that are not UTF-8 keep them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << ZLT_FileNames::Decode(argv[i]);
    TConvertJob job;
    try {
        job = ConvertOptions::Parse(arguments);
    } catch (const EZLT_Error& e) {
        ConvertTerminal::Say(e.Message());
        return Converter::Refused;
    }
    if (job.Help || job.Version) {
        const QString text = job.Help ? ConvertOptions::HelpText() : QStringLiteral("trevasc-convert " TREVASC_VERSION "\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return Converter::Done;
    }

    const std::unique_ptr<QGuiApplication> application = ConvertVector::ApplicationFor(job, argc, argv);
    Converter::TResult result;
    {
        ConvertTerminal::TProgressLine progress;
        result = Converter::Run(job, progress);
    }
    for (const QString& warning : std::as_const(result.Warnings))
        ConvertTerminal::Say(warning);
    if (result.Status != Converter::Done) {
        ConvertTerminal::Say(result.Error);
        return result.Status;
    }
    if (!job.Quiet) {
        if (result.Clamped > 0)
            ConvertTerminal::Say(QStringLiteral("%1 lay outside the field and were moved to its edge")
                                     .arg(Converter::Count(result.Clamped, QStringLiteral("point"),
                                                           QStringLiteral("points"))));
        ConvertTerminal::Say(result.Summary);
    }
    return Converter::Done;
}
