#include "ConvertVector.h"

#include "VectorImport.h"
#include "ZLT_FileNames.h"
#include "ZLT_PicFolder.h"

namespace ConvertVector {

bool IsSvg(const QString& name)
{
    if (ZLT_FileNames::IsDirectory(name))
        return ZLT_PicFolder::PicFiles(name).isEmpty() && !Vector::SvgFilesIn(name).isEmpty();
    return name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
}

namespace {
void Append(std::vector<Vector::TVectorFrame>& made, TZLT_FrameList& frames)
{
    QStringList problems;
    for (const Vector::TVectorFrame& f : made) {
        if (f.Frame)
            continue;
        QString line = QStringLiteral("'%1': %2").arg(f.Source, Vector::ProblemText(f.Problem));
        if (!f.Detail.isEmpty())
            line += QStringLiteral(" (%1)").arg(f.Detail);
        problems << line;
    }
    if (!problems.isEmpty())
        throw EConvertUsage(problems.join(QLatin1Char('\n')));
    for (Vector::TVectorFrame& f : made)
        frames.Add(std::move(f.Frame));
}

Vector::TVectorOptions OptionsOf(const TConvertJob& job)
{
    Vector::TVectorOptions options = job.Vector;
    options.Scanner = job.Scanner;
    return options;
}
} // namespace

void ReadSvg(const QStringList& names, const TZLT_Pal& palette, const TConvertJob& job, TZLT_FrameList& frames)
{
    QStringList files;
    for (const QString& name : names)
        files << (ZLT_FileNames::IsDirectory(name) ? Vector::SvgFilesIn(name) : QStringList{name});
    std::vector<Vector::TVectorFrame> made = Vector::ImportSvgFiles(files, palette, OptionsOf(job));
    Append(made, frames);
}

void ReadText(const TConvertText& text, const TZLT_Pal& palette, const TConvertJob& job, TZLT_FrameList& frames)
{
    Vector::TTextOptions options;
    options.Text = text.Text;
    options.Font = text.Font;
    options.Colour = Vector::TVectorOptions::PaletteWhite;
    std::vector<Vector::TVectorFrame> made;
    made.push_back(Vector::TextFrame(options, palette, OptionsOf(job)));
    made.back().Source = QStringLiteral("--text %1").arg(text.Text);
    Append(made, frames);
}

namespace {
// Qt's notes on a drawing it half understands, or on the missing display,
// are no use to a script: the converter says what went wrong itself.
void OnlyGraveMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        qt_message_output(type, context, message);
}
} // namespace

std::unique_ptr<QGuiApplication> ApplicationFor(const TConvertJob& job, int& argc, char** argv)
{
    bool svg = false;
    for (const QString& input : job.Inputs)
        svg = svg || IsSvg(input);
    if (!svg || QCoreApplication::instance())
        return nullptr;
    qInstallMessageHandler(OnlyGraveMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace ConvertVector
