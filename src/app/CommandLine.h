#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QCoreApplication;

// trevasc [options] [FILE...]
struct TCommandLine
{
    QStringList Files;        // absolute paths, in the order given
    bool NewInstance = false; // --new-instance: never hand the files over
};

namespace CommandLine {

// The program's options, including the toolkit's own (-platform, -session,
// ...) hidden from the help, which the application object takes later.
void Describe(QCommandLineParser& parser);

// Parses arguments (the program's name first). Files become absolute
// against the working folder; file: URLs become paths. False with the
// parser's message for an unknown option or a missing value.
bool Parse(const QStringList& arguments, TCommandLine& result, QString& error);

// The program's own command line: --help and --version print their text
// and end the program, as an error in the options does with a message.
TCommandLine Process(const QCoreApplication& application);

} // namespace CommandLine
