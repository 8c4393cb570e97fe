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
// against the working folder; file: URLs become paths; names that are not
// UTF-8 keep their bytes (ZLT_FileNames). False with the
// parser's message for an unknown option or a missing value.
bool Parse(const QStringList& arguments, TCommandLine& result, QString& error);

// The program's own command line (an application object must exist):
// --help and --version print their text and end the program, as an error
// in the options does with a message. File names keep their bytes.
TCommandLine Process(int argc, char* argv[]);

} // namespace CommandLine
