#include "CommandLine.h"

#include "ZLT_FileNames.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QUrl>


namespace {
const QString NewInstanceOption = QStringLiteral("new-instance");

// The toolkit's options that take a value; the application object reads
// and removes them.
const char* const ToolkitValueOptions[] = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "qwindowicon",
    "qwindowtitle",    "display",
    "geometry",        "style",
    "stylesheet",      "session",
    "qmljsdebugger",
};
const char* const ToolkitFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

TCommandLine Result(const QCommandLineParser& parser)
{
    TCommandLine result;
    result.NewInstance = parser.isSet(NewInstanceOption);
    const QStringList arguments = parser.positionalArguments();
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QUrl url(argument);
        QString path = argument;
        if (argument.startsWith(QLatin1String("file:")) && url.isLocalFile()) {
            // Its bytes as they are, whether or not they are UTF-8.
            path = ZLT_FileNames::FromUrl(ZLT_FileNames::Encode(argument));
            if (path.isNull())
                path = url.toLocalFile();
        }
        result.Files << ZLT_FileNames::Absolute(path);
    }
    return result;
}
} // namespace

namespace CommandLine {

void Describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Copies and moves laser-show frames between catalog files.\n"
                       "Files given are opened in the running Trevasc, or in a new one if none runs:\n"
                       "catalogs (.cat) each in a window of its own, a PIC file (.pic) as a new\n"
                       "catalog holding its frame, an ILDA file (.ild) imported into a new catalog."));
    // "-platform xcb" is one option, as the toolkit reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        NewInstanceOption, QStringLiteral("Start a program of its own instead of handing the files to the "
                                          "Trevasc that is already running.")));
    for (const char* name : ToolkitValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : ToolkitFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to open."),
                                 QStringLiteral("[FILE...]"));
}

bool Parse(const QStringList& arguments, TCommandLine& result, QString& error)
{
    QCommandLineParser parser;
    Describe(parser);
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    result = Result(parser);
    return true;
}

TCommandLine Process(int argc, char* argv[])
{
    // From the bytes themselves: the application's own list of arguments
    // loses names that are not UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << ZLT_FileNames::Decode(argv[i]);
    QCommandLineParser parser;
    Describe(parser);
    parser.process(arguments);
    return Result(parser);
}

} // namespace CommandLine
